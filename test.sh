#!/bin/sh
# Installs what is missing, builds and runs every test headless.
set -e
cd "$(dirname "$0")"
./deps.sh
export QT_QPA_PLATFORM=offscreen
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure
