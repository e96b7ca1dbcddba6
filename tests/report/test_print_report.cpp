// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Format.h"
#include "report/PrintReport.h"
#include "report/PrintState.h"
#include "report/Printer.h"
#include "report/PrinterRecording.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#ifdef ITEMANALYSIS_WITH_QT
#include "report/PrinterQt.h"
#endif

#include <ostream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using ia::PrintedText;
using ia::PrintJob;
using ia::ReportData;

std::string Dec2(double v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    if (s.rfind("0.", 0) == 0) s.erase(0, 1);
    if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
    return std::string(s.size() < 4 ? 4 - s.size() : 0, ' ') + s;
}

// Values of one keyed item's row.
struct ItemValues {
    double p = .5;
    double r = .5;
};

// A report of nItem items with nChoice choices, keyed on choice 2, with the
// given p and r per item (default .50/.50); items in `spoiled` have a blank
// key.
ReportData MakeReport(int nItem, int nChoice, int kind, std::vector<ItemValues> values = {},
                      std::set<int> spoiled = {}) {
    ReportData d;
    d.AnalysisKind = kind;
    d.SheetCount = 48;
    d.keys.resize(nItem + 2);
    for (int i = 1; i <= nItem; ++i) {
        const bool blank = spoiled.count(i) > 0;
        d.keys[i] = blank ? "" : "2";
        const ItemValues v = i - 1 < static_cast<int>(values.size()) ? values[i - 1] : ItemValues{};
        for (int c = 1; c <= nChoice; ++c) {
            ia::OutRow row;
            row.ItemNo = i;
            row.ChoiceNo = c;
            row.IsAns = !blank && c == 2 ? 1 : 0;
            row.H = row.IsAns ? 9 : (c == 1 ? 0 : 1);
            row.L = row.IsAns ? 3 : 2;
            row.PH = Dec2(row.H / 12.0);
            row.PL = Dec2(row.L / 12.0);
            row.P = row.IsAns ? Dec2(v.p) : Dec2((row.H + row.L) / 24.0);
            row.r = row.IsAns ? Dec2(v.r) : Dec2((row.H - row.L) / 12.0);
            row.Delta = "13.0";
            if (row.IsAns) row.Zr = " .55";
            row.Explain = row.IsAns ? "ยากง่ายปานกลาง  อำนาจจำแนกดีมาก" : "ดี คนอ่อนหลงตอบมากกว่า";
            d.rows.push_back(row);
        }
    }
    d.KeyedItemCount = static_cast<int16_t>(nItem - spoiled.size());
    d.UnkeyedItemCount = static_cast<int16_t>(spoiled.size());
    d.stat.nItem = d.KeyedItemCount;
    d.stat.Xbar = "  24.50";
    d.stat.SD = "  6.21";
    d.stat.KR20 = " .8123";
    d.stat.SEmea = "  2.70";
    d.stat.Pav = " .50";
    d.stat.Rav = " .50";
    d.stat.Dav = "13.0";
    d.stat.Zrav = " .55";
    return d;
}

struct Printed {
    ia::RecordingPrinter prn;
    PrintJob job;
    ia::TestHeader header = iatest::MakeHeader(1, 4);
};

void Print(Printed& out, const ReportData& d, int nChoice, int nItem,
           const std::string& school = "โรงเรียนบ้านหนองบัว") {
    out.header.nItem = static_cast<int16_t>(nItem);
    out.header.nChoice = static_cast<uint8_t>(nChoice);
    ia::PrintOutput(out.prn, out.job, out.header, school, d, nChoice, nItem);
}

std::vector<PrintedText> Visible(const ia::RecordingPrinter& prn) {
    std::vector<PrintedText> v;
    for (const auto& t : prn.Texts())
        if (!t.text.empty()) v.push_back(t);
    return v;
}

// The first text printed at (x, y) on the sheet, or nullptr.
const PrintedText* At(const std::vector<PrintedText>& v, int sheet, double x, double y) {
    for (const auto& t : v)
        if (t.sheet == sheet && std::fabs(t.x - x) < 1e-4 && std::fabs(t.y - y) < 1e-4) return &t;
    return nullptr;
}

