// SPDX-License-Identifier: GPL-3.0-or-later
// The charts on a recording canvas: where bars, points and lines land for a
// small known data set, and the shading of the report's verdicts.

#include "charts/CairoCanvas.h"
#include "charts/Charts.h"
#include "charts/RecordingCanvas.h"
#include "report/GraphReport.h"
#include "report/ReportModel.h"

#include "SyncOrder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using ia::charts::Drawn;
using ia::charts::Point;
using ia::charts::Rect;
using Kind = ia::charts::Drawn::Kind;

const Rect kArea{10, 20, 400, 300};

bool Near(double a, double b) {
    return std::fabs(a - b) < 1e-6;
}

bool HasText(const ia::charts::RecordingCanvas& c, const std::string& text) {
    const auto t = c.Texts();
    return std::find(t.begin(), t.end(), text) != t.end();
}

TEST(Histogram, BarsStandOnTheirScoresAsHighAsTheirCounts) {
    ia::charts::HistogramInput in;
    in.counts = {0, 1, 0, 3, 2}; // scores 0..4
    in.mean = 2.5;
    in.sd = 1.0;
    ia::charts::RecordingCanvas c;
    ia::charts::DrawHistogram(c, kArea, in);
    const Rect plot = ia::charts::PlotArea(kArea);

    std::vector<Drawn> bars = c.Of(Kind::FillRect);
    ASSERT_EQ(bars.size(), 3u) << "one bar per score taken, none for nobody";
    const double slot = plot.w / 5;
    const int scores[] = {1, 3, 4};
    const int counts[] = {1, 3, 2};
    for (int i = 0; i < 3; ++i) {
        const Rect& b = bars[static_cast<size_t>(i)].rect;
        EXPECT_TRUE(Near(b.x + b.w / 2, plot.x + (scores[i] + 0.5) * slot)) << scores[i];
        EXPECT_TRUE(Near(b.bottom(), plot.bottom())) << scores[i];
        // The highest count reaches the top of the plot (ticks of whole sheets).
        EXPECT_TRUE(Near(b.h, plot.h * counts[i] / 3.0)) << scores[i];
        EXPECT_LT(b.w, slot);
    }

    // The mean solid, one standard deviation either side dashed, all upright.
    std::vector<Drawn> marks;
    for (const Drawn& d : c.Of(Kind::Line))
        if (d.color == ia::charts::Color{200, 40, 40}) marks.push_back(d);
    ASSERT_EQ(marks.size(), 3u);
    const double want[] = {2.5, 1.5, 3.5};
    for (int i = 0; i < 3; ++i) {
        const Drawn& m = marks[static_cast<size_t>(i)];
        EXPECT_TRUE(Near(m.points[0].x, ia::charts::HistogramX(plot, 4, want[i])));
        EXPECT_TRUE(Near(m.points[0].x, m.points[1].x));
        EXPECT_EQ(m.dashed, i > 0);
    }
    EXPECT_TRUE(HasText(c, "ค่าเฉลี่ย 2.50"));
    EXPECT_TRUE(HasText(c, "การกระจายของคะแนน"));
    EXPECT_TRUE(HasText(c, "จำนวนคน"));
    EXPECT_TRUE(HasText(c, "คะแนน"));
}

TEST(Histogram, NoSheetsDrawsAxesWithoutBars) {
    ia::charts::RecordingCanvas c;
    ia::charts::DrawHistogram(c, kArea, {});
    EXPECT_TRUE(c.Of(Kind::FillRect).empty());
    EXPECT_FALSE(c.Of(Kind::Line).empty());
}

