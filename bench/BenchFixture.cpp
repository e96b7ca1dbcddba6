// SPDX-License-Identifier: GPL-3.0-or-later
#include "BenchFixture.h"

#include "TestSupport.h"
#include "examfile/Engine.h"

#include <algorithm>
#include <map>
#include <random>

namespace iabench {

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

void ReadAllSheets(const std::string& path) {
    ia::Connection db(path);
    auto q = db.prepare("SELECT * FROM TAData");
    long long cells = 0;
    while (q.step())
        for (int i = 0; i < q.columnCount(); ++i)
            cells += q.column(i).text().size();
    benchmark::DoNotOptimize(cells);
}

double ReadSeconds(const std::string& path) {
    using Clock = std::chrono::steady_clock;
    static std::map<std::string, double> known;
    if (auto it = known.find(path); it != known.end()) return it->second;
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto t0 = Clock::now();
        ReadAllSheets(path);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return known[path] = best;
}

} // namespace iabench
