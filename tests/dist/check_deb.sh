#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package that ./package.sh leaves in the source folder:
# its control fields, its runtime dependencies and its file list; then
# unpacks it and runs the command-line program from the unpacked /usr.
# Skipped (exit 77) when no package of this version has been built.
#
#   check_deb.sh SOURCE_DIR VERSION
set -eu
src=$1 version=$2
deb=$(ls "$src"/itemanalysis_"$version"_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    echo "no itemanalysis_${version}_*.deb in $src (./package.sh builds it): skipped"
    exit 77
fi
id=org.itemanalysis.ItemAnalysis
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
field() { dpkg-deb -f "$deb" "$1"; }

[ "$(field Package)" = itemanalysis ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = education ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
# The long description: lines indented by exactly one blank.
badlines=$(field Description | sed 1d | grep -v '^ [^ ]' || true)
[ -z "$badlines" ] || fail "long description lines not indented by one blank: $badlines"
depends=$(field Depends)
for lib in fonts-thai-tlwg libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 \
    libsqlite3-0 libc6 libstdc++6; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//' | grep -q "^$lib\( \|$\)" ||
        fail "Depends lacks $lib: $depends"
done

list=$(dpkg-deb -c "$deb")
paths=$(echo "$list" | awk '{print $6}')
for p in ./usr/bin/itemanalysis ./usr/bin/itemanalysis-cli \
    ./usr/share/itemanalysis/rjung.tbl ./usr/share/itemanalysis/pjung.tbl \
    ./usr/share/itemanalysis/djung.tbl ./usr/share/applications/$id.desktop \
    ./usr/share/metainfo/$id.metainfo.xml ./usr/share/mime/packages/$id.xml \
    ./usr/share/icons/hicolor/scalable/apps/$id.svg \
    ./usr/share/icons/hicolor/16x16/apps/$id.png ./usr/share/icons/hicolor/256x256/apps/$id.png \
    ./usr/share/man/man1/itemanalysis.1.gz ./usr/share/man/man1/itemanalysis-cli.1.gz \
    ./usr/share/doc/itemanalysis/copyright ./usr/share/doc/itemanalysis/guide-th.md \
    ./usr/share/doc/itemanalysis/examples/sample.ans; do
    echo "$paths" | grep -qx "$p" || fail "not in the package: $p"
done
outside=$(echo "$paths" | grep -v -e '^\./$' -e '^\./usr/$' -e '^\./usr/bin/' -e '^\./usr/share/' || true)
[ -z "$outside" ] || fail "outside /usr/bin and /usr/share: $outside"
# dpkg owns the system folders; a package must not change their mode.
baddirs=$(echo "$list" | awk '/^d/ && $1 != "drwxr-xr-x" {print $6}')
[ -z "$baddirs" ] || fail "folders not 0755: $baddirs"
root=$(echo "$list" | awk '$2 != "root/root" {print $6}')
[ -z "$root" ] || fail "files not owned by root: $root"

# The unpacked programs find their tables in ../share/itemanalysis.
tmp=$(mktemp -d "${TMPDIR:-/tmp}/ia-deb.XXXXXX")
trap 'rm -rf "$tmp"' EXIT INT TERM
dpkg-deb -x "$deb" "$tmp"
[ "$("$tmp/usr/bin/itemanalysis-cli" --version)" = "itemanalysis-cli $version" ] ||
    fail "unpacked itemanalysis-cli --version"
cp "$tmp/usr/share/doc/itemanalysis/examples/sample.ans" "$tmp/s.ans"
"$tmp/usr/bin/itemanalysis-cli" analyse "$tmp/s.ans" --technique 27 >/dev/null ||
    fail "unpacked itemanalysis-cli cannot analyse with 27 %"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed on $deb" >&2
    exit 1
fi
echo "$deb OK"
