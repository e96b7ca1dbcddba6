// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/ItemStatistics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace ia {

namespace {

// Sums are kept as whole numbers so that the variances and covariances are
// exact; only the final ratios are rounded.
struct Sums {
    long long n = 0, sx = 0, sxx = 0;
};

// Pearson r from whole-number sums; empty when either side is constant.
std::optional<double> Pearson(long long n, long long sx, long long sxx, long long sy, long long syy,
                              long long sxy) {
    const long long vx = n * sxx - sx * sx;
    const long long vy = n * syy - sy * sy;
    if (vx <= 0 || vy <= 0) return std::nullopt;
    const double cov = static_cast<double>(n * sxy - sx * sy);
    return cov / std::sqrt(static_cast<double>(vx) * static_cast<double>(vy));
}

// KR-20 over k items from the sum of p(1 - p) and the population variance
// of their total; empty with fewer than two items or no spread.
std::optional<double> Kr20(int k, double sumPq, double variance) {
    if (k < 2 || !(variance > 0)) return std::nullopt;
    const double kk = k;
    return (kk / (kk - 1)) * (1 - sumPq / variance);
}

std::string Fixed(double x, int decimals) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string Percent(double proportion) {
    return Fixed(proportion * 100, 1);
}

// Where each answer code is counted: 0 no answer, 1..C the choices, C + 1 an
// answer equal to a key outside the choices, C + 2 any other answer.
struct Buckets {
    std::array<uint8_t, 256> of{};
    int count = 0;
    explicit Buckets(int choices) {
        count = choices + 3;
        for (int c = 0; c < 256; ++c)
            of[c] = static_cast<uint8_t>(c <= choices     ? c
                                         : c == kOtherKey ? choices + 1
                                                          : choices + 2);
    }
    int keyBucket(AnswerCode key) const { return of[key]; }
};

std::vector<int> KeyedColumns(const std::vector<AnswerCode>& keys) {
    std::vector<int> cols;
    for (int j = 0; j < static_cast<int>(keys.size()); ++j)
        if (keys[j] != kNoAnswer) cols.push_back(j);
    return cols;
}

std::vector<int> TotalScores(const AnswerMatrix& m, const std::vector<AnswerCode>& keys,
                             const std::vector<int>& cols) {
    std::vector<int> x(static_cast<size_t>(m.sheets), 0);
    for (int s = 0; s < m.sheets; ++s) {
        const AnswerCode* row = m.answers.data() + static_cast<size_t>(s) * m.items;
        int score = 0;
        for (int j : cols)
            score += row[j] == keys[j];
        x[s] = score;
    }
    return x;
}

Sums ScoreSums(const std::vector<int>& x) {
    Sums t;
    t.n = static_cast<long long>(x.size());
    for (int v : x) {
        t.sx += v;
        t.sxx += static_cast<long long>(v) * v;
    }
    return t;
}

double PopulationVariance(const Sums& t) {
    if (t.n == 0) return 0;
    const long long v = t.n * t.sxx - t.sx * t.sx;
    return static_cast<double>(v) / (static_cast<double>(t.n) * static_cast<double>(t.n));
}

// Per item and bucket: how many chose it and the sum of their total scores.
struct ItemCounts {
    std::vector<long long> count, sumX;
    int buckets = 0;
    long long& c(int col, int b) { return count[static_cast<size_t>(col) * buckets + b]; }
    long long& s(int col, int b) { return sumX[static_cast<size_t>(col) * buckets + b]; }
};

// The rest-score side of item j: sums of X - u over all sheets, where u is
// the item score.
struct Rest {
    long long sy = 0, syy = 0;
};
Rest RestOf(const Sums& t, long long nCorrect, long long sumXCorrect) {
    return {t.sx - nCorrect, t.sxx - 2 * sumXCorrect + nCorrect};
}

// Statistics of one item from its counts; the flags are added later.
struct ItemCore {
    double p = 0;
    std::optional<double> rit, alpha;
};
ItemCore CoreOf(const Sums& t, int k, double sumPq, long long nCorrect, long long sumXCorrect) {
    ItemCore r;
    const double n = static_cast<double>(t.n);
    r.p = t.n ? nCorrect / n : 0;
    const Rest rest = RestOf(t, nCorrect, sumXCorrect);
    r.rit = Pearson(t.n, nCorrect, nCorrect, rest.sy, rest.syy, sumXCorrect - nCorrect);
    if (t.n > 0) {
        const double restVar = static_cast<double>(t.n * rest.syy - rest.sy * rest.sy) / (n * n);
        r.alpha = Kr20(k - 1, sumPq - r.p * (1 - r.p), restVar);
    }
    return r;
}

void AddFlags(ItemStatistics& it, int choices) {
    const int key = it.key;
    auto add = [&](FlagCode code, int choice, std::string text) {
        it.flags.push_back({code, choice, std::move(text)});
    };
    if (it.rit) {
        std::vector<const ChoiceStatistics*> miskeys;
        for (int c = 1; c <= choices; ++c) {
            const ChoiceStatistics& ch = it.choices[c - 1];
            if (c != key && ch.rpb && *ch.rpb > 0 && *ch.rpb > *it.rit) miskeys.push_back(&ch);
        }
        std::stable_sort(miskeys.begin(), miskeys.end(),
                         [](auto* a, auto* b) { return *a->rpb > *b->rpb; });
        for (const auto* ch : miskeys)
            add(FlagCode::PossibleMiskey, ch->choice,
                "ตัวเลือก " + std::to_string(ch->choice) + " สัมพันธ์กับคะแนนรวมมากกว่าเฉลย (r_pb " +
                    Fixed(*ch->rpb, 2) + " สูงกว่า r_it " + Fixed(*it.rit, 2) +
                    ") เฉลยข้อนี้อาจผิด ควรตรวจเฉลย");
        if (*it.rit < 0)
            add(FlagCode::NegativeDiscrimination, 0,
                "อำนาจจำแนกติดลบ (r_it " + Fixed(*it.rit, 2) +
                    ") ผู้ที่ได้คะแนนรวมสูงตอบข้อนี้ถูกน้อยกว่าผู้ที่ได้คะแนนต่ำ");
        else if (*it.rit < kLowDiscriminationBelow)
            add(FlagCode::LowDiscrimination, 0,
                "อำนาจจำแนกต่ำ (r_it " + Fixed(*it.rit, 2) + " ต่ำกว่า " +
                    Fixed(kLowDiscriminationBelow, 2) + ")");
    }
    if (it.p < kHardBelow)
        add(FlagCode::TooHard, 0,
            "ข้อนี้ยากเกินไป ผู้ตอบถูกร้อยละ " + Percent(it.p) + " น้อยกว่าร้อยละ " +
                Fixed(kHardBelow * 100, 0));
    if (it.p > kEasyAbove)
        add(FlagCode::TooEasy, 0,
            "ข้อนี้ง่ายเกินไป ผู้ตอบถูกร้อยละ " + Percent(it.p) + " มากกว่าร้อยละ " +
                Fixed(kEasyAbove * 100, 0));
    for (int c = 1; c <= choices; ++c) {
        const ChoiceStatistics& ch = it.choices[c - 1];
        if (c != key && ch.proportion < kNonfunctionalBelow)
            add(FlagCode::NonfunctionalDistractor, c,
                "ตัวเลือก " + std::to_string(c) + " มีผู้เลือกร้อยละ " + Percent(ch.proportion) +
                    " น้อยกว่าร้อยละ " + Fixed(kNonfunctionalBelow * 100, 0) + " ตัวลวงนี้แทบไม่ได้ทำหน้าที่");
    }
}

// Sheets by total score, lowest first, equal scores in row order; the group
// (0 .. 4) of each rank.
std::vector<int> ScoreOrder(const std::vector<int>& x) {
    std::vector<int> order(x.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return x[a] < x[b]; });
    return order;
}

