// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/AnalysisFormulas.h"

#include "analysis/Format.h"
#include "analysis/Stats.h"
#include "examfile/KeyRule.h"
#include "examfile/Val.h"

#include <cmath>

namespace ia {

bool IsUnkeyed(StoredText key) {
    return !IsKeyed(key);
}

bool AnswerMatchesKey(StoredText answer, StoredText key) {
    return IsKeyed(key) && answer && *answer == *key;
}

int ChoiceOfAnswer(StoredText answer) {
    if (!answer) return kNoChoice;
    double v;
    if (answer->size() == 1) {
        const char c = (*answer)[0];
        v = c >= '0' && c <= '9' ? c - '0' : 0;
    } else {
        v = Val(*answer);
    }
    if (v < 0 || v > 6 || v != std::floor(v)) return kNoChoice;
    return static_cast<int>(v);
}

bool IsKeyChoice(StoredText key, int choice) {
    return IsKeyed(key) && *key == std::to_string(choice);
}

AnswerCell CellOf(StoredText answer, StoredText key) {
    return {AnswerMatchesKey(answer, key), static_cast<uint8_t>(ChoiceOfAnswer(answer))};
}

KeyCounts CountKeyedItems(const std::vector<StoredText>& keys) {
    KeyCounts k;
    for (const StoredText& key : keys)
        (IsUnkeyed(key) ? k.unkeyed : k.keyed)++;
    return k;
}

ScoringMatrix::ScoringMatrix(int items) : items_(items), stride_((items + 1) / 2) {}

void ScoringMatrix::addSheet() {
    const uint8_t none = kNoChoice | (kNoChoice << 4);
    bytes_.insert(bytes_.end(), stride_, none);
    ++sheets_;
}

void ScoringMatrix::addSheet(const uint8_t* cells) {
    for (int i = 0; i + 1 < items_; i += 2)
        bytes_.push_back(static_cast<uint8_t>(cells[i] | (cells[i + 1] << 4)));
    if (items_ % 2) bytes_.push_back(static_cast<uint8_t>(cells[items_ - 1] | (kNoChoice << 4)));
    ++sheets_;
}

Scoring ScoreSheets(const ScoringMatrix& answers) {
    Scoring s;
    const int items = answers.items();
    s.scores.resize(static_cast<size_t>(answers.sheets()));
    s.correctByItem.assign(items, 0);
    for (long long sheet = 0; sheet < answers.sheets(); ++sheet) {
        int score = 0;
        for (int i = 0; i < items; ++i) {
            const bool correct = answers.at(sheet, i).correct;
            score += correct;
            s.correctByItem[i] += correct;
        }
        s.scores[sheet] = static_cast<uint16_t>(score);
        s.sumScores += score;
        s.sumSquares += static_cast<long long>(score) * score;
    }
    return s;
}

namespace {

// KR-20 needs two keyed items and some spread of scores; otherwise it and
// its standard error are stored empty rather than as garbage.
Reliability ReliabilityOf(const Scoring& scoring, int keyedItems, double variance, double sd) {
    Reliability rel;
    const long long n = static_cast<long long>(scoring.scores.size());
    if (keyedItems < 2 || !(variance > 0)) return rel;
    // Shares are counted in single precision, as the stored texts expect.
    double sumpq = 0;
    for (long long c : scoring.correctByItem) {
        float p = static_cast<float>(c);
        if (n > 0) p = p / static_cast<float>(n);
        sumpq += p * (1.0f - p);
    }
    const double k = keyedItems;
    rel.kr20 = static_cast<float>((k / (k - 1)) * (1 - sumpq / variance));
    // N² times the sum of p·q and N² times the variance, both in whole
    // numbers: when they are equal KR-20 is exactly 0, which the
    // floating-point sums would leave as a tiny negative ("-.0000").
    long long sumCountsSpread = 0; // sum over items of c * (N - c)
    for (long long c : scoring.correctByItem)
        sumCountsSpread += c * (n - c);
    if (sumCountsSpread == n * scoring.sumSquares - scoring.sumScores * scoring.sumScores)
        rel.kr20 = 0;
    rel.kr20Text = FormatDec4(rel.kr20);
    const double semArg = 1 - static_cast<double>(rel.kr20);
    rel.semText = semArg >= 0 ? FormatDec4(static_cast<float>(sd * std::sqrt(semArg))) : "";
    return rel;
}

} // namespace

TestSummary DescribeTest(const Scoring& scoring, int keyedItems) {
    TestSummary t;
    t.sheets = static_cast<long long>(scoring.scores.size());
    if (t.sheets > 0) {
        const double n = static_cast<double>(t.sheets);
        const double s1 = static_cast<double>(scoring.sumScores);
        const double s2 = static_cast<double>(scoring.sumSquares);
        t.mean = s1 / n;
        t.variance = (s2 - s1 * s1 / n) / n;
        if (t.variance < 0) t.variance = 0; // rounding of equal scores
        t.sd = std::sqrt(t.variance);
    }
    t.reliability = ReliabilityOf(scoring, keyedItems, t.variance, t.sd);
    t.meanText = FormatDec4(static_cast<float>(t.mean));
    t.sdText = FormatDec4(static_cast<float>(t.sd));
    return t;
}

int GroupSize(int percent, long long sheets) {
    return static_cast<int>(RoundHalfEven(percent * static_cast<double>(sheets) / 100.0));
}

GroupCounts CountHighLowGroups(const ScoringMatrix& answers, const std::vector<uint16_t>& scores,
                               int groupSize) {
    GroupCounts counts(answers.items());
    const long long n = static_cast<long long>(scores.size());
    if (groupSize <= 0 || n == 0) return counts;
    // Rank by score, equal scores keeping file order (a counting sort): the
    // rank at which each score's sheets begin.
    int top = 0;
    for (uint16_t s : scores)
        top = std::max<int>(top, s);
    std::vector<long long> start(static_cast<size_t>(top) + 2, 0);
    for (uint16_t s : scores)
        ++start[s + 1];
    for (size_t s = 1; s < start.size(); ++s)
        start[s] += start[s - 1];
    const long long g = groupSize;
    for (long long sheet = 0; sheet < n; ++sheet) {
        const long long rank = start[scores[sheet]]++;
        const bool low = rank < g;
        const bool high = rank > n - g - 1;
        if (!low && !high) continue;
        for (int i = 0; i < answers.items(); ++i) {
            const int choice = answers.at(sheet, i).choice;
            if (choice == kNoChoice) continue;
            if (low) ++counts.lowRow(i)[choice];
            if (high) ++counts.highRow(i)[choice];
        }
    }
    return counts;
}

std::vector<ChoiceRow> ChoiceRows(const GroupCounts& counts, const std::vector<StoredText>& keys,
                                  int nChoice) {
    std::vector<ChoiceRow> rows;
    for (int i = 0; i < counts.items(); ++i) {
        long long sumH = 0, sumL = 0;
        for (int j = 1; j <= nChoice; ++j)
            sumH += counts.high(i, j), sumL += counts.low(i, j);
        for (int j = 1; j <= nChoice; ++j) {
            ChoiceRow row;
            row.item = i + 1;
            row.choice = j;
            row.isKey = IsKeyChoice(keys[i], j);
            row.high = counts.high(i, j);
            row.low = counts.low(i, j);
            // Divided in double precision and narrowed for the text.
            if (sumH)
                row.highShare =
                    FormatDec2(static_cast<float>(static_cast<double>(row.high) / sumH));
            if (sumL)
                row.lowShare = FormatDec2(static_cast<float>(static_cast<double>(row.low) / sumL));
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

RowResult SimpleFormula25(long long high, long long low, bool isKey, int groupSize) {
    const double h = static_cast<double>(high), l = static_cast<double>(low);
    const double g = groupSize;
    const double p = (h + l) / (2 * g);
    const double r = isKey ? (h - l) / g : (l - h) / g;
    const float delta = 13.0f + 4.0f * InvNormal(static_cast<float>(1 - p));
    RowResult res{FormatDec2(static_cast<float>(p)), FormatDec2(static_cast<float>(r)),
                  FormatDec1(delta), std::nullopt};
    if (isKey) res.zr = FormatDec2(FisherZ(static_cast<float>(r)));
    return res;
}

namespace {
std::string TwoDigits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}
} // namespace

RowResult FanTable27(long long high, long long low, int highShare100, int lowShare100, bool isKey,
                     const ChungTables& tables) {
    RowResult res;
    float r = 0;
    if (high == 0 && low == 0) {
        res.p = " .00";
        res.r = " .00";
        res.delta = "    .0";
    } else {
        const ChungCell cell = LocateChungCell(highShare100, lowShare100, isKey);
        const int cp = tables.P[cell.position], cr = tables.R[cell.position],
                  cd = tables.D[cell.position];
        res.p = " ." + TwoDigits(cp);
        res.r = std::string(cell.negative ? "-" : " ") + "." + TwoDigits(cr);
        res.delta = FormatDec1(static_cast<float>(cd / 10.0));
        r = static_cast<float>(cr / 100.0);
        if (cell.negative) r = -r;
    }
    if (isKey) res.zr = FormatDec2(FisherZ(r));
    return res;
}

Averages AverageOfStoredTexts(const std::vector<RowResult>& keyRows, int keyedItems) {
    double sp = 0, sd = 0, sz = 0;
    for (const RowResult& row : keyRows) {
        sp += Val(row.p);
        sd += Val(row.delta);
        sz += Val(row.zr.value_or(""));
    }
    const int k = keyedItems;
    const double pav = k ? sp / k : 0, dav = k ? sd / k : 0, zrav = k ? sz / k : 0;
    const float rav = FisherR(static_cast<float>(zrav));
    return {FormatDec2(static_cast<float>(pav)), FormatDec2(rav),
            FormatDec1(static_cast<float>(dav)), FormatDec2(static_cast<float>(zrav))};
}

std::string JudgeRow(bool isKey, long long p100, long long r100, long long high, long long low) {
    std::string d, r;
    if (isKey) {
        if (p100 <= 19)
            d = "ยากมาก";
        else if (p100 <= 39)
            d = "ค่อนข้างยาก";
        else if (p100 <= 59)
            d = "ยากง่ายปานกลาง";
        else if (p100 <= 79)
            d = "ค่อนข้างง่าย";
        else
            d = "ง่ายมาก";
        if (r100 >= 40)
            r = "  อำนาจจำแนกดีมาก";
        else if (r100 >= 30)
            r = "  อำนาจจำแนกดี";
        else if (r100 >= 20)
            r = "  อำนาจจำแนกพอใช้ได้";
        else if (r100 >= 1)
            r = "  อำนาจจำแนกไม่ดี";
        else if (r100 == 0)
            r = "  ไม่มีอำนาจจำแนก";
        else
            r = "  ไม่ดี คนเก่งหลงทำผิด";
        if (high == low) r = "  ไม่มีอำนาจจำแนก";
        if (high == 0 && low == 0) {
            d = "ยากมาก  ไม่มีใครตอบได้";
            r.clear();
        }
    } else {
        if (high > low)
            d = "ไม่ดี คนเก่งหลงตอบมากกว่า";
        else if (high == low)
            d = "ไม่ดี ไม่มีอำนาจจำแนก";
        else
            d = "ดี คนอ่อนหลงตอบมากกว่า";
        if (high == 0 && low == 0) d = "ไม่ดี ไม่มีคนเลือก";
    }
    return d + r;
}

} // namespace ia
