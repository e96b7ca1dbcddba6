// SPDX-License-Identifier: GPL-3.0-or-later
// Option texts of forms numbered exactly or refused, and the sources of the
// tools teachers use read in their own layouts.
#include "ExchangeFixtures.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "exchange/ColumnRoles.h"
#include "exchange/KeyFromScores.h"
#include "exchange/OptionNumbers.h"
#include "exchange/SheetImport.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using iatest::Rows;
using Answers = std::map<std::string, std::string>;

TEST(OptionNumbers, ByLabelsOnlyWhenEveryTextHasADistinctOne) {
    const std::string unlabelled = "ข้อ 2: ตัวเลือกไม่มีอักษรนำหน้า ต้องระบุลำดับตัวเลือก (--options)";
    struct Case {
        const char* what;
        std::vector<std::string> texts;
        std::map<std::string, int> listed;
        Answers answers; // when numbered
        std::string error;
    } cases[] = {
        {"digits as the options' texts, in form order: never their own numbers",
         {"3", "2", "4", "1"},
         {},
         {},
         unlabelled},
        {"the same numbered by the teacher's list",
         {"3", "2", "4", "1"},
         {{"3", 1}, {"2", 2}, {"4", 3}, {"1", 4}},
         {{"3", "1"}, {"2", "2"}, {"4", "3"}, {"1", "4"}},
         ""},
        {"a digit and a plain space is no label", {"3 ตัว", "2 ตัว"}, {}, {}, unlabelled},
        {"labels with digits inside the texts",
         {"C: 9", "a. 6", "ง) 0", "2. 25 องศา"},
         {},
         {{"C: 9", "3"}, {"a. 6", "1"}, {"ง) 0", "4"}, {"2. 25 องศา", "2"}},
         ""},
        {"a label met twice decides nothing", {"ก. 9", "ก. 0"}, {}, {}, unlabelled},
        {"two ticks of labelled options",
         {"ก. 9", "ค. 0", "ก. 9;ค. 0", "ก. 9, ค. 0"},
         {},
         {{"ก. 9", "1"}, {"ค. 0", "3"}, {"ก. 9;ค. 0", "*"}, {"ก. 9, ค. 0", "*"}},
         ""},
        {"two ticks of listed options",
         {"A", "A, C", "C"},
         {{"A", 1}, {"C", 3}},
         {{"A", "1"}, {"C", "3"}, {"A, C", "*"}},
         ""},
        {"two ticks joined by \"; \" of options seen alone",
         {"แดง", "ฟ้า; แดง", "ฟ้า"},
         {{"แดง", 1}, {"ฟ้า", 2}},
         {{"แดง", "1"}, {"ฟ้า", "2"}, {"ฟ้า; แดง", "*"}},
         ""},
        {"a comma inside one option's text",
         {"1, 2 และ 3", "ไม่มี"},
         {{"1, 2 และ 3", 1}, {"ไม่มี", 2}},
         {{"1, 2 และ 3", "1"}, {"ไม่มี", "2"}},
         ""},
        {"the list covering only some texts", {"แดง", "ฟ้า"}, {{"แดง", 1}}, {}, unlabelled},
        {"more texts than choices",
         {"ก", "ข", "ค", "ง", "จ"},
         {},
         {},
         "ข้อ 2: มีตัวเลือก 5 แบบ มากกว่าจำนวนตัวเลือกของไฟล์ (4): \"ก\", \"ข\", \"ค\", \"ง\", \"จ\""},
        {"a label past the choices",
         {"A. 1", "E. 5"},
         {},
         {},
         "ข้อ 2: \"E. 5\" เป็นตัวเลือกที่ 5 เกินจำนวนตัวเลือก (4)"},
        {"two texts listed as one choice",
         {"แดง", "ฟ้า"},
         {{"แดง", 2}, {"ฟ้า", 2}},
         {},
         "ข้อ 2: \"แดง\" และ \"ฟ้า\" ได้ตัวเลือกที่ 2 เหมือนกัน"},
    };
    for (const Case& c : cases) {
        const ia::OptionNumbering n = ia::NumberOptions(c.texts, 4, c.listed, "ข้อ 2");
        EXPECT_EQ(n.error, c.error) << c.what;
        if (c.error.empty()) {
            EXPECT_EQ(n.answers, c.answers) << c.what;
        }
    }
}

