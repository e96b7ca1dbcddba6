// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Dif.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace ia;

namespace {

// --- a second, plain Mantel–Haenszel, written from the test's textbook form:
// a 2 x 2 x K array x[row][column][stratum] with the rows the groups and the
// columns right / wrong, summed the way mantelhaen.test sums its margins.
struct PlainMh {
    double statistic = NAN, pValue = NAN, estimate = NAN, varLog = NAN;
};

PlainMh PlainMantelHaenszel(const std::vector<std::array<std::array<double, 2>, 2>>& x) {
    double delta = 0, var = 0, diag = 0, offd = 0;
    std::vector<std::array<std::array<double, 2>, 2>> kept;
    for (const auto& k : x) {
        const double t = k[0][0] + k[0][1] + k[1][0] + k[1][1];
        if (t >= 2) kept.push_back(k);
    }
    for (const auto& k : kept) {
        const double t = k[0][0] + k[0][1] + k[1][0] + k[1][1];
        const double m = k[0][0] + k[0][1]; // first row
        const double n = k[0][0] + k[1][0]; // first column
        delta += k[0][0] - m * n / t;
        var += m * n * (t - m) * (t - n) / (t * t * (t - 1));
        diag += k[0][0] * k[1][1] / t;
        offd += k[0][1] * k[1][0] / t;
    }
    PlainMh out;
    const double yates = std::abs(delta) >= .5 ? .5 : 0;
    out.statistic = std::pow(std::abs(delta) - yates, 2) / var;
    out.pValue = std::erfc(std::sqrt(out.statistic / 2));
    out.estimate = diag / offd;
    // Robins, Breslow and Greenland (1986), their equation written out.
    double pr = 0, psqr = 0, qs = 0;
    for (const auto& k : kept) {
        const double t = k[0][0] + k[0][1] + k[1][0] + k[1][1];
        const double p = (k[0][0] + k[1][1]) / t, q = (k[0][1] + k[1][0]) / t;
        const double r = k[0][0] * k[1][1] / t, s = k[0][1] * k[1][0] / t;
        pr += p * r;
        psqr += p * s + q * r;
        qs += q * s;
    }
    out.varLog = pr / (2 * diag * diag) + psqr / (2 * diag * offd) + qs / (2 * offd * offd);
    return out;
}

MhStratum Stratum(double a, double b, double c, double d) {
    return {a, b, c, d};
}

// --- hand-worked tables; the statistics and p-values were also confirmed
// with R 4.2.2's mantelhaen.test (the literals are its printout).

TEST(MantelHaenszel, HandWorkedTwoStrataWithOnesThatAddNothing) {
    // Strata (A, B, C, D) = (4, 1, 2, 3) and (3, 2, 1, 4); a stratum of one
    // examinee (which would divide by T - 1 = 0) and one where everybody is
    // right add nothing.
    const MantelHaenszel mh = MantelHaenszelTest(
        {Stratum(4, 1, 2, 3), Stratum(1, 0, 0, 0), Stratum(3, 2, 1, 4), Stratum(2, 0, 3, 0)});
    // sum AD/T = 2.4, sum BC/T = 0.4: alpha = 6.
    ASSERT_TRUE(mh.alpha && mh.delta && mh.chi2 && mh.pValue && mh.deltaSe);
    EXPECT_NEAR(*mh.alpha, 6, 6e-12);
    EXPECT_NEAR(*mh.delta, -2.35 * std::log(6.0), 1e-12);
    // sum A - sum E = 7 - 5 = 2, sum V = 2/3 + 2/3: (2 - .5)^2 / (4/3).
    EXPECT_NEAR(*mh.chi2, 1.6875, 1e-12);
    EXPECT_NEAR(*mh.pValue, 0.19393085228241072, 1e-12);
    // RBG: 1.68 / 11.52 + 1 / 1.92 + .12 / .32.
    EXPECT_NEAR(*mh.deltaSe, 2.35 * std::sqrt(1.68 / 11.52 + 1 / 1.92 + .12 / .32), 1e-12);
    // Not significant: A, whatever the size of delta.
    EXPECT_EQ(EtsClassOf(mh), EtsClass::A);
}

TEST(MantelHaenszel, ContinuityCorrectionOnlyFromHalfADifference) {
    struct Case {
        const char* what;
        std::vector<MhStratum> strata;
        double chi2;
    };
    const Case cases[] = {
        // sum A - sum E = .2: no correction; R gives 0.057692307692307661.
        {"below .5", {Stratum(2, 1, 1, 1), Stratum(1, 1, 1, 1)}, 0.057692307692307661},
        // exactly .5: corrected to zero.
        {"at .5", {Stratum(2, 2, 1, 3)}, 0.0},
    };
    for (const Case& c : cases) {
        const MantelHaenszel mh = MantelHaenszelTest(c.strata);
        ASSERT_TRUE(mh.chi2) << c.what;
        EXPECT_NEAR(*mh.chi2, c.chi2, 1e-12) << c.what;
    }
}

TEST(MantelHaenszel, EqualOddsGiveAPlainZeroDelta) {
    // alpha = 1 exactly: the tables and the JSON must say 0, never -0.
    const MantelHaenszel mh = MantelHaenszelTest({Stratum(2, 1, 1, 2), Stratum(1, 2, 2, 1)});
    ASSERT_TRUE(mh.alpha && mh.delta);
    EXPECT_EQ(*mh.alpha, 1.0);
    EXPECT_EQ(*mh.delta, 0.0);
    EXPECT_FALSE(std::signbit(*mh.delta));
}

TEST(MantelHaenszel, NullWhereNothingCanBeComputed) {
    // One group only: no variance, no odds ratio.
    const MantelHaenszel oneGroup = MantelHaenszelTest({Stratum(3, 2, 0, 0), Stratum(1, 4, 0, 0)});
    EXPECT_FALSE(oneGroup.chi2 || oneGroup.pValue || oneGroup.alpha || oneGroup.delta);
    EXPECT_FALSE(EtsClassOf(oneGroup).has_value());
    // Every B C zero: the odds ratio is infinite, the test still stands.
    const MantelHaenszel noOff = MantelHaenszelTest({Stratum(3, 0, 0, 3), Stratum(2, 0, 1, 2)});
    EXPECT_FALSE(noOff.alpha || noOff.delta || noOff.deltaSe);
    EXPECT_TRUE(noOff.chi2.has_value());
}

TEST(MantelHaenszel, EqualsThePlainFormOnRandomTables) {
    std::mt19937 rng(33);
    std::uniform_int_distribution<int> cell(0, 12), strata(1, 30);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::array<std::array<double, 2>, 2>> x(static_cast<size_t>(strata(rng)));
        std::vector<MhStratum> s;
        for (auto& k : x) {
            for (auto& row : k)
                for (double& v : row)
                    v = cell(rng) * (cell(rng) > 3); // zeros are common: edges matter
            s.push_back(Stratum(k[0][0], k[0][1], k[1][0], k[1][1]));
        }
        const PlainMh want = PlainMantelHaenszel(x);
        const MantelHaenszel got = MantelHaenszelTest(s);
        SCOPED_TRACE(round);
        if (!std::isfinite(want.statistic)) {
            EXPECT_FALSE(got.chi2.has_value());
            continue;
        }
        ASSERT_TRUE(got.chi2 && got.pValue);
        EXPECT_NEAR(*got.chi2, want.statistic, 1e-9);
        EXPECT_NEAR(*got.pValue, want.pValue, 1e-9);
        if (std::isfinite(want.estimate) && want.estimate > 0) {
            ASSERT_TRUE(got.alpha && got.deltaSe);
            EXPECT_NEAR(*got.alpha / want.estimate, 1, 1e-12);
            EXPECT_NEAR(*got.deltaSe, 2.35 * std::sqrt(want.varLog), 1e-9);
        } else {
            EXPECT_FALSE(got.alpha.has_value());
        }
    }
}

