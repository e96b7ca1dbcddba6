// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

namespace ia {

// Right-aligned number texts for the fixed report columns. The argument is
// single precision; it is rounded through its 7-significant-digit decimal
// form, halves away from zero. The case (how many blanks) and the sign are
// chosen on the unrounded argument.
std::string FormatInt3(int16_t n);
// A group count of the report's columns: as FormatInt3 below 1,000 and in
// full from 1,000 on (where FormatInt3 leaves the column blank, which would
// read as a missing value); such a line runs longer.
std::string FormatCount(long long n);
std::string FormatDec2(float x);
std::string FormatDec1(float x);
std::string FormatDec4(float x);

} // namespace ia