TEST(ColumnRoles, LettersAndTheTeachersRoles) {
    EXPECT_EQ(ia::ColumnLetters(0), "A");
    EXPECT_EQ(ia::ColumnLetters(25), "Z");
    EXPECT_EQ(ia::ColumnLetters(26), "AA");
    EXPECT_EQ(ia::ColumnLetters(701), "ZZ");
    EXPECT_EQ(ia::ColumnLetters(702), "AAA");
    std::vector<ia::ColumnUse> roles;
    std::string error;
    ASSERT_TRUE(ia::ParseColumnRoles("code=D,name=E,group=F,answers=G:I,ignore=H", roles, error) ==
                false);
    EXPECT_EQ(error, "--columns ให้คอลัมน์ H มากกว่าหนึ่งหน้าที่");
    ASSERT_TRUE(ia::ParseColumnRoles("code=4, name=e,group=F,answers=g:i", roles, error)) << error;
    EXPECT_EQ(ia::RolesLine(roles), "A:C=ไม่ใช้ D=รหัส E=ชื่อ F=กลุ่ม G:I=ข้อ 1-3");
    for (const char* bad :
         {"code", "code=", "code=D:E", "answers=P:G", "colour=A", "code=A,code=B"})
        EXPECT_FALSE(ia::ParseColumnRoles(bad, roles, error)) << bad;
}

TEST(KeyFromScores, OneKeyFitsOrItIsSaidWhyNot) {
    // Five students, three questions: only key 2-3-1 gives every score.
    const std::vector<std::vector<int>> answers = {
        {2, 3, 1}, {2, 1, 1}, {1, 3, 4}, {4, 4, 4}, {2, 3, 2}};
    const std::vector<int> scores = {3, 2, 1, 0, 2};
    ia::RecoveredKey found = ia::RecoverKeyFromScores(answers, scores, 3, 4);
    EXPECT_EQ(found.outcome, ia::KeySearch::Unique);
    EXPECT_EQ(found.key, (std::vector<int>{2, 3, 1}));
    // Nobody right on question 3: any choice but theirs would do.
    found = ia::RecoverKeyFromScores({{2, 3, 1}, {2, 1, 1}}, {2, 1}, 3, 4);
    EXPECT_EQ(found.outcome, ia::KeySearch::Several);
    EXPECT_TRUE(found.key.empty());
    // A score no key gives (two points for the same answers as a zero).
    found = ia::RecoverKeyFromScores({{1, 1, 1}, {1, 1, 1}}, {2, 0}, 3, 4);
    EXPECT_EQ(found.outcome, ia::KeySearch::None);
    // A multiple mark or a blank (0) matches no key.
    found = ia::RecoverKeyFromScores({{0, 0, 0}}, {1}, 3, 4);
    EXPECT_EQ(found.outcome, ia::KeySearch::None);
    // The search stops at its limit rather than run on.
    found = ia::RecoverKeyFromScores(answers, scores, 3, 4, 3);
    EXPECT_EQ(found.outcome, ia::KeySearch::TooLong);
    EXPECT_LE(found.steps, 4);
}

// An exam file of 4 items with 4 choices, empty.
struct FormFixture : ::testing::Test {
    iatest::TempDir dir;
    std::string exam = dir.file("ข้อสอบ.ans");
    void SetUp() override {
        iatest::MakeExamFile(exam, iatest::MakeHeader(4, 4), {"", "", "", ""}, {});
    }
    ia::ImportPlan Read(const std::string& name, const std::string& bytes,
                        const ia::ImportOptions& o = {}) {
        iatest::WriteBytes(dir.file(name), bytes);
        return ia::ReadImportSource(dir.file(name), 4, 4, o);
    }
    void Apply(const ia::ImportPlan& plan) {
        ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
        ia::Connection db(exam);
        ia::ApplyImport(db, plan, ia::ImportMode::Append, 4);
    }
};