TEST(ChiSquare, UpperTailAgainstKnownQuantilesAndR) {
    struct Case {
        double x;
        int df;
        double p;
    } const cases[] = {
        {3.841458820694124, 1, 0.05},
        {5.991464547107979, 2, 0.05},
        {7.814727903251178, 3, 0.05},
        {9.487729036781154, 4, 0.05},
        {1.6875, 1, 0.19393085228241072},
        {12.5, 3, 0.0058526625933267339},
        {7.25, 4, 0.12325207518064418},
        {40, 5, 1.4933679000503954e-07},
        {0, 3, 1.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ChiSquareUpperTail(c.x, c.df), c.p, 1e-12 + 1e-10 * c.p)
            << c.x << " df " << c.df;
}

TEST(EtsClass, TheRulesAsWritten) {
    struct Case {
        const char* what;
        double delta, se, p;
        EtsClass want;
    } const cases[] = {
        {"small delta, significant", -0.99, 0.1, 0.001, EtsClass::A},
        {"large delta, not significant", -2.0, 0.1, 0.05, EtsClass::A},
        {"between 1 and 1.5", 1.2, 0.1, 0.001, EtsClass::B},
        {"1.5 but not surely above 1", -1.6, 0.4, 0.001, EtsClass::B},
        {"1.5 and surely above 1", -1.6, 0.3, 0.001, EtsClass::C},
        {"exactly 1.5, surely above 1", 1.5, 0.1, 0.01, EtsClass::C},
    };
    for (const Case& c : cases) {
        MantelHaenszel mh;
        mh.delta = c.delta;
        mh.deltaSe = c.se;
        mh.chi2 = 1;
        mh.pValue = c.p;
        EXPECT_EQ(EtsClassOf(mh), c.want) << c.what;
    }
}

// --- the generalised test: a plain form with the Kronecker product written
// out and the system solved by Gauss–Jordan inversion.
double PlainGmh(const std::vector<GroupStratum>& strata) {
    const size_t g = strata.front().size(), n = g - 1;
    std::vector<double> d(n, 0);
    std::vector<std::vector<double>> v(n, std::vector<double>(n, 0));
    for (const auto& s : strata) {
        double t = 0, c = 0;
        std::vector<double> rows;
        for (const auto& x : s) {
            t += x[0] + x[1];
            c += x[0];
            rows.push_back(x[0] + x[1]);
        }
        if (t < 2) continue;
        const double colPart = t * c - c * c;
        for (size_t i = 0; i < n; ++i) {
            d[i] += s[i][0] - rows[i] * c / t;
            for (size_t j = 0; j < n; ++j)
                v[i][j] +=
                    colPart * ((i == j ? t * rows[i] : 0) - rows[i] * rows[j]) / (t * t * (t - 1));
        }
    }
    std::vector<std::vector<double>> inv(n, std::vector<double>(n, 0));
    for (size_t i = 0; i < n; ++i)
        inv[i][i] = 1;
    for (size_t c = 0; c < n; ++c) {
        size_t p = c;
        for (size_t r = c; r < n; ++r)
            if (std::abs(v[r][c]) > std::abs(v[p][c])) p = r;
        std::swap(v[c], v[p]);
        std::swap(inv[c], inv[p]);
        const double pivot = v[c][c];
        for (size_t j = 0; j < n; ++j) {
            v[c][j] /= pivot;
            inv[c][j] /= pivot;
        }
        for (size_t r = 0; r < n; ++r)
            if (r != c) {
                const double f = v[r][c];
                for (size_t j = 0; j < n; ++j) {
                    v[r][j] -= f * v[c][j];
                    inv[r][j] -= f * inv[c][j];
                }
            }
    }
    double stat = 0;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j)
            stat += d[i] * inv[i][j] * d[j];
    return stat;
}