long long GroupStart(int g, long long n) {
    return static_cast<long long>(g) * n / kScoreGroups;
}

TestStatistics Compute(const AnswerMatrix& m, const std::vector<AnswerCode>& keys) {
    TestStatistics out;
    const std::vector<int> cols = KeyedColumns(keys);
    const int k = static_cast<int>(cols.size());
    out.sheets = m.sheets;
    out.keyedItems = k;
    out.scores = TotalScores(m, keys, cols);
    const Sums t = ScoreSums(out.scores);
    const double n = static_cast<double>(t.n);
    const double variance = PopulationVariance(t);
    out.mean = t.n ? t.sx / n : 0;
    out.sd = std::sqrt(variance);

    // Counts per keyed item and bucket, overall and per score group.
    const Buckets buckets(m.choices);
    const int nb = buckets.count;
    ItemCounts all{std::vector<long long>(static_cast<size_t>(k) * nb),
                   std::vector<long long>(static_cast<size_t>(k) * nb), nb};
    std::vector<std::vector<int>> groupCount(kScoreGroups,
                                             std::vector<int>(static_cast<size_t>(k) * nb));
    const std::vector<int> order = ScoreOrder(out.scores);
    for (int g = 0; g < kScoreGroups; ++g) {
        int* counts = groupCount[g].data();
        for (long long r = GroupStart(g, t.n); r < GroupStart(g + 1, t.n); ++r) {
            const int s = order[r];
            const AnswerCode* row = m.answers.data() + static_cast<size_t>(s) * m.items;
            const long long x = out.scores[s];
            for (int q = 0; q < k; ++q) {
                const int b = buckets.of[row[cols[q]]];
                ++counts[q * nb + b];
                all.s(q, b) += x;
            }
        }
    }
    for (int q = 0; q < k; ++q)
        for (int b = 0; b < nb; ++b) {
            long long c = 0;
            for (int g = 0; g < kScoreGroups; ++g)
                c += groupCount[g][q * nb + b];
            all.c(q, b) = c;
        }

    // Test level.
    double sumPq = 0;
    for (int q = 0; q < k; ++q) {
        const double p = t.n ? all.c(q, buckets.keyBucket(keys[cols[q]])) / n : 0;
        sumPq += p * (1 - p);
    }
    out.kr20 = Kr20(k, sumPq, variance);
    if (k >= 2 && variance > 0) {
        const double kk = k;
        out.kr21 = (kk / (kk - 1)) * (1 - out.mean * (kk - out.mean) / (kk * variance));
    }
    if (out.kr20 && 1 - *out.kr20 >= 0) out.sem = out.sd * std::sqrt(1 - *out.kr20);
    {
        long long sa = 0, saa = 0, sb = 0, sbb = 0, sab = 0;
        for (int s = 0; s < m.sheets; ++s) {
            const AnswerCode* row = m.answers.data() + static_cast<size_t>(s) * m.items;
            long long a = 0, b = 0;
            for (int q = 0; q < k; ++q)
                (q % 2 == 0 ? a : b) += row[cols[q]] == keys[cols[q]];
            sa += a;
            saa += a * a;
            sb += b;
            sbb += b * b;
            sab += a * b;
        }
        if (auto r = Pearson(t.n, sa, saa, sb, sbb, sab); r && 1 + *r != 0)
            out.splitHalf = 2 * *r / (1 + *r);
    }
    std::vector<int> perScore(static_cast<size_t>(k) + 1, 0);
    for (int x : out.scores)
        ++perScore[x];
    long long below = 0;
    for (int sc = 0; sc <= k; ++sc) {
        const int c = perScore[sc];
        out.distribution.push_back({sc, c, t.n ? (below + c / 2.0) / n * 100 : 0});
        below += c;
    }

    // Items and their choices.
    for (int q = 0; q < k; ++q) {
        const int j = cols[q];
        ItemStatistics it;
        it.item = j + 1;
        it.key = keys[j];
        const int kb = buckets.keyBucket(it.key);
        const long long nCorrect = all.c(q, kb);
        const long long sumXCorrect = all.s(q, kb);
        const ItemCore core = CoreOf(t, k, sumPq, nCorrect, sumXCorrect);
        it.p = core.p;
        it.rit = core.rit;
        it.alphaIfDeleted = core.alpha;
        it.omitted = static_cast<int>(all.c(q, 0));
        it.invalid = static_cast<int>(all.c(q, m.choices + 1) + all.c(q, m.choices + 2));
        const Rest rest = RestOf(t, nCorrect, sumXCorrect);
        auto choiceOf = [&](int b) {
            ChoiceStatistics ch;
            ch.choice = b;
            const long long c = all.c(q, b);
            ch.count = static_cast<int>(c);
            ch.proportion = t.n ? c / n : 0;
            if (c > 0) ch.meanScore = static_cast<double>(all.s(q, b)) / static_cast<double>(c);
            const long long sxy = all.s(q, b) - (b == kb ? c : 0);
            ch.rpb = Pearson(t.n, c, c, rest.sy, rest.syy, sxy);
            for (int g = 0; g < kScoreGroups; ++g) {
                const long long size = GroupStart(g + 1, t.n) - GroupStart(g, t.n);
                if (size > 0) ch.groups[g] = groupCount[g][q * nb + b] / static_cast<double>(size);
            }
            return ch;
        };
        for (int c = 1; c <= m.choices; ++c)
            it.choices.push_back(choiceOf(c));
        it.choices.push_back(choiceOf(0));
        AddFlags(it, m.choices);
        out.items.push_back(std::move(it));
    }
    return out;
}

} // namespace

