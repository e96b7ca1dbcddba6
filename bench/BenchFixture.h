// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace iabench {

// An exam file of the given size with answers that follow each examinee's
// ability, made once per run in a temporary folder and reused.
std::string Fixture(int sheets, int items, int choices);

// Reads every answer sheet of the file once, as plainly as the engine can:
// the yardstick of the x_read counters.
void ReadAllSheets(const std::string& path);
// Seconds of the fastest of a few plain reads of the file's sheets.
double ReadSeconds(const std::string& path);

// Runs body once per iteration and states, as the counter x_read, its time
// divided by that of a plain read of the same file.
template <typename Body> void Measure(benchmark::State& st, const std::string& path, Body body) {
    using Clock = std::chrono::steady_clock;
    const double read = ReadSeconds(path);
    auto t0 = Clock::now();
    for (auto _ : st)
        body();
    const double each = std::chrono::duration<double>(Clock::now() - t0).count() /
                        static_cast<double>(st.iterations());
    st.counters["x_read"] = each / read;
}

} // namespace iabench
