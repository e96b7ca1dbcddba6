// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "analysis/ExamAnswers.h"
#include "analysis/ItemStatistics.h"
#include "examfile/DataView.h"
#include "examfile/Engine.h"
#include "examfile/Val.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace ia;

namespace {

constexpr AnswerCode X = kOtherAnswer;

// A matrix from rows of codes (one row per sheet).
AnswerMatrix Matrix(int choices, std::vector<AnswerCode> keys,
                    const std::vector<std::vector<AnswerCode>>& rows) {
    AnswerMatrix m;
    m.choices = choices;
    m.items = static_cast<int>(keys.size());
    m.keys = std::move(keys);
    m.sheets = static_cast<int>(rows.size());
    for (const auto& r : rows)
        m.answers.insert(m.answers.end(), r.begin(), r.end());
    return m;
}

// Five sheets, three items keyed 1, 2, 3, three choices. Totals 3, 2, 1, 1,
// 0; sheets 2 and 3 tie at 1 across the border of score groups 2 and 3.
AnswerMatrix Small() {
    return Matrix(3, {1, 2, 3}, {{1, 2, 3}, {1, 2, 1}, {1, 3, 1}, {2, kNoAnswer, 3}, {X, 1, 2}});
}

void ExpectNear(const std::optional<double>& got, double want, const char* what) {
    ASSERT_TRUE(got.has_value()) << what;
    EXPECT_NEAR(*got, want, 1e-12) << what;
}

TEST(ItemStatistics, TestLevelOfTheSmallCase) {
    const TestStatistics t = ComputeItemStatistics(Small());
    EXPECT_EQ(t.sheets, 5);
    EXPECT_EQ(t.keyedItems, 3);
    EXPECT_EQ(t.scores, (std::vector<int>{3, 2, 1, 1, 0}));
    // Sum 7, sum of squares 15: mean 1.4, population variance 3 - 1.96.
    EXPECT_NEAR(t.mean, 1.4, 1e-12);
    EXPECT_NEAR(t.sd, std::sqrt(1.04), 1e-12);
    // p = .6, .4, .4: sum pq = .72; KR-20 = 1.5 (1 - .72 / 1.04) = 6/13.
    ExpectNear(t.kr20, 6.0 / 13, "kr20");
    // KR-21 = 1.5 (1 - 1.4 * 1.6 / (3 * 1.04)) = 11/26.
    ExpectNear(t.kr21, 11.0 / 26, "kr21");
    // SEM = sd sqrt(1 - 6/13) = sqrt(.56).
    ExpectNear(t.sem, std::sqrt(0.56), "sem");
    // Halves: items 1 + 3 give 2,1,1,1,0 and item 2 gives 1,1,0,0,0:
    // r = 5 / sqrt(10 * 6), stepped up 2r / (1 + r).
    const double r = 5 / std::sqrt(60.0);
    ExpectNear(t.splitHalf, 2 * r / (1 + r), "split_half");
    ASSERT_EQ(t.distribution.size(), 4u);
    const int counts[] = {1, 2, 1, 1};
    const double ranks[] = {10, 40, 70, 90};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(t.distribution[s].score, s);
        EXPECT_EQ(t.distribution[s].count, counts[s]);
        EXPECT_NEAR(t.distribution[s].percentileRank, ranks[s], 1e-12) << s;
    }
}