TEST(GeneralisedMh, HandTableConfirmedWithR) {
    // Five groups, two strata: {right, wrong} per group.
    const std::vector<GroupStratum> strata{
        {{5, 2}, {3, 4}, {2, 6}, {4, 3}, {1, 5}},
        {{4, 3}, {4, 2}, {3, 2}, {1, 5}, {2, 4}},
    };
    const GeneralisedMh g = GeneralisedMantelHaenszel(strata);
    ASSERT_TRUE(g.chi2 && g.pValue);
    EXPECT_EQ(g.df, 4);
    EXPECT_NEAR(*g.chi2, 4.7393182916036416, 1e-9);
    EXPECT_NEAR(*g.pValue, 0.31510557101315317, 1e-9);
}

TEST(GeneralisedMh, TwoGroupsIsTheUncorrectedMh) {
    // (A - E)^2 / V with no correction: the 2 x 2 x K case of the same test.
    const std::vector<GroupStratum> strata{{{4, 1}, {2, 3}}, {{3, 2}, {1, 4}}};
    const GeneralisedMh g = GeneralisedMantelHaenszel(strata);
    ASSERT_TRUE(g.chi2);
    EXPECT_NEAR(*g.chi2, 4.0 / (4.0 / 3), 1e-12);
    EXPECT_EQ(g.df, 1);
}

