// SPDX-License-Identifier: GPL-3.0-or-later
// What the printouts take from the exam session: the page choice and the
// report's pages. Apart from the other session tests because counting pages
// measures text as the printer does.

#include "TestSupport.h"
#include "charts/RecordingCanvas.h"
#include "examfile/Cp874.h"
#include "report/GraphReport.h"
#include "report/OutputPath.h"
#include "report/PrintReport.h"
#include "report/PrintState.h"
#include "report/PrinterRecording.h"
#include "session/ExamSession.h"
#include "session/PrintInputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>

using ia::ExamSession;
using ia::SessionErrorKind;

namespace {

TEST(PageSelection, ModesAndRanges) {
    EXPECT_EQ(ia::PrintJobFor(ia::PageSelection::Odd).value.PrintMode, 2);
    EXPECT_EQ(ia::PrintJobFor(ia::PageSelection::Even).value.PrintMode, 3);
    const ia::Outcome<ia::PrintJob> range = ia::PrintJobFor(ia::PageSelection::Range, "2", "๓");
    ASSERT_TRUE(range.ok());
    EXPECT_EQ(range.value.PrintMode, 4);
    EXPECT_EQ(range.value.PageFrom, 2);
    const ia::Outcome<ia::PrintJob> bad = ia::PrintJobFor(ia::PageSelection::Range, "ก", "3");
    EXPECT_EQ(bad.error.kind, SessionErrorKind::PageRangeInvalid);
    EXPECT_EQ(bad.error.message, "หน้าแรกต้องเป็นตัวเลข");
}

TEST(PageSelection, ARangeBeyondTheReportIsRefused) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"},
                         {iatest::Sheet("3", "1234"), iatest::Sheet("1", "1233"),
                          iatest::Sheet("10", "1111"), iatest::Sheet("2", "4321")});
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    ASSERT_TRUE(session.analyse({}).ok());
    const int pages = ia::ReportPageCount(session);
    ASSERT_GT(pages, 0);
    const ia::Outcome<ia::ReportPrintInput> all =
        ia::ReportPrintInputFor(session, ia::PrintJobFor(ia::PageSelection::All).value);
    ASSERT_TRUE(all.ok()) << all.error.message;
    EXPECT_EQ(all.value.pages, pages);
    const std::string past = std::to_string(pages + 1);
    const ia::Outcome<ia::ReportPrintInput> beyond = ia::ReportPrintInputFor(
        session, ia::PrintJobFor(ia::PageSelection::Range, past, past + "0").value);
    EXPECT_EQ(beyond.error.kind, SessionErrorKind::NoPageSelected);
    EXPECT_EQ(beyond.error.message, ia::kNoPageSelected);
}

// ---------------------------------------------------------------------------
// One judgement of each item in every picture

// The items the report text lists under each of its nine categories (keep
// 1..3, improve 1..3, discard 1..3), read back from its summary.
std::map<int, int> ReportedCategories(const std::string& reportPath) {
    std::istringstream text(ia::FromCp874(iatest::FileBytes(reportPath)));
    std::map<int, int> category;
    std::string line;
    bool inSummary = false;
    int label = -1;
    bool numbersNext = false;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find("สรุปคุณภาพของข้อสอบ") != std::string::npos) inSummary = true;
        if (!inSummary) continue;
        if (numbersNext) {
            std::istringstream numbers(line);
            for (int item; numbers >> item;)
                category[item] = label;
            numbersNext = false;
        } else if (line.rfind("   ", 0) == 0 && line.size() > 4 && line[4] == '.') {
            ++label;
            numbersNext = true;
        }
    }
    EXPECT_EQ(label, 8) << reportPath;
    return category;
}

// The pages of the graphical report, kept on recording canvases.
class RecordedPages : public ia::GraphPages {
  public:
    ia::charts::Canvas& NewPage() override {
        pages.push_back(std::make_unique<ia::charts::RecordingCanvas>());
        return *pages.back();
    }
    bool Finish() override { return true; }
    std::vector<std::unique_ptr<ia::charts::RecordingCanvas>> pages;
};

