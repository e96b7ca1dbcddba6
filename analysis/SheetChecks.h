// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a teacher would want to know before an analysis runs: sheets without
// any answer, empty or repeated codes, items without a key and answers no
// key could match. Nothing is changed; the analysis may go on regardless.

#include "examfile/Engine.h"
#include "examfile/Progress.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ia {

// The findings gathered sheet by sheet, so that whoever reads the sheets
// anyway (the analysis) can check them in the same pass.
class SheetFindings {
  public:
    // keyed[i] tells whether item i + 1 has a key.
    SheetFindings(int nChoice, const std::vector<bool>& keyed);

    // An answer a key can match: one digit 0 .. nChoice.
    bool inRange(std::string_view answer) const {
        return answer.size() == 1 && answer[0] >= '0' && answer[0] <= '0' + nChoice_;
    }
    // One sheet in file order: its code (none for NULL), whether any answer
    // is given, and the items (1-based) whose answers are out of range.
    void addSheet(std::optional<std::string_view> code, bool anyAnswer,
                  const std::vector<int>& itemsOutOfRange);

    int keyedItems() const { return keyedItems_; }
    // One Thai line per kind of finding, with its count and the first few
    // codes or item numbers; empty when there is nothing to report.
    std::vector<std::string> lines() const;

  private:
    std::string_view code(size_t sheet) const;
    std::vector<std::string> repeatedCodes(long long& count) const;

    int nChoice_;
    int keyedItems_ = 0;
    std::vector<std::string> unkeyed_;
    // Only the first few sheets of each kind are named, so only they are kept.
    std::vector<std::string> noAnswer_, outside_;
    long long noAnswerCount_ = 0, emptyCodes_ = 0, outsideCount_ = 0;
    // Every non-blank code one after another, with where each begins and its
    // hash: repeats are found by sorting at the end, which keeps a million
    // codes in a few tens of megabytes and never walks a large table at random.
    std::string codes_;
    std::vector<size_t> codeStart_;
    std::vector<size_t> codeHash_;
};

// Reads the key and every sheet of the file and gives SheetFindings::lines();
// when keyedItems is given it receives the number of items with a key.
// Reports the sheets read (of expectedSheets, 0 when not known) to
// `progress`; a cancel throws JobCancelled (the file is only read).
std::vector<std::string> SheetWarnings(Connection& db, int nItem, int nChoice,
                                       int* keyedItems = nullptr, Progress& progress = NoProgress(),
                                       long long expectedSheets = 0);

// The question the window asks with the findings.
extern const char* const kSheetWarningsHeading; // "พบข้อมูลที่ควรตรวจสอบก่อนวิเคราะห์"

} // namespace ia
