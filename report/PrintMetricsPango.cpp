// SPDX-License-Identifier: GPL-3.0-or-later
// The printer's measuring for programs built without Qt: Pango's
// (PangoTextMetrics.h).
#include "report/PangoTextMetrics.h"
#include "report/Printer.h"

namespace ia {

std::string ReportFontFamily() {
    return pangometrics::ReportFontFamily();
}

std::vector<PrintRun> LayOutPrintText(const std::string& fontName, double points, int dpi,
                                      const std::string& text, double* widthPx) {
    return pangometrics::LayOutPrintText(fontName, points, dpi, text, widthPx);
}

double MeasureTextCm(const std::string& fontName, double points, int dpi, const std::string& text) {
    return pangometrics::MeasureTextCm(fontName, points, dpi, text);
}

double MeasureLineCm(const std::string& fontName, double points, int dpi) {
    return pangometrics::MeasureLineCm(fontName, points, dpi);
}

double MeasureBaselineCm(const std::string& fontName, double points, int dpi) {
    return pangometrics::MeasureBaselineCm(fontName, points, dpi);
}

DrawnFont DrawnFontFor(const std::string& fontName, double points) {
    return pangometrics::DrawnFontFor(fontName, points);
}

} // namespace ia
