// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where everything sits on our answer sheet, in points (1/72 inch) from the
// top left corner of an upright A4 page. The printing and the reading both
// take their places from here, so a sheet is read exactly where it was drawn.

#include <string>
#include <vector>

namespace ia::scan {

inline constexpr double kPageWidth = 595.276;
inline constexpr double kPageHeight = 841.89;

// The four solid squares the reader finds first. They are far larger than a
// bubble and solid, unlike the QR code's finder patterns, so neither can be
// taken for one.
inline constexpr double kMarkerSide = 22;
inline constexpr double kMarkerInset = 24; // paper edge to the square's outer side

enum class Corner { TopLeft, TopRight, BottomRight, BottomLeft };

struct PagePoint {
    double x = 0, y = 0;
};

struct PageRect {
    double x = 0, y = 0, w = 0, h = 0;
};

PagePoint MarkerCentre(Corner corner);

inline constexpr double kBubbleRadius = 5.5;
inline constexpr double kBubbleLine = 0.8;
// The part of a bubble whose darkness is measured: inside the printed ring
// with a margin for a page that is not quite where the markers put it.
inline constexpr double kMeasuredRadius = 3.9;

// The QR code's square (page 1 and every following page alike).
PageRect QrRect();

// The code grid of a blank sheet: columns of bubbles 0 to 9, top to bottom.
inline constexpr int kMaxCodeDigits = 12;

class SheetLayout {
  public:
    // nItem 1..251, nChoice 2..5; codeDigits 0 for a sheet without a code
    // grid (a personalised sheet).
    SheetLayout(int nItem, int nChoice, int codeDigits);

    int itemCount() const { return nItem_; }
    int choiceCount() const { return nChoice_; }
    int codeDigits() const { return codeDigits_; }
    int pageCount() const { return static_cast<int>(firstItems_.size()); }
    // The first item (1-based) on page p (1-based) and how many it holds.
    int firstItem(int page) const { return firstItems_[page - 1]; }
    int itemsOnPage(int page) const;
    // The page an item is on.
    int pageOf(int item) const;

    // How many items a first page and a following page hold.
    static int ItemsOnFirstPage();
    static int ItemsOnFollowingPage();

    // Centre of a choice's bubble (item 1-based, choice 1-based) on its page.
    PagePoint bubble(int item, int choice) const;
    // Where the item's number is written (its right end, the row's middle).
    PagePoint itemNumber(int item) const;
    // Where the choice letters above a column of items are centred.
    std::vector<PagePoint> choiceHeads(int page) const;
    // Centre of the bubble of digit d (0..9) in column c (0-based) of the code
    // grid, page 1.
    PagePoint codeBubble(int column, int digit) const;
    // The box above each code column where the digit is written by hand.
    PageRect codeWriteBox(int column) const;
    // The row of an item across all its bubbles, for a picture of it.
    PageRect itemRow(int item) const;
    // The code grid as a whole, for a picture of it.
    PageRect codeGrid() const;

    // Where the first page's items begin and every page's items end.
    static double ItemsTop(int page);

  private:
    int nItem_, nChoice_, codeDigits_;
    std::vector<int> firstItems_;
};

// Thai labels of the choices, ก ข ค ง จ.
const std::string& ChoiceLabel(int choice);

} // namespace ia::scan
