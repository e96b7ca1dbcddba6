// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drawing surface the charts draw on: lines, rectangles, markers and
// text in points (1/72 inch) from the top left corner, y growing downwards.
// QtCanvas (QPainter: screen, printer, preview), CairoCanvas (PDF, PNG and
// SVG files) and RecordingCanvas (tests) carry it out.

#include <string>
#include <vector>

namespace ia::charts {

struct Color {
    int r = 0, g = 0, b = 0;
    bool operator==(const Color&) const = default;
};

struct Point {
    double x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    double x = 0, y = 0, w = 0, h = 0;
    double right() const { return x + w; }
    double bottom() const { return y + h; }
    bool operator==(const Rect&) const = default;
};

struct Stroke {
    Color color;
    double width = 1; // points
    bool dashed = false;
};

// Where the anchor point of a text lies on the text: its start, middle or
// end across, its top, middle or bottom down.
enum class Align { Start, Middle, End };

struct TextStyle {
    double points = 9;
    bool bold = false;
    Color color;
    Align across = Align::Start;
    Align down = Align::Start;
    // Read from bottom to top (the title of an upright axis).
    bool upright = false;
};

enum class MarkerShape { Circle, Square, Triangle, Diamond, Cross };

class Canvas {
  public:
    virtual ~Canvas() = default;
    virtual void Line(Point a, Point b, const Stroke& s) = 0;
    virtual void Polyline(const std::vector<Point>& points, const Stroke& s) = 0;
    virtual void FillRect(const Rect& r, Color c) = 0;
    virtual void StrokeRect(const Rect& r, const Stroke& s) = 0;
    // A marker of the given size (points across) centred on p, filled or
    // drawn as an outline.
    virtual void Marker(Point p, MarkerShape shape, double size, Color c, bool filled) = 0;
    virtual void Text(Point anchor, const std::string& text, const TextStyle& style) = 0;
    // Everything drawn until Unclip() is cut to r.
    virtual void Clip(const Rect& r) = 0;
    virtual void Unclip() = 0;
};

// The face the charts write their Thai in.
inline constexpr const char* kChartFontFamily = "Loma";

} // namespace ia::charts
