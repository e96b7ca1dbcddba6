#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file of the repository carries the licence line, and the
# check really refuses a file without it (or with it further down).
#
#   test_spdx.sh SOURCE_DIR
set -eu
src=$1
"$src/tools/check-spdx.sh" "$src"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/ia-spdx.XXXXXX")
trap 'rm -rf "$tmp"' EXIT INT TERM
mkdir -p "$tmp/lib" "$tmp/build-x"
tag='SPDX-License-Identifier: GPL-3.0-or-later'
printf '// %s\nint good();\n' "$tag" >"$tmp/lib/good.h"
printf '#!/bin/sh\n# %s\necho good\n' "$tag" >"$tmp/lib/good.sh"
printf 'int bad();\n// %s\n' "$tag" >"$tmp/lib/late.cpp"
printf '# %s\nint wrong_comment();\n' "$tag" >"$tmp/lib/hash.cpp"
printf 'project(x)\n' >"$tmp/lib/CMakeLists.txt"
printf 'int ignored();\n' >"$tmp/build-x/generated.cpp"
if "$src/tools/check-spdx.sh" "$tmp" >"$tmp/out"; then
    echo "FAIL: files without the licence line were accepted" >&2
    exit 1
fi
expected="no licence line: lib/CMakeLists.txt
no licence line: lib/hash.cpp
no licence line: lib/late.cpp
3 file(s) without the line \"$tag\" at the top"
if [ "$(cat "$tmp/out")" != "$expected" ]; then
    echo "FAIL: the check reported:" >&2
    cat "$tmp/out" >&2
    exit 1
fi
echo "licence lines OK"