// A form whose second question's options are digits: refused until the
// teacher numbers that question; the first (labelled) needs nothing.
TEST_F(FormFixture, DigitOptionsAreRefusedUntilListedAndTwoTicksAreAMultipleMark) {
    const std::string csv = "Timestamp,Score,เลขที่,ข้อ 1,ข้อ 2 มีกี่ขา\n"
                            "2026/12/01 9:00:00,1 / 2,01,ก. 9,3\n"
                            "2026/12/01 9:01:00,1 / 2,02,ก. 9;ค. 0,2\n"
                            "2026/12/01 9:02:00,0 / 2,03,ค. 0,4\n"
                            "2026/12/01 9:03:00,2 / 2,04,,1\n";
    ia::ImportPlan plan = Read("form.csv", csv);
    EXPECT_EQ(plan.errors,
              std::vector<std::string>{"ข้อ 2: ตัวเลือกไม่มีอักษรนำหน้า ต้องระบุลำดับตัวเลือก (--options)"});
    ia::ImportOptions o;
    o.quizOptions = {{{"ข้อ 2 มีกี่ขา", "3"}, 1},
                     {{"ข้อ 2 มีกี่ขา", "2"}, 2},
                     {{"ข้อ 2 มีกี่ขา", "4"}, 3},
                     {{"ข้อ 2 มีกี่ขา", "1"}, 4}};
    plan = Read("form.csv", csv, o);
    Apply(plan);
    EXPECT_EQ(iatest::ExamRows(exam, 4), (Rows{{"KEY", "", "", "", ""},
                                               {"01", "1", "1", "", ""},
                                               {"02", "*", "2", "", ""},
                                               {"03", "3", "3", "", ""},
                                               {"04", "", "4", "", ""}}));
    // The question may be named by its number as well.
    o.quizOptions = {{{"2", "3"}, 1}, {{"2", "2"}, 2}, {{"ข้อ 2", "4"}, 3}, {{"2", "1"}, 4}};
    EXPECT_TRUE(Read("form.csv", csv, o).ok());
}

// What an import kept beside the sheets: (code, name, group) of each sheet,
// and (item, choice, text) of each option.
bool HasTable(const std::string& exam, const std::string& table) {
    ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
    ia::Statement st = db.prepare("SELECT 1 FROM sqlite_master WHERE name = ?");
    st.bind(1, ia::Value(table));
    return st.step();
}

Rows SheetNamesAndGroups(const std::string& exam) {
    const bool names = HasTable(exam, "itemanalysis_SheetName");
    const bool groups = HasTable(exam, "itemanalysis_SheetGroup");
    ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
    Rows rows;
    ia::Statement st = db.prepare(
        std::string("SELECT d.Code, ") + (names ? "COALESCE(n.Name, '')" : "''") + ", " +
        (groups ? "COALESCE(g.GroupLabel, '')" : "''") + " FROM TAData d " +
        (names ? "LEFT JOIN itemanalysis_SheetName n ON n.SheetRowid = d.rowid " : "") +
        (groups ? "LEFT JOIN itemanalysis_SheetGroup g ON g.SheetRowid = d.rowid " : "") +
        "ORDER BY d.rowid");
    while (st.step())
        rows.push_back({std::string(*st.columnText(0)), std::string(*st.columnText(1)),
                        std::string(*st.columnText(2))});
    return rows;
}

Rows OptionTexts(const std::string& exam) {
    ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
    Rows rows;
    ia::Statement st = db.prepare("SELECT Item, Choice, Text FROM itemanalysis_OptionText "
                                  "ORDER BY Item, Choice");
    while (st.step())
        rows.push_back({std::string(*st.columnText(0)), std::string(*st.columnText(1)),
                        std::string(*st.columnText(2))});
    return rows;
}

