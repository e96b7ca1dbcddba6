// SPDX-License-Identifier: GPL-3.0-or-later
// Analysis and report benchmarks. Each states, as the counter x_read, its
// time per run divided by that of a plain read of every answer sheet of the
// same file (BM_ReadSheets).

#include "BenchFixture.h"
#include "BoundExam.h"
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
#include <cstdlib>

#include <filesystem>
#include <map>
#include <random>

namespace {

using Run = iatest::BoundExam;

using iabench::Measure;
using iabench::ReadAllSheets;
using iabench::ReadSeconds;
using Clock = std::chrono::steady_clock;

void BM_ReadSheets(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] { ReadAllSheets(path); });
}

void BM_CalScore(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] {
        Run r(path);
        ia::StoreSheetScores(r.ctx);
    });
}

void BM_Analy25(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] {
        Run r(path);
        ia::AnalyseSimpleFormula25(r.ctx);
    });
}

void BM_Analy27(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] {
        Run r(path);
        ia::AnalyseFanTable27(r.ctx, iatest::BinDir());
    });
}

void BM_CreateOutputFile(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Run r(path);
    r.state.AnalysisKind = 1;
    ia::AnalyseSimpleFormula25(r.ctx);
    ia::RereadResultViews(r.views);
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
        ia::RunTechnique(r.ctx, ia::Technique::SimpleFormula25, iatest::BinDir());
        ia::RereadResultViews(r.views);
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
    ia::AnalyseSimpleFormula25(r.ctx);
    ia::RereadResultViews(r.views);
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

// The whole analysis command on a fresh copy of a file (every score is
// written), or again on the same file (no score changes).
void AnalyseWithReport(const std::string& path, int kind) {
    Run r(path);
    ia::RunTechnique(r.ctx, static_cast<ia::Technique>(kind), iatest::BinDir());
    ia::RereadResultViews(r.views);
    const std::string term = r.header.Term;
    ia::WriteAnalysisReport(r.views, r.state, path, r.header, term);
}

void FirstAnalysis(benchmark::State& st, const std::string& original, int kind) {
    const double read = ReadSeconds(original);
    iatest::TempDir dir;
    const std::string copy = dir.file("first.ans");
    double total = 0;
    for (auto _ : st) {
        st.PauseTiming();
        std::filesystem::copy_file(original, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        ReadAllSheets(copy); // the copy in the cache, as the original is
        st.ResumeTiming();
        auto t0 = Clock::now();
        AnalyseWithReport(copy, kind);
        total += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    st.counters["x_read"] = total / static_cast<double>(st.iterations()) / read;
}

void BM_FirstAnalysisAndReport(benchmark::State& st) {
    FirstAnalysis(st, iabench::Fixture(st.range(0), st.range(1), 5), static_cast<int>(st.range(2)));
}

void BM_ReanalysisAndReport(benchmark::State& st) {
    std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    const int kind = static_cast<int>(st.range(2));
    AnalyseWithReport(path, kind);
    Measure(st, path, [&] { AnalyseWithReport(path, kind); });
}
BENCHMARK(BM_FirstAnalysisAndReport)
    ->Args({10000, 100, 1})
    ->Args({10000, 100, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReanalysisAndReport)
    ->Args({10000, 100, 1})
    ->Args({10000, 100, 2})
    ->Unit(benchmark::kMillisecond);

// The district-sized file made by bench/fixtures/make_large_exam.sh, named
// by ITEMANALYSIS_LARGE_EXAM (skipped without it: it takes a minute to make).
const char* LargeExam(benchmark::State& st) {
    const char* path = std::getenv("ITEMANALYSIS_LARGE_EXAM");
    if (!path) st.SkipWithError("ITEMANALYSIS_LARGE_EXAM names no file");
    return path;
}

void BM_LargeReadSheets(benchmark::State& st) {
    const char* path = LargeExam(st);
    if (!path) return;
    Measure(st, path, [&] { ReadAllSheets(path); });
}

void BM_LargeFirstAnalysisAndReport(benchmark::State& st) {
    if (const char* path = LargeExam(st)) FirstAnalysis(st, path, static_cast<int>(st.range(0)));
}

void BM_LargeReanalysisAndReport(benchmark::State& st) {
    const char* path = LargeExam(st);
    if (!path) return;
    const int kind = static_cast<int>(st.range(0));
    AnalyseWithReport(path, kind);
    Measure(st, path, [&] { AnalyseWithReport(path, kind); });
}
BENCHMARK(BM_LargeReadSheets)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeFirstAnalysisAndReport)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeReanalysisAndReport)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

#define SIZES ->Args({10000, 100})->Args({2000, 251})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_ReadSheets) SIZES;
BENCHMARK(BM_CalScore) SIZES;
BENCHMARK(BM_Analy25) SIZES;
BENCHMARK(BM_Analy27) SIZES;
BENCHMARK(BM_CreateOutputFile) SIZES;
BENCHMARK(BM_AnalysisAndReport) SIZES;

} // namespace
