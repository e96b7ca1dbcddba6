#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, checks the formatting of the sources, builds
# (warnings are errors) and runs every test headless; builds what needs no
# Qt without Qt and runs its tests (none of which may link Qt); then builds
# the tests again with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs them once more (any sanitizer report fails the run).
set -e
cd "$(dirname "$0")"
./deps.sh
tools/check-format.sh
export QT_QPA_PLATFORM=offscreen
JOBS=$(nproc 2>/dev/null || echo 2)
# The build without Qt compiles most sources again with the same flags: the
# compiler cache hands it the first build's objects (their debug information
# then names the first build's folder, which no test reads).
LAUNCHER=
if command -v ccache >/dev/null; then
    LAUNCHER=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$(pwd)"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DITEMANALYSIS_WERROR=ON $LAUNCHER >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build --output-on-failure -j "$JOBS"

cmake -S . -B build-core -G Ninja -DCMAKE_BUILD_TYPE=Debug -DITEMANALYSIS_WERROR=ON \
    -DITEMANALYSIS_WITH_QT=OFF $LAUNCHER >/dev/null
cmake --build build-core -j "$JOBS"
for t in build-core/bin/tests_* build-core/bin/itemanalysis-cli; do
    if ldd "$t" | grep -q 'libQt'; then
        echo "$t links Qt in the build without Qt" >&2
        exit 1
    fi
done
ctest --test-dir build-core --output-on-failure -j "$JOBS"

if [ "${SKIP_SANITIZERS:-0}" != "1" ]; then
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DITEMANALYSIS_SANITIZE=ON \
        -DITEMANALYSIS_BUILD_BENCH=OFF -DITEMANALYSIS_WERROR=ON $LAUNCHER >/dev/null
    cmake --build build-asan -j "$JOBS"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan-suppressions.txt:print_suppressions=0" \
        ctest --test-dir build-asan --output-on-failure -j "$JOBS"
fi
