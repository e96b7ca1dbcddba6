// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PrintMetricsRules.h"

#include "report/PrintState.h"

#include <algorithm>
#include <cmath>

namespace ia::printrules {

StandIn StandInFor(bool laksamanInstalled,
                   const std::function<double(const std::string& family)>& ruleAdvancePx) {
    StandIn s;
    s.family = laksamanInstalled ? "Laksaman" : "Garuda";
    s.halfDigitBlanks = true;
    const double rule = ruleAdvancePx(s.family);
    const double wanted = kRuleWidthCm / kCmPerInch * kDefaultPrintDpi;
    if (rule > wanted) s.stretch = static_cast<int>(std::lround(100.0 * wanted / rule));
    return s;
}

std::vector<PrintRun> CutAtBlanks(const std::string& text, double blankPx,
                                  const std::function<double(const std::string&)>& advancePx,
                                  double* widthPx) {
    std::vector<PrintRun> runs;
    double x = 0;
    size_t start = 0;
    auto flush = [&](size_t end) {
        if (end > start) {
            std::string run = text.substr(start, end - start);
            const double width = advancePx(run);
            runs.push_back({x, width, std::move(run)});
            x += width;
        }
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') {
            flush(i);
            x += blankPx;
            start = i + 1;
        }
    }
    flush(text.size());
    if (widthPx) *widthPx = x;
    return runs;
}

DrawnFont FitToLineStep(const std::string& family, double points, double boxPerPoint) {
    // The face's ascent and descent hold its highest stack (ปี่, ฟื้น, น้ำ) and
    // its lowest marks (ผู้, ฐ); they must fit one line step with a hair to
    // spare, or marks of neighbouring lines touch.
    constexpr double kClearancePoints = 0.5;
    const double stepPoints = kLineStep / kCmPerInch * 72.0;
    const double fits = (stepPoints - kClearancePoints) / boxPerPoint;
    return {family, std::min(points, fits)};
}

} // namespace ia::printrules