std::string TextAt(const std::vector<PrintedText>& v, int sheet, double x, double y) {
    const PrintedText* t = At(v, sheet, x, y);
    return t ? t->text : "<nothing>";
}

// The page numbers printed at the top of the sheets, in sheet order.
std::vector<std::string> PageNumbers(const std::vector<PrintedText>& v) {
    std::vector<std::string> n;
    for (const auto& t : v)
        if (std::fabs(t.y - 1.0) < 1e-4) n.push_back(t.text);
    return n;
}

double Centred(const ia::Printer& prn, const std::string& s) {
    return 3.0 + (15.8 - prn.TextWidth(s)) / 2;
}

struct CountCase {
    int keyed;
    int nChoice;
    int pages;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.keyed << " keyed items of " << c.nChoice << " choices -> " << c.pages << " pages";
}

class PageCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(PageCount, NumPageIsThePagesPrinted) {
    const CountCase c = GetParam();
    const ReportData d = MakeReport(c.keyed, c.nChoice, 1);
    PrintJob job;
    EXPECT_EQ(ia::NumPage(job, d, c.nChoice, c.keyed), c.pages);
    EXPECT_EQ(job.PageCount, c.pages);

    Printed out;
    Print(out, d, c.nChoice, c.keyed);
    EXPECT_EQ(out.job.PageCount, c.pages);
    EXPECT_EQ(out.prn.SheetCount(), c.pages);
    EXPECT_EQ(out.prn.NewPageCount(), c.pages - 1);
    EXPECT_EQ(out.prn.EndDocCount(), 1);
    const auto v = Visible(out.prn);
    std::vector<std::string> want;
    for (int p = 1; p <= c.pages; ++p)
        want.push_back(std::to_string(p));
    EXPECT_EQ(PageNumbers(v), want);
    // Every sheet carries something under its page header.
    for (int s = 1; s <= c.pages; ++s) {
        EXPECT_TRUE(std::any_of(v.begin(), v.end(),
                                [&](const PrintedText& t) { return t.sheet == s && t.y > 5.01; }))
            << "sheet " << s;
    }
}

INSTANTIATE_TEST_SUITE_P(Reports, PageCount,
                         ::testing::Values(CountCase{24, 2, 4}, CountCase{36, 2, 6},
                                           CountCase{35, 5, 9}, CountCase{14, 4, 4},
                                           CountCase{40, 4, 9}, CountCase{9, 3, 3},
                                           CountCase{70, 4, 14}, CountCase{1, 5, 3}));

TEST(PrintOutput, PageCountFollowsTheLayoutWithSpoiledItems) {
    // Item 7 is spoiled: it still closes page 1, and its summary row is absent.
    const ReportData d = MakeReport(8, 4, 2, {}, {7});
    Printed out;
    Print(out, d, 4, 8);
    EXPECT_EQ(out.job.PageCount, 4);
    EXPECT_EQ(out.prn.SheetCount(), 4);
    const auto v = Visible(out.prn);
    // Page 1: six item blocks of 5 lines (4 rows + rule), then item 7's rule.
    EXPECT_EQ(TextAt(v, 1, 3.0, 5.0 + 6 * 3.0 + 0.6), std::string(124, '-'));
    EXPECT_EQ(At(v, 1, 3.0, 5.0 + 6 * 3.0 + 1.2), nullptr);
    // Page 2 holds item 8 only.
    EXPECT_EQ(TextAt(v, 2, 3.0, 5.6 + 0.6), "      8");
    // The spoiled item is counted on the results page.
    EXPECT_EQ(TextAt(v, 4, 3.0, 5.0), "จำนวนข้อสอบที่เสีย   ");
    EXPECT_EQ(TextAt(v, 4, 9.4, 5.0), "1");
    EXPECT_EQ(TextAt(v, 4, 9.4, 4.4), "7");
}

struct HeaderCase {
    int kind;
    const char* title;
    std::vector<std::pair<double, std::string>> headings;
    std::vector<std::pair<double, std::string>> firstRow;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << "technique " << (c.kind == 1 ? "25 %" : "27 %");
}

