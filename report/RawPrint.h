// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The raw-data printout: the test header, the item numbers, the key and every
// answer sheet, one line each, on as many pages as they need.

#include "examfile/ExamState.h"
#include "examfile/Progress.h"

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

// The answer sheets of a printout read one at a time in printing order, so
// that a printout of a million sheets holds one sheet, not all of them.
class RawSheetReader {
  public:
    virtual ~RawSheetReader() = default;
    virtual size_t count() const = 0;
    // The next sheet; called count() times.
    virtual RawRecord next() = 0;
};

// Prints the raw data as one job, every page, a page at a time: the pages
// go to the printer as they are laid out. Fills an empty SubCode, SubName or
// Term of `header` with blanks, which stay there. Does nothing and returns
// false when there are no sheets. Reports the pages laid out to `progress`;
// a cancel throws JobCancelled before the job ends, so the printer never
// completes it (a PDF is then not written, the previous one stays).
bool RawPrint(Printer& prn, TestHeader& header, const std::string& schoolName, const RawRecord& key,
              RawSheetReader& sheets, Progress& progress = NoProgress());
// The same with every sheet in hand.
bool RawPrint(Printer& prn, TestHeader& header, const std::string& schoolName, const RawData& data,
              Progress& progress = NoProgress());

} // namespace ia
