// SPDX-License-Identifier: GPL-3.0-or-later
// The formulas of the analysis on plain inputs, without any exam file.

#include "TestSupport.h"
#include "analysis/AnalysisFormulas.h"
#include "analysis/FanTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ia;

namespace {

// "\x01" stands for NULL, as in the exam-file fixtures.
StoredText T(const std::string& s) {
    if (s == "\x01") return std::nullopt;
    return StoredText(s);
}

// A matrix from sheets of one-character answers ('.' empty, '_' NULL)
// against a key of one-character texts ('.' empty, '_' NULL).
struct Sheets {
    std::vector<std::string> keyTexts;
    std::vector<StoredText> keys;
    ScoringMatrix matrix;
    Sheets(const std::string& key, const std::vector<std::string>& sheets)
        : matrix(static_cast<int>(key.size())) {
        for (char k : key)
            keyTexts.push_back(k == '.' ? "" : std::string(1, k));
        for (size_t i = 0; i < key.size(); ++i)
            keys.push_back(key[i] == '_' ? StoredText() : StoredText(keyTexts[i]));
        for (const std::string& s : sheets) {
            matrix.addSheet();
            for (size_t i = 0; i < s.size(); ++i) {
                const std::string a = s[i] == '.' ? "" : std::string(1, s[i]);
                matrix.setLast(static_cast<int>(i),
                               CellOf(s[i] == '_' ? StoredText() : StoredText(a), keys[i]));
            }
        }
    }
};

TEST(KeyAndAnswers, WhichKeysCountAndWhichAnswersMatch) {
    struct Case {
        std::string answer, key;
        bool unkeyed, matches;
    } cases[] = {
        {"1", "1", false, true},       {"2", "1", false, false},
        {"0", "0", true, false},       // "0" leaves the item out
        {"", "", true, false},         // so does the empty key
        {"\x01", "\x01", true, false}, // a key never typed leaves it out too
        {"\x01", "1", false, false},   {"ก", "ก", false, true}, // any text, compared as stored
        {"1 ", "1", false, false},                              // no trimming
        {"01", "1", false, false},                              // texts, not numbers
        {"A", "a", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("answer '" + c.answer + "' key '" + c.key + "'");
        EXPECT_EQ(IsUnkeyed(T(c.key)), c.unkeyed);
        EXPECT_EQ(AnswerMatchesKey(T(c.answer), T(c.key)), c.matches);
        EXPECT_EQ(CellOf(T(c.answer), T(c.key)).correct, c.matches);
    }
}

TEST(KeyAndAnswers, TheChoiceAnAnswerStandsFor) {
    struct Case {
        std::string answer;
        int choice;
    } cases[] = {
        {"1", 1},          {"5", 5},          {"6", 6},  {"7", kNoChoice},
        {"0", 0},          {"", 0},           {"A", 0},  {"\x01", kNoChoice},
        {" 3", 3},         {"3.0", 3},        {"2x", 2}, {"2.5", kNoChoice},
        {"-1", kNoChoice}, {"12", kNoChoice}, {"ก", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChoiceOfAnswer(T(c.answer)), c.choice) << "'" << c.answer << "'";
}

TEST(KeyAndAnswers, KeyChoiceAndKeyCounts) {
    EXPECT_TRUE(IsKeyChoice(T("3"), 3));
    EXPECT_FALSE(IsKeyChoice(T("3 "), 3));
    EXPECT_FALSE(IsKeyChoice(T("\x01"), 1));
    const std::string k1 = "1", k0 = "0", empty;
    const KeyCounts k =
        CountKeyedItems({StoredText(k1), StoredText(k0), StoredText(empty), std::nullopt});
    EXPECT_EQ(k.keyed, 1); // only "1": "0", empty and NULL leave their items out
    EXPECT_EQ(k.unkeyed, 3);
}

TEST(ScoringMatrixCells, KeepEveryCellOfOddAndEvenItems) {
    ScoringMatrix m(3);
    for (int s = 0; s < 3; ++s) {
        m.addSheet();
        for (int i = 0; i < 3; ++i)
            m.setLast(i, {(s + i) % 2 == 0, static_cast<uint8_t>((s * 3 + i) % 8)});
    }
    for (int s = 0; s < 3; ++s)
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(m.at(s, i).correct, (s + i) % 2 == 0) << s << "/" << i;
            EXPECT_EQ(m.at(s, i).choice, (s * 3 + i) % 8) << s << "/" << i;
        }
    m.addSheet();
    EXPECT_EQ(m.at(3, 2).choice, kNoChoice); // a new sheet answers nothing
    EXPECT_FALSE(m.at(3, 2).correct);
}

TEST(TestSummaryTable, MeanSdKr20AndSem) {
    struct Case {
        const char* what;
        std::string key;
        std::vector<std::string> sheets;
        const char *mean, *sd, *kr20, *sem;
    } cases[] = {
        // p = 1, 1, 1, .5, .5; KR-20 = 5/4 (1 - .5 / 1) = .625
        {"two sheets",
         "11111",
         {"11122", "11111"},
         "    4.0000",
         "    1.0000",
         "      .6250",
         "      .6124"},
        // p = 1, 2/3, 1/3; sum pq = 4/9; variance 2/3; KR-20 = 1.5 (1 - 2/3) = .5
        {"known KR-20",
         "111",
         {"122", "112", "111"},
         "    2.0000",
         "      .8165",
         "      .5000",
         "      .5774"},
        {"all scores equal", "11", {"12", "21"}, "    1.0000", "      .0000", "", ""},
        {"one keyed item", "10", {"11", "21"}, "      .5000", "      .5000", "", ""},
        {"a single sheet", "11", {"12"}, "    1.0000", "      .0000", "", ""},
        {"no sheet", "11", {}, "      .0000", "      .0000", "", ""},
        // Items that work against each other: p = 2/3 each, variance 2/9,
        // KR-20 = 2 (1 - (4/9) / (2/9)) = -2, SEM = SD sqrt(3).
        {"negative KR-20",
         "11",
         {"12", "21", "11"},
         "    1.3333",
         "      .4714",
         "      -2.0000",
         "      .8165"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sheets s(c.key, c.sheets);
        const Scoring scoring = ScoreSheets(s.matrix);
        const TestSummary t = DescribeTest(scoring, CountKeyedItems(s.keys).keyed);
        EXPECT_EQ(t.sheets, static_cast<long long>(c.sheets.size()));
        EXPECT_EQ(t.meanText, c.mean);
        EXPECT_EQ(t.sdText, c.sd);
        EXPECT_EQ(t.reliability.kr20Text, c.kr20);
        EXPECT_EQ(t.reliability.semText, c.sem);
    }
}

TEST(Scores, CountOnlyKeyedItemsAndExactSums) {
    // Item 1 keyed "0" (left out), item 2 NULL key, item 3 keyed 3.
    Sheets s("0_3", {"0.3", "__3", "002"});
    const Scoring r = ScoreSheets(s.matrix);
    EXPECT_EQ(r.scores, (std::vector<uint16_t>{1, 1, 0}));
    EXPECT_EQ(r.correctByItem, (std::vector<long long>{0, 0, 2}));
    EXPECT_EQ(r.sumScores, 2);
    EXPECT_EQ(r.sumSquares, 2);
}

TEST(Groups, SizesRoundHalvesToEven) {
    struct Case {
        long long sheets;
        int percent, group;
    } cases[] = {{2, 27, 1},          {3, 25, 1},         {3, 27, 1},   {10, 25, 2},
                 {30, 25, 8},         {40, 27, 11},       {50, 27, 14}, {4, 25, 1},
                 {1, 25, 0},          {2, 25, 0},         {48, 27, 13}, {1000000, 27, 270000},
                 {121360, 27, 32767}, {121364, 27, 32768}};
    for (const auto& c : cases)
        EXPECT_EQ(GroupSize(c.percent, c.sheets), c.group) << c.sheets << " at " << c.percent;
}

TEST(Groups, RankByScoreWithTiesInFileOrder) {
    // Scores 1, 2, 1, 1: ranked sheets 1, 3, 4, 2. Low = sheet 1, high = sheet 2.
    Sheets s("13", {"23", "13", "12", "1."});
    const Scoring r = ScoreSheets(s.matrix);
    const GroupCounts g = CountHighLowGroups(s.matrix, r.scores, 1);
    EXPECT_EQ(g.low(0, 2), 1);
    EXPECT_EQ(g.low(1, 3), 1);
    EXPECT_EQ(g.high(0, 1), 1);
    EXPECT_EQ(g.high(1, 3), 1);
    // With all scores equal the first sheets are low and the last high.
    Sheets tie("1", {"2", "3", "4", "5"});
    const GroupCounts t = CountHighLowGroups(tie.matrix, ScoreSheets(tie.matrix).scores, 2);
    EXPECT_EQ(t.low(0, 2) + t.low(0, 3), 2);
    EXPECT_EQ(t.high(0, 4) + t.high(0, 5), 2);
    EXPECT_EQ(t.low(0, 4) + t.high(0, 2), 0);
}

TEST(Groups, OverlapWhenTheGroupIsMoreThanHalf) {
    Sheets s("1", {"1", "2", "3"});
    const GroupCounts g = CountHighLowGroups(s.matrix, ScoreSheets(s.matrix).scores, 2);
    // ranked: "2", "3", "1": the middle sheet is in both groups
    EXPECT_EQ(g.low(0, 2) + g.low(0, 3), 2);
    EXPECT_EQ(g.high(0, 3) + g.high(0, 1), 2);
}

TEST(ChoiceRowsTable, SharesAndKeyFlags) {
    // Low sheet "23", high sheet "1.".
    Sheets s("13", {"23", "1."});
    const Scoring r = ScoreSheets(s.matrix);
    const std::vector<ChoiceRow> rows =
        ChoiceRows(CountHighLowGroups(s.matrix, r.scores, 1), s.keys, 3);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].item, 1);
    EXPECT_TRUE(rows[0].isKey);
    EXPECT_EQ(rows[0].high, 1);
    EXPECT_EQ(rows[0].highShare, "1.00");
    EXPECT_EQ(rows[0].lowShare, " .00");
    EXPECT_EQ(rows[1].lowShare, "1.00");
    // Item 2: the high sheet left it empty, so the high group has no share.
    EXPECT_FALSE(rows[3].highShare.has_value());
    EXPECT_EQ(rows[5].lowShare, "1.00");
    EXPECT_TRUE(rows[5].isKey);
}

TEST(SimpleFormula, RowsOfTheWorkedExample) {
    // Item 1 of the 48-sheet example, groups of 12, key 2.
    struct Case {
        long long h, l;
        bool key;
        const char *p, *r, *delta, *zr;
    } cases[] = {
        {1, 4, false, " .21", " .25", "16.2", nullptr},
        {9, 3, true, " .50", " .50", "13.0", " .55"},
        {1, 3, false, " .17", " .17", "16.9", nullptr},
        {1, 2, false, " .13", " .08", "17.6", nullptr},
        {0, 12, true, " .50", "-1.00", "13.0", "-4.95"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.h) + "/" + std::to_string(c.l));
        const RowResult r = SimpleFormula25(c.h, c.l, c.key, 12);
        EXPECT_EQ(r.p, c.p);
        EXPECT_EQ(r.r, c.r);
        EXPECT_EQ(r.delta, c.delta);
        EXPECT_EQ(r.zr.has_value(), c.zr != nullptr);
        if (c.zr) {
            EXPECT_EQ(*r.zr, c.zr);
        }
    }
}