const char* VerdictHeading(ia::charts::Verdict v) {
    switch (v) {
    case ia::charts::Verdict::Keep:
        return "ข้อสอบที่ดี ควรเก็บไว้";
    case ia::charts::Verdict::Improve:
        return "ข้อที่ควรปรับปรุง";
    case ia::charts::Verdict::Discard:
        return "ข้อสอบที่ควรตัดทิ้ง";
    }
    return "";
}

struct JudgedFile {
    const char* name;
    ia::Technique technique;
    // Empty: the sample file shipped with the program.
    std::vector<std::string> key;
    std::vector<std::vector<std::string>> sheets;
};

void PrintTo(const JudgedFile& c, std::ostream* os) {
    *os << c.name;
}

class OneJudgement : public ::testing::TestWithParam<JudgedFile> {};

// The report's summary, the plot of p and r (its points and their colours)
// and the graphical report's page of each item judge every item alike, and
// every keyed item is plotted.
TEST_P(OneJudgement, TheReportAndEveryPictureAgree) {
    const JudgedFile& c = GetParam();
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    if (c.sheets.empty())
        std::filesystem::copy_file(iatest::SourceDir() + "/examples/sample.ans", path);
    else
        iatest::MakeExamFile(path, iatest::MakeHeader(static_cast<int>(c.key.size()), 4), c.key,
                             c.sheets);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    ia::AnalysisRequest request;
    request.technique = c.technique;
    const ia::Outcome<std::string> analysed = session.analyse(request);
    ASSERT_TRUE(analysed.ok()) << analysed.error.message;
    const std::map<int, int> reported = ReportedCategories(analysed.value);
    const ia::Outcome<ia::ReportData> data = session.reportData();
    ASSERT_TRUE(data.ok());

    std::vector<int> keyed;
    for (int item = 1; item < static_cast<int>(data.value.keys.size()); ++item)
        if (!ia::KeyIsBlank(data.value, item)) keyed.push_back(item);
    ASSERT_FALSE(keyed.empty());

    const ia::charts::DdInput dd = ia::DdOf(data.value);
    std::vector<int> plotted;
    for (const ia::charts::DdPoint& p : dd.items) {
        plotted.push_back(p.item);
        const auto found = reported.find(p.item);
        const auto want =
            found == reported.end() ? std::nullopt : ia::VerdictOfCategory(found->second);
        EXPECT_EQ(p.verdict, want) << "item " << p.item;
    }
    EXPECT_EQ(plotted, keyed);

    ia::GraphReportInput in;
    in.header = session.header();
    in.data = data.value;
    RecordedPages pages;
    ASSERT_EQ(ia::DrawGraphReport(pages, in), 1 + static_cast<int>(keyed.size()));
    for (size_t i = 0; i < keyed.size(); ++i) {
        const auto found = reported.find(keyed[i]);
        std::vector<std::string> headings;
        for (const std::string& t : pages.pages[i + 1]->Texts())
            for (auto v : {ia::charts::Verdict::Keep, ia::charts::Verdict::Improve,
                           ia::charts::Verdict::Discard})
                if (t.rfind(VerdictHeading(v), 0) == 0) headings.push_back(VerdictHeading(v));
        if (found == reported.end()) {
            EXPECT_TRUE(headings.empty()) << "item " << keyed[i];
        } else {
            ASSERT_EQ(headings.size(), 1u) << "item " << keyed[i];
            EXPECT_EQ(headings[0], VerdictHeading(*ia::VerdictOfCategory(found->second)))
                << "item " << keyed[i];
        }
    }
}

// Eight sheets: item 1 everyone answers (p = 1), item 2 nearly everyone
// (very easy, discriminating), item 3 the high and low groups alike, item 4
// the low group better, item 5 a middling one.
const std::vector<std::vector<std::string>> kEightSheets{
    iatest::Sheet("1", "11111"), iatest::Sheet("2", "11112"), iatest::Sheet("3", "11121"),
    iatest::Sheet("4", "11221"), iatest::Sheet("5", "11231"), iatest::Sheet("6", "12132"),
    iatest::Sheet("7", "12332"), iatest::Sheet("8", "13432")};

