// SPDX-License-Identifier: GPL-3.0-or-later
// Bad input at the engine level: header texts and numbers the teacher may
// type, texts longer than their fields, quotes that must never reach SQL as
// code, school names outside code page 874, names that look like patterns,
// a file the engine may only read and a file shared with a second program.

#include "TestSupport.h"
#include "examfile/Cp874.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/NewFileRules.h"
#include "examfile/SchoolName.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

using namespace ia;
namespace fs = std::filesystem;

namespace {

const char* const kReadOnly = "ไฟล์เป็นแบบอ่านอย่างเดียว บันทึกไม่ได้";

std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

HeaderTexts Fields(const std::string& items, const std::string& choices,
                   const std::string& year = "2546") {
    return {"t", "ท101", "ภาษาไทย", "1", year, items, choices, "ครูสมชาย"};
}

std::string IntegrityCheck(const std::string& path) {
    Connection db(path, Connection::Mode::ReadOnly);
    auto st = db.prepare("PRAGMA integrity_check");
    return st.step() ? st.column(0).text() : "";
}

struct ExamFileTest : ::testing::Test {
    iatest::TempDir dir;
    std::string path = dir.file("e.ans");
    void SetUp() override {
        iatest::MakeExamFile(path, iatest::MakeHeader(3, 4), {"1", "2", "3"},
                             {{"101", "1", "2", "3"}, {"102", "4", "\x01", "1"}});
    }
};

} // namespace

TEST(BadHeaderInput, NumbersAreReadByTheOneRuleAndRefusedInThai) {
    struct Case {
        const char* what;
        HeaderTexts fields;
        const char* message; // null: accepted
        int nItem, nChoice, year;
    } cases[] = {
        {"huge items", Fields("99999999999", "4"), kItemsOutOfRange, 0, 0, 0},
        {"huge choices", Fields("40", "99999999999"), kChoicesOutOfRange, 0, 0, 0},
        {"huge year", Fields("40", "4", "99999999999"), kYearInvalid, 0, 0, 0},
        {"items beyond a double", Fields("1e400", "4"), kItemsOutOfRange, 0, 0, 0},
        {"negative items", Fields("-5", "4"), kItemsOutOfRange, 0, 0, 0},
        {"negative choices", Fields("40", "-3"), kChoicesOutOfRange, 0, 0, 0},
        {"Thai letters are no number", Fields("สี่สิบ", "4"), kItemsChoicesNotNumbers, 0, 0, 0},
        {"year of letters", Fields("40", "4", "ปีนี้"), kYearInvalid, 0, 0, 0},
        {"hexadecimal", Fields("0x10", "4"), kItemsChoicesNotNumbers, 0, 0, 0},
        {"blanks only", Fields("   ", "4"), kItemsChoicesNotNumbers, 0, 0, 0},
        {"no choices", Fields("40", ""), kNeedItemsChoices, 0, 0, 0},
        {"plus sign", Fields("+40", "+3"), nullptr, 40, 3, 2546},
        {"blanks around", Fields(" 40 ", "\t4 ", " 2546 "), nullptr, 40, 4, 2546},
        {"halves to even", Fields("250.5", "4.5", "2545.5"), nullptr, 250, 4, 2546},
        {"negative year", Fields("40", "4", "-5"), nullptr, 40, 4, -5},
        {"empty year", Fields("40", "4", ""), nullptr, 40, 4, 0},
        // Thai digits read as the same ASCII digits.
        {"Thai digits", Fields("๔๐", "๔"), nullptr, 40, 4, 2546},
        {"Thai digit year", Fields("40", "4", "๒๕๔๖"), nullptr, 40, 4, 2546},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NewHeaderCheck r = CheckNewHeader(c.fields);
        if (c.message) {
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.message, c.message);
            continue;
        }
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.header.nItem, c.nItem);
        EXPECT_EQ(r.header.nChoice, c.nChoice);
        EXPECT_EQ(r.header.Yearr, c.year);
    }
}

