// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The charts' canvas on a QPainter: the screen, the printer and the print
// preview.

#include "charts/Canvas.h"

class QPainter;

namespace ia::charts {

class QtCanvas : public Canvas {
  public:
    // Draws on painter, pixelsPerPoint device pixels for every point (the
    // device's resolution over 72).
    QtCanvas(QPainter& painter, double pixelsPerPoint);
    ~QtCanvas() override;

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
    QPainter& g_;
    double k_;
    int clips_ = 0;
};

} // namespace ia::charts