TEST(FanTable, CellsAndTheEmptyRow) {
    ChungTables t;
    LoadFanTables(iatest::BinDir(), t);
    const RowResult none = FanTable27(0, 0, 0, 0, true, t);
    EXPECT_EQ(none.p, " .00");
    EXPECT_EQ(none.r, " .00");
    EXPECT_EQ(none.delta, "    .0");
    EXPECT_EQ(none.zr, " .00");
    const RowResult key = FanTable27(9, 3, 69, 23, true, t);
    const ChungCell cell = LocateChungCell(69, 23, true);
    EXPECT_EQ(key.p, " ." + std::string(t.P[cell.position] < 10 ? "0" : "") +
                         std::to_string(t.P[cell.position]));
    EXPECT_EQ(key.r[0], ' ');
    // The distractor the high group favours counts against it.
    EXPECT_EQ(FanTable27(9, 3, 69, 23, false, t).r[0], '-');
    EXPECT_FALSE(FanTable27(9, 3, 69, 23, false, t).zr.has_value());
}

TEST(Averages, AreTakenFromTheStoredTexts) {
    std::vector<RowResult> rows{{" .50", " .50", "13.0", " .55"}, {" .21", " .25", "16.2", " .26"}};
    const Averages a = AverageOfStoredTexts(rows, 2);
    EXPECT_EQ(a.p, " .36"); // (.50 + .21) / 2 = .355
    EXPECT_EQ(a.delta, "14.6");
    EXPECT_EQ(a.zr, " .41"); // (.55 + .26) / 2 = .405
    EXPECT_EQ(a.r, " .38");  // tanh(.405)
    // Divided by the keyed items, also when fewer rows are keyed rows.
    EXPECT_EQ(AverageOfStoredTexts(rows, 4).p, " .18");
    const Averages none = AverageOfStoredTexts({}, 0);
    EXPECT_EQ(none.p, " .00");
    EXPECT_EQ(none.delta, "    .0");
}

