// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

namespace ia {

// What the last analysis found, kept for the report writers by whoever runs
// it (the window or the command line) and passed explicitly.
struct AnalysisState {
    int FirstItemField = 1;
    int16_t LastItemField = 0;
    int16_t KeyedItemCount = 0;
    int16_t UnkeyedItemCount = 0;
    int32_t SheetCount = 0;
    double TestMean = 0;
    double TestSD = 0;
    float TestKR20 = 0;
    int32_t GroupSize = 0;
    int16_t AnalysisKind = 0; // 1 after the 25 % analysis, 2 after the 27 % analysis
    std::string ReportFileName;
};

} // namespace ia
