// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a bubble's darkness means. Every bubble is measured, 0 for the white
// paper and 1 for solid black, and judged against the levels of its own page
// (a soft pencil, a grey scan or a dim photo move both), never against fixed
// numbers alone. A mark that is neither clearly there nor clearly absent is
// doubtful: it goes to a person, it is never guessed.

#include <string>
#include <vector>

namespace ia::scan {

// The darkness of an empty bubble and of a filled one on a page.
struct PageLevels {
    double blank = 0;
    double filled = 0.6;
};

// The levels of a page from the darkness of all its bubbles: most bubbles
// are empty and most marks are full, so the two groups either side of the
// widest gap give them. A page with (almost) no marks takes a filled level
// at a fixed distance above its blank one.
PageLevels EstimateLevels(std::vector<float> darkness);

// A bubble's darkness as a share of the way from the page's blank to its
// filled level.
double MarkStrength(double darkness, const PageLevels& levels);

enum class BubbleKind { Empty, Marked, Unclear };
BubbleKind JudgeBubble(double darkness, const PageLevels& levels);

enum class ItemReading {
    Blank,    // no bubble marked
    Answer,   // exactly one, clearly
    Multiple, // two or more, all clearly: "*"
    Doubtful, // a light or erased mark, or marks of different strength
};

struct ItemDecision {
    ItemReading reading = ItemReading::Blank;
    int choice = 0; // 1-based, for Answer
};

ItemDecision DecideItem(const std::vector<float>& darkness, const PageLevels& levels);

// The answer as the exam file stores it: "1".."5", "*" or "" (no answer);
// a doubtful item has none.
std::string AnswerText(const ItemDecision& decision);

// A column of the code grid read: the digit, or why it has none.
struct CodeReading {
    std::string code;    // digits, when read
    std::string problem; // Thai, empty when read
};

// Columns of ten darkness values (digits 0 to 9). Leading columns left empty
// are skipped (a short code in a wide grid); every other column must hold
// exactly one clear mark.
CodeReading DecideCode(const std::vector<std::vector<float>>& columns, const PageLevels& levels);

// The darkness values as kept in the exam file and written in review.csv:
// three decimals, separated by "/".
std::string DarknessText(const std::vector<float>& darkness);
bool ParseDarknessText(const std::string& text, std::vector<float>& darkness);
// Rows of them (a page's items, the code grid's columns), separated by ";".
std::string DarknessRowsText(const std::vector<std::vector<float>>& rows);
std::vector<std::vector<float>> ParseDarknessRows(const std::string& text);

} // namespace ia::scan
