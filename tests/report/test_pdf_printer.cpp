// SPDX-License-Identifier: GPL-3.0-or-later
// The PDF files of the printouts hold their Thai as text: pdftotext gives
// back, line by line, what the recording printer receives for the same job.

#include "report/AtomicFile.h"
#include "report/PrintReport.h"
#include "report/PrintState.h"
#include "report/Printer.h"
#include "report/PrinterPdf.h"
#include "report/PrinterRecording.h"
#include "report/RawPrint.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#ifdef ITEMANALYSIS_WITH_QT
#include "report/PrinterQt.h"

#include <QFontMetricsF>
#include <QImage>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using ia::PrintedText;

// Words whose vowels and tone marks stack above or below their letter.
const char* const kStackedWords = "ที่ ผู้ ปี่ ฟื้น น้ำ";

// The lines a page of the recorded job reads as: the texts printed on one
// baseline, left to right, whitespace taken out.
std::vector<std::vector<std::string>> ExpectedPages(const ia::RecordingPrinter& prn) {
    std::map<int, std::map<long, std::multimap<double, std::string>>> bySheet;
    for (const PrintedText& t : prn.Texts())
        if (!t.text.empty()) bySheet[t.sheet][std::lround(t.y * 1000)].emplace(t.x, t.text);
    std::vector<std::vector<std::string>> pages;
    for (const auto& [sheet, rows] : bySheet) {
        pages.resize(static_cast<size_t>(sheet));
        for (const auto& [y, texts] : rows) {
            std::string line;
            for (const auto& [x, text] : texts)
                line += text;
            for (const std::string& l : iatest::SqueezedLines(line))
                pages[static_cast<size_t>(sheet) - 1].push_back(l);
        }
    }
    return pages;
}

bool HasPrivateUseCharacter(const std::string& utf8) {
    // U+E000..U+F8FF is EE 80 80 .. EF A3 BF in UTF-8.
    for (size_t i = 0; i + 2 < utf8.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
        if (b0 == 0xEE || (b0 == 0xEF && b1 <= 0xA3)) return true;
    }
    return false;
}

ia::TestHeader StackedHeader(int nItem, int nChoice) {
    ia::TestHeader h = iatest::MakeHeader(nItem, nChoice);
    h.SubName = "ภาษาไทยพื้นฐาน";
    h.TeacherName = std::string("นางสาวผู้ใหญ่ ") + kStackedWords;
    return h;
}

ia::ReportData MakeReport(int nItem, int nChoice, int kind) {
    ia::ReportData d;
    d.AnalysisKind = kind;
    d.SheetCount = 40;
    d.keys.resize(static_cast<size_t>(nItem) + 2);
    const char* explains[] = {"ยากง่ายปานกลาง  อำนาจจำแนกดีมาก", "ไม่ดี คนเก่งหลงตอบมากกว่า",
                              "ดี คนอ่อนหลงตอบมากกว่า", "ไม่ดี ไม่มีคนเลือก"};
    for (int i = 1; i <= nItem; ++i) {
        d.keys[static_cast<size_t>(i)] = "1";
        for (int c = 1; c <= nChoice; ++c) {
            ia::OutRow r;
            r.ItemNo = i;
            r.ChoiceNo = c;
            r.IsAns = c == 1;
            r.H = c == 1 ? 8 : 1;
            r.L = c == 1 ? 3 : 2;
            r.P = c == 1 ? " .55" : " .15";
            r.r = c == 1 ? " .50" : "-.10";
            r.Delta = "12.5";
            if (c == 1) r.Zr = " .55";
            r.Explain = explains[(i + c) % 4];
            d.rows.push_back(r);
        }
    }
    d.KeyedItemCount = static_cast<int16_t>(nItem);
    d.stat.Xbar = "  12.50";
    d.stat.SD = "  3.21";
    d.stat.KR20 = " .7012";
    d.stat.SEmea = "  1.70";
    d.stat.Pav = " .55";
    d.stat.Rav = " .50";
    d.stat.Dav = "12.5";
    d.stat.Zrav = " .55";
    return d;
}