class FirstPage : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(FirstPage, HeaderAndFirstRowPositions) {
    const HeaderCase c = GetParam();
    Printed out;
    Print(out, MakeReport(7, 4, c.kind), 4, 7);
    const auto v = Visible(out.prn);
    const std::string headerLine = "วิชา ท31101  ภาษาไทย   เทอม 1/2546    อาจารย์ผู้สอน : ครูประจำวิชา";
    const std::string school = "โรงเรียนบ้านหนองบัว";
    EXPECT_EQ(TextAt(v, 1, Centred(out.prn, "1"), 1.0), "1");
    EXPECT_EQ(TextAt(v, 1, Centred(out.prn, school), 2.0), school);
    EXPECT_EQ(TextAt(v, 1, Centred(out.prn, c.title), 2.6), c.title);
    EXPECT_EQ(TextAt(v, 1, Centred(out.prn, headerLine), 3.2), headerLine);
    EXPECT_EQ(TextAt(v, 1, 3.0, 3.8), std::string(124, '-'));
    for (const auto& [x, text] : c.headings)
        EXPECT_EQ(TextAt(v, 1, x, 4.4), text) << x;
    EXPECT_EQ(TextAt(v, 1, 3.0, 5.0), std::string(124, '-'));
    for (const auto& [x, text] : c.firstRow)
        EXPECT_EQ(TextAt(v, 1, x, 5.6), text) << x;
    // Item 1's number stands on its second choice's line, the rule after the last.
    EXPECT_EQ(TextAt(v, 1, 3.0, 6.2), "      1");
    EXPECT_EQ(TextAt(v, 1, 4.5, 6.2), "*ข");
    EXPECT_EQ(TextAt(v, 1, 3.0, 8.0), std::string(124, '-'));
    EXPECT_EQ(TextAt(v, 1, 3.0, 8.6), "         ");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FirstPage,
    ::testing::Values(HeaderCase{1,
                                 "การวิเคราะห์ข้อสอบรายข้อ  โดยใช้สูตรอย่างง่าย กลุ่มสูง กลุ่มต่ำ 25 %",
                                 {{3.0, "    ข้อ ตัวเลือก"},
                                  {5.5, "H"},
                                  {6.5, "L"},
                                  {7.7, "p"},
                                  {8.7, "r"},
                                  {9.7, "Delta          วิจารณ์"}},
                                 {{3.0, "         "},
                                  {4.5, "  ก"},
                                  {5.5, " -"},
                                  {6.5, "2"},
                                  {7.5, " .08"},
                                  {8.5, "-.17"},
                                  {9.7, "13.0"},
                                  {11.0, "ดี คนอ่อนหลงตอบมากกว่า"}}},
                      HeaderCase{2,
                                 "การวิเคราะห์ข้อสอบรายข้อ  โดยใช้ตาราง CHUNG TEH FAN กลุ่มสูง กลุ่มต่ำ 27 %",
                                 {{3.0, "    ข้อ ตัวเลือก"},
                                  {5.5, "H"},
                                  {6.5, "L"},
                                  {7.5, "PH"},
                                  {8.5, "PL"},
                                  {9.7, "p"},
                                  {10.8, "r"},
                                  {11.6, "Delta         วิจารณ์"}},
                                 {{3.0, "         "},
                                  {4.5, "  ก"},
                                  {5.5, " -"},
                                  {6.5, "2"},
                                  {7.5, "  -"},
                                  {8.5, " .17"},
                                  {9.5, " .08"},
                                  {10.5, "-.17"},
                                  {11.7, "13.0"},
                                  {12.8, "ดี คนอ่อนหลงตอบมากกว่า"}}}));

TEST(PrintOutput, FanHeadingGainsABlankAfterTheFirstPage) {
    Printed out;
    Print(out, MakeReport(8, 4, 2), 4, 8);
    const auto v = Visible(out.prn);
    EXPECT_EQ(TextAt(v, 1, 11.6, 4.4), "Delta         วิจารณ์");
    EXPECT_EQ(TextAt(v, 2, 11.6, 4.4), "Delta          วิจารณ์");
}

