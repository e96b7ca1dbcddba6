// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/ReportModel.h"

#include "analysis/AnalysisState.h"
#include "examfile/DataView.h"
#include "examfile/KeyRule.h"
#include "examfile/Schema.h"
#include "examfile/Val.h"

namespace ia {

bool KeyIsBlank(const ReportData& d, int item) {
    if (item < 0 || item >= static_cast<int>(d.keys.size())) return false;
    const auto& k = d.keys[item];
    return !IsKeyed(k ? std::optional<std::string_view>(*k) : std::nullopt);
}

namespace {
std::optional<std::string> OptText(const Value& v) {
    if (v.isNull()) return std::nullopt;
    return v.text();
}
std::optional<long long> OptInt(const Value& v) {
    if (v.isNull()) return std::nullopt;
    return v.integer();
}
} // namespace

ReportData LoadReportData(ExamViews& views, const AnalysisState& state) {
    ReportData d;
    d.AnalysisKind = state.AnalysisKind;
    d.SheetCount = state.SheetCount;
    d.KeyedItemCount = state.KeyedItemCount;
    d.UnkeyedItemCount = state.UnkeyedItemCount;

    RecordSet* out = views.results.Recordset();
    if (!out) return d; // no file bound: an empty report
    using namespace schema;
    int fItem = out->fieldIndex(kItemNo), fChoice = out->fieldIndex(kChoiceNo),
        fIsAns = out->fieldIndex(kIsAnswer), fH = out->fieldIndex(kHighCount),
        fL = out->fieldIndex(kLowCount), fPH = out->fieldIndex(kHighProportion),
        fPL = out->fieldIndex(kLowProportion), fP = out->fieldIndex(kDifficulty),
        fR = out->fieldIndex(kDiscrimination), fDelta = out->fieldIndex(kDelta),
        fZr = out->fieldIndex(kZr), fExplain = out->fieldIndex(kExplain);
    d.rows.reserve(out->recordCount());
    for (int i = 0; i < out->recordCount(); ++i) {
        std::vector<Value> v = out->rowAt(i);
        OutRow r;
        r.ItemNo = static_cast<int>(v[fItem].integer());
        r.ChoiceNo = static_cast<int>(v[fChoice].integer());
        r.IsAns = static_cast<int>(v[fIsAns].integer());
        r.H = static_cast<int>(v[fH].integer());
        r.L = static_cast<int>(v[fL].integer());
        r.PH = OptText(v[fPH]);
        r.PL = OptText(v[fPL]);
        r.P = OptText(v[fP]);
        r.r = OptText(v[fR]);
        r.Delta = OptText(v[fDelta]);
        r.Zr = OptText(v[fZr]);
        r.Explain = OptText(v[fExplain]);
        d.rows.push_back(std::move(r));
    }

    RecordSet* key = views.key.Recordset();
    if (key && key->recordCount() > 0) {
        std::vector<Value> k = key->rowAt(0);
        d.keys.resize(k.size());
        for (size_t i = 1; i + 1 < k.size(); ++i)
            d.keys[i] = OptText(k[i]);
    }

    RecordSet* st = views.stats.Recordset();
    if (st && st->recordCount() > 0) {
        std::vector<Value> s = st->rowAt(0);
        auto at = [&](const char* name) { return s[st->fieldIndex(name)]; };
        d.stat.nCase = OptInt(at(kCaseCount));
        d.stat.MaxScore = OptInt(at(kMaxScore));
        d.stat.MinScore = OptInt(at(kMinScore));
        d.stat.nItem = OptInt(at(kStatsItemCount)); // the keyed items
        d.stat.Xbar = OptText(at(kMean));
        d.stat.SD = OptText(at(kSd));
        d.stat.KR20 = OptText(at(kKr20));
        d.stat.SEmea = OptText(at(kSem));
        d.stat.Pav = OptText(at(kAverageP));
        d.stat.Rav = OptText(at(kAverageR));
        d.stat.Dav = OptText(at(kAverageDelta));
        d.stat.Zrav = OptText(at(kAverageZr));
    }
    return d;
}

int QualityCategory(long long p, long long r) {
    int band;
    if (p >= 0 && p <= 19)
        band = 0;
    else if (p >= 20 && p <= 39)
        band = 1;
    else if (p >= 40 && p <= 59)
        band = 2;
    else if (p >= 60 && p <= 79)
        band = 3;
    else if (p >= 80 && p <= 100)
        band = 4;
    else
        return -1;
    int rk;
    if (r >= 20 && r <= 100)
        rk = 0;
    else if (r >= 1 && r <= 19)
        rk = 1;
    else if (r == 0)
        rk = 2;
    else if (r >= -100 && r <= -1)
        rk = 3;
    else
        return -1;
    if (rk == 2) return 7; // discard 2
    if (rk == 3) return 8; // discard 3
    // band: 0 very hard, 1 rather hard, 2 moderate, 3 rather easy, 4 very easy
    static const int good[5] = {4, 2, 1, 0, 3}; // improve2, keep3, keep2, keep1, improve1
    static const int poor[5] = {6, 5, 5, 5, 6}; // discard1, improve3 x3, discard1
    return rk == 0 ? good[band] : poor[band];
}

int ItemQualityCategory(const OutRow& keyRow) {
    return QualityCategory(Hundredths(keyRow.P.value_or("")), Hundredths(keyRow.r.value_or("")));
}

const char* QualityCategoryName(int category) {
    static const char* const names[9] = {
        "ข้อสอบที่ดี ควรเก็บไว้ : ข้อที่ค่อนข้างง่าย อำนาจจำแนกดี",
        "ข้อสอบที่ดี ควรเก็บไว้ : ข้อที่ยากง่ายปานกลาง อำนาจจำแนกดี",
        "ข้อสอบที่ดี ควรเก็บไว้ : ข้อที่ค่อนข้างยาก อำนาจจำแนกดี",
        "ข้อที่ควรปรับปรุง : ข้อที่ง่ายมาก อำนาจจำแนกดี",
        "ข้อที่ควรปรับปรุง : ข้อที่ยากมาก อำนาจจำแนกดี",
        "ข้อที่ควรปรับปรุง : ข้อที่ความยากปานกลาง อำนาจจำแนกไม่ดี",
        "ข้อสอบที่ควรตัดทิ้ง : ข้อที่ยากมากหรือง่ายมาก อำนาจจำแนกไม่ดี",
        "ข้อสอบที่ควรตัดทิ้ง : ข้อที่ไม่มีอำนาจจำแนก (อำนาจจำแนกเป็น 0)",
        "ข้อสอบที่ควรตัดทิ้ง : ข้อที่อำนาจจำแนกเป็นลบ",
    };
    return category >= 0 && category < 9 ? names[category] : "";
}

} // namespace ia
