// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "analysis/FanTable.h"
#include "tools/FanModel.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace {

using namespace ia::fan;

// P(X > h, Y > k) by Simpson's rule over x of phi(x) P(Y > k | X = x): slow
// but independent of the series the model uses.
double UpperByQuadrature(double h, double k, double rho) {
    const int n = 20000;
    const double a = h, b = h + 10, dx = (b - a) / n, s = std::sqrt(1 - rho * rho);
    double sum = 0;
    for (int i = 0; i <= n; ++i) {
        const double x = a + i * dx;
        const double f =
            std::exp(-x * x / 2) / std::sqrt(2 * std::numbers::pi) * NormalCdf((rho * x - k) / s);
        sum += f * (i == 0 || i == n ? 1 : (i % 2 ? 4 : 2));
    }
    return sum * dx / 3;
}

TEST(FanModel, BivariateNormalAgreesWithQuadratureOnEveryBranch) {
    // |rho| below .3, .75 and .925 and above, both signs, cut points on both
    // sides of 0.
    const double rhos[] = {0.1, -0.2, 0.5, -0.6, 0.8, -0.9, 0.93, -0.95, 0.999, -0.9999};
    const double points[][2] = {{0.6128, 0.3}, {-0.6128, -1.2}, {1.5, 2.5}, {-2, 0.4}};
    for (double rho : rhos)
        for (const auto& hk : points)
            EXPECT_NEAR(BivariateNormalUpper(hk[0], hk[1], rho),
                        UpperByQuadrature(hk[0], hk[1], rho), 1e-10)
                << "h " << hk[0] << " k " << hk[1] << " rho " << rho;
}

TEST(FanModel, BivariateNormalLimits) {
    EXPECT_NEAR(BivariateNormalUpper(0.4, -0.7, 0), NormalCdf(-0.4) * NormalCdf(0.7), 1e-15);
    EXPECT_NEAR(BivariateNormalUpper(0.4, -0.7, 1), NormalCdf(-0.4), 1e-15);
    EXPECT_NEAR(BivariateNormalUpper(0.4, -0.7, -1), NormalCdf(0.7) - NormalCdf(0.4), 1e-15);
    EXPECT_EQ(BivariateNormalUpper(0.4, 0.7, -1), 0);
}

TEST(FanModel, QuantileInvertsTheCdfAndCutsOff27Percent) {
    for (double q : {1e-6, 0.01, 0.02425, 0.27, 0.5, 0.73, 0.9, 0.999999})
        EXPECT_NEAR(NormalCdf(NormalQuantile(q)), q, 1e-15 + 1e-13 * q) << q;
    EXPECT_NEAR(GroupCut(), 0.612812991016627, 1e-12);
    EXPECT_THROW(NormalQuantile(0), std::domain_error);
    EXPECT_THROW(NormalQuantile(1), std::domain_error);
}

TEST(FanModel, SolvedCellsGiveBackTheirGroupProportions) {
    const double cells[][2] = {{0.62, 0.30}, {0.99, 0.01}, {0.05, 0.01}, {0.10, 0.01},
                               {0.99, 0.95}, {0.50, 0.49}, {0.94, 0.93}, {0.37, 0.37}};
    const double c = GroupCut();
    for (const auto& cell : cells) {
        const FanCell f = SolveFanCell(cell[0], cell[1]);
        EXPECT_FALSE(f.capped);
        EXPECT_GE(f.rho, 0);
        EXPECT_NEAR(BivariateNormalUpper(c, f.t, f.rho) / 0.27, cell[0], 1e-12);
        EXPECT_NEAR(BivariateNormalUpper(c, f.t, -f.rho) / 0.27, cell[1], 1e-12);
        EXPECT_DOUBLE_EQ(f.p, NormalCdf(-f.t));
        EXPECT_DOUBLE_EQ(f.delta, 13 + 4 * f.t);
    }
}

TEST(FanModel, AnchorCells) {
    struct Anchor {
        int ph, pl;
        double p, r, delta;
        int pByte, rByte, dByte;
    };
    const Anchor anchors[] = {
        {50, 50, 0.50, 0.00, 13.0, 50, 0, 130},
        {75, 25, 0.50, 0.4982, 13.0, 50, 50, 130},
        {62, 30, 0.4582, 0.3257, 13.420, 46, 33, 134},
    };
    for (const auto& a : anchors) {
        const FanCell f = SolveFanCell(a.ph / 100.0, a.pl / 100.0);
        EXPECT_NEAR(f.p, a.p, 1e-4) << a.ph << ", " << a.pl;
        EXPECT_NEAR(f.rho, a.r, 1e-4) << a.ph << ", " << a.pl;
        EXPECT_NEAR(f.delta, a.delta, 1e-3) << a.ph << ", " << a.pl;
        const FanBytes b = ToBytes(f);
        EXPECT_EQ(b.p, a.pByte);
        EXPECT_EQ(b.r, a.rByte);
        EXPECT_EQ(b.d, a.dByte);
    }
}

