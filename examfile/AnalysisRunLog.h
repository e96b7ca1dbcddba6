// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which technique the stored results come from and when it ran, kept in a
// table of our own (IAAnalysisRun, one row) that an exam file without it
// does without: other programs read only the exam file's own tables.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ia {

class Connection;
class Statement;

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

// The hash of one row as DataFingerprint() takes it, for a reader that goes
// through the rows itself (the analysis, in its one read of the sheets).
class RowFingerprint {
  public:
    // The column of the statement's current row.
    void add(Statement& st, int column);
    // A value read already: NULL, or the text of any other (a real number's
    // as Value::text() gives it), marked so that NULL, '' and "0" differ.
    void addNull() { byte(0); }
    void addText(std::string_view text) {
        byte(1);
        for (char ch : text)
            byte(static_cast<unsigned char>(ch));
        byte(0xff);
    }
    uint64_t value() const { return h_; }

  private:
    void byte(unsigned char b) {
        h_ ^= b;
        h_ *= 1099511628211ULL;
    }
    uint64_t h_ = 14695981039346656037ULL; // FNV-1a
};
// DataFingerprint() of the key row's hash and the sum of every sheet's (all
// their columns but the key's total and the sheets' score); reads only the
// header.
std::string DataFingerprint(Connection& db, uint64_t keyRow, uint64_t sheetsSum);

// Records the fingerprint of the data the stored results have just been
// computed from.
void RecordResultsFingerprint(Connection& db, const std::string& fingerprint);
// The fingerprint recorded with the stored results; none in a file whose
// results no analysis of ours recorded it for.
std::optional<std::string> ResultsFingerprint(Connection& db);
// The same for the sheets' stored scores, recorded by the analysis and by
// the totalling.
void RecordScoresFingerprint(Connection& db, const std::string& fingerprint);
std::optional<std::string> ScoresFingerprint(Connection& db);

} // namespace ia
