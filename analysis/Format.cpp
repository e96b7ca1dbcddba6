// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Format.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace ia {
namespace {

// |x| rounded to `decimals` places, halves away from zero, with at least
// `minIntDigits` integer digits (0 drops the leading zero of values below 1).
// The rounding works on the 7-significant-digit decimal text of the single
// precision value, so 0.145f (stored as 0.14499999...) still rounds to .15.
std::string Pattern(float x, int minIntDigits, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6e", std::fabs(static_cast<double>(x)));
    // buf is "d.dddddde[+-]XX": seven significant digits and an exponent.
    std::string digits;
    digits += buf[0];
    digits.append(buf + 2, 6);
    int exp = std::atoi(buf + 9);

    std::string intPart, frac;
    if (exp >= 0) {
        if (exp + 1 >= static_cast<int>(digits.size())) {
            intPart = digits + std::string(exp + 1 - digits.size(), '0');
        } else {
            intPart = digits.substr(0, exp + 1);
            frac = digits.substr(exp + 1);
        }
    } else {
        intPart = "0";
        frac = std::string(-exp - 1, '0') + digits;
    }

    bool roundUp = static_cast<int>(frac.size()) > decimals && frac[decimals] >= '5';
    frac.resize(decimals, '0');
    if (roundUp) {
        int i = decimals - 1;
        for (; i >= 0; --i) {
            if (frac[i] == '9') {
                frac[i] = '0';
            } else {
                ++frac[i];
                break;
            }
        }
        if (i < 0) {
            int j = static_cast<int>(intPart.size()) - 1;
            for (; j >= 0; --j) {
                if (intPart[j] == '9') {
                    intPart[j] = '0';
                } else {
                    ++intPart[j];
                    break;
                }
            }
            if (j < 0) intPart.insert(intPart.begin(), '1');
        }
    }

    size_t firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? "" : intPart.substr(firstNonZero);
    if (static_cast<int>(intPart.size()) < minIntDigits)
        intPart.insert(0, minIntDigits - intPart.size(), '0');

    std::string out = x < 0 ? "-" : "";
    out += intPart;
    out += '.';
    out += frac;
    return out;
}

} // namespace

std::string FormatInt3(int16_t n) {
    std::string digits = std::to_string(n);
    if (n < 10) return "    " + digits;
    if (n < 100) return "  " + digits;
    if (n < 1000) return digits;
    return "";
}

std::string FormatCount(long long n) {
    if (n < 1000) return FormatInt3(static_cast<int16_t>(n));
    return std::to_string(n);
}

std::string FormatDec2(float x) {
    if (!std::isfinite(x)) return "";
    if (x < 0) return Pattern(x, 0, 2);
    if (x == 0) return " .00";
    if (x < 1) return " " + Pattern(x, 0, 2);
    return Pattern(x, 1, 2);
}

std::string FormatDec1(float x) {
    if (!std::isfinite(x)) return "";
    if (x == 0) return "    .0";
    if (x < 1) return "    " + Pattern(x, 0, 1);
    if (x < 10) return "  " + Pattern(x, 1, 1);
    if (x < 100) return Pattern(x, 2, 1);
    return "";
}

std::string FormatDec4(float x) {
    if (!std::isfinite(x)) return "";
    if (x == 0) return "      .0000";
    if (x < 1) return "      " + Pattern(x, 0, 4);
    if (x < 10) return "    " + Pattern(x, 1, 4);
    if (x < 100) return "  " + Pattern(x, 2, 4);
    if (x < 1000) return Pattern(x, 3, 4);
    return "";
}

} // namespace ia
