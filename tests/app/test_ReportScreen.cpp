// SPDX-License-Identifier: GPL-3.0-or-later
// The report as the report panel shows it: laid out again from the
// printout's column positions, so that Thai vowels and tone marks and empty
// values never move the columns after them.

#include "app/ReportView.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

using ia::PrintedText;

// Screen column at which `piece` starts in `line` (-1 when absent).
int ColumnOf(const QString& line, const QString& piece) {
    const qsizetype at = line.indexOf(piece);
    return at < 0 ? -1 : ia::ScreenColumns(line.left(at));
}

QStringList Lines(const std::vector<PrintedText>& printed) {
    return ia::ScreenReportText(printed).split('\n');
}

TEST(ScreenColumns, ThaiMarksAboveAndBelowTakeNoColumn) {
    EXPECT_EQ(ia::ScreenColumns("ที่"), 1);
    EXPECT_EQ(ia::ScreenColumns("ข้อสอบที่ดี"), 7);
    EXPECT_EQ(ia::ScreenColumns("ตำ"), 2); // sara am is a letter of its own
    EXPECT_EQ(ia::ScreenColumns("Delta"), 5);
}

// One printed line: the texts at their x positions, and where on screen each
// must start (the 124-column rule spans 15.8 cm from x = 3 cm).
struct LineCase {
    const char* name;
    std::vector<std::pair<double, const char*>> texts;
    std::vector<std::pair<const char*, int>> starts;
};

class ScreenLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ScreenLine, TextsStartAtTheColumnsOfTheirPrintPositions) {
    const LineCase& c = GetParam();
    std::vector<PrintedText> printed;
    for (const auto& [x, text] : c.texts)
        printed.push_back({1, x, 1.6, text, ia::Orientation::Portrait});
    const QStringList lines = Lines(printed);
    ASSERT_EQ(lines.size(), 1) << lines.join('|').toStdString();
    for (const auto& [piece, column] : c.starts)
        EXPECT_EQ(ColumnOf(lines[0], QString::fromUtf8(piece)), column)
            << c.name << ": " << piece << " in [" << lines[0].toStdString() << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Report, ScreenLine,
    ::testing::Values(
        // Marks in the comment of a row before nothing, in the heading before H.
        LineCase{"marks", {{3.0, "    ข้อ ตัวเลือก"}, {5.5, "H"}, {6.5, "L"}}, {{"H", 20}, {"L", 27}}},
        // An empty PH: PL, p and r keep their columns.
        LineCase{"empty value",
                 {{5.5, "12"}, {7.5, ""}, {8.5, ".33"}, {9.5, ".65"}, {10.8, ".63"}},
                 {{"12", 20}, {".33", 43}, {".65", 51}, {".63", 61}}},
        // Blank-padded item numbers end in the same column (a printed blank
        // is half a digit).
        LineCase{"item 7", {{3.0, "      7"}, {4.5, "*ก"}}, {{"7", 3}, {"*ก", 12}}},
        LineCase{"item 12", {{3.0, "    12"}, {4.5, "  ข"}}, {{"12", 2}, {"ข", 13}}},
        LineCase{"item 217", {{3.0, "  217"}, {4.5, "  ค"}}, {{"217", 1}, {"ค", 13}}},
        // A text running past the next position pushes it one blank on.
        LineCase{"overrun", {{3.0, "ข้อที่ความยากปานกลางมากมากมากมาก"}, {4.0, "x"}}, {{"x", 30}}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (ch == ' ') ch = '_';
        return n;
    });

TEST(ScreenReport, LinesFollowThePrintStepsAndPagesFollowOneAnother) {
    const std::vector<PrintedText> printed{
        {1, 10.0, 1.0, "1", ia::Orientation::Portrait},
        {1, 3.0, 2.2, "first", ia::Orientation::Portrait},
        {1, 3.0, 2.8, "second", ia::Orientation::Portrait},
        {2, 10.0, 1.0, "2", ia::Orientation::Portrait},
        {2, 3.0, 1.6, "next page", ia::Orientation::Portrait},
    };
    const QStringList lines = Lines(printed);
    const QStringList expected{QString(55, ' ') + "1", "",         "first", "second", "",
                               QString(55, ' ') + "2", "next page"};
    EXPECT_EQ(lines, expected) << lines.join('|').toStdString();
}

TEST(ScreenReport, EmptyPrintsAndTrailingBlanksLeaveNothing) {
    EXPECT_EQ(ia::ScreenReportText({}), QString());
    const std::vector<PrintedText> printed{{1, 3.0, 1.0, "a   ", ia::Orientation::Portrait},
                                           {1, 3.0, 1.6, "", ia::Orientation::Portrait}};
    EXPECT_EQ(ia::ScreenReportText(printed), QString("a"));
}

} // namespace
