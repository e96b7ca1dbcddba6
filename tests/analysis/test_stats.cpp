// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Format.h"
#include "analysis/Stats.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// delta = 13 + 4 z(1 - p), as the 25 % analysis stores it.
TEST(InvNormal, DeltaOfTheUsualDifficulties) {
    struct {
        float p;
        const char* delta;
    } cases[] = {
        {0.0f, "27.9"}, // 1 - p = 1 is cut to 0.9999
        {0.1f, "18.1"},  {0.25f, "15.7"}, {0.5f, "13.0"},
        {0.75f, "10.3"}, {0.9f, "  7.9"}, {1.0f, "    -1.9"}, // 1 - p = 0 is cut to 0.0001
    };
    for (const auto& c : cases) {
        float delta = 13.0f + 4.0f * ia::InvNormal(1.0f - c.p);
        EXPECT_EQ(ia::FormatDec1(delta), c.delta) << "p = " << c.p;
    }
}

TEST(InvNormal, IsSymmetricAndTakesTheSizeOfANegativeArgument) {
    EXPECT_FLOAT_EQ(ia::InvNormal(0.1f), -ia::InvNormal(0.9f));
    EXPECT_FLOAT_EQ(ia::InvNormal(-0.1f), ia::InvNormal(0.1f));
    EXPECT_LT(ia::InvNormal(0.1f), 0.0f);
}

TEST(Fisher, TransformAndInverse) {
    EXPECT_EQ(ia::FormatDec4(ia::FisherZ(0.5f)), "      .5493");
    EXPECT_EQ(ia::FormatDec2(ia::FisherR(0.5493f)), " .50");
    EXPECT_EQ(ia::FormatDec2(ia::FisherZ(-0.5f)), "-.55");
    EXPECT_EQ(ia::FormatDec2(ia::FisherR(0.0f)), " .00");
}

TEST(Fisher, PerfectDiscriminationStaysFinite) {
    // 0.9999 in single precision leaves 1 - r = 0.000100017, so the
    // transform of a perfect r is 4.9516 (not the 4.9517 of exact decimals).
    EXPECT_EQ(ia::FormatDec4(ia::FisherZ(1.0f)), "    4.9516");
    EXPECT_EQ(ia::FormatDec2(ia::FisherZ(1.0f)), "4.95");
    EXPECT_FLOAT_EQ(ia::FisherZ(1.5f), ia::FisherZ(1.0f));
    EXPECT_TRUE(std::isfinite(ia::FisherZ(-1.0f)));
    EXPECT_FLOAT_EQ(ia::FisherZ(-1.0f), -ia::FisherZ(1.0f));
    EXPECT_EQ(ia::FormatDec2(ia::FisherZ(-1.0f)), "-4.95");
    EXPECT_FLOAT_EQ(ia::FisherR(100.0f), 1.0f);
}

} // namespace
