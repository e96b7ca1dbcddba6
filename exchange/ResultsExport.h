// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scores, answers and the stored results of an exam file written to an
// .xlsx workbook or to one CSV table. Scores are computed from the answers
// and the key as they are now (the stored scores may be older).
#include "examfile/Progress.h"

#include <string>
#include <vector>

namespace ia {

class Connection;

struct OutCell {
    enum Kind { Empty, Text, Number } kind = Empty;
    std::string text;
    double number = 0;
    static OutCell Of(std::string t) { return {Text, std::move(t), 0}; }
    static OutCell Of(double v) { return {Number, {}, v}; }
};
using SpreadsheetRow = std::vector<OutCell>;

struct OutSheet {
    std::string name;
    std::vector<SpreadsheetRow> rows;
    int frozenRows = 1;
};

struct SheetScore {
    std::string code;
    int score = 0;
    bool hasPercent = false;   // false with no keyed item: the cell stays empty
    double percent = 0;        // score / the items with a key typed × 100
    double percentileRank = 0; // (count below + count equal / 2) / N × 100
    bool hasZ = false;         // false when every score is the same
    double z = 0;              // population standard deviation
    double t = 0;              // 50 + 10z
    int rank = 0;              // highest first, ties sharing the best rank
};

// Scores sheets (code, answers) against the key the way the analysis does:
// a key blank or "0" is not scored, a key with no value at all (NULL,
// given as keyNull) is scored but never matched. The percent is of the
// items with a key typed, so a test keyed in part gives 100 to a student
// right on all of them.
std::vector<SheetScore> ComputeScores(const std::vector<std::string>& key,
                                      const std::vector<bool>& keyNull,
                                      const std::vector<std::string>& codes,
                                      const std::vector<std::vector<std::string>>& answers);

// The sheets of the workbook, each one plain table (one header row, then one
// row per record) that a spreadsheet or R reads as it is; the CSV tables
// are the same sheets under the same header names.
inline constexpr const char* kScoresSheet = "คะแนน";
inline constexpr const char* kAnswersSheet = "คำตอบ"; // the key as its first row, "เฉลย"
inline constexpr const char* kResultsSheet = "ผลวิเคราะห์";
// The whole test: one row of the results the analysis stored (technique,
// time, whether they still match the data), one of the answers now.
inline constexpr const char* kSummarySheet = "สรุป";

// The sheets คะแนน, คำตอบ, ผลวิเคราะห์, สถิติรายข้อ, ตัวเลือก, for a file with
// groups กลุ่ม and เปรียบเทียบกลุ่ม, and last สรุป, of an exam file with
// nItem items.
// Reports the sheets read to `progress`; a cancel throws JobCancelled.
std::vector<OutSheet> BuildExportSheets(Connection& db, int nItem,
                                        Progress& progress = NoProgress());

// Writes `notice` (that the stored results no longer match the data, or
// cannot be told to) in the summary's row of the stored results, so that
// the workbook says it as the window does; nothing when it is empty.
void NoteResultsCurrency(std::vector<OutSheet>& sheets, const std::string& notice);

enum class CsvTable { Scores, Answers, Results, Summary };
// "scores", "answers", "results" or "summary".
bool ParseCsvTable(const std::string& name, CsvTable& table);
// The table of a CSV export: its sheet of the workbook, header and all.
OutSheet CsvSheet(const std::vector<OutSheet>& sheets, CsvTable table);

// Why out may not be written for the exam file (it is the exam file);
// empty when it may.
std::string ExportTargetRefusal(const std::string& examPath, const std::string& out);

// Write through a temporary file beside the target and a rename, so that
// an existing target is replaced whole or not at all. False with a Thai
// message. Both report the rows written to `progress`; a cancel throws
// JobCancelled, and the target then keeps what it held.
bool WriteXlsx(const std::vector<OutSheet>& sheets, const std::string& path, std::string& error,
               Progress& progress = NoProgress());
// UTF-8 with a byte-order mark (so that spreadsheets read the Thai).
bool WriteCsv(const OutSheet& sheet, const std::string& path, std::string& error,
              Progress& progress = NoProgress());

} // namespace ia