TEST(PrintOutput, EmptyValuesPrintNothingAndZerosADash) {
    ReportData d = MakeReport(1, 2, 1);
    d.rows[0].P = std::nullopt;
    d.rows[0].r = "";
    d.rows[0].Delta = "  .00";
    d.rows[1].L = 0;
    Printed out;
    Print(out, d, 2, 1, "");
    const auto v = Visible(out.prn);
    EXPECT_EQ(At(v, 1, 7.5, 5.6), nullptr);
    EXPECT_EQ(At(v, 1, 8.5, 5.6), nullptr);
    EXPECT_EQ(TextAt(v, 1, 9.7, 5.6), "  -");
    EXPECT_EQ(TextAt(v, 1, 6.5, 6.2), " -");
    // Without a school name its line stays empty and the rest keeps its place.
    EXPECT_EQ(At(v, 1, Centred(out.prn, ""), 2.0), nullptr);
    EXPECT_EQ(TextAt(v, 1, 3.0, 3.8), std::string(124, '-'));
}

TEST(PrintOutput, SummaryPageRowsAndAverages) {
    Printed out;
    Print(out, MakeReport(3, 4, 1, {{.5, .5}, {.05, 0}, {.75, -.05}}), 4, 3);
    const auto v = Visible(out.prn);
    const std::string title = "สรุป ค่า p ค่า r รายข้อ โดยสูตรอย่างง่าย   กลุ่มสูง กลุ่มต่ำ 25 %";
    EXPECT_EQ(TextAt(v, 2, Centred(out.prn, title), 2.6), title);
    const std::vector<std::pair<double, std::string>> headings = {
        {8.4, "ข้อ"}, {9.5, "p"}, {10.5, "r"}, {11.2, "Delta"}, {12.9, "Zr"}};
    for (const auto& [x, text] : headings)
        EXPECT_EQ(TextAt(v, 2, x, 4.4), text);
    EXPECT_EQ(TextAt(v, 2, 7.5, 5.0), std::string(53, '-'));
    EXPECT_EQ(TextAt(v, 2, 8.2, 5.6), ia::FormatInt3(1));
    EXPECT_EQ(TextAt(v, 2, 9.2, 5.6), " .50");
    EXPECT_EQ(TextAt(v, 2, 10.2, 6.2), "  -");
    EXPECT_EQ(TextAt(v, 2, 10.2, 6.8), "-.05");
    EXPECT_EQ(TextAt(v, 2, 12.7, 6.8), " .55");
    EXPECT_EQ(TextAt(v, 2, 7.5, 7.4), std::string(53, '-'));
    EXPECT_EQ(TextAt(v, 2, 8.0, 8.0), "เฉลี่ย");
    EXPECT_EQ(TextAt(v, 2, 9.2, 8.0), " .50");
    EXPECT_EQ(TextAt(v, 2, 12.7, 8.0), " .55");
    EXPECT_EQ(TextAt(v, 2, 7.5, 8.6), std::string(53, '-'));
}

