// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "analysis/FanTable.h"
#include "examfile/Engine.h"
#include "examfile/Val.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <map>

using namespace ia;

namespace {

struct Row {
    int item, choice, isAns, h, l;
    Value ph, pl, p, r, delta, zr, explain;
};

// An exam file made in the test, bound to five views, with the state the
// window would hold.
struct Exam {
    iatest::TempDir dir;
    std::string path;
    TestHeader header;
    ExamViews views;
    AnalysisState state;
    AnalysisHost host;
    AnalysisContext ctx{views, header, state, host};

    Exam(int nItem, int nChoice, const std::vector<std::string>& key,
         const std::vector<std::vector<std::string>>& sheets)
        : path(dir.file("exam.ans")), header(iatest::MakeHeader(nItem, nChoice)) {
        iatest::MakeExamFile(path, header, key, sheets);
        BindExamFile(views, path);
        state.FirstItemField = 1;
        state.LastItemField = static_cast<int16_t>(nItem);
    }

    std::vector<Row> out() {
        Connection db(path, Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT * FROM TOut ORDER BY rowid");
        std::vector<Row> rows;
        while (st.step())
            rows.push_back({(int)st.columnInt(0), (int)st.columnInt(1), (int)st.columnInt(2),
                            (int)st.columnInt(3), (int)st.columnInt(4), st.column(5), st.column(6),
                            st.column(7), st.column(8), st.column(9), st.column(10),
                            st.column(11)});
        return rows;
    }
    std::map<std::string, Value> stat() {
        Connection db(path, Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT * FROM TStat");
        std::map<std::string, Value> m;
        if (st.step())
            for (int i = 0; i < st.columnCount(); ++i)
                m[st.columnName(i)] = st.column(i);
        return m;
    }
    std::vector<long long> scores() {
        Connection db(path, Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT Score FROM TAData ORDER BY rowid");
        std::vector<long long> v;
        while (st.step())
            v.push_back(st.column(0).isNull() ? -999 : st.columnInt(0));
        return v;
    }
};

using iatest::Sheet;

// The 48-sheet, 4-choice example: item 1 keyed 2, chosen 1/9/1/1 by the high
// group and 4/3/3/2 by the low group; items 2..11 keyed 1 spread the scores.
Exam WorkedExample() {
    std::vector<std::vector<std::string>> sheets;
    int code = 1;
    auto add = [&](char item1, int correct) {
        std::string a(1, item1);
        for (int i = 0; i < 10; ++i)
            a += i < correct ? '1' : '2';
        sheets.push_back(Sheet(std::to_string(code++), a));
    };
    for (char c : std::string("122222222234"))
        add(c, 10); // high
    for (char c : std::string("111122233344"))
        add(c, 0); // low
    for (int i = 0; i < 24; ++i)
        add('1', 5); // middle
    std::vector<std::string> key{"2", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1"};
    return Exam(11, 4, key, sheets);
}

} // namespace

TEST(StoreSheetScores, TwoSheetsGiveMeanFourAndPopulationSdOne) {
    Exam e(5, 4, {"1", "1", "1", "1", "1"}, {Sheet("1", "11122"), Sheet("2", "11111")});
    StoreSheetScores(e.ctx);
    EXPECT_EQ(e.scores(), (std::vector<long long>{3, 5}));
    EXPECT_DOUBLE_EQ(e.state.TestMean, 4.0);
    EXPECT_DOUBLE_EQ(e.state.TestSD, 1.0);
    auto s = e.stat();
    EXPECT_EQ(s["Xbar"].text(), "    4.0000");
    EXPECT_EQ(s["SD"].text(), "    1.0000");
    EXPECT_EQ(s["nCase"].integer(), 2);
    EXPECT_EQ(s["nItem"].integer(), 5);
    EXPECT_EQ(e.state.SheetCount, 2);
}

TEST(StoreSheetScores, UnkeyedItemsAndNullKeys) {
    // Item 1 keyed "0", item 2 empty key, item 3 a key never typed (NULL):
    // all three have no key. Item 4 keyed 3.
    Exam e(4, 4, {"0", "", "\x01", "3"},
           {Sheet("1", "0.13"), {"2", "\x01", "\x01", "\x01", "3"}, Sheet("3", "00.2")});
    StoreSheetScores(e.ctx);
    EXPECT_EQ(e.state.KeyedItemCount, 1);
    EXPECT_EQ(e.state.UnkeyedItemCount, 3);
    EXPECT_EQ(e.scores(), (std::vector<long long>{1, 1, 0}));
    Connection db(e.path, Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT Tot FROM TKey");
    st.step();
    EXPECT_EQ(st.columnInt(0), 4); // every item field, keyed or not
    EXPECT_EQ(e.stat()["nItem"].integer(), 1);
}

TEST(StoreSheetScores, Kr20OfExactlyZeroHasNoSign) {
    // Scores 0, 0, 0, 0, 1 on two items: the sum of p·q equals the variance
    // exactly (4 = 5·1 − 1² in whole counts), which the floating-point sums
    // miss by a hair below zero. A truly negative KR-20 keeps its sign.
    Exam zero(
        2, 4, {"1", "1"},
        {Sheet("1", "22"), Sheet("2", "22"), Sheet("3", "22"), Sheet("4", "22"), Sheet("5", "21")});
    StoreSheetScores(zero.ctx);
    auto s = zero.stat();
    EXPECT_EQ(zero.state.TestKR20, 0.0f);
    EXPECT_EQ(s["KR20"].text(), "      .0000");
    EXPECT_EQ(s["SEmea"].text(), s["SD"].text());

    Exam negative(2, 4, {"1", "1"}, {Sheet("1", "12"), Sheet("2", "21"), Sheet("3", "11")});
    StoreSheetScores(negative.ctx);
    EXPECT_FLOAT_EQ(negative.state.TestKR20, -2.0f);
    EXPECT_EQ(negative.stat()["KR20"].text().find('-') != std::string::npos, true);
}

TEST(StoreSheetScores, KnownKr20AndItsStandardError) {
    // Scores 1, 2, 3 on three items; p = 2/3, 2/3... computed by hand:
    // sheets 100, 110, 111 -> p = 1, 2/3, 1/3; sum pq = 0 + 2/9 + 2/9 = 4/9;
    // variance = 2/3; KR-20 = 1.5 * (1 - (4/9)/(2/3)) = 0.5.
    Exam e(3, 4, {"1", "1", "1"}, {Sheet("1", "122"), Sheet("2", "112"), Sheet("3", "111")});
    StoreSheetScores(e.ctx);
    auto s = e.stat();
    EXPECT_EQ(s["KR20"].text(), "      .5000");
    // SEM = sqrt(2/3) * sqrt(0.5) = 0.57735
    EXPECT_EQ(s["SEmea"].text(), "      .5774");
}

TEST(StoreSheetScores, UndefinedReliabilityIsStoredEmpty) {
    struct Case {
        const char* what;
        std::vector<std::string> key;
        std::vector<std::vector<std::string>> sheets;
    } cases[] = {
        {"all scores equal", {"1", "1"}, {Sheet("1", "12"), Sheet("2", "21")}},
        {"one keyed item", {"1", "0"}, {Sheet("1", "11"), Sheet("2", "21")}},
        {"a single sheet", {"1", "1"}, {Sheet("1", "12")}},
    };
    for (auto& c : cases) {
        Exam e(2, 4, c.key, c.sheets);
        StoreSheetScores(e.ctx);
        auto s = e.stat();
        EXPECT_EQ(s["KR20"].text(), "") << c.what;
        EXPECT_FALSE(s["KR20"].isNull()) << c.what;
        EXPECT_EQ(s["SEmea"].text(), "") << c.what;
        EXPECT_FALSE(s["Xbar"].text().empty()) << c.what;
    }
}

TEST(StoreHighLowCounts, GroupSizesRoundHalvesToEven) {
    struct Case {
        int sheets, percent, group;
    } cases[] = {{2, 27, 1},  {3, 25, 1},   {3, 27, 1},   {10, 25, 2},
                 {30, 25, 8}, {40, 27, 11}, {50, 27, 14}, {4, 25, 1}};
    for (const auto& c : cases) {
        std::vector<std::vector<std::string>> sheets;
        for (int i = 0; i < c.sheets; ++i)
            sheets.push_back(Sheet(std::to_string(i), i % 2 ? "12" : "11"));
        Exam e(2, 4, {"1", "1"}, sheets);
        const GroupCounts counts = StoreHighLowCounts(e.ctx, c.percent);
        EXPECT_EQ(e.state.GroupSize, c.group) << c.sheets << " sheets at " << c.percent;
        // Groups never overlap: every counted answer belongs to one group.
        long long counted = 0;
        for (int j = 0; j <= 6; ++j)
            counted += counts.high(0, j) + counts.low(0, j);
        EXPECT_EQ(counted, 2 * c.group);
    }
}

TEST(StoreHighLowCounts, CountsProportionsAndKeyFlags) {
    // 4 sheets at 25 %: one per group. Low sheet "23", high sheet "1.".
    Exam e(2, 3, {"1", "3"},
           {Sheet("1", "23"), Sheet("2", "13"), Sheet("3", "12"), Sheet("4", "1.")});
    // scores: 1:1, 2:2, 3:1, 4:1 -> order by score, ties by insertion: 1,3,4,2
    StoreHighLowCounts(e.ctx, 25);
    auto rows = e.out();
    ASSERT_EQ(rows.size(), 6u);
    // low = sheet 1 ("23"), high = sheet 2 ("13")
    EXPECT_EQ(rows[0].item, 1);
    EXPECT_EQ(rows[0].isAns, 1);
    EXPECT_EQ(rows[0].h, 1);
    EXPECT_EQ(rows[0].l, 0);
    EXPECT_EQ(rows[0].ph.text(), "1.00");
    EXPECT_EQ(rows[0].pl.text(), " .00");
    EXPECT_EQ(rows[1].l, 1);
    EXPECT_EQ(rows[1].pl.text(), "1.00");
    EXPECT_EQ(rows[5].isAns, 1); // item 2, choice 3
    EXPECT_EQ(rows[5].h, 1);
    EXPECT_EQ(rows[5].l, 1);
    for (const auto& r : rows)
        EXPECT_TRUE(r.p.isNull());
}

TEST(StoreHighLowCounts, NobodyInAGroupAnsweredLeavesItsProportionEmpty) {
    Exam e(2, 4, {"1", "1"},
           {Sheet("1", "1."), Sheet("2", "11"), Sheet("3", "2."), Sheet("4", "11")});
    StoreHighLowCounts(e.ctx, 25);
    for (const auto& r : e.out()) {
        if (r.item != 2) continue;
        // Item 2: the low sheet left it blank.
        EXPECT_TRUE(r.pl.isNull());
        EXPECT_FALSE(r.ph.isNull());
    }
}

TEST(StoreHighLowCounts, CountsOfTheLastItemDoNotGrowBetweenRuns) {
    std::vector<std::string> key(251, "1");
    std::vector<std::vector<std::string>> sheets;
    for (int s = 0; s < 4; ++s) {
        std::vector<std::string> sheet{std::to_string(s)};
        for (int i = 0; i < 251; ++i)
            sheet.push_back(s < 2 ? "2" : "1");
        sheets.push_back(sheet);
    }
    Exam e(251, 4, key, sheets);
    StoreHighLowCounts(e.ctx, 25);
    const GroupCounts counts = StoreHighLowCounts(e.ctx, 25);
    EXPECT_EQ(counts.high(250, 1), 1); // item 251
    EXPECT_EQ(counts.low(250, 2), 1);
}

TEST(AnalyseSimpleFormula25, WorkedExampleItemOne) {
    Exam e = WorkedExample();
    AnalyseSimpleFormula25(e.ctx);
    EXPECT_EQ(e.state.GroupSize, 12);
    auto rows = e.out();
    struct Expect {
        int h, l;
        const char *p, *r, *delta, *explain;
    } want[] = {
        {1, 4, " .21", " .25", "16.2", "ดี คนอ่อนหลงตอบมากกว่า"},
        {9, 3, " .50", " .50", "13.0", "ยากง่ายปานกลาง  อำนาจจำแนกดีมาก"},
        {1, 3, " .17", " .17", "16.9", "ดี คนอ่อนหลงตอบมากกว่า"},
        {1, 2, " .13", " .08", "17.6", "ดี คนอ่อนหลงตอบมากกว่า"},
    };
    for (int j = 0; j < 4; ++j) {
        SCOPED_TRACE(j + 1);
        EXPECT_EQ(rows[j].h, want[j].h);
        EXPECT_EQ(rows[j].l, want[j].l);
        EXPECT_EQ(rows[j].p.text(), want[j].p);
        EXPECT_EQ(rows[j].r.text(), want[j].r);
        EXPECT_EQ(rows[j].delta.text(), want[j].delta);
        EXPECT_EQ(rows[j].explain.text(), want[j].explain);
        EXPECT_EQ(rows[j].zr.isNull(), j != 1);
    }
    EXPECT_EQ(rows[1].zr.text(), " .55");
}

TEST(AnalyseSimpleFormula25, AveragesComeFromTheStoredTexts) {
    Exam e = WorkedExample();
    AnalyseSimpleFormula25(e.ctx);
    double sp = 0, sd = 0, sz = 0;
    int k = 0;
    for (const auto& r : e.out())
        if (r.isAns == 1)
            sp += Val(r.p.text()), sd += Val(r.delta.text()), sz += Val(r.zr.text()), ++k;
    ASSERT_EQ(k, e.state.KeyedItemCount);
    auto s = e.stat();
    EXPECT_NEAR(Val(s["Pav"].text()), sp / k, 0.005);
    EXPECT_NEAR(Val(s["Dav"].text()), sd / k, 0.05);
    EXPECT_NEAR(Val(s["Zrav"].text()), sz / k, 0.005);
    float zrav = static_cast<float>(Val(s["Zrav"].text()));
    EXPECT_NEAR(Val(s["Rav"].text()), std::tanh(zrav), 0.006);
}

TEST(AnalyseSimpleFormula25, SignsOfRForKeysAndDistractors) {
    // G = 1 with 4 sheets: a key chosen only by the low sheet gets r = -1
    // (Zr stays finite); the distractor the high sheet chose gets r = -1.
    Exam e(2, 2, {"1", "1"},
           {Sheet("1", "12"), Sheet("2", "21"), Sheet("3", "21"), Sheet("4", "21")});
    // scores: sheet1 1, others 1 -> all tie; order by insertion: low = sheet 1, high = sheet 4
    AnalyseSimpleFormula25(e.ctx);
    auto rows = e.out();
    // item 1: low chose 1 (key), high chose 2
    EXPECT_EQ(rows[0].r.text(), "-1.00");
    EXPECT_EQ(rows[0].zr.text(), "-4.95");
    EXPECT_EQ(rows[1].r.text(), "-1.00");
    EXPECT_EQ(rows[0].explain.text(), "ยากง่ายปานกลาง  ไม่ดี คนเก่งหลงทำผิด");
    EXPECT_EQ(rows[1].explain.text(), "ไม่ดี คนเก่งหลงตอบมากกว่า");
    for (const auto& r : rows) {
        for (const Value* v : {&r.p, &r.r, &r.delta, &r.zr})
            EXPECT_EQ(v->text().find_first_of("naif#"), std::string::npos) << v->text();
    }
}

TEST(Explain, BoundariesAndOverrides) {
    // Each keyed row is set by hand, then Explain judges it.
    struct Case {
        const char *p, *r;
        int h, l;
        const char* want;
    } cases[] = {
        {" .19", " .39", 5, 1, "ยากมาก  อำนาจจำแนกดี"},
        {" .20", " .40", 5, 1, "ค่อนข้างยาก  อำนาจจำแนกดีมาก"},
        {" .39", " .29", 5, 1, "ค่อนข้างยาก  อำนาจจำแนกพอใช้ได้"},
        {" .40", " .20", 5, 1, "ยากง่ายปานกลาง  อำนาจจำแนกพอใช้ได้"},
        {" .59", " .19", 5, 1, "ยากง่ายปานกลาง  อำนาจจำแนกไม่ดี"},
        {" .60", " .01", 5, 1, "ค่อนข้างง่าย  อำนาจจำแนกไม่ดี"},
        {" .79", " .00", 5, 1, "ค่อนข้างง่าย  ไม่มีอำนาจจำแนก"},
        {" .80", "-.01", 1, 5, "ง่ายมาก  ไม่ดี คนเก่งหลงทำผิด"},
        {"1.00", " .29", 3, 3, "ง่ายมาก  ไม่มีอำนาจจำแนก"},
        {" .29", " .30", 0, 0, "ยากมาก  ไม่มีใครตอบได้"},
    };
    Exam e(1, 2, {"1"}, {Sheet("1", "1")});
    Connection db(e.path);
    for (const auto& c : cases) {
        db.exec("DELETE FROM TOut");
        auto st = db.prepare(
            "INSERT INTO TOut (ItemNo, ChoiceNo, IsAns, H, L, P, r) VALUES (1,1,1,?,?,?,?)");
        st.bind(1, c.h).bind(2, c.l).bind(3, c.p).bind(4, c.r);
        st.run();
        auto d = db.prepare("INSERT INTO TOut (ItemNo, ChoiceNo, IsAns, H, L, P, r) VALUES "
                            "(1,2,0,?,?,' .10',' .10')");
        d.bind(1, c.h).bind(2, c.l);
        d.run();
        e.views.results.Refresh();
        JudgeStoredRows(e.ctx);
        auto rows = e.out();
        EXPECT_EQ(rows[0].explain.text(), c.want) << c.p << " " << c.r;
        const char* distractor = c.h == 0 && c.l == 0 ? "ไม่ดี ไม่มีคนเลือก"
                                 : c.h > c.l ? "ไม่ดี คนเก่งหลงตอบมากกว่า"
                                 : c.h == c.l ? "ไม่ดี ไม่มีอำนาจจำแนก"
                                              : "ดี คนอ่อนหลงตอบมากกว่า";
        EXPECT_EQ(rows[1].explain.text(), distractor);
    }
}

TEST(Analysis, DegenerateDataIsRefusedBeforeAnythingChanges) {
    struct Case {
        const char* what;
        int percent;
        std::vector<std::string> key;
        std::vector<std::vector<std::string>> sheets;
        const char* message;
    } cases[] = {
        {"one sheet", 25, {"1", "1"}, {Sheet("1", "11")}, kTooFewSheets},
        {"two sheets at 25 %", 25, {"1", "1"}, {Sheet("1", "11"), Sheet("2", "12")}, kTooFewSheets},
        {"one sheet at 27 %", 27, {"1", "1"}, {Sheet("1", "11")}, kTooFewSheets},
        {"no keyed item",
         25,
         {"0", ""},
         {Sheet("1", "11"), Sheet("2", "12"), Sheet("3", "1."), Sheet("4", "22")},
         kNoKeyedItem},
        {"no keyed item at 27 %",
         27,
         {"", "0"},
         {Sheet("1", "11"), Sheet("2", "12")},
         kNoKeyedItem},
        {"no key typed yet",
         25,
         {"\x01", "\x01"},
         {Sheet("1", "11"), Sheet("2", "12"), Sheet("3", "1."), Sheet("4", "22")},
         kNoKeyedItem},
        {"no key typed yet at 27 %",
         27,
         {"\x01", "\x01"},
         {Sheet("1", "11"), Sheet("2", "12")},
         kNoKeyedItem},
    };
    for (auto& c : cases) {
        Exam e(2, 4, c.key, c.sheets);
        Connection db(e.path);
        db.exec("INSERT INTO TOut (ItemNo, Explain) VALUES (9, 'previous')");
        db.exec("UPDATE TStat SET Xbar='previous'");
        try {
            if (c.percent == 25)
                AnalyseSimpleFormula25(e.ctx);
            else
                AnalyseFanTable27(e.ctx, iatest::BinDir());
            ADD_FAILURE() << c.what << ": not refused";
        } catch (const AnalysisError& err) {
            EXPECT_STREQ(err.what(), c.message) << c.what;
        }
        auto rows = e.out();
        ASSERT_EQ(rows.size(), 1u) << c.what;
        EXPECT_EQ(rows[0].explain.text(), "previous");
        EXPECT_EQ(e.stat()["Xbar"].text(), "previous");
        for (long long s : e.scores())
            EXPECT_EQ(s, -999) << c.what;
    }
}

TEST(Analysis, AFailureMidwayKeepsThePreviousResults) {
    Exam e = WorkedExample();
    AnalyseSimpleFormula25(e.ctx);
    auto before = e.out();
    auto statBefore = e.stat();
    {
        Connection db(e.path);
        // Corrupt the scores so that a rolled-back rescoring is visible, and
        // make the writing of results fail halfway.
        db.exec("UPDATE TAData SET Score = 77");
        db.exec("CREATE TRIGGER boom BEFORE INSERT ON TOut WHEN NEW.ItemNo = 6 "
                "BEGIN SELECT RAISE(ABORT, 'injected'); END");
    }
    e.views.CloseAll();
    BindExamFile(e.views, e.path);
    EXPECT_ANY_THROW(AnalyseFanTable27(e.ctx, iatest::BinDir()));
    auto after = e.out();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].p, before[i].p);
        EXPECT_EQ(after[i].explain, before[i].explain);
    }
    EXPECT_EQ(e.stat()["Pav"], statBefore["Pav"]);
    for (long long s : e.scores())
        EXPECT_EQ(s, 77);
}

TEST(Analy27, MissingTableFileStopsBeforeWriting) {
    Exam e = WorkedExample();
    iatest::TempDir empty;
    try {
        AnalyseFanTable27(e.ctx, empty.path().string());
        FAIL();
    } catch (const AnalysisError& err) {
        EXPECT_EQ(std::string(err.what()), "ไม่พบไฟล์ตาราง " + empty.file("rjung.tbl"));
    }
    EXPECT_TRUE(e.out().empty());
}

TEST(Analy27, RowsComeFromTheirTableCells) {
    Exam e = WorkedExample();
    AnalyseFanTable27(e.ctx, iatest::BinDir());
    ChungTables t;
    LoadFanTables(iatest::BinDir(), t);
    EXPECT_EQ(e.state.GroupSize, 13); // 27 % of 48 = 12.96
    for (const auto& r : e.out()) {
        SCOPED_TRACE(std::to_string(r.item) + "/" + std::to_string(r.choice));
        if (r.h == 0 && r.l == 0) {
            EXPECT_EQ(r.p.text(), " .00");
            EXPECT_EQ(r.r.text(), " .00");
            EXPECT_EQ(r.delta.text(), "    .0");
            continue;
        }
        ChungCell c = LocateChungCell(static_cast<int>(Hundredths(r.ph.text())),
                                      static_cast<int>(Hundredths(r.pl.text())), r.isAns == 1);
        EXPECT_EQ(Hundredths(r.p.text()), t.P[c.position]);
        EXPECT_EQ(std::llabs(Hundredths(r.r.text())), t.R[c.position]);
        EXPECT_EQ(r.r.text()[0], c.negative ? '-' : ' ');
        EXPECT_NEAR(Val(r.delta.text()), t.D[c.position] / 10.0, 1e-9);
        EXPECT_EQ(r.zr.isNull(), r.isAns != 1);
    }
}

namespace {

// The engine refuses, when they are prepared, the statements that write one
// column of one table: a write that fails at a chosen step of an analysis,
// whatever else the analysis has already written.
class RefuseWrites {
  public:
    RefuseWrites(Connection& db, int action, const char* table, const char* column)
        : db_(db), action_(action), table_(table), column_(column) {
        sqlite3_set_authorizer(db_.handle(), &RefuseWrites::Authorize, this);
    }
    ~RefuseWrites() { sqlite3_set_authorizer(db_.handle(), nullptr, nullptr); }

