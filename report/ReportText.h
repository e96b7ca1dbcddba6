// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The analysis report as a text file beside the exam file (code page 874,
// lines ended by CR LF), rewritten after every analysis.

#include "examfile/ExamState.h"
#include "report/ReportModel.h"

#include <stdexcept>
#include <string>

namespace ia {

class ReportWriteError : public std::runtime_error {
  public:
    explicit ReportWriteError(const std::string& path);
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// The report's path: the exam file's with the extension "txt".
std::string ReportPathFor(const std::string& examFileName);

// Writes the report of the analysis in `data` and returns its path. Empty
// subject code, subject name and term are replaced in `header` by the blanks
// that keep the header line's columns; the term is always taken from
// termBox. Throws ReportWriteError when the file cannot be written
// completely; a previous report of the same name is then left as it was.
std::string CreateOutputFile(const std::string& examFileName, TestHeader& header,
                             const std::string& termBox, const ReportData& data);

struct ExamViews;
struct AnalysisState;

// The report of the analysis just stored in the file bound to views: read
// it (LoadReportData) and write it (CreateOutputFile); returns its path.
std::string WriteAnalysisReport(ExamViews& views, const AnalysisState& state,
                                const std::string& examFileName, TestHeader& header,
                                const std::string& termBox);

} // namespace ia
