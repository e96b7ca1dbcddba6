// SPDX-License-Identifier: GPL-3.0-or-later
// Pooling class files and the DIF of a pooled file. Pooling is stated as
// x_sqlite3: its time divided by that of one sqlite3 process reading every
// source's sheets in turn (.open, select * from TAData, to /dev/null), on
// the clock and (x_sqlite3_cpu) in processor time. The
// DIF works on the answer matrix already in memory.

#include "BenchFixture.h"
#include "TestSupport.h"
#include "analysis/Dif.h"
#include "session/Pool.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <ctime>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

// `files` copies of one class file of 40 sheets x 50 items.
const std::vector<std::string>& ClassFiles(int files) {
    static iatest::TempDir dir;
    static std::vector<std::string> made;
    if (static_cast<int>(made.size()) == files) return made;
    const std::string one = iabench::Fixture(40, 50, 4);
    made.clear();
    for (int f = 0; f < files; ++f) {
        made.push_back(dir.file("ห้อง" + std::to_string(f + 1) + ".ans"));
        fs::copy_file(one, made.back(), fs::copy_options::overwrite_existing);
    }
    return made;
}

struct Seconds {
    double wall = 0;
    double cpu = 0;
};

double ChildrenCpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_CHILDREN, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

double OwnCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The best of three runs, on the clock and in processor time (the sqlite3
// process's own): on a machine busy with other work the clock says more
// about the others than about sqlite3.
Seconds SqliteReadSeconds(const std::vector<std::string>& files) {
    iatest::TempDir dir;
    const std::string script = dir.file("read.sql");
    {
        std::ofstream s(script);
        s << ".output /dev/null\n";
        for (const std::string& f : files)
            s << ".open --readonly '" << f << "'\nselect * from TAData;\n";
    }
    const std::string command = "sqlite3 < '" + script + "'";
    Seconds best{1e9, 1e9};
    for (int k = 0; k < 3; ++k) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = ChildrenCpuSeconds();
        if (std::system(command.c_str()) != 0) return {};
        best.cpu = std::min(best.cpu, ChildrenCpuSeconds() - c0);
        best.wall =
            std::min(best.wall,
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

void BM_PoolClassFiles(benchmark::State& st) {
    const std::vector<std::string>& files = ClassFiles(static_cast<int>(st.range(0)));
    const Seconds yardstick = SqliteReadSeconds(files);
    iatest::TempDir out;
    ia::PoolRequest r;
    r.sources = files;
    r.output = out.file("รวม.ans");
    double wall = 0, cpu = 0;
    for (auto _ : st) {
        fs::remove(r.output);
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = OwnCpuSeconds();
        const ia::Outcome<ia::PoolReport> pooled = ia::PoolExamFiles(r);
        cpu += OwnCpuSeconds() - c0;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!pooled.ok()) st.SkipWithError(pooled.error.message.c_str());
    }
    const auto n = static_cast<double>(st.iterations());
    st.counters["x_sqlite3"] = wall / n / yardstick.wall;
    st.counters["sqlite3_s"] = yardstick.wall;
    st.counters["x_sqlite3_cpu"] = cpu / n / yardstick.cpu;
    st.counters["sqlite3_cpu_s"] = yardstick.cpu;
}

// A pooled matrix in memory: `groups` groups of equal size, ability-driven
// answers with one item harder for group 1.
ia::AnswerMatrix PooledMatrix(int sheets, int items, std::vector<std::string>& labels) {
    std::mt19937 rng(7);
    std::normal_distribution<double> ability(0, 1);
    std::uniform_real_distribution<double> u(0, 1);
    ia::AnswerMatrix m;
    m.sheets = sheets;
    m.items = items;
    m.choices = 4;
    m.keys.assign(static_cast<size_t>(items), 1);
    m.answers.reserve(static_cast<size_t>(sheets) * static_cast<size_t>(items));
    for (int s = 0; s < sheets; ++s) {
        const double theta = ability(rng);
        for (int j = 0; j < items; ++j) {
            const double b = -2 + 4.0 * j / items + (j == 10 && s % 2 ? 1.5 : 0);
            m.answers.push_back(u(rng) < 1 / (1 + std::exp(-1.7 * (theta - b))) ? 1 : 2);
        }
    }
    labels.resize(static_cast<size_t>(sheets));
    return m;
}

void BM_DifFromMatrix(benchmark::State& st) {
    const int groups = static_cast<int>(st.range(0));
    const bool purify = st.range(1) != 0;
    std::vector<std::string> labels;
    const ia::AnswerMatrix m = PooledMatrix(100000, 100, labels);
    for (size_t s = 0; s < labels.size(); ++s)
        labels[s] = "กลุ่ม" + std::to_string(s % static_cast<size_t>(groups));
    const ia::SheetGroups g = ia::GroupsFromLabels(labels);
    for (auto _ : st) {
        ia::DifResult r = ia::ComputeDif(m, g, 0, 1, purify);
        benchmark::DoNotOptimize(r.items.data());
    }
}

BENCHMARK(BM_PoolClassFiles)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DifFromMatrix)
    ->Args({2, 0})
    ->Args({2, 1})
    ->Args({4, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace
