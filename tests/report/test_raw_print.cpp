// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PrintState.h"
#include "report/PrinterRecording.h"
#include "report/RawPrint.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#ifdef ITEMANALYSIS_WITH_QT
#include "report/PrinterQt.h"
#endif

#include <ostream>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace {

using ia::PrintedText;
using ia::RawData;
using ia::RawRecord;

// Sheets with codes 1..nSheets answering choice 1 + (item + sheet) % 4,
// leaving item 3 unanswered on sheet 2; score = sheet number.
RawData MakeRaw(int nItem, int nSheets) {
    RawData d;
    d.key.push_back("เฉลย");
    for (int i = 1; i <= nItem; ++i)
        d.key.push_back(std::to_string(1 + i % 4));
    d.key.push_back(std::to_string(nItem));
    for (int s = 1; s <= nSheets; ++s) {
        RawRecord r{std::to_string(s)};
        for (int i = 1; i <= nItem; ++i)
            r.push_back(s == 2 && i == 3 ? std::optional<std::string>()
                                         : std::to_string(1 + (i + s) % 4));
        r.push_back(std::to_string(s));
        d.sheets.push_back(r);
    }
    return d;
}

std::vector<PrintedText> Visible(const ia::RecordingPrinter& prn) {
    std::vector<PrintedText> v;
    for (const auto& t : prn.Texts())
        if (!t.text.empty()) v.push_back(t);
    return v;
}

const PrintedText* At(const std::vector<PrintedText>& v, int sheet, double x, double y) {
    for (const auto& t : v)
        if (t.sheet == sheet && std::fabs(t.x - x) < 1e-4 && std::fabs(t.y - y) < 1e-4) return &t;
    return nullptr;
}

std::string TextAt(const std::vector<PrintedText>& v, int sheet, double x, double y) {
    const PrintedText* t = At(v, sheet, x, y);
    return t ? t->text : "<nothing>";
}

struct Raw {
    ia::RecordingPrinter prn;
    ia::TestHeader header = iatest::MakeHeader(10, 4);
    bool printed = false;
};

void Print(Raw& out, int nItem, const RawData& d, const std::string& school = "โรงเรียนบ้านหนองบัว") {
    out.header.nItem = static_cast<int16_t>(nItem);
    out.printed = ia::RawPrint(out.prn, out.header, school, d);
}

struct PagingCase {
    int nItem;
    int nSheets;
    int sheetsOfPaper;
    double margin;
    ia::Orientation orientation;
    int perPage;
};

void PrintTo(const PagingCase& c, std::ostream* os) {
    *os << c.nItem << " items, " << c.nSheets << " sheets -> " << c.sheetsOfPaper
        << " sheets of paper, margin " << c.margin << ", "
        << (c.orientation == ia::Orientation::Portrait ? "portrait" : "landscape") << ", "
        << c.perPage << " per page";
}

class RawPaging : public ::testing::TestWithParam<PagingCase> {};

