#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix, as `cmake --install` does for
# a user or a package, and checks that the installed tree works on its own:
# the programs, the Fan tables found in share/itemanalysis (none beside the
# programs there), the menu entry, the file type, the icons, the manual
# pages, the AppStream metadata and the documentation.
#
#   check_installed_tree.sh BUILD_DIR SOURCE_DIR VERSION WITH_GUI(ON|OFF)
set -eu
build=$1 src=$2 version=$3 gui=$4
id=org.itemanalysis.ItemAnalysis

prefix=$(mktemp -d "${TMPDIR:-/tmp}/ia-install.XXXXXX")
prefix=$(cd "$prefix" && pwd -P)
trap 'rm -rf "$prefix"' EXIT INT TERM
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() { for f in "$@"; do [ -f "$prefix/$f" ] || fail "not installed: $f"; done; }
tool() { command -v "$1" >/dev/null 2>&1 || { echo "FAIL: $1 is missing (run ./deps.sh)" >&2; exit 1; }; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# Nothing lands outside bin/ and share/.
stray=$(find "$prefix" -type f | sed "s|^$prefix/||" | grep -v -e '^bin/' -e '^share/' || true)
[ -z "$stray" ] || fail "installed outside bin/ and share/: $stray"

# Programs and version.
need bin/itemanalysis-cli
[ -x "$prefix/bin/itemanalysis-cli" ] || fail "bin/itemanalysis-cli is not executable"
out=$("$prefix/bin/itemanalysis-cli" --version) || fail "itemanalysis-cli --version failed"
[ "$out" = "itemanalysis-cli $version" ] || fail "itemanalysis-cli --version printed '$out'"
if [ "$gui" = ON ]; then
    need bin/itemanalysis share/applications/$id.desktop
    # Answered before any display is opened.
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$prefix/bin/itemanalysis" --version) ||
        fail "itemanalysis --version failed"
    [ "$out" = "itemanalysis $version" ] || fail "itemanalysis --version printed '$out'"
fi

# The Fan tables, byte for byte, and found there by the installed program.
for t in rjung pjung djung; do
    need share/itemanalysis/$t.tbl
    cmp -s "$src/data/$t.tbl" "$prefix/share/itemanalysis/$t.tbl" || fail "$t.tbl differs from data/"
done
[ ! -e "$prefix/bin/rjung.tbl" ] || fail "tables beside the installed programs"
work=$(mktemp -d "${TMPDIR:-/tmp}/ia-work.XXXXXX")
trap 'rm -rf "$prefix" "$work"' EXIT INT TERM
need share/doc/itemanalysis/examples/sample.ans
cp "$prefix/share/doc/itemanalysis/examples/sample.ans" "$work/s.ans"
"$prefix/bin/itemanalysis-cli" analyse "$work/s.ans" --technique 27 >/dev/null 2>"$work/err" ||
    fail "27 % analysis with the installed tables: $(cat "$work/err")"
[ -s "$work/s.txt" ] || fail "no report from the installed program"
"$prefix/bin/itemanalysis-cli" graphs "$work/s.ans" --technique 27 --pdf "$work/g.pdf" \
    >/dev/null 2>"$work/err" || fail "graphs with the installed tables: $(cat "$work/err")"
rm "$prefix/share/itemanalysis/pjung.tbl"
if "$prefix/bin/itemanalysis-cli" analyse "$work/s.ans" --technique 27 >/dev/null 2>"$work/err"; then
    fail "analysis without pjung.tbl succeeded"
fi
expected="ไม่พบไฟล์ตาราง $prefix/share/itemanalysis/pjung.tbl"
[ "$(cat "$work/err")" = "$expected" ] || fail "missing table message: '$(cat "$work/err")'"

# Menu entry and AppStream metadata.
need share/metainfo/$id.metainfo.xml share/mime/packages/$id.xml
tool desktop-file-validate
tool appstreamcli
if [ "$gui" = ON ]; then
    desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
    grep -q '^Name\[th\]=' "$prefix/share/applications/$id.desktop" || fail "no Thai name"
    grep -q '^MimeType=application/x-itemanalysis-exam;' "$prefix/share/applications/$id.desktop" ||
        fail "menu entry not associated with exam files"
fi
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/as" 2>&1 ||
    { cat "$work/as" >&2; fail "appstreamcli validate"; }
grep -q "release version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml" ||
    fail "AppStream release is not $version"

# The file type: the database builds, and an exam file is recognised by its
# name and, renamed, by its content where the MIME tool reads far enough.
tool update-mime-database
# (It notes on standard error that the prefix is not searched: true, and
# beside the point here.)
update-mime-database "$prefix/share/mime" >"$work/mime" 2>&1 ||
    { cat "$work/mime" >&2; fail "update-mime-database"; }
grep -q 'application/x-itemanalysis-exam' "$prefix/share/mime/globs2" 2>/dev/null ||
    fail "no glob for exam files"
if command -v gio >/dev/null 2>&1; then
    type=$(XDG_DATA_HOME="$work/none" XDG_DATA_DIRS="$prefix/share:/usr/share" \
        gio info -a standard::content-type "$work/s.ans" | sed -n 's/.*content-type: //p')
    [ "$type" = application/x-itemanalysis-exam ] || fail "s.ans is seen as '$type'"
fi

# Icons: the drawing and every fixed size, each of its own size.
need share/icons/hicolor/scalable/apps/$id.svg
for size in 16 22 24 32 48 64 128 256; do
    png=share/icons/hicolor/${size}x${size}/apps/$id.png
    need "$png"
    [ -f "$prefix/$png" ] || continue
    dims=$(od -An -tu1 -j16 -N8 "$prefix/$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
done

# Manual pages: compressed, carrying the version, formatting without warnings.
for page in itemanalysis-cli itemanalysis; do
    man=share/man/man1/$page.1.gz
    need "$man"
    [ -f "$prefix/$man" ] || continue
    gzip -t "$prefix/$man" || fail "$man is no gzip file"
    gzip -dc "$prefix/$man" | grep -q "itemanalysis $version" || fail "$man lacks the version"
    if command -v groff >/dev/null 2>&1; then
        warnings=$(gzip -dc "$prefix/$man" | LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z 2>&1)
        [ -z "$warnings" ] || fail "$man: $warnings"
    fi
done

# Documentation and licence.
need share/doc/itemanalysis/copyright share/doc/itemanalysis/LICENSE \
    share/doc/itemanalysis/NOTICE share/doc/itemanalysis/README.md \
    share/doc/itemanalysis/guide-th.md share/doc/itemanalysis/statistics.md
cmp -s "$src/LICENSE" "$prefix/share/doc/itemanalysis/LICENSE" || fail "LICENSE differs"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed tree OK"
