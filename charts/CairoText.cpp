// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/CairoText.h"

#include <vector>

namespace ia::charts {

PangoLayout* CreateUnhintedLayout(cairo_t* cr) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    PangoContext* context = pango_layout_get_context(layout);
    pango_cairo_context_set_font_options(context, options);
    // Sizes in points are user units on every surface.
    pango_cairo_context_set_resolution(context, 72.0);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout);
    return layout;
}

void ShowLayoutAsText(cairo_t* cr, PangoLayout* layout, double stretch) {
    double originX = 0, originY = 0;
    if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &originX, &originY);
    const char* text = pango_layout_get_text(layout);
    PangoLayoutIter* iter = pango_layout_get_iter(layout);
    do {
        PangoLayoutRun* run = pango_layout_iter_get_run_readonly(iter);
        if (!run) continue;
        PangoRectangle logical;
        pango_layout_iter_get_run_extents(iter, nullptr, &logical);
        const double baseline =
            originY + static_cast<double>(pango_layout_iter_get_baseline(iter)) / PANGO_SCALE;
        double x = static_cast<double>(logical.x) / PANGO_SCALE;
        PangoGlyphString* glyphs = run->glyphs;
        std::vector<cairo_glyph_t> out;
        out.reserve(static_cast<size_t>(glyphs->num_glyphs));
        for (int i = 0; i < glyphs->num_glyphs; ++i) {
            const PangoGlyphInfo& g = glyphs->glyphs[i];
            if (!(g.glyph & PANGO_GLYPH_UNKNOWN_FLAG) && g.glyph != PANGO_GLYPH_EMPTY) {
                const double at = x + static_cast<double>(g.geometry.x_offset) / PANGO_SCALE;
                out.push_back({g.glyph, originX + at * stretch,
                               baseline + static_cast<double>(g.geometry.y_offset) / PANGO_SCALE});
            }
            x += static_cast<double>(g.geometry.width) / PANGO_SCALE;
        }
        if (out.empty()) continue;
        cairo_scaled_font_t* font =
            pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(run->item->analysis.font));
        if (!font) continue;
        // Widening through the font matrix rather than the drawing's
        // transformation: Pango fits its glyph positions to the latter.
        cairo_scaled_font_t* wide = nullptr;
        if (stretch != 1.0) {
            cairo_matrix_t fontMatrix, ctm;
            cairo_scaled_font_get_font_matrix(font, &fontMatrix);
            cairo_scaled_font_get_ctm(font, &ctm);
            cairo_font_options_t* options = cairo_font_options_create();
            cairo_scaled_font_get_font_options(font, options);
            fontMatrix.xx *= stretch;
            fontMatrix.yx *= stretch;
            wide = cairo_scaled_font_create(cairo_scaled_font_get_font_face(font), &fontMatrix,
                                            &ctm, options);
            cairo_font_options_destroy(options);
            font = wide;
        }
        cairo_set_scaled_font(cr, font);
        const cairo_text_cluster_t cluster{run->item->length, static_cast<int>(out.size())};
        cairo_show_text_glyphs(cr, text + run->item->offset, run->item->length, out.data(),
                               static_cast<int>(out.size()), &cluster, 1,
                               static_cast<cairo_text_cluster_flags_t>(0));
        if (wide) cairo_scaled_font_destroy(wide);
    } while (pango_layout_iter_next_run(iter));
    pango_layout_iter_free(iter);
}

} // namespace ia::charts