TEST(BadHeaderInput, TextsLongerThanTheirFieldsAreRefusedBeforeTheFileIsMade) {
    struct Case {
        int field;
        std::string text;
        const char* message; // null: fits
    } cases[] = {
        {1, Repeat("a", 21), "รหัสวิชายาวเกิน 20 ตัวอักษร"},
        {1, Repeat("ก", 20), nullptr}, // sixty bytes, twenty characters
        {1, Repeat("😀", 20), nullptr},
        {1, Repeat("😀", 21), "รหัสวิชายาวเกิน 20 ตัวอักษร"},
        {2, Repeat("วิ", 50), nullptr}, // a letter and its vowel mark count as two
        {2, Repeat("ข", 101), "ชื่อวิชายาวเกิน 100 ตัวอักษร"},
        {3, Repeat("1", 11), "เทอมยาวเกิน 10 ตัวอักษร"},
        {7, Repeat("ครู", 17), "ชื่ออาจารย์ผู้สอนยาวเกิน 50 ตัวอักษร"},
        {7, Repeat("ค", 50), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.field) + " " + c.text);
        HeaderTexts f = Fields("40", "4");
        f[c.field] = c.text;
        NewHeaderCheck r = CheckNewHeader(f);
        EXPECT_EQ(r.ok, c.message == nullptr);
        EXPECT_EQ(HeaderTextTooLong(c.field, c.text), c.message ? c.message : "");
        if (c.message) {
            EXPECT_EQ(r.message, c.message);
            EXPECT_EQ(r.focus, c.field);
        }

        // The engine agrees: what the check lets through is stored whole,
        // what it refuses would leave no file behind.
        iatest::TempDir dir;
        const std::string path = dir.file("t.ans");
        TestHeader h = iatest::MakeHeader(40, 4);
        (c.field == 1   ? h.SubCode
         : c.field == 2 ? h.SubName
         : c.field == 3 ? h.Term
                        : h.TeacherName) = c.text;
        EXPECT_EQ(CreateExamFile(path, h), c.message ? 1 : 0);
        EXPECT_EQ(fs::exists(path), c.message == nullptr);
    }
}

TEST_F(ExamFileTest, OverlongTextsAreRefusedInThaiAndTheStoredValueStays) {
    struct Case {
        const char* table;
        const char* field;
        std::string text;
        std::string message;
    } cases[] = {
        {"TAData", "Code", Repeat("1", 21), "ข้อความในช่อง Code ยาวเกิน 20 ตัวอักษร"},
        {"TAData", "X1", "12", "ข้อความในช่อง X1 ยาวเกิน 1 ตัวอักษร"},
        {"TAData", "X2", "๑๒", "ข้อความในช่อง X2 ยาวเกิน 1 ตัวอักษร"},
        {"TKey", "X3", "ab", "ข้อความในช่อง X3 ยาวเกิน 1 ตัวอักษร"},
        {"Tinit", "SubCode", Repeat("ก", 21), "ข้อความในช่อง SubCode ยาวเกิน 20 ตัวอักษร"},
        {"Tinit", "TeacherName", Repeat("x", 51), "ข้อความในช่อง TeacherName ยาวเกิน 50 ตัวอักษร"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.field);
        RecordSet rs(Connection::Shared(path), c.table);
        const Value before = rs.field(c.field);
        rs.edit();
        rs.setField(c.field, c.text);
        try {
            rs.update();
            ADD_FAILURE() << "stored";
        } catch (const DbError& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        rs.cancelUpdate();
        rs.requery();
        EXPECT_EQ(rs.field(c.field), before);
    }
    EXPECT_EQ(IntegrityCheck(path), "ok");
}

TEST_F(ExamFileTest, QuotesAndSqlInValuesAreStoredAsTyped) {
    const std::string codes[] = {
        "1';DROP TABLE TAData", "x\" OR 1=1 --", "'); DELETE FROM TKey", "?1 ?2 :a @b $c", "%_*[]",
    };
    auto db = Connection::Shared(path);
    {
        RecordSet rs(db, "TAData");
        for (const auto& code : codes) {
            rs.addNew();
            rs.setField("Code", code);
            rs.update();
        }
        RecordSet init(db, "Tinit");
        init.edit();
        init.setField("SubName", "1'); DROP TABLE TAData; --");
        init.update();
    }
    RecordSet rs(db, "TAData");
    ASSERT_EQ(rs.recordCount(), 2 + static_cast<int>(std::size(codes)));
    for (size_t i = 0; i < std::size(codes); ++i)
        EXPECT_EQ(rs.rowAt(static_cast<int>(i) + 2)[0].text(), codes[i]);
    EXPECT_EQ(RecordSet(db, "Tinit").field("SubName").text(), "1'); DROP TABLE TAData; --");
    EXPECT_EQ(RecordSet(db, "TKey").recordCount(), 1);
    EXPECT_TRUE(ExamStructureOk(path));

    // The same through a new file's header.
    TestHeader h = iatest::MakeHeader(2, 4);
    h.SubCode = "x'||'y";
    h.TeacherName = "'); DROP TABLE Tinit; --";
    const std::string other = dir.file("o.ans");
    ASSERT_EQ(CreateExamFile(other, h), 0);
    Connection o(other, Connection::Mode::ReadOnly);
    auto st = o.prepare("SELECT SubCode, TeacherName FROM Tinit");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.column(0).text(), h.SubCode);
    EXPECT_EQ(st.column(1).text(), h.TeacherName);
}