  private:
    static int Authorize(void* self, int action, const char* a1, const char* a2, const char*,
                         const char*) {
        auto* me = static_cast<RefuseWrites*>(self);
        if (action != me->action_ || !a1 || !SameName(a1, me->table_)) return SQLITE_OK;
        if (me->column_ && (!a2 || !SameName(a2, me->column_))) return SQLITE_OK;
        return SQLITE_DENY;
    }
    Connection& db_;
    int action_;
    const char* table_;
    const char* column_;
};

} // namespace

// Every step of a technique after the high and low counts are stored may
// still fail; the whole run must then leave the previous results, scores and
// key row exactly as they were.
TEST(Analysis, AFailureAfterTheCountsKeepsEverythingOfThePreviousRun) {
    struct Case {
        const char* step;
        int action;
        const char* table;
        const char* column;
    } cases[] = {
        {"row results", SQLITE_UPDATE, "TOut", "P"},
        {"averages", SQLITE_UPDATE, "TStat", "Pav"},
        {"judgements", SQLITE_UPDATE, "TOut", "Explain"},
    };
    for (int percent : {25, 27}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.step) + " at " + std::to_string(percent) + " %");
            Exam e = WorkedExample();
            AnalyseSimpleFormula25(e.ctx);
            // Change the answers so that a half-stored second run would show in
            // the scores, the counts and the texts.
            {
                Connection db(e.path);
                db.exec("UPDATE TAData SET X1 = CASE X1 WHEN '2' THEN '3' ELSE '2' END");
            }
            const auto rowsBefore = e.out();
            const auto statBefore = e.stat();
            const auto scoresBefore = e.scores();
            e.views.CloseAll();
            BindExamFile(e.views, e.path);
            {
                RefuseWrites refuse(e.views.sheets.Recordset()->connection(), c.action, c.table,
                                    c.column);
                EXPECT_ANY_THROW(percent == 25 ? AnalyseSimpleFormula25(e.ctx)
                                               : AnalyseFanTable27(e.ctx, iatest::BinDir()));
            }
            const auto rowsAfter = e.out();
            ASSERT_EQ(rowsAfter.size(), rowsBefore.size());
            for (size_t i = 0; i < rowsAfter.size(); ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(rowsAfter[i].h, rowsBefore[i].h);
                EXPECT_EQ(rowsAfter[i].l, rowsBefore[i].l);
                EXPECT_EQ(rowsAfter[i].ph, rowsBefore[i].ph);
                EXPECT_EQ(rowsAfter[i].p, rowsBefore[i].p);
                EXPECT_EQ(rowsAfter[i].r, rowsBefore[i].r);
                EXPECT_EQ(rowsAfter[i].explain, rowsBefore[i].explain);
            }
            EXPECT_EQ(e.stat(), statBefore);
            EXPECT_EQ(e.scores(), scoresBefore);
        }
    }
}

