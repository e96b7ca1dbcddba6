// The item statistics, stated like the analysis benchmarks as x_read: time
// per run divided by that of a plain read of every answer sheet of the same
// file.

#include "BenchFixture.h"
#include "analysis/ExamAnswers.h"
#include "analysis/ItemStatistics.h"
#include "examfile/Engine.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

double PlainReadSeconds(const std::string& path) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto t0 = Clock::now();
        ia::Connection db(path);
        auto q = db.prepare("SELECT * FROM TAData");
        long long cells = 0;
        while (q.step())
            for (int c = 0; c < q.columnCount(); ++c)
                cells += q.column(c).text().size();
        benchmark::DoNotOptimize(cells);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

template <typename Body> void Measure(benchmark::State& st, const std::string& path, Body body) {
    const double read = PlainReadSeconds(path);
    auto t0 = Clock::now();
    for (auto _ : st)
        body();
    const double each = std::chrono::duration<double>(Clock::now() - t0).count() /
                        static_cast<double>(st.iterations());
    st.counters["x_read"] = each / read;
}

// The computation alone, on a matrix already in memory.
void BM_ItemStatisticsCompute(benchmark::State& st) {
    const std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    const ia::ExamAnswers a = ia::LoadExamAnswers(path);
    Measure(st, path, [&] {
        ia::TestStatistics t = ia::ComputeItemStatistics(a.matrix);
        benchmark::DoNotOptimize(t.kr20);
    });
}

// What the panel and the command line do: read the file, then compute.
void BM_ItemStatisticsFromFile(benchmark::State& st) {
    const std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    Measure(st, path, [&] {
        ia::TestStatistics t = ia::ComputeItemStatistics(ia::LoadExamAnswers(path).matrix);
        benchmark::DoNotOptimize(t.kr20);
    });
}

// One what-if of the key check.
void BM_KeyChangeEffect(benchmark::State& st) {
    const std::string path = iabench::Fixture(st.range(0), st.range(1), 5);
    const ia::ExamAnswers a = ia::LoadExamAnswers(path);
    Measure(st, path, [&] {
        ia::KeyChangeEffect e = ia::EffectOfKeyChange(a.matrix, 1, ia::kNoAnswer);
        benchmark::DoNotOptimize(e.kr20);
    });
}

BENCHMARK(BM_ItemStatisticsCompute)->Args({10000, 100})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ItemStatisticsFromFile)->Args({10000, 100})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyChangeEffect)->Args({10000, 100})->Unit(benchmark::kMillisecond);

} // namespace