TEST(BadSchoolName, WrittenInCodePage874ReadBackAsTheFirstListItem) {
    struct Case {
        const char* what;
        std::string typed;
        std::string bytesAfterThai; // file bytes after the cp874 of "โรงเรียน", CR LF excluded
        std::string readBack;
    } cases[] = {
        {"plain", "โรงเรียน", "", "โรงเรียน"},
        {"comma cuts", "โรงเรียน, สาขา 2", ", \xca\xd2\xa2\xd2 2", "โรงเรียน"},
        {"emoji", "โรงเรียน😀", "?", "โรงเรียน?"},
        {"emoji sequence", "โรงเรียน👩‍🏫", "???", "โรงเรียน???"},
        {"bad UTF-8 byte", "โรงเรียน\xff", "?", "โรงเรียน?"},
        {"euro sign has a code", "โรงเรียน€", "\x80", "โรงเรียน€"},
        {"quoted keeps its comma", "\"โรงเรียน, บ้านนา\"", "", "โรงเรียน, บ้านนา"},
        {"open quote to the end", "\"โรงเรียน, นา", "", "โรงเรียน, นา"},
        {"quote inside", "โรงเรียน\"ดี\"", "\"\xb4\xd5\"", "โรงเรียน\"ดี\""},
        {"leading blanks", "   โรงเรียน", "", "โรงเรียน"},
    };
    const std::string thai = ToCp874("โรงเรียน");
    ASSERT_EQ(thai.size(), 8u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        iatest::TempDir dir;
        const std::string path = dir.file(kSchoolNameFile);
        ASSERT_EQ(WriteSchoolNameFile(path, c.typed), SchoolNameWrite::Written);
        const std::string bytes = iatest::FileBytes(path);
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        if (c.typed.rfind("โรงเรียน", 0) == 0) {
            EXPECT_EQ(bytes.substr(0, bytes.size() - 2), thai + c.bytesAfterThai);
        }
        EXPECT_EQ(ReadSchoolNameFile(path), c.readBack);
    }
}