const char* FlagName(FlagCode code) {
    switch (code) {
    case FlagCode::PossibleMiskey:
        return "possible_miskey";
    case FlagCode::NegativeDiscrimination:
        return "negative_discrimination";
    case FlagCode::LowDiscrimination:
        return "low_discrimination";
    case FlagCode::TooHard:
        return "too_hard";
    case FlagCode::TooEasy:
        return "too_easy";
    case FlagCode::NonfunctionalDistractor:
        return "nonfunctional_distractor";
    }
    return "";
}

bool ItemStatistics::has(FlagCode code) const {
    return std::any_of(flags.begin(), flags.end(),
                       [&](const ItemFlag& f) { return f.code == code; });
}

const ItemStatistics* TestStatistics::item(int number) const {
    for (const auto& it : items)
        if (it.item == number) return &it;
    return nullptr;
}

TestStatistics ComputeItemStatistics(const AnswerMatrix& m) {
    return Compute(m, m.keys);
}

KeyChangeEffect EffectOfKeyChange(const AnswerMatrix& m, int item, AnswerCode newKey) {
    std::vector<AnswerCode> keys = m.keys;
    keys.at(static_cast<size_t>(item - 1)) = newKey;
    const TestStatistics t = Compute(m, keys);
    KeyChangeEffect e;
    e.kr20 = t.kr20;
    if (const ItemStatistics* it = t.item(item)) e.rit = it->rit;
    return e;
}

std::string ChoiceText(AnswerCode code) {
    if (code == kNoAnswer || code > 9) return "";
    return std::to_string(code);
}

std::string ShortFlagText(const ItemFlag& flag) {
    switch (flag.code) {
    case FlagCode::PossibleMiskey:
        return "เฉลยอาจผิด (ตัวเลือก " + std::to_string(flag.choice) + ")";
    case FlagCode::NegativeDiscrimination:
        return "จำแนกติดลบ";
    case FlagCode::LowDiscrimination:
        return "จำแนกต่ำ";
    case FlagCode::TooHard:
        return "ยากเกินไป";
    case FlagCode::TooEasy:
        return "ง่ายเกินไป";
    case FlagCode::NonfunctionalDistractor:
        return "ตัวลวง " + std::to_string(flag.choice) + " ไม่ทำงาน";
    }
    return {};
}

double FlagSortWeight(const ItemStatistics& item) {
    double w = 0;
    for (const ItemFlag& f : item.flags)
        w += f.code == FlagCode::PossibleMiskey ? 100 : 1;
    return w;
}

} // namespace ia
