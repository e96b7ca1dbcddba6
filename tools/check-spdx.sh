#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Lists every source file under ROOT whose first lines lack the licence
# line, and fails when there is one. C++ sources and headers carry
#   // SPDX-License-Identifier: GPL-3.0-or-later
# on their first line; scripts and CMake files the same with "#" (after the
# "#!" line of a script). Build folders and .git are not looked at.
#
#   tools/check-spdx.sh [ROOT]
set -eu
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
tag='SPDX-License-Identifier: GPL-3.0-or-later'
missing=0
list=$(mktemp)
trap 'rm -f "$list"' EXIT INT TERM
find "$root" \( -path "$root/.git" -o -path "$root/build*" -o -name corpus \) -prune -o -type f \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.h.in' -o -name '*.sh' -o -name '*.cmake' \
    -o -name 'CMakeLists.txt' \) -print | sort >"$list"
while IFS= read -r f; do
    case "$f" in
    *.cpp | *.h | *.h.in) want="// $tag" ;;
    *) want="# $tag" ;;
    esac
    first=$(head -n 1 "$f")
    case "$first" in
    '#!'*) first=$(sed -n 2p "$f") ;;
    esac
    if [ "$first" != "$want" ]; then
        echo "no licence line: ${f#"$root"/}"
        missing=$((missing + 1))
    fi
done <"$list"
if [ "$missing" -ne 0 ]; then
    echo "$missing file(s) without the line \"$tag\" at the top"
    exit 1
fi
