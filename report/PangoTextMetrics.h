// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The printer's text measuring through Pango (HarfBuzz and FreeType, as Qt
// uses them), for programs built without Qt: the same rules as the Qt back
// end (the report font's stand-in and its narrowing, half-digit blanks, the
// drawn size that keeps Thai marks clear of the neighbouring lines), the same
// units, the same whole-pixel font sizes and advances cut to 64ths of a
// pixel. The two agree to a few thousandths of a millimetre over a line, not
// to the last bit (Qt narrows a stand-in through FreeType's own scaling); a
// test in the Qt build holds them together. Printer.h describes each
// function; PrintMetricsPango.cpp makes them the printer's measuring.

#include "report/Printer.h"

#include <string>
#include <vector>

namespace ia::pangometrics {

std::string ReportFontFamily();
double MeasureTextCm(const std::string& fontName, double points, int dpi, const std::string& text);
double MeasureLineCm(const std::string& fontName, double points, int dpi);
double MeasureBaselineCm(const std::string& fontName, double points, int dpi);
DrawnFont DrawnFontFor(const std::string& fontName, double points);
std::vector<PrintRun> LayOutPrintText(const std::string& fontName, double points, int dpi,
                                      const std::string& text, double* widthPx);

} // namespace ia::pangometrics
