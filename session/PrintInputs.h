// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the printouts take from the exam session: the page choice, the
// report's pages and the charts' input. Apart from the session because
// counting pages measures text as the printer will (Qt's fonts where the
// window is built), which the session's other flows never need.

#include "report/GraphReport.h"
#include "report/PrintState.h"
#include "session/ExamSession.h"

#include <string>

namespace ia {

// The print options' page choice; the values are the print job's mode.
enum class PageSelection { All = 1, Odd = 2, Even = 3, Range = 4 };
extern const char* const kFirstPageNotNumber; // "หน้าแรกต้องเป็นตัวเลข"

// The job for a page choice; a range is taken as typed in the two page
// boxes. PageRangeInvalid when the first page is no number.
Outcome<PrintJob> PrintJobFor(PageSelection selection, const std::string& fromText = {},
                              const std::string& toText = {});

// The report's data, the job and its page count, ready for a printer.
struct ReportPrintInput {
    ReportData data;
    PrintJob job;
    int pages = 0;
    // ResultsCurrencyNotice(): printed atop every page when not empty.
    std::string outdatedNotice;
};

// Pages of the session's report as the job lays them out; 0 when the
// results cannot be read.
int ReportPageCount(ExamSession& session);

// The report's data and pages for a job; NoPageSelected when the job's
// selection puts no page on paper.
Outcome<ReportPrintInput> ReportPrintInputFor(ExamSession& session, const PrintJob& job);

// The charts' input: the report data, the scores and the whole-test
// statistics of the file in hand, whose reading is told to `progress`;
// with results that are not known to be current, their notice and no
// whole-test statistics.
Outcome<GraphReportInput> GraphInputFor(ExamSession& session, const std::string& school,
                                        Progress& progress = NoProgress());

} // namespace ia
