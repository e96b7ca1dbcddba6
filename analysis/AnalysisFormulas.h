// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The formulas of the item analysis over plain inputs: the key, a compact
// matrix of the answers and counts. Nothing here reads or writes a file, so
// every formula can be tried on a table of cases; Analysis.cpp loads the
// inputs from the exam file, calls these and stores what they return.

#include "analysis/FanTable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ia {

// A stored text, or no value for NULL.
using StoredText = std::optional<std::string_view>;

// ---------------------------------------------------------------------------
// The key and the answers

// Whether an item is left out of the analysis by its key: a key never typed
// (NULL), an empty key or "0" (the rule of IsKeyed).
bool IsUnkeyed(StoredText key);

// Whether an answer earns the item's point: the key counts and the answer's
// text is exactly the key's. A NULL answer never matches.
bool AnswerMatchesKey(StoredText answer, StoredText key);

// The choice an answer stands for in the group counts: the whole number
// 0..6 it begins with, or kNoChoice (NULL, another number, a fraction).
constexpr int kNoChoice = 7;
int ChoiceOfAnswer(StoredText answer);

// Whether choice j is the keyed one (the key's text is the choice number).
bool IsKeyChoice(StoredText key, int choice);

// One answer as the statistics need it, in four bits: whether it earns the
// point, and its choice (0..6, or kNoChoice).
struct AnswerCell {
    bool correct = false;
    uint8_t choice = kNoChoice;
    uint8_t packed() const { return static_cast<uint8_t>((correct ? 8 : 0) | choice); }
    static AnswerCell unpack(uint8_t nibble) {
        return {(nibble & 8) != 0, static_cast<uint8_t>(nibble & 7)};
    }
};
AnswerCell CellOf(StoredText answer, StoredText key);

// Counts of the key: keyed and unkeyed items.
struct KeyCounts {
    int keyed = 0, unkeyed = 0;
};
KeyCounts CountKeyedItems(const std::vector<StoredText>& keys);

// The answers of all sheets, half a byte per answer, sheets in file order.
class ScoringMatrix {
  public:
    explicit ScoringMatrix(int items = 0);
    int items() const { return items_; }
    long long sheets() const { return sheets_; }
    // Appends a sheet whose answers all stand for no choice.
    void addSheet();
    // Appends a sheet from its cells, one packed cell per item.
    void addSheet(const uint8_t* packedCells);
    // Sets an answer of the last sheet added.
    void setLast(int item, AnswerCell cell) { setPacked(sheets_ - 1, item, cell.packed()); }
    void setLastPacked(int item, uint8_t nibble) { setPacked(sheets_ - 1, item, nibble); }
    AnswerCell at(long long sheet, int item) const {
        const uint8_t b = bytes_[static_cast<size_t>(sheet) * stride_ + item / 2];
        return AnswerCell::unpack(item % 2 ? b >> 4 : b & 15);
    }
    void reserve(long long sheets) { bytes_.reserve(static_cast<size_t>(sheets) * stride_); }

  private:
    void setPacked(long long sheet, int item, uint8_t nibble) {
        uint8_t& b = bytes_[static_cast<size_t>(sheet) * stride_ + item / 2];
        b = item % 2 ? static_cast<uint8_t>((b & 0x0F) | (nibble << 4))
                     : static_cast<uint8_t>((b & 0xF0) | nibble);
    }
    int items_ = 0;
    size_t stride_ = 0;
    long long sheets_ = 0;
    std::vector<uint8_t> bytes_;
};

// ---------------------------------------------------------------------------
// Scores and the statistics of the test

struct Scoring {
    std::vector<uint16_t> scores;            // per sheet, file order
    std::vector<long long> correctByItem;    // sheets that earned each item's point
    long long sumScores = 0, sumSquares = 0; // over the sheets, exact
};
Scoring ScoreSheets(const ScoringMatrix& answers);

// KR-20 and the standard error of measurement as stored: both empty when
// they are undefined (fewer than two keyed items, or no spread of scores).
struct Reliability {
    float kr20 = 0; // 0 when undefined
    std::string kr20Text, semText;
};

struct TestSummary {
    long long sheets = 0;
    double mean = 0, sd = 0, variance = 0;
    Reliability reliability;
    // As stored in the statistics row.
    std::string meanText, sdText;
};
TestSummary DescribeTest(const Scoring& scoring, int keyedItems);

// ---------------------------------------------------------------------------
// The high and low groups

// Sheets in each group: percent of all sheets, halves rounded to even.
int GroupSize(int percent, long long sheets);

// Answers of the groups by item and choice 0..6. The sheets are ranked by
// score, equal scores in file order; the low group is the first groupSize,
// the high group the last groupSize.
class GroupCounts {
  public:
    GroupCounts(int items = 0) : high_(items), low_(items) {}
    int items() const { return static_cast<int>(high_.size()); }
    long long high(int item, int choice) const { return high_[item][choice]; }
    long long low(int item, int choice) const { return low_[item][choice]; }
    std::array<long long, 7>& highRow(int item) { return high_[item]; }
    std::array<long long, 7>& lowRow(int item) { return low_[item]; }

  private:
    std::vector<std::array<long long, 7>> high_, low_;
};
GroupCounts CountHighLowGroups(const ScoringMatrix& answers, const std::vector<uint16_t>& scores,
                               int groupSize);

// One row of the results: an item's choice with its group counts and the
// shares of each group that chose it (no value when nobody in that group
// answered the item with a choice in 1..nChoice).
struct ChoiceRow {
    int item = 0, choice = 0;
    bool isKey = false;
    long long high = 0, low = 0;
    std::optional<std::string> highShare, lowShare;
};
// Rows of items 1..counts.items() (index 0 of keys and counts is item 1).
std::vector<ChoiceRow> ChoiceRows(const GroupCounts& counts, const std::vector<StoredText>& keys,
                                  int nChoice);

// ---------------------------------------------------------------------------
// The two techniques: p, r, delta and Zr of one row, as stored texts

struct RowResult {
    std::string p, r, delta;
    std::optional<std::string> zr; // the keyed row only
};

// The 25 % technique's simple formulas over the group counts.
RowResult SimpleFormula25(long long high, long long low, bool isKey, int groupSize);

// The 27 % technique's Fan-table lookup from the stored shares in whole
// hundredths.
RowResult FanTable27(long long high, long long low, int highShare100, int lowShare100, bool isKey,
                     const ChungTables& tables);

// Averages over the keyed rows. They are taken from the texts as stored
// (rounded) and read back, so that the averages agree with the printed
// columns; divided by the number of keyed items.
struct Averages {
    std::string p, r, delta, zr;
};
Averages AverageOfStoredTexts(const std::vector<RowResult>& keyRows, int keyedItems);

// The judgement of a row: difficulty and discrimination for the keyed row,
// the working of a distractor otherwise (p and r in whole hundredths).
std::string JudgeRow(bool isKey, long long p100, long long r100, long long high, long long low);

} // namespace ia
