// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The key of a test recovered from the total score of each student, for a
// form that exports the scores but not the key (Google Forms' "Score").
#include <vector>

namespace ia {

// How many assignments of a key are tried before the search gives up: far
// more than a class's answers need when they settle the key, and a bound
// on the time spent on answers that do not.
inline constexpr long long kKeySearchSteps = 2'000'000;

enum class KeySearch {
    Unique,  // exactly one key fits every score
    None,    // no key fits: the scores are not one point per right answer
    Several, // more than one key fits
    TooLong, // the step limit was reached first
};

struct RecoveredKey {
    KeySearch outcome = KeySearch::None;
    std::vector<int> key; // a choice per question (Unique only)
    long long steps = 0;
};

// answers[s][q]: the choice of student s on question q, 1..nChoice, or 0
// for none or several (it matches no key). Finds the one choice per
// question such that every student's number of answers matching it equals
// scores[s].
RecoveredKey RecoverKeyFromScores(const std::vector<std::vector<int>>& answers,
                                  const std::vector<int>& scores, int nQuestion, int nChoice,
                                  long long stepLimit = kKeySearchSteps);

} // namespace ia
