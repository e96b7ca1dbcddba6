// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "examfile/DataView.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/Val.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace ia;

namespace {

struct Fixture : ::testing::Test {
    iatest::TempDir dir;
    std::string path = dir.file("e.ans");
    void SetUp() override { ASSERT_EQ(CreateExamFile(path, iatest::MakeHeader(3, 4)), 0); }
};

} // namespace

TEST(Val, LeadingNumberRule) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"", 0},          {"abc", 0},    {"  42", 42}, {"-3.5x", -3.5}, {"+7", 7},
        {"2545ab", 2545}, {"1e3", 1000}, {"1e", 1},    {".5", 0.5},     {"  .29", 0.29},
        {"- 3", 0},       {"3.", 3},     {"\t12", 12}, {"๓", 0},        {"1,5", 1},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(Val(c.text), c.value) << c.text;
}

TEST(Val, WholeTextNumericTest) {
    EXPECT_TRUE(IsNumeric(" 2.5 "));
    EXPECT_TRUE(IsNumeric("-3"));
    EXPECT_FALSE(IsNumeric("abc"));
    EXPECT_FALSE(IsNumeric("2a"));
    EXPECT_FALSE(IsNumeric(""));
    EXPECT_FALSE(IsNumeric("   "));
}

TEST(Val, HalvesGoToEvenAndHundredthsRound) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(Hundredths(" .29"), 29);
    EXPECT_EQ(Hundredths("-.57"), -57);
    EXPECT_EQ(Hundredths(""), 0);
}

TEST_F(Fixture, NullStaysDistinctFromEmptyText) {
    auto db = Connection::Shared(path);
    RecordSet rs(db, "TAData");
    rs.addNew();
    rs.setField("Code", Value(""));
    rs.update();
    rs.requery();
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_TRUE(rs.field(0).isText());
    EXPECT_EQ(rs.field(0).text(), "");
    EXPECT_TRUE(rs.field(1).isNull());
}

TEST_F(Fixture, FieldNamesIgnoreCaseAndPositionsStartAtCode) {
    auto db = Connection::Shared(path);
    RecordSet rs(db, "select * from tkey");
    EXPECT_EQ(rs.table(), "TKey");
    EXPECT_EQ(rs.fieldIndex("fkey"), 0);
    EXPECT_EQ(rs.fieldIndex("x2"), 2);
    EXPECT_EQ(rs.fieldIndex("TOT"), 4);
    EXPECT_EQ(rs.fieldIndex("nosuch"), -1);
    EXPECT_EQ(rs.field("FKEY").text(), "KEY");
}

TEST_F(Fixture, BookmarksFollowAddAndEdit) {
    auto db = Connection::Shared(path);
    RecordSet rs(db, "TAData");
    EXPECT_EQ(rs.absolutePosition(), -1); // empty set
    EXPECT_FALSE(rs.lastModified());
    for (const char* code : {"a", "b", "c"}) {
        rs.addNew();
        EXPECT_EQ(rs.absolutePosition(), -1); // new-record row
        rs.setField(0, Value(code));
        rs.update();
    }
    long long added = *rs.lastModified();
    rs.setBookmark(added);
    EXPECT_EQ(rs.field(0).text(), "c");
    EXPECT_EQ(rs.absolutePosition(), 2);
    rs.moveFirst();
    rs.edit();
    rs.setField("X1", Value("2"));
    rs.update();
    rs.moveLast();
    rs.setBookmark(*rs.lastModified());
    EXPECT_EQ(rs.field(0).text(), "a");
    EXPECT_EQ(rs.field(1).text(), "2");
}

TEST_F(Fixture, DeleteThenMoveNextReachesTheFollowingRecord) {
    auto db = Connection::Shared(path);
    RecordSet rs(db, "TAData");
    for (const char* code : {"a", "b", "c"}) {
        rs.addNew();
        rs.setField(0, Value(code));
        rs.update();
    }
    rs.moveFirst();
    rs.moveNext();
    rs.deleteCurrent();
    EXPECT_EQ(rs.absolutePosition(), -1);
    rs.moveNext();
    EXPECT_EQ(rs.field(0).text(), "c");
    rs.deleteCurrent();
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.recordCount(), 1);
}

TEST_F(Fixture, ValOrderingKeepsTiesInInsertionOrder) {
    auto db = Connection::Shared(path);
    {
        RecordSet rs(db, "TAData");
        for (const char* code : {"10", "2", "1", "a7", ""}) {
            rs.addNew();
            rs.setField(0, Value(code));
            rs.update();
        }
    }
    RecordSet sorted(db, "select * from TAData order by val(Code)");
    std::vector<std::string> got;
    for (sorted.moveFirst(); !sorted.eof(); sorted.moveNext())
        got.push_back(sorted.field(0).text());
    EXPECT_EQ(got, (std::vector<std::string>{"a7", "", "1", "2", "10"}));
}

