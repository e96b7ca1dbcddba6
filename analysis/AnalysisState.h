// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

namespace ia {

// The two techniques of an analysis; one type for the analysis, the session,
// the window and the command line. The values are those AnalysisKind and the
// run log store.
enum class Technique : int16_t { SimpleFormula25 = 1, FanTable27 = 2 };

// What the last analysis found, kept for the report writers by whoever runs
// it (the window or the command line) and passed explicitly. The scratch
// counts of a run are local to it; nothing here is read back from the grids.
struct AnalysisState {
    // The answer fields analysed, X<first>..X<last> (1..nItem of the header).
    int FirstItemField = 1;
    int16_t LastItemField = 0;
    int16_t KeyedItemCount = 0;   // items with a key, as TStat.nItem stores it
    int16_t UnkeyedItemCount = 0; // items left out for want of a key
    int32_t SheetCount = 0;       // answer sheets analysed (TStat.nCase)
    // Whole-test figures unrounded, beside their stored texts.
    double TestMean = 0;
    double TestSD = 0;
    float TestKR20 = 0;
    int32_t GroupSize = 0;      // sheets in each of the high and low groups
    int16_t AnalysisKind = 0;   // a Technique's value after its analysis, 0 before any
    std::string ReportFileName; // the report text written after the analysis
};

} // namespace ia
