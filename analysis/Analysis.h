// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scoring, groups, the two techniques and the judgements. Plain C++ over the
// data views: the window, the command line and the tests run the same code.

#include "analysis/AnalysisState.h"
#include "examfile/DataView.h"
#include "examfile/ExamState.h"

#include <stdexcept>
#include <string>

namespace ia {

// What the analysis needs from whoever owns the views (the window lays out
// its grids and shows the busy pointer; the command line does nothing).
class AnalysisHost {
  public:
    virtual ~AnalysisHost() = default;
    virtual void SetDbGrid2() {}
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
    ExamViews& views;
    const TestHeader& header;
    AnalysisState& state;
    AnalysisHost& host;
};

// Scores every sheet, writes Score, Tot and the statistics row.
void CalScore(AnalysisContext& c);
// Empties TOut, scores, forms the groups and writes one TOut row per item and
// choice with counts and proportions; Data1 is left in score order.
void CalHL(AnalysisContext& c, int percent);
// Writes every row's judgement.
void Explain(AnalysisContext& c);
// The 25 % simple-formula technique, one transaction.
void Analy25(AnalysisContext& c);
// The 27 % Fan-table technique, one transaction; the table files are read
// from tableDir.
void analy27(AnalysisContext& c, const std::string& tableDir);

// What an analysis command runs: kind 1 the 25 % technique, kind 2 the
// 27 % one (tables read from tableDir), over items 1..nItem, with
// AnalysisKind set for the report writers.
void RunTechnique(AnalysisContext& c, int kind, const std::string& tableDir);

} // namespace ia
