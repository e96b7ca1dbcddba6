// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Differential item functioning: whether an item is harder for one group
// than for another group of the same ability, ability being the total score
// (the studied item included). Mantel–Haenszel for two groups with the ETS
// classes, and the generalised Mantel–Haenszel test for more. Plain formulas
// over counts and over the answer matrix: no database, no Qt.

#include "analysis/ItemStatistics.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace ia {

// One stratum (one total score) of a 2 x 2 table: the reference group's
// right and wrong answers, then the focal group's.
struct MhStratum {
    double referenceRight = 0;
    double referenceWrong = 0;
    double focalRight = 0;
    double focalWrong = 0;
};

struct MantelHaenszel {
    // Common odds ratio: the reference group's odds of a right answer over
    // the focal group's, within strata. Null when either sum is zero.
    std::optional<double> alpha;
    std::optional<double> delta;   // -2.35 ln alpha, on the ETS delta scale
    std::optional<double> chi2;    // with the continuity correction, 1 df
    std::optional<double> pValue;  // of chi2
    std::optional<double> deltaSe; // 2.35 sqrt(Var ln alpha), Robins–Breslow–Greenland
};

// Strata of fewer than two examinees are left out, as mantelhaen.test
// refuses them; a stratum with one group only, or all right or all wrong,
// adds nothing to any sum. The continuity correction of 0.5 is taken only
// when |sum A - sum E(A)| >= 0.5, as mantelhaen.test takes it.
MantelHaenszel MantelHaenszelTest(const std::vector<MhStratum>& strata);

enum class EtsClass { A, B, C };
const char* EtsClassName(EtsClass c); // "A", "B", "C"

// A: |delta| < 1 or chi2 not significant at 0.05; C: |delta| >= 1.5 and
// (|delta| - 1) / SE > 1.645; B otherwise. Null when chi2 is null, or when
// chi2 is significant but delta is null.
std::optional<EtsClass> EtsClassOf(const MantelHaenszel& mh);

// One stratum of a G x 2 table: {right, wrong} of each group.
using GroupStratum = std::vector<std::array<double, 2>>;

struct GeneralisedMh {
    std::optional<double> chi2; // null when the covariance is singular
    int df = 0;                 // groups - 1
    std::optional<double> pValue;
};

// The generalised Mantel–Haenszel statistic of a G x 2 x K table, as
// mantelhaen.test computes it (no continuity correction). Strata of fewer
// than two examinees are left out.
GeneralisedMh GeneralisedMantelHaenszel(const std::vector<GroupStratum>& strata);

// Upper-tail probability of the chi-square distribution (df >= 1).
double ChiSquareUpperTail(double x, int df);

// Which group each sheet belongs to.
struct SheetGroups {
    std::vector<std::string> names; // group i; in the names' code-point order
    std::vector<int> ofSheet;       // per sheet, an index into names; -1 for none
    // How many sheets each group holds.
    std::vector<int> sizes() const;
};

// Groups from one label per sheet ("" for none): the names sorted in
// code-point order.
SheetGroups GroupsFromLabels(const std::vector<std::string>& labels);

// The default pair: the largest group as reference, the next as focal,
// ties by the names' code-point order. Null with fewer than two groups.
std::optional<std::array<int, 2>> DefaultReferenceAndFocal(const SheetGroups& groups);

struct ItemDif {
    int item = 0; // 1-based
    MantelHaenszel mh;
    std::optional<EtsClass> ets;
    // The group the item favours (the one answering it right more often
    // than the same total predicts); null for class A or no class.
    std::optional<int> favours;
};

struct ItemGmh {
    int item = 0;
    GeneralisedMh gmh;
};

struct DifResult {
    int reference = -1;
    int focal = -1;
    bool purified = false;
    // Items classed C in the first step and so left out of the matching
    // score of the others (empty unless purified).
    std::vector<int> purifiedItems;
    std::vector<ItemDif> items; // keyed items, in item order
    std::vector<ItemGmh> gmh;   // keyed items, when there are more than two groups
};

// Mantel–Haenszel of every keyed item for the reference and focal groups,
// matching on the total over the keyed items (the studied one included).
// With purify, the items classed C are taken out of the others' matching
// score (each keeps its own) and every item is computed again once.
DifResult ComputeDif(const AnswerMatrix& m, const SheetGroups& groups, int reference, int focal,
                     bool purify);

// The teacher's sentence for an item's class and direction.
std::string DifJudgement(std::optional<EtsClass> ets, const std::string& favouredGroup);

// --- comparison of the groups

// A group's p is marked when it lies further than this from the pooled p:
// 0.20 is two standard errors of p at p = .5 (the widest case) in a group
// of 25, so a class of that size differs so far by chance about once in
// twenty items at most.
constexpr double kGroupPDifferenceAbove = 0.20;
// Groups smaller than this are shown but not judged: their p wanders by
// more than the threshold by chance.
constexpr int kGroupMinimumSheets = 25;

struct GroupItemStatistics {
    int n = 0;
    std::optional<double> p;
    std::optional<double> rit;
    bool marked = false; // |p - pooled p| > kGroupPDifferenceAbove, in a judged group
};

struct GroupSummary {
    std::string name;
    int n = 0;
    double mean = 0;
    double sd = 0;
    std::optional<double> kr20;
    bool judged = false; // n >= kGroupMinimumSheets
};

struct ComparedItem {
    int item = 0;
    double pooledP = 0;
    std::vector<GroupItemStatistics> byGroup; // as groups
    bool flag = false;                        // some judged group marked
};

struct GroupComparison {
    std::vector<GroupSummary> groups; // as SheetGroups::names
    std::vector<ComparedItem> items;  // keyed items, in item order
    int ungroupedSheets = 0;          // sheets of no group, left out of everything
};

// Each group's statistics are those of ComputeItemStatistics over its own
// sheets, exactly as its own file would give them; the pooled p is over
// every grouped sheet.
GroupComparison CompareGroups(const AnswerMatrix& m, const SheetGroups& groups);

// The sheets of the groups only (for the pooled statistics).
AnswerMatrix SheetsOfGroups(const AnswerMatrix& m, const SheetGroups& groups, int group = -1);

// Everything the comparison shows, from a file's matrix and group labels.
struct GroupAnalysis {
    SheetGroups groups;
    GroupComparison comparison;
    std::optional<DifResult> dif; // with two groups or more
};

// The groups compared and, with two groups or more, the DIF of reference
// against focal (empty names: the default pair; one name given: the other
// is the largest remaining group). Throws AnalysisError with the Thai text
// when no sheet has a group, no item is keyed, a named group is not in the
// file, or reference and focal are the same group.
GroupAnalysis AnalyseGroups(const AnswerMatrix& m, const std::vector<std::string>& labels,
                            const std::string& reference, const std::string& focal, bool purify);

} // namespace ia