// Google Forms' CSV download in Thai: e-mail, score, questions the teacher
// added (เลขที่, ชื่อ, ห้อง), a checkbox answer joined by ";", digit-led
// option texts, a blank answer, a student who sent twice and an empty row.
TEST_F(FormFixture, GoogleFormsCsvInThai) {
    const std::string csv =
        "ประทับเวลา,ที่อยู่อีเมล,คะแนน,เลขที่,ชื่อ-สกุล,ห้อง,ข้อ 1 น้ำเดือดที่,ข้อ 2 แมงมุมมีกี่ขา,"
        "ข้อ 3 สีธงชาติ,ข้อ 4 ข้อใดถูก\n"
        "2026/12/01 9:00:00,kong.jaidee@school.ac.th,2 / 4,1,ด.ช. ก้อง ใจดี,ม.3/1,ก. 90 องศา,6 ขา,"
        "แดง,ข. สอง\n"
        "2026/12/01 9:01:00,fon@school.ac.th,1 / 4,2,ด.ญ. ฝน ตกหนัก,ม.3/2,ข. 100 องศา,8 ขา,"
        "แดง;น้ำเงิน,\n"
        ",,,,,,,,,\n"
        "2026/12/01 10:05:00,kong.jaidee@school.ac.th,3 / 4,1,ด.ช. ก้อง ใจดี,ม.3/1,ค. 120 องศา,"
        "8 ขา,น้ำเงิน,ก. หนึ่ง\n";
    ia::ImportPlan plan = Read("responses.csv", csv);
    EXPECT_EQ(plan.errors,
              (std::vector<std::string>{"ข้อ 2: ตัวเลือกไม่มีอักษรนำหน้า ต้องระบุลำดับตัวเลือก (--options)",
                                        "ข้อ 3: ตัวเลือกไม่มีอักษรนำหน้า ต้องระบุลำดับตัวเลือก (--options)"}));
    EXPECT_EQ(ia::RolesLine(plan.roles), "A=เวลาส่ง B=ไม่ใช้ C=คะแนนรวม D=รหัส E=ชื่อ F=กลุ่ม G:J=ข้อ 1-4");
    ia::ImportOptions o;
    o.quizOptions = {{{"ข้อ 2 แมงมุมมีกี่ขา", "6 ขา"}, 1},
                     {{"ข้อ 2 แมงมุมมีกี่ขา", "8 ขา"}, 2},
                     {{"3", "แดง"}, 1},
                     {{"3", "น้ำเงิน"}, 2}};
    plan = Read("responses.csv", csv, o);
    EXPECT_EQ(plan.dropped, std::vector<std::string>{"รหัส 1 ส่งซ้ำ: ไม่ใช้แถว 2 ใช้แถว 5 (ส่งล่าสุด)"});
    Apply(plan);
    EXPECT_EQ(iatest::ExamRows(exam, 4),
              (Rows{{"KEY", "", "", "", ""}, {"2", "2", "2", "*", ""}, {"1", "3", "2", "2", "1"}}));
    EXPECT_EQ(SheetNamesAndGroups(exam),
              (Rows{{"2", "ด.ญ. ฝน ตกหนัก", "ม.3/2"}, {"1", "ด.ช. ก้อง ใจดี", "ม.3/1"}}));
    // Texts of the dropped send are options too: "แดง", ticked alone only
    // there, makes "แดง;น้ำเงิน" two answers.
    EXPECT_EQ(OptionTexts(exam), (Rows{{"1", "1", "ก. 90 องศา"},
                                       {"1", "2", "ข. 100 องศา"},
                                       {"1", "3", "ค. 120 องศา"},
                                       {"2", "1", "6 ขา"},
                                       {"2", "2", "8 ขา"},
                                       {"3", "1", "แดง"},
                                       {"3", "2", "น้ำเงิน"},
                                       {"4", "1", "ก. หนึ่ง"},
                                       {"4", "2", "ข. สอง"}}));
    // Unnumbered, the joined cell is still no option of its own.
    o.quizOptions.erase({"3", "แดง"});
    o.quizOptions.erase({"3", "น้ำเงิน"});
    plan = Read("responses.csv", csv, o);
    ASSERT_EQ(plan.questions.size(), 4u);
    EXPECT_EQ(plan.questions[2].unlabelled, (std::vector<std::string>{"แดง", "น้ำเงิน"}));
}

