// SPDX-License-Identifier: GPL-3.0-or-later
// The answer-sheet grid's model over a large exam file: opening the view and
// painting the first screen, paging through the sheets, and writing a cell.

#include "BenchFixture.h"
#include "TestSupport.h"
#include "examfile/DataView.h"
#include "examfile/Engine.h"
#include "sheet/SheetModel.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kScreenRows = 40; // rows of a maximised DBGrid1

// The same large file as the window's and the analysis's figures, or the
// district-sized file that ITEMANALYSIS_LARGE_EXAM names (made by
// bench/fixtures/make_large_exam.sh).
std::string GridFixture() {
    if (const char* large = std::getenv("ITEMANALYSIS_LARGE_EXAM")) return large;
    return iabench::Fixture(10000, 251, 5);
}

int SheetsOfFixture() {
    static const int n = [] {
        ia::Connection db(GridFixture(), ia::Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT count(*) FROM TAData");
        return st.step() ? static_cast<int>(st.columnInt(0)) : 0;
    }();
    return n;
}

int ItemsOfFixture() {
    static const int n = [] {
        ia::Connection db(GridFixture(), ia::Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT nItem FROM Tinit");
        return st.step() ? static_cast<int>(st.columnInt(0)) : 0;
    }();
    return n;
}

// The sheets view as the window binds it.
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

// Re-reading the sheets view (every rowid of the query) and the first screen, every
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

// The view in score order, as the grid shows it after an analysis.
void BM_GridOpenInScoreOrder(benchmark::State& state) {
    OtherView();
    for (auto _ : state) {
        ia::DataView data1;
        data1.DatabaseName = GridFixture();
        data1.RecordSource = "select * from TAData order by Score";
        data1.Refresh();
        ia::SheetModel m(ia::GridKind::Sheets);
        m.bind(&data1);
        PaintRows(m, 0, kScreenRows);
    }
}
BENCHMARK(BM_GridOpenInScoreOrder)->Unit(benchmark::kMillisecond);

// The last record (Ctrl+End or the navigation bar's last button) on an open
// view: the last screen painted.
void BM_GridJumpToLast(benchmark::State& state) {
    OtherView();
    ia::DataView data1;
    OpenSheets(data1);
    ia::SheetModel m(ia::GridKind::Sheets);
    m.bind(&data1);
    for (auto _ : state) {
        data1.Recordset()->moveLast();
        PaintRows(m, m.rowCount() - kScreenRows, kScreenRows);
    }
}
BENCHMARK(BM_GridJumpToLast)->Unit(benchmark::kMillisecond);

// One page further down at a time, each page read from the file.
void BM_GridPageDown(benchmark::State& state) {
    OtherView();
    ia::DataView data1;
    OpenSheets(data1);
    ia::SheetModel m(ia::GridKind::Sheets);
    m.bind(&data1);
    int first = 0;
    for (auto _ : state) {
        first = (first + kScreenRows) % (SheetsOfFixture() - kScreenRows);
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
        m.commitCell(n % SheetsOfFixture(), 1 + n % ItemsOfFixture(), n % 2 ? "1" : "2");
    }
}
BENCHMARK(BM_GridCommitCell)->Unit(benchmark::kMicrosecond);

} // namespace