TEST(DdPlot, ItemsArePointsAtPAcrossAndRUpInTheirVerdictsColour) {
    ia::charts::DdInput in;
    in.zones = ia::QualityZones();
    in.items = {{1, 0.50, 0.40, ia::charts::Verdict::Keep},
                {2, 0.90, 0.30, ia::charts::Verdict::Improve},
                {3, 0.30, -0.40, ia::charts::Verdict::Discard}};
    ia::charts::RecordingCanvas c;
    ia::charts::DrawDdPlot(c, kArea, in);
    const Rect plot = ia::charts::PlotArea(kArea);
    // The r axis reaches down to the lowest r, in steps of .2.
    const double lowest = -0.4, top = 1.0;
    auto up = [&](double r) { return plot.bottom() - (r - lowest) / (top - lowest) * plot.h; };

    const std::vector<Drawn> points = c.Of(Kind::Marker);
    ASSERT_EQ(points.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto& item = in.items[i];
        EXPECT_TRUE(Near(points[i].points[0].x, plot.x + item.p * plot.w)) << item.item;
        EXPECT_TRUE(Near(points[i].points[0].y, up(item.r))) << item.item;
    }
    EXPECT_NE(points[0].color, points[1].color);
    EXPECT_NE(points[1].color, points[2].color);
    for (const char* label :
         {"1", "2", "3", "ความยาก (p)", "อำนาจจำแนก (r)", "ควรเก็บไว้", "ควรปรับปรุง", "ควรตัดทิ้ง"})
        EXPECT_TRUE(HasText(c, label)) << label;

    // The shades are drawn clipped to the plot, before the points.
    const auto& items = c.Items();
    auto clip = std::find_if(items.begin(), items.end(),
                             [](const Drawn& d) { return d.kind == Kind::Clip; });
    ASSERT_NE(clip, items.end());
    EXPECT_EQ(clip->rect, plot);
    auto unclip =
        std::find_if(clip, items.end(), [](const Drawn& d) { return d.kind == Kind::Unclip; });
    ASSERT_NE(unclip, items.end());
    EXPECT_EQ(std::count_if(clip, unclip, [](const Drawn& d) { return d.kind == Kind::FillRect; }),
              static_cast<long>(in.zones.size()));
    // The keep zone: p .20 to .79, r from .20 up, each stored hundredth
    // owning half a hundredth either side of it.
    const Drawn& keep = *(clip + 1);
    EXPECT_TRUE(Near(keep.rect.x, plot.x + 0.195 * plot.w));
    EXPECT_TRUE(Near(keep.rect.right(), plot.x + 0.795 * plot.w));
    EXPECT_TRUE(Near(keep.rect.bottom(), up(0.195)));
}

// The room a label takes, measured apart from the chart's own guess: a
// digit of the chart faces is at most 0.6 of the size wide, a line 1.2 of
// it high.
Rect DigitsRoom(const Drawn& t) {
    const double w = 0.6 * t.style.points * static_cast<double>(t.text.size());
    const double h = 1.2 * t.style.points;
    double x = t.points[0].x, y = t.points[0].y;
    if (t.style.across == ia::charts::Align::Middle) x -= w / 2;
    if (t.style.across == ia::charts::Align::End) x -= w;
    if (t.style.down == ia::charts::Align::Middle) y -= h / 2;
    if (t.style.down == ia::charts::Align::End) y -= h;
    return {x, y, w, h};
}

