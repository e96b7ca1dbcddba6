// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The normal-ogive model behind Fan's item-analysis table, from which fangen
// computes the three table files. The criterion X and the latent response Y
// to the item are standard bivariate normal with correlation rho; an examinee
// answers correctly when Y > t. The upper group is X > c and the lower group
// X < -c, c cutting off 27 % in each tail. A cell (PH, PL) of the table holds
// the p, r and delta of the (t, rho) that gives those two group proportions.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ia::fan {

// Cells per table file and their order: rows PH = 99..95 with PL = 1..95,
// then rows PH = 94..5 with PL = 1..PH.
inline constexpr int kCellCount = 4930;

// Lower-tail area of the standard normal.
double NormalCdf(double z);
// The z whose lower-tail area is q, 0 < q < 1, to double precision.
double NormalQuantile(double q);
// P(X > h, Y > k) for a standard bivariate normal with correlation rho,
// |rho| <= 1 (Genz's adaptation of Drezner and Wesolowsky).
double BivariateNormalUpper(double h, double k, double rho);

// The group cut: the criterion value above which lies 27 %.
double GroupCut();

// Largest correlation the solver will try. At rho = 1 the model degenerates
// (PL is 0 for every PH below 1), so the search stays below it and a cell that
// would need more is held here. It is a guard only: PL falls so steeply as rho
// nears 1 that no cell of the table comes close (the largest correlation is
// about .93, at (99, 1)).
inline constexpr double kMaxRho = 0.9999;

struct FanCell {
    double t = 0;        // threshold on the latent response
    double rho = 0;      // correlation of item and criterion, >= 0
    double p = 0;        // proportion correct in the whole population, 1 - Phi(t)
    double delta = 0;    // 13 + 4t
    bool capped = false; // the cell lies beyond kMaxRho; rho was held there
};

// Solves the cell for the proportions ph >= pl (fractions, 0 < pl <= ph < 1).
FanCell SolveFanCell(double ph, double pl);

// PH and PL in whole hundredths of the 1-based cell position pos.
struct FanIndex {
    int ph = 0;
    int pl = 0;
};
FanIndex CellAt(int pos);

// The stored bytes of a solved cell: |r| x 100, p x 100, delta x 10, each
// rounded to the nearest whole number with halves away from zero.
struct FanBytes {
    uint8_t r = 0;
    uint8_t p = 0;
    uint8_t d = 0;
};
FanBytes ToBytes(const FanCell& cell);

struct FanTables {
    std::vector<uint8_t> r, p, d; // kCellCount bytes each, position 1 at index 0
};
FanTables ComputeFanTables();

// Writes rjung.tbl, pjung.tbl and djung.tbl into dir; throws
// std::runtime_error when a file cannot be written.
void WriteFanTables(const std::string& dir, const FanTables& tables);

} // namespace ia::fan
