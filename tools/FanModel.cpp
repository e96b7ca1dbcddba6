// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/FanModel.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace ia::fan {

namespace {

constexpr double kGroupShare = 0.27;

// Brent's method on a bracket [a, b] where f changes sign. Both solves below
// are monotone, so the bracket never loses the root; Brent only makes it fast.
double FindRoot(const std::function<double(double)>& f, double a, double b, double tol) {
    double fa = f(a), fb = f(b);
    if (fa == 0) return a;
    if (fb == 0) return b;
    if ((fa > 0) == (fb > 0)) throw std::logic_error("FindRoot: no sign change");
    double c = a, fc = fa, d = b - a, e = d;
    for (int iter = 0; iter < 200; ++iter) {
        if ((fb > 0) == (fc > 0)) {
            c = a, fc = fa;
            d = e = b - a;
        }
        if (std::fabs(fc) < std::fabs(fb)) {
            a = b, b = c, c = a;
            fa = fb, fb = fc, fc = fa;
        }
        const double tol1 = 2 * std::numeric_limits<double>::epsilon() * std::fabs(b) + tol / 2;
        const double xm = (c - b) / 2;
        if (std::fabs(xm) <= tol1 || fb == 0) return b;
        if (std::fabs(e) >= tol1 && std::fabs(fa) > std::fabs(fb)) {
            double p, q;
            const double s = fb / fa;
            if (a == c) {
                p = 2 * xm * s;
                q = 1 - s;
            } else {
                const double qq = fa / fc, r = fb / fc;
                p = s * (2 * xm * qq * (qq - r) - (b - a) * (r - 1));
                q = (qq - 1) * (r - 1) * (s - 1);
            }
            if (p > 0) q = -q;
            p = std::fabs(p);
            if (2 * p < std::min(3 * xm * q - std::fabs(tol1 * q), std::fabs(e * q))) {
                e = d;
                d = p / q;
            } else {
                d = xm;
                e = d;
            }
        } else {
            d = xm;
            e = d;
        }
        a = b, fa = fb;
        b += std::fabs(d) > tol1 ? d : (xm > 0 ? tol1 : -tol1);
        fb = f(b);
    }
    return b;
}

} // namespace

double NormalCdf(double z) {
    return 0.5 * std::erfc(-z / std::numbers::sqrt2);
}

double NormalQuantile(double q) {
    if (!(q > 0 && q < 1)) throw std::domain_error("NormalQuantile: q outside (0, 1)");
    // Acklam's rational approximation (relative error about 1e-9), then one
    // Halley step against erfc brings it to double precision.
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                               -2.759285104469687e+02, 1.383577518672690e+02,
                               -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                               -1.556989798598866e+02, 6.680131188771972e+01,
                               -1.328068155288572e+01};
    static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                               -2.400758277161838e+00, -2.549732539343734e+00,
                               4.374664141464968e+00,  2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00};
    const double low = 0.02425;
    double x;
    if (q < low) {
        const double s = std::sqrt(-2 * std::log(q));
        x = (((((c[0] * s + c[1]) * s + c[2]) * s + c[3]) * s + c[4]) * s + c[5]) /
            ((((d[0] * s + d[1]) * s + d[2]) * s + d[3]) * s + 1);
    } else if (q <= 1 - low) {
        const double s = q - 0.5, r = s * s;
        x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * s /
            (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
    } else {
        const double s = std::sqrt(-2 * std::log(1 - q));
        x = -(((((c[0] * s + c[1]) * s + c[2]) * s + c[3]) * s + c[4]) * s + c[5]) /
            ((((d[0] * s + d[1]) * s + d[2]) * s + d[3]) * s + 1);
    }
    for (int i = 0; i < 2; ++i) {
        const double e = NormalCdf(x) - q;
        const double u = e * std::sqrt(2 * std::numbers::pi) * std::exp(x * x / 2);
        x -= u / (1 + x * u / 2);
    }
    return x;
}