bool Intersect(const Rect& a, const Rect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

struct DenseCase {
    const char* name;
    Rect area;
    int items;
    int distinct;    // how many different p–r pairs they share
    bool everyLabel; // the area is large enough for every number
};

void PrintTo(const DenseCase& c, std::ostream* os) {
    *os << c.name;
}

class DenseDdPlot : public ::testing::TestWithParam<DenseCase> {};

// Many items on few p–r pairs: every number stands clear of every other
// number and of every point; one that had to move off is joined to its
// point by a leader, and one for which no room is left is counted under the
// plot.
TEST_P(DenseDdPlot, LabelsOverlapNeitherEachOtherNorPoints) {
    const DenseCase& dc = GetParam();
    ia::charts::DdInput in;
    in.zones = ia::QualityZones();
    for (int i = 1; i <= dc.items; ++i) {
        const int pair = (i * 7) % dc.distinct;
        const double p = 0.05 + 0.9 * pair / dc.distinct,
                     r = -0.3 + 1.2 * ((pair * 3) % dc.distinct) / dc.distinct;
        in.items.push_back(
            {i, std::round(p * 100) / 100, std::round(r * 100) / 100, ia::charts::Verdict::Keep});
    }
    ia::charts::RecordingCanvas c;
    ia::charts::DrawDdPlot(c, dc.area, in);
    std::vector<Rect> labels;
    std::vector<int> numbered;
    for (const Drawn& t : c.Of(Kind::Text))
        if (AllDigits(t.text) && t.style.points < 8) {
            labels.push_back(DigitsRoom(t));
            numbered.push_back(std::stoi(t.text));
        }
    for (size_t a = 0; a < labels.size(); ++a)
        for (size_t b = a + 1; b < labels.size(); ++b)
            EXPECT_FALSE(Intersect(labels[a], labels[b])) << numbered[a] << " and " << numbered[b];
    const std::vector<Drawn> markers = c.Of(Kind::Marker);
    for (size_t a = 0; a < labels.size(); ++a)
        for (const Drawn& m : markers) {
            const double half = m.width / 2;
            const Rect dot{m.points[0].x - half, m.points[0].y - half, 2 * half, 2 * half};
            EXPECT_FALSE(Intersect(labels[a], dot)) << "label " << numbered[a];
        }
    std::sort(numbered.begin(), numbered.end());
    EXPECT_TRUE(std::adjacent_find(numbered.begin(), numbered.end()) == numbered.end());
    if (dc.everyLabel) {
        EXPECT_EQ(numbered.size(), static_cast<size_t>(dc.items));
        // Nine points cannot each hold a dozen numbers beside them: leaders.
        const auto lines = c.Of(Kind::Line);
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [](const Drawn& l) { return Near(l.width, 0.4); }));
    } else if (numbered.size() < static_cast<size_t>(dc.items)) {
        const std::string missing =
            "ไม่มีที่เขียนเลขข้อ " + std::to_string(dc.items - static_cast<int>(numbered.size())) + " ข้อ";
        EXPECT_TRUE(HasText(c, missing)) << missing;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Plots, DenseDdPlot,
    ::testing::Values(DenseCase{"page_100_items_on_9_pairs", {42, 400, 511, 400}, 100, 9, true},
                      DenseCase{"page_100_items_on_40_pairs", {42, 400, 511, 400}, 100, 40, true},
                      DenseCase{"screen_251_items_on_20_pairs", {0, 0, 300, 220}, 251, 20, false}),
    [](const auto& info) { return std::string(info.param.name); });

// Items the plane's edges and the report's categories leave out still show:
// p of 0 and 1 on the side edges, an unknown r on the bottom edge as an
// open triangle, an item in no category as an open square, with a note
// under the plot saying what those marks mean.
// Groups at the pooled p, the usual case: the values on the bars and the
// pooled p's own wording must not stand on each other.
TEST(GroupPChart, LabelsStandClearOfEachOther) {
    ia::charts::GroupPInput in;
    in.item = 1;
    in.pooledP = 0.6;
    in.groups = {{"A", 0.6}, {"B", 0.6}};
    in.note = "DIF A (A กับ B)";
    ia::charts::RecordingCanvas c;
    ia::charts::DrawGroupPChart(c, {0, 0, 330, 380}, in);
    std::vector<Drawn> texts;
    for (const Drawn& t : c.Of(Kind::Text))
        if (t.style.points <= 8) texts.push_back(t); // the labels, not the titles
    for (size_t a = 0; a < texts.size(); ++a)
        for (size_t b = a + 1; b < texts.size(); ++b)
            EXPECT_FALSE(Intersect(DigitsRoom(texts[a]), DigitsRoom(texts[b])))
                << texts[a].text << " and " << texts[b].text;
}

TEST(DdPlot, EdgeAndUncategorisedItemsAreShownWithTheirOwnMarks) {
    ia::charts::DdInput in;
    in.zones = ia::QualityZones();
    ia::charts::DdPoint none{4, 0.5, 0.3, std::nullopt};
    ia::charts::DdPoint noR{3, 0.4, 0, ia::charts::Verdict::Discard};
    noR.rKnown = false;
    in.items = {{1, 0.0, 0.0, ia::charts::Verdict::Discard},
                {2, 1.0, 0.0, ia::charts::Verdict::Discard},
                noR,
                none};
    ia::charts::RecordingCanvas c;
    ia::charts::DrawDdPlot(c, kArea, in);
    const Rect plot = ia::charts::DdPlotArea(kArea, in);
    EXPECT_LT(plot.bottom(), ia::charts::PlotArea(kArea).bottom()) << "room for the note";
    std::vector<Drawn> points;
    for (const Drawn& m : c.Of(Kind::Marker))
        if (m.points[0].y <= plot.bottom() + 1e-6) points.push_back(m);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_TRUE(Near(points[0].points[0].x, plot.x));
    EXPECT_TRUE(Near(points[1].points[0].x, plot.right()));
    EXPECT_TRUE(Near(points[2].points[0].y, plot.bottom()));
    EXPECT_EQ(points[2].shape, ia::charts::MarkerShape::Triangle);
    EXPECT_FALSE(points[2].filled);
    EXPECT_EQ(points[3].shape, ia::charts::MarkerShape::Square);
    EXPECT_FALSE(points[3].filled);
    EXPECT_TRUE(points[0].filled && points[0].shape == ia::charts::MarkerShape::Circle);
    for (const char* label : {"1", "2", "3", "4", "ไม่มีค่า r วางที่ขอบล่าง", "ไม่เข้าเกณฑ์ใดของรายงาน"})
        EXPECT_TRUE(HasText(c, label)) << label;
    // The note lies under the axis title.
    for (const Drawn& t : c.Of(Kind::Text))
        if (t.text == "ไม่เข้าเกณฑ์ใดของรายงาน") {
            EXPECT_GT(t.points[0].y, kArea.bottom() - 12);
        }
}

