// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/Charts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>

namespace ia::charts {

namespace {

const Color kBlack{0, 0, 0};
const Color kGrey{150, 150, 150};
const Color kLightGrey{225, 225, 225};
const Color kBar{90, 140, 200};
const Color kMean{200, 40, 40};

// Light shades behind the points, dark ones for the points themselves.
Color ZoneShade(Verdict v) {
    switch (v) {
    case Verdict::Keep:
        return {205, 235, 205};
    case Verdict::Improve:
        return {250, 238, 185};
    case Verdict::Discard:
        return {245, 205, 205};
    }
    return kLightGrey;
}

Color VerdictColor(Verdict v) {
    switch (v) {
    case Verdict::Keep:
        return {30, 120, 40};
    case Verdict::Improve:
        return {170, 120, 0};
    case Verdict::Discard:
        return {190, 30, 30};
    }
    return kBlack;
}

const char* VerdictName(Verdict v) {
    switch (v) {
    case Verdict::Keep:
        return "ควรเก็บไว้";
    case Verdict::Improve:
        return "ควรปรับปรุง";
    case Verdict::Discard:
        return "ควรตัดทิ้ง";
    }
    return "";
}

// Colour and marker of each choice, distinct also on a grey printer.
struct ChoiceLook {
    Color color;
    MarkerShape shape;
};
ChoiceLook LookOf(int choice) {
    static const ChoiceLook looks[] = {
        {{200, 40, 40}, MarkerShape::Circle},   {{40, 90, 200}, MarkerShape::Square},
        {{30, 140, 50}, MarkerShape::Triangle}, {{150, 60, 170}, MarkerShape::Diamond},
        {{200, 120, 0}, MarkerShape::Cross},
    };
    const int i = std::clamp(choice - 1, 0, 4);
    return looks[i];
}

std::string Fixed(double v, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// A tick step of 1, 2 or 5 times a power of ten giving at most `most` steps.
double TickStep(double range, int most) {
    if (range <= 0) return 1;
    const double raw = range / most;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

TextStyle Style(double points, Align across, Align down, bool bold = false) {
    TextStyle s;
    s.points = points;
    s.across = across;
    s.down = down;
    s.bold = bold;
    return s;
}

constexpr double kTitlePoints = 11;
constexpr double kLabelPoints = 8;

void Title(Canvas& c, const Rect& area, const std::string& text) {
    c.Text({area.x + area.w / 2, area.y + 2}, text,
           Style(kTitlePoints, Align::Middle, Align::Start, true));
}

void AxisTitles(Canvas& c, const Rect& area, const Rect& plot, const std::string& across,
                const std::string& upright) {
    c.Text({plot.x + plot.w / 2, area.bottom() - 3}, across,
           Style(kLabelPoints + 1, Align::Middle, Align::End));
    TextStyle s = Style(kLabelPoints + 1, Align::Middle, Align::Start);
    s.upright = true;
    c.Text({area.x + 3, plot.y + plot.h / 2}, upright, s);
}

// Value v of [from, to] upwards in the plot.
double Up(const Rect& plot, double from, double to, double v) {
    return plot.bottom() - (v - from) / (to - from) * plot.h;
}

// Horizontal grid lines and labels of an upright axis from `from` to `to`.
void UprightAxis(Canvas& c, const Rect& plot, double from, double to, double step, int decimals) {
    for (int k = 0;; ++k) {
        const double v = from + k * step;
        if (v > to + step * 1e-6) break;
        const double y = Up(plot, from, to, v);
        c.Line({plot.x, y}, {plot.right(), y}, {kLightGrey, 0.5});
        c.Line({plot.x - 3, y}, {plot.x, y}, {kBlack, 0.7});
        std::string label = Fixed(v, decimals);
        if (label == "-0" || label == "-0.0") label = label.substr(1);
        c.Text({plot.x - 5, y}, label, Style(kLabelPoints, Align::End, Align::Middle));
    }
}

} // namespace

std::string ChoiceLetter(int choice) {
    static const char* const letters[] = {"ก", "ข", "ค", "ง", "จ"};
    return choice >= 1 && choice <= 5 ? letters[choice - 1] : std::to_string(choice);
}

Rect PlotArea(const Rect& area) {
    constexpr double left = 48, right = 14, top = 36, bottom = 42;
    return {area.x + left, area.y + top, std::max(1.0, area.w - left - right),
            std::max(1.0, area.h - top - bottom)};
}

double HistogramX(const Rect& plot, int highestScore, double score) {
    return plot.x + (score + 0.5) / (highestScore + 1) * plot.w;
}

double ItemPlotX(const Rect& plot, double percentile) {
    return plot.x + percentile / 100.0 * plot.w;
}

void DrawHistogram(Canvas& c, const Rect& area, const HistogramInput& in) {
    const Rect plot = PlotArea(area);
    Title(c, area, "การกระจายของคะแนน");
    const int highest = std::max(0, static_cast<int>(in.counts.size()) - 1);
    const int most = in.counts.empty() ? 0 : *std::max_element(in.counts.begin(), in.counts.end());
    // Counts are whole sheets: no tick between two of them.
    const double step = std::max(1.0, TickStep(std::max(1, most), 6));
    const double top = std::max(step, std::ceil(most / step) * step);
    UprightAxis(c, plot, 0, top, step, 0);

    const double slot = plot.w / (highest + 1);
    for (int s = 0; s < static_cast<int>(in.counts.size()); ++s) {
        const int n = in.counts[static_cast<size_t>(s)];
        if (n <= 0) continue;
        const double y = Up(plot, 0, top, n);
        const Rect bar{HistogramX(plot, highest, s) - slot * 0.4, y, slot * 0.8, plot.bottom() - y};
        c.FillRect(bar, kBar);
        c.StrokeRect(bar, {kBlack, 0.4});
    }
    // Scores across: every score when they fit, otherwise a readable step.
    const int scoreStep =
        static_cast<int>(TickStep(highest + 1, std::max(1, static_cast<int>(plot.w / 22))));
    for (int s = 0; s <= highest; s += std::max(1, scoreStep)) {
        const double x = HistogramX(plot, highest, s);
        c.Line({x, plot.bottom()}, {x, plot.bottom() + 3}, {kBlack, 0.7});
        c.Text({x, plot.bottom() + 5}, std::to_string(s),
               Style(kLabelPoints, Align::Middle, Align::Start));
    }
    c.Line({plot.x, plot.bottom()}, {plot.right(), plot.bottom()}, {kBlack, 0.8});
    c.Line({plot.x, plot.y}, {plot.x, plot.bottom()}, {kBlack, 0.8});

    // The mean, and one standard deviation either side.
    if (!in.counts.empty()) {
        // The mean's label above the plot, the deviations' inside it on the
        // outer side of their lines, so that the three never overlap.
        auto mark = [&](double v, const std::string& label, bool dashed, Align side) {
            if (v < -0.5 || v > highest + 0.5) return;
            const double x = HistogramX(plot, highest, v);
            c.Line({x, plot.y}, {x, plot.bottom()}, {kMean, dashed ? 1.0 : 1.6, dashed});
            TextStyle s = Style(kLabelPoints, side, dashed ? Align::Start : Align::End);
            s.color = kMean;
            const double shift = side == Align::End ? -2 : side == Align::Start ? 2 : 0;
            c.Text({x + shift, dashed ? plot.y + 2 : plot.y - 1}, label, s);
        };
        mark(in.mean, "ค่าเฉลี่ย " + Fixed(in.mean, 2), false, Align::Middle);
        if (in.sd > 0) {
            mark(in.mean - in.sd, "-1 SD", true, Align::End);
            mark(in.mean + in.sd, "+1 SD", true, Align::Start);
        }
    }
    AxisTitles(c, area, plot, "คะแนน", "จำนวนคน");
}

namespace {

constexpr double kNoteRoom = 12;
constexpr double kDdMarker = 5;

bool HasSpecialPoints(const DdInput& in) {
    return std::any_of(in.items.begin(), in.items.end(),
                       [](const DdPoint& d) { return !d.rKnown || !d.verdict; });
}

bool Overlap(const Rect& a, const Rect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

bool Inside(const Rect& inner, const Rect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.right() <= outer.right() &&
           inner.bottom() <= outer.bottom();
}

} // namespace

Rect DdPlotArea(const Rect& area, const DdInput& in) {
    return PlotArea({area.x, area.y, area.w, area.h - (HasSpecialPoints(in) ? kNoteRoom : 0)});
}

Rect LabelRoom(Point topLeft, const std::string& text, double points) {
    return {topLeft.x, topLeft.y, 0.62 * points * static_cast<double>(text.size()), 1.25 * points};
}

std::vector<DdLabel> PlaceDdLabels(const Rect& plot, const std::vector<Point>& points,
                                   const std::vector<int>& items, double labelPoints,
                                   double markerSize) {
    std::vector<Rect> taken;
    taken.reserve(points.size() * 2);
    const double half = markerSize / 2 + 0.5;
    for (const Point& p : points)
        taken.push_back({p.x - half, p.y - half, 2 * half, 2 * half});
    // Numbers keep a little apart, so that two side by side do not read as
    // one ("31" and "17" as "3117").
    constexpr double apart = 1.5;
    auto fits = [&](const Rect& box) {
        if (!Inside(box, plot)) return false;
        const Rect wide{box.x - apart, box.y, box.w + 2 * apart, box.h};
        return std::none_of(taken.begin(), taken.end(),
                            [&](const Rect& t) { return Overlap(wide, t); });
    };
    std::vector<DdLabel> labels;
    for (size_t i = 0; i < points.size() && i < items.size(); ++i) {
        const Point at = points[i];
        const std::string text = std::to_string(items[i]);
        const Rect room = LabelRoom({0, 0}, text, labelPoints);
        const double gap = half + 1;
        // Beside the point: right, left, above, below, then the corners.
        const Point beside[] = {
            {at.x + gap, at.y - room.h / 2},
            {at.x - gap - room.w, at.y - room.h / 2},
            {at.x - room.w / 2, at.y - gap - room.h},
            {at.x - room.w / 2, at.y + gap},
            {at.x + gap, at.y - gap - room.h},
            {at.x - gap - room.w, at.y - gap - room.h},
            {at.x + gap, at.y + gap},
            {at.x - gap - room.w, at.y + gap},
        };
        std::optional<DdLabel> placed;
        for (const Point& corner : beside) {
            const Rect box{corner.x, corner.y, room.w, room.h};
            if (fits(box)) {
                placed = DdLabel{items[i], box, false};
                break;
            }
        }
        // Further off on widening rings, joined to the point by a leader.
        const double reach = std::max(plot.w, plot.h);
        for (double radius = gap + room.h; !placed && radius < reach; radius += room.h * 0.75) {
            const int steps =
                std::max(12, static_cast<int>(2 * std::numbers::pi * radius / room.h));
            for (int k = 0; k < steps && !placed; ++k) {
                const double a = 2 * std::numbers::pi * k / steps;
                const Point centre{at.x + radius * std::cos(a), at.y - radius * std::sin(a)};
                const Rect box{centre.x - room.w / 2, centre.y - room.h / 2, room.w, room.h};
                if (fits(box)) placed = DdLabel{items[i], box, true};
            }
        }
        if (!placed) continue;
        taken.push_back(placed->box);
        labels.push_back(*placed);
    }
    return labels;
}

void DrawDdPlot(Canvas& c, const Rect& area, const DdInput& in) {
    Title(c, area, "ความยากและอำนาจจำแนกรายข้อ");
    double lowest = -0.2;
    for (const DdPoint& d : in.items)
        if (d.rKnown) lowest = std::min(lowest, std::floor(d.r * 5) / 5);
    lowest = std::max(-1.0, lowest);
    const double top = 1.0;

    bool note = HasSpecialPoints(in);
    Rect plot = DdPlotArea(area, in);
    auto X = [&](double p) { return plot.x + std::clamp(p, 0.0, 1.0) * plot.w; };
    auto Y = [&](double r) { return Up(plot, lowest, top, std::clamp(r, lowest, top)); };
    auto At = [&](const DdPoint& d) { return Point{X(d.p), d.rKnown ? Y(d.r) : plot.bottom()}; };
    const double labelPoints = kLabelPoints - 1;
    std::vector<DdLabel> labels;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<Point> at;
        std::vector<int> numbers;
        for (const DdPoint& d : in.items) {
            at.push_back(At(d));
            numbers.push_back(d.item);
        }
        labels = PlaceDdLabels(plot, at, numbers, labelPoints, kDdMarker);
        // A number left out is told under the plot, which then needs room.
        if (labels.size() == in.items.size() || note) break;
        note = true;
        plot = PlotArea({area.x, area.y, area.w, area.h - kNoteRoom});
    }
    const Rect frame{area.x, area.y, area.w, area.h - (note ? kNoteRoom : 0)};

    c.Clip(plot);
    for (const VerdictZone& z : in.zones) {
        const double x0 = X(z.pFrom), x1 = X(z.pTo), y0 = Y(z.rTo), y1 = Y(z.rFrom);
        c.FillRect({x0, y0, x1 - x0, y1 - y0}, ZoneShade(z.verdict));
    }
    c.Unclip();
    UprightAxis(c, plot, lowest, top, 0.2, 1);
    for (int k = 0; k <= 5; ++k) {
        const double p = k * 0.2, x = X(p);
        c.Line({x, plot.y}, {x, plot.bottom()}, {kLightGrey, 0.5});
        c.Line({x, plot.bottom()}, {x, plot.bottom() + 3}, {kBlack, 0.7});
        c.Text({x, plot.bottom() + 5}, Fixed(p, 1),
               Style(kLabelPoints, Align::Middle, Align::Start));
    }
    c.Line({plot.x, Y(0)}, {plot.right(), Y(0)}, {kGrey, 0.8});
    c.StrokeRect(plot, {kBlack, 0.8});

    // A point's colour is the report's verdict on its item, whatever zone
    // its position falls in.
    auto colorOf = [](const DdPoint& d) { return d.verdict ? VerdictColor(*d.verdict) : kBlack; };
    for (const DdPoint& d : in.items) {
        const Point at = At(d);
        if (!d.verdict)
            c.Marker(at, MarkerShape::Square, kDdMarker, kBlack, false);
        else if (!d.rKnown)
            c.Marker(at, MarkerShape::Triangle, kDdMarker + 1, colorOf(d), false);
        else
            c.Marker(at, MarkerShape::Circle, kDdMarker, colorOf(d), true);
    }
    for (const DdLabel& l : labels) {
        const auto d = std::find_if(in.items.begin(), in.items.end(),
                                    [&](const DdPoint& p) { return p.item == l.item; });
        TextStyle s = Style(labelPoints, Align::Start, Align::Start);
        s.color = colorOf(*d);
        if (l.leader) {
            const Point from = At(*d);
            const Point to{std::clamp(from.x, l.box.x, l.box.right()),
                           std::clamp(from.y, l.box.y, l.box.bottom())};
            c.Line(from, to, {kGrey, 0.4});
        }
        c.Text({l.box.x, l.box.y}, std::to_string(l.item), s);
    }
    // What the shades mean, under the title.
    double x = plot.x;
    for (Verdict v : {Verdict::Keep, Verdict::Improve, Verdict::Discard}) {
        c.FillRect({x, plot.y - 12, 10, 8}, ZoneShade(v));
        c.StrokeRect({x, plot.y - 12, 10, 8}, {kGrey, 0.4});
        c.Text({x + 13, plot.y - 8}, VerdictName(v),
               Style(kLabelPoints, Align::Start, Align::Middle));
        x += 80;
    }
    if (note) {
        // What the special markers mean, under the axis title.
        const double y = area.bottom() - kNoteRoom / 2;
        double nx = plot.x;
        auto entry = [&](MarkerShape shape, const std::string& text) {
            c.Marker({nx + 3, y}, shape, kDdMarker, kBlack, false);
            c.Text({nx + 9, y}, text, Style(kLabelPoints - 1, Align::Start, Align::Middle));
            // Thai takes three bytes a letter, about half the size wide.
            nx += 9 + 0.5 * (kLabelPoints - 1) * static_cast<double>(text.size()) / 3 + 12;
        };
        const bool noR = std::any_of(in.items.begin(), in.items.end(),
                                     [](const DdPoint& d) { return !d.rKnown; });
        const bool noCategory = std::any_of(in.items.begin(), in.items.end(),
                                            [](const DdPoint& d) { return !d.verdict; });
        if (noR) entry(MarkerShape::Triangle, "ไม่มีค่า " + in.rName + " วางที่ขอบล่าง");
        if (noCategory) entry(MarkerShape::Square, "ไม่เข้าเกณฑ์ใดของรายงาน");
        const size_t missing = in.items.size() - labels.size();
        if (missing > 0)
            c.Text({nx, y}, "ไม่มีที่เขียนเลขข้อ " + std::to_string(missing) + " ข้อ",
                   Style(kLabelPoints - 1, Align::Start, Align::Middle));
    }
    AxisTitles(c, frame, plot, "ความยาก (p)", "อำนาจจำแนก (" + in.rName + ")");
}

void DrawItemPlot(Canvas& c, const Rect& area, const ItemPlotInput& in) {
    const Rect plot = PlotArea(area);
    Title(c, area, "ข้อ " + std::to_string(in.item) + "  สัดส่วนผู้เลือกแต่ละตัวเลือก");
    UprightAxis(c, plot, 0, 1, 0.2, 1);
    auto Y = [&](double share) { return Up(plot, 0, 1, std::clamp(share, 0.0, 1.0)); };
    for (int g = 0; g < 5; ++g) {
        const double x = ItemPlotX(plot, 10 + 20 * g);
        c.Line({x, plot.y}, {x, plot.bottom()}, {kLightGrey, 0.5});
        c.Text({x, plot.bottom() + 5}, std::to_string(g + 1),
               Style(kLabelPoints, Align::Middle, Align::Start));
    }
    const double half = in.groupPercent / 2.0;
    const double lowX = ItemPlotX(plot, half), highX = ItemPlotX(plot, 100 - half);
    for (auto [x, name] : {std::pair{lowX, "L"}, std::pair{highX, "H"}}) {
        c.Line({x, plot.bottom()}, {x, plot.bottom() + 3}, {kBlack, 0.7});
        c.Text({x, plot.bottom() + 5}, name,
               Style(kLabelPoints, Align::Middle, Align::Start, true));
    }
    c.StrokeRect(plot, {kBlack, 0.8});

    // The key last, so that it lies on top.
    std::vector<ChoiceShares> order = in.choices;
    std::stable_partition(order.begin(), order.end(), [](const ChoiceShares& s) { return !s.key; });
    for (const ChoiceShares& s : order) {
        const ChoiceLook look = LookOf(s.choice);
        const double width = s.key ? 2.8 : 1.1;
        if (s.groups.size() == 5) {
            std::vector<Point> line;
            for (int g = 0; g < 5; ++g)
                line.push_back({ItemPlotX(plot, 10 + 20 * g), Y(s.groups[static_cast<size_t>(g)])});
            c.Polyline(line, {look.color, width});
        } else {
            // Without the five groups the low and the high group alone show
            // which way the choice leans.
            c.Line({lowX, Y(s.low)}, {highX, Y(s.high)}, {look.color, width, true});
        }
        c.Marker({lowX, Y(s.low)}, look.shape, s.key ? 8 : 6, look.color, s.key);
        c.Marker({highX, Y(s.high)}, look.shape, s.key ? 8 : 6, look.color, s.key);
    }
    // Legend: the letters in their colours, the key starred.
    double x = plot.x;
    for (const ChoiceShares& s : in.choices) {
        const ChoiceLook look = LookOf(s.choice);
        c.Marker({x + 4, plot.y - 9}, look.shape, 6, look.color, s.key);
        TextStyle st = Style(kLabelPoints, Align::Start, Align::Middle, s.key);
        st.color = look.color;
        c.Text({x + 10, plot.y - 9}, (s.key ? "*" : "") + ChoiceLetter(s.choice), st);
        x += 34;
    }
    AxisTitles(c, area, plot, "กลุ่มคะแนน ต่ำ → สูง", "สัดส่วนผู้เลือก");
}

namespace {

const Color kMarked{210, 60, 40};
const Color kPale{190, 205, 225};

Color GroupBarColor(const GroupP& g) {
    return !g.judged ? kPale : g.marked ? kMarked : kBar;
}

// The bars of one item into `plot`, p from 0 to 1 upwards.
void GroupBars(Canvas& c, const Rect& plot, const GroupPInput& in, bool labels) {
    const double lo = std::max(0.0, in.pooledP - in.threshold);
    const double hi = std::min(1.0, in.pooledP + in.threshold);
    c.FillRect({plot.x, Up(plot, 0, 1, hi), plot.w, Up(plot, 0, 1, lo) - Up(plot, 0, 1, hi)},
               {240, 236, 210});
    const size_t n = in.groups.size();
    const double slot = plot.w / static_cast<double>(std::max<size_t>(1, n));
    for (size_t k = 0; k < n; ++k) {
        const GroupP& g = in.groups[k];
        const double x = plot.x + slot * (static_cast<double>(k) + 0.5);
        if (g.p) {
            const double y = Up(plot, 0, 1, *g.p);
            const Rect bar{x - slot * 0.35, y, slot * 0.7, plot.bottom() - y};
            c.FillRect(bar, GroupBarColor(g));
            c.StrokeRect(bar, {kBlack, 0.3});
            if (labels)
                c.Text({x, y - 1}, Fixed(*g.p, 2), Style(kLabelPoints, Align::Middle, Align::End));
        }
        if (labels)
            c.Text({x, plot.bottom() + 4}, g.name,
                   Style(kLabelPoints, Align::Middle, Align::Start));
    }
    const double y = Up(plot, 0, 1, in.pooledP);
    c.Line({plot.x, y}, {plot.right(), y}, {kMean, labels ? 1.4 : 0.9, true});
    c.Line({plot.x, plot.bottom()}, {plot.right(), plot.bottom()}, {kBlack, 0.8});
}

} // namespace

void DrawGroupPChart(Canvas& c, const Rect& area, const GroupPInput& in) {
    const Rect plot = PlotArea(area);
    Title(c, area, "ค่าความยาก p ของข้อ " + std::to_string(in.item) + " แยกตามกลุ่ม");
    if (!in.note.empty())
        c.Text({area.x + area.w / 2, area.y + 18}, in.note,
               Style(kLabelPoints, Align::Middle, Align::Start));
    UprightAxis(c, plot, 0, 1, 0.2, 1);
    c.Line({plot.x, plot.y}, {plot.x, plot.bottom()}, {kBlack, 0.8});
    GroupBars(c, plot, in, true);
    // The pooled p is named under the plot: at the end of its line it would
    // stand on the labels of bars near it, which are the usual case.
    AxisTitles(c, area, plot,
               "กลุ่ม (เส้นประ: p รวม " + Fixed(in.pooledP, 2) + ", สีแดง: ต่างเกิน " +
                   Fixed(in.threshold, 2) + ")",
               "p");
}

void DrawGroupPOverview(Canvas& c, const Rect& area, const std::vector<GroupPInput>& items,
                        int columns) {
    columns = std::max(1, columns);
    Title(c, area, "ค่าความยาก p รายข้อแยกตามกลุ่ม (เส้นประ: p รวม)");
    const int rows = static_cast<int>((items.size() + static_cast<size_t>(columns) - 1) /
                                      static_cast<size_t>(columns));
    if (rows == 0) return;
    const double top = area.y + 20;
    const double cellW = area.w / columns, cellH = (area.bottom() - top) / rows;
    for (size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i) / columns, col = static_cast<int>(i) % columns;
        const Rect cell{area.x + col * cellW, top + r * cellH, cellW, cellH};
        const Rect plot{cell.x + 4, cell.y + 12, std::max(1.0, cell.w - 8),
                        std::max(1.0, cell.h - 16)};
        bool marked = false;
        for (const GroupP& g : items[i].groups)
            marked = marked || g.marked;
        TextStyle s = Style(kLabelPoints - 1, Align::Start, Align::Start, marked);
        if (marked) s.color = kMarked;
        c.Text({cell.x + 4, cell.y + 1}, std::to_string(items[i].item), s);
        c.StrokeRect(plot, {kLightGrey, 0.5});
        GroupBars(c, plot, items[i], false);
    }
}

} // namespace ia::charts
