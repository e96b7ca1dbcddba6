// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which technique the stored results come from and when it ran, kept in a
// table of our own (IAAnalysisRun, one row) that an exam file without it
// does without: other programs read only the exam file's own tables.
#include <optional>
#include <string>

namespace ia {

class Connection;

struct AnalysisRun {
    int technique = 0; // 1: the 25 % technique, 2: the 27 % one
    std::string time;  // local time "YYYY-MM-DD HH:MM:SS"
};

// Records the run that has just written the results.
void RecordAnalysisRun(Connection& db, int technique);

// The last recorded run; none in a file that never recorded one.
std::optional<AnalysisRun> LastAnalysisRun(Connection& db);

} // namespace ia
