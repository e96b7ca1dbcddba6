#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package: a Release build without tests or benchmarks,
# then `cpack -G DEB`. The package lands in this folder as
# itemanalysis_VERSION_ARCH.deb; install it with
#   apt install ./itemanalysis_*.deb
# and remove it with `apt remove itemanalysis`.
set -e
cd "$(dirname "$0")"
./deps.sh
launcher=
if command -v ccache >/dev/null 2>&1; then launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache; fi
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DITEMANALYSIS_BUILD_TESTS=OFF \
    -DITEMANALYSIS_BUILD_BENCH=OFF $launcher >/dev/null
cmake --build build-package
rm -f build-package/itemanalysis_*.deb
(cd build-package && cpack -G DEB >/dev/null)
for deb in build-package/itemanalysis_*.deb; do
    rm -f ./itemanalysis_*.deb
    cp "$deb" .
    echo "./$(basename "$deb")"
done
