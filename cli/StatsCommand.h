// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// itemanalysis-cli stats FILE [--json] [--csv DIR]: the item statistics of an
// exam file for other programs, read without writing to the file.

#include "analysis/ExamAnswers.h"
#include "analysis/ItemStatistics.h"

#include <string>

namespace ia {

// The statistics as one JSON object (UTF-8), numbers in full precision and
// null where a value is undefined.
std::string ItemStatisticsJson(const TestStatistics& t, const ExamAnswers& a);

// Writes test.csv, items.csv, choices.csv and distribution.csv into dir
// (created if missing), UTF-8 with a byte order mark. Returns a Thai text
// for the user on failure, empty on success.
std::string WriteItemStatisticsCsv(const TestStatistics& t, const ExamAnswers& a,
                                   const std::string& dir);

// The subcommand; argv[1] is "stats". Returns the exit code.
int StatsCommand(int argc, char** argv);

} // namespace ia