TEST(Judgements, KeyedRowsAndDistractors) {
    struct Case {
        bool key;
        long long p, r, h, l;
        const char* want;
    } cases[] = {
        {true, 19, 39, 5, 1, "ยากมาก  อำนาจจำแนกดี"},
        {true, 20, 40, 5, 1, "ค่อนข้างยาก  อำนาจจำแนกดีมาก"},
        {true, 39, 29, 5, 1, "ค่อนข้างยาก  อำนาจจำแนกพอใช้ได้"},
        {true, 40, 20, 5, 1, "ยากง่ายปานกลาง  อำนาจจำแนกพอใช้ได้"},
        {true, 59, 19, 5, 1, "ยากง่ายปานกลาง  อำนาจจำแนกไม่ดี"},
        {true, 60, 1, 5, 1, "ค่อนข้างง่าย  อำนาจจำแนกไม่ดี"},
        {true, 79, 0, 5, 1, "ค่อนข้างง่าย  ไม่มีอำนาจจำแนก"},
        {true, 80, -1, 1, 5, "ง่ายมาก  ไม่ดี คนเก่งหลงทำผิด"},
        {true, 100, 29, 3, 3, "ง่ายมาก  ไม่มีอำนาจจำแนก"},
        {true, 29, 30, 0, 0, "ยากมาก  ไม่มีใครตอบได้"},
        {false, 10, 10, 5, 1, "ไม่ดี คนเก่งหลงตอบมากกว่า"},
        {false, 10, 10, 3, 3, "ไม่ดี ไม่มีอำนาจจำแนก"},
        {false, 10, 10, 1, 5, "ดี คนอ่อนหลงตอบมากกว่า"},
        {false, 10, 10, 0, 0, "ไม่ดี ไม่มีคนเลือก"},
        {true, 50, 50, 40000, 1000, "ยากง่ายปานกลาง  อำนาจจำแนกดีมาก"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JudgeRow(c.key, c.p, c.r, c.h, c.l), c.want) << c.p << " " << c.r;
}

} // namespace