TEST_F(Fixture, SchemaRefusesOutOfRangeValues) {
    struct Case {
        const char* table;
        const char* field;
        Value value;
    } cases[] = {
        {"TAData", "Code", Value(std::string(21, '1'))},
        {"TAData", "Code", Value("ก" + std::string(20, 'x'))},
        {"TAData", "X1", Value("12")},
        {"TAData", "Score", Value(40000)},
        {"TAData", "Score", Value("abc")},
        {"Tinit", "nChoice", Value(256)},
        {"Tinit", "nChoice", Value(-1)},
        {"Tinit", "Yearr", Value(3000000000LL)},
        {"TVTQ", "VTQ", Value("")},
    };
    auto db = Connection::Shared(path);
    for (const auto& c : cases) {
        RecordSet rs(db, c.table);
        rs.addNew();
        rs.setField(c.field, c.value);
        EXPECT_THROW(rs.update(), DbError) << c.table << "." << c.field;
        rs.cancelUpdate();
    }
    // The limits themselves are stored; a Thai character counts once.
    RecordSet rs(db, "TAData");
    rs.addNew();
    rs.setField("Code", Value(std::string("ก") + std::string(19, 'x')));
    rs.setField("X1", Value("ก"));
    rs.setField("Score", Value(-32768));
    EXPECT_NO_THROW(rs.update());
}

TEST_F(Fixture, RefusalTextNamesTheField) {
    auto db = Connection::Shared(path);
    RecordSet rs(db, "TAData");
    rs.addNew();
    rs.setField("Code", Value(std::string(21, 'x')));
    try {
        rs.update();
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(std::string(e.what()), "ข้อความในช่อง Code ยาวเกิน 20 ตัวอักษร");
    }
}

TEST_F(Fixture, ViewsShareOneConnectionAndRollBackTogether) {
    ExamViews v;
    BindExamFile(v, path);
    EXPECT_EQ(&v.sheets.Recordset()->connection(), &v.results.Recordset()->connection());
    Connection& db = v.sheets.Recordset()->connection();
    {
        Transaction tx(db);
        RecordSet& out = *v.results.Recordset();
        out.addNew();
        out.setField("ItemNo", Value(1));
        out.update();
        RecordSet& sheets = *v.sheets.Recordset();
        sheets.addNew();
        sheets.setField("Code", Value("1"));
        sheets.update();
        // no commit
    }
    v.sheets.Refresh();
    v.results.Refresh();
    EXPECT_EQ(v.sheets.Recordset()->recordCount(), 0);
    EXPECT_EQ(v.results.Recordset()->recordCount(), 0);
}

TEST_F(Fixture, NoStatementStaysOpenBetweenCalls) {
    // A record set that is being read must not block a second program.
    ExamViews v;
    BindExamFile(v, path);
    v.sheets.Recordset()->moveFirst();
    Connection other(path);
    EXPECT_NO_THROW(other.exec("INSERT INTO TAData (Code) VALUES ('x')"));
}

namespace {
bool HasThai(const std::string& s) {
    return s.find("\xe0\xb8") != std::string::npos || s.find("\xe0\xb9") != std::string::npos;
}
} // namespace

TEST(ErrorText, EveryEngineCodeReachesTheTeacherInThai) {
    // Every primary result code the engine defines, with the English text it
    // would carry.
    for (int code = 1; code <= 28; ++code) {
        const std::string text = Connection::ErrorText(code, "some english detail");
        EXPECT_TRUE(HasThai(text)) << code << ": " << text;
        // The English may follow in parentheses, never lead.
        EXPECT_NE(text.rfind("some english", 0), 0u) << code;
    }
    struct Case {
        int code;
        std::string engine, thaiStart;
    } cases[] = {
        {SQLITE_ERROR, "cannot modify TAData because it is a view", "โครงสร้างไฟล์ไม่ถูกต้อง ("},
        {SQLITE_CONSTRAINT_UNIQUE, "UNIQUE constraint failed: TOut.ItemNo",
         "ข้อมูลซ้ำกับที่มีอยู่แล้วในไฟล์ ("},
        {SQLITE_CONSTRAINT_TRIGGER, "a trigger's own words", "ไฟล์มีคำสั่งแฝงที่ปฏิเสธการบันทึก ("},
        {SQLITE_CANTOPEN, "unable to open database file", "เปิดไฟล์ไม่ได้"},
        {SQLITE_CONSTRAINT_CHECK, "CHECK constraint failed: ck_Code_text20",
         "ข้อความในช่อง Code ยาวเกิน 20 ตัวอักษร"},
        // Texts that were Thai already pass unchanged.
        {SQLITE_ERROR, "ไม่พบตาราง TX", "ไม่พบตาราง TX"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Connection::ErrorText(c.code, c.engine).rfind(c.thaiStart, 0), 0u)
            << c.engine << " -> " << Connection::ErrorText(c.code, c.engine);
}

TEST(Connection, AFileThatCannotBeOpenedIsExplainedInThai) {
    iatest::TempDir dir;
    struct Case {
        std::string path, reason;
    } cases[] = {
        {dir.file(std::string(300, 'x') + ".ans"), "ชื่อไฟล์ยาวเกินกว่าที่ระบบไฟล์รองรับ"},
        {dir.file("none/x.ans"), "ไม่พบไฟล์หรือโฟลเดอร์"},
    };
    for (const auto& c : cases) {
        try {
            Connection db(c.path);
            ADD_FAILURE() << c.path;
        } catch (const DbError& e) {
            EXPECT_EQ(std::string(e.what()), "เปิดไฟล์ไม่ได้ : " + c.path + " (" + c.reason + ")");
        }
    }
}
