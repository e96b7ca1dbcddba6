// SPDX-License-Identifier: GPL-3.0-or-later
// Analysis and report benchmarks. Each states, as the counter x_read, its
// time per run divided by that of a plain read of every answer sheet of the
// same file (BM_ReadSheets).

#include "BenchFixture.h"
#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "examfile/DataView.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "report/PrintReport.h"
#include "report/PrinterRecording.h"
#include "report/ReportModel.h"
#include "report/ReportText.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include <filesystem>
#include <map>
#include <random>

namespace {

struct Run {
    ia::ExamViews views;
    ia::TestHeader header;
    ia::AnalysisState state;
    ia::AnalysisHost host;
    ia::AnalysisContext ctx{views, header, state, host};
    explicit Run(const std::string& path) {
        ia::BindExamFile(views, path);
        ia::ReadHeader(views.Data3, header);
        state.FirstItemField = 1;
        state.LastItemField = header.nItem;
    }
};

using iabench::Measure;
using iabench::ReadAllSheets;

void BM_ReadSheets(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] { ReadAllSheets(path); });
}

void BM_CalScore(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] {
        Run r(path);
        ia::CalScore(r.ctx);
    });
}

void BM_Analy25(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] {
        Run r(path);
        ia::Analy25(r.ctx);
    });
}

void BM_Analy27(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] {
        Run r(path);
        ia::analy27(r.ctx, iatest::BinDir());
    });
}

void BM_CreateOutputFile(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Run r(path);
    r.state.AnalysisKind = 1;
    ia::Analy25(r.ctx);
    Measure(st, path, [&] {
        ia::ReportData d = ia::LoadReportData(r.views, r.state);
        ia::TestHeader h = r.header;
        ia::CreateOutputFile(path, h, h.Term, d);
    });
}

// What the analysis button does: the analysis and the report file.
void BM_AnalysisAndReport(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] {
        Run r(path);
        ia::RunTechnique(r.ctx, 1, iatest::BinDir());
        const std::string term = r.header.Term;
        ia::WriteAnalysisReport(r.views, r.state, path, r.header, term);
    });
}

// Laying out and printing a whole report (251 items) to the recording
// printer: the work of the print command without the printer driver.
void BM_PrintLayout(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Run r(path);
    r.state.AnalysisKind = 1;
    ia::Analy25(r.ctx);
    ia::ReportData d = ia::LoadReportData(r.views, r.state);
    Measure(st, path, [&] {
        ia::RecordingPrinter prn;
        ia::PrintJob job;
        ia::TestHeader h = r.header;
        ia::PrintOutput(prn, job, h, "โรงเรียน", d, h.nChoice, h.nItem);
        benchmark::DoNotOptimize(prn.Texts().size());
    });
}
BENCHMARK(BM_PrintLayout)->Args({2000, 251})->Unit(benchmark::kMillisecond);

#define SIZES ->Args({10000, 100})->Args({2000, 251})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_ReadSheets) SIZES;
BENCHMARK(BM_CalScore) SIZES;
BENCHMARK(BM_Analy25) SIZES;
BENCHMARK(BM_Analy27) SIZES;
BENCHMARK(BM_CreateOutputFile) SIZES;
BENCHMARK(BM_AnalysisAndReport) SIZES;

} // namespace