// A point's colour is its item's verdict, not the zone its position falls
// in: a point the report keeps is drawn in the keep colour wherever it is.
TEST(DdPlot, APointsColourIsItsVerdict) {
    ia::charts::DdInput in;
    in.zones = ia::QualityZones();
    in.items = {{1, 0.9, -0.5, ia::charts::Verdict::Keep},
                {2, 0.5, 0.5, ia::charts::Verdict::Discard}};
    ia::charts::RecordingCanvas c;
    ia::charts::DrawDdPlot(c, kArea, in);
    const std::vector<Drawn> points = c.Of(Kind::Marker);
    ASSERT_GE(points.size(), 2u);
    EXPECT_EQ(points[0].color, (ia::charts::Color{30, 120, 40}));
    EXPECT_EQ(points[1].color, (ia::charts::Color{190, 30, 30}));
}

TEST(ItemPlot, ChoicesAreLinesOverTheFiveGroupsWithTheKeyBold) {
    ia::charts::ItemPlotInput in;
    in.item = 7;
    in.groupPercent = 27;
    in.choices = {{1, false, {0.5, 0.4, 0.3, 0.2, 0.1}, 0.10, 0.45},
                  {2, true, {0.2, 0.4, 0.6, 0.7, 0.9}, 0.85, 0.25},
                  {3, false, {0.3, 0.2, 0.1, 0.1, 0.0}, 0.05, 0.30}};
    ia::charts::RecordingCanvas c;
    ia::charts::DrawItemPlot(c, kArea, in);
    const Rect plot = ia::charts::PlotArea(kArea);
    auto up = [&](double v) { return plot.bottom() - v * plot.h; };

    const std::vector<Drawn> lines = c.Of(Kind::Polyline);
    ASSERT_EQ(lines.size(), 3u);
    // Distractors first, the key last and on top.
    const Drawn& key = lines[2];
    EXPECT_GT(key.width, 2 * lines[0].width);
    EXPECT_EQ(lines[0].width, lines[1].width);
    ASSERT_EQ(key.points.size(), 5u);
    for (int g = 0; g < 5; ++g) {
        EXPECT_TRUE(
            Near(key.points[static_cast<size_t>(g)].x, plot.x + (10 + 20 * g) / 100.0 * plot.w));
        EXPECT_TRUE(Near(key.points[static_cast<size_t>(g)].y,
                         up(in.choices[1].groups[static_cast<size_t>(g)])));
    }

    // H and L of every choice: the middles of the 27 % groups.
    const std::vector<Drawn> marks = c.Of(Kind::Marker);
    const double lowX = plot.x + 0.135 * plot.w, highX = plot.x + 0.865 * plot.w;
    for (const auto& s : in.choices) {
        const bool low = std::any_of(marks.begin(), marks.end(), [&](const Drawn& m) {
            return Near(m.points[0].x, lowX) && Near(m.points[0].y, up(s.low)) && m.filled == s.key;
        });
        const bool high = std::any_of(marks.begin(), marks.end(), [&](const Drawn& m) {
            return Near(m.points[0].x, highX) && Near(m.points[0].y, up(s.high)) &&
                   m.filled == s.key;
        });
        EXPECT_TRUE(low && high) << s.choice;
    }
    for (const char* label : {"ข้อ 7  สัดส่วนผู้เลือกแต่ละตัวเลือก", "H", "L", "*ข", "ก", "ค"})
        EXPECT_TRUE(HasText(c, label)) << label;
}