double BivariateNormalUpper(double h, double k, double rho) {
    // Gauss-Legendre nodes and weights on half of [-1, 1] for 6, 12 and 20
    // points; the more points, the closer |rho| is to 1.
    static const double w6[] = {0.1713244923791705, 0.3607615730481384, 0.4679139345726904};
    static const double x6[] = {0.9324695142031522, 0.6612093864662647, 0.2386191860831970};
    static const double w12[] = {0.04717533638651177, 0.1069393259953183, 0.1600783285433464,
                                 0.2031674267230659,  0.2334925365383547, 0.2491470458134029};
    static const double x12[] = {0.9815606342467191, 0.9041172563704750, 0.7699026741943050,
                                 0.5873179542866171, 0.3678314989981802, 0.1252334085114692};
    static const double w20[] = {0.01761400713915212, 0.04060142980038694, 0.06267204833410906,
                                 0.08327674157670475, 0.1019301198172404,  0.1181945319615184,
                                 0.1316886384491766,  0.1420961093183821,  0.1491729864726037,
                                 0.1527533871307259};
    static const double x20[] = {0.9931285991850949, 0.9639719272779138, 0.9122344282513259,
                                 0.8391169718222188, 0.7463319064601508, 0.6360536807265150,
                                 0.5108670019508271, 0.3737060887154196, 0.2277858511416451,
                                 0.07652652113349733};
    const double twoPi = 2 * std::numbers::pi;
    const double* w;
    const double* x;
    int n;
    const double ar = std::fabs(rho);
    if (ar < 0.3) {
        w = w6, x = x6, n = 3;
    } else if (ar < 0.75) {
        w = w12, x = x12, n = 6;
    } else {
        w = w20, x = x20, n = 10;
    }

    double k2 = k, hk = h * k, bvn = 0;
    if (ar < 0.925) {
        // Integrate the derivative in rho from 0 (independence)
        // to rho, in the angle asin(rho).
        const double hs = (h * h + k * k) / 2;
        const double asr = std::asin(rho) / 2;
        for (int i = 0; i < n; ++i) {
            for (double sign : {-1.0, 1.0}) {
                const double sn = std::sin(asr * (1 + sign * x[i]));
                bvn += w[i] * std::exp((sn * hk - hs) / (1 - sn * sn));
            }
        }
        return std::clamp(bvn * asr / twoPi + NormalCdf(-h) * NormalCdf(-k), 0.0, 1.0);
    }

    // Near |rho| = 1 expand around the degenerate distribution instead.
    if (rho < 0) {
        k2 = -k;
        hk = -hk;
    }
    if (ar < 1) {
        const double as = 1 - rho * rho;
        double a = std::sqrt(as);
        const double bs = (h - k2) * (h - k2);
        const double c = (4 - hk) / 8, d = (12 - hk) / 80;
        double asr = -(bs / as + hk) / 2;
        if (asr > -100)
            bvn = a * std::exp(asr) * (1 - c * (bs - as) * (1 - d * bs) / 3 + c * d * as * as);
        if (hk > -100) {
            const double b = std::sqrt(bs);
            const double sp = std::sqrt(twoPi) * NormalCdf(-b / a);
            bvn -= std::exp(-hk / 2) * sp * b * (1 - c * bs * (1 - d * bs) / 3);
        }
        a /= 2;
        for (int i = 0; i < n; ++i) {
            for (double sign : {-1.0, 1.0}) {
                const double xs = std::pow(a * (1 + sign * x[i]), 2);
                asr = -(bs / xs + hk) / 2;
                if (asr > -100) {
                    const double sp = 1 + c * xs * (1 + 5 * d * xs);
                    const double rs = std::sqrt(1 - xs);
                    const double ep = std::exp(-(hk / 2) * xs / ((1 + rs) * (1 + rs))) / rs;
                    bvn += a * w[i] * std::exp(asr) * (ep - sp);
                }
            }
        }
        bvn = -bvn / twoPi;
    }
    if (rho > 0) {
        bvn += NormalCdf(-std::max(h, k2));
    } else if (h >= k2) {
        bvn = -bvn;
    } else {
        const double l = h < 0 ? NormalCdf(k2) - NormalCdf(h) : NormalCdf(-h) - NormalCdf(-k2);
        bvn = l - bvn;
    }
    return std::clamp(bvn, 0.0, 1.0);
}

