// SPDX-License-Identifier: GPL-3.0-or-later
#include "BoundExam.h"
#include "TestSupport.h"
#include "analysis/SheetChecks.h"
#include "examfile/Engine.h"

#include <gtest/gtest.h>

#include <exception>

using namespace ia;

namespace {

std::vector<std::string> Findings(const std::vector<std::string>& key,
                                  const std::vector<std::vector<std::string>>& sheets,
                                  int nItem = 3) {
    iatest::TempDir dir;
    const std::string path = dir.file("c.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(nItem, 4), key, sheets);
    const std::string before = iatest::FileBytes(path);
    std::vector<std::string> lines;
    {
        Connection db(path);
        lines = SheetWarnings(db, nItem, 4);
    }
    EXPECT_EQ(iatest::FileBytes(path), before); // the checks change nothing

    // The analysis finds the same while it reads the sheets, and tells it
    // before it refuses (too few sheets, no key).
    std::vector<std::string> found{"not set"};
    {
        iatest::BoundExam b(path);
        b.ctx.sheetFindings = &found;
        try {
            RunTechnique(b.ctx, Technique::SimpleFormula25, iatest::BinDir());
        } catch (const std::exception&) {}
    }
    EXPECT_EQ(found, lines);
    return lines;
}

} // namespace

TEST(SheetWarnings, TellWhatATeacherWouldWantToKnow) {
    struct Case {
        const char* what;
        std::vector<std::string> key;
        std::vector<std::vector<std::string>> sheets;
        std::vector<std::string> lines;
    } cases[] = {
        {"clean", {"1", "2", "3"}, {{"1", "1", "2", "3"}, {"2", "0", "", "4"}}, {}},
        {"sheets without any answer",
         {"1", "2", "3"},
         {{"1", "1", "", ""}, {"2", "", "", ""}, {"3", "\x01", "\x01", "\x01"}},
         {"กระดาษคำตอบที่ไม่มีคำตอบเลย 2 แผ่น: เลขที่ 2, 3"}},
        {"repeated and empty codes",
         {"1", "2", "3"},
         {{"7", "1"}, {"7", "2"}, {"7", "3"}, {"", "1"}, {"\x01", "2"}, {" ", "3"}},
         {"เลขที่ซ้ำกัน 1 เลขที่: 7", "กระดาษคำตอบที่ไม่มีเลขที่ 3 แผ่น"}},
        {"repeated codes named in the order their second sheet comes",
         {"1", "2", "3"},
         {{"9", "1"}, {"8", "1"}, {"10", "1"}, {"8", "1"}, {"9", "1"}, {"8", "1"}},
         {"เลขที่ซ้ำกัน 2 เลขที่: 8, 9"}},
        {"items without a key, never typed, empty or 0",
         {"\x01", "", "0"},
         {{"1", "1"}},
         {"ข้อสอบที่ยังไม่มีเฉลย 3 ข้อ: ข้อ 1, 2, 3"}},
        {"answers outside 0 .. choices",
         {"1", "2", "3"},
         {{"1", "5", "a", "1"}, {"2", "9", "1", "2"}},
         {"คำตอบที่ไม่อยู่ในช่วง 0 ถึง 4 มี 3 คำตอบ: เลขที่ 1 ข้อ 1, 1 ข้อ 2, 2 ข้อ 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Findings(c.key, c.sheets), c.lines);
    }
}

TEST(SheetWarnings, LongListsNameTheFirstFew) {
    std::vector<std::vector<std::string>> sheets;
    for (int i = 1; i <= 8; ++i)
        sheets.push_back({std::to_string(i)});
    std::vector<std::string> key(12, "");
    key[0] = "1";
    EXPECT_EQ(Findings(key, sheets, 12),
              (std::vector<std::string>{"กระดาษคำตอบที่ไม่มีคำตอบเลย 8 แผ่น: เลขที่ 1, 2, 3, 4, 5, ...",
                                        "ข้อสอบที่ยังไม่มีเฉลย 11 ข้อ: ข้อ 2, 3, 4, 5, 6, ..."}));
}
