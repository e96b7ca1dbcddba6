// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/CairoCanvas.h"

#include "charts/CairoText.h"
#include "examfile/OutputFile.h"

#include <cairo-svg.h>
#include <functional>

#include <cmath>
#include <memory>

namespace ia::charts {

namespace {

void SetColor(cairo_t* cr, Color c) {
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

} // namespace

CairoCanvas::CairoCanvas(cairo_t* cr) : cr_(cr), layout_(CreateUnhintedLayout(cr)) {}

CairoCanvas::~CairoCanvas() {
    while (clips_ > 0)
        Unclip();
    g_object_unref(layout_);
}

void CairoCanvas::Use(const Stroke& s) {
    SetColor(cr_, s.color);
    cairo_set_line_width(cr_, s.width);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    const double dash[] = {4 * s.width, 2.5 * s.width};
    cairo_set_dash(cr_, dash, s.dashed ? 2 : 0, 0);
}

void CairoCanvas::Line(Point a, Point b, const Stroke& s) {
    Use(s);
    cairo_move_to(cr_, a.x, a.y);
    cairo_line_to(cr_, b.x, b.y);
    cairo_stroke(cr_);
}

void CairoCanvas::Polyline(const std::vector<Point>& points, const Stroke& s) {
    if (points.size() < 2) return;
    Use(s);
    cairo_move_to(cr_, points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i)
        cairo_line_to(cr_, points[i].x, points[i].y);
    cairo_stroke(cr_);
}

void CairoCanvas::FillRect(const Rect& r, Color c) {
    SetColor(cr_, c);
    cairo_rectangle(cr_, r.x, r.y, r.w, r.h);
    cairo_fill(cr_);
}

void CairoCanvas::StrokeRect(const Rect& r, const Stroke& s) {
    Use(s);
    cairo_rectangle(cr_, r.x, r.y, r.w, r.h);
    cairo_stroke(cr_);
}

void CairoCanvas::Marker(Point p, MarkerShape shape, double size, Color c, bool filled) {
    const double h = size / 2;
    switch (shape) {
    case MarkerShape::Circle:
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, p.x, p.y, h, 0, 2 * M_PI);
        break;
    case MarkerShape::Square:
        cairo_rectangle(cr_, p.x - h, p.y - h, size, size);
        break;
    case MarkerShape::Triangle:
        cairo_move_to(cr_, p.x, p.y - h);
        cairo_line_to(cr_, p.x + h, p.y + h);
        cairo_line_to(cr_, p.x - h, p.y + h);
        cairo_close_path(cr_);
        break;
    case MarkerShape::Diamond:
        cairo_move_to(cr_, p.x, p.y - h);
        cairo_line_to(cr_, p.x + h, p.y);
        cairo_line_to(cr_, p.x, p.y + h);
        cairo_line_to(cr_, p.x - h, p.y);
        cairo_close_path(cr_);
        break;
    case MarkerShape::Cross:
        Use({c, filled ? 1.8 : 1.0});
        cairo_move_to(cr_, p.x - h, p.y - h);
        cairo_line_to(cr_, p.x + h, p.y + h);
        cairo_move_to(cr_, p.x + h, p.y - h);
        cairo_line_to(cr_, p.x - h, p.y + h);
        cairo_stroke(cr_);
        return;
    }
    Use({c, 1.0});
    if (filled) {
        cairo_fill(cr_);
    } else {
        // An outline on white, so that lines under it do not show through.
        cairo_path_t* path = cairo_copy_path(cr_);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_fill(cr_);
        cairo_append_path(cr_, path);
        cairo_path_destroy(path);
        Use({c, 1.0});
        cairo_stroke(cr_);
    }
}

void CairoCanvas::Text(Point anchor, const std::string& text, const TextStyle& style) {
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, kChartFontFamily);
    pango_font_description_set_size(desc, static_cast<int>(style.points * PANGO_SCALE));
    pango_font_description_set_weight(desc, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout_, desc);
    pango_font_description_free(desc);
    cairo_save(cr_);
    cairo_translate(cr_, anchor.x, anchor.y);
    if (style.upright) cairo_rotate(cr_, -M_PI / 2);
    pango_cairo_update_layout(cr_, layout_);
    pango_layout_set_text(layout_, text.c_str(), static_cast<int>(text.size()));
    PangoRectangle logical;
    pango_layout_get_extents(layout_, nullptr, &logical);
    const double w = static_cast<double>(logical.width) / PANGO_SCALE;
    const double h = static_cast<double>(logical.height) / PANGO_SCALE;
    const double dx = style.across == Align::Start ? 0 : style.across == Align::Middle ? w / 2 : w;
    const double dy = style.down == Align::Start ? 0 : style.down == Align::Middle ? h / 2 : h;
    SetColor(cr_, style.color);
    cairo_move_to(cr_, -dx, -dy);
    ShowLayoutAsText(cr_, layout_);
    cairo_restore(cr_);
}

void CairoCanvas::Clip(const Rect& r) {
    cairo_save(cr_);
    cairo_rectangle(cr_, r.x, r.y, r.w, r.h);
    cairo_clip(cr_);
    ++clips_;
}

void CairoCanvas::Unclip() {
    if (clips_ == 0) return;
    cairo_restore(cr_);
    --clips_;
}

namespace {

bool DrawOn(cairo_surface_t* surface, double scale, double width, double height,
            const DrawPicture& draw) {
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return false;
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    {
        CairoCanvas canvas(cr);
        draw(canvas, {0, 0, width, height});
    }
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    return ok;
}

} // namespace

namespace {

cairo_status_t ToOutputFile(void* closure, const unsigned char* data, unsigned int length) {
    auto* file = static_cast<OutputFile*>(closure);
    return file->write(std::string_view(reinterpret_cast<const char*>(data), length))
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

// Draws into an OutputFile, which replaces the file at path only once the
// picture is whole; a link or another program's file at path is refused.
bool WriteReplacing(const std::string& path, const char* tag, std::string* why,
                    const std::function<bool(OutputFile&)>& write) {
    try {
        OutputFile file(path, tag);
        const bool ok = write(file);
        file.commit(ok);
        return ok;
    } catch (const ReplaceFileError& e) {
        if (why) *why = e.what();
        return false;
    }
}

} // namespace

bool DrawPngInto(OutputFile& file, double width, double height, double dpi,
                 const DrawPicture& draw) {
    const double scale = dpi / 72.0;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(std::ceil(width * scale)),
                                   static_cast<int>(std::ceil(height * scale)));
    bool ok = DrawOn(surface, scale, width, height, draw);
    ok = ok &&
         cairo_surface_write_to_png_stream(surface, ToOutputFile, &file) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

bool DrawSvgInto(OutputFile& file, double width, double height, const DrawPicture& draw) {
    cairo_surface_t* surface =
        cairo_svg_surface_create_for_stream(ToOutputFile, &file, width, height);
    bool ok = DrawOn(surface, 1.0, width, height, draw);
    cairo_surface_finish(surface);
    ok = ok && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

bool WritePng(const std::string& path, double width, double height, double dpi,
              const DrawPicture& draw, std::string* why) {
    return WriteReplacing(path, "chart", why, [&](OutputFile& file) {
        return DrawPngInto(file, width, height, dpi, draw);
    });
}

bool WriteSvg(const std::string& path, double width, double height, const DrawPicture& draw,
              std::string* why) {
    return WriteReplacing(path, "chart", why,
                          [&](OutputFile& file) { return DrawSvgInto(file, width, height, draw); });
}

} // namespace ia::charts