TEST(ItemPlot, WithoutTheFiveGroupsLowAndHighAreJoined) {
    ia::charts::ItemPlotInput in;
    in.item = 1;
    in.choices = {{1, true, {}, 0.8, 0.3}, {2, false, {}, 0.2, 0.7}};
    ia::charts::RecordingCanvas c;
    ia::charts::DrawItemPlot(c, kArea, in);
    const Rect plot = ia::charts::PlotArea(kArea);
    EXPECT_TRUE(c.Of(Kind::Polyline).empty());
    int joined = 0;
    for (const Drawn& l : c.Of(Kind::Line))
        if (l.dashed && Near(l.points[0].x, plot.x + 0.125 * plot.w) &&
            Near(l.points[1].x, plot.x + 0.875 * plot.w))
            ++joined;
    EXPECT_EQ(joined, 2);
}

// The shaded zones say what the report says: every stored p and r (whole
// hundredths) lies in the zone of its quality category's verdict.
TEST(QualityZones, MatchTheReportsCategories) {
    const auto zones = ia::QualityZones();
    for (int p = 0; p <= 100; ++p) {
        for (int r = -100; r <= 100; ++r) {
            const double pv = p / 100.0, rv = r / 100.0;
            std::vector<ia::charts::Verdict> in;
            for (const auto& z : zones)
                if (pv >= z.pFrom && (pv < z.pTo || (z.pTo == 1.0 && pv == 1.0)) && rv >= z.rFrom &&
                    (rv < z.rTo || (z.rTo == 1.0 && rv == 1.0)))
                    in.push_back(z.verdict);
            const auto want = ia::VerdictOfCategory(ia::QualityCategory(p, r));
            ASSERT_TRUE(want.has_value()) << p << " " << r;
            ASSERT_EQ(in.size(), 1u) << p << " " << r;
            EXPECT_EQ(in[0], *want) << "p " << p << " r " << r;
        }
    }
}

