// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PrintState.h"
#include "report/Printer.h"
#include "report/PrinterRecording.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#ifdef ITEMANALYSIS_WITH_QT
#include "report/PrinterQt.h"

#include <QFontInfo>
#endif

#include <ostream>

#include <fstream>
#include <string>

namespace {

using ia::PrintJob;

struct FilterCase {
    int mode;
    double from;
    int to;
    int page;
    bool printed;
};

void PrintTo(const FilterCase& c, std::ostream* os) {
    *os << "mode " << c.mode << " from " << c.from << " to " << c.to << ": page " << c.page
        << (c.printed ? " printed" : " skipped");
}

class PageFilter : public ::testing::TestWithParam<FilterCase> {};

TEST_P(PageFilter, PrintsOnlySelectedPages) {
    const FilterCase c = GetParam();
    PrintJob job;
    job.PageFrom = c.from;
    job.PageTo = static_cast<int16_t>(c.to);
    job.PageNo = static_cast<int16_t>(c.page);
    ia::RecordingPrinter prn;
    ia::PrintAt(prn, job, c.mode, 4.5f, 7.2f, "ข้อ");
    ASSERT_EQ(prn.Texts().size(), c.printed ? 1u : 0u);
    if (c.printed) {
        EXPECT_FLOAT_EQ(prn.Texts()[0].x, 4.5f);
        EXPECT_FLOAT_EQ(prn.Texts()[0].y, 7.2f);
        EXPECT_EQ(prn.Texts()[0].text, "ข้อ");
    } else {
        // The position is set even when the page is skipped.
        EXPECT_FLOAT_EQ(prn.CurrentX(), 4.5f);
        EXPECT_FLOAT_EQ(prn.CurrentY(), 7.2f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PageFilter,
    ::testing::Values(FilterCase{1, 0, 0, 1, true}, FilterCase{1, 0, 0, 8, true},
                      FilterCase{2, 0, 0, 3, true}, FilterCase{2, 0, 0, 4, false},
                      FilterCase{3, 0, 0, 3, false}, FilterCase{3, 0, 0, 4, true},
                      FilterCase{4, 2, 4, 1, false}, FilterCase{4, 2, 4, 2, true},
                      FilterCase{4, 2, 4, 4, true}, FilterCase{4, 2, 4, 5, false},
                      FilterCase{4, 3, 0, 3, true}, FilterCase{4, 3, 0, 4, false},
                      FilterCase{4, 3, 0, 2, false}, FilterCase{4, 5, 3, 4, false},
                      FilterCase{4, 5, 3, 5, false}, FilterCase{4, 2.5, 0, 2, false},
                      FilterCase{4, 2.5, 0, 3, false}, FilterCase{4, 2.5, 4, 2, false},
                      FilterCase{4, 2.5, 4, 3, true}, FilterCase{0, 0, 0, 1, false},
                      FilterCase{5, 1, 3, 1, false}, FilterCase{-1, 0, 0, 2, false}));

TEST(PrintAt, EmptyTextOnSelectedPageMovesToNextLine) {
    PrintJob job;
    job.PageNo = 1;
    ia::RecordingPrinter prn;
    ia::PrintAt(prn, job, 1, 3.0f, 5.0f, "");
    ASSERT_EQ(prn.Texts().size(), 1u);
    EXPECT_EQ(prn.CurrentX(), 0.0);
    EXPECT_GT(prn.CurrentY(), 5.0);
}

TEST(SetupPrinter, SelectsReportFontAndPortrait) {
    ia::RecordingPrinter prn;
    prn.SetFont("Garuda", 9);
    prn.SetOrientation(ia::Orientation::Landscape);
    ia::SetupPrinter(prn);
    EXPECT_EQ(prn.FontName(), "CordiaUPC");
    EXPECT_EQ(prn.FontPoints(), 16.0);
    EXPECT_EQ(prn.GetOrientation(), ia::Orientation::Portrait);
}

TEST(ReportFont, StandInIsTheInstalledThaiFont) {
    const std::string family = ia::ReportFontFamily();
    if (family == "CordiaUPC") GTEST_SKIP() << "the report font itself is installed";
    EXPECT_TRUE(family == "Laksaman" || family == "Garuda") << family;
#ifdef ITEMANALYSIS_WITH_QT
    QFont f = ia::MakePrintFont("CordiaUPC", 16);
    EXPECT_EQ(QFontInfo(f).family().toStdString(), family);
#endif
}

TEST(ReportFont, KeepsTheProportionsTheLayoutNeeds) {
    if (ia::ReportFontFamily() == "CordiaUPC")
        GTEST_SKIP() << "the report font itself is installed";
    const int dpi = ia::kDefaultPrintDpi;
    auto w = [&](const std::string& s) { return ia::MeasureTextCm("CordiaUPC", 16, dpi, s); };
    // The rule spans the text block, so nothing printed at 3 cm leaves A4.
    EXPECT_NEAR(w(std::string(124, '-')), 15.8, 0.2);
    // Blank-padded numbers and the raw data's digit rows line up.
    EXPECT_NEAR(w("  "), w("0"), 0.005);
    EXPECT_NEAR(w("      1"), w("    10"), 0.01);
    // Thai shaping: a tone mark over a vowel takes no width of its own.
    EXPECT_NEAR(w("ที่"), w("ท"), 0.01);
}

#ifdef ITEMANALYSIS_WITH_QT
TEST(RecordingPrinter, MeasuresLikeThePdfPrinter) {
    iatest::TempDir dir;
    auto pdf = ia::QtPrinter::ForPdf(dir.file("m.pdf"));
    ia::RecordingPrinter rec(pdf->Resolution());
    for (const std::string s : {"1", "โรงเรียนบ้านหนองบัววิทยา",
                                "วิชา ท31101  ภาษาไทย   เทอม 1/2546    อาจารย์ผู้สอน : ครูประจำวิชา"}) {
        EXPECT_DOUBLE_EQ(rec.TextWidth(s), pdf->TextWidth(s)) << s;
    }
}
#endif

TEST(RecordingPrinter, KeepsSheetAndOrientationOfEveryText) {
    ia::RecordingPrinter prn;
    prn.SetOrientation(ia::Orientation::Landscape);
    prn.Print("a");
    prn.SetOrientation(ia::Orientation::Portrait); // from the next sheet on
    prn.Print("b");
    prn.NewPage();
    prn.Print("c");
    prn.EndDoc();
    ASSERT_EQ(prn.Texts().size(), 3u);
    EXPECT_EQ(prn.Texts()[1].sheet, 1);
    EXPECT_EQ(prn.Texts()[1].orientation, ia::Orientation::Landscape);
    EXPECT_EQ(prn.Texts()[2].sheet, 2);
    EXPECT_EQ(prn.Texts()[2].orientation, ia::Orientation::Portrait);
    EXPECT_EQ(prn.NewPageCount(), 1);
    EXPECT_EQ(prn.EndDocCount(), 1);
    EXPECT_EQ(prn.SheetCount(), 2);
}

#ifdef ITEMANALYSIS_WITH_QT
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(QtPrinter, WritesPdfPagesAndSwitchesOrientationBetweenThem) {
    iatest::TempDir dir;
    const std::string path = dir.file("ม1.pdf");
    auto prn = ia::QtPrinter::ForPdf(path);
    ia::SetupPrinter(*prn);
    prn->SetOrientation(ia::Orientation::Landscape);
    prn->SetCurrentX(3);
    prn->SetCurrentY(1);
    prn->Print("หน้าแรก");
    prn->SetOrientation(ia::Orientation::Portrait);
    prn->NewPage();
    prn->Print("หน้าสอง");
    prn->EndDoc();
    EXPECT_FALSE(prn->Failed());
    EXPECT_EQ(prn->Notice(), "");
    const std::string pdf = ReadFile(path);
    ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
    // A4 landscape, then A4 portrait, in points.
    EXPECT_NE(pdf.find("/MediaBox [0 0 842.000000 595.000000]"), std::string::npos);
    EXPECT_NE(pdf.find("/MediaBox [0 0 595.000000 842.000000]"), std::string::npos);
}

TEST(QtPrinter, UnwritablePdfFailsWithNoticeNotCrash) {
    iatest::TempDir dir;
    const std::string path = dir.file("no-such-folder/ม1.pdf");
    auto prn = ia::QtPrinter::ForPdf(path);
    ia::SetupPrinter(*prn);
    prn->Print("ข้อ");
    prn->NewPage();
    prn->Print("ข้อ");
    prn->EndDoc();
    EXPECT_TRUE(prn->Failed());
    EXPECT_NE(prn->Notice().find(path), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(OpenDefaultPrinterOrPdf, WithoutPrinterGoesToPdfAndSaysWhere) {
    iatest::TempDir dir;
    const std::string path = dir.file("ม1.pdf");
    std::string notice;
    auto prn = ia::OpenDefaultPrinterOrPdf(path, notice);
    if (prn->PdfPath().empty()) GTEST_SKIP() << "this machine has a default printer";
    EXPECT_EQ(prn->PdfPath(), path);
    EXPECT_NE(notice.find(path), std::string::npos);
    EXPECT_NE(notice.find("PDF"), std::string::npos);
    ia::SetupPrinter(*prn);
    prn->Print("ข้อ");
    prn->EndDoc();
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(prn->Notice(), notice);
}
#endif

} // namespace
