// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The choice numbers of a form's option texts, one question at a time, from
// the whole set of texts its answers hold: never guessed from a digit inside
// a text, never one option for a cell with several.
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ia {

// The choice a label leading an option text stands for: ก-จ, A-E, a-e or
// 1-5 followed by ". ", ") " or ": " ("ข. 25 องศา", "C) 12"); 0 when the
// text has no such label ("3 ตัว", "3", "สีแดง").
int OptionLabel(std::string_view text);

struct OptionNumbering {
    // The stored answer of every text: "1".."9", or "*" for a cell holding
    // several options.
    std::map<std::string, std::string> answers;
    // The single options, in the order first met, with their choice (0 when
    // not numbered).
    std::vector<std::pair<std::string, int>> options;
    bool labelled = false; // every option text carries its label
    std::string error;     // why the question cannot be numbered; empty when it can
};

// Numbers the distinct non-empty texts of one question (in the order first
// met) for nChoice choices. A text made of other texts of the question (or
// of labelled or listed ones) joined by ";" or ", " is several answers. The
// options are numbered by their labels when every one has a distinct label,
// otherwise by `listed` (text → choice, the teacher's list), which must then
// cover them all. `question` names the question in the errors ("ข้อ 2").
OptionNumbering NumberOptions(const std::vector<std::string>& texts, int nChoice,
                              const std::map<std::string, int>& listed,
                              const std::string& question);

} // namespace ia