TEST(BadFileNames, NamesAreUsedLiterallyNeverAsPatterns) {
    iatest::TempDir dir;
    // Files that the names below would match as patterns.
    iatest::MakeExamFile(dir.file("ab.ans"), iatest::MakeHeader(2, 4), {}, {{"keep"}});
    std::ofstream(dir.file("a1.ans")) << "not an exam file";
    const std::string keepAb = iatest::FileBytes(dir.file("ab.ans"));
    for (const char* name :
         {"a*.ans", "a?.ans", "[a]b.ans", "a b .ans", "ข้อสอบ ม.1 [ห้อง*2]?.ans"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        EXPECT_EQ(IsExamFile(path), 0); // not there yet, whatever it matches
        ASSERT_EQ(CreateExamFile(path, iatest::MakeHeader(2, 4)), 0);
        EXPECT_EQ(IsExamFile(path), 1);
        EXPECT_TRUE(ExamStructureOk(path));
        EXPECT_EQ(CreateExamFile(path, iatest::MakeHeader(2, 4)), 1); // exists now
    }
    EXPECT_EQ(iatest::FileBytes(dir.file("ab.ans")), keepAb);
    EXPECT_EQ(iatest::FileBytes(dir.file("a1.ans")), "not an exam file");
}

TEST_F(ExamFileTest, AReadOnlyFileIsReadAndEveryWriteIsRefusedInThai) {
    const std::string before = iatest::FileBytes(path);
    auto ro = Connection::ShareReadOnlyForTests(path);
    auto db = Connection::Shared(path);
    ASSERT_EQ(db, ro);
    RecordSet rs(db, "TAData");
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.field("Code").text(), "101");

    struct Write {
        const char* what;
        std::function<void()> run;
    } writes[] = {
        {"edit",
         [&] {
             rs.moveFirst();
             rs.edit();
             rs.setField("X1", "2");
             rs.update();
         }},
        {"add",
         [&] {
             rs.addNew();
             rs.setField("Code", "103");
             rs.update();
         }},
        {"delete",
         [&] {
             rs.moveFirst();
             rs.deleteCurrent();
         }},
        {"in a transaction",
         [&] {
             Transaction tx(*db);
             rs.moveFirst();
             rs.edit();
             rs.setField("Code", "999");
             rs.update();
             tx.commit();
         }},
        {"statement", [&] { db->exec("DELETE FROM TOut"); }},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(w.what);
        try {
            w.run();
            ADD_FAILURE() << "written";
        } catch (const DbError& e) {
            EXPECT_EQ(e.what(), std::string(kReadOnly));
        }
        if (rs.editing()) rs.cancelUpdate();
        rs.requery();
        EXPECT_EQ(rs.recordCount(), 2);
        EXPECT_FALSE(db->inTransaction());
    }
    EXPECT_EQ(iatest::FileBytes(path), before);
}

TEST_F(ExamFileTest, TwoProgramsOnOneFileSeeEachOthersSheetsAfterAReRead) {
    auto first = Connection::Shared(path);
    auto second = std::make_shared<Connection>(path); // as another program opens it
    RecordSet a(first, "TAData");
    RecordSet b(second, "TAData");

    a.addNew();
    a.setField("Code", "from the first");
    a.update();
    EXPECT_EQ(b.recordCount(), 2); // until it reads again
    b.requery();
    ASSERT_EQ(b.recordCount(), 3);
    EXPECT_EQ(b.rowAt(2)[0].text(), "from the first");

    {
        Transaction tx(*second);
        b.addNew();
        b.setField("Code", "from the second");
        b.setField("X1", "4");
        b.update();
        b.moveFirst();
        b.edit();
        b.setField("X2", "1");
        b.update();
        tx.commit();
    }
    // The first still holds its record set: it kept no statement open.
    a.moveFirst();
    a.edit();
    a.setField("X3", "2");
    a.update();
    a.requery();
    ASSERT_EQ(a.recordCount(), 4);
    EXPECT_EQ(a.rowAt(3)[0].text(), "from the second");
    EXPECT_EQ(a.rowAt(0)[2].text(), "1");
    EXPECT_EQ(a.rowAt(0)[3].text(), "2");
    EXPECT_EQ(IntegrityCheck(path), "ok");
}