TEST(ItemStatistics, ItemsAndChoicesOfTheSmallCase) {
    const TestStatistics t = ComputeItemStatistics(Small());
    ASSERT_EQ(t.items.size(), 3u);
    const ItemStatistics& i1 = t.items[0];
    EXPECT_EQ(i1.item, 1);
    EXPECT_EQ(i1.key, 1);
    EXPECT_NEAR(i1.p, 0.6, 1e-12);
    // Item 1 scores 1,1,1,0,0; rest scores 2,1,0,1,0: r = 3 / sqrt(6 * 14).
    ExpectNear(i1.rit, 3 / std::sqrt(84.0), "r_it 1");
    // Items 2 and 3: p .4 and .4, rest variance 14/25: 2 (1 - .48 / .56).
    ExpectNear(i1.alphaIfDeleted, 2.0 / 7, "alpha 1");
    EXPECT_EQ(i1.omitted, 0);
    EXPECT_EQ(i1.invalid, 1);
    ASSERT_EQ(i1.choices.size(), 4u);
    const ChoiceStatistics &c1 = i1.choices[0], &c2 = i1.choices[1], &c3 = i1.choices[2],
                           &none = i1.choices[3];
    EXPECT_EQ(c1.choice, 1);
    EXPECT_EQ(c1.count, 3);
    EXPECT_NEAR(c1.proportion, 0.6, 1e-12);
    ExpectNear(c1.meanScore, 2, "mean 1");
    ExpectNear(c1.rpb, 3 / std::sqrt(84.0), "r_pb of the key is r_it");
    EXPECT_EQ(c2.count, 1);
    ExpectNear(c2.meanScore, 1, "mean 2");
    // Chose 2: 0,0,0,1,0 against 2,1,0,1,0: r = 1 / sqrt(4 * 14).
    ExpectNear(c2.rpb, 1 / std::sqrt(56.0), "r_pb 2");
    EXPECT_EQ(c3.count, 0);
    EXPECT_FALSE(c3.meanScore) << "nobody chose 3";
    EXPECT_FALSE(c3.rpb) << "nobody chose 3";
    EXPECT_EQ(none.choice, 0);
    EXPECT_EQ(none.count, 0);
    // One sheet per group, by total score and, at the tie of 1, row order:
    // sheet 5 (0), sheet 3 (1), sheet 4 (1), sheet 2 (2), sheet 1 (3).
    const std::array<double, 5> g1{0, 1, 0, 1, 1}, g2{0, 0, 1, 0, 0};
    for (int g = 0; g < 5; ++g) {
        ExpectNear(c1.groups[g], g1[g], "group of choice 1");
        ExpectNear(c2.groups[g], g2[g], "group of choice 2");
    }
    const ItemStatistics& i2 = t.items[1];
    EXPECT_EQ(i2.omitted, 1);
    EXPECT_EQ(i2.invalid, 0);
    EXPECT_EQ(i2.choices[3].count, 1) << "no answer";
    ExpectNear(i2.choices[3].meanScore, 1, "mean of no answer");
    // Item 2 scores 1,1,0,0,0; rest 2,1,1,1,0: r = 5 / sqrt(6 * 10).
    ExpectNear(i2.rit, 5 / std::sqrt(60.0), "r_it 2");
}

TEST(ItemStatistics, UndefinedValuesStayEmpty) {
    struct Case {
        const char* what;
        AnswerMatrix m;
        bool kr20, splitHalf, rit1;
    };
    const Case cases[] = {
        {"equal totals", Matrix(2, {1, 1}, {{1, 2}, {2, 1}}), false, false, true},
        {"one keyed item", Matrix(2, {1, 0}, {{1, 2}, {2, 1}}), false, false, false},
        {"everybody right on item 1", Matrix(2, {1, 1}, {{1, 1}, {1, 2}}), true, false, false},
        {"rest score constant", Matrix(2, {1, 1, 1}, {{1, 1, 1}, {2, 1, 1}, {1, 1, 1}}), true,
         false, false},
        {"negative reliability", Matrix(2, {1, 1, 1}, {{1, 2, 1}, {2, 1, 1}, {1, 1, 1}}), true,
         true, true},
    };
    for (const Case& c : cases) {
        const TestStatistics t = ComputeItemStatistics(c.m);
        EXPECT_EQ(t.kr20.has_value(), c.kr20) << c.what;
        EXPECT_EQ(t.kr21.has_value(), c.kr20) << c.what;
        EXPECT_EQ(t.sem.has_value(), c.kr20) << c.what;
        EXPECT_EQ(t.splitHalf.has_value(), c.splitHalf) << c.what;
        ASSERT_FALSE(t.items.empty()) << c.what;
        EXPECT_EQ(t.items[0].rit.has_value(), c.rit1) << c.what;
        for (const auto& it : t.items)
            for (const auto& ch : it.choices) {
                if (ch.rpb) {
                    EXPECT_TRUE(std::isfinite(*ch.rpb)) << c.what;
                }
                EXPECT_EQ(ch.meanScore.has_value(), ch.count > 0) << c.what;
            }
    }
    // Split halves of 1,0 against 0,1 correlate -1: Spearman-Brown undefined.
    const TestStatistics opposite =
        ComputeItemStatistics(Matrix(2, {1, 1}, {{1, 2}, {2, 1}, {1, 2}, {2, 1}}));
    EXPECT_FALSE(opposite.splitHalf);
    // Alpha if deleted needs two other items with spread.
    const TestStatistics two = ComputeItemStatistics(Matrix(2, {1, 1}, {{1, 1}, {2, 2}, {1, 2}}));
    EXPECT_TRUE(two.kr20);
    EXPECT_FALSE(two.items[0].alphaIfDeleted);
    EXPECT_FALSE(two.items[1].alphaIfDeleted);
}