// The Google Sheets workbook of the same form in English: timestamps as
// the spreadsheet's serial numbers, checkboxes joined by ", ", the first
// of two sends kept when asked.
TEST_F(FormFixture, GoogleSheetsWorkbookInEnglish) {
    const std::string path = dir.file("Form Responses 1.xlsx");
    iatest::WriteWorkbook(path, "Form Responses 1",
                          {{"Timestamp", "Email Address", "Score", "Student ID", "Name",
                            "1. Boiling point", "2. Legs of a spider"},
                           {"46000.375", "a@b.th", "1 / 2", "6501", "Mali", "A. 100", "B) 8"},
                           {"46000.4", "c@b.th", "0 / 2", "6502", "Dao", "B. 90", "A) 6, B) 8"},
                           {"46000.5", "a@b.th", "2 / 2", "6501", "Mali", "A. 100", "A) 6"}},
                          false);
    ia::ImportOptions o;
    o.keep = ia::KeepRows::First;
    const ia::ImportPlan plan = ia::ReadImportSource(path, 4, 4, o);
    EXPECT_EQ(plan.dropped,
              std::vector<std::string>{"รหัส 6501 ส่งซ้ำ: ไม่ใช้แถว 4 ใช้แถว 2 (ส่งครั้งแรก)"});
    Apply(plan);
    EXPECT_EQ(
        iatest::ExamRows(exam, 4),
        (Rows{{"KEY", "", "", "", ""}, {"6501", "1", "2", "", ""}, {"6502", "2", "*", "", ""}}));
    EXPECT_EQ(SheetNamesAndGroups(exam), (Rows{{"6501", "Mali", ""}, {"6502", "Dao", ""}}));
    EXPECT_FALSE(HasTable(exam, "itemanalysis_SheetGroup")); // nothing to keep
}

// Microsoft Forms: three columns per question; the key is the answer that
// earned its points.
TEST_F(FormFixture, MicrosoftFormsWorkbookWithTheKeyFromPoints) {
    const std::string path = dir.file("quiz.xlsx");
    iatest::WriteWorkbook(
        path, "Sheet1",
        {{"ID", "Start time", "Completion time", "Email", "Name", "Total points", "Quiz feedback",
          "Last modified time", "เลขที่", "สีของท้องฟ้า", "Points - สีของท้องฟ้า", "Feedback - สีของท้องฟ้า",
          "ข้อ 2 กี่ขา", "Points - ข้อ 2 กี่ขา", "Feedback - ข้อ 2 กี่ขา"},
         {"1", "12/1/26 9:00:00", "12/1/26 9:05:00", "a@b.th", "สมชาย ใจดี", "2", "", "", "11",
          "A. ฟ้า", "1", "", "8", "1", ""},
         {"2", "12/1/26 9:00:00", "12/1/26 9:06:00", "c@b.th", "สมหญิง รักเรียน", "0", "", "", "12",
          "A. ฟ้า;B. แดง", "0", "ลองใหม่", "6", "0", ""},
         {"3", "12/1/26 9:00:00", "12/1/26 9:07:00", "d@b.th", "มานี มีนา", "1", "", "", "13",
          "B. แดง", "0", "", "8", "1", ""}},
        false);
    ia::ImportOptions o;
    o.quizOptions = {{{"ข้อ 2 กี่ขา", "6"}, 1}, {{"ข้อ 2 กี่ขา", "8"}, 2}};
    const ia::ImportPlan plan = ia::ReadImportSource(path, 4, 4, o);
    EXPECT_EQ(ia::RolesLine(plan.roles), "A:B=ไม่ใช้ C=เวลาส่ง D=ไม่ใช้ E=ชื่อ F=คะแนนรวม G:H=ไม่ใช้ "
                                         "I=รหัส J=ข้อ 1 K=คะแนนข้อ 1 L=ไม่ใช้ M=ข้อ 2 "
                                         "N=คะแนนข้อ 2 O=ไม่ใช้");
    Apply(plan);
    EXPECT_EQ(iatest::ExamRows(exam, 4), (Rows{{"KEY", "1", "2", "", ""},
                                               {"11", "1", "2", "", ""},
                                               {"12", "*", "1", "", ""},
                                               {"13", "2", "2", "", ""}}));
    EXPECT_EQ(SheetNamesAndGroups(exam)[1], (std::vector<std::string>{"12", "สมหญิง รักเรียน", ""}));
}

