// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Dif.h"

#include "analysis/Analysis.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace ia {

namespace {

constexpr double kEtsScale = 2.35;
constexpr double kSignificance = 0.05;
constexpr double kOneSidedZ = 1.645;

bool Finite(double x) {
    return std::isfinite(x);
}

} // namespace

double ChiSquareUpperTail(double x, int df) {
    if (!(x > 0)) return 1;
    const double h = x / 2;
    // Closed forms: even df sums the Poisson terms, odd df adds half-integer
    // terms to the one-df tail; both stay exact to rounding for the few
    // degrees of freedom a number of groups gives.
    double sum = 0;
    if (df % 2 == 0) {
        double term = std::exp(-h);
        for (int k = 0; k < df / 2; ++k) {
            sum += term;
            term *= h / (k + 1);
        }
        return std::min(1.0, sum);
    }
    sum = std::erfc(std::sqrt(h));
    double term = std::exp(-h) * std::sqrt(h) * 2 / std::sqrt(M_PI); // k = 1: h^(1/2) / G(3/2)
    for (int k = 1; k <= (df - 1) / 2; ++k) {
        sum += term;
        term *= h / (k + 0.5);
    }
    return std::min(1.0, sum);
}

MantelHaenszel MantelHaenszelTest(const std::vector<MhStratum>& strata) {
    double sumA = 0, sumE = 0, sumV = 0;
    double sumR = 0, sumS = 0, sumPR = 0, sumPSQR = 0, sumQS = 0;
    for (const MhStratum& s : strata) {
        const double a = s.referenceRight, b = s.referenceWrong, c = s.focalRight, d = s.focalWrong;
        const double t = a + b + c + d;
        if (t < 2) continue;
        const double nRef = a + b, nFocal = c + d, right = a + c, wrong = b + d;
        sumA += a;
        sumE += nRef * right / t;
        sumV += nRef * nFocal * right * wrong / (t * t * (t - 1));
        const double r = a * d / t, sv = b * c / t;
        const double p = (a + d) / t, q = (b + c) / t;
        sumR += r;
        sumS += sv;
        sumPR += p * r;
        sumPSQR += p * sv + q * r;
        sumQS += q * sv;
    }
    MantelHaenszel out;
    if (sumR > 0 && sumS > 0) {
        out.alpha = sumR / sumS;
        // An odds ratio of exactly 1 gives no difference, not "-0" in the
        // tables and JSON.
        out.delta = -kEtsScale * std::log(*out.alpha) + 0.0;
        const double var =
            sumPR / (2 * sumR * sumR) + sumPSQR / (2 * sumR * sumS) + sumQS / (2 * sumS * sumS);
        if (Finite(var) && var >= 0) out.deltaSe = kEtsScale * std::sqrt(var);
    }
    if (sumV > 0) {
        const double diff = std::abs(sumA - sumE);
        const double yates = diff >= 0.5 ? 0.5 : 0;
        out.chi2 = (diff - yates) * (diff - yates) / sumV;
        out.pValue = ChiSquareUpperTail(*out.chi2, 1);
    }
    return out;
}

const char* EtsClassName(EtsClass c) {
    switch (c) {
    case EtsClass::A:
        return "A";
    case EtsClass::B:
        return "B";
    case EtsClass::C:
        return "C";
    }
    return "";
}

std::optional<EtsClass> EtsClassOf(const MantelHaenszel& mh) {
    if (!mh.pValue) return std::nullopt;
    if (*mh.pValue >= kSignificance) return EtsClass::A;
    if (!mh.delta) return std::nullopt;
    const double size = std::abs(*mh.delta);
    if (size < 1) return EtsClass::A;
    if (size >= 1.5 && mh.deltaSe && *mh.deltaSe > 0 && (size - 1) / *mh.deltaSe > kOneSidedZ)
        return EtsClass::C;
    return EtsClass::B;
}

namespace {

// Solves a x = b in place by elimination with partial pivoting; false when
// a is singular to working precision (as qr.solve refuses it).
bool Solve(std::vector<std::vector<double>> a, std::vector<double>& b) {
    const size_t n = b.size();
    double scale = 0;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            scale = std::max(scale, std::abs(a[i][j]));
    if (!(scale > 0)) return false;
    for (size_t col = 0; col < n; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < n; ++r)
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) pivot = r;
        if (std::abs(a[pivot][col]) <= 1e-10 * scale) return false;
        std::swap(a[pivot], a[col]);
        std::swap(b[pivot], b[col]);
        for (size_t r = col + 1; r < n; ++r) {
            const double f = a[r][col] / a[col][col];
            if (f == 0) continue;
            for (size_t j = col; j < n; ++j)
                a[r][j] -= f * a[col][j];
            b[r] -= f * b[col];
        }
    }
    for (size_t i = n; i-- > 0;) {
        double s = b[i];
        for (size_t j = i + 1; j < n; ++j)
            s -= a[i][j] * b[j];
        b[i] = s / a[i][i];
    }
    return true;
}

} // namespace

