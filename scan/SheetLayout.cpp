// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/SheetLayout.h"

#include <algorithm>
#include <array>

namespace ia::scan {

namespace {

constexpr int kItemColumns = 5;
constexpr double kColumnsLeft = 46;
constexpr double kColumnWidth = 100.6;
constexpr double kNumberRight = 22; // from the column's left edge
constexpr double kFirstBubble = 32; // the first bubble's centre from the column's left edge
constexpr double kChoicePitch = 15;
constexpr double kRowPitch = 15;
constexpr double kFirstPageTop = 372;
constexpr double kFollowingPageTop = 125;
constexpr double kLastRow = 780;

constexpr double kCodeLeft = 62;
constexpr double kCodePitchX = 16;
constexpr double kCodeWriteTop = 194;
constexpr double kCodeTop = 224;
constexpr double kCodePitchY = 13;

int RowsOn(int page) {
    return static_cast<int>((kLastRow - SheetLayout::ItemsTop(page)) / kRowPitch) + 1;
}

} // namespace

PagePoint MarkerCentre(Corner corner) {
    const double near = kMarkerInset + kMarkerSide / 2;
    const double right = kPageWidth - near, bottom = kPageHeight - near;
    switch (corner) {
    case Corner::TopLeft:
        return {near, near};
    case Corner::TopRight:
        return {right, near};
    case Corner::BottomRight:
        return {right, bottom};
    case Corner::BottomLeft:
        break;
    }
    return {near, bottom};
}

PageRect QrRect() {
    return {466, 50, 80, 80};
}

double SheetLayout::ItemsTop(int page) {
    return page == 1 ? kFirstPageTop : kFollowingPageTop;
}

int SheetLayout::ItemsOnFirstPage() {
    return RowsOn(1) * kItemColumns;
}
int SheetLayout::ItemsOnFollowingPage() {
    return RowsOn(2) * kItemColumns;
}

SheetLayout::SheetLayout(int nItem, int nChoice, int codeDigits)
    : nItem_(nItem), nChoice_(nChoice), codeDigits_(std::clamp(codeDigits, 0, kMaxCodeDigits)) {
    int item = 1;
    for (int page = 1; item <= std::max(nItem_, 1); ++page) {
        firstItems_.push_back(item);
        item += page == 1 ? ItemsOnFirstPage() : ItemsOnFollowingPage();
    }
}

int SheetLayout::itemsOnPage(int page) const {
    const int last = page < pageCount() ? firstItems_[page] - 1 : nItem_;
    return std::max(0, last - firstItems_[page - 1] + 1);
}

int SheetLayout::pageOf(int item) const {
    int page = 1;
    while (page < pageCount() && firstItems_[page] <= item)
        ++page;
    return page;
}

PagePoint SheetLayout::itemNumber(int item) const {
    const int page = pageOf(item);
    const int index = item - firstItem(page);
    const int rows = RowsOn(page);
    const int column = index / rows, row = index % rows;
    return {kColumnsLeft + column * kColumnWidth + kNumberRight, ItemsTop(page) + row * kRowPitch};
}

PagePoint SheetLayout::bubble(int item, int choice) const {
    const PagePoint number = itemNumber(item);
    return {number.x - kNumberRight + kFirstBubble + (choice - 1) * kChoicePitch, number.y};
}

std::vector<PagePoint> SheetLayout::choiceHeads(int page) const {
    std::vector<PagePoint> heads;
    const int items = itemsOnPage(page);
    const int columns = std::min(kItemColumns, (items + RowsOn(page) - 1) / RowsOn(page));
    for (int c = 0; c < columns; ++c)
        for (int k = 1; k <= nChoice_; ++k)
            heads.push_back(
                {kColumnsLeft + c * kColumnWidth + kFirstBubble + (k - 1) * kChoicePitch,
                 ItemsTop(page) - 13});
    return heads;
}

PagePoint SheetLayout::codeBubble(int column, int digit) const {
    return {kCodeLeft + column * kCodePitchX, kCodeTop + digit * kCodePitchY};
}

PageRect SheetLayout::codeWriteBox(int column) const {
    return {kCodeLeft + column * kCodePitchX - 7, kCodeWriteTop, 14, 18};
}

PageRect SheetLayout::itemRow(int item) const {
    const PagePoint number = itemNumber(item);
    return {number.x - kNumberRight, number.y - kRowPitch / 2, kColumnWidth - 2, kRowPitch};
}

PageRect SheetLayout::codeGrid() const {
    return {kCodeLeft - 20, kCodeWriteTop - 4, codeDigits_ * kCodePitchX + 26,
            kCodeTop + 9 * kCodePitchY + 8 - kCodeWriteTop + 4};
}

const std::string& ChoiceLabel(int choice) {
    static const std::array<std::string, 5> labels{"ก", "ข", "ค", "ง", "จ"};
    return labels[std::clamp(choice, 1, 5) - 1];
}

} // namespace ia::scan