TEST(PrintOutput, ResultsAndQualitySummary) {
    // Items 1-17 keep 2, 18 discard 2, 19 discard 3, 20 improve 1.
    std::vector<ItemValues> values(17, {.5, .5});
    values.push_back({.5, 0});
    values.push_back({.5, -.05});
    values.push_back({.85, .3});
    Printed out;
    Print(out, MakeReport(20, 4, 1, values), 4, 20);
    const auto v = Visible(out.prn);
    const int s = out.prn.SheetCount();
    ASSERT_EQ(s, 5);
    const std::vector<std::tuple<double, double, std::string>> want = {
        {3.0, 4.4, "จำนวนข้อสอบที่วิเคราะห์   "},
        {9.4, 4.4, "20"},
        {3.0, 5.0, "จำนวนกระดาษคำตอบ"},
        {9.4, 5.0, "48"},
        {9.0, 5.6, "  24.50"},
        {9.0, 6.2, "  6.21"},
        {3.0, 6.8, "ความเชื่อมั่น KR-20"},
        {9.0, 6.8, " .8123"},
        {9.0, 7.4, "  2.70"},
        {3.0, 8.0, std::string(124, '-')},
        {3.0, 9.8, std::string(124, '-')},
        {3.0, 10.4, "ข้อสอบที่ดี ควรเก็บไว้ ได้แก่"},
        {3.0, 11.0, "   1. ข้อที่ค่อนข้างง่าย อำนาจจำแนกดี"},
        {11.0, 11.0, "ไม่มี"},
        {3.0, 12.2, "   2. ข้อที่ยากง่ายปานกลาง อำนาจจำแนกดี"},
        {11.0, 12.2, "มี   17  ข้อ  ได้แก่ข้อ"},
        {4.0, 12.8, " 1"},
        {5.0, 12.8, " 2"},
        {19.0, 12.8, " 16"},
        {4.0, 13.4, " 17"},
        {3.0, 14.0, "   3. ข้อที่ค่อนข้างยาก อำนาจจำแนกดี"},
        {3.0, 15.2, "ข้อที่ควรปรับปรุงได้แก่"},
        {3.0, 15.8, "   1. ข้อที่ง่ายมาก อำนาจจำแนกดี"},
        {11.0, 15.8, "มี   1  ข้อ  ได้แก่ข้อ"},
        {4.0, 16.4, " 20"},
        {3.0, 19.4, "ข้อสอบที่ควรตัดทิ้งได้แก่"},
        {3.0, 20.0, "   1. ข้อที่ยากมากหรือง่ายมาก  อำนาจจำแนกไม่ดี"},
        {3.0, 21.2, "   2. ข้อที่ไม่มีอำนาจจำแนก (อำนาจจำแนกเป็น 0)"},
        {4.0, 21.8, " 18"},
        {3.0, 22.4, "   3. ข้อที่อำนาจจำแนกเป็นลบ"},
        {4.0, 23.0, " 19"},
        {3.0, 23.6, std::string(124, '-')},
    };
    for (const auto& [x, y, text] : want)
        EXPECT_EQ(TextAt(v, s, x, y), text) << x << ", " << y;
    const std::string title = "สรุปคุณภาพของข้อสอบ";
    EXPECT_EQ(TextAt(v, s, Centred(out.prn, title), 9.2), title);
    EXPECT_EQ(At(v, s, 20.0, 12.8), nullptr); // 16 to a line
    EXPECT_EQ(At(v, s, 5.0, 13.4), nullptr);
}

TEST(PrintOutput, LongQualityListsGoOnToAnotherPage) {
    // 250 items in two categories: eight list lines each.
    std::vector<ItemValues> values(125, {.5, .3});
    values.resize(250, {.5, -.3});
    PrintJob job;
    const ReportData d = MakeReport(250, 2, 1, values);
    Printed out;
    Print(out, d, 2, 250);
    EXPECT_EQ(out.prn.SheetCount(), ia::NumPage(job, d, 2, 250));
    const auto v = Visible(out.prn);
    for (const auto& t : v)
        EXPECT_LE(t.y, 27.8 + 1e-4) << t.text;
    const int last = out.prn.SheetCount();
    const std::string title = "ผลการวิเคราะห์รายฉบับ โดยสูตรอย่างง่าย   กลุ่มสูง กลุ่มต่ำ 25 %";
    EXPECT_EQ(TextAt(v, last, Centred(out.prn, title), 2.6), title);
    EXPECT_EQ(TextAt(v, last - 1, Centred(out.prn, title), 2.6), title);
}

struct SelectionCase {
    int mode;
    double from;
    int to;
    std::vector<std::string> pages;
    int pageToAfter;
};

void PrintTo(const SelectionCase& c, std::ostream* os) {
    *os << "mode " << c.mode << " from " << c.from << " to " << c.to << " -> pages";
    for (const auto& p : c.pages)
        *os << " " << p;
}

