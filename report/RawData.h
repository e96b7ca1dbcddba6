// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "report/RawPrint.h"

namespace ia {

struct ExamViews;

// The key row of Data2 and the sheets of Data1 in the view's order.
RawData LoadRawData(ExamViews& views);

} // namespace ia
