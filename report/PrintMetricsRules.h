// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules of the printer's measuring that do not depend on whose font
// metrics answer (Qt's or Pango's): how the report font's stand-in is
// narrowed, how a text is cut at its blanks and how small a font is drawn so
// that Thai marks stay clear of the neighbouring lines. Each back end gives
// the advances; these turn them into the same layout.

#include "report/Printer.h"

#include <functional>
#include <string>
#include <vector>

namespace ia::printrules {

// The family drawn for the report font and how much it is narrowed.
struct StandIn {
    std::string family;
    int stretch = 100; // per cent of the natural width
    bool halfDigitBlanks = false;
};

// The stand-in for a missing report font: Laksaman, or Garuda without it,
// with half-digit blanks, narrowed so that the report's rule, rulePx wide at
// kDefaultPrintDpi in the family's natural width, spans kRuleWidthCm.
// laksamanInstalled and ruleAdvancePx come from the back end.
StandIn StandInFor(bool laksamanInstalled,
                   const std::function<double(const std::string& family)>& ruleAdvancePx);

// The text cut at its blanks into runs measured by advancePx, each blank
// blankPx wide. Thai writes no blanks inside words, so a cut never splits a
// shaped cluster. widthPx, when given, receives the whole width.
std::vector<PrintRun> CutAtBlanks(const std::string& text, double blankPx,
                                  const std::function<double(const std::string&)>& advancePx,
                                  double* widthPx);

// The size a family is drawn at so that its box (ascent + descent per point
// of size, boxPerPoint) fits one line step with a hair to spare; never
// larger than asked for.
DrawnFont FitToLineStep(const std::string& family, double points, double boxPerPoint);

} // namespace ia::printrules