// Moodle's responses report: an attempt in progress skipped and listed,
// "-" for no response, answers joined by "; ", the key from "Right answer",
// the average row at the foot left out.
TEST_F(FormFixture, MoodleResponsesWithTheKeyFromRightAnswers) {
    const std::string csv =
        "Surname,First name,ID number,Email address,State,Started on,Completed,Time taken,"
        "Grade/2.00,Response 1,Right answer 1,Response 2,Right answer 2\n"
        "ใจดี,ก้อง,501,k@b.th,Finished,1 December 2026 9:00 AM,1 December 2026 9:20 AM,20 mins,"
        "2.00,b. 7,b. 7,แมว,แมว\n"
        "ตกหนัก,ฝน,502,f@b.th,In progress,1 December 2026 9:00 AM,-,-,-,a. 6,b. 7,-,แมว\n"
        "รักเรียน,ดาว,503,d@b.th,Finished,1 December 2026 9:01 AM,1 December 2026 9:30 AM,"
        "29 mins,0.00,a. 6; c. 8,b. 7,-,แมว\n"
        "มีนา,มานี,504,m@b.th,Finished,1 December 2026 9:02 AM,1 December 2026 9:31 AM,"
        "29 mins,1.00,c. 8,b. 7,หมา,แมว\n"
        "Overall average,,,,,,,,1.00,,,,\n";
    ia::ImportOptions o;
    o.quizOptions = {{{"Response 2", "แมว"}, 1}, {{"Response 2", "หมา"}, 2}};
    const ia::ImportPlan plan = Read("responses.csv", csv, o);
    EXPECT_EQ(plan.skipped,
              std::vector<std::string>{"แถว 3 ฝน ตกหนัก: ยังทำไม่เสร็จ (\"In progress\") ไม่ได้นำเข้า"});
    Apply(plan);
    EXPECT_EQ(iatest::ExamRows(exam, 4), (Rows{{"KEY", "2", "1", "", ""},
                                               {"501", "2", "1", "", ""},
                                               {"503", "*", "", "", ""},
                                               {"504", "3", "2", "", ""}}));
    EXPECT_EQ(SheetNamesAndGroups(exam)[0], (std::vector<std::string>{"501", "ก้อง ใจดี", ""}));
}

// ZipGrade's full export: twelve leading columns, four per question, two
// bubbles as "AC", the key in PriKey.
TEST_F(FormFixture, ZipGradeFullExport) {
    std::string head = "QuizName,QuizClass,FirstName,LastName,StudentID,CustomID,Earned Points,"
                       "Possible Points,PercentCorrect,QuizCreated,DataExported,Key Version";
    for (int q = 1; q <= 4; ++q) {
        const std::string n = std::to_string(q);
        head += ",Stu" + n + ",PriKey" + n + ",Points" + n + ",Mark" + n;
    }
    const std::string csv = head + "\n"
                                   "สอบย่อย,ม.3/1,ก้อง,ใจดี,60001,,3,4,75,2026-12-01,2026-12-02,A,"
                                   "A,A,1,C,B,B,1,C,AC,C,0,X,,D,0,X\n"
                                   "สอบย่อย,ม.3/2,ฝน,ตกหนัก,60002,,4,4,100,2026-12-01,2026-12-02,A,"
                                   "A,A,1,C,B,B,1,C,C,C,1,C,D,D,1,C\n";
    const ia::ImportPlan plan = Read("zipgrade.csv", csv);
    Apply(plan);
    EXPECT_EQ(iatest::ExamRows(exam, 4), (Rows{{"KEY", "1", "2", "3", "4"},
                                               {"60001", "1", "2", "*", ""},
                                               {"60002", "1", "2", "3", "4"}}));
    EXPECT_EQ(SheetNamesAndGroups(exam),
              (Rows{{"60001", "ก้อง ใจดี", "ม.3/1"}, {"60002", "ฝน ตกหนัก", "ม.3/2"}}));
}

// A teacher's own workbook: a title row, เลขที่ and names, a room, answers
// as digits, Thai and Latin letters and "ก,ค", a total column and a key
// row named เฉลย in the name column with no number.
TEST_F(FormFixture, TeachersOwnSheetWithTitleAndKeyRow) {
    const std::string path = dir.file("คะแนน.xlsx");
    iatest::WriteWorkbook(path, "ม.3",
                          {{"แบบทดสอบวิชาวิทยาศาสตร์ ม.3 ภาคเรียนที่ 2"},
                           {},
                           {"เลขที่", "ชื่อ-สกุล", "ห้อง", "ข้อ 1", "ข้อ 2", "ข้อ 3", "ข้อ 4", "คะแนนรวม"},
                           {"", "เฉลย", "", "ก", "ข", "ค", "ง", ""},
                           {"1", "ด.ช. ก้อง ใจดี", "3/1", "1", "2", "3", "1", "3"},
                           {"2", "ด.ญ. ฝน ตกหนัก", "3/1", "ก", "B", "ก,ค", "", "2"}},
                          false);
    const ia::ImportPlan plan = ia::ReadImportSource(path, 4, 4, {});
    EXPECT_EQ(plan.headerRow, 3);
    EXPECT_EQ(ia::RolesLine(plan.roles), "A=รหัส B=ชื่อ C=กลุ่ม D:G=ข้อ 1-4 H=คะแนนรวม");
    Apply(plan);
    EXPECT_EQ(
        iatest::ExamRows(exam, 4),
        (Rows{{"KEY", "1", "2", "3", "4"}, {"1", "1", "2", "3", "1"}, {"2", "1", "2", "*", ""}}));
    EXPECT_EQ(SheetNamesAndGroups(exam),
              (Rows{{"1", "ด.ช. ก้อง ใจดี", "3/1"}, {"2", "ด.ญ. ฝน ตกหนัก", "3/1"}}));
    EXPECT_FALSE(HasTable(exam, "itemanalysis_OptionText")); // a sheet of labels has none
}