TEST(ItemStatistics, ScoreGroupsFollowTheRankRule) {
    // Group g holds ranks floor((g-1) N / 5) .. floor(g N / 5) - 1.
    struct Case {
        int n;
        std::array<int, 5> sizes;
    };
    const Case cases[] = {
        {3, {0, 1, 0, 1, 1}}, {5, {1, 1, 1, 1, 1}}, {7, {1, 1, 2, 1, 2}}, {12, {2, 2, 3, 2, 3}}};
    for (const Case& c : cases) {
        // Everybody answers 1 (the key) on item 1, so each group that has
        // sheets shows 1 and an empty one shows nothing.
        std::vector<std::vector<AnswerCode>> rows(static_cast<size_t>(c.n), {1, 1});
        rows[0][1] = 2;
        const TestStatistics t = ComputeItemStatistics(Matrix(2, {1, 1}, rows));
        for (int g = 0; g < 5; ++g) {
            EXPECT_EQ(t.items[0].choices[0].groups[g].has_value(), c.sizes[g] > 0)
                << "N " << c.n << " group " << g + 1;
            if (c.sizes[g] > 0) {
                EXPECT_EQ(*t.items[0].choices[0].groups[g], 1.0);
            }
        }
    }
    // Ten sheets all scoring 1, row order decides: the sheets choosing 2 on
    // item 2 come 1st, 4th, 5th and 10th, so groups of two hold 1, 1, 1, 0, 1
    // of them.
    std::vector<std::vector<AnswerCode>> rows;
    for (int s = 0; s < 10; ++s) {
        const bool two = s == 0 || s == 3 || s == 4 || s == 9;
        rows.push_back({two ? AnswerCode(1) : AnswerCode(2), two ? AnswerCode(2) : AnswerCode(1)});
    }
    const TestStatistics t = ComputeItemStatistics(Matrix(2, {1, 1}, rows));
    const std::array<double, 5> want{0.5, 0.5, 0.5, 0, 0.5};
    for (int g = 0; g < 5; ++g)
        ExpectNear(t.items[1].choices[1].groups[g], want[g], "ties by row order");
}

