// SPDX-License-Identifier: GPL-3.0-or-later
// Text measuring through Qt's font metrics (FreeType and HarfBuzz behind
// QFontMetricsF): what the window and its tests print with, so that the
// preview, the paper and the PDF files agree to the pixel. A program built
// without Qt measures through PrintMetricsPango.cpp instead.
#include "report/PrintMetricsRules.h"
#include "report/PrintState.h"
#include "report/Printer.h"
#include "report/PrinterQt.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

namespace ia {

namespace {

// A 1x1 image that claims the given resolution: QFontMetricsF then answers
// in its pixels exactly as it would for a printer of that resolution.
const QImage& DeviceAt(int dpi) {
    static std::map<int, QImage> devices;
    auto it = devices.find(dpi);
    if (it == devices.end()) {
        QImage img(1, 1, QImage::Format_RGB32);
        int dpm = static_cast<int>(dpi / 0.0254 + 0.5);
        img.setDotsPerMeterX(dpm);
        img.setDotsPerMeterY(dpm);
        it = devices.emplace(dpi, img).first;
    }
    return it->second;
}

QFont PlainFont(const std::string& family, double points, int stretch) {
    QFont font(QString::fromStdString(family));
    font.setPointSizeF(points);
    font.setBold(false);
    font.setItalic(false);
    font.setStrikeOut(false);
    font.setUnderline(false);
    // Hinting would make widths depend on the device; paper and the
    // recording printer must agree.
    font.setHintingPreference(QFont::PreferNoHinting);
    if (stretch != 100) font.setStretch(stretch);
    return font;
}

using printrules::StandIn;

const StandIn& ReportStandIn() {
    static const StandIn s = [] {
        const QStringList installed = QFontDatabase::families();
        if (installed.contains(QString::fromUtf8(kReportFontName))) {
            StandIn r;
            r.family = kReportFontName;
            return r;
        }
        StandIn r = printrules::StandInFor(
            installed.contains(QStringLiteral("Laksaman")), [](const std::string& family) {
                QFontMetricsF natural(PlainFont(family, kReportFontPoints, 100),
                                      &DeviceAt(kDefaultPrintDpi));
                return natural.horizontalAdvance(QString(kRuleLength, QChar('-')));
            });
        QFont::insertSubstitution(QString::fromUtf8(kReportFontName),
                                  QString::fromStdString(r.family));
        return r;
    }();
    return s;
}

struct Measure {
    QFontMetricsF fm;
    double blank; // advance of one blank, device pixels
};

const Measure& MeasureFor(const std::string& name, double points, int dpi) {
    using Key = std::tuple<std::string, double, int>;
    static std::map<Key, std::unique_ptr<Measure>> cache;
    Key key{name, points, dpi};
    auto it = cache.find(key);
    if (it == cache.end()) {
        QFontMetricsF fm(MakePrintFont(name, points), &DeviceAt(dpi));
        double blank = fm.horizontalAdvance(QChar(' '));
        if (name == kReportFontName && ReportStandIn().halfDigitBlanks)
            blank = fm.horizontalAdvance(QChar('0')) / 2;
        it = cache.emplace(key, std::make_unique<Measure>(Measure{fm, blank})).first;
    }
    return *it->second;
}

} // namespace

std::string ReportFontFamily() {
    return ReportStandIn().family;
}

QFont MakePrintFont(const std::string& name, double points) {
    if (name != kReportFontName) return PlainFont(name, points, 100);
    return PlainFont(name, points, ReportStandIn().stretch);
}

std::vector<PrintRun> LayOutPrintText(const std::string& fontName, double points, int dpi,
                                      const std::string& text, double* widthPx) {
    const Measure& m = MeasureFor(fontName, points, dpi);
    return printrules::CutAtBlanks(
        text, m.blank,
        [&](const std::string& run) { return m.fm.horizontalAdvance(QString::fromStdString(run)); },
        widthPx);
}

double MeasureTextCm(const std::string& fontName, double points, int dpi, const std::string& text) {
    double width = 0;
    LayOutPrintText(fontName, points, dpi, text, &width);
    return width / dpi * kCmPerInch;
}

double MeasureLineCm(const std::string& fontName, double points, int dpi) {
    return MeasureFor(fontName, points, dpi).fm.height() / dpi * kCmPerInch;
}

double MeasureBaselineCm(const std::string& fontName, double points, int dpi) {
    return MeasureFor(fontName, points, dpi).fm.ascent() / dpi * kCmPerInch;
}

DrawnFont DrawnFontFor(const std::string& fontName, double points) {
    const std::string family = fontName == kReportFontName ? ReportFontFamily() : fontName;
    static std::map<std::string, double> boxPerPoint;
    auto it = boxPerPoint.find(family);
    if (it == boxPerPoint.end()) {
        const int dpi = kDefaultPrintDpi;
        QFontMetricsF fm(PlainFont(family, 100, 100), &DeviceAt(dpi));
        const double box = (fm.ascent() + fm.descent()) / dpi * 72.0 / 100.0;
        it = boxPerPoint.emplace(family, box > 0 ? box : 1.0).first;
    }
    return printrules::FitToLineStep(family, points, it->second);
}

QFont MakeDrawnFont(const std::string& name, double points) {
    const DrawnFont f = DrawnFontFor(name, points);
    return PlainFont(f.family, f.points, 100);
}

} // namespace ia
