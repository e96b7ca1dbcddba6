// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The progress of the one job a run of itemanalysis-cli does: a line on
// standard error, redrawn in place, while standard error is a terminal and
// --quiet was not given; and Ctrl+C, which cancels the job so that it
// leaves every file as it was and the run exits with 130.

#include "examfile/Progress.h"

namespace ia::cli {

// Exit code of a cancelled run.
inline constexpr int kCancelledExitCode = 130;

// Takes --quiet out of the command line (argv and argc shrink), so that the
// subcommands never see it; true when it was there.
bool TakeQuietOption(int& argc, char** argv);

// Starts watching the job: Ctrl+C from now on cancels it, and the progress
// line is drawn unless quiet. Every message on standard error and every
// result on standard output clears the line first, so that nothing runs
// into it.
void StartJobProgress(bool quiet);

// The progress every job of this run reports to (it never cancels before
// StartJobProgress).
Progress& JobProgress();

// Whether the job was stopped by Ctrl+C.
bool JobWasCancelled();

// Clears the progress line; a run ends with nothing of it left on screen.
void EndJobProgress();

} // namespace ia::cli