ia::RawData MakeRaw(int nItem, int nSheets) {
    ia::RawData d;
    d.key.push_back("เฉลย");
    for (int i = 1; i <= nItem; ++i)
        d.key.push_back(std::to_string(1 + i % 4));
    d.key.push_back(std::to_string(nItem));
    for (int s = 1; s <= nSheets; ++s) {
        ia::RawRecord r{std::to_string(s)};
        for (int i = 1; i <= nItem; ++i)
            r.push_back(std::to_string(1 + (i + s) % 4));
        r.push_back(std::to_string(s));
        d.sheets.push_back(r);
    }
    return d;
}

struct JobCase {
    const char* name;
    std::function<void(ia::Printer&)> job;
};

class PdfText : public ::testing::TestWithParam<JobCase> {};

TEST_P(PdfText, PdftotextGivesTheTextsPrintedLineByLine) {
    const JobCase& c = GetParam();
    ia::RecordingPrinter rec;
    c.job(rec);
    iatest::TempDir dir;
    const std::string path = dir.file("ผลการวิเคราะห์.pdf");
    ia::PdfPrinter pdf(path);
    c.job(pdf);
    ASSERT_FALSE(pdf.Failed()) << pdf.Notice();

    const auto want = ExpectedPages(rec);
    const auto pages = iatest::PdfPageTexts(path);
    ASSERT_EQ(pages.size(), static_cast<size_t>(rec.SheetCount())) << "pdftotext installed?";
    ASSERT_EQ(want.size(), pages.size());
    for (size_t p = 0; p < pages.size(); ++p) {
        EXPECT_FALSE(HasPrivateUseCharacter(pages[p])) << "page " << p + 1;
        EXPECT_EQ(iatest::SqueezedLines(pages[p]), want[p]) << "page " << p + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Printouts, PdfText,
    ::testing::Values(JobCase{"Report25",
                              [](ia::Printer& prn) {
                                  ia::PrintJob job;
                                  ia::TestHeader h = StackedHeader(9, 4);
                                  ia::PrintOutput(prn, job, h,
                                                  std::string("โรงเรียน") + kStackedWords,
                                                  MakeReport(9, 4, 1), 4, 9);
                              }},
                      JobCase{"Report27OddPages",
                              [](ia::Printer& prn) {
                                  ia::PrintJob job;
                                  job.PrintMode = 2;
                                  ia::TestHeader h = StackedHeader(14, 5);
                                  ia::PrintOutput(prn, job, h, "", MakeReport(14, 5, 2), 5, 14);
                              }},
                      JobCase{"RawData",
                              [](ia::Printer& prn) {
                                  ia::TestHeader h = StackedHeader(20, 4);
                                  ia::RawPrint(prn, h, kStackedWords, MakeRaw(20, 40));
                              }},
                      JobCase{"WideRawDataOnLandscape",
                              [](ia::Printer& prn) {
                                  ia::TestHeader h = StackedHeader(90, 4);
                                  ia::RawPrint(prn, h, "", MakeRaw(90, 25));
                              }}),
    [](const ::testing::TestParamInfo<JobCase>& i) { return std::string(i.param.name); });

TEST(PdfPrinter, PagesTakeTheOrientationAsQtPrinterDoes) {
    iatest::TempDir dir;
    const std::string path = dir.file("ม1.pdf");
    ia::PdfPrinter prn(path);
    ia::SetupPrinter(prn);
    prn.SetOrientation(ia::Orientation::Landscape);
    prn.SetCurrentX(3);
    prn.SetCurrentY(1);
    prn.Print("หน้าแรก");
    prn.SetOrientation(ia::Orientation::Portrait);
    prn.NewPage();
    prn.Print("หน้าสอง");
    prn.EndDoc();
    EXPECT_FALSE(prn.Failed());
    EXPECT_EQ(prn.Notice(), "");
    const std::string pdf = iatest::FileBytes(path);
    ASSERT_EQ(pdf.rfind("%PDF", 0), 0u);
    const size_t landscape = pdf.find("/MediaBox [ 0 0 841.889");
    const size_t portrait = pdf.find("/MediaBox [ 0 0 595.275");
    EXPECT_NE(landscape, std::string::npos);
    EXPECT_NE(portrait, std::string::npos);
    const auto pages = iatest::PdfPageTexts(path);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(iatest::SqueezedLines(pages[0]), std::vector<std::string>{"หน้าแรก"});
    EXPECT_EQ(iatest::SqueezedLines(pages[1]), std::vector<std::string>{"หน้าสอง"});
}

// Where the first word of each page of a PDF stands, in points from the
// page's top left corner, as pdftotext -bbox reads it; a page without words
// gives -1, -1.
std::vector<std::pair<double, double>> FirstWordPlaces(const std::string& path) {
    const std::string cmd = "pdftotext -bbox -enc UTF-8 '" + path + "' - 2>/dev/null";
    std::string html;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            html.append(buf, n);
        pclose(p);
    }
    auto number = [&](size_t from, const char* attribute) {
        const size_t at = html.find(attribute, from);
        return at == std::string::npos ? -1.0
                                       : std::atof(html.c_str() + at + std::strlen(attribute));
    };
    std::vector<std::pair<double, double>> places;
    for (size_t page = html.find("<page "); page != std::string::npos;) {
        const size_t next = html.find("<page ", page + 1);
        const size_t word = html.find("<word ", page);
        if (word != std::string::npos && word < next)
            places.emplace_back(number(word, "xMin=\""), number(word, "yMin=\""));
        else
            places.emplace_back(-1.0, -1.0);
        page = next;
    }
    return places;
}

