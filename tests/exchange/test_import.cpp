// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExchangeFixtures.h"
#include "TestSupport.h"
#include "examfile/Cp874.h"
#include "examfile/Engine.h"
#include "exchange/AnswerText.h"
#include "exchange/SheetImport.h"
#include "exchange/XlsxReader.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <xlsxwriter.h>
#include <zip.h>

namespace {

using iatest::Rows;

TEST(AnswerCell, ReadsEveryLabelAndRefusesTheRest) {
    struct Case {
        const char* cell;
        int nChoice;
        const char* answer; // nullptr: refused
        const char* reason; // part of the refusal
    } cases[] = {
        {"1", 4, "1", ""},
        {"0", 4, "0", ""},
        {"๓", 4, "3", ""},
        {"ค", 4, "3", ""},
        {"จ", 5, "5", ""},
        {"c", 4, "3", ""},
        {"E", 5, "5", ""},
        {"  ข  ", 4, "2", ""},
        {"ข. 25 องศา", 4, "2", ""},
        {"C) 12", 4, "3", ""},
        {"ง: สี่", 4, "4", ""},
        {"4 เท่า", 4, "4", ""},
        {"*", 4, "*", ""},
        {"", 4, "", ""},
        {"   ", 4, "", ""},
        {"5", 4, nullptr, "เกินจำนวนตัวเลือก"},
        {"จ", 4, nullptr, "เกินจำนวนตัวเลือก"},
        {"E) ห้า", 4, nullptr, "เกินจำนวนตัวเลือก"},
        // Several labels: a multiple mark; a digit inside an option's
        // text is no second answer.
        {"A, C", 4, "*", ""},
        {"ก ค", 4, "*", ""},
        {"ก,ค", 4, "*", ""},
        {"C: 9", 4, "3", ""},
        {"a. 6", 4, "1", ""},
        {"ก. 0", 4, "1", ""},
        {"สีแดง", 4, nullptr, "ไม่มีตัวเลือกนำหน้า"},
        {"AB", 4, nullptr, "ไม่มีตัวเลือกนำหน้า"},
        {"12", 4, nullptr, "ไม่มีตัวเลือกนำหน้า"},
        {"F", 5, nullptr, "ไม่มีตัวเลือกนำหน้า"},
    };
    for (const Case& c : cases) {
        std::string answer, error;
        const bool ok = ia::ReadAnswerCell(c.cell, c.nChoice, answer, error);
        if (c.answer) {
            EXPECT_TRUE(ok) << c.cell << ": " << error;
            EXPECT_EQ(answer, c.answer) << c.cell;
        } else {
            EXPECT_FALSE(ok) << c.cell;
            EXPECT_NE(error.find(c.reason), std::string::npos) << c.cell << ": " << error;
        }
    }
}

// An exam file of 4 items with 4 choices and one sheet already in it.
struct ExamFixture : ::testing::Test {
    iatest::TempDir dir;
    std::string exam = dir.file("ข้อสอบ.ans");
    void SetUp() override {
        iatest::MakeExamFile(exam, iatest::MakeHeader(4, 4), {"", "", "", ""},
                             {{"เดิม01", "1", "1", "1", "1"}});
    }
    ia::ImportPlan Read(const std::string& name, const std::string& bytes,
                        const ia::ImportOptions& o = {}) {
        iatest::WriteBytes(dir.file(name), bytes);
        return ia::ReadImportSource(dir.file(name), 4, 4, o);
    }
    void Apply(const ia::ImportPlan& plan, ia::ImportMode mode) {
        ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
        ia::Connection db(exam);
        ia::ApplyImport(db, plan, mode, 4);
    }
};

const char* const kThaiCsv = "รหัส,ข้อ 1,ข้อ 2,ข้อ 3,ข้อ 4\n"
                             "เฉลย,ก,ข,ค,ง\n"
                             "สมชาย,1,2,3,4\n"
                             "\"สมหญิง, ใจดี\",A,b,\"ค. สาม\",\n";

const Rows kThaiRows = {{"KEY", "1", "2", "3", "4"},
                        {"เดิม01", "1", "1", "1", "1"},
                        {"สมชาย", "1", "2", "3", "4"},
                        {"สมหญิง, ใจดี", "1", "2", "3", ""}};

TEST_F(ExamFixture, DelimitedTextInEveryEncodingAndDelimiter) {
    const std::string csv = kThaiCsv;
    auto with = [&](char d) {
        std::string s;
        bool quoted = false;
        for (char c : csv) {
            if (c == '"') quoted = !quoted;
            s += c == ',' && !quoted ? d : c;
        }
        return s;
    };
    // The same rows without the header line: nothing then tells the first
    // cell from a code but the byte-order mark being gone.
    const std::string headless = csv.substr(csv.find('\n') + 1);
    struct Case {
        const char* name;
        std::string bytes;
        bool header = true;
    } cases[] = {
        {"utf8.csv", csv},
        {"no-final-newline.csv", csv.substr(0, csv.size() - 1)},
        {"bom.csv", "\xEF\xBB\xBF" + csv},
        {"bom-headless.csv", "\xEF\xBB\xBF" + headless, false},
        {"utf16-headless.txt", iatest::Utf16WithBom(headless), false},
        {"crlf.csv",
         [&] {
             std::string s;
             for (char c : csv)
                 s += c == '\n' ? std::string("\r\n") : std::string(1, c);
             return s;
         }()},
        {"semi.csv", with(';')},
        {"tab.tsv", with('\t')},
        {"utf16.txt", iatest::Utf16WithBom(csv)},
        {"windows.csv", ia::ToCp874(csv)},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(exam); // a fresh file each time
        iatest::MakeExamFile(exam, iatest::MakeHeader(4, 4), {"", "", "", ""},
                             {{"เดิม01", "1", "1", "1", "1"}});
        ia::ImportPlan plan = Read(c.name, c.bytes);
        ASSERT_TRUE(plan.ok()) << c.name << ": " << ia::ErrorSummary(plan.errors);
        EXPECT_EQ(plan.hasHeader, c.header) << c.name;
        Apply(plan, ia::ImportMode::Append);
        EXPECT_EQ(iatest::ExamRows(exam, 4), kThaiRows) << c.name;
    }
}

TEST_F(ExamFixture, AnEncodingGivenOverridesTheGuess) {
    // Code page 874 bytes that happen to be valid UTF-8 are read as UTF-8
    // unless the teacher says otherwise.
    const std::string bytes = ia::ToCp874("ก,1,2,3,4\n");
    ia::ImportOptions o;
    o.encoding = ia::TextEncoding::Cp874;
    ia::ImportPlan plan = Read("x.csv", bytes, o);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(plan.sheets.at(0).code, "ก");
    o.encoding = ia::TextEncoding::Utf8;
    plan = Read("x.csv", bytes, o);
    EXPECT_EQ(plan.errors, std::vector<std::string>{"แถว 1 คอลัมน์ 1: ไฟล์ไม่ใช่ข้อความ UTF-8"});
}

TEST_F(ExamFixture, HeaderAndCodeColumnChoices) {
    // No header: the first row is a sheet.
    ia::ImportPlan plan = Read("a.csv", "01,1,2,3,4\n02,4,3,2,1\n");
    EXPECT_FALSE(plan.hasHeader);
    EXPECT_EQ(plan.sheets.size(), 2u);
    // Told there is one.
    ia::ImportOptions o;
    o.header = ia::HeaderMode::Yes;
    plan = Read("a.csv", "01,1,2,3,4\n02,4,3,2,1\n", o);
    ASSERT_EQ(plan.sheets.size(), 1u);
    EXPECT_EQ(plan.sheets[0].row, 2);
    // The code in a named column, the answers after it; columns before it
    // (a running number) are not read.
    o = {};
    o.codeColumn = "ชื่อ";
    plan = Read("b.csv", "ลำดับ,ชื่อ,1,2,3,4\n1,ดวงใจ,ก,ข,ค,ง\n", o);
    ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
    ASSERT_EQ(plan.sheets.size(), 1u);
    EXPECT_EQ(plan.sheets[0].code, "ดวงใจ");
    EXPECT_EQ(plan.sheets[0].answers, (std::vector<std::string>{"1", "2", "3", "4"}));
    o.codeColumn = "2";
    EXPECT_EQ(Read("b.csv", "ลำดับ,ชื่อ,1,2,3,4\n1,ดวงใจ,ก,ข,ค,ง\n", o).sheets.at(0).code, "ดวงใจ");
    o.codeColumn = "อีเมล";
    EXPECT_EQ(Read("b.csv", "ลำดับ,ชื่อ,1,2,3,4\n", o).errors,
              std::vector<std::string>{"ไม่พบคอลัมน์รหัส \"อีเมล\""});
}

TEST_F(ExamFixture, FewerColumnsThanItemsLeaveTheRestEmptyWithAWarning) {
    ia::ImportPlan plan = Read("short.csv", "01,1,2\n02,3\n");
    ASSERT_TRUE(plan.ok());
    ASSERT_EQ(plan.warnings.size(), 1u);
    EXPECT_EQ(plan.warnings[0], "แหล่งข้อมูลมีคำตอบ 2 ข้อ จาก 4 ข้อ ข้อที่เหลือเว้นว่าง");
    EXPECT_EQ(plan.sheets[1].answers, (std::vector<std::string>{"3", "", "", ""}));
}

TEST_F(ExamFixture, WorkbookFirstSheetNamedSheetAndOurOwnExport) {
    const Rows rows = {{"รหัส", "ข้อ 1", "ข้อ 2", "ข้อ 3", "ข้อ 4"},
                       {"เฉลย", "ก", "2", "C", "4"},
                       {"สมชาย", "1", "2", "3", "4"},
                       {"สมหญิง, ใจดี", "A", "b", "ค. สาม"}};
    for (bool inlineStrings : {false, true}) {
        const std::string path = dir.file(inlineStrings ? "inline.xlsx" : "shared.xlsx");
        iatest::WriteWorkbook(path, "แผ่นแรก", rows, inlineStrings, {{"01", "1"}, {"02", "9"}});
        ia::ImportPlan plan = ia::ReadImportSource(path, 4, 4, {});
        ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
        EXPECT_EQ(plan.kind, ia::SourceKind::Xlsx);
        ASSERT_EQ(plan.sheets.size(), 2u);
        EXPECT_EQ(plan.sheets[1].code, "สมหญิง, ใจดี");
        EXPECT_EQ(plan.sheets[1].answers, (std::vector<std::string>{"1", "2", "3", ""}));
        EXPECT_EQ(plan.key.answers, (std::vector<std::string>{"1", "2", "3", "4"}));
        // The second sheet by name: "9" is past the choices, in row 2 column 2.
        ia::ImportOptions o;
        o.sheet = "อื่น";
        plan = ia::ReadImportSource(path, 4, 4, o);
        ASSERT_EQ(plan.errors.size(), 1u);
        EXPECT_EQ(plan.errors[0].rfind("แถว 2 คอลัมน์ B (ข้อ 1): ", 0), 0u) << plan.errors[0];
        o.sheet = "ไม่มี";
        EXPECT_EQ(ia::ReadImportSource(path, 4, 4, o).errors,
                  std::vector<std::string>{"ไม่มีแผ่นงานชื่อ ไม่มี ในสมุดงาน"});
    }
    // A workbook with the sheets of our export is read from "คำตอบ".
    const std::string ours = dir.file("ours.xlsx");
    lxw_workbook* wb = workbook_new(ours.c_str());
    workbook_add_worksheet(wb, "คะแนน");
    lxw_worksheet* answers = workbook_add_worksheet(wb, "คำตอบ");
    worksheet_write_string(answers, 0, 0, "รหัส", nullptr);
    worksheet_write_string(answers, 1, 0, "ดวงดาว", nullptr);
    for (int i = 0; i < 4; ++i)
        worksheet_write_number(answers, 1, i + 1, 4 - i, nullptr);
    // A whole number stored with a decimal part still reads as a digit.
    worksheet_write_number(answers, 1, 1, 4.0, nullptr);
    workbook_close(wb);
    ia::ImportPlan plan = ia::ReadImportSource(ours, 4, 4, {});
    ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
    ASSERT_EQ(plan.sheets.size(), 1u);
    EXPECT_EQ(plan.sheets[0].code, "ดวงดาว");
    EXPECT_EQ(plan.sheets[0].answers, (std::vector<std::string>{"4", "3", "2", "1"}));
}

TEST_F(ExamFixture, WorkbookThatIsNoWorkbook) {
    EXPECT_EQ(Read("broken.xlsx", "PK\x03\x04 not really").errors,
              std::vector<std::string>{"ไฟล์ไม่ใช่สมุดงาน .xlsx ที่อ่านได้"});
}

const char* const kQuiz =
    "ประทับเวลา,คะแนน,ชื่อ-สกุล,อีเมล,ข้อ 1 เมืองหลวงของไทย,ข้อ 2 น้ำเดือดที่,ข้อ 3 สีของฟ้า\n"
    "2026/12/01 9:00:00,2 / 3,ด.ช. ก้อง,kong@example.org,ข. กรุงเทพ,C) 100 องศา,สีฟ้า\n"
    "2026/12/01 9:01:00,1 / 3,ด.ญ. ฝน,,ก. เชียงใหม่,,สีแดง\n";

TEST_F(ExamFixture, QuizExportWithLabelsAndAnOptionMap) {
    ia::ImportOptions o;
    ia::ImportPlan plan = Read("quiz.csv", kQuiz, o);
    EXPECT_EQ(plan.kind, ia::SourceKind::Quiz);
    ASSERT_EQ(plan.questions.size(), 3u);
    EXPECT_EQ(plan.questions[2].header, "ข้อ 3 สีของฟ้า");
    EXPECT_EQ(plan.questions[2].unlabelled, (std::vector<std::string>{"สีฟ้า", "สีแดง"}));
    // Option texts without a label are refused until they are numbered.
    EXPECT_EQ(plan.errors,
              std::vector<std::string>{"ข้อ 3: ตัวเลือกไม่มีอักษรนำหน้า ต้องระบุลำดับตัวเลือก (--options)"});
    iatest::WriteBytes(dir.file("map.csv"), "คำถาม,ตัวเลือก,ข้อ\n"
                                            "ข้อ 3 สีของฟ้า,สีแดง,1\n"
                                            "ข้อ 3 สีของฟ้า,สีฟ้า,2\n");
    std::string error;
    ASSERT_TRUE(ia::ReadQuizOptionMap(dir.file("map.csv"), o.quizOptions, error)) << error;
    plan = Read("quiz.csv", kQuiz, o);
    ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
    EXPECT_EQ(plan.codeColumn, 3);
    ASSERT_EQ(plan.sheets.size(), 2u);
    EXPECT_EQ(plan.sheets[0].code, "ด.ช. ก้อง");
    EXPECT_EQ(plan.sheets[0].answers, (std::vector<std::string>{"2", "3", "2", ""}));
    EXPECT_EQ(plan.sheets[1].answers, (std::vector<std::string>{"1", "", "1", ""}));
    // Three questions for four items; and the scores fit more than one key.
    EXPECT_EQ(plan.warnings.size(), 2u);
    // The code from the email instead.
    o.codeColumn = "อีเมล";
    plan = Read("quiz.csv", kQuiz, o);
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(plan.sheets[0].code, "kong@example.org");
}

// The numbers an option map may give run from 1 to the file's number of
// choices, both ends included.
TEST_F(ExamFixture, AnOptionMapGivesEveryChoiceOfTheFileAndNoOther) {
    const char* const quiz = "Timestamp,Email,สีของฟ้า\n2026/12/01 9:00:00,a@b.th,สีฟ้า\n";
    struct Case {
        const char* number;
        const char* answer;  // nullptr: refused
        const char* refusal; // after the number
    } cases[] = {
        {"1", "1", ""},
        {"3", "3", ""},
        {"4", "4", ""},
        {"5", nullptr, " เกินจำนวนตัวเลือก (4)"},
        {"0", nullptr, " ตัวเลือกต้องเป็น 1–4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        iatest::WriteBytes(dir.file("map.csv"), std::string("สีของฟ้า,สีฟ้า,") + c.number + "\n");
        ia::ImportOptions o;
        std::string error;
        ASSERT_TRUE(ia::ReadQuizOptionMap(dir.file("map.csv"), o.quizOptions, error)) << error;
        const ia::ImportPlan plan = Read("quiz.csv", quiz, o);
        if (c.answer) {
            ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
            ASSERT_EQ(plan.sheets.size(), 1u);
            EXPECT_EQ(plan.sheets[0].answers, (std::vector<std::string>{c.answer, "", "", ""}));
        } else {
            EXPECT_EQ(plan.errors, std::vector<std::string>{"ข้อ 1: \"สีฟ้า\" เป็นตัวเลือกที่ " +
                                                            std::string(c.number) + c.refusal});
        }
    }
}

TEST_F(ExamFixture, FixedWidthScannerOutput) {
    ia::ImportOptions o;
    o.codeFrom = 1;
    o.codeTo = 6;
    o.answersFrom = 9;
    // KEY line, a blank answer, a double mark, lower-case letters.
    const std::string text = "KEY     1234\n"
                             "ก00001  1 3*\n"
                             "\n"
                             "ก00002  abcd\r\n";
    ia::ImportPlan plan = Read("scan.dat", text, o);
    ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
    EXPECT_EQ(plan.kind, ia::SourceKind::Fixed);
    ASSERT_TRUE(plan.hasKey);
    ASSERT_EQ(plan.sheets.size(), 2u);
    // Positions are characters: the Thai letter takes one of the six.
    EXPECT_EQ(plan.sheets[0].code, "ก00001");
    EXPECT_EQ(plan.sheets[0].answers, (std::vector<std::string>{"1", "", "3", "*"}));
    EXPECT_EQ(plan.sheets[1].row, 4);
    EXPECT_EQ(plan.sheets[1].answers, (std::vector<std::string>{"1", "2", "3", "4"}));
    // A .txt file is fixed-width only when told.
    EXPECT_EQ(Read("scan.txt", text, {}).kind, ia::SourceKind::Delimited);
    o.fixed = true;
    EXPECT_EQ(Read("scan.txt", text, o).kind, ia::SourceKind::Fixed);
}

// Every kind of bad cell names its row and column as a spreadsheet shows
// them (the header is row 1), and nothing is imported.
TEST_F(ExamFixture, EveryErrorNamesItsRowAndColumn) {
    std::string thai21;
    for (int i = 0; i < 21; ++i)
        thai21 += "ก";
    ia::ImportOptions fixed;
    fixed.codeFrom = 1;
    fixed.codeTo = 3;
    fixed.answersFrom = 5;
    struct Case {
        const char* what;
        const char* name;
        std::string source;
        ia::ImportOptions options;
        std::string expected;
    } cases[] = {
        {"past the choices",
         "a.csv",
         "รหัส,1,2,3,4\n01,1,E,2,3\n",
         {},
         "แถว 2 คอลัมน์ C (ข้อ 2): \"E\" เกินจำนวนตัวเลือก (4)"},
        {"no label",
         "a.csv",
         "01,1,1,1,1\n02,1,1,สีแดง,1\n",
         {},
         "แถว 2 คอลัมน์ D (ข้อ 3): \"สีแดง\" ไม่ใช่คำตอบ (ไม่มีตัวเลือกนำหน้า)"},
        {"more columns than items",
         "a.csv",
         "01,1,1,1,1\n02,1,1,1,1,2\n",
         {},
         "แถว 2 คอลัมน์ F: คำตอบเกินจำนวนข้อของไฟล์ (4 ข้อ)"},
        {"code too long",
         "a.csv",
         "01,1,1,1,1\n" + thai21 + ",1,1,1,1\n",
         {},
         "แถว 2 คอลัมน์ A: รหัสยาวเกิน 20 ตัวอักษร"},
        {"two key rows",
         "a.csv",
         "KEY,1,1,1,1\n01,1,1,1,1\nเฉลย,2,2,2,2\n",
         {},
         "แถว 3 คอลัมน์ A: มีแถวเฉลยแล้วที่แถว 1"},
        {"tab-separated",
         "a.tsv",
         "รหัส\t1\t2\t3\t4\n01\t1\t1\tฉ\t1\n",
         {},
         "แถว 2 คอลัมน์ D (ข้อ 3): \"ฉ\" ไม่ใช่คำตอบ (ไม่มีตัวเลือกนำหน้า)"},
        {"fixed width: the column is the character position", "a.dat", "01  1234\nข2  1293\n",
         fixed, "แถว 2 คอลัมน์ 7: \"9\" เกินจำนวนตัวเลือก (4)"},
        {"fixed width: more answers than items", "a.dat", "01  1234\n02  1234 1\n", fixed,
         "แถว 2 คอลัมน์ 10: คำตอบเกินจำนวนข้อของไฟล์ (4 ข้อ)"},
        {"quiz: more questions than items",
         "a.csv",
         "Timestamp,Score,Email,Q1,Q2,Q3,Q4,Q5\n",
         {},
         "แถว 1 คอลัมน์ H: คำถามเกินจำนวนข้อของไฟล์ (4 ข้อ)"},
    };
    for (const Case& c : cases) {
        ia::ImportPlan plan = Read(c.name, c.source, c.options);
        ASSERT_EQ(plan.errors.size(), 1u) << c.what << "\n" << ia::ErrorSummary(plan.errors);
        EXPECT_EQ(plan.errors[0], c.expected) << c.what;
    }
    EXPECT_EQ(iatest::ExamRows(exam, 4).size(), 2u); // the key and the sheet that was there
}

TEST_F(ExamFixture, ErrorsAreListedUpToTwentyThenCounted) {
    std::string csv = "ok,1,1,1,1\n";
    for (int r = 0; r < 25; ++r)
        csv += "0" + std::to_string(r) + ",1,1,1,X\n";
    ia::ImportPlan plan = Read("many.csv", csv);
    ASSERT_EQ(plan.errors.size(), 25u);
    const std::string summary = ia::ErrorSummary(plan.errors);
    EXPECT_NE(summary.find("แถว 21 คอลัมน์ E (ข้อ 4): "), std::string::npos);
    EXPECT_EQ(summary.find("แถว 22 คอลัมน์ E (ข้อ 4): "), std::string::npos);
    EXPECT_NE(summary.find("และอีก 5 รายการ"), std::string::npos);
}

TEST_F(ExamFixture, TheBackupBeforeAReplaceIsKeptOnlyWhenTheImportIsDone) {
    // An older backup, told apart from the file by its bytes.
    const std::string older = "an older backup";
    enum class Left { CopyOfTheFile, OlderBackup, None };
    struct Case {
        const char* what;
        bool olderBackup;
        bool done;
        Left left;
    } cases[] = {
        {"done, over an older backup", true, true, Left::CopyOfTheFile},
        {"done, the first backup", false, true, Left::CopyOfTheFile},
        {"cancelled or failed, an older backup", true, false, Left::OlderBackup},
        {"cancelled or failed, no backup before", false, false, Left::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = exam + ".bak";
        std::filesystem::remove(path);
        if (c.olderBackup) iatest::WriteBytes(path, older);
        {
            ia::ImportBackup backup;
            std::string error;
            ASSERT_TRUE(backup.take(exam, error)) << error;
            EXPECT_EQ(backup.path(), path);
            // While the import runs, the older backup stays what it was:
            // the copy takes its place only once the import is done.
            if (c.olderBackup) {
                EXPECT_EQ(iatest::FileBytes(path), older);
            } else {
                EXPECT_FALSE(std::filesystem::exists(path));
            }
            if (c.done) {
                EXPECT_TRUE(backup.keep());
            }
        }
        switch (c.left) {
        case Left::CopyOfTheFile:
            EXPECT_EQ(iatest::ExamRows(path, 4).at(1).at(0), "เดิม01");
            break;
        case Left::OlderBackup:
            EXPECT_TRUE(iatest::FileBytes(path) == older);
            break;
        case Left::None:
            EXPECT_FALSE(std::filesystem::exists(path));
            break;
        }
        EXPECT_FALSE(std::filesystem::exists(path + ".previous"));
    }
}

TEST_F(ExamFixture, AppendReplaceAndKeyOnly) {
    const std::string csv = "KEY,1,2,3,4\nใหม่01,4,3,2,1\n";
    ia::ImportPlan plan = Read("s.csv", csv);
    // Key only: the sheets stay as they are.
    Apply(plan, ia::ImportMode::KeyOnly);
    EXPECT_EQ(iatest::ExamRows(exam, 4),
              (Rows{{"KEY", "1", "2", "3", "4"}, {"เดิม01", "1", "1", "1", "1"}}));
    // Replace: the old sheet is gone, a backup copy keeps it.
    std::string error;
    ia::ImportBackup taken;
    ASSERT_TRUE(taken.take(exam, error));
    const std::string backup = taken.path();
    Apply(plan, ia::ImportMode::Replace);
    taken.keep();
    EXPECT_EQ(iatest::ExamRows(exam, 4),
              (Rows{{"KEY", "1", "2", "3", "4"}, {"ใหม่01", "4", "3", "2", "1"}}));
    EXPECT_EQ(iatest::ExamRows(backup, 4).at(1).at(0), "เดิม01");
    // A source without a key row leaves the key alone.
    Apply(Read("nokey.csv", "ใหม่02,1,1,1,1\n"), ia::ImportMode::Append);
    EXPECT_EQ(iatest::ExamRows(exam, 4), (Rows{{"KEY", "1", "2", "3", "4"},
                                               {"ใหม่01", "4", "3", "2", "1"},
                                               {"ใหม่02", "1", "1", "1", "1"}}));
}

TEST_F(ExamFixture, DuplicateCodesWithinTheSourceAndAgainstTheFile) {
    ia::ImportPlan plan =
        Read("d.csv", "เดิม01,1,1,1,1\nซ้ำ,1,1,1,1\nซ้ำ,2,2,2,2\n,1,1,1,1\n,2,2,2,2\n");
    ia::Connection db(exam);
    ia::FindDuplicateCodes(plan, ia::ExistingCodes(db));
    EXPECT_EQ(plan.duplicates,
              (std::vector<std::string>{"รหัส เดิม01 (แถว 1) มีอยู่แล้วในไฟล์", "รหัส ซ้ำ ซ้ำกันในแถว 2, 3"}));
}

TEST_F(ExamFixture, AFailedWriteLeavesTheFileAsItWas) {
    // Answers wider than the field hold: the engine refuses the row, and
    // the rows before it are rolled back with it.
    ia::ImportPlan plan = Read("ok.csv", "01,1,1,1,1\n02,2,2,2,2\n");
    ASSERT_TRUE(plan.ok());
    plan.sheets[1].answers[0] = "12";
    ia::Connection db(exam);
    EXPECT_THROW(ia::ApplyImport(db, plan, ia::ImportMode::Replace, 4), ia::DbError);
    EXPECT_EQ(iatest::ExamRows(exam, 4).at(1).at(0), "เดิม01");
}

// A cancel at any step of the writing: not one sheet is added, and the key
// stays as it was.
TEST_F(ExamFixture, CancelledImportAddsNothing) {
    const ia::ImportPlan plan =
        Read("many.csv", "KEY,4,4,4,4\n01,1,1,1,1\n02,2,2,2,2\n03,3,3,3,3\n");
    ASSERT_TRUE(plan.ok());
    const Rows before = iatest::ExamRows(exam, 4);
    iatest::CancelAtStep counting;
    {
        iatest::TempDir scratch;
        const std::string copy = scratch.file("copy.ans");
        std::filesystem::copy_file(exam, copy);
        ia::Connection db(copy);
        ia::ApplyImport(db, plan, ia::ImportMode::Replace, 4, counting);
    }
    EXPECT_EQ(counting.stages(), std::vector<std::string>{ia::kImportingSheetsStage});
    ASSERT_EQ(counting.reports(), 5); // the stage, three sheets, the end
    for (ia::ImportMode mode : {ia::ImportMode::Append, ia::ImportMode::Replace})
        for (long long k = 1; k <= counting.reports(); ++k) {
            iatest::CancelAtStep cancelling(k);
            ia::Connection db(exam);
            EXPECT_THROW(ia::ApplyImport(db, plan, mode, 4, cancelling), ia::JobCancelled);
            EXPECT_EQ(iatest::ExamRows(exam, 4), before) << "step " << k;
        }
}

} // namespace

namespace {

// A workbook written member by member, for what no writer produces.
void WriteRawWorkbook(const std::string& path, const std::string& sheetXml,
                      const std::string& sharedStrings) {
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    auto add = [&](const char* name, const std::string& text) {
        char* copy = static_cast<char*>(std::malloc(text.size()));
        std::memcpy(copy, text.data(), text.size());
        zip_source_t* src = zip_source_buffer(z, copy, text.size(), 1);
        zip_file_add(z, name, src, ZIP_FL_OVERWRITE);
    };
    add("xl/workbook.xml",
        "<workbook xmlns:r=\"r\"><sheets><sheet name=\"ก\" r:id=\"rId1\"/></sheets></workbook>");
    add("xl/_rels/workbook.xml.rels",
        "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/s.xml\"/></Relationships>");
    add("xl/worksheets/s.xml", sheetXml);
    if (!sharedStrings.empty()) add("xl/sharedStrings.xml", sharedStrings);
    ASSERT_EQ(zip_close(z), 0);
}

TEST(XlsxReader, OddCellsAreReadOrRefusedWithoutHarm) {
    iatest::TempDir dir;
    const std::string path = dir.file("raw.xlsx");
    struct Case {
        const char* what;
        std::string rows;
        ia::TextTable table;
    } cases[] = {
        {"cells without a reference, a phonetic hint in a shared string, a decimal and a text "
         "formula result",
         "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c><v>2.0</v></c>"
         "<c><v>2.5</v></c><c t=\"str\"><v>ค</v></c></row>",
         {{"สมชาย", "2", "2.5", "ค"}}},
        // Row numbers are optional: a row without one follows the last.
        {"rows without a number",
         "<row><c><v>1</v></c><c><v>2</v></c></row>"
         "<row><c t=\"inlineStr\"><is><t>ข</t></is></c></row>",
         {{"1", "2"}, {"ข"}}},
        {"a row without a number after a numbered one",
         "<row r=\"2\"><c r=\"A2\"><v>1</v></c></row><row><c><v>3</v></c></row>",
         {{}, {"1"}, {"3"}}},
        {"rows without a number whose cells have references",
         "<row><c r=\"B1\"><v>5</v></c></row><row><c r=\"A2\"><v>6</v></c></row>",
         {{"", "5"}, {"6"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRawWorkbook(
            path, "<worksheet><sheetData>" + c.rows + "</sheetData></worksheet>",
            "<sst><si><r><t>สม</t></r><r><t>ชาย</t></r><rPh><t>x</t></rPh></si></sst>");
        ia::TextTable table;
        std::string error;
        ASSERT_TRUE(ia::ReadXlsxSheet(path, "", table, error)) << error;
        EXPECT_EQ(table, c.table);
    }
}

// What no sheet can hold, and indexes that name no shared string, are
// refused with the place they stand at, never read as something else.
TEST(XlsxReader, ReferencesAndIndexesOutsideTheWorkbookAreRefusedWithTheirPlace) {
    iatest::TempDir dir;
    const std::string path = dir.file("raw.xlsx");
    struct Case {
        const char* what;
        std::string rows;
        std::string error;
    } cases[] = {
        {"a row number past 32 bits", "<row r=\"99999999999999999999\"><c><v>1</v></c></row>",
         "แถว \"99999999999999999999\" อยู่นอกขอบเขตของแผ่นงาน"},
        {"a row past the sheet", "<row r=\"1048577\"><c><v>1</v></c></row>",
         "แถว \"1048577\" อยู่นอกขอบเขตของแผ่นงาน"},
        {"a column past the sheet", "<row r=\"3\"><c r=\"XFE3\"><v>1</v></c></row>",
         "แถว 3 คอลัมน์ 16385: ตำแหน่งเซลล์ \"XFE3\" อยู่นอกขอบเขตของแผ่นงาน"},
        {"a reference past 32 bits", "<row r=\"3\"><c r=\"A99999999999999\"><v>1</v></c></row>",
         "แถว 1048576000 คอลัมน์ 1: ตำแหน่งเซลล์ \"A99999999999999\" อยู่นอกขอบเขตของแผ่นงาน"},
        {"a malformed reference", "<row r=\"2\"><c r=\"1A\"><v>1</v></c></row>",
         "แถว 2 คอลัมน์ 1: ตำแหน่งเซลล์ \"1A\" ไม่ถูกต้อง"},
        {"an index that is no number", "<row r=\"1\"><c r=\"B1\" t=\"s\"><v>abc</v></c></row>",
         "แถว 1 คอลัมน์ 2: ดัชนีข้อความ \"abc\" ไม่มีในสมุดงาน"},
        {"an index that is no whole number",
         "<row r=\"1\"><c r=\"B1\" t=\"s\"><v>0.9e1</v></c></row>",
         "แถว 1 คอลัมน์ 2: ดัชนีข้อความ \"0.9e1\" ไม่มีในสมุดงาน"},
        {"an index past the table", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>",
         "แถว 1 คอลัมน์ 1: ดัชนีข้อความ \"7\" ไม่มีในสมุดงาน"},
        {"an index equal to the number of strings",
         "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c></row>",
         "แถว 1 คอลัมน์ 2: ดัชนีข้อความ \"1\" ไม่มีในสมุดงาน"},
        {"a negative index", "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>-1</v></c></row>",
         "แถว 1 คอลัมน์ 1: ดัชนีข้อความ \"-1\" ไม่มีในสมุดงาน"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRawWorkbook(path, "<worksheet><sheetData>" + c.rows + "</sheetData></worksheet>",
                         "<sst><si><t>a</t></si></sst>");
        ia::TextTable table;
        std::string error;
        EXPECT_FALSE(ia::ReadXlsxSheet(path, "", table, error));
        EXPECT_EQ(error, c.error);
    }
}

// A workbook whose sheet member claims `declared` bytes while holding only
// its few real ones (stored, so that the claim sits in plain header fields).
std::string LyingWorkbook(const std::string& sheetXml, uint32_t declared) {
    iatest::TempDir dir;
    const std::string path = dir.file("lie.xlsx");
    WriteRawWorkbook(path, sheetXml, "");
    std::string bytes = iatest::FileBytes(path);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::string name = "xl/worksheets/s.xml";
    // Local header: uncompressed size at 22, name at 30; central: at 24 and 46.
    for (size_t at = bytes.find("PK\x03\x04"); at != std::string::npos;
         at = bytes.find("PK\x03\x04", at + 4))
        if (bytes.compare(at + 30, name.size(), name) == 0) put32(at + 22, declared);
    for (size_t at = bytes.find("PK\x01\x02"); at != std::string::npos;
         at = bytes.find("PK\x01\x02", at + 4))
        if (bytes.compare(at + 46, name.size(), name) == 0) put32(at + 24, declared);
    return bytes;
}

// A sheet member that claims 4 GB is read for what it holds: under a
// memory limit far below the claim the reader neither aborts nor runs out.
TEST(XlsxReaderDeathTest, ADeclaredSizeIsNeverBelieved) {
    const std::string bytes = LyingWorkbook(
        "<worksheet><sheetData><row r=\"1\"><c><v>1</v></c></row></sheetData></worksheet>",
        0xFFFFFFF0u);
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's shadow memory alone needs far more address space than
    // the cap; the plain builds run this.
    GTEST_SKIP() << "an address-space cap cannot be set under AddressSanitizer";
#endif
    auto readUnderALimit = [&bytes] {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 1ul << 30;
        setrlimit(RLIMIT_AS, &limit);
        ia::TextTable table;
        std::string error;
        ia::ReadXlsxSheet(std::string_view(bytes), "", ia::TableLimits{}, table, error);
        std::_Exit(0);
    };
    EXPECT_EXIT(readUnderALimit(), ::testing::ExitedWithCode(0), "");
}

// A source read with too little memory left is refused in Thai, never an
// abort: the address space is capped a little above what the process holds,
// far below what the source takes once read.
TEST(ImportDeathTest, RunningOutOfMemoryIsARefusal) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space cap cannot be set under AddressSanitizer";
#endif
    iatest::TempDir dir;
    const std::string path = dir.file("big.csv");
    std::string rows;
    for (int r = 0; rows.size() < (40u << 20); ++r)
        rows += std::to_string(r) + ",1,2,3,4\n";
    iatest::WriteBytes(path, rows);
    rows = std::string();
    auto readUnderALimit = [&path] {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (48u << 20);
        setrlimit(RLIMIT_AS, &limit);
        const ia::ImportPlan plan = ia::ReadImportSource(path, 4, 4, {});
        const bool refused = plan.errors == std::vector<std::string>{
                                                "หน่วยความจำไม่พอที่จะอ่านแหล่งข้อมูลนี้ ไม่ได้นำเข้าข้อมูลใดเลย"};
        std::_Exit(refused ? 0 : 3);
    };
    EXPECT_EXIT(readUnderALimit(), ::testing::ExitedWithCode(0), "");
}

// A member that really inflates past the limit stops there and is refused.
TEST(XlsxReader, InflationStopsAtTheLimit) {
    iatest::TempDir dir;
    const std::string path = dir.file("bomb.xlsx");
    WriteRawWorkbook(path,
                     "<worksheet><sheetData>" + std::string(ia::kMaxSourceBytes + 1, ' ') +
                         "</sheetData></worksheet>",
                     "");
    ASSERT_LT(std::filesystem::file_size(path), 1u << 20);
    ia::TextTable table;
    std::string error;
    EXPECT_FALSE(ia::ReadXlsxSheet(path, "", table, error));
    EXPECT_EQ(error, "ส่วน xl/worksheets/s.xml ของสมุดงานเมื่อคลายออกใหญ่เกิน 64 MB ที่นำเข้าได้");
}

// Cells far to the right of what an import reads are refused with their
// place, not kept with a row of empty cells before each.
TEST_F(ExamFixture, FarAwayCellsAreRefusedNotKept) {
    std::string rows;
    for (int r = 1; r <= 2000; ++r)
        rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"XFD" + std::to_string(r) +
                "\" t=\"inlineStr\"><is><t>1</t></is></c></row>";
    const std::string path = dir.file("far.xlsx");
    WriteRawWorkbook(path, "<worksheet><sheetData>" + rows + "</sheetData></worksheet>", "");
    const ia::ImportPlan plan = ia::ReadImportSource(path, 4, 4, {});
    EXPECT_EQ(plan.errors,
              std::vector<std::string>{"แถว 1 คอลัมน์ 16384: อยู่เลยคอลัมน์สุดท้ายที่นำเข้าได้ (68 คอลัมน์)"});
}

// Sources that are too much, no file at all, or text that is not what it
// claims are refused with the place where that shows, before anything is
// read into the plan.
TEST_F(ExamFixture, HostileTextSourcesAreRefusedWithTheirPlace) {
    const std::string fifo = dir.file("pipe.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = dir.file("big.csv");
    iatest::WriteBytes(big, "");
    std::filesystem::resize_file(big, ia::kMaxSourceBytes + 1);
    struct Case {
        const char* what;
        std::string path;  // a file the test made, or empty: bytes below
        std::string bytes; // written to x.csv
        ia::TextEncoding encoding;
        std::string error;
    } cases[] = {
        {"a device", "/dev/zero", "", ia::TextEncoding::Auto,
         "/dev/zero ไม่ใช่ไฟล์ข้อมูลธรรมดา (เป็นอุปกรณ์ ท่อ หรือโฟลเดอร์) จึงไม่อ่าน"},
        {"a pipe", fifo, "", ia::TextEncoding::Auto,
         fifo + " ไม่ใช่ไฟล์ข้อมูลธรรมดา (เป็นอุปกรณ์ ท่อ หรือโฟลเดอร์) จึงไม่อ่าน"},
        {"past the size limit", big, "", ia::TextEncoding::Auto,
         "ไฟล์ " + big + " ใหญ่เกิน 64 MB ที่นำเข้าได้"},
        {"a line past its limit", "", "01,1,2,3,4\n02" + std::string(ia::kMaxLineBytes, ','),
         ia::TextEncoding::Auto, "แถว 2 คอลัมน์ 69: บรรทัดยาวเกิน 1048576 ไบต์"},
        {"a cell past its limit", "", "01,1,2," + std::string(ia::kMaxCellBytes + 1, 'x'),
         ia::TextEncoding::Auto, "แถว 1 คอลัมน์ 4: ข้อความในช่องยาวเกิน 4096 ไบต์"},
        {"a cell past the columns read", "", "01,1,2,3,4" + std::string(70, ',') + "x\n",
         ia::TextEncoding::Auto, "แถว 1 คอลัมน์ 69: อยู่เลยคอลัมน์สุดท้ายที่นำเข้าได้ (68 คอลัมน์)"},
        {"UTF-8 behind a UTF-16 mark", "",
         "\xFF\xFE"
         "01,1,2,3,4\nสมชาย,1,2,3,4\n",
         ia::TextEncoding::Auto, "ข้อความไม่ตรงกับรหัสอักขระที่ระบุ"},
        {"no UTF-8 behind a UTF-8 mark", "",
         "\xEF\xBB\xBF"
         "01,1,2,3,\xFF\n",
         ia::TextEncoding::Auto, "ข้อความไม่ตรงกับรหัสอักขระที่ระบุ"},
        {"a UTF-8 mark, told UTF-16", "",
         "\xEF\xBB\xBF"
         "01,1,2,3,4\n",
         ia::TextEncoding::Utf16, "ข้อความไม่ตรงกับรหัสอักขระที่ระบุ"},
        {"invalid UTF-8, found by itself", "", "01,1,2,3,4\n02,1,\xFF\xFE,3,4\n",
         ia::TextEncoding::Auto,
         "แถว 2 คอลัมน์ 3: ไม่ใช่ข้อความ UTF-8 (ไฟล์รหัส cp874 ให้ระบุ --encoding cp874)"},
        {"a byte code page 874 lacks", "", "01,1,2,3,\xFC\n", ia::TextEncoding::Cp874,
         "แถว 1 คอลัมน์ 5: ไม่ใช่อักขระในรหัส cp874"},
        {"a NUL in a code", "",
         std::string("01,1,2,3,4\n0\0"
                     "2,1,2,3,4\n",
                     22),
         ia::TextEncoding::Auto, "แถว 2 คอลัมน์ 1: มีอักขระ NUL ซึ่งไม่ใช่ข้อความ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ia::ImportOptions o;
        o.encoding = c.encoding;
        std::string path = c.path;
        if (path.empty()) {
            path = dir.file("x.csv");
            iatest::WriteBytes(path, c.bytes);
        }
        EXPECT_EQ(ia::ReadImportSource(path, 4, 4, o).errors, std::vector<std::string>{c.error});
    }
}

// A message quotes at most 40 characters of a cell, its control characters
// shown escaped.
TEST_F(ExamFixture, MessagesQuoteLittleOfACell) {
    std::string rows;
    for (int r = 0; r < 25; ++r)
        rows += "0" + std::to_string(r) + ",1,\x1b]0;x\x07" + std::string(4000, 'z') + ",3,4\n";
    ia::ImportOptions o;
    o.header = ia::HeaderMode::No;
    const ia::ImportPlan plan = Read("long.csv", rows, o);
    ASSERT_EQ(plan.errors.size(), 25u);
    EXPECT_EQ(plan.errors[0], "แถว 1 คอลัมน์ C (ข้อ 2): \"\\x1b]0;x\\x07" + std::string(34, 'z') +
                                  "…\" ไม่ใช่คำตอบ (ไม่มีตัวเลือกนำหน้า)");
}

TEST(FormulaGuard, TextsASpreadsheetWouldRunAreLedByAnApostrophe) {
    struct Case {
        const char* text;
        const char* field;
    } cases[] = {
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {"+1+2", "'+1+2"},
        {"-x", "'-x"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"'=x", "''=x"},
        {"-5", "-5"},
        {"+2.5e-3", "+2.5e-3"},
        {"'", "'"},
        {"ก=1", "ก=1"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ia::CsvText(c.text), c.field) << c.text;
        const ia::TextTable back = ia::ParseDelimited(ia::CsvText(c.text), ',');
        const std::string read = back.empty() ? "" : ia::WithoutFormulaGuard(back.at(0).at(0));
        EXPECT_EQ(read, c.text) << c.text;
    }
}

// Replacing by a source without a single sheet would only empty the file:
// refused, the sheets and the backup as they were.
TEST_F(ExamFixture, AReplaceBySourceWithoutSheetsIsRefused) {
    const ia::ImportPlan plan = Read("key.csv", "KEY,1,2,3,4\n");
    ASSERT_TRUE(plan.ok());
    EXPECT_EQ(ia::ImportRefusal(plan, ia::ImportMode::Replace),
              "ไม่มีกระดาษคำตอบในแหล่งข้อมูล ไม่ได้แทนที่");
    ia::Connection db(exam);
    EXPECT_THROW(ia::ApplyImport(db, plan, ia::ImportMode::Replace, 4), std::runtime_error);
    EXPECT_EQ(iatest::ExamRows(exam, 4).at(1).at(0), "เดิม01");
    EXPECT_EQ(ia::ImportRefusal(plan, ia::ImportMode::KeyOnly), "");
}

} // namespace
