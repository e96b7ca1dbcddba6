// SPDX-License-Identifier: GPL-3.0-or-later
// One main for every benchmark of the project (bench_*.cpp).
#include "analysis/FanTable.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    // The Fan tables are found beside the programs, as in the tests.
    if (!std::getenv("ITEMANALYSIS_BIN_DIR"))
        setenv("ITEMANALYSIS_BIN_DIR", ia::ProgramDir().c_str(), 0);
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv); // text measuring and the window need it
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