// The score groups worked by hand on ten sheets (groups of two), with ties
// across two borders: the three sheets scoring 1 split 2 | 1 between groups
// 2 and 3, the three scoring 2 split 1 | 2 between groups 3 and 4, the
// earlier row in the lower group.
TEST(ItemStatistics, ScoreGroupsWorkedByHandWithTiesAtTheBorders) {
    // Three items keyed 1. Row: answers (total).
    const AnswerMatrix m = Matrix(3, {1, 1, 1},
                                  {
                                      {1, 1, 2}, // 1: 2
                                      {2, 2, 3}, // 2: 0
                                      {1, 1, 1}, // 3: 3
                                      {3, 1, 2}, // 4: 1
                                      {1, 2, 2}, // 5: 1
                                      {2, 1, 1}, // 6: 2
                                      {3, 3, 2}, // 7: 0
                                      {2, 1, 3}, // 8: 1
                                      {1, 1, 1}, // 9: 3
                                      {1, 1, 3}, // 10: 2
                                  });
    // Lowest first: rows 2, 7 | 4, 5 | 8, 1 | 6, 10 | 3, 9.
    struct Case {
        int item, choice;
        std::array<double, 5> groups;
    } cases[] = {
        {1, 1, {0, .5, .5, .5, 1}}, {1, 2, {.5, 0, .5, .5, 0}}, {1, 3, {.5, .5, 0, 0, 0}},
        {3, 1, {0, 0, 0, .5, 1}},   {3, 2, {.5, 1, .5, 0, 0}},  {3, 3, {.5, 0, .5, .5, 0}},
        {2, 1, {0, .5, 1, 1, 1}},   {2, 2, {.5, .5, 0, 0, 0}},  {2, 3, {.5, 0, 0, 0, 0}},
    };
    const TestStatistics t = ComputeItemStatistics(m);
    EXPECT_EQ(t.scores, (std::vector<int>{2, 0, 3, 1, 1, 2, 0, 1, 3, 2}));
    for (const Case& c : cases) {
        const ChoiceStatistics& choice = t.items[c.item - 1].choices[c.choice - 1];
        ASSERT_EQ(choice.choice, c.choice);
        for (int g = 0; g < 5; ++g)
            ExpectNear(choice.groups[g], c.groups[g],
                       ("item " + std::to_string(c.item) + " choice " + std::to_string(c.choice) +
                        " group " + std::to_string(g + 1))
                           .c_str());
    }
}

TEST(ItemStatistics, FlagsAtTheirThresholds) {
    // Twenty sheets; item 1 (key 1) answered right by `right` of them, the
    // others choosing 2 except `threes` choosing 3; item 2 spreads the totals.
    struct Case {
        int right, threes;
        bool hard, easy, nonfunctional3;
    };
    const Case cases[] = {
        {3, 2, true, false, false},   // p .15
        {4, 2, false, false, false},  // p .20 exactly: not too hard
        {18, 1, false, false, false}, // p .90 exactly: not too easy, 3 chosen by 5 %
        {19, 0, false, true, true},   // p .95; 3 chosen by nobody
    };
    for (const Case& c : cases) {
        std::vector<std::vector<AnswerCode>> rows;
        for (int s = 0; s < 20; ++s) {
            AnswerCode a = s < c.right ? 1 : (s < c.right + c.threes ? 3 : 2);
            rows.push_back({a, static_cast<AnswerCode>(s % 2 ? 1 : 2)});
        }
        const TestStatistics t = ComputeItemStatistics(Matrix(3, {1, 1}, rows));
        const ItemStatistics& it = t.items[0];
        EXPECT_EQ(it.has(FlagCode::TooHard), c.hard) << c.right;
        EXPECT_EQ(it.has(FlagCode::TooEasy), c.easy) << c.right;
        bool flagged3 = false;
        for (const auto& f : it.flags)
            if (f.code == FlagCode::NonfunctionalDistractor && f.choice == 3) flagged3 = true;
        EXPECT_EQ(flagged3, c.nonfunctional3) << c.right;
        for (const auto& f : it.flags) {
            EXPECT_FALSE(f.text.empty());
            EXPECT_NE(f.choice, 1) << "the key is no distractor";
        }
    }
}

// Item 3 is keyed 1, but the high scorers chose 2.
AnswerMatrix Miskeyed() {
    return Matrix(3, {1, 1, 1}, {{1, 1, 2}, {1, 1, 2}, {2, 2, 1}, {2, 2, 1}, {1, 2, 3}});
}

