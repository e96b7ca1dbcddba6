// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/MarkDecision.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace ia::scan {

namespace {

// Strengths (shares of the way from blank to filled) a clear mark reaches
// and an empty bubble stays under; between them a bubble is unclear.
constexpr double kMarkedFrom = 0.45;
constexpr double kEmptyBelow = 0.22;
// Two clear marks count as a double mark only when the weaker is nearly as
// strong as the stronger; otherwise one of them may be an erasure.
constexpr double kEvenMarks = 0.7;
// A page must show at least this much between its groups to have marks.
constexpr double kLeastContrast = 0.22;
// The filled level of a page without marks of its own: a firm pencil mark.
constexpr double kAssumedFill = 0.55;

double Median(std::vector<float>::const_iterator from, std::vector<float>::const_iterator to) {
    const auto n = to - from;
    if (n <= 0) return 0;
    return from[n / 2];
}

} // namespace

PageLevels EstimateLevels(std::vector<float> darkness) {
    PageLevels levels;
    if (darkness.empty()) return levels;
    std::sort(darkness.begin(), darkness.end());
    // Otsu's split of the sorted values: the cut with the largest spread
    // between the two groups' means.
    const size_t n = darkness.size();
    std::vector<double> prefix(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
        prefix[i + 1] = prefix[i] + darkness[i];
    double best = -1;
    size_t cut = n;
    for (size_t i = 1; i < n; ++i) {
        const double w0 = static_cast<double>(i) / n, w1 = 1 - w0;
        const double m0 = prefix[i] / i, m1 = (prefix[n] - prefix[i]) / (n - i);
        const double between = w0 * w1 * (m1 - m0) * (m1 - m0);
        if (between > best) {
            best = between;
            cut = i;
        }
    }
    levels.blank = Median(darkness.begin(), darkness.begin() + static_cast<long>(cut));
    // Of the marks, a firm one: a page with many light marks besides must
    // not take a light one for the filled level.
    const double upper = cut < n ? darkness[cut + (n - cut) * 7 / 10] : 0;
    // Too few or too weak upper values are no group of marks: a blank page,
    // or one with only a few light ones, which must not set the scale.
    const size_t marks = n - cut;
    if (cut < n && upper - levels.blank >= kLeastContrast && marks >= 3)
        levels.filled = std::max(upper, levels.blank + kLeastContrast * 1.5);
    else
        levels.filled = levels.blank + kAssumedFill;
    return levels;
}

double MarkStrength(double darkness, const PageLevels& levels) {
    const double span = std::max(1e-6, levels.filled - levels.blank);
    return (darkness - levels.blank) / span;
}

BubbleKind JudgeBubble(double darkness, const PageLevels& levels) {
    const double s = MarkStrength(darkness, levels);
    if (s >= kMarkedFrom) return BubbleKind::Marked;
    if (s < kEmptyBelow) return BubbleKind::Empty;
    return BubbleKind::Unclear;
}

ItemDecision DecideItem(const std::vector<float>& darkness, const PageLevels& levels) {
    int marked = 0, unclear = 0, choice = 0;
    double strongest = -1e9, weakestMarked = 1e9;
    for (size_t i = 0; i < darkness.size(); ++i) {
        const BubbleKind kind = JudgeBubble(darkness[i], levels);
        const double s = MarkStrength(darkness[i], levels);
        if (kind == BubbleKind::Unclear) ++unclear;
        if (kind != BubbleKind::Marked) continue;
        ++marked;
        weakestMarked = std::min(weakestMarked, s);
        if (s > strongest) {
            strongest = s;
            choice = static_cast<int>(i) + 1;
        }
    }
    if (unclear > 0) return {ItemReading::Doubtful, 0};
    if (marked == 0) return {ItemReading::Blank, 0};
    if (marked == 1) return {ItemReading::Answer, choice};
    if (weakestMarked >= kEvenMarks * strongest) return {ItemReading::Multiple, 0};
    return {ItemReading::Doubtful, 0};
}

std::string AnswerText(const ItemDecision& decision) {
    switch (decision.reading) {
    case ItemReading::Answer:
        return std::to_string(decision.choice);
    case ItemReading::Multiple:
        return "*";
    case ItemReading::Blank:
    case ItemReading::Doubtful:
        break;
    }
    return "";
}

CodeReading DecideCode(const std::vector<std::vector<float>>& columns, const PageLevels& levels) {
    CodeReading reading;
    bool started = false;
    for (size_t c = 0; c < columns.size(); ++c) {
        int marked = 0, unclear = 0, digit = 0;
        for (size_t d = 0; d < columns[c].size(); ++d) {
            const BubbleKind kind = JudgeBubble(columns[c][d], levels);
            if (kind == BubbleKind::Marked) {
                ++marked;
                digit = static_cast<int>(d);
            } else if (kind == BubbleKind::Unclear) {
                ++unclear;
            }
        }
        const std::string column = "หลักที่ " + std::to_string(c + 1);
        if (unclear > 0) {
            reading.problem = "รหัสนักเรียน " + column + " ระบายไม่ชัด";
        } else if (marked > 1) {
            reading.problem = "รหัสนักเรียน " + column + " ระบายมากกว่าหนึ่งช่อง";
        } else if (marked == 0) {
            if (started) reading.problem = "รหัสนักเรียน " + column + " ไม่ได้ระบาย";
        } else {
            started = true;
            reading.code += static_cast<char>('0' + digit);
        }
        if (!reading.problem.empty()) break;
    }
    if (reading.problem.empty() && reading.code.empty()) reading.problem = "ไม่ได้ระบายรหัสนักเรียน";
    if (!reading.problem.empty()) reading.code.clear();
    return reading;
}

std::string DarknessText(const std::vector<float>& darkness) {
    std::string text;
    char buf[16];
    for (size_t i = 0; i < darkness.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%.3f",
                      std::clamp(static_cast<double>(darkness[i]), 0.0, 1.0));
        if (i) text += '/';
        text += buf;
    }
    return text;
}

bool ParseDarknessText(const std::string& text, std::vector<float>& darkness) {
    darkness.clear();
    if (text.empty()) return true;
    const char* p = text.c_str();
    while (true) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p || !std::isfinite(v)) return false;
        darkness.push_back(static_cast<float>(v));
        if (*end == '\0') return true;
        if (*end != '/') return false;
        p = end + 1;
    }
}

std::string DarknessRowsText(const std::vector<std::vector<float>>& rows) {
    std::string text;
    for (size_t i = 0; i < rows.size(); ++i)
        text += (i ? ";" : "") + DarknessText(rows[i]);
    return text;
}

std::vector<std::vector<float>> ParseDarknessRows(const std::string& text) {
    std::vector<std::vector<float>> rows;
    if (text.empty()) return rows;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ';')) {
        std::vector<float> row;
        ParseDarknessText(part, row);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace ia::scan
