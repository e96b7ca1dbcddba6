// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads the answer matrix of an exam file for the item statistics, without
// writing anything to the file.

#include "analysis/ItemStatistics.h"
#include "examfile/Progress.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ia {

class Connection;

struct ExamAnswers {
    AnswerMatrix matrix;
    // The key of each item as stored ("" for none), for showing a key that
    // lies outside the choices.
    std::vector<std::string> keyTexts;
};

// The answer code of a text: "" / NULL / "0" no answer, "1" .. choices that
// choice, the item's key text (when the key is outside the choices) kOtherKey,
// anything else kOtherAnswer.
AnswerCode AnswerCodeOf(std::optional<std::string_view> text, int choices,
                        std::string_view keyText);
// The key code of a key text: NULL, "" and "0" mean no key, exactly as the
// scoring counts them.
AnswerCode KeyCodeOf(std::optional<std::string_view> text, int choices);

// Sheets in row order. Throws AnalysisError with a Thai text when the file
// is not an exam file of sound structure or its number of choices lies
// outside 2 .. 5. Reports the sheets read to `progress`; a cancel throws
// JobCancelled (nothing is written: the file is only read).
ExamAnswers LoadExamAnswers(const std::string& path, Progress& progress = NoProgress());
// The same over a connection in hand, inside its one read snapshot (see
// ReadSnapshot), so that other tables read with it show the same state.
ExamAnswers LoadExamAnswers(Connection& db, Progress& progress = NoProgress());

// The group label of every sheet, in the same row order, "" for a sheet of
// no group (every sheet of a file without the group table). Only reads.
std::vector<std::string> LoadGroupLabels(const std::string& path);
// The same over a connection in hand (within the caller's read snapshot,
// when it holds one).
std::vector<std::string> LoadGroupLabels(Connection& db);

// The answers and the group labels of the exam file at path from one look
// at it: one check, one connection and one state of the file for both.
struct GroupedAnswers {
    ExamAnswers answers;
    std::vector<std::string> labels;
};
GroupedAnswers LoadGroupedAnswers(const std::string& path, Progress& progress = NoProgress());

} // namespace ia
