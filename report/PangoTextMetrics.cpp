// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PangoTextMetrics.h"

#include "report/PrintMetricsRules.h"
#include "report/PrintState.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

namespace ia::pangometrics {

namespace {

// A font map of our own: Pango's default one belongs to the thread that
// asked first.
PangoFontMap* FontMap() {
    static PangoFontMap* map = pango_cairo_font_map_new();
    return map;
}

bool FamilyInstalled(const std::string& family) {
    PangoFontFamily** families = nullptr;
    int n = 0;
    pango_font_map_list_families(FontMap(), &families, &n);
    bool found = false;
    for (int i = 0; i < n && !found; ++i)
        found = family == pango_font_family_get_name(families[i]);
    g_free(families);
    return found;
}

// One face at one size and resolution, unhinted as Qt measures it for
// printing: widths in device pixels, narrowed by stretch per cent.
class Face {
  public:
    Face(const std::string& family, double points, int dpi, int stretch)
        : context_(pango_font_map_create_context(FontMap())), stretch_(stretch / 100.0) {
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(context_, options);
        cairo_font_options_destroy(options);
        pango_cairo_context_set_resolution(context_, dpi);
        pango_context_set_round_glyph_positions(context_, FALSE);
        PangoFontDescription* desc = pango_font_description_new();
        pango_font_description_set_family(desc, family.c_str());
        // Qt asks the font for whole pixels at the device's resolution; so
        // does this, or every width would differ by the rounding (0.1 % for
        // 16 points at 1200 dpi).
        const double pixels = std::round(points * dpi / 72.0);
        pango_font_description_set_absolute_size(desc, pixels * PANGO_SCALE);
        layout_ = pango_layout_new(context_);
        pango_layout_set_font_description(layout_, desc);
        PangoFontMetrics* metrics = pango_context_get_metrics(context_, desc, nullptr);
        ascent_ = static_cast<double>(pango_font_metrics_get_ascent(metrics)) / PANGO_SCALE;
        descent_ = static_cast<double>(pango_font_metrics_get_descent(metrics)) / PANGO_SCALE;
        pango_font_metrics_unref(metrics);
        pango_font_description_free(desc);
    }
    ~Face() {
        g_object_unref(layout_);
        g_object_unref(context_);
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;

    // Summed glyph by glyph as Qt sums them: each advance cut down to a
    // 64th of a pixel, then narrowed and cut to a 64th again.
    double Advance(const std::string& utf8) const {
        pango_layout_set_text(layout_, utf8.data(), static_cast<int>(utf8.size()));
        constexpr int kUnitsPer64th = PANGO_SCALE / 64;
        long long sixtyFourths = 0;
        for (GSList* run = pango_layout_get_line_readonly(layout_, 0)->runs; run; run = run->next) {
            const PangoGlyphString* glyphs = static_cast<PangoGlyphItem*>(run->data)->glyphs;
            for (int i = 0; i < glyphs->num_glyphs; ++i) {
                const int width = glyphs->glyphs[i].geometry.width;
                const long long cut = width >= 0 ? width / kUnitsPer64th
                                                 : -((-width + kUnitsPer64th - 1) / kUnitsPer64th);
                sixtyFourths += stretch_ == 1.0 ? cut : static_cast<long long>(cut * stretch_);
            }
        }
        return static_cast<double>(sixtyFourths) / 64.0;
    }
    double Ascent() const { return ascent_; }
    double Descent() const { return descent_; }

  private:
    PangoContext* context_;
    PangoLayout* layout_ = nullptr;
    double stretch_;
    double ascent_ = 0;
    double descent_ = 0;
};

const Face& FaceFor(const std::string& family, double points, int dpi, int stretch) {
    using Key = std::tuple<std::string, double, int, int>;
    static std::map<Key, std::unique_ptr<Face>> cache;
    Key key{family, points, dpi, stretch};
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, std::make_unique<Face>(family, points, dpi, stretch)).first;
    return *it->second;
}

using printrules::StandIn;

const StandIn& ReportStandIn() {
    static const StandIn s = [] {
        StandIn r;
        if (FamilyInstalled(kReportFontName)) {
            r.family = kReportFontName;
            return r;
        }
        return printrules::StandInFor(FamilyInstalled("Laksaman"), [](const std::string& family) {
            return FaceFor(family, kReportFontPoints, kDefaultPrintDpi, 100)
                .Advance(std::string(kRuleLength, '-'));
        });
    }();
    return s;
}

// The face a font name is printed with: the report font goes to its
// stand-in, narrowed.
const Face& PrintFace(const std::string& name, double points, int dpi) {
    if (name != kReportFontName) return FaceFor(name, points, dpi, 100);
    const StandIn& s = ReportStandIn();
    return FaceFor(s.family, points, dpi, s.stretch);
}

double BlankPx(const std::string& name, double points, int dpi) {
    const Face& face = PrintFace(name, points, dpi);
    if (name == kReportFontName && ReportStandIn().halfDigitBlanks) return face.Advance("0") / 2;
    return face.Advance(" ");
}

} // namespace

std::string ReportFontFamily() {
    return ReportStandIn().family;
}

std::vector<PrintRun> LayOutPrintText(const std::string& fontName, double points, int dpi,
                                      const std::string& text, double* widthPx) {
    const Face& face = PrintFace(fontName, points, dpi);
    return printrules::CutAtBlanks(
        text, BlankPx(fontName, points, dpi),
        [&](const std::string& run) { return face.Advance(run); }, widthPx);
}

double MeasureTextCm(const std::string& fontName, double points, int dpi, const std::string& text) {
    double width = 0;
    LayOutPrintText(fontName, points, dpi, text, &width);
    return width / dpi * kCmPerInch;
}

double MeasureLineCm(const std::string& fontName, double points, int dpi) {
    const Face& face = PrintFace(fontName, points, dpi);
    return (face.Ascent() + face.Descent()) / dpi * kCmPerInch;
}

double MeasureBaselineCm(const std::string& fontName, double points, int dpi) {
    return PrintFace(fontName, points, dpi).Ascent() / dpi * kCmPerInch;
}

DrawnFont DrawnFontFor(const std::string& fontName, double points) {
    const std::string family = fontName == kReportFontName ? ReportFontFamily() : fontName;
    static std::map<std::string, double> boxPerPoint;
    auto it = boxPerPoint.find(family);
    if (it == boxPerPoint.end()) {
        const int dpi = kDefaultPrintDpi;
        const Face& face = FaceFor(family, 100, dpi, 100);
        const double box = (face.Ascent() + face.Descent()) / dpi * 72.0 / 100.0;
        it = boxPerPoint.emplace(family, box > 0 ? box : 1.0).first;
    }
    return printrules::FitToLineStep(family, points, it->second);
}

} // namespace ia::pangometrics
