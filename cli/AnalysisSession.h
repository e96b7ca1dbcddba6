// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the subcommands that analyse share: a failure told on standard
// error, and an exam file opened and analysed the way the window does it.

#include "analysis/Analysis.h"
#include "analysis/AnalysisState.h"
#include "examfile/DataView.h"
#include "examfile/ExamState.h"

#include <string>

namespace ia::cli {

// Tells msg on standard error (one line) and gives the exit code 1.
int Fail(const std::string& msg);

// An exam file opened the way the window opens it: recognised, its structure
// checked, the five views bound and the header read.
struct AnalysisSession {
    ExamModule exam;
    ExamViews views;
    AnalysisState state;
    AnalysisHost host;
    AnalysisContext ctx{views, exam.header, state, host};
};

// False with the Thai reason in `error` when the file cannot be opened.
bool OpenAnalysisSession(AnalysisSession& s, const std::string& file, std::string& error);

// Runs technique "25" or "27" and stores its results, telling on standard
// error what the window would ask about first; with writeReport also the
// report file, as the analysis buttons do. 0, or the exit code of a failure
// already told.
int RunAnalysis(AnalysisSession& s, const std::string& technique, bool writeReport);

} // namespace ia::cli