TEST_P(RawPaging, SheetsPerPageMarginAndOrientation) {
    const PagingCase c = GetParam();
    Raw out;
    Print(out, c.nItem, MakeRaw(c.nItem, c.nSheets));
    const auto v = Visible(out.prn);
    EXPECT_EQ(out.prn.SheetCount(), c.sheetsOfPaper);
    EXPECT_EQ(out.prn.NewPageCount(), c.sheetsOfPaper - 1);
    EXPECT_EQ(out.prn.EndDocCount(), 1);
    for (const auto& t : v)
        EXPECT_EQ(t.orientation, c.orientation) << t.text;
    // The job leaves the printer upright for whatever comes next.
    EXPECT_EQ(out.prn.GetOrientation(), ia::Orientation::Portrait);

    const double m = c.margin;
    for (int s = 1; s <= c.sheetsOfPaper; ++s) {
        EXPECT_EQ(TextAt(v, s, m, 3.2), std::string(135, '-')) << s;
        EXPECT_EQ(TextAt(v, s, m, 4.3), "ข้อ");
        EXPECT_EQ(TextAt(v, s, m, 4.9), "เฉลย");
        const int first = (s - 1) * c.perPage + 1;
        const int onPage = std::min(c.perPage, c.nSheets - first + 1);
        if (onPage <= 0) {
            // A full page turns: the next holds the header and the key alone.
            EXPECT_EQ(At(v, s, m, 6.3), nullptr);
            continue;
        }
        EXPECT_EQ(TextAt(v, s, m, 6.3), std::to_string(first));
        EXPECT_EQ(TextAt(v, s, m, 6.3 + (onPage - 1) * 0.6), std::to_string(first + onPage - 1));
        EXPECT_EQ(At(v, s, m, 6.3 + onPage * 0.6), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RawPaging,
                         ::testing::Values(
                             // A full page turns even when no sheet follows.
                             PagingCase{10, 35, 2, 2.0, ia::Orientation::Portrait, 35},
                             PagingCase{10, 36, 2, 2.0, ia::Orientation::Portrait, 35},
                             PagingCase{10, 1, 1, 2.0, ia::Orientation::Portrait, 35},
                             PagingCase{70, 36, 2, 2.0, ia::Orientation::Portrait, 35},
                             PagingCase{71, 20, 2, 3.0, ia::Orientation::Landscape, 20},
                             PagingCase{71, 19, 1, 3.0, ia::Orientation::Landscape, 20},
                             PagingCase{71, 21, 2, 3.0, ia::Orientation::Landscape, 20},
                             PagingCase{120, 45, 3, 3.0, ia::Orientation::Landscape, 20}));

TEST(RawPrint, PageHeaderRows) {
    Raw out;
    Print(out, 12, MakeRaw(12, 2));
    const auto v = Visible(out.prn);
    auto centred = [&](const std::string& s) { return 2.0 + (15.8 - out.prn.TextWidth(s)) / 2; };
    const std::string h = "วิชา ท31101  ภาษาไทย   เทอม 1/2546    อาจารย์ผู้สอน :  ครูประจำวิชา";
    EXPECT_EQ(TextAt(v, 1, centred("1"), 1.0), "1");
    EXPECT_EQ(TextAt(v, 1, centred("โรงเรียนบ้านหนองบัว"), 2.0), "โรงเรียนบ้านหนองบัว");
    EXPECT_EQ(TextAt(v, 1, centred(h), 2.6), h);
    EXPECT_EQ(TextAt(v, 1, 3.5, 3.8), std::string(18, ' ') + "111");
    EXPECT_EQ(TextAt(v, 1, 3.5, 4.3), "123456789012   คะแนน");
    EXPECT_EQ(TextAt(v, 1, 3.5, 4.9), "234123412341   12");
    EXPECT_EQ(TextAt(v, 1, 3.5, 6.3), "341234123412   1");
    // Item 3 unanswered on the second sheet: two blanks keep the columns.
    EXPECT_EQ(TextAt(v, 1, 3.5, 6.9), "41  341234123   2");
}

TEST(RawPrint, MissingFieldsPrintAsBlanks) {
    RawData d;
    d.key = {std::nullopt, "1", "", "3", std::nullopt};
    d.sheets = {{std::nullopt, "2", "2", "2", "3"}, {"7"}};
    Raw out;
    Print(out, 3, d, "");
    const auto v = Visible(out.prn);
    EXPECT_EQ(At(v, 1, 2.0, 4.9), nullptr);
    EXPECT_EQ(TextAt(v, 1, 3.5, 4.9), "1  3");
    EXPECT_EQ(At(v, 1, 2.0, 6.3), nullptr); // no code, answers as usual
    EXPECT_EQ(TextAt(v, 1, 3.5, 6.3), "222   3");
    EXPECT_EQ(TextAt(v, 1, 2.0, 6.9), "7");
    EXPECT_EQ(TextAt(v, 1, 3.5, 6.9), "      ");
    // No school name: its line stays empty, the rest keeps its place.
    for (const auto& t : v)
        EXPECT_NE(t.y, 2.0) << t.text;
    EXPECT_EQ(TextAt(v, 1, 2.0, 3.2), std::string(135, '-'));
}

TEST(RawPrint, NoSheetsPrintsNothingAndChangesNothing) {
    Raw out;
    out.header.SubCode = "";
    RawData d = MakeRaw(5, 0);
    Print(out, 5, d);
    EXPECT_FALSE(out.printed);
    EXPECT_TRUE(out.prn.Texts().empty());
    EXPECT_EQ(out.prn.EndDocCount(), 0);
    EXPECT_EQ(out.header.SubCode, "");
}

TEST(RawPrint, BlankHeaderFieldsAreFilledAndStay) {
    Raw out;
    out.header.SubCode = "";
    out.header.SubName = "";
    out.header.Term = "";
    Print(out, 5, MakeRaw(5, 1));
    EXPECT_TRUE(out.printed);
    EXPECT_EQ(out.header.SubCode, std::string(11, ' '));
    EXPECT_EQ(out.header.SubName, std::string(19, ' '));
    EXPECT_EQ(out.header.Term, std::string(7, ' '));
}

TEST(RawPrint, ReportAfterWideRawPrintoutIsPortrait) {
    ia::RecordingPrinter prn;
    ia::TestHeader h = iatest::MakeHeader(80, 4);
    ia::RawPrint(prn, h, "", MakeRaw(80, 3));
    ia::SetupPrinter(prn);
    EXPECT_EQ(prn.GetOrientation(), ia::Orientation::Portrait);
}

#ifdef ITEMANALYSIS_WITH_QT
// ITEMANALYSIS_KEEP_PDF names a folder to keep the files in for a look.
TEST(RawPrint, ToPdf) {
    iatest::TempDir dir;
    const char* keep = std::getenv("ITEMANALYSIS_KEEP_PDF");
    for (int nItem : {40, 100}) {
        const std::string path = (keep ? std::string(keep) : dir.path().string()) + "/raw" +
                                 std::to_string(nItem) + ".pdf";
        auto prn = ia::QtPrinter::ForPdf(path);
        ia::TestHeader h = iatest::MakeHeader(nItem, 4);
        ASSERT_TRUE(ia::RawPrint(*prn, h, "โรงเรียนบ้านหนองบัววิทยา", MakeRaw(nItem, 40)));
        EXPECT_FALSE(prn->Failed()) << prn->Notice();
        std::ifstream in(path, std::ios::binary);
        const std::string pdf((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
    }
}
#endif

} // namespace