TEST(FanModel, RejectsPairsOutsideTheModel) {
    EXPECT_THROW(SolveFanCell(0.30, 0.50), std::domain_error);
    EXPECT_THROW(SolveFanCell(0.50, 0), std::domain_error);
    EXPECT_THROW(SolveFanCell(1, 0.5), std::domain_error);
}

TEST(FanModel, BytesRoundHalvesAwayFromZeroAndStayInRange) {
    FanCell f;
    f.p = 0.125, f.rho = 0.405, f.delta = 12.45;
    FanBytes b = ToBytes(f);
    EXPECT_EQ(b.p, 13);
    EXPECT_EQ(b.r, 41);
    EXPECT_EQ(b.d, 125);
    f.p = 0.001, f.rho = 0.9999, f.delta = 30;
    b = ToBytes(f);
    EXPECT_EQ(b.p, 1);
    EXPECT_EQ(b.r, 99);
    EXPECT_EQ(b.d, 255);
    f.p = 0.999;
    EXPECT_EQ(ToBytes(f).p, 99);
}

TEST(FanModel, CellOrderMatchesTheLookup) {
    for (int pos = 1; pos <= kCellCount; ++pos) {
        const FanIndex at = CellAt(pos);
        ASSERT_EQ(ia::ChungRowStart(at.ph) + at.pl, pos) << "(" << at.ph << ", " << at.pl << ")";
        ASSERT_GE(at.ph, at.pl);
    }
    EXPECT_THROW(CellAt(0), std::out_of_range);
    EXPECT_THROW(CellAt(kCellCount + 1), std::out_of_range);
}

class FanTablesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { tables_ = new FanTables(ComputeFanTables()); }
    static void TearDownTestSuite() {
        delete tables_;
        tables_ = nullptr;
    }
    static int At(int ph, int pl) { return ia::ChungRowStart(ph) + pl - 1; }
    static FanTables* tables_;
};
FanTables* FanTablesTest::tables_ = nullptr;

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(FanTablesTest, RegeneratedFilesEqualTheCommittedOnes) {
    iatest::TempDir dir;
    WriteFanTables(dir.path().string(), *tables_);
    for (const char* name : {"rjung.tbl", "pjung.tbl", "djung.tbl"}) {
        const auto fresh = ReadFile(dir.file(name));
        EXPECT_EQ(fresh.size(), static_cast<size_t>(kCellCount)) << name;
        EXPECT_TRUE(fresh == ReadFile(iatest::SourceDir() + "/data/" + name)) << name;
    }
}

TEST_F(FanTablesTest, MirroredCellsHaveComplementaryDifficultyAndEqualDiscrimination) {
    // Reversing the item and the criterion maps (PH, PL) to (100 - PL,
    // 100 - PH), t to -t and keeps rho; the rounded bytes must follow.
    for (int pos = 1; pos <= kCellCount; ++pos) {
        const FanIndex at = CellAt(pos);
        const int m = At(100 - at.pl, 100 - at.ph);
        ASSERT_EQ(tables_->p[pos - 1] + tables_->p[m], 100) << at.ph << ", " << at.pl;
        ASSERT_EQ(tables_->r[pos - 1], tables_->r[m]) << at.ph << ", " << at.pl;
        ASSERT_EQ(tables_->d[pos - 1] + tables_->d[m], 260) << at.ph << ", " << at.pl;
    }
}

TEST_F(FanTablesTest, RowsRunFromHardAndDiscriminatingToEasyAndFlat) {
    // Along a row PL grows: the item gets easier (p up, delta down) and
    // discriminates less, down to r = 0 and p = PH on the diagonal.
    for (int ph = 99; ph >= 5; --ph) {
        const int last = ph >= 95 ? 95 : ph;
        for (int pl = 2; pl <= last; ++pl) {
            ASSERT_GE(tables_->p[At(ph, pl)], tables_->p[At(ph, pl - 1)]) << ph << ", " << pl;
            ASSERT_LE(tables_->d[At(ph, pl)], tables_->d[At(ph, pl - 1)]) << ph << ", " << pl;
            ASSERT_LE(tables_->r[At(ph, pl)], tables_->r[At(ph, pl - 1)]) << ph << ", " << pl;
        }
        if (ph <= 95) {
            EXPECT_EQ(tables_->r[At(ph, ph)], 0) << ph;
            EXPECT_EQ(tables_->p[At(ph, ph)], ph) << ph;
        }
    }
}

} // namespace