// The number of choices is read from the header at every analysis; a header
// changed outside the program must not reach the counting with a width the
// result rows cannot hold.
TEST(Analysis, ANumberOfChoicesOutsideTwoToFiveIsRefused) {
    for (int choices : {0, 1, 6, 200}) {
        SCOPED_TRACE(choices);
        for (int percent : {25, 27}) {
            Exam e(2, 4, {"1", "2"},
                   {Sheet("1", "12"), Sheet("2", "21"), Sheet("3", "11"), Sheet("4", "22")});
            {
                Connection db(e.path);
                db.exec("UPDATE Tinit SET nChoice = " + std::to_string(choices));
                db.exec("INSERT INTO TOut (ItemNo, Explain) VALUES (9, 'previous')");
            }
            ReadHeader(e.views.header, e.header);
            ASSERT_EQ(e.header.nChoice, choices);
            try {
                if (percent == 25)
                    AnalyseSimpleFormula25(e.ctx);
                else
                    AnalyseFanTable27(e.ctx, iatest::BinDir());
                ADD_FAILURE() << "not refused at " << percent << " %";
            } catch (const AnalysisError& err) {
                EXPECT_STREQ(err.what(), "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก");
            }
            auto rows = e.out();
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].explain.text(), "previous");
            for (long long s : e.scores())
                EXPECT_EQ(s, -999);
        }
    }
}

