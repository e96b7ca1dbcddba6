#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a C++ source of the project is not formatted as .clang-format
# says; run by test.sh before the build. `tools/check-format.sh --fix`
# formats them instead.
set -e
cd "$(dirname "$0")/.."
FILES=$(find . \( -path './build*' -o -path './.git' \) -prune -o \
    \( -name '*.cpp' -o -name '*.h' \) -print | sort)
if [ "$1" = "--fix" ]; then
    clang-format -i $FILES
    exit 0
fi
if ! clang-format --dry-run -Werror $FILES; then
    echo "Some sources are not formatted: run tools/check-format.sh --fix" >&2
    exit 1
fi
