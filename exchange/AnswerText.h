// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a cell of an imported source, or of a block pasted into the grid,
// becomes an answer.
#include <string>
#include <string_view>

namespace ia {

// Reads one cell as an answer of an item with nChoice choices: a digit 0 to
// nChoice (Thai digits too), a Thai letter ก ข ค ง จ or a Latin letter A-E
// (either case) for 1 to 5, or an option text led by one of these labels
// and ".", ")", ":" or a space ("ข. 25 องศา", "C) 12"); "*", the mark of a
// double mark, stays "*" (it matches no key), and so do several labels
// joined by commas, semicolons or spaces ("A, C", "ก,ค"). Empty (or only
// spaces) is no answer: answer becomes "". Otherwise false, with the Thai
// reason in error.
bool ReadAnswerCell(std::string_view cell, int nChoice, std::string& answer, std::string& error);

// Whether the cell reads as an answer (used to tell a header row).
bool IsAnswerCell(std::string_view cell, int nChoice);

} // namespace ia