// --- the whole matrix: generated sheets with DIF planted in one item.

struct Generated {
    AnswerMatrix m;
    SheetGroups groups;
};

// Groups "ก", "ข", "ค" of 400, 300, 250 sheets, four choices, item
// `planted` (1-based) much harder for "ข" than ability predicts.
Generated Generate(int items, int planted, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> ability(0, 1);
    std::uniform_real_distribution<double> u(0, 1);
    std::uniform_int_distribution<int> wrongChoice(2, 4);
    Generated g;
    g.m.items = items;
    g.m.choices = 4;
    g.m.keys.assign(static_cast<size_t>(items), 1);
    g.m.keys[1] = kNoAnswer; // an unkeyed item is neither studied nor matched on
    std::vector<std::string> labels;
    const std::pair<const char*, int> sizes[] = {{"ก", 400}, {"ข", 300}, {"ค", 250}};
    for (auto [name, n] : sizes)
        for (int s = 0; s < n; ++s) {
            const double theta = ability(rng) + (std::string(name) == "ค" ? 0.3 : 0);
            for (int j = 0; j < items; ++j) {
                double b = -1.5 + 3.0 * j / items;
                if (j + 1 == planted && std::string(name) == "ข") b += 1.8;
                const double pr = 1 / (1 + std::exp(-1.7 * (theta - b)));
                g.m.answers.push_back(u(rng) < pr ? AnswerCode{1}
                                                  : static_cast<AnswerCode>(wrongChoice(rng)));
            }
            labels.push_back(name);
            ++g.m.sheets;
        }
    g.groups = GroupsFromLabels(labels);
    return g;
}

// Strata built the slow way, sheet by sheet: the total over the keyed items
// not left out, plus the studied item itself when it is left out.
std::vector<MhStratum> SlowStrata(const AnswerMatrix& m, const SheetGroups& g, int item, int ref,
                                  int focal, const std::vector<int>& leftOut) {
    std::vector<MhStratum> strata(static_cast<size_t>(m.items) + 1);
    auto isLeftOut = [&](int j) {
        return std::find(leftOut.begin(), leftOut.end(), j + 1) != leftOut.end();
    };
    for (int s = 0; s < m.sheets; ++s) {
        const int grp = g.ofSheet[static_cast<size_t>(s)];
        if (grp != ref && grp != focal) continue;
        int total = 0;
        for (int j = 0; j < m.items; ++j)
            if (m.keys[j] != kNoAnswer && (!isLeftOut(j) || j == item - 1))
                total += m.at(s, j) == m.keys[j];
        const bool right = m.at(s, item - 1) == m.keys[item - 1];
        MhStratum& st = strata[static_cast<size_t>(total)];
        (grp == ref ? (right ? st.referenceRight : st.referenceWrong)
                    : (right ? st.focalRight : st.focalWrong)) += 1;
    }
    return strata;
}

