// SPDX-License-Identifier: GPL-3.0-or-later
// The window opening a large exam file: from the open command to the first
// screen of both grids drawn, and the whole program's peak memory with that
// file open.

#include "BenchFixture.h"
#include "app/FTAData.h"
#include "app/Prompts.h"

#include <QApplication>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

// The open dialog gives the fixture; messages are dropped.
struct OpenFixturePrompts : ia::Prompts {
    QString path;
    QString chooseOpenFile() override { return path; }
    bool askOkCancel(const QString&, const QString&) override { return false; }
    bool askYesNo(const QString&, const QString&) override { return false; }
    void showMessage(const QString&, const QString&) override {}
    void showInformation(const QString&, const QString&) override {}
    bool askGoOnAfterChecks(const QString&, const QString&) override { return false; }
    int runDialog(QDialog&) override { return 0; }
    void showPreview(QDialog&) override {}
};

void BM_OpenFileInWindow(benchmark::State& st) {
    const std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    OpenFixturePrompts prompts;
    prompts.path = QString::fromStdString(path);
    ia::FTAData w;
    w.setPrompts(prompts);
    w.resize(1600, 1000);
    w.show();
    QApplication::processEvents();
    for (auto _ : st) {
        w.onOpenFileClicked();
        // Drawing the window asks the grids for the rows on the first screen.
        benchmark::DoNotOptimize(w.grab());
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    st.counters["peak_rss_MB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_OpenFileInWindow)->Args({10000, 251})->Unit(benchmark::kMillisecond);

} // namespace
