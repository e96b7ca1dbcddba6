// Analysis and report benchmarks. Each figure is best read against
// BM_ReadSheets of the same size: a plain read of every answer sheet.

#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "examfile/DataView.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "report/ReportModel.h"
#include "report/ReportText.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <random>

namespace {

// One exam file per size, made once per run in a temporary folder.
std::string Fixture(int sheets, int items, int choices) {
    static iatest::TempDir dir;
    static std::map<std::string, std::string> made;
    std::string name =
        std::to_string(sheets) + "x" + std::to_string(items) + "x" + std::to_string(choices);
    if (auto it = made.find(name); it != made.end()) return it->second;
    std::string path = dir.file(name + ".ans");
    ia::TestHeader h = iatest::MakeHeader(items, choices);
    std::mt19937 rng(12345);
    std::vector<std::string> key;
    for (int i = 0; i < items; ++i)
        key.push_back(std::to_string(1 + rng() % choices));
    std::vector<std::vector<std::string>> rows;
    std::uniform_real_distribution<double> u(0, 1);
    for (int s = 0; s < sheets; ++s) {
        double ability = u(rng);
        std::vector<std::string> row{std::to_string(s + 1)};
        for (int i = 0; i < items; ++i) {
            double r = u(rng);
            if (r < 0.03)
                row.push_back("");
            else if (r < 0.3 + 0.6 * ability)
                row.push_back(key[i]);
            else
                row.push_back(std::to_string(1 + rng() % choices));
        }
        rows.push_back(std::move(row));
    }
    iatest::MakeExamFile(path, h, key, rows);
    made[name] = path;
    return path;
}

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

void BM_ReadSheets(benchmark::State& st) {
    std::string path = Fixture(st.range(0), st.range(1), 5);
    for (auto _ : st) {
        ia::Connection db(path);
        auto q = db.prepare("SELECT * FROM TAData");
        long long cells = 0;
        while (q.step())
            for (int i = 0; i < q.columnCount(); ++i)
                cells += q.column(i).text().size();
        benchmark::DoNotOptimize(cells);
    }
}

void BM_CalScore(benchmark::State& st) {
    std::string path = Fixture(st.range(0), st.range(1), 5);
    for (auto _ : st) {
        Run r(path);
        ia::CalScore(r.ctx);
    }
}

void BM_Analy25(benchmark::State& st) {
    std::string path = Fixture(st.range(0), st.range(1), 5);
    for (auto _ : st) {
        Run r(path);
        ia::Analy25(r.ctx);
    }
}

void BM_Analy27(benchmark::State& st) {
    std::string path = Fixture(st.range(0), st.range(1), 5);
    for (auto _ : st) {
        Run r(path);
        ia::analy27(r.ctx, iatest::BinDir());
    }
}

void BM_CreateOutputFile(benchmark::State& st) {
    std::string path = Fixture(st.range(0), st.range(1), 5);
    Run r(path);
    r.state.AnalysisKind = 1;
    ia::Analy25(r.ctx);
    for (auto _ : st) {
        ia::ReportData d = ia::LoadReportData(r.views, r.state);
        ia::TestHeader h = r.header;
        ia::CreateOutputFile(path, h, h.Term, d);
    }
}

// What the analysis button does: the analysis and the report file.
void BM_AnalysisAndReport(benchmark::State& st) {
    std::string path = Fixture(st.range(0), st.range(1), 5);
    for (auto _ : st) {
        Run r(path);
        r.state.AnalysisKind = 1;
        ia::Analy25(r.ctx);
        ia::ReportData d = ia::LoadReportData(r.views, r.state);
        ia::CreateOutputFile(path, r.header, r.header.Term, d);
    }
}

#define SIZES ->Args({10000, 100})->Args({2000, 251})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_ReadSheets) SIZES;
BENCHMARK(BM_CalScore) SIZES;
BENCHMARK(BM_Analy25) SIZES;
BENCHMARK(BM_Analy27) SIZES;
BENCHMARK(BM_CreateOutputFile) SIZES;
BENCHMARK(BM_AnalysisAndReport) SIZES;

} // namespace
