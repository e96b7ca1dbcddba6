// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExchangeFixtures.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "exchange/BlockPaste.h"

#include <gtest/gtest.h>

namespace {

using iatest::Rows;

struct PasteFixture : ::testing::Test {
    iatest::TempDir dir;
    std::string exam = dir.file("ก.ans");
    void SetUp() override {
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"1", "2", "3"},
                             {{"01", "1", "1", "1"}, {"02", "2", "2", "2"}});
    }
    ia::PasteOutcome Paste(int position, int column, const std::string& text) {
        ia::Connection db(exam);
        std::vector<long long> rowids;
        ia::Statement st = db.prepare("SELECT rowid FROM TAData ORDER BY rowid");
        while (st.step())
            rowids.push_back(st.columnInt(0));
        return ia::PasteBlock(db, rowids, position, column, text, 3, 4);
    }
};

TEST_F(PasteFixture, FillsRightAndDownAddingRows) {
    // From item 2 of the second sheet: two lines, the second a new sheet.
    ia::PasteOutcome out = Paste(1, 2, "ค\tD\r\nข. สอง\t\r\n");
    ASSERT_TRUE(out.errors.empty()) << out.errors[0];
    EXPECT_EQ(out.rowsAdded, 1);
    EXPECT_EQ(iatest::ExamRows(exam, 3), (Rows{{"KEY", "1", "2", "3"},
                                               {"01", "1", "1", "1"},
                                               {"02", "2", "3", "4"},
                                               {"", "", "2", ""}}));
    // Codes too, from the code column on the new-record row.
    out = Paste(3, 0, "สมศรี\t4\t4\t4\n");
    ASSERT_TRUE(out.errors.empty());
    EXPECT_EQ(iatest::ExamRows(exam, 3).back(), (std::vector<std::string>{"สมศรี", "4", "4", "4"}));
}

TEST_F(PasteFixture, ABadCellChangesNothing) {
    struct Case {
        int column;
        std::string text;
        std::string error;
    } cases[] = {
        {1, "1\t2\nจ\t1\n", "แถว 2 คอลัมน์ 1: \"จ\" เกินจำนวนตัวเลือก (4)"},
        {2, "1\t2\t3\n", "แถว 1 คอลัมน์ 3: เกินจำนวนข้อของไฟล์ (3 ข้อ)"},
        {0, "กกกกกกกกกกกกกกกกกกกกก\t1\n", "แถว 1 คอลัมน์ 1: รหัสยาวเกิน 20 ตัวอักษร"},
    };
    const Rows before = iatest::ExamRows(exam, 3);
    for (const Case& c : cases) {
        ia::PasteOutcome out = Paste(0, c.column, c.text);
        ASSERT_EQ(out.errors.size(), 1u) << c.text;
        EXPECT_EQ(out.errors[0], c.error);
        EXPECT_EQ(iatest::ExamRows(exam, 3), before);
    }
}

} // namespace