TEST(ItemStatistics, PossibleMiskeyNamesTheDistractorFirst) {
    const TestStatistics t = ComputeItemStatistics(Miskeyed());
    const ItemStatistics& it = t.items[2];
    ASSERT_TRUE(it.rit);
    EXPECT_LT(*it.rit, 0);
    ASSERT_GE(it.flags.size(), 2u);
    EXPECT_EQ(it.flags[0].code, FlagCode::PossibleMiskey);
    EXPECT_EQ(it.flags[0].choice, 2);
    EXPECT_NE(it.flags[0].text.find("ตัวเลือก 2"), std::string::npos) << it.flags[0].text;
    EXPECT_EQ(it.flags[1].code, FlagCode::NegativeDiscrimination);
    EXPECT_STREQ(FlagName(it.flags[0].code), "possible_miskey");
    // No miskey where r_it is undefined, even with a distractor above 0.
    const TestStatistics allRight =
        ComputeItemStatistics(Matrix(2, {1, 1}, {{1, 1}, {1, 2}, {1, 2}}));
    EXPECT_FALSE(allRight.items[0].has(FlagCode::PossibleMiskey));
    // Two distractors above the key: highest r_pb first.
    const TestStatistics two = ComputeItemStatistics(Matrix(
        3, {1, 1, 1, 3},
        {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 2}, {1, 1, 0, 2}, {2, 2, 2, 3}, {2, 2, 2, 3}}));
    const ItemStatistics& i4 = two.items[3];
    std::vector<int> miskeys;
    for (const auto& f : i4.flags)
        if (f.code == FlagCode::PossibleMiskey) miskeys.push_back(f.choice);
    ASSERT_EQ(miskeys, (std::vector<int>{1, 2}));
    EXPECT_GE(*i4.choices[miskeys[0] - 1].rpb, *i4.choices[miskeys[1] - 1].rpb);
}

TEST(ItemStatistics, KeyChangeEffect) {
    const AnswerMatrix m = Miskeyed();
    // With 2 as the key of item 3, totals become 3, 3, 0, 0, 1.
    AnswerMatrix fixed = m;
    fixed.keys[2] = 2;
    const TestStatistics want = ComputeItemStatistics(fixed);
    const KeyChangeEffect e = EffectOfKeyChange(m, 3, 2);
    ASSERT_TRUE(e.kr20 && want.kr20);
    EXPECT_EQ(*e.kr20, *want.kr20);
    ASSERT_TRUE(e.rit);
    EXPECT_EQ(*e.rit, *want.items[2].rit);
    EXPECT_GT(*e.rit, 0.9);
    // Dropped: the KR-20 of items 1 and 2 (totals 2, 2, 0, 0, 1).
    const KeyChangeEffect dropped = EffectOfKeyChange(m, 3, kNoAnswer);
    EXPECT_FALSE(dropped.rit);
    // p .6 and .4; sum 5, squares 9: variance 9/5 - 1 = .8.
    ExpectNear(dropped.kr20, 2 * (1 - 0.48 / 0.8), "dropped kr20");
    // The matrix itself is untouched.
    EXPECT_EQ(m.keys[2], 1);
}

TEST(ItemStatistics, KeyOutsideTheChoicesScoresItsOwnText) {
    // Item 1's key is a text outside 1..2; answers of that text score, and
    // still count as invalid; other texts do not score.
    const TestStatistics t =
        ComputeItemStatistics(Matrix(2, {kOtherKey, 1}, {{kOtherKey, 1}, {X, 1}, {1, 2}}));
    EXPECT_EQ(t.scores, (std::vector<int>{2, 1, 0}));
    EXPECT_NEAR(t.items[0].p, 1.0 / 3, 1e-12);
    EXPECT_EQ(t.items[0].invalid, 2);
}