// LibreOffice's .ods, as it writes one: a title row, repeated empty cells
// and rows (the rest of the sheet), a run of spaces, numbers stored as
// values and a merged (covered) cell; read like a workbook.
TEST_F(FormFixture, LibreOfficeSpreadsheet) {
    const std::string content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body>"
        "<office:spreadsheet><table:table table:name=\"คะแนน\">"
        "<table:table-row><table:table-cell table:number-columns-spanned=\"3\" "
        "office:value-type=\"string\"><text:p>แบบทดสอบ<text:s table:c=\"2\"/>ม.3</text:p>"
        "</table:table-cell><table:covered-table-cell table:number-columns-repeated=\"2\"/>"
        "<table:table-cell table:number-columns-repeated=\"1020\"/></table:table-row>"
        "<table:table-row><table:table-cell office:value-type=\"string\"><text:p>เลขที่</text:p>"
        "</table:table-cell><table:table-cell office:value-type=\"string\"><text:p>ชื่อ</text:p>"
        "</table:table-cell><table:table-cell office:value-type=\"string\"><text:p>ข้อ 1</text:p>"
        "</table:table-cell><table:table-cell office:value-type=\"string\"><text:p>ข้อ 2</text:p>"
        "</table:table-cell></table:table-row>"
        "<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"1\">"
        "<text:p>1.00</text:p></table:table-cell><table:table-cell office:value-type=\"string\">"
        "<text:p>ก้อง</text:p></table:table-cell><table:table-cell office:value-type=\"float\" "
        "office:value=\"2\"><text:p>2</text:p></table:table-cell>"
        "<table:table-cell office:value-type=\"string\"><text:p>ค</text:p></table:table-cell>"
        "</table:table-row>"
        "<table:table-row table:number-rows-repeated=\"1048572\"><table:table-cell "
        "table:number-columns-repeated=\"1024\"/></table:table-row>"
        "</table:table></office:spreadsheet></office:body></office:document-content>";
    const std::string path = dir.file("ของครู.ods");
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    ASSERT_NE(z, nullptr);
    for (const auto& [name, text] :
         {std::pair<const char*, std::string>{"mimetype",
                                              "application/vnd.oasis.opendocument.spreadsheet"},
          {"content.xml", content}}) {
        char* copy = static_cast<char*>(std::malloc(text.size()));
        std::memcpy(copy, text.data(), text.size());
        zip_file_add(z, name, zip_source_buffer(z, copy, text.size(), 1), ZIP_FL_OVERWRITE);
    }
    ASSERT_EQ(zip_close(z), 0);
    ia::ImportPlan plan = ia::ReadImportSource(path, 4, 4, {});
    EXPECT_EQ(plan.headerRow, 2);
    Apply(plan);
    EXPECT_EQ(iatest::ExamRows(exam, 4), (Rows{{"KEY", "", "", "", ""}, {"1", "2", "3", "", ""}}));
    EXPECT_EQ(SheetNamesAndGroups(exam), (Rows{{"1", "ก้อง", ""}}));
    ia::ImportOptions o;
    o.sheet = "อื่น";
    EXPECT_EQ(ia::ReadImportSource(path, 4, 4, o).errors,
              std::vector<std::string>{"ไม่มีแผ่นงานชื่อ อื่น ในสมุดงาน"});
}

