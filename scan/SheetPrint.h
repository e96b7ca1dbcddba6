// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answer sheets drawn on the graphical report's pages (cairo and Pango, so
// their Thai is text): the corner markers, the QR code, the test's header,
// a box for the name, the bubbles, and on a blank sheet the code grid.

#include "examfile/ExamState.h"
#include "examfile/Progress.h"

#include <string>
#include <vector>

namespace ia {
class GraphPages;
}

namespace ia::scan {

struct Student {
    std::string code;
    std::string name;
};

struct SheetPrintRequest {
    TestHeader header;
    std::string school;
    std::string examId;
    std::vector<Student> students; // a personalised sheet each
    int blankCopies = 0;           // sheets with the code grid
    int codeDigits = 5;
    bool key = false; // one key sheet, printed "เฉลย", and nothing else
};

// Draws every sheet; returns the number of pages. Each copy gets a number of
// its own, printed in its QR code, which ties its pages together. Reports
// the sheets drawn to progress; a cancel throws JobCancelled before the
// pages are finished.
int DrawAnswerSheets(GraphPages& pages, const SheetPrintRequest& request,
                     Progress& progress = NoProgress());

// The modules of a QR code for text (true: dark), row by row; empty when the
// text does not fit in one.
std::vector<std::vector<bool>> QrModules(const std::string& text);

} // namespace ia::scan
