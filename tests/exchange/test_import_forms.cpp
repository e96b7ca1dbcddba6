// SPDX-License-Identifier: GPL-3.0-or-later
// Option texts of forms numbered exactly or refused, and the sources of the
// tools teachers use read in their own layouts.
#include "ExchangeFixtures.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "exchange/ColumnRoles.h"
#include "exchange/OptionNumbers.h"
#include "exchange/SheetImport.h"

#include <gtest/gtest.h>

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

} // namespace
