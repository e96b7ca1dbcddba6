// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the report writers (the text file and the printed report) read,
// gathered from the exam file once so that the writers need no database.

#include "examfile/ExamState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ia {

class DataView;
struct ExamViews;
struct AnalysisState;

struct OutRow {
    int ItemNo = 0;
    int ChoiceNo = 0;
    int IsAns = 0;
    int H = 0;
    int L = 0;
    std::optional<std::string> PH, PL, P, r, Delta, Zr, Explain;
};

struct StatRow {
    std::optional<long long> nCase, MaxScore, MinScore, nItem;
    std::optional<std::string> Xbar, SD, KR20, SEmea, Pav, Rav, Dav, Zrav;
};

struct ReportData {
    int AnalysisKind = 0;
    int32_t SheetCount = 0;
    int16_t KeyedItemCount = 0;
    int16_t UnkeyedItemCount = 0;
    std::vector<OutRow> rows;                     // TOut in stored order
    std::vector<std::optional<std::string>> keys; // key of item i at index i (0 unused)
    StatRow stat;
};

// Whether item i has no key (see IsKeyed: NULL, empty or "0").
bool KeyIsBlank(const ReportData& d, int item);

// Reads TOut (the results view), the key row and TStat (the stats view).
ReportData LoadReportData(ExamViews& views, const AnalysisState& state);

// Quality categories: 0..2 keep 1..3, 3..5 improve 1..3, 6..8 discard 1..3;
// -1 when p or r falls in no range. p100 and r100 are the stored texts in
// whole hundredths (Hundredths()).
int QualityCategory(long long p100, long long r100);
// The quality category of an item from its key's row: the stored p and r as
// the report prints them. Every picture and panel that judges an item asks
// this, so that none can disagree with the report.
int ItemQualityCategory(const OutRow& keyRow);
// The judgement of a category in words, its group first ("ข้อที่ควรปรับปรุง :
// ข้อที่ง่ายมาก อำนาจจำแนกดี"); empty for -1.
const char* QualityCategoryName(int category);

} // namespace ia