// A job as the report routines would not write it: nothing sets the
// position after a page break, and the position was moved just before it.
void PagesWithoutPositions(ia::Printer& prn) {
    ia::SetupPrinter(prn);
    prn.SetCurrentY(0); // the top margin
    prn.Print("บรรทัดแรก");
    for (int i = 0; i < 20; ++i)
        prn.Print("บรรทัด");
    prn.SetCurrentX(5);
    prn.NewPage();
    prn.Print("บรรทัดแรก");
    prn.SetCurrentY(12);
    prn.SetOrientation(ia::Orientation::Landscape);
    prn.NewPage();
    prn.Print("บรรทัดแรก");
    prn.EndDoc();
}

// A new page starts at its top left margin, where the first page started,
// on every printer, whether or not the printing code sets the position.
TEST(Printers, ANewPageStartsAtTheTopLeftMargin) {
    ia::RecordingPrinter rec;
    PagesWithoutPositions(rec);
    for (const PrintedText& t : rec.Texts())
        if (t.sheet > 1 && t.text == "บรรทัดแรก") {
            EXPECT_EQ(t.x, 0.0) << "sheet " << t.sheet;
            EXPECT_EQ(t.y, 0.0) << "sheet " << t.sheet;
        }
    iatest::TempDir dir;
    struct Case {
        const char* name;
        std::function<std::unique_ptr<ia::OutputPrinter>(const std::string&)> open;
    } cases[] = {
        {"cairo", [](const std::string& path) { return std::make_unique<ia::PdfPrinter>(path); }},
#ifdef ITEMANALYSIS_WITH_QT
        {"qt", [](const std::string& path) { return ia::QtPrinter::ForPdf(path); }},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(std::string(c.name) + ".pdf");
        std::unique_ptr<ia::OutputPrinter> prn = c.open(path);
        PagesWithoutPositions(*prn);
        ASSERT_FALSE(prn->Failed()) << prn->Notice();
        const auto places = FirstWordPlaces(path);
        ASSERT_EQ(places.size(), 3u) << "pdftotext installed?";
        ASSERT_GT(places[0].second, 0.0);
        for (size_t page = 1; page < places.size(); ++page) {
            EXPECT_NEAR(places[page].first, places[0].first, 0.1) << "page " << page + 1;
            EXPECT_NEAR(places[page].second, places[0].second, 0.1) << "page " << page + 1;
        }
    }
}

