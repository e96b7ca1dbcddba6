#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds in Release and starts the window.
set -e
cd "$(dirname "$0")"
./deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DITEMANALYSIS_BUILD_BENCH=OFF >/dev/null
cmake --build build-release --target itemanalysis itemanalysis-cli
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
    exec xvfb-run -a -s "-screen 0 1600x1000x24" ./build-release/bin/itemanalysis "$@"
fi
exec ./build-release/bin/itemanalysis "$@"