TEST(ChartFiles, PngAndSvgAreWrittenAndAnUnwritablePlaceIsReported) {
    iatest::TempDir dir;
    ia::charts::HistogramInput in;
    in.counts = {1, 2, 3};
    auto draw = [&](ia::charts::Canvas& c, const Rect& r) { ia::charts::DrawHistogram(c, r, in); };
    EXPECT_TRUE(ia::charts::WritePng(dir.file("h.png"), 300, 200, 96, draw));
    EXPECT_TRUE(ia::charts::WriteSvg(dir.file("h.svg"), 300, 200, draw));
    EXPECT_EQ(iatest::FileBytes(dir.file("h.png")).substr(1, 3), "PNG");
    const std::string svg = iatest::FileBytes(dir.file("h.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_FALSE(ia::charts::WritePng(dir.file("none/h.png"), 300, 200, 96, draw));
    EXPECT_FALSE(ia::charts::WriteSvg(dir.file("none/h.svg"), 300, 200, draw));
}

} // namespace

namespace {

// Twenty sheets on two items with three choices, keyed 1 and 2.
ia::AnswerMatrix SmallMatrix() {
    ia::AnswerMatrix m;
    m.sheets = 20;
    m.items = 2;
    m.choices = 3;
    m.keys = {1, 2};
    for (int s = 0; s < m.sheets; ++s) {
        m.answers.push_back(static_cast<ia::AnswerCode>(s % 3 == 0 ? 2 : 1));
        m.answers.push_back(static_cast<ia::AnswerCode>(s < 12 ? 3 : 2));
    }
    return m;
}

ia::ReportData SmallReport() {
    ia::ReportData d;
    d.AnalysisKind = 2;
    d.keys = {std::nullopt, "1", "2", std::nullopt};
    for (int item = 1; item <= 2; ++item)
        for (int c = 1; c <= 3; ++c) {
            ia::OutRow r;
            r.ItemNo = item;
            r.ChoiceNo = c;
            r.IsAns = c == item;
            r.PH = " .40";
            r.PL = " .20";
            r.P = " .50";
            r.r = " .30";
            d.rows.push_back(r);
        }
    return d;
}

} // namespace

TEST(ChartInputs, FiveGroupsAndRitComeFromTheWholeTestStatistics) {
    const ia::TestStatistics stats = ia::ComputeItemStatistics(SmallMatrix());
    const ia::ReportData d = SmallReport();

    const auto bare = ia::ItemPlotOf(d, 2);
    EXPECT_EQ(bare.groupPercent, 27);
    ASSERT_EQ(bare.choices.size(), 3u);
    for (const auto& c : bare.choices) {
        EXPECT_TRUE(c.groups.empty());
        EXPECT_DOUBLE_EQ(c.high, 0.40);
        EXPECT_DOUBLE_EQ(c.low, 0.20);
        EXPECT_EQ(c.key, c.choice == 2);
    }

    const auto full = ia::ItemPlotOf(d, 2, &stats);
    const ia::ItemStatistics* item = stats.item(2);
    ASSERT_NE(item, nullptr);
    for (const auto& c : full.choices) {
        ASSERT_EQ(c.groups.size(), 5u) << c.choice;
        for (int g = 0; g < 5; ++g)
            EXPECT_DOUBLE_EQ(
                c.groups[static_cast<size_t>(g)],
                *item->choices[static_cast<size_t>(c.choice - 1)].groups[static_cast<size_t>(g)]);
    }

    // The plot of p and r shows the report's own numbers, whatever the
    // whole-test statistics say.
    const auto technique = ia::DdOf(d);
    EXPECT_EQ(technique.rName, "r");
    ASSERT_EQ(technique.items.size(), 2u);
    EXPECT_DOUBLE_EQ(technique.items[0].p, 0.50);
    EXPECT_DOUBLE_EQ(technique.items[0].r, 0.30);
}

namespace {

// The graphical report stopped between two pages, or failing, never
// replaces the PDF of the previous one, nor leaves a temporary beside it.
TEST(GraphReportPdf, CancelledReportKeepsThePreviousPdf) {
    iatest::TempDir dir;
    const std::string path = dir.file("กราฟ.pdf");
    ia::GraphReportInput in;
    in.header = iatest::MakeHeader(3, 3);
    in.data = SmallReport();
    in.scores = {0, 1, 1, 2, 2, 3};
    {
        auto pages = ia::PdfGraphPages(path);
        EXPECT_EQ(ia::DrawGraphReport(*pages, in), 3);
        ASSERT_TRUE(pages->Finish());
    }
    const std::string before = iatest::FileBytes(path);
    ASSERT_EQ(before.rfind("%PDF", 0), 0u);
    iatest::CancelAtStep counting;
    {
        auto pages = ia::PdfGraphPages(dir.file("count.pdf"));
        ia::DrawGraphReport(*pages, in, counting);
    }
    EXPECT_EQ(counting.stages(), std::vector<std::string>{ia::kDrawingGraphsStage});
    std::filesystem::remove(dir.file("count.pdf"));
    for (long long k = 1; k <= counting.reports(); ++k) {
        iatest::CancelAtStep cancelling(k);
        {
            auto pages = ia::PdfGraphPages(path);
            EXPECT_THROW(ia::DrawGraphReport(*pages, in, cancelling), ia::JobCancelled);
        }
        EXPECT_EQ(iatest::FileBytes(path), before) << "report " << k;
    }
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"กราฟ.pdf"});
}

} // namespace

namespace {

// A chart file is synced before it takes its name, and its folder after
// (the order of the calls is seen through tests/SyncOrder.h).
TEST(ChartFiles, AreSyncedBeforeTheyAreRenamed) {
    iatest::TempDir dir;
    ia::charts::HistogramInput in;
    in.counts = {1, 2, 3};
    auto draw = [&](ia::charts::Canvas& c, const Rect& r) { ia::charts::DrawHistogram(c, r, in); };
    for (bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replacing" : "new");
        iatest::SyncOrderRecorder recorder;
        EXPECT_TRUE(ia::charts::WritePng(dir.file("h.png"), 300, 200, 96, draw));
        EXPECT_TRUE(ia::charts::WriteSvg(dir.file("h.svg"), 300, 200, draw));
        EXPECT_EQ(recorder.problemsWith("h.png", "chart"), "");
        EXPECT_EQ(recorder.problemsWith("h.svg", "chart"), "");
    }
}

} // namespace
