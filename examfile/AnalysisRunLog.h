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

// A fingerprint of everything the results are computed from: the number of
// items and choices, the key and every sheet's code and answers (not the
// scores the analysis writes, nor the order of the sheets). Any change to
// them, by this program or another, changes it.
std::string DataFingerprint(Connection& db);
// Records the fingerprint of the data the stored results have just been
// computed from.
void RecordResultsFingerprint(Connection& db);
// The fingerprint recorded with the stored results; none in a file whose
// results no analysis of ours recorded it for.
std::optional<std::string> ResultsFingerprint(Connection& db);
// The same for the sheets' stored scores, recorded by the analysis and by
// the totalling.
void RecordScoresFingerprint(Connection& db);
std::optional<std::string> ScoresFingerprint(Connection& db);

} // namespace ia