GeneralisedMh GeneralisedMantelHaenszel(const std::vector<GroupStratum>& strata) {
    GeneralisedMh out;
    const size_t groups = strata.empty() ? 0 : strata.front().size();
    if (groups < 2) return out;
    out.df = static_cast<int>(groups) - 1;
    const size_t n = groups - 1; // the last group is implied by the others
    std::vector<double> diff(n, 0);
    std::vector<std::vector<double>> v(n, std::vector<double>(n, 0));
    for (const GroupStratum& s : strata) {
        double t = 0, right = 0;
        for (const auto& g : s) {
            t += g[0] + g[1];
            right += g[0];
        }
        if (t < 2) continue;
        const double f = right * (t - right) / (t * t * (t - 1));
        for (size_t i = 0; i < n; ++i) {
            const double ri = s[i][0] + s[i][1];
            diff[i] += s[i][0] - ri * right / t;
            for (size_t j = 0; j < n; ++j) {
                const double rj = s[j][0] + s[j][1];
                v[i][j] += f * ((i == j ? t * ri : 0) - ri * rj);
            }
        }
    }
    std::vector<double> x = diff;
    if (!Solve(v, x)) return out;
    double stat = 0;
    for (size_t i = 0; i < n; ++i)
        stat += diff[i] * x[i];
    if (!Finite(stat)) return out;
    out.chi2 = std::max(0.0, stat);
    out.pValue = ChiSquareUpperTail(*out.chi2, out.df);
    return out;
}

std::vector<int> SheetGroups::sizes() const {
    std::vector<int> n(names.size(), 0);
    for (int g : ofSheet)
        if (g >= 0) ++n[static_cast<size_t>(g)];
    return n;
}

SheetGroups GroupsFromLabels(const std::vector<std::string>& labels) {
    SheetGroups out;
    for (const std::string& l : labels)
        if (!l.empty()) out.names.push_back(l);
    std::sort(out.names.begin(), out.names.end());
    out.names.erase(std::unique(out.names.begin(), out.names.end()), out.names.end());
    out.ofSheet.reserve(labels.size());
    for (const std::string& l : labels) {
        if (l.empty()) {
            out.ofSheet.push_back(-1);
            continue;
        }
        auto it = std::lower_bound(out.names.begin(), out.names.end(), l);
        out.ofSheet.push_back(static_cast<int>(it - out.names.begin()));
    }
    return out;
}

std::optional<std::array<int, 2>> DefaultReferenceAndFocal(const SheetGroups& groups) {
    const std::vector<int> n = groups.sizes();
    std::vector<int> order(n.size());
    std::iota(order.begin(), order.end(), 0);
    // Names are already in code-point order: a stable sort by size keeps it for ties.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return n[a] > n[b]; });
    if (order.size() < 2) return std::nullopt;
    return std::array<int, 2>{order[0], order[1]};
}

