// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// itemanalysis-cli pool and compare: class files pooled into one, and the
// groups of a pooled file compared, with DIF.

#include "analysis/Dif.h"

#include <string>

namespace ia::cli {

// The comparison as one JSON object (UTF-8); documented in docs/statistics.md.
std::string GroupComparisonJson(const GroupAnalysis& g);
// groups.csv, items.csv, dif.csv (and gmh.csv with more than two groups) in
// dir; a Thai text on failure, empty on success.
std::string WriteGroupComparisonCsv(const GroupAnalysis& g, const std::string& dir);

// argv[1] is "pool". Returns the exit code.
int PoolCommand(int argc, char** argv);
// argv[1] is "compare". Returns the exit code.
int CompareCommand(int argc, char** argv);

} // namespace ia::cli
