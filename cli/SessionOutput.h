// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The analysis as the subcommands run it: what the window would ask about
// is told as warnings on standard error, and the work goes on.

#include "cli/Fail.h"
#include "session/ExamSession.h"

#include <functional>
#include <string>

namespace ia::cli {

// Runs the technique given as "25" or "27" on the open session, telling on
// standard error what the window would ask about first and going on; with
// writeReport also the report file, as the analysis buttons do. 0, or the
// exit code of a failure already told.
int AnalyseTellingChecks(ExamSession& session, const std::string& technique, bool writeReport);

// Analyses as AnalyseTellingChecks does, then makes the output from the
// stored results, as one job: when Ctrl+C stops the output, what the
// analysis stored is taken back too, so the exam file is as it was. The
// output gives 0 or the exit code of a failure already told.
int AnalyseThenOutput(ExamSession& session, const std::string& technique,
                      const std::function<int()>& output);

} // namespace ia::cli