TEST(ComputeDif, PlantedItemIsClassCAgainstTheFocalGroupAndMatchesSlowStrata) {
    const Generated g = Generate(20, 7, 1);
    ASSERT_EQ(g.groups.names, (std::vector<std::string>{"ก", "ข", "ค"}));
    const int ref = 0, focal = 1;
    const DifResult r = ComputeDif(g.m, g.groups, ref, focal, false);
    ASSERT_EQ(r.items.size(), 19u); // item 2 has no key
    EXPECT_EQ(r.items[1].item, 3);
    for (const ItemDif& d : r.items) {
        SCOPED_TRACE(d.item);
        const MantelHaenszel want =
            MantelHaenszelTest(SlowStrata(g.m, g.groups, d.item, ref, focal, {}));
        ASSERT_TRUE(d.mh.chi2 && want.chi2 && d.mh.alpha);
        EXPECT_EQ(*d.mh.chi2, *want.chi2);
        EXPECT_EQ(*d.mh.alpha, *want.alpha);
    }
    const ItemDif& planted = r.items[5];
    ASSERT_EQ(planted.item, 7);
    EXPECT_EQ(planted.ets, EtsClass::C);
    EXPECT_GT(*planted.mh.alpha, 1); // the reference group answers it right more often
    EXPECT_LT(*planted.mh.delta, 0);
    EXPECT_EQ(planted.favours, ref);
    EXPECT_FALSE(r.purified);
    // Three groups: the generalised test too, planted item far beyond chance.
    ASSERT_EQ(r.gmh.size(), 19u);
    EXPECT_EQ(r.gmh[5].item, 7);
    ASSERT_TRUE(r.gmh[5].gmh.pValue);
    EXPECT_LT(*r.gmh[5].gmh.pValue, 1e-6);
    EXPECT_EQ(r.gmh[5].gmh.df, 2);
}

TEST(ComputeDif, GeneralisedMhEqualsThePlainFormOnTheGroupTable) {
    const Generated g = Generate(12, 4, 2);
    const DifResult r = ComputeDif(g.m, g.groups, 0, 1, false);
    for (const ItemGmh& item : r.gmh) {
        std::vector<GroupStratum> strata(13, GroupStratum(3, {0, 0}));
        for (int s = 0; s < g.m.sheets; ++s) {
            int total = 0;
            for (int j = 0; j < g.m.items; ++j)
                if (g.m.keys[j] != kNoAnswer) total += g.m.at(s, j) == g.m.keys[j];
            const bool right = g.m.at(s, item.item - 1) == 1;
            strata[static_cast<size_t>(total)][static_cast<size_t>(g.groups.ofSheet[s])]
                  [right ? 0 : 1] += 1;
        }
        ASSERT_TRUE(item.gmh.chi2);
        EXPECT_NEAR(*item.gmh.chi2, PlainGmh(strata), 1e-9) << item.item;
    }
}

TEST(ComputeDif, PurificationTakesClassCItemsOutOfTheOthersMatching) {
    const Generated g = Generate(15, 9, 3);
    const DifResult plain = ComputeDif(g.m, g.groups, 0, 1, false);
    const DifResult r = ComputeDif(g.m, g.groups, 0, 1, true);
    std::vector<int> classC;
    for (const ItemDif& d : plain.items)
        if (d.ets == EtsClass::C) classC.push_back(d.item);
    ASSERT_FALSE(classC.empty());
    EXPECT_TRUE(r.purified);
    EXPECT_EQ(r.purifiedItems, classC);
    for (const ItemDif& d : r.items) {
        SCOPED_TRACE(d.item);
        const MantelHaenszel want =
            MantelHaenszelTest(SlowStrata(g.m, g.groups, d.item, 0, 1, classC));
        ASSERT_TRUE(d.mh.chi2 && want.chi2);
        EXPECT_DOUBLE_EQ(*d.mh.chi2, *want.chi2);
        EXPECT_DOUBLE_EQ(d.mh.alpha.value_or(-1), want.alpha.value_or(-1));
    }
    // The planted item still matches on itself and stays C.
    EXPECT_EQ(r.items[7].item, 9);
    EXPECT_EQ(r.items[7].ets, EtsClass::C);
}