class Selection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(Selection, NewPagesOnlyBetweenPrintedPages) {
    const SelectionCase c = GetParam();
    Printed out;
    out.job.PrintMode = static_cast<int16_t>(c.mode);
    out.job.PageFrom = c.from;
    out.job.PageTo = static_cast<int16_t>(c.to);
    Print(out, MakeReport(21, 4, 1), 4, 21); // pages: 3 of items, summary, results
    EXPECT_EQ(out.job.PageCount, 5);
    EXPECT_EQ(out.job.PageTo, c.pageToAfter);
    const auto v = Visible(out.prn);
    EXPECT_EQ(PageNumbers(v), c.pages);
    const int sheets = static_cast<int>(c.pages.size());
    EXPECT_EQ(out.prn.NewPageCount(), std::max(0, sheets - 1));
    EXPECT_EQ(out.prn.SheetCount(), sheets);
    // Each printed page has a sheet of its own.
    int sheet = 0;
    for (const auto& t : v) {
        if (std::fabs(t.y - 1.0) < 1e-4) {
            EXPECT_EQ(t.sheet, ++sheet) << t.text;
        }
    }
    EXPECT_EQ(out.prn.EndDocCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    FivePages, Selection,
    ::testing::Values(SelectionCase{1, 0, 0, {"1", "2", "3", "4", "5"}, 0},
                      SelectionCase{2, 0, 0, {"1", "3", "5"}, 0},
                      SelectionCase{3, 0, 0, {"2", "4"}, 0}, SelectionCase{4, 2, 3, {"2", "3"}, 3},
                      SelectionCase{4, 2, 9, {"2", "3", "4", "5"}, 5},
                      SelectionCase{4, 2.5, 4, {"3", "4"}, 4}, SelectionCase{4, 2.5, 0, {}, 0},
                      SelectionCase{4, 3, 0, {"3"}, 0}, SelectionCase{4, 4, 2, {}, 2},
                      SelectionCase{7, 1, 5, {}, 5}));

TEST(PrintOutput, EvenPagesOfAFourPageReportEndWithoutABlankSheet) {
    Printed out;
    out.job.PrintMode = 2;
    Print(out, MakeReport(24, 2, 1), 2, 24);
    EXPECT_EQ(out.job.PageCount, 4);
    EXPECT_EQ(PageNumbers(Visible(out.prn)), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(out.prn.NewPageCount(), 1);
}

TEST(PrintOutput, BlankHeaderFieldsAreFilledAndStay) {
    Printed out;
    out.header.SubCode = "";
    out.header.SubName = "";
    out.header.Term = "";
    Print(out, MakeReport(2, 4, 1), 4, 2);
    EXPECT_EQ(out.header.SubCode, std::string(11, ' '));
    EXPECT_EQ(out.header.SubName, std::string(19, ' '));
    EXPECT_EQ(out.header.Term, std::string(7, ' '));
    const std::string line = "วิชา " + std::string(11, ' ') + "  " + std::string(19, ' ') +
                             "   เทอม " + std::string(7, ' ') + "/2546    อาจารย์ผู้สอน : ครูประจำวิชา";
    EXPECT_EQ(TextAt(Visible(out.prn), 1, Centred(out.prn, line), 3.2), line);
}

#ifdef ITEMANALYSIS_WITH_QT
// A realistic 40-item report into a PDF file, one page per laid-out page.
// ITEMANALYSIS_KEEP_PDF names a folder to keep the file in for a look.
TEST(PrintOutput, FortyItemReportToPdf) {
    std::vector<ItemValues> values;
    const double ps[] = {.72, .55, .31, .86, .12, .45, .63, .27, .50, .95};
    const double rs[] = {.42, .25, .33, .21, .30, .10, .05, 0, -.08, .55};
    for (int i = 0; i < 40; ++i)
        values.push_back({ps[i % 10], rs[(i * 3) % 10]});
    ReportData d = MakeReport(40, 4, 1, values, {13});
    iatest::TempDir dir;
    const char* keep = std::getenv("ITEMANALYSIS_KEEP_PDF");
    const std::string path = keep ? std::string(keep) + "/report40.pdf" : dir.file("ม1.pdf");
    auto prn = ia::QtPrinter::ForPdf(path);
    PrintJob job;
    ia::TestHeader header = iatest::MakeHeader(40, 4);
    ia::PrintOutput(*prn, job, header, "โรงเรียนบ้านหนองบัววิทยา", d, 4, 40);
    EXPECT_FALSE(prn->Failed()) << prn->Notice();
    std::ifstream in(path, std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(in)), {});
    size_t pages = 0;
    for (size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1))
        pages += pdf.compare(at, 12, "/Type /Pages") != 0;
    EXPECT_EQ(static_cast<int>(pages), job.PageCount);
    EXPECT_EQ(job.PageCount, 9);
}
#endif

} // namespace