namespace {

// Right (1) or not (0) of every keyed item, item after item, so that one
// item's answers lie together.
struct RightMatrix {
    std::vector<int> items; // 0-based columns of the keyed items
    int sheets = 0;
    std::vector<uint8_t> right; // items.size() x sheets
    const uint8_t* item(size_t q) const { return right.data() + q * static_cast<size_t>(sheets); }
};

RightMatrix RightAnswers(const AnswerMatrix& m) {
    RightMatrix r;
    for (int j = 0; j < m.items; ++j)
        if (m.keys[static_cast<size_t>(j)] != kNoAnswer) r.items.push_back(j);
    r.sheets = m.sheets;
    r.right.assign(r.items.size() * static_cast<size_t>(m.sheets), 0);
    for (int s = 0; s < m.sheets; ++s) {
        const AnswerCode* row = m.answers.data() + static_cast<size_t>(s) * m.items;
        for (size_t q = 0; q < r.items.size(); ++q) {
            const int j = r.items[q];
            r.right[q * static_cast<size_t>(m.sheets) + static_cast<size_t>(s)] =
                row[j] == m.keys[static_cast<size_t>(j)];
        }
    }
    return r;
}

std::vector<int> Totals(const RightMatrix& r, const std::vector<bool>& leftOut) {
    std::vector<int> total(static_cast<size_t>(r.sheets), 0);
    for (size_t q = 0; q < r.items.size(); ++q) {
        if (leftOut[q]) continue;
        const uint8_t* x = r.item(q);
        for (int s = 0; s < r.sheets; ++s)
            total[static_cast<size_t>(s)] += x[s];
    }
    return total;
}

std::vector<ItemDif> MhOfItems(const RightMatrix& r, const std::vector<int>& group,
                               const std::vector<int>& total, const std::vector<bool>& leftOut,
                               int reference, int focal) {
    std::vector<ItemDif> out;
    const size_t strataCount = r.items.size() + 1;
    std::vector<MhStratum> strata(strataCount);
    for (size_t q = 0; q < r.items.size(); ++q) {
        std::fill(strata.begin(), strata.end(), MhStratum{});
        const uint8_t* x = r.item(q);
        // An item left out of the matching score still matches on itself.
        const int own = leftOut[q] ? 1 : 0;
        for (int s = 0; s < r.sheets; ++s) {
            const int g = group[static_cast<size_t>(s)];
            if (g != reference && g != focal) continue;
            MhStratum& st = strata[static_cast<size_t>(total[static_cast<size_t>(s)] + own * x[s])];
            if (g == reference)
                (x[s] ? st.referenceRight : st.referenceWrong) += 1;
            else
                (x[s] ? st.focalRight : st.focalWrong) += 1;
        }
        ItemDif d;
        d.item = r.items[q] + 1;
        d.mh = MantelHaenszelTest(strata);
        d.ets = EtsClassOf(d.mh);
        if (d.ets && *d.ets != EtsClass::A && d.mh.alpha)
            d.favours = *d.mh.alpha > 1 ? reference : focal;
        out.push_back(d);
    }
    return out;
}

} // namespace

DifResult ComputeDif(const AnswerMatrix& m, const SheetGroups& groups, int reference, int focal,
                     bool purify) {
    DifResult out;
    out.reference = reference;
    out.focal = focal;
    const RightMatrix r = RightAnswers(m);
    std::vector<bool> leftOut(r.items.size(), false);
    const std::vector<int> plain = Totals(r, leftOut);
    out.items = MhOfItems(r, groups.ofSheet, plain, leftOut, reference, focal);
    if (purify) {
        out.purified = true;
        for (size_t q = 0; q < out.items.size(); ++q)
            if (out.items[q].ets == EtsClass::C) {
                leftOut[q] = true;
                out.purifiedItems.push_back(out.items[q].item);
            }
        if (!out.purifiedItems.empty())
            out.items = MhOfItems(r, groups.ofSheet, Totals(r, leftOut), leftOut, reference, focal);
    }
    const size_t g = groups.names.size();
    if (g > 2) {
        std::vector<GroupStratum> strata(r.items.size() + 1);
        for (size_t q = 0; q < r.items.size(); ++q) {
            for (auto& s : strata)
                s.assign(g, {0, 0});
            const uint8_t* x = r.item(q);
            for (int s = 0; s < r.sheets; ++s) {
                const int gi = groups.ofSheet[static_cast<size_t>(s)];
                if (gi < 0) continue;
                strata[static_cast<size_t>(plain[static_cast<size_t>(s)])][static_cast<size_t>(gi)]
                      [x[s] ? 0 : 1] += 1;
            }
            out.gmh.push_back({r.items[q] + 1, GeneralisedMantelHaenszel(strata)});
        }
    }
    return out;
}

std::string DifJudgement(std::optional<EtsClass> ets, const std::string& favouredGroup) {
    if (!ets) return "คำนวณไม่ได้ (ข้อมูลในแต่ละระดับคะแนนไม่พอ)";
    switch (*ets) {
    case EtsClass::A:
        return "ระดับ A ไม่พบการทำหน้าที่ต่างกันระหว่างกลุ่ม หรือต่างกันเล็กน้อย";
    case EtsClass::B:
        return "ระดับ B ทำหน้าที่ต่างกันปานกลาง เอื้อต่อกลุ่ม " + favouredGroup + " ควรพิจารณาเนื้อหาข้อนี้";
    case EtsClass::C:
        return "ระดับ C ทำหน้าที่ต่างกันมาก เอื้อต่อกลุ่ม " + favouredGroup + " ควรตรวจเนื้อหาและปรับปรุงหรือตัดข้อนี้";
    }
    return "";
}

