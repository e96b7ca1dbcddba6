// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The raw-data printout: the test header, the item numbers, the key and every
// answer sheet, one line each, on as many pages as they need.

#include "examfile/ExamState.h"

#include <optional>
#include <string>
#include <vector>

namespace ia {

class Printer;

// One record of the key or of an answer sheet, fields in stored order: the
// code, the answers to items 1..nItem, the score. A missing or NULL field
// prints like an empty one.
using RawRecord = std::vector<std::optional<std::string>>;

struct RawData {
    RawRecord key;
    std::vector<RawRecord> sheets; // in the order to print (by code)
};

// Prints the raw data as one job, every page. Fills an empty SubCode,
// SubName or Term of `header` with blanks, which stay there. Does nothing and
// returns false when there are no sheets.
bool RawPrint(Printer& prn, TestHeader& header, const std::string& schoolName, const RawData& data);

} // namespace ia
