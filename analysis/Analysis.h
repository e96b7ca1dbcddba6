// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The analysis of an exam file: load the key and the answer sheets once,
// compute with the formulas of AnalysisFormulas.h, store the results in one
// transaction. The data views are not re-read here: whoever shows them
// re-reads and lays them out after a run.

#include "analysis/AnalysisFormulas.h"
#include "analysis/AnalysisState.h"
#include "examfile/DataView.h"
#include "examfile/ExamState.h"
#include "examfile/Progress.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace ia {

// What the analysis needs from whoever runs it: the window shows the busy
// pointer; the command line does nothing.
class AnalysisHost {
  public:
    virtual ~AnalysisHost() = default;
    virtual void BusyPointer(bool /*on*/) {}
};

// A refusal or failure with a Thai text for the user. Nothing of the exam
// file has changed when it is thrown.
class AnalysisError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

extern const char* const kTooFewSheets; // "จำนวนกระดาษคำตอบน้อยเกินไป วิเคราะห์ไม่ได้"
extern const char* const kNoKeyedItem; // "ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้"

struct AnalysisContext {
    ExamViews& views; // only their file is used
    const TestHeader& header;
    AnalysisState& state;
    AnalysisHost& host;
    // When given, the analysis checks the sheets as it reads them and puts
    // the findings here (before any refusal), for a caller that does not ask
    // before analysing (the command line).
    std::vector<std::string>* sheetFindings = nullptr;
    // When given, a technique reports the sheets it reads and the storing
    // of its results, and a cancel throws JobCancelled with the file as it
    // was (the one transaction rolled back).
    Progress* progress = nullptr;
};

// Scores every sheet, writes Score (where it changes), Tot and the
// statistics row; gives the fingerprint of the key and sheets it read
// (DataFingerprint(), from the same read).
std::string StoreSheetScores(AnalysisContext& c);
// Empties TOut, scores, forms the groups and writes one TOut row per item and
// choice with counts and proportions; returns the group counts.
GroupCounts StoreHighLowCounts(AnalysisContext& c, int percent);
// Writes every TOut row's judgement from the row as stored.
void JudgeStoredRows(AnalysisContext& c);
// The 25 % simple-formula technique, one transaction.
void AnalyseSimpleFormula25(AnalysisContext& c);
// The 27 % Fan-table technique, one transaction; the table files are read
// from tableDir.
void AnalyseFanTable27(AnalysisContext& c, const std::string& tableDir);

// What an analysis command runs: the technique (the 27 % one reads its
// tables from tableDir) over items 1..nItem, with AnalysisKind set for the
// report writers.
void RunTechnique(AnalysisContext& c, Technique technique, const std::string& tableDir);

// Re-reads the views an analysis writes to (key, results, statistics), for
// the report and the grids after a run.
void RereadResultViews(ExamViews& views);

} // namespace ia