// Literal 27 % values, worked out by hand without the program's lookup code:
// 100 sheets give groups of 27 that the filler items separate cleanly (high
// scores 10-12, middle 6, low 0-2). PH and PL are the groups' shares rounded
// to hundredths; each pair was placed in the table by the published row rule
// (rows PH 99..95 of 95 cells, then PH 94..5 of PH cells; the edge moves for
// PL 1..4) and the bytes at that position read from data/*.tbl with a
// separate Python script:
//   item 1 key 1, choice 1: (63,30) -> cell 2954: p 46, r 34, delta 134
//             choice 2: (19,22) -> 4706: 20, 4, 163 (PL > PH: swapped, "+")
//             choice 3: (11,26) -> 4600: 18, 23, 167
//             choice 4: ( 7,22) -> 4694: 14, 28, 174
//   item 2 no key:  choice 1: (33,11) -> 4390: 21, 31, 162 (high > low: "-")
//                   choices 2, 3: (33,44) -> 3983: 38, 12, 142
//                   choice 4: nobody in either group
//   item 3 key 2, choice 1: (81,26) -> 1645: 54, 55, 126 ("-")
//                 choice 2: (19,74) -> swapped (74,19) -> 2184: 46, 55, 134 ("-")
//   fillers key 1: (99,1) -> cell 1: 50, 93, 130; Zr = atanh(.93) = 1.66
// Zr: atanh(.34) = .354 -> .35, atanh(-.55) = -.618 -> -.62; averages over the
// 12 keyed items: p (.46*2 + .50*10)/12 = .493, delta (13.4*2 + 13*10)/12 =
// 13.07, Zr (.35 - .62 + 16.6)/12 = 1.3608, Rav = tanh(1.36) = .877.
TEST(Analy27, LiteralValuesWorkedFromTheTableBytes) {
    // Answers of items 1-3 in the high and the low group, choice by choice.
    const std::vector<int> high1{17, 5, 3, 2}, low1{8, 6, 7, 6};
    const std::vector<int> high2{9, 9, 9, 0}, low2{3, 12, 12, 0};
    const std::vector<int> high3{22, 5, 0, 0}, low3{7, 20, 0, 0};
    auto spread = [](const std::vector<int>& counts) {
        std::string s;
        for (size_t j = 0; j < counts.size(); ++j)
            s += std::string(static_cast<size_t>(counts[j]), static_cast<char>('1' + j));
        return s;
    };
    const std::string h1 = spread(high1), l1 = spread(low1), h2 = spread(high2), l2 = spread(low2),
                      h3 = spread(high3), l3 = spread(low3);
    std::vector<std::vector<std::string>> sheets;
    int code = 1;
    for (int s = 0; s < 27; ++s)
        sheets.push_back(
            Sheet(std::to_string(code++), std::string{h1[s], h2[s], h3[s]} + std::string(10, '1')));
    for (int s = 0; s < 46; ++s)
        sheets.push_back(
            Sheet(std::to_string(code++), "141" + std::string(5, '1') + std::string(5, '2')));
    for (int s = 0; s < 27; ++s)
        sheets.push_back(
            Sheet(std::to_string(code++), std::string{l1[s], l2[s], l3[s]} + std::string(10, '2')));
    std::vector<std::string> key{"1", "", "2"};
    key.resize(13, "1");
    Exam e(13, 4, key, sheets);
    AnalyseFanTable27(e.ctx, iatest::BinDir());
    EXPECT_EQ(e.state.GroupSize, 27);

    struct Expect {
        int item, choice;
        const char *p, *r, *delta, *zr; // zr nullptr: not a keyed row
    } want[] = {
        {1, 1, " .46", " .34", "13.4", " .35"},    {1, 2, " .20", " .04", "16.3", nullptr},
        {1, 3, " .18", " .23", "16.7", nullptr},   {1, 4, " .14", " .28", "17.4", nullptr},
        {2, 1, " .21", "-.31", "16.2", nullptr},   {2, 2, " .38", " .12", "14.2", nullptr},
        {2, 3, " .38", " .12", "14.2", nullptr},   {2, 4, " .00", " .00", "    .0", nullptr},
        {3, 1, " .54", "-.55", "12.6", nullptr},   {3, 2, " .46", "-.55", "13.4", "-.62"},
        {3, 3, " .00", " .00", "    .0", nullptr}, {4, 1, " .50", " .93", "13.0", "1.66"},
    };
    const auto rows = e.out();
    for (const auto& w : want) {
        SCOPED_TRACE(std::to_string(w.item) + "/" + std::to_string(w.choice));
        const auto it = std::find_if(rows.begin(), rows.end(), [&](const Row& r) {
            return r.item == w.item && r.choice == w.choice;
        });
        ASSERT_NE(it, rows.end());
        EXPECT_EQ(it->p.text(), w.p);
        EXPECT_EQ(it->r.text(), w.r);
        EXPECT_EQ(it->delta.text(), w.delta);
        if (w.zr)
            EXPECT_EQ(it->zr.text(), w.zr);
        else
            EXPECT_TRUE(it->zr.isNull());
    }
    auto s = e.stat();
    EXPECT_EQ(s["Pav"].text(), " .49");
    EXPECT_EQ(s["Dav"].text(), "13.1");
    EXPECT_EQ(s["Zrav"].text(), "1.36");
    EXPECT_EQ(s["Rav"].text(), " .88");
}
