// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The analysis report on paper: the item table, the p and r summary, the
// whole-test results and the quality summary, on A4 pages with a page header
// each, printing only the pages the job selects.

#include "examfile/ExamState.h"
#include "examfile/Progress.h"
#include "report/PrintState.h"
#include "report/ReportModel.h"

#include <cstdint>
#include <string>

namespace ia {

class Printer;

// Items of the item table on one page, by the number of choices per item.
int ItemsPerPage(int nChoice);

// Number of pages the report of `data` takes; stored in job.PageCount.
int16_t NumPage(PrintJob& job, const ReportData& data, int nChoice, int nItem);

// The line under the page titles: subject code and name, term, year and
// teacher. Fills an empty SubCode, SubName or Term of `header` with blanks,
// which stay there.
std::string PrintedHeaderLine(TestHeader& header);

// Prints the report through `prn` as one job, with the page selection of
// `job` (PrintMode, PageFrom, PageTo; PageTo is lowered to the page count).
// Fills an empty SubCode, SubName or Term of `header` with blanks, which
// stay there. Reports the pages laid out to `progress`; a cancel throws
// JobCancelled before the job ends, so a PDF is not written and the
// previous one stays. A non-empty outdatedNotice (the results no longer
// match the data) is printed at the top of every page, above the page
// number; the pages are otherwise as without it.
void PrintOutput(Printer& prn, PrintJob& job, TestHeader& header, const std::string& schoolName,
                 const ReportData& data, int nChoice, int nItem, Progress& progress = NoProgress(),
                 const std::string& outdatedNotice = {});

} // namespace ia