AnswerMatrix SheetsOfGroups(const AnswerMatrix& m, const SheetGroups& groups, int group) {
    AnswerMatrix out;
    out.items = m.items;
    out.choices = m.choices;
    out.keys = m.keys;
    for (int s = 0; s < m.sheets; ++s) {
        const int g = groups.ofSheet[static_cast<size_t>(s)];
        if (g < 0 || (group >= 0 && g != group)) continue;
        const auto row = m.answers.begin() + static_cast<std::ptrdiff_t>(s) * m.items;
        out.answers.insert(out.answers.end(), row, row + m.items);
        ++out.sheets;
    }
    return out;
}

GroupComparison CompareGroups(const AnswerMatrix& m, const SheetGroups& groups) {
    GroupComparison out;
    for (int g : groups.ofSheet)
        if (g < 0) ++out.ungroupedSheets;
    const TestStatistics pooled = ComputeItemStatistics(SheetsOfGroups(m, groups));
    std::vector<TestStatistics> own;
    for (size_t g = 0; g < groups.names.size(); ++g) {
        own.push_back(ComputeItemStatistics(SheetsOfGroups(m, groups, static_cast<int>(g))));
        const TestStatistics& t = own.back();
        out.groups.push_back(
            {groups.names[g], t.sheets, t.mean, t.sd, t.kr20, t.sheets >= kGroupMinimumSheets});
    }
    for (const ItemStatistics& it : pooled.items) {
        ComparedItem c;
        c.item = it.item;
        c.pooledP = it.p;
        for (size_t g = 0; g < own.size(); ++g) {
            GroupItemStatistics s;
            s.n = own[g].sheets;
            if (const ItemStatistics* gi = own[g].item(it.item); gi && s.n > 0) {
                s.p = gi->p;
                s.rit = gi->rit;
                s.marked = out.groups[g].judged && std::abs(gi->p - it.p) > kGroupPDifferenceAbove;
            }
            c.flag = c.flag || s.marked;
            c.byGroup.push_back(s);
        }
        out.items.push_back(c);
    }
    return out;
}

GroupAnalysis AnalyseGroups(const AnswerMatrix& m, const std::vector<std::string>& labels,
                            const std::string& reference, const std::string& focal, bool purify) {
    GroupAnalysis out;
    out.groups = GroupsFromLabels(labels);
    if (out.groups.names.empty())
        throw AnalysisError("กระดาษคำตอบในไฟล์นี้ยังไม่มีกลุ่ม (รวมไฟล์หลายห้องก่อน หรือกำหนดกลุ่มในตาราง)");
    bool keyed = false;
    for (AnswerCode k : m.keys)
        keyed = keyed || k != kNoAnswer;
    if (!keyed) throw AnalysisError(kNoKeyedItem);
    auto indexOf = [&](const std::string& name) {
        auto it = std::find(out.groups.names.begin(), out.groups.names.end(), name);
        if (it == out.groups.names.end()) throw AnalysisError("ไม่มีกลุ่ม " + name + " ในไฟล์นี้");
        return static_cast<int>(it - out.groups.names.begin());
    };
    const int ref = reference.empty() ? -1 : indexOf(reference);
    const int foc = focal.empty() ? -1 : indexOf(focal);
    if (ref >= 0 && ref == foc) throw AnalysisError("กลุ่มอ้างอิงและกลุ่มเปรียบเทียบต้องเป็นคนละกลุ่ม");
    out.comparison = CompareGroups(m, out.groups);
    if (out.groups.names.size() < 2) return out;
    std::array<int, 2> pair = *DefaultReferenceAndFocal(out.groups);
    if (ref >= 0 || foc >= 0) {
        // The one given stays; the other is the largest group left.
        const std::vector<int> n = out.groups.sizes();
        const int fixed = ref >= 0 ? ref : foc;
        int other = -1;
        for (int g = 0; g < static_cast<int>(n.size()); ++g)
            if (g != fixed && (other < 0 || n[g] > n[other])) other = g;
        pair = ref >= 0 ? std::array<int, 2>{ref, foc >= 0 ? foc : other}
                        : std::array<int, 2>{other, foc};
    }
    out.dif = ComputeDif(m, out.groups, pair[0], pair[1], purify);
    return out;
}

} // namespace ia
