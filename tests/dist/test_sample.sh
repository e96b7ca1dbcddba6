#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The example exam file in the repository is the one tools/make-sample.sh
# makes (compared as SQL, since SQLite versions may lay out pages apart).
#
#   test_sample.sh SOURCE_DIR ITEMANALYSIS-CLI
set -eu
src=$1 cli=$2
command -v sqlite3 >/dev/null 2>&1 || { echo "FAIL: sqlite3 is missing (run ./deps.sh)" >&2; exit 1; }
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ia-sample.XXXXXX")
trap 'rm -rf "$tmp"' EXIT INT TERM
"$src/tools/make-sample.sh" "$tmp/sample.ans" "$cli" >/dev/null
sqlite3 "$tmp/sample.ans" .dump >"$tmp/made.sql"
sqlite3 "$src/examples/sample.ans" .dump >"$tmp/committed.sql"
if ! cmp -s "$tmp/made.sql" "$tmp/committed.sql"; then
    echo "FAIL: examples/sample.ans is not what tools/make-sample.sh makes; run it again" >&2
    diff "$tmp/committed.sql" "$tmp/made.sql" | head -20 >&2
    exit 1
fi
sheets=$(sqlite3 "$tmp/sample.ans" "select count(*) from TAData")
header=$(sqlite3 "$tmp/sample.ans" "select nItem || ' ' || nChoice from Tinit")
[ "$sheets $header" = "48 40 4" ] || { echo "FAIL: sheets, items, choices: $sheets $header" >&2; exit 1; }
echo "sample OK"
