// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/RecordingCanvas.h"

namespace ia::charts {

void RecordingCanvas::Line(Point a, Point b, const Stroke& s) {
    Drawn d;
    d.kind = Drawn::Kind::Line;
    d.points = {a, b};
    d.color = s.color;
    d.width = s.width;
    d.dashed = s.dashed;
    items_.push_back(d);
}

void RecordingCanvas::Polyline(const std::vector<Point>& points, const Stroke& s) {
    Drawn d;
    d.kind = Drawn::Kind::Polyline;
    d.points = points;
    d.color = s.color;
    d.width = s.width;
    d.dashed = s.dashed;
    items_.push_back(d);
}

void RecordingCanvas::FillRect(const Rect& r, Color c) {
    Drawn d;
    d.kind = Drawn::Kind::FillRect;
    d.rect = r;
    d.color = c;
    d.filled = true;
    items_.push_back(d);
}

void RecordingCanvas::StrokeRect(const Rect& r, const Stroke& s) {
    Drawn d;
    d.kind = Drawn::Kind::StrokeRect;
    d.rect = r;
    d.color = s.color;
    d.width = s.width;
    d.dashed = s.dashed;
    items_.push_back(d);
}

void RecordingCanvas::Marker(Point p, MarkerShape shape, double size, Color c, bool filled) {
    Drawn d;
    d.kind = Drawn::Kind::Marker;
    d.points = {p};
    d.shape = shape;
    d.width = size;
    d.color = c;
    d.filled = filled;
    items_.push_back(d);
}

void RecordingCanvas::Text(Point anchor, const std::string& text, const TextStyle& style) {
    Drawn d;
    d.kind = Drawn::Kind::Text;
    d.points = {anchor};
    d.text = text;
    d.style = style;
    d.color = style.color;
    items_.push_back(d);
}

void RecordingCanvas::Clip(const Rect& r) {
    Drawn d;
    d.kind = Drawn::Kind::Clip;
    d.rect = r;
    items_.push_back(d);
}

void RecordingCanvas::Unclip() {
    Drawn d;
    d.kind = Drawn::Kind::Unclip;
    items_.push_back(d);
}

std::vector<Drawn> RecordingCanvas::Of(Drawn::Kind kind) const {
    std::vector<Drawn> v;
    for (const Drawn& d : items_)
        if (d.kind == kind) v.push_back(d);
    return v;
}

std::vector<std::string> RecordingCanvas::Texts() const {
    std::vector<std::string> v;
    for (const Drawn& d : items_)
        if (d.kind == Drawn::Kind::Text) v.push_back(d.text);
    return v;
}

} // namespace ia::charts
