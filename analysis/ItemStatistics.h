// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whole-test item statistics, distractor analysis and the key check.
// Plain C++ over an answer matrix: no database and no Qt, so that the window,
// the command line, the charts and the export all compute the same numbers.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ia {

// One answer, or one item's key, as a small code.
using AnswerCode = uint8_t;
// No answer: empty, NULL or "0". As a key: the item has no key and is not
// counted (it is left out of every statistic).
constexpr AnswerCode kNoAnswer = 0;
// 1 .. number of choices: that choice.
// Some other text, outside the choices: counted as invalid.
constexpr AnswerCode kOtherAnswer = 255;
// A key outside the choices (a text other than "1" .. number of choices):
// the item is keyed, and answers of that same text carry this code too, so
// that they score as the scoring counts them (and still count as invalid).
constexpr AnswerCode kOtherKey = 254;

// The answers of N sheets to n items, sheets in row order (rowid), which is
// the order that breaks ties of equal total scores.
struct AnswerMatrix {
    int sheets = 0;
    int items = 0;                   // item numbers 1 .. items, column j holding item j + 1
    int choices = 0;                 // 1 .. 9
    std::vector<AnswerCode> answers; // sheets x items, one sheet after another
    std::vector<AnswerCode> keys;    // one per item
    AnswerCode at(int sheet, int item) const {
        return answers[static_cast<size_t>(sheet) * static_cast<size_t>(items) +
                       static_cast<size_t>(item)];
    }
};

// Where an item is judged to need a look. The values are those the panel
// shows beside the flags.
constexpr double kHardBelow = 0.20;              // p below: too hard
constexpr double kEasyAbove = 0.90;              // p above: too easy
constexpr double kLowDiscriminationBelow = 0.20; // 0 <= r_it below: low discrimination
constexpr double kNonfunctionalBelow = 0.05;     // a distractor chosen by fewer: non-functional

constexpr int kScoreGroups = 5;

enum class FlagCode {
    PossibleMiskey,
    NegativeDiscrimination,
    LowDiscrimination,
    TooHard,
    TooEasy,
    NonfunctionalDistractor,
};
// The code as other programs read it ("possible_miskey", ...).
const char* FlagName(FlagCode code);

struct ItemFlag {
    FlagCode code;
    int choice = 0;   // the distractor named by the flag, 0 for none
    std::string text; // Thai sentence for the teacher
};

// A few Thai words for the flag, where a table has room for no more.
std::string ShortFlagText(const ItemFlag& flag);

struct ChoiceStatistics {
    int choice = 0; // 1 .. choices, 0 for "no answer"
    int count = 0;
    double proportion = 0;           // count / N
    std::optional<double> meanScore; // mean total score of those who chose it
    std::optional<double> rpb;       // with the rest score
    std::array<std::optional<double>, kScoreGroups> groups; // lowest scores first
};

struct ItemStatistics {
    int item = 0; // 1-based item number
    AnswerCode key = kNoAnswer;
    double p = 0;
    std::optional<double> rit;            // item score with the rest score
    std::optional<double> alphaIfDeleted; // KR-20 of the other keyed items
    int omitted = 0;
    int invalid = 0;
    // Choices 1 .. number of choices, then "no answer".
    std::vector<ChoiceStatistics> choices;
    // Possible miskeys first (highest r_pb first), then the other flags in
    // the order of FlagCode, distractors in choice order.
    std::vector<ItemFlag> flags;
    bool has(FlagCode code) const;
};

// How an item sorts by its flags: one with a possible miskey comes before
// every item without one, then more flags before fewer.
double FlagSortWeight(const ItemStatistics& item);

struct ScoreCount {
    int score = 0;
    int count = 0;
    double percentileRank = 0; // (count below + count / 2) / N * 100
};

struct TestStatistics {
    int sheets = 0;
    int keyedItems = 0;
    double mean = 0;
    double sd = 0; // population
    std::optional<double> kr20;
    std::optional<double> kr21;
    std::optional<double> sem;
    std::optional<double> splitHalf;      // odd/even keyed items, Spearman-Brown stepped up
    std::vector<ScoreCount> distribution; // scores 0 .. keyedItems
    std::vector<ItemStatistics> items;    // keyed items only, in item order
    std::vector<int> scores;              // total score of each sheet, row order
    // The statistics of an item number, or null when it is not keyed.
    const ItemStatistics* item(int number) const;
};

// Everything at once, in one pass over the matrix per statistic family.
TestStatistics ComputeItemStatistics(const AnswerMatrix& m);

// The KR-20 and the item's r_it that the test would give with a different
// key for one item (kNoAnswer: the item dropped), for the what-if of the key
// check. The item's r_it is empty when the item is dropped.
struct KeyChangeEffect {
    std::optional<double> kr20;
    std::optional<double> rit;
};
KeyChangeEffect EffectOfKeyChange(const AnswerMatrix& m, int item, AnswerCode newKey);

// The text of a key or choice code as stored: "1" .. "9", "" for none.
std::string ChoiceText(AnswerCode code);

} // namespace ia
