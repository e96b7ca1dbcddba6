// SPDX-License-Identifier: GPL-3.0-or-later
// The window opening a large exam file: from the open command to the first
// screen of both grids drawn, and the whole program's peak memory with that
// file open.

#include "BenchFixture.h"
#include "app/FTAData.h"

#include <QApplication>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

void BM_OpenFileInWindow(benchmark::State& st) {
    const std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    ia::FTAData w;
    w.chooseOpenFile = [&] { return QString::fromStdString(path); };
    w.showMessage = [](const QString&, const QString&) {};
    w.resize(1600, 1000);
    w.show();
    QApplication::processEvents();
    for (auto _ : st) {
        w.Command2_Click();
        // Drawing the window asks the grids for the rows on the first screen.
        benchmark::DoNotOptimize(w.grab());
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    st.counters["peak_rss_MB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_OpenFileInWindow)->Args({10000, 251})->Unit(benchmark::kMillisecond);

} // namespace