INSTANTIATE_TEST_SUITE_P(
    Files, OneJudgement,
    ::testing::Values(JudgedFile{"sample_25", ia::Technique::SimpleFormula25, {}, {}},
                      JudgedFile{"sample_27", ia::Technique::FanTable27, {}, {}},
                      JudgedFile{"eight_sheets_25",
                                 ia::Technique::SimpleFormula25,
                                 {"1", "1", "1", "3", "1"},
                                 kEightSheets},
                      JudgedFile{"eight_sheets_27",
                                 ia::Technique::FanTable27,
                                 {"1", "1", "1", "3", "1"},
                                 kEightSheets}),
    [](const auto& info) { return std::string(info.param.name); });

// Results changed after the analysis say so atop every printed page and
// every page of the graphical report, and the charts then leave out the
// whole-test statistics of the sheets as they are now; fresh results print
// exactly as without any notice.
TEST(OutdatedResults, EveryPrintedPageSaysSo) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(5, 4), {"1", "1", "1", "3", "1"}, kEightSheets);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    ASSERT_TRUE(session.analyse({}).ok());
    auto printed = [&](const ia::ReportPrintInput& in) {
        ia::RecordingPrinter prn;
        ia::PrintJob job = in.job;
        ia::TestHeader h = session.header();
        ia::PrintOutput(prn, job, h, "", in.data, h.nChoice, h.nItem, ia::NoProgress(),
                        in.outdatedNotice);
        return prn.Texts();
    };
    const ia::PrintJob all = ia::PrintJobFor(ia::PageSelection::All).value;
    const ia::Outcome<ia::ReportPrintInput> fresh = ia::ReportPrintInputFor(session, all);
    ASSERT_TRUE(fresh.ok());
    EXPECT_EQ(fresh.value.outdatedNotice, "");
    const auto freshTexts = printed(fresh.value);
    const ia::Outcome<ia::GraphReportInput> freshGraphs = ia::GraphInputFor(session, "");
    ASSERT_TRUE(freshGraphs.ok());
    EXPECT_EQ(freshGraphs.value.outdatedNotice, "");
    EXPECT_TRUE(freshGraphs.value.stats.has_value());

    session.connection()->exec("UPDATE TKey SET X2 = '2'");
    const ia::Outcome<ia::ReportPrintInput> old = ia::ReportPrintInputFor(session, all);
    ASSERT_TRUE(old.ok());
    EXPECT_EQ(old.value.outdatedNotice, ia::kResultsOutdatedNotice);
    const auto oldTexts = printed(old.value);
    // The same pages with one line more on each, above everything else.
    std::vector<ia::PrintedText> withoutNotice;
    std::map<int, int> notices;
    for (const ia::PrintedText& t : oldTexts) {
        if (t.text == ia::kResultsOutdatedNotice) {
            ++notices[t.sheet];
            for (const ia::PrintedText& u : oldTexts)
                if (u.sheet == t.sheet && &u != &t && !u.text.empty()) {
                    EXPECT_LT(t.y, u.y) << u.text;
                }
        } else {
            withoutNotice.push_back(t);
        }
    }
    ASSERT_EQ(withoutNotice.size(), freshTexts.size());
    for (size_t i = 0; i < freshTexts.size(); ++i) {
        EXPECT_EQ(withoutNotice[i].text, freshTexts[i].text);
        EXPECT_EQ(withoutNotice[i].sheet, freshTexts[i].sheet);
        EXPECT_DOUBLE_EQ(withoutNotice[i].y, freshTexts[i].y);
    }
    const int sheets = freshTexts.back().sheet;
    EXPECT_EQ(static_cast<int>(notices.size()), sheets);
    for (const auto& [sheet, count] : notices)
        EXPECT_EQ(count, 1) << sheet;

    const ia::Outcome<ia::GraphReportInput> graphs = ia::GraphInputFor(session, "");
    ASSERT_TRUE(graphs.ok());
    EXPECT_EQ(graphs.value.outdatedNotice, ia::kResultsOutdatedNotice);
    EXPECT_FALSE(graphs.value.stats.has_value());
    RecordedPages pages;
    const int drawn = ia::DrawGraphReport(pages, graphs.value);
    ASSERT_EQ(drawn, 6);
    for (const auto& page : pages.pages) {
        const auto texts = page->Texts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), ia::kResultsOutdatedNotice), 1);
    }
}

} // namespace
