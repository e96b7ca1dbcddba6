// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An answer sheet page as the reader leaves it and the storing takes it:
// plain values, no image library, so the exam file's side needs none.

#include "scan/MarkDecision.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ia::scan {

// What the QR code of a printed page says.
struct SheetIdentity {
    std::string examId;
    int page = 1;       // 1-based
    int pageCount = 1;  // pages of the sheet
    bool key = false;   // the key sheet, printed "เฉลย"
    int copy = 0;       // the printed copy: pages of one sheet share it
    int codeDigits = 0; // columns of the code grid on page 1; 0 without one
    std::string code;   // a personalised sheet's student code; empty on a blank one
};

std::string EncodeIdentity(const SheetIdentity& identity);
std::optional<SheetIdentity> ParseIdentity(const std::string& text);

// Where a page came from: the file and, in a PDF or a TIFF of several
// pages, the page's number (1-based).
struct PageSource {
    std::string path;
    int page = 1;
};

// A page read: its identity and every bubble's darkness, or why it could not
// be read.
struct ReadPage {
    PageSource source;
    std::string refusal; // Thai; empty when the page was read
    SheetIdentity identity;
    int firstItem = 1;                     // of the items below
    std::vector<std::vector<float>> items; // darkness of each choice, item by item
    std::vector<std::vector<float>> code;  // the code grid's columns (page 1 of a blank sheet)
    PageLevels levels;

    bool readable() const { return refusal.empty(); }
};

// A teacher's answer for a doubtful item or an unread code, keyed by the
// page it is on: "item" is the item number, or 0 for the student code.
struct ReviewKey {
    std::string path;
    int page = 1;
    int item = 0;
    auto operator<=>(const ReviewKey&) const = default;
};
using ReviewDecisions = std::map<ReviewKey, std::string>;

} // namespace ia::scan
