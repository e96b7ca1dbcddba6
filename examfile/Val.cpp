// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/Val.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace ia {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the numeric prefix starting at pos (after blanks), 0 if none.
size_t NumberPrefix(std::string_view t, size_t pos) {
    size_t i = pos;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t digits = 0;
    while (i < t.size() && IsDigit(t[i]))
        ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i]))
            ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
        size_t expDigits = 0;
        while (j < t.size() && IsDigit(t[j]))
            ++j, ++expDigits;
        if (expDigits > 0) i = j;
    }
    return i - pos;
}

} // namespace

double Val(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    size_t len = NumberPrefix(text, pos);
    if (len == 0) return 0.0;
    std::string number(text.substr(pos, len));
    double v = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(v)) return 0.0;
    return v;
}

bool BeginsWithNumber(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return NumberPrefix(text, pos) > 0;
}

bool IsNumeric(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    size_t len = NumberPrefix(text, pos);
    if (len == 0) return false;
    size_t end = pos + len;
    while (end < text.size() && IsBlank(text[end]))
        ++end;
    return end == text.size();
}

long long Hundredths(std::string_view text) {
    return std::llround(Val(text) * 100.0);
}

long long RoundHalfEven(double x) {
    if (!std::isfinite(x)) return 0;
    if (x >= 9.2e18) return 9200000000000000000LL;
    if (x <= -9.2e18) return -9200000000000000000LL;
    return static_cast<long long>(std::nearbyint(x));
}

} // namespace ia
