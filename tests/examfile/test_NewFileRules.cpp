// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/NewFileRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ia::HeaderTexts;

HeaderTexts Fields(std::string name, std::string items, std::string choices,
                   std::string year = "2546") {
    return {name, "ท101", "ภาษาไทย", "1", year, items, choices, "ครูสมชาย"};
}

struct Refusal {
    const char* what;
    HeaderTexts fields;
    const char* message;
    int focus;
};

TEST(CheckNewHeader, RefusesInTheOrderTheTeacherIsTold) {
    const Refusal cases[] = {
        {"no file name", Fields("", "", ""), ia::kNeedFileName, 0},
        {"no items", Fields("t", "", "4"), ia::kNeedItemsChoices, 5},
        {"no choices", Fields("t", "40", ""), ia::kNeedItemsChoices, 5},
        {"items not a number", Fields("t", "abc", "4"), ia::kItemsChoicesNotNumbers, 5},
        {"choices not a number", Fields("t", "40", "4x"), ia::kItemsChoicesNotNumbers, 5},
        {"empty before non-numeric", Fields("t", "", "x"), ia::kNeedItemsChoices, 5},
        {"no items at all", Fields("t", "0", "4"), ia::kItemsOutOfRange, 5},
        {"half an item rounds to none", Fields("t", "0.5", "4"), ia::kItemsOutOfRange, 5},
        {"negative items", Fields("t", "-3", "4"), ia::kItemsOutOfRange, 5},
        {"more items than a file holds", Fields("t", "252", "4"), ia::kItemsOutOfRange, 5},
        {"huge items", Fields("t", "1e30", "4"), ia::kItemsOutOfRange, 5},
        {"items checked before choices", Fields("t", "300", "9"), ia::kItemsOutOfRange, 5},
        {"one choice", Fields("t", "40", "1"), ia::kChoicesOutOfRange, 6},
        {"six choices", Fields("t", "40", "6"), ia::kChoicesOutOfRange, 6},
        {"5.5 choices round to six", Fields("t", "40", "5.5"), ia::kChoicesOutOfRange, 6},
        {"year beyond 32 bits", Fields("t", "40", "4", "3000000000"), ia::kYearInvalid, 4},
        {"year below 32 bits", Fields("t", "40", "4", "-3000000000"), ia::kYearInvalid, 4},
        {"year of letters", Fields("t", "40", "4", "abc"), ia::kYearInvalid, 4},
        {"year after letters", Fields("t", "40", "4", "ปี 2546"), ia::kYearInvalid, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto r = ia::CheckNewHeader(c.fields);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.focus, c.focus);
    }
}

TEST(CheckNewHeader, AcceptedHeaderCarriesTheTypedValues) {
    auto r = ia::CheckNewHeader(Fields("exam", "40", "4", "2546"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.fileName, "exam.ans");
    EXPECT_EQ(r.header.SubCode, "ท101");
    EXPECT_EQ(r.header.SubName, "ภาษาไทย");
    EXPECT_EQ(r.header.Term, "1");
    EXPECT_EQ(r.header.TeacherName, "ครูสมชาย");
    EXPECT_EQ(r.header.Yearr, 2546);
    EXPECT_EQ(r.header.nItem, 40);
    EXPECT_EQ(r.header.nChoice, 4);
}

TEST(CheckNewHeader, NumbersRoundHalfToEvenAndReadThaiDigits) {
    struct Case {
        const char *items, *choices, *year;
        int nItem, nChoice, yearr;
    } cases[] = {
        {"2.5", "4", "2546", 2, 4, 2546},
        {"3.5", "2.5", "2546.5", 4, 2, 2546},
        {" 251 ", "5", "", 251, 5, 0},
        {"1", "4.5", "25x", 1, 4, 25},
        {"+7", "3", " ", 7, 3, 0},
        {"1e2", "2", "-5", 100, 2, -5},
        // Thai digits read as the same ASCII digits.
        {"๔๐", "๔", "๒๕๔๖", 40, 4, 2546},
        {"๑๒", "5", "๒๕๔๖ ภาคปลาย", 12, 5, 2546},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.items) + " / " + c.choices + " / " + c.year);
        auto r = ia::CheckNewHeader(Fields("t", c.items, c.choices, c.year));
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.header.nItem, c.nItem);
        EXPECT_EQ(r.header.nChoice, c.nChoice);
        EXPECT_EQ(r.header.Yearr, c.yearr);
    }
}

TEST(ExamPath, ExtensionOnlyWithoutAnyDotAndWorkingDirectoryForRelativeNames) {
    struct Case {
        const char *typed, *expected;
    } cases[] = {
        {"test", "/home/kru/test.ans"},
        {"test.dat", "/home/kru/test.dat"},
        {"/exams/t", "/exams/t.ans"},
        {"exams/t", "/home/kru/exams/t.ans"},
        {"my.dir/t", "/home/kru/my.dir/t"},
        {"sub\\t", "/home/kru/sub\\t.ans"},
        {"C:\\exams\\t", "/home/kru/C:\\exams\\t.ans"},
        {"*?[x]", "/home/kru/*?[x].ans"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(ia::ExamPathIn(ia::WithExamExtension(c.typed), "/home/kru"), c.expected);
    }
}

TEST(WriteBack, YearAndChoicesAreReadAsTheNumberTheTextBeginsWith) {
    EXPECT_EQ(ia::YearForWriteBack("2545abc"), 2545);
    EXPECT_EQ(ia::YearForWriteBack("abc2545"), std::nullopt);
    EXPECT_EQ(ia::YearForWriteBack("ปี"), std::nullopt);
    EXPECT_EQ(ia::YearForWriteBack(""), 0);
    EXPECT_EQ(ia::YearForWriteBack("  "), 0);
    EXPECT_EQ(ia::YearForWriteBack("๒๕๔๕"), 2545);
    EXPECT_EQ(ia::YearForWriteBack(" ๒๕๔๕/๑"), 2545);
    EXPECT_EQ(ia::YearForWriteBack("2545.5"), 2546);
    EXPECT_EQ(ia::YearForWriteBack("2147483647"), 2147483647);
    EXPECT_EQ(ia::YearForWriteBack("2147483648"), std::nullopt);

    EXPECT_EQ(ia::ChoicesForWriteBack("4"), 4);
    EXPECT_EQ(ia::ChoicesForWriteBack("๓"), 3);
    EXPECT_EQ(ia::ChoicesForWriteBack("5 choices"), 5);
    EXPECT_EQ(ia::ChoicesForWriteBack("2.5"), 2);
    EXPECT_EQ(ia::ChoicesForWriteBack("1.5"), 2);
    EXPECT_EQ(ia::ChoicesForWriteBack("abc"), std::nullopt);
    EXPECT_EQ(ia::ChoicesForWriteBack("0"), std::nullopt);
    EXPECT_EQ(ia::ChoicesForWriteBack("6"), std::nullopt);
    EXPECT_EQ(ia::ChoicesForWriteBack("260"), std::nullopt); // would wrap to 4 as a byte
}

} // namespace
