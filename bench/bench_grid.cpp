// SPDX-License-Identifier: GPL-3.0-or-later
// The answer-sheet grid's model over a large exam file: opening the view and
// painting the first screen, paging through the sheets, and writing a cell.

#include "BenchFixture.h"
#include "TestSupport.h"
#include "examfile/DataView.h"
#include "sheet/SheetModel.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kSheets = 10000;
constexpr int kItems = 251;
constexpr int kScreenRows = 40; // rows of a maximised DBGrid1

// The same large file as the window's and the analysis's figures.
std::string GridFixture() {
    return iabench::Fixture(kSheets, kItems, 5);
}

// Data1 as the window binds it.
void OpenSheets(ia::DataView& data1) {
    data1.DatabaseName = GridFixture();
    data1.RecordSource = "Select * from TAData";
    data1.Refresh();
}

// The other views of the window keep the file open meanwhile.
ia::DataView& OtherView() {
    static ia::DataView key;
    if (!key.isOpen()) {
        key.DatabaseName = GridFixture();
        key.RecordSource = "Select * from TKey";
        key.Refresh();
    }
    return key;
}

void PaintRows(const ia::SheetModel& m, int first, int count) {
    for (int r = first; r < first + count && r < m.rowCount(); ++r) {
        benchmark::DoNotOptimize(m.headerData(r, Qt::Vertical));
        for (int c = 0; c < m.columnCount(); ++c) {
            benchmark::DoNotOptimize(m.data(m.index(r, c)));
            benchmark::DoNotOptimize(m.data(m.index(r, c), Qt::TextAlignmentRole));
        }
    }
}

// Re-reading Data1 (every rowid of the query) and the first screen, every
// column of it.
void BM_GridOpenFirstScreen(benchmark::State& state) {
    OtherView();
    for (auto _ : state) {
        ia::DataView data1;
        OpenSheets(data1);
        ia::SheetModel m(ia::GridKind::Sheets);
        m.bind(&data1);
        PaintRows(m, 0, kScreenRows);
    }
}
BENCHMARK(BM_GridOpenFirstScreen)->Unit(benchmark::kMillisecond);

// One page further down at a time, each page read from the file.
void BM_GridPageDown(benchmark::State& state) {
    OtherView();
    ia::DataView data1;
    OpenSheets(data1);
    ia::SheetModel m(ia::GridKind::Sheets);
    m.bind(&data1);
    int first = 0;
    for (auto _ : state) {
        first = (first + kScreenRows) % (kSheets - kScreenRows);
        PaintRows(m, first, kScreenRows);
    }
}
BENCHMARK(BM_GridPageDown)->Unit(benchmark::kMillisecond);

// One answer typed into a sheet: its own transaction.
void BM_GridCommitCell(benchmark::State& state) {
    OtherView();
    ia::DataView data1;
    OpenSheets(data1);
    ia::SheetModel m(ia::GridKind::Sheets);
    m.bind(&data1);
    int n = 0;
    for (auto _ : state) {
        ++n;
        m.commitCell(n % kSheets, 1 + n % kItems, n % 2 ? "1" : "2");
    }
}
BENCHMARK(BM_GridCommitCell)->Unit(benchmark::kMicrosecond);

} // namespace