TEST(PdfPrinter, UnwritableFileFailsWithNoticeNotCrash) {
    iatest::TempDir dir;
    const std::string path = dir.file("no-such-folder/ม1.pdf");
    ia::PdfPrinter prn(path);
    ia::SetupPrinter(prn);
    prn.Print("ข้อ");
    prn.NewPage();
    prn.Print("ข้อ");
    prn.EndDoc();
    EXPECT_TRUE(prn.Failed());
    EXPECT_EQ(prn.Notice(), ia::PdfWriteFailedMessage(path, "ไม่พบโฟลเดอร์"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(PdfPrinter, NothingPrintedLeavesNoFile) {
    iatest::TempDir dir;
    const std::string path = dir.file("ม1.pdf");
    ia::PdfPrinter prn(path);
    ia::SetupPrinter(prn);
    prn.EndDoc();
    EXPECT_FALSE(prn.Failed());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(PdfPrinter, MeasuresLikeTheRecordingPrinter) {
    ia::PdfPrinter pdf("unused.pdf");
    ia::RecordingPrinter rec;
    for (const std::string s : {"1", kStackedWords, "วิชา ท31101  ภาษาไทย   เทอม 1/2546"})
        EXPECT_DOUBLE_EQ(rec.TextWidth(s), pdf.TextWidth(s)) << s;
}

#ifdef ITEMANALYSIS_WITH_QT
// The report's lines are kLineStep apart: the highest stack of one line and
// the lowest marks of the line above must not meet, at the size drawn (as Qt
// measures the ink).
TEST(DrawnFont, StackedMarksClearTheNeighbouringLines) {
    const int dpi = ia::kDefaultPrintDpi;
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    device.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
    const QFontMetricsF fm(ia::MakeDrawnFont(ia::kReportFontName, ia::kReportFontPoints), &device);
    double above = 0, below = 0;
    for (const char* w : {"ที่", "ผู้", "ปี่", "ฟื้น", "น้ำ", "ปู่", "ฐู", "ญ", "ฎ", "ฏ", "กุ้ง", "Ég"}) {
        const QRectF ink = fm.tightBoundingRect(QString::fromUtf8(w));
        above = std::max(above, -ink.top());
        below = std::max(below, ink.bottom());
    }
    const double stepPx = ia::kLineStep / 2.54 * dpi;
    EXPECT_LT(above + below, stepPx);
    // Still a readable size: no smaller than the step allows.
    EXPECT_GT(above + below, 0.65 * stepPx);
    // Drawn narrower than measured would leave gaps; the widths are kept by
    // widening, never by a larger size.
    EXPECT_LE(ia::DrawnFontFor(ia::kReportFontName, ia::kReportFontPoints).points,
              ia::kReportFontPoints);
}
#endif

} // namespace

namespace {

// The rightmost and leftmost dark columns of page 1 rendered at 72 dpi
// (one pixel a point), by pdftoppm.
std::pair<int, int> InkedColumns(const std::string& pdf, const iatest::TempDir& dir) {
    const std::string out = dir.file("page");
    const std::string cmd =
        "pdftoppm -r 72 -gray -singlefile -f 1 -l 1 '" + pdf + "' '" + out + "'";
    if (std::system(cmd.c_str()) != 0) return {-1, -1};
    const std::string pgm = iatest::FileBytes(out + ".pgm");
    int w = 0, h = 0, max = 0, used = 0;
    if (std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &w, &h, &max, &used) != 3) return {-1, -1};
    const size_t start = static_cast<size_t>(used) + 1;
    int left = w, right = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (static_cast<unsigned char>(pgm[start + static_cast<size_t>(y * w + x)]) < 200) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

} // namespace

// Texts are drawn smaller than measured and widened to the measured width:
// the report's rule still spans the 15.8 cm text block on paper.
TEST(PdfPrinter, TextsKeepTheirMeasuredWidthOnThePage) {
    iatest::TempDir dir;
    const std::string path = dir.file("rule.pdf");
    ia::PdfPrinter prn(path);
    ia::SetupPrinter(prn);
    const std::string rule(124, '-');
    prn.SetCurrentX(3);
    prn.SetCurrentY(5);
    prn.Print(rule);
    prn.EndDoc();
    const auto [left, right] = InkedColumns(path, dir);
    const double pointsPerCm = 72 / 2.54;
    const double margin = ia::kPageMarginPoints;
    EXPECT_NEAR(left, margin + 3 * pointsPerCm, 2.0);
    EXPECT_NEAR(right, margin + (3 + prn.TextWidth(rule)) * pointsPerCm, 3.0);
}

// A job cancelled through its progress in the middle of its pages: the PDF
// of the previous run stays byte for byte, and no temporary is left beside it.
struct CancelCase {
    const char* name;
    std::function<void(ia::Printer&, ia::Progress&)> job;
};

void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << c.name;
}

class CancelledPrintout : public ::testing::TestWithParam<CancelCase> {};

TEST_P(CancelledPrintout, KeepsThePreviousPdf) {
    const CancelCase& c = GetParam();
    iatest::TempDir dir;
    const std::string path = dir.file("ม1.pdf");
    {
        ia::PdfPrinter previous(path);
        c.job(previous, ia::NoProgress());
        ASSERT_FALSE(previous.Failed()) << previous.Notice();
    }
    const std::string before = iatest::FileBytes(path);
    ASSERT_FALSE(before.empty());

    iatest::CancelAtStep counting;
    ia::RecordingPrinter rec;
    c.job(rec, counting);
    EXPECT_EQ(counting.stages(), std::vector<std::string>{ia::kLayingOutPagesStage});
    ASSERT_GE(counting.reports(), 3) << "too few pages to cancel in the middle";

    iatest::CancelAtStep cancelling(counting.reports() / 2 + 1);
    {
        ia::PdfPrinter prn(path);
        EXPECT_THROW(c.job(prn, cancelling), ia::JobCancelled);
    }
    EXPECT_EQ(iatest::FileBytes(path), before);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"ม1.pdf"});
}

