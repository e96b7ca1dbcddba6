// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a teacher would want to know before an analysis runs: sheets without
// any answer, empty or repeated codes, items without a key and answers no
// key could match. Nothing is changed; the analysis may go on regardless.

#include "examfile/Engine.h"

#include <string>
#include <vector>

namespace ia {

// One Thai line per kind of finding, with its count and the first few codes
// or item numbers; empty when there is nothing to report.
// When keyedItems is given it receives the number of items with a key.
std::vector<std::string> SheetWarnings(Connection& db, int nItem, int nChoice,
                                       int* keyedItems = nullptr);

// The question the window asks with the findings.
extern const char* const kSheetWarningsHeading; // "พบข้อมูลที่ควรตรวจสอบก่อนวิเคราะห์"

} // namespace ia