// A second, plain implementation from the definitions, over a random matrix.
TEST(ItemStatistics, AgreesWithANaiveComputation) {
    std::mt19937 rng(7);
    const int n = 137, items = 12, choices = 4;
    std::vector<AnswerCode> keys;
    for (int i = 0; i < items; ++i)
        keys.push_back(i == 5 ? kNoAnswer : static_cast<AnswerCode>(1 + rng() % choices));
    std::vector<std::vector<AnswerCode>> rows;
    for (int s = 0; s < n; ++s) {
        const double ability = (rng() % 1000) / 1000.0;
        std::vector<AnswerCode> r;
        for (int i = 0; i < items; ++i) {
            const double u = (rng() % 1000) / 1000.0;
            r.push_back(u < 0.05                  ? kNoAnswer
                        : u < 0.07                ? X
                        : u < 0.2 + 0.7 * ability ? keys[i] == kNoAnswer ? 1 : keys[i]
                                                  : static_cast<AnswerCode>(1 + rng() % choices));
        }
        rows.push_back(r);
    }
    const AnswerMatrix m = Matrix(choices, keys, rows);
    const TestStatistics t = ComputeItemStatistics(m);

    auto mean = [](const std::vector<double>& v) {
        double s = 0;
        for (double x : v)
            s += x;
        return s / v.size();
    };
    auto var = [&](const std::vector<double>& v) {
        const double mu = mean(v);
        double s = 0;
        for (double x : v)
            s += (x - mu) * (x - mu);
        return s / v.size();
    };
    auto corr = [&](const std::vector<double>& a, const std::vector<double>& b) {
        const double ma = mean(a), mb = mean(b);
        double s = 0;
        for (size_t i = 0; i < a.size(); ++i)
            s += (a[i] - ma) * (b[i] - mb);
        return s / a.size() / std::sqrt(var(a) * var(b));
    };
    std::vector<std::vector<double>> score(items, std::vector<double>(n));
    std::vector<double> total(n, 0);
    std::vector<int> keyed;
    for (int i = 0; i < items; ++i) {
        if (keys[i] == kNoAnswer) continue;
        keyed.push_back(i);
        for (int s = 0; s < n; ++s) {
            score[i][s] = rows[s][i] == keys[i] ? 1 : 0;
            total[s] += score[i][s];
        }
    }
    auto kr20 = [&](const std::vector<int>& its) {
        std::vector<double> tot(n, 0);
        double pq = 0;
        for (int i : its) {
            const double p = mean(score[i]);
            pq += p * (1 - p);
            for (int s = 0; s < n; ++s)
                tot[s] += score[i][s];
        }
        const double k = its.size();
        return k / (k - 1) * (1 - pq / var(tot));
    };
    ASSERT_TRUE(t.kr20);
    EXPECT_NEAR(*t.kr20, kr20(keyed), 1e-12);
    ASSERT_EQ(t.items.size(), keyed.size());
    for (size_t q = 0; q < keyed.size(); ++q) {
        const int i = keyed[q];
        const ItemStatistics& it = t.items[q];
        EXPECT_EQ(it.item, i + 1);
        std::vector<double> rest(n);
        for (int s = 0; s < n; ++s)
            rest[s] = total[s] - score[i][s];
        ASSERT_TRUE(it.rit);
        EXPECT_NEAR(*it.rit, corr(score[i], rest), 1e-12) << "item " << i + 1;
        std::vector<int> others;
        for (int j : keyed)
            if (j != i) others.push_back(j);
        ASSERT_TRUE(it.alphaIfDeleted);
        EXPECT_NEAR(*it.alphaIfDeleted, kr20(others), 1e-12) << "item " << i + 1;
        for (const ChoiceStatistics& ch : it.choices) {
            std::vector<double> chose(n);
            for (int s = 0; s < n; ++s)
                chose[s] = rows[s][i] == ch.choice ? 1 : 0;
            if (ch.count == 0) continue;
            ASSERT_TRUE(ch.rpb);
            EXPECT_NEAR(*ch.rpb, corr(chose, rest), 1e-12) << "item " << i + 1 << " " << ch.choice;
        }
    }
}

// ---- The loader, over exam files made in the test.

struct ExamOnDisk {
    iatest::TempDir dir;
    std::string path = dir.file("exam.ans");
    ExamOnDisk(int nItem, int nChoice, const std::vector<std::string>& key,
               const std::vector<std::vector<std::string>>& sheets) {
        iatest::MakeExamFile(path, iatest::MakeHeader(nItem, nChoice), key, sheets);
    }
};

const std::string kNull = "\x01";

