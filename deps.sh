#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, only when one is
# missing (so a second run does not touch apt at all).
set -e
PACKAGES="build-essential cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev \
libgtest-dev libbenchmark-dev fonts-thai-tlwg xvfb xauth clang clang-format \
libxlsxwriter-dev libzip-dev libexpat1-dev python3-openpyxl \
libpango1.0-dev libcairo2-dev poppler-utils \
libopencv-dev libzxing-dev libqrencode-dev libpoppler-cpp-dev \
desktop-file-utils appstream shared-mime-info librsvg2-bin sqlite3 dpkg-dev file \
openbox xdotool xclip"
missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
