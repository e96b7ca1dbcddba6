// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string_view>

namespace ia {

// The number with which a text begins: leading blanks skipped, an optional
// sign, digits with an optional decimal point and exponent. A text that does
// not begin with a number reads as 0. This is the one rule by which every
// stored or typed text is read as a number (answers, header fields, stored
// result texts, page boxes, the SQL function val).
double Val(std::string_view text);

// Whether the whole text reads as a number: blanks around it, a sign, a
// decimal point and an exponent are allowed, nothing else.
bool IsNumeric(std::string_view text);

// Whether the text begins with a number (after blanks), as Val reads it.
bool BeginsWithNumber(std::string_view text);

// A stored proportion text in whole hundredths: its value times 100, rounded
// to the nearest whole number (".29" is 29, although .29 * 100 is 28.999...).
long long Hundredths(std::string_view text);

// Whole number nearest to x, a value exactly halfway going to the even
// neighbour (R(2.5) = 2, R(3.5) = 4).
long long RoundHalfEven(double x);

} // namespace ia
