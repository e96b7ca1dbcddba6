// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The state of one report print job and the two routines every printout goes
// through: SetupPrinter at the start of a job, PrintAt for every text.

#include <cstdint>
#include <string>

namespace ia {

class Printer;

// Page geometry both printouts share, in centimetres: the top of a page's
// first line, the step from line to line, and the width texts are centred in.
inline constexpr float kPageTop = 1.0f;
inline constexpr float kLineStep = 0.6f;
inline constexpr float kCentreWidth = 15.8f;

struct PrintJob {
    int16_t PrintMode = 1; // 1 all pages, 2 odd, 3 even, 4 the range PageFrom..PageTo
    double PageFrom = 0;   // as typed, fraction included
    int16_t PageTo = 0;    // 0: no last page given, only PageFrom is printed
    int16_t PageNo = 0;    // page being laid out, from 1
    int16_t PageCount = 0; // pages of the report
};

// Takes a page range as typed in the two page boxes: PrintMode 4, PageFrom
// the number the first text begins with (fraction kept), PageTo the nearest
// whole number of the second (0 when it is empty or no number, held to what
// a page number can be). False, and the job untouched, when the first text
// is no number.
bool SetPageRange(PrintJob& job, const std::string& fromText, const std::string& toText);

// Refusal of a page selection that puts no page of the printout on paper.
inline constexpr const char* kNoPageSelected = "ช่วงหน้าที่เลือกไม่มีหน้าที่จะพิมพ์";

// Whether the job's selection puts at least one of pageCount pages on
// paper, the last page given held to pageCount as printing holds it.
bool SelectsAnyPage(const PrintJob& job, int pageCount);

// Whether page `page` of the job is put on paper under the given mode.
bool PageSelected(const PrintJob& job, int mode, int page);

// Prepares the printer for a new job: report font, portrait.
void SetupPrinter(Printer& prn);

// Moves the print position to (x, y) in centimetres and prints text there when
// the job's current page PageNo is selected by mode. Modes other than 1 to 4
// print nothing.
void PrintAt(Printer& prn, const PrintJob& job, int mode, float x, float y,
             const std::string& text);

} // namespace ia
