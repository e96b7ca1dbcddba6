// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The charts' canvas on a cairo context, with Pango setting the Thai: PDF
// pages whose text is text, PNG and SVG files.

#include "charts/Canvas.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <functional>
#include <string>

namespace ia {
class OutputFile;
}

namespace ia::charts {

class CairoCanvas : public Canvas {
  public:
    // Draws on cr, whose user units must be points.
    explicit CairoCanvas(cairo_t* cr);
    ~CairoCanvas() override;

    void Line(Point a, Point b, const Stroke& s) override;
    void Polyline(const std::vector<Point>& points, const Stroke& s) override;
    void FillRect(const Rect& r, Color c) override;
    void StrokeRect(const Rect& r, const Stroke& s) override;
    void Marker(Point p, MarkerShape shape, double size, Color c, bool filled) override;
    void Text(Point anchor, const std::string& text, const TextStyle& style) override;
    void Clip(const Rect& r) override;
    void Unclip() override;

  private:
    void Use(const Stroke& s);
    cairo_t* cr_;
    PangoLayout* layout_;
    int clips_ = 0;
};

// One picture `width` by `height` points drawn by `draw` into a file. PNG
// files are drawn at `dpi`. The file is replaced only once the picture is
// whole, never through a link (see examfile/OutputFile.h). False when the
// file could not be written, with the Thai reason in *why when given.
using DrawPicture = std::function<void(Canvas&, const Rect&)>;
bool WritePng(const std::string& path, double width, double height, double dpi,
              const DrawPicture& draw, std::string* why = nullptr);
bool WriteSvg(const std::string& path, double width, double height, const DrawPicture& draw,
              std::string* why = nullptr);

// The same pictures drawn into a file not yet committed, for a job that
// puts several files in place together once all of them are whole. False
// when drawing or writing failed.
bool DrawPngInto(OutputFile& file, double width, double height, double dpi,
                 const DrawPicture& draw);
bool DrawSvgInto(OutputFile& file, double width, double height, const DrawPicture& draw);

} // namespace ia::charts
