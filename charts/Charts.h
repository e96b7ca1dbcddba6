// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pictures of a test: the score histogram, the difficulty–discrimination
// plot and the plot of one item's choices across score groups. Each draws
// into a rectangle of a Canvas from plain values, so that the same picture
// goes on screen, on paper and into files.

#include "charts/Canvas.h"

#include <optional>
#include <string>
#include <vector>

namespace ia::charts {

struct HistogramInput {
    // Sheets with each score: counts[s] sheets scored s, s from 0 to the
    // highest score the test allows.
    std::vector<int> counts;
    double mean = 0;
    double sd = 0;
};

// How the report judges an item, for the shading of the plot.
enum class Verdict { Keep, Improve, Discard };

// A rectangle of the p–r plane in which the report reaches one verdict.
struct VerdictZone {
    double pFrom = 0, pTo = 1, rFrom = -1, rTo = 1;
    Verdict verdict = Verdict::Keep;
};

struct DdPoint {
    int item = 0;
    double p = 0;
    double r = 0;
    // The report's verdict on the item; absent when the report puts it in
    // no category (its own marker).
    std::optional<Verdict> verdict;
    // False when the item has no r: it stands on the bottom edge with its
    // own marker.
    bool rKnown = true;
};

struct DdInput {
    std::vector<DdPoint> items;
    std::vector<VerdictZone> zones;
    std::string rName = "r"; // the discrimination index shown
};

// The plot's item numbers: where each one is written, and the leader drawn
// from its point when it had to stand away from it.
struct DdLabel {
    int item = 0;
    Rect box; // the room the number takes
    bool leader = false;
};
// The room a label of `text` in `points` takes: digits are at most 0.62 of
// the size wide in the chart faces, and a line is 1.25 of it high.
Rect LabelRoom(Point topLeft, const std::string& text, double points);
// Places the numbers of the plotted points inside `plot` so that no two
// overlap and none covers a point: beside the point when one of the places
// around it is free, otherwise further off with a leader; a number for
// which no room is left is left out (its entry is absent).
std::vector<DdLabel> PlaceDdLabels(const Rect& plot, const std::vector<Point>& points,
                                   const std::vector<int>& items, double labelPoints,
                                   double markerSize);

// The share of the sheets that took one choice, by group.
struct ChoiceShares {
    int choice = 0; // 1..5
    bool key = false;
    // In the five score groups, lowest first; empty when not known.
    std::vector<double> groups;
    double high = 0; // in the high group of the technique
    double low = 0;  // in its low group
};

struct ItemPlotInput {
    int item = 0;
    int groupPercent = 25; // size of the high and low groups, 25 or 27
    std::vector<ChoiceShares> choices;
};

// One item's difficulty in each group beside the pooled one.
struct GroupP {
    std::string name;
    std::optional<double> p;
    bool marked = false; // differs from the pooled p by more than the threshold
    bool judged = true;  // large enough to be judged; drawn pale otherwise
};
struct GroupPInput {
    int item = 0;
    double pooledP = 0;
    double threshold = 0.2; // the band drawn around the pooled p
    std::vector<GroupP> groups;
    std::string note; // under the title (the item's DIF class); may be empty
};

void DrawHistogram(Canvas& c, const Rect& area, const HistogramInput& in);
// Bars of p by group, the pooled p as a line with its band.
void DrawGroupPChart(Canvas& c, const Rect& area, const GroupPInput& in);
// Every item as a small panel of the same bars, in rows of `columns`: the
// marked bars stand out, so that the items to look at are found at a glance.
void DrawGroupPOverview(Canvas& c, const Rect& area, const std::vector<GroupPInput>& items,
                        int columns);
void DrawDdPlot(Canvas& c, const Rect& area, const DdInput& in);
void DrawItemPlot(Canvas& c, const Rect& area, const ItemPlotInput& in);

// The plotting area inside a chart's rectangle (axes, bars and points
// fall in it), and where a value lands in it.
Rect PlotArea(const Rect& area);
// The plotting area of a difficulty–discrimination plot of `in`: less
// high than PlotArea() when a note under it explains special markers.
Rect DdPlotArea(const Rect& area, const DdInput& in);
// Score s of a histogram of n + 1 scores (0..n): the middle of its bar.
double HistogramX(const Rect& plot, int highestScore, double score);
// Position across of a share of the ranked sheets (0 lowest .. 100 highest)
// in an item plot: the five groups stand at 10, 30, 50, 70 and 90.
double ItemPlotX(const Rect& plot, double percentile);

// The letter of choice 1..5 (ก..จ).
std::string ChoiceLetter(int choice);

} // namespace ia::charts
