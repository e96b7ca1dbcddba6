// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "report/RawPrint.h"

#include <memory>

namespace ia {

struct ExamViews;

// The key row of the key view alone (empty when the key table has no row).
RawRecord LoadRawKey(ExamViews& views);

// The sheets of the sheets view in the view's order, read one at a time as the
// printout reaches them. The view must stay open and unchanged meanwhile.
std::unique_ptr<RawSheetReader> ReadRawSheets(ExamViews& views);

} // namespace ia
