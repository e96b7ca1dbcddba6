// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A block copied from a spreadsheet (tab-separated lines) pasted into the
// answer-sheet grid: the cells right of and below the current cell take the
// block's texts by the import's answer rules, all or nothing.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ia {

class Connection;

struct PasteOutcome {
    std::vector<std::string> errors; // "แถว r คอลัมน์ c: …" of the block, nothing written then
    int rowsAdded = 0;
    bool declined = false; // goOnOverwriting said no: nothing written
};

// rowids: the sheets in the grid's order; position: the grid row of the
// current cell (rowids.size() on the new-record row); column: 0 for the
// code, 1..nItem for an item. Rows beyond the last sheet are added. One
// transaction; throws DbError (nothing written then).
// When the block would replace stored values that are not empty, their number
// is put to goOnOverwriting (when given) before anything is written; false
// leaves the file as it was (declined).
PasteOutcome PasteBlock(Connection& db, const std::vector<long long>& rowids, int position,
                        int column, std::string_view text, int nItem, int nChoice,
                        const std::function<bool(int overwritten)>& goOnOverwriting = {});

} // namespace ia