double GroupCut() {
    static const double c = NormalQuantile(1 - kGroupShare);
    return c;
}

FanCell SolveFanCell(double ph, double pl) {
    if (!(pl > 0 && pl <= ph && ph < 1))
        throw std::domain_error("SolveFanCell: need 0 < pl <= ph < 1");
    const double c = GroupCut();
    FanCell cell;
    if (ph == pl) {
        // Both groups alike: the item does not correlate with the criterion.
        cell.t = NormalQuantile(1 - ph);
    } else {
        // For a fixed rho the share of the upper group that succeeds falls as
        // t rises, so t follows from PH. Along that curve PL falls from PH at
        // rho = 0 towards 0 as rho nears 1, so rho follows from PL.
        auto thresholdFor = [&](double rho) {
            return FindRoot(
                [&](double t) { return BivariateNormalUpper(c, t, rho) - kGroupShare * ph; }, -9, 9,
                1e-14);
        };
        auto lowerExcess = [&](double rho) {
            return BivariateNormalUpper(c, thresholdFor(rho), -rho) - kGroupShare * pl;
        };
        if (lowerExcess(kMaxRho) > 0) {
            cell.rho = kMaxRho;
            cell.capped = true;
        } else {
            cell.rho = FindRoot(lowerExcess, 0, kMaxRho, 1e-13);
        }
        cell.t = thresholdFor(cell.rho);
    }
    cell.p = NormalCdf(-cell.t);
    cell.delta = 13 + 4 * cell.t;
    return cell;
}

FanIndex CellAt(int pos) {
    if (pos < 1 || pos > kCellCount) throw std::out_of_range("CellAt: position outside the table");
    if (pos <= 5 * 95) return {99 - (pos - 1) / 95, (pos - 1) % 95 + 1};
    int rest = pos - 5 * 95;
    int ph = 94;
    while (rest > ph)
        rest -= ph--;
    return {ph, rest};
}

FanBytes ToBytes(const FanCell& cell) {
    // std::lround rounds halves away from zero. p and r keep two significant
    // hundredths the way the printed table shows them (.01 to .99, .00 to
    // .99). delta lies between about 5.3 and 20.7 over the whole table, so
    // the clamp to a byte never bites; it only guards the cast.
    FanBytes b;
    b.p = static_cast<uint8_t>(std::clamp<long>(std::lround(100 * cell.p), 1, 99));
    b.r = static_cast<uint8_t>(std::clamp<long>(std::lround(100 * std::fabs(cell.rho)), 0, 99));
    b.d = static_cast<uint8_t>(std::clamp<long>(std::lround(10 * cell.delta), 0, 255));
    return b;
}

FanTables ComputeFanTables() {
    FanTables tables;
    tables.r.resize(kCellCount);
    tables.p.resize(kCellCount);
    tables.d.resize(kCellCount);
    for (int pos = 1; pos <= kCellCount; ++pos) {
        const FanIndex at = CellAt(pos);
        const FanBytes b = ToBytes(SolveFanCell(at.ph / 100.0, at.pl / 100.0));
        tables.r[pos - 1] = b.r;
        tables.p[pos - 1] = b.p;
        tables.d[pos - 1] = b.d;
    }
    return tables;
}

void WriteFanTables(const std::string& dir, const FanTables& tables) {
    const std::pair<const char*, const std::vector<uint8_t>*> files[] = {
        {"rjung.tbl", &tables.r}, {"pjung.tbl", &tables.p}, {"djung.tbl", &tables.d}};
    for (const auto& [name, bytes] : files) {
        const std::string path = dir + "/" + name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes->data()),
                  static_cast<std::streamsize>(bytes->size()));
        out.close();
        if (!out) throw std::runtime_error("cannot write " + path);
    }
}

} // namespace ia::fan
