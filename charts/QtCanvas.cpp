// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/QtCanvas.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>

namespace ia::charts {

namespace {

QColor ToQt(Color c) {
    return QColor(c.r, c.g, c.b);
}

} // namespace

QtCanvas::QtCanvas(QPainter& painter, double pixelsPerPoint) : g_(painter), k_(pixelsPerPoint) {
    g_.save();
    g_.setRenderHint(QPainter::Antialiasing, true);
    g_.setRenderHint(QPainter::TextAntialiasing, true);
}

QtCanvas::~QtCanvas() {
    while (clips_ > 0)
        Unclip();
    g_.restore();
}

void QtCanvas::Use(const Stroke& s) {
    QPen pen(ToQt(s.color));
    pen.setWidthF(s.width * k_);
    pen.setJoinStyle(Qt::RoundJoin);
    if (s.dashed) pen.setDashPattern({4, 2.5});
    g_.setPen(pen);
    g_.setBrush(Qt::NoBrush);
}

void QtCanvas::Line(Point a, Point b, const Stroke& s) {
    Use(s);
    g_.drawLine(QPointF(a.x * k_, a.y * k_), QPointF(b.x * k_, b.y * k_));
}

void QtCanvas::Polyline(const std::vector<Point>& points, const Stroke& s) {
    Use(s);
    QPolygonF poly;
    for (const Point& p : points)
        poly << QPointF(p.x * k_, p.y * k_);
    g_.drawPolyline(poly);
}

void QtCanvas::FillRect(const Rect& r, Color c) {
    g_.fillRect(QRectF(r.x * k_, r.y * k_, r.w * k_, r.h * k_), ToQt(c));
}

void QtCanvas::StrokeRect(const Rect& r, const Stroke& s) {
    Use(s);
    g_.drawRect(QRectF(r.x * k_, r.y * k_, r.w * k_, r.h * k_));
}

void QtCanvas::Marker(Point p, MarkerShape shape, double size, Color c, bool filled) {
    const double h = size / 2 * k_;
    const QPointF o(p.x * k_, p.y * k_);
    Use({c, filled && shape == MarkerShape::Cross ? 1.8 : 1.0});
    g_.setBrush(filled ? QBrush(ToQt(c)) : QBrush(Qt::white));
    switch (shape) {
    case MarkerShape::Circle:
        g_.drawEllipse(o, h, h);
        break;
    case MarkerShape::Square:
        g_.drawRect(QRectF(o.x() - h, o.y() - h, 2 * h, 2 * h));
        break;
    case MarkerShape::Triangle:
        g_.drawPolygon(QPolygonF({o + QPointF(0, -h), o + QPointF(h, h), o + QPointF(-h, h)}));
        break;
    case MarkerShape::Diamond:
        g_.drawPolygon(QPolygonF(
            {o + QPointF(0, -h), o + QPointF(h, 0), o + QPointF(0, h), o + QPointF(-h, 0)}));
        break;
    case MarkerShape::Cross:
        g_.drawLine(o + QPointF(-h, -h), o + QPointF(h, h));
        g_.drawLine(o + QPointF(h, -h), o + QPointF(-h, h));
        break;
    }
}

void QtCanvas::Text(Point anchor, const std::string& text, const TextStyle& style) {
    QFont font(kChartFontFamily);
    font.setPixelSize(std::max(1, static_cast<int>(style.points * k_ + 0.5)));
    font.setBold(style.bold);
    const QString s = QString::fromStdString(text);
    const QFontMetricsF fm(font);
    const double w = fm.horizontalAdvance(s), h = fm.height();
    const double dx = style.across == Align::Start ? 0 : style.across == Align::Middle ? w / 2 : w;
    const double dy = style.down == Align::Start ? 0 : style.down == Align::Middle ? h / 2 : h;
    g_.save();
    g_.translate(anchor.x * k_, anchor.y * k_);
    if (style.upright) g_.rotate(-90);
    g_.setFont(font);
    g_.setPen(ToQt(style.color));
    g_.drawText(QPointF(-dx, -dy + fm.ascent()), s);
    g_.restore();
}

void QtCanvas::Clip(const Rect& r) {
    g_.save();
    g_.setClipRect(QRectF(r.x * k_, r.y * k_, r.w * k_, r.h * k_), Qt::IntersectClip);
    ++clips_;
}

void QtCanvas::Unclip() {
    if (clips_ == 0) return;
    g_.restore();
    --clips_;
}

} // namespace ia::charts