// A .txt given character positions is read as fixed width, never as a
// table with the positions ignored.
TEST_F(FormFixture, PositionsMakeATextFileFixedWidth) {
    ia::ImportOptions o;
    o.codeFrom = 1;
    o.codeTo = 3;
    o.answersFrom = 5;
    const ia::ImportPlan plan = Read("scan.txt", "001 1234\n002 4321\n", o);
    EXPECT_EQ(plan.kind, ia::SourceKind::Fixed);
    ASSERT_EQ(plan.sheets.size(), 2u);
    EXPECT_EQ(plan.sheets[1].answers, (std::vector<std::string>{"4", "3", "2", "1"}));
}

// A Google Forms quiz exports each score, not the key: the key is the one
// that gives every score, or the import goes on without one and says why.
TEST_F(FormFixture, GoogleFormsKeyFromTheScores) {
    auto form = [](const std::string& lastScore) {
        return "Timestamp,Score,Student ID,Q1,Q2,Q3\n"
               "2026/12/01 9:00:00,3 / 3,1,B. x,C. y,A. z\n"
               "2026/12/01 9:01:00,2 / 3,2,B. x,A. y,A. z\n"
               "2026/12/01 9:02:00,1 / 3,3,A. x,C. y,D. z\n"
               "2026/12/01 9:03:00,0 / 3,4,D. x,D. y,D. z\n"
               "2026/12/01 9:04:00," +
               lastScore + ",5,B. x,C. y,B. z\n";
    };
    ia::ImportPlan plan = Read("scores.csv", form("2 / 3"));
    ASSERT_TRUE(plan.hasKey) << ia::ErrorSummary(plan.warnings);
    EXPECT_EQ(plan.key.answers, (std::vector<std::string>{"2", "3", "1", ""}));
    plan = Read("scores.csv", form("3 / 3"));
    EXPECT_FALSE(plan.hasKey);
    EXPECT_NE(std::find(plan.warnings.begin(), plan.warnings.end(),
                        "หาเฉลยจากคะแนนไม่ได้ (ไม่มีเฉลยใดให้คะแนนตรงกับของนักเรียนทุกคน) "
                        "นำเข้าโดยไม่มีเฉลย"),
              plan.warnings.end())
        << ia::ErrorSummary(plan.warnings);
    // Points that are not one per question say nothing about the key.
    plan = Read("scores.csv", form("4 / 6"));
    EXPECT_FALSE(plan.hasKey);
    EXPECT_TRUE(plan.ok());
}

// The teacher's roles given by letters: the rest ignored, errors named by
// column letter and question.
TEST_F(FormFixture, RolesGivenByTheTeacher) {
    const std::string csv = "ห้อง,รหัส,ชื่อ,หมายเหตุ,ก,ข,ค,ง\n"
                            "1,01,ก้อง,มาสาย,1,2,3,4\n"
                            "1,02,ฝน,,1,2,9,4\n";
    ia::ImportOptions o;
    o.columns = "group=A,code=B,name=C,answers=E:H,ignore=D";
    ia::ImportPlan plan = Read("mine.csv", csv, o);
    EXPECT_EQ(plan.errors,
              std::vector<std::string>{"แถว 3 คอลัมน์ G (ข้อ 3): \"9\" เกินจำนวนตัวเลือก (4)"});
    o.columns = "group=A,code=B,name=C,answers=E:F";
    plan = Read("mine.csv", csv, o);
    ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
    EXPECT_EQ(ia::RolesLine(plan.roles), "A=กลุ่ม B=รหัส C=ชื่อ D=ไม่ใช้ E:F=ข้อ 1-2 G:H=ไม่ใช้");
    EXPECT_EQ(plan.sheets.at(0).answers, (std::vector<std::string>{"1", "2", "", ""}));
    EXPECT_EQ(plan.sheets.at(0).name, "ก้อง");
    EXPECT_EQ(plan.sheets.at(0).group, "1");
    // A header of no known words is still told by its answer columns.
    plan = Read("plain.csv", "ห้อง,เลข,ช,หมายเหตุ,ข้อแรก,ข้อสอง\n1,01,ก้อง,,ก,ข\n", o);
    ASSERT_TRUE(plan.ok()) << ia::ErrorSummary(plan.errors);
    EXPECT_EQ(plan.headerRow, 1);
    ASSERT_EQ(plan.sheets.size(), 1u);
}

} // namespace
