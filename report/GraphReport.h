// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The graphical report: a first page with the test summary, the score
// histogram and the difficulty–discrimination plot, then one page per keyed
// item with its plot, its choice table, its judgement and its flags. The
// same pages go into a PDF file (cairo) or onto a printer (QPainter).

#include "analysis/Dif.h"
#include "analysis/ItemStatistics.h"
#include "charts/Charts.h"
#include "examfile/ExamState.h"
#include "examfile/Progress.h"
#include "report/ReportModel.h"

#include <memory>
#include <string>
#include <vector>

namespace ia {

class Connection;

struct ExamViews;

// The rectangles of the p–r plane in which QualityCategory() keeps, improves
// or discards an item (stored values are whole hundredths: a zone from .20
// to .80 holds .20 to .79).
std::vector<charts::VerdictZone> QualityZones();
// The verdict of a quality category (0..8), none for -1.
std::optional<charts::Verdict> VerdictOfCategory(int category);

// Every sheet's score, as stored by the last analysis.
std::vector<int> LoadScores(ExamViews& views);

charts::HistogramInput HistogramOf(const std::vector<int>& scores, int highestScore, double mean,
                                   double sd);
// Every keyed item at the stored p and r of the report, coloured by the
// report's category of it (ItemQualityCategory()).
charts::DdInput DdOf(const ReportData& data);
// Item `item`'s choices: their shares in the technique's high and low
// groups, and in the five score groups of the whole-test statistics when
// given.
charts::ItemPlotInput ItemPlotOf(const ReportData& data, int item,
                                 const TestStatistics* stats = nullptr);
// The difficulty of the compared item at `row` in each group beside the
// pooled one, with its DIF class under the title when there is a DIF.
charts::GroupPInput GroupPOf(const GroupAnalysis& g, size_t row);
// Items with a key, in order.
std::vector<int> KeyedItems(const ReportData& data);

// Pages to draw on: A4 upright, in points from the top left corner of the
// paper.
class GraphPages {
  public:
    virtual ~GraphPages() = default;
    // The canvas of a new page (the first call gives the first page).
    virtual charts::Canvas& NewPage() = 0;
    // Ends the job; false when the pages could not go where they were sent.
    virtual bool Finish() = 0;
    // Why they could not, when it is known (the target refused, ...).
    virtual std::string FailureReason() const { return {}; }
};

// Pages of a PDF file at path, written with cairo: its Thai is text.
std::unique_ptr<GraphPages> PdfGraphPages(const std::string& path);

struct GraphReportInput {
    TestHeader header;
    std::string school;
    ReportData data;
    std::vector<int> scores;
    // The whole-test statistics of the same sheets, when they could be
    // computed.
    std::optional<TestStatistics> stats;
    // Said at the top of every page when the stored results no longer
    // match the data (or cannot be told to); empty for current results.
    std::string outdatedNotice;
    // The groups compared, for a file whose sheets have groups (a pooled
    // one): a page of its own after the first.
    std::optional<GroupAnalysis> groups;
};

// The whole-test statistics of the exam file read through db (within one
// read snapshot); none when the file cannot give them (its structure, its
// choices). Reports the sheets read to `progress`; a cancel throws
// JobCancelled.
std::optional<TestStatistics> LoadTestStatistics(Connection& db, Progress& progress = NoProgress());

// The groups of the exam file read through db compared (default pair), in
// the caller's read snapshot when it holds one; none when its sheets have no
// groups or the file cannot give them.
std::optional<GroupAnalysis> LoadGroupAnalysis(Connection& db);

// Draws the whole graphical report. Returns the number of pages. Reports
// the pages drawn to `progress`; a cancel throws JobCancelled before the
// pages are finished, so a PDF is then not written and the previous one
// stays.
int DrawGraphReport(GraphPages& pages, const GraphReportInput& in,
                    Progress& progress = NoProgress());

// The page size the report is laid out on, in points.
inline constexpr double kGraphPageWidth = 595.276;
inline constexpr double kGraphPageHeight = 841.89;

} // namespace ia

class QPrinter;

namespace ia {

// Pages on a Qt printer (a real printer or the print preview's): A4
// upright, drawn through QPainter.
std::unique_ptr<GraphPages> PrinterGraphPages(QPrinter& printer);

// Where "พิมพ์กราฟ" prints: the default printer when there is one,
// otherwise the PDF file at pdfPath; noticeOut then says so (Thai).
std::unique_ptr<GraphPages> OpenDefaultGraphPages(const std::string& pdfPath,
                                                  std::string& noticeOut);

} // namespace ia
