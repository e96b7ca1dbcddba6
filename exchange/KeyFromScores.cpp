// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/KeyFromScores.h"

#include <algorithm>
#include <numeric>

namespace ia {
namespace {

struct Search {
    const std::vector<std::vector<int>>& answers;
    const std::vector<int>& scores;
    int nChoice;
    long long limit;
    std::vector<int> order;     // questions, most telling first
    std::vector<int> matched;   // per student, under the choices made so far
    std::vector<int> remaining; // per student, answered questions not yet decided
    std::vector<int> key;
    std::vector<int> found;
    int solutions = 0;
    long long steps = 0;
    bool stopped = false;

    // Whether every student can still reach exactly their score.
    bool feasible() const {
        for (size_t s = 0; s < scores.size(); ++s)
            if (matched[s] > scores[s] || matched[s] + remaining[s] < scores[s]) return false;
        return true;
    }
    void run(size_t depth) {
        if (stopped || solutions > 1) return;
        if (depth == order.size()) {
            if (++solutions == 1) found = key;
            return;
        }
        const int q = order[depth];
        for (size_t s = 0; s < answers.size(); ++s)
            if (answers[s][q] > 0) --remaining[s];
        for (int c = 1; c <= nChoice && !stopped && solutions <= 1; ++c) {
            if (++steps > limit) {
                stopped = true;
                break;
            }
            key[q] = c;
            for (size_t s = 0; s < answers.size(); ++s)
                if (answers[s][q] == c) ++matched[s];
            if (feasible()) run(depth + 1);
            for (size_t s = 0; s < answers.size(); ++s)
                if (answers[s][q] == c) --matched[s];
        }
        for (size_t s = 0; s < answers.size(); ++s)
            if (answers[s][q] > 0) ++remaining[s];
    }
};

} // namespace

RecoveredKey RecoverKeyFromScores(const std::vector<std::vector<int>>& answers,
                                  const std::vector<int>& scores, int nQuestion, int nChoice,
                                  long long stepLimit) {
    Search search{answers, scores, nChoice, stepLimit, {}, {}, {}, {}, {}, 0, 0, false};
    search.matched.assign(scores.size(), 0);
    search.remaining.assign(scores.size(), 0);
    search.key.assign(nQuestion, 0);
    for (size_t s = 0; s < answers.size(); ++s)
        for (int q = 0; q < nQuestion; ++q)
            if (answers[s][q] > 0) ++search.remaining[s];
    // Questions most of the class answered alike come first: a choice there
    // moves many counts at once, so a wrong one fails soon.
    search.order.resize(nQuestion);
    std::iota(search.order.begin(), search.order.end(), 0);
    std::vector<int> spread(nQuestion);
    for (int q = 0; q < nQuestion; ++q) {
        std::vector<int> count(nChoice + 1);
        for (const auto& a : answers)
            ++count[std::clamp(a[q], 0, nChoice)];
        spread[q] = *std::max_element(count.begin() + 1, count.end());
    }
    std::stable_sort(search.order.begin(), search.order.end(),
                     [&](int a, int b) { return spread[a] > spread[b]; });
    RecoveredKey out;
    if (search.feasible()) search.run(0);
    out.steps = search.steps;
    if (search.stopped)
        out.outcome = KeySearch::TooLong;
    else if (search.solutions == 0)
        out.outcome = KeySearch::None;
    else if (search.solutions > 1)
        out.outcome = KeySearch::Several;
    else {
        out.outcome = KeySearch::Unique;
        out.key = search.found;
    }
    return out;
}

} // namespace ia
