// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Stats.h"

#include <cmath>

namespace ia {

float InvNormal(float x) {
    // The constants are deliberately the shortened ones (2.51552, 1.43279):
    // the published delta values were made with them.
    const double c0 = 2.51552, c1 = 0.802853, c2 = 0.010328;
    const double d1 = 1.43279, d2 = 0.189269, d3 = 0.001308;
    if (x < 0) x = -x;
    // The tails are cut off so that p = 0 and p = 1 still give a finite delta.
    if (x == 1) x = 0.9999f;
    if (x == 0) x = 0.0001f;
    double q = x >= 0.5f ? 1.0 - static_cast<double>(x) : static_cast<double>(x);
    double t = std::sqrt(std::log(1.0 / (q * q)));
    double z = t - (c0 + c1 * t + c2 * t * t) / (1.0 + d1 * t + d2 * t * t + d3 * t * t * t);
    if (x <= 0.5f) z = -z;
    return static_cast<float>(z);
}

float FisherZ(float r) {
    // A perfect (or perfectly reversed) discrimination would be infinite.
    if (r >= 1) r = 0.9999f;
    if (r <= -1) r = -0.9999f;
    double rr = r;
    return static_cast<float>(std::log((rr + 1.0) / (1.0 - rr)) / 2.0);
}

float FisherR(float z) {
    float e = static_cast<float>(std::exp(2.0 * static_cast<double>(z)));
    // exp overflows single precision long before the result differs from 1.
    if (std::isinf(e)) return 1.0f;
    return (e - 1) / (e + 1);
}

} // namespace ia