TEST(ExamAnswers, CodesAnswersAndKeysAsTheScoringReadsThem) {
    ExamOnDisk f(5, 3, {"1", kNull, "0", "", "A"},
                 {{"1", "1", "2", "3", "1", "A"},
                  {"2", kNull, "0", "", "4", "B"},
                  {"3", "x", "3", "1", "2", "A"}});
    const std::string before = iatest::FileBytes(f.path);
    const ExamAnswers a = LoadExamAnswers(f.path);
    EXPECT_EQ(iatest::FileBytes(f.path), before) << "reading never writes";
    const AnswerMatrix& m = a.matrix;
    EXPECT_EQ(m.sheets, 3);
    EXPECT_EQ(m.items, 5);
    EXPECT_EQ(m.choices, 3);
    EXPECT_EQ(m.keys, (std::vector<AnswerCode>{1, kNoAnswer, kNoAnswer, kNoAnswer, kOtherKey}));
    EXPECT_EQ(a.keyTexts[4], "A");
    const std::vector<AnswerCode> want{1, 2, 3, 1, kOtherKey, //
                                       0, 0, 0, X, X,         //
                                       X, 3, 1, 2, kOtherKey};
    EXPECT_EQ(m.answers, want);
    const TestStatistics t = ComputeItemStatistics(m);
    EXPECT_EQ(t.keyedItems, 2);
    EXPECT_EQ(t.scores, (std::vector<int>{2, 0, 1}));
}

TEST(ExamAnswers, RefusesWhatIsNoExamFile) {
    iatest::TempDir dir;
    EXPECT_THROW(LoadExamAnswers(dir.file("missing.ans")), AnalysisError);
    ExamOnDisk six(2, 6, {"1", "2"}, {{"1", "1", "2"}});
    EXPECT_THROW(LoadExamAnswers(six.path), AnalysisError);
}

// The KR-20 in double precision agrees with the report's stored four
// decimals, and computing the statistics leaves both techniques' results as
// they were.
TEST(ExamAnswers, Kr20AgreesWithTheStoredStatistics) {
    std::mt19937 rng(11);
    const int items = 20, choices = 4;
    std::vector<std::string> key;
    for (int i = 0; i < items; ++i)
        key.push_back(i == 3 ? "" : std::to_string(1 + rng() % choices));
    std::vector<std::vector<std::string>> sheets;
    for (int s = 0; s < 60; ++s) {
        const double ability = (rng() % 100) / 100.0;
        std::vector<std::string> row{std::to_string(s + 1)};
        for (int i = 0; i < items; ++i) {
            const double u = (rng() % 100) / 100.0;
            row.push_back(u < 0.04                   ? ""
                          : u < 0.25 + 0.7 * ability ? key[i] == "" ? "1" : key[i]
                                                     : std::to_string(1 + rng() % choices));
        }
        sheets.push_back(row);
    }
    ExamOnDisk f(items, choices, key, sheets);
    for (Technique technique : {Technique::SimpleFormula25, Technique::FanTable27}) {
        ExamViews views;
        TestHeader header = iatest::MakeHeader(items, choices);
        AnalysisState state;
        AnalysisHost host;
        AnalysisContext ctx{views, header, state, host};
        BindExamFile(views, f.path);
        state.LastItemField = items;
        RunTechnique(ctx, technique, iatest::BinDir());
        views.CloseAll();
        const std::string stored = iatest::FileBytes(f.path);
        const TestStatistics t = ComputeItemStatistics(LoadExamAnswers(f.path).matrix);
        EXPECT_EQ(iatest::FileBytes(f.path), stored);
        Connection db(f.path, Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT KR20, Xbar, nCase, nItem FROM TStat");
        ASSERT_TRUE(st.step());
        ASSERT_TRUE(t.kr20);
        EXPECT_NEAR(*t.kr20, Val(st.column(0).text()), 0.00005 + 1e-9);
        EXPECT_NEAR(t.mean, Val(st.column(1).text()), 0.00005 + 1e-9);
        EXPECT_EQ(t.sheets, st.columnInt(2));
        EXPECT_EQ(t.keyedItems, st.columnInt(3));
    }
}

} // namespace