INSTANTIATE_TEST_SUITE_P(
    Printouts, CancelledPrintout,
    ::testing::Values(CancelCase{"Report",
                                 [](ia::Printer& prn, ia::Progress& progress) {
                                     ia::PrintJob job;
                                     ia::TestHeader h = StackedHeader(30, 4);
                                     ia::PrintOutput(prn, job, h, "", MakeReport(30, 4, 1), 4, 30,
                                                     progress);
                                 }},
                      CancelCase{"RawData",
                                 [](ia::Printer& prn, ia::Progress& progress) {
                                     ia::TestHeader h = StackedHeader(20, 4);
                                     ia::RawPrint(prn, h, "", MakeRaw(20, 120), progress);
                                 }}),
    [](const ::testing::TestParamInfo<CancelCase>& i) { return std::string(i.param.name); });

// The raw printout of a district holds one sheet at a time: a sheet is read
// only when its line is laid out, never the whole file first.
TEST(RawPrintout, ReadsEachSheetWhenItsLineIsLaidOut) {
    const ia::RawData all = MakeRaw(20, 100);
    struct CountingReader : ia::RawSheetReader {
        const std::vector<ia::RawRecord>& sheets;
        size_t read = 0;
        explicit CountingReader(const std::vector<ia::RawRecord>& s) : sheets(s) {}
        size_t count() const override { return sheets.size(); }
        ia::RawRecord next() override { return sheets.at(read++); }
    } reader(all.sheets);
    struct PageWatcher : ia::RecordingPrinter {
        const CountingReader& reader;
        std::vector<size_t> readAtBreak;
        explicit PageWatcher(const CountingReader& r) : reader(r) {}
        void NewPage() override {
            readAtBreak.push_back(reader.read);
            RecordingPrinter::NewPage();
        }
    } prn(reader);
    ia::TestHeader h = StackedHeader(20, 4);
    ASSERT_TRUE(ia::RawPrint(prn, h, "", all.key, reader));
    EXPECT_EQ(prn.readAtBreak, (std::vector<size_t>{35, 70}));
    EXPECT_EQ(reader.read, 100u);
}