TEST(Groups, DefaultPairIsTheTwoLargestTiesByName) {
    struct Case {
        const char* what;
        std::vector<std::string> labels;
        int reference, focal;
    } const cases[] = {
        {"largest first", {"ข", "ก", "ข", "ค", "ข", "ค"}, 1, 2},
        {"tie by code point", {"ข", "ก", "ข", "ก", ""}, 0, 1},
    };
    for (const Case& c : cases) {
        const SheetGroups g = GroupsFromLabels(c.labels);
        const auto pair = DefaultReferenceAndFocal(g);
        ASSERT_TRUE(pair) << c.what;
        EXPECT_EQ((*pair)[0], c.reference) << c.what;
        EXPECT_EQ((*pair)[1], c.focal) << c.what;
    }
    EXPECT_FALSE(DefaultReferenceAndFocal(GroupsFromLabels({"ก", "ก", ""})));
    EXPECT_EQ(GroupsFromLabels({"ข", "", "ก"}).ofSheet, (std::vector<int>{1, -1, 0}));
}

TEST(CompareGroups, EachGroupAsItsOwnSheetsGiveAndMarksOnlyJudgedGroups) {
    Generated g = Generate(10, 3, 4);
    // A fourth group of 5 sheets that all miss item 1: far from the pooled
    // p, but too small to be judged.
    std::vector<std::string> labels;
    for (int s = 0; s < g.m.sheets; ++s)
        labels.push_back(g.groups.names[static_cast<size_t>(g.groups.ofSheet[s])]);
    for (int s = 0; s < 5; ++s) {
        for (int j = 0; j < g.m.items; ++j)
            g.m.answers.push_back(j == 0 ? 2 : 1);
        labels.push_back("ง");
        ++g.m.sheets;
    }
    g.groups = GroupsFromLabels(labels);
    const GroupComparison c = CompareGroups(g.m, g.groups);
    ASSERT_EQ(c.groups.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        const TestStatistics own =
            ComputeItemStatistics(SheetsOfGroups(g.m, g.groups, static_cast<int>(k)));
        EXPECT_EQ(c.groups[k].n, own.sheets);
        EXPECT_EQ(c.groups[k].mean, own.mean);
        EXPECT_EQ(c.groups[k].sd, own.sd);
        EXPECT_EQ(c.groups[k].kr20, own.kr20);
        for (const ComparedItem& it : c.items) {
            EXPECT_EQ(it.byGroup[k].p, own.item(it.item)->p);
            EXPECT_EQ(it.byGroup[k].rit, own.item(it.item)->rit);
        }
    }
    EXPECT_FALSE(c.groups[3].judged);
    EXPECT_FALSE(c.items[0].byGroup[3].marked);
    // The planted item: "ข" finds it much harder than the pool.
    const ComparedItem& planted = c.items[1];
    ASSERT_EQ(planted.item, 3);
    EXPECT_GT(planted.pooledP - *planted.byGroup[1].p, kGroupPDifferenceAbove);
    EXPECT_TRUE(planted.byGroup[1].marked);
    EXPECT_TRUE(planted.flag);
    for (const ComparedItem& it : c.items) {
        bool any = false;
        for (size_t k = 0; k < 3; ++k) {
            const bool far = std::abs(*it.byGroup[k].p - it.pooledP) > kGroupPDifferenceAbove;
            EXPECT_EQ(it.byGroup[k].marked, far) << it.item;
            any = any || far;
        }
        EXPECT_EQ(it.flag, any) << it.item;
    }
}

TEST(DifJudgement, NamesTheClassAndTheFavouredGroup) {
    EXPECT_NE(DifJudgement(EtsClass::C, "ห้อง 1").find("ระดับ C"), std::string::npos);
    EXPECT_NE(DifJudgement(EtsClass::C, "ห้อง 1").find("ห้อง 1"), std::string::npos);
    EXPECT_NE(DifJudgement(EtsClass::B, "ชาย").find("ชาย"), std::string::npos);
    EXPECT_EQ(DifJudgement(EtsClass::A, "").find("เอื้อ"), std::string::npos);
}

} // namespace
