// SPDX-License-Identifier: GPL-3.0-or-later
// The item statistics, stated like the analysis benchmarks as x_read: time
// per run divided by that of a plain read of every answer sheet of the same
// file.

#include "BenchFixture.h"
#include "analysis/ExamAnswers.h"
#include "analysis/ItemStatistics.h"

#include <benchmark/benchmark.h>

namespace {

using iabench::Measure;

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
