// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Format.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>
#include <string>

namespace {

using Formatter = std::string (*)(float);

struct DecCase {
    const char* name;
    Formatter fn;
    float x;
    const char* expected;
};

// A failing case names itself: "FormatDec2(0.125) -> " .13"".
void PrintTo(const DecCase& c, std::ostream* os) {
    *os << c.name << "(" << c.x << ") -> \"" << c.expected << "\"";
}

class FormatDecTest : public ::testing::TestWithParam<DecCase> {};

TEST_P(FormatDecTest, GivesFixedWidthText) {
    const DecCase& c = GetParam();
    EXPECT_EQ(c.fn(c.x), c.expected) << c.name << "(" << c.x << ")";
}

const DecCase kDecCases[] = {
    {"FormatDec2", ia::FormatDec2, -0.25f, "-.25"},
    {"FormatDec2", ia::FormatDec2, 0.0f, " .00"},
    {"FormatDec2", ia::FormatDec2, 0.25f, " .25"},
    {"FormatDec2", ia::FormatDec2, 0.999f, " 1.00"},
    {"FormatDec2", ia::FormatDec2, 1.0f, "1.00"},
    {"FormatDec2", ia::FormatDec2, 12.3456f, "12.35"},
    {"FormatDec1", ia::FormatDec1, 0.0f, "    .0"},
    {"FormatDec1", ia::FormatDec1, 0.46f, "    .5"},
    {"FormatDec1", ia::FormatDec1, -1.5f, "    -1.5"},
    {"FormatDec1", ia::FormatDec1, 5.24f, "  5.2"},
    {"FormatDec1", ia::FormatDec1, 9.96f, "  10.0"},
    {"FormatDec1", ia::FormatDec1, 13.04f, "13.0"},
    {"FormatDec1", ia::FormatDec1, 100.0f, ""},
    {"FormatDec4", ia::FormatDec4, 0.0f, "      .0000"},
    {"FormatDec4", ia::FormatDec4, 0.5f, "      .5000"},
    {"FormatDec4", ia::FormatDec4, 3.14159f, "    3.1416"},
    {"FormatDec4", ia::FormatDec4, 12.5f, "  12.5000"},
    {"FormatDec4", ia::FormatDec4, 123.45678f, "123.4568"},
    {"FormatDec4", ia::FormatDec4, 1000.0f, ""},
    // Halves are judged on the 7-digit decimal text, not on the binary
    // value: 0.145f is stored just below .145 but must still round up.
    {"FormatDec2", ia::FormatDec2, 0.145f, " .15"},
    {"FormatDec2", ia::FormatDec2, 0.125f, " .13"},
    {"FormatDec2", ia::FormatDec2, -0.125f, "-.13"},
    {"FormatDec1", ia::FormatDec1, 0.05f, "    .1"},
    {"FormatDec1", ia::FormatDec1, 99.96f, "100.0"},
    {"FormatDec4", ia::FormatDec4, 0.00005f, "      .0001"},
    // Sign and blanks follow the unrounded value.
    {"FormatDec2", ia::FormatDec2, -0.001f, "-.00"},
    {"FormatDec1", ia::FormatDec1, -0.04f, "    -.0"},
    {"FormatDec4", ia::FormatDec4, -12.5f, "      -12.5000"},
    {"FormatDec2", ia::FormatDec2, 1234.5f, "1234.50"},
    {"FormatDec2", ia::FormatDec2, 1e-30f, " .00"},
    // Non-finite values never reach the report.
    {"FormatDec2", ia::FormatDec2, std::numeric_limits<float>::quiet_NaN(), ""},
    {"FormatDec2", ia::FormatDec2, -std::numeric_limits<float>::infinity(), ""},
    {"FormatDec1", ia::FormatDec1, -std::numeric_limits<float>::infinity(), ""},
    {"FormatDec4", ia::FormatDec4, std::numeric_limits<float>::quiet_NaN(), ""},
};

INSTANTIATE_TEST_SUITE_P(Table, FormatDecTest, ::testing::ValuesIn(kDecCases));

TEST(FormatInt3, PadsToThreeDigits) {
    struct {
        int16_t n;
        const char* expected;
    } cases[] = {
        {7, "    7"}, {42, "  42"}, {123, "123"}, {-3, "    -3"},
        {1000, ""},   {0, "    0"}, {99, "  99"}, {-150, "    -150"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ia::FormatInt3(c.n), c.expected) << c.n;
}

TEST(FormatCount, ThreeDigitColumnsAndLargeCountsInFull) {
    struct {
        long long n;
        const char* expected;
    } cases[] = {
        {0, "    0"},   {7, "    7"},     {42, "  42"},     {999, "999"},
        {1000, "1000"}, {32767, "32767"}, {32768, "32768"}, {270000, "270000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ia::FormatCount(c.n), c.expected) << c.n;
}

} // namespace
