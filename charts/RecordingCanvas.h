// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A canvas that keeps what is drawn on it, in order, for tests.

#include "charts/Canvas.h"

#include <string>
#include <vector>

namespace ia::charts {

struct Drawn {
    enum class Kind { Line, Polyline, FillRect, StrokeRect, Marker, Text, Clip, Unclip };
    Kind kind = Kind::Line;
    std::vector<Point> points; // Line: two; Polyline: all; Marker and Text: one
    Rect rect;                 // FillRect, StrokeRect, Clip
    Color color;
    double width = 0; // stroke width, marker size
    bool dashed = false;
    bool filled = false;
    MarkerShape shape = MarkerShape::Circle;
    std::string text;
    TextStyle style;
};

class RecordingCanvas : public Canvas {
  public:
    void Line(Point a, Point b, const Stroke& s) override;
    void Polyline(const std::vector<Point>& points, const Stroke& s) override;
    void FillRect(const Rect& r, Color c) override;
    void StrokeRect(const Rect& r, const Stroke& s) override;
    void Marker(Point p, MarkerShape shape, double size, Color c, bool filled) override;
    void Text(Point anchor, const std::string& text, const TextStyle& style) override;
    void Clip(const Rect& r) override;
    void Unclip() override;

    const std::vector<Drawn>& Items() const { return items_; }
    std::vector<Drawn> Of(Drawn::Kind kind) const;
    // The texts drawn, in order.
    std::vector<std::string> Texts() const;

  private:
    std::vector<Drawn> items_;
};

} // namespace ia::charts
