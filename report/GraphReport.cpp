// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/GraphReport.h"

#include "analysis/ExamAnswers.h"
#include "charts/CairoCanvas.h"
#include "examfile/DataView.h"
#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "examfile/Val.h"
#include "report/AtomicFile.h"
#include "report/PrintReport.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ia {

using charts::Align;
using charts::Canvas;
using charts::Rect;
using charts::TextStyle;
using charts::Verdict;

std::vector<charts::VerdictZone> QualityZones() {
    // Read off QualityCategory() itself: a stored value is a whole
    // hundredth h and owns the strip from h - .005 to h + .005, so that a
    // point never sits on the border of its zone. Columns of p judged alike
    // at every r are merged, then runs of r with one verdict in them.
    auto verdictAt = [](int p, int r) { return VerdictOfCategory(QualityCategory(p, r)); };
    auto sameColumn = [&](int p, int q) {
        for (int r = -100; r <= 100; ++r)
            if (verdictAt(p, r) != verdictAt(q, r)) return false;
        return true;
    };
    auto edge = [](int h, double lowest, double highest) {
        return std::clamp((h - 0.5) / 100.0, lowest, highest);
    };
    std::vector<charts::VerdictZone> zones;
    for (int p = 0; p <= 100;) {
        int pEnd = p + 1;
        while (pEnd <= 100 && sameColumn(p, pEnd))
            ++pEnd;
        for (int r = -100; r <= 100;) {
            const auto verdict = verdictAt(p, r);
            int rEnd = r + 1;
            while (rEnd <= 100 && verdictAt(p, rEnd) == verdict)
                ++rEnd;
            if (verdict)
                zones.push_back(
                    {edge(p, 0, 1), edge(pEnd, 0, 1), edge(r, -1, 1), edge(rEnd, -1, 1), *verdict});
            r = rEnd;
        }
        p = pEnd;
    }
    // The keep zone first: the one a teacher looks for.
    std::stable_partition(zones.begin(), zones.end(),
                          [](const charts::VerdictZone& z) { return z.verdict == Verdict::Keep; });
    return zones;
}

std::optional<Verdict> VerdictOfCategory(int category) {
    if (category < 0 || category > 8) return std::nullopt;
    return category < 3 ? Verdict::Keep : category < 6 ? Verdict::Improve : Verdict::Discard;
}

std::vector<int> LoadScores(ExamViews& views) {
    std::vector<int> scores;
    RecordSet* rs = views.sheets.Recordset();
    if (!rs) return scores;
    const int f = rs->fieldIndex(schema::kSheetScore);
    if (f < 0) return scores;
    for (int i = 0; i < rs->recordCount(); ++i) {
        const Value v = rs->rowAt(i)[static_cast<size_t>(f)];
        if (!v.isNull()) scores.push_back(static_cast<int>(std::lround(Val(v.text()))));
    }
    return scores;
}

charts::HistogramInput HistogramOf(const std::vector<int>& scores, int highestScore, double mean,
                                   double sd) {
    charts::HistogramInput h;
    int highest = std::max(0, highestScore);
    for (int s : scores)
        highest = std::max(highest, s);
    h.counts.assign(static_cast<size_t>(highest) + 1, 0);
    for (int s : scores)
        if (s >= 0) ++h.counts[static_cast<size_t>(s)];
    h.mean = mean;
    h.sd = sd;
    return h;
}

namespace {

double Stored(const std::optional<std::string>& v) {
    return v && !v->empty() ? Val(*v) : 0.0;
}

std::string Text(const std::optional<std::string>& v) {
    return v ? *v : std::string();
}

const OutRow* KeyRow(const ReportData& d, int item) {
    for (const OutRow& r : d.rows)
        if (r.ItemNo == item && r.IsAns == 1) return &r;
    return nullptr;
}

} // namespace

std::vector<int> KeyedItems(const ReportData& data) {
    std::vector<int> items;
    for (const OutRow& r : data.rows)
        if (r.IsAns == 1 && !KeyIsBlank(data, r.ItemNo)) items.push_back(r.ItemNo);
    return items;
}

std::optional<TestStatistics> LoadTestStatistics(Connection& db, Progress& progress) {
    try {
        return ComputeItemStatistics(LoadExamAnswers(db, progress).matrix);
    } catch (const JobCancelled&) {
        throw;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<GroupAnalysis> LoadGroupAnalysis(Connection& db) {
    try {
        const std::vector<std::string> labels = LoadGroupLabels(db);
        if (std::all_of(labels.begin(), labels.end(),
                        [](const std::string& l) { return l.empty(); }))
            return std::nullopt;
        return AnalyseGroups(LoadExamAnswers(db).matrix, labels, "", "", false);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

charts::GroupPInput GroupPOf(const GroupAnalysis& g, size_t row) {
    const ComparedItem& it = g.comparison.items[row];
    charts::GroupPInput in;
    in.item = it.item;
    in.pooledP = it.pooledP;
    in.threshold = kGroupPDifferenceAbove;
    for (size_t k = 0; k < it.byGroup.size(); ++k)
        in.groups.push_back({g.comparison.groups[k].name, it.byGroup[k].p, it.byGroup[k].marked,
                             g.comparison.groups[k].judged});
    if (g.dif && row < g.dif->items.size()) {
        const ItemDif& d = g.dif->items[row];
        in.note = "DIF " + std::string(d.ets ? EtsClassName(*d.ets) : "-") + " (" +
                  g.groups.names[static_cast<size_t>(g.dif->reference)] + " กับ " +
                  g.groups.names[static_cast<size_t>(g.dif->focal)] + ")";
    }
    return in;
}

charts::DdInput DdOf(const ReportData& data) {
    charts::DdInput in;
    in.zones = QualityZones();
    for (int item : KeyedItems(data)) {
        const OutRow& r = *KeyRow(data, item);
        charts::DdPoint p;
        p.item = item;
        p.p = Stored(r.P);
        p.r = Stored(r.r);
        p.rKnown = r.r && BeginsWithNumber(*r.r);
        p.verdict = VerdictOfCategory(ItemQualityCategory(r));
        in.items.push_back(p);
    }
    return in;
}

charts::ItemPlotInput ItemPlotOf(const ReportData& data, int item, const TestStatistics* stats) {
    charts::ItemPlotInput in;
    in.item = item;
    in.groupPercent = data.AnalysisKind == 2 ? 27 : 25;
    for (const OutRow& r : data.rows) {
        if (r.ItemNo != item) continue;
        charts::ChoiceShares s;
        s.choice = r.ChoiceNo;
        s.key = r.IsAns == 1;
        s.high = Stored(r.PH);
        s.low = Stored(r.PL);
        if (const ItemStatistics* st = stats ? stats->item(item) : nullptr) {
            for (const ChoiceStatistics& c : st->choices) {
                if (c.choice != r.ChoiceNo) continue;
                bool all = true;
                for (const auto& g : c.groups)
                    all = all && g.has_value();
                if (!all) break;
                for (const auto& g : c.groups)
                    s.groups.push_back(*g);
            }
        }
        in.choices.push_back(s);
    }
    return in;
}

namespace {

// The pages go into a temporary file beside path, which replaces the
// previous PDF only once it is whole: a report that fails or is cancelled
// leaves the previous one as it was.
class CairoPdfPages : public GraphPages {
  public:
    explicit CairoPdfPages(const std::string& path) {
        try {
            file_ = std::make_unique<ReplacingFile>(path, "pdf");
        } catch (const ReplaceFileError& e) {
            reason_ = e.what();
        }
        surface_ = cairo_pdf_surface_create(file_ ? file_->tempPath().c_str() : nullptr,
                                            kGraphPageWidth, kGraphPageHeight);
        ok_ = file_ && cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
        if (ok_)
            cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, "itemanalysis");
        cr_ = cairo_create(surface_);
    }
    ~CairoPdfPages() override {
        canvas_.reset();
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    Canvas& NewPage() override {
        canvas_.reset();
        if (pages_++ > 0) cairo_show_page(cr_);
        canvas_ = std::make_unique<charts::CairoCanvas>(cr_);
        return *canvas_;
    }
    bool Finish() override {
        canvas_.reset();
        if (pages_ > 0) cairo_show_page(cr_);
        cairo_surface_finish(surface_);
        const bool finished = ok_ && cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
        if (!file_) return false;
        try {
            file_->commit(finished, PdfFileIsComplete);
        } catch (const ReplaceFileError& e) {
            reason_ = e.what();
            return false;
        }
        return finished;
    }
    std::string FailureReason() const override { return reason_; }

  private:
    std::string reason_;
    std::unique_ptr<ReplacingFile> file_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_;
    std::unique_ptr<charts::CairoCanvas> canvas_;
    int pages_ = 0;
    bool ok_ = false;
};

constexpr double kMargin = 42;
constexpr double kTextPoints = 10;
constexpr double kLine = 17;

TextStyle Style(double points = kTextPoints, Align across = Align::Start, bool bold = false) {
    TextStyle s;
    s.points = points;
    s.across = across;
    s.bold = bold;
    return s;
}

const char* Title(int kind) {
    return kind == 2 ? "กราฟการวิเคราะห์ข้อสอบ โดยใช้ตาราง CHUNG TEH FAN กลุ่มสูง กลุ่มต่ำ 27 %"
                     : "กราฟการวิเคราะห์ข้อสอบ โดยใช้สูตรอย่างง่าย กลุ่มสูง กลุ่มต่ำ 25 %";
}

// The page header of the printed report: page number, school, title and the
// subject line. Returns where the page's body starts.
double PageHeader(Canvas& c, int page, const std::string& school, int kind,
                  const std::string& headerLine, const std::string& outdatedNotice) {
    const double mid = kGraphPageWidth / 2;
    if (!outdatedNotice.empty()) {
        TextStyle s = Style(kTextPoints - 1, Align::Middle, true);
        s.color = {190, 30, 30};
        c.Text({mid, 12}, outdatedNotice, s);
    }
    double y = 28;
    c.Text({mid, y}, std::to_string(page), Style(kTextPoints, Align::Middle));
    y += 22;
    if (!school.empty()) c.Text({mid, y}, school, Style(kTextPoints + 1, Align::Middle, true));
    y += kLine;
    c.Text({mid, y}, Title(kind), Style(kTextPoints + 1, Align::Middle, true));
    y += kLine;
    c.Text({mid, y}, headerLine, Style(kTextPoints, Align::Middle));
    y += kLine + 2;
    c.Line({kMargin, y}, {kGraphPageWidth - kMargin, y}, {{0, 0, 0}, 0.6});
    return y + 8;
}

std::string Dec(double v, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// Flags of one item, in Thai: what the teacher should look at.
std::vector<std::string> ItemFlags(const ReportData& d, int item) {
    std::vector<std::string> flags;
    for (const OutRow& r : d.rows) {
        if (r.ItemNo != item) continue;
        const std::string letter = charts::ChoiceLetter(r.ChoiceNo);
        if (r.IsAns == 1) {
            if (r.H == 0 && r.L == 0)
                flags.push_back("ตัวถูก " + letter + " ไม่มีใครตอบได้");
            else if (r.H < r.L)
                flags.push_back("ตัวถูก " + letter + " กลุ่มต่ำตอบถูกมากกว่ากลุ่มสูง");
            continue;
        }
        if (r.H == 0 && r.L == 0)
            flags.push_back("ตัวลวง " + letter + " ไม่มีคนเลือก");
        else if (r.H > r.L)
            flags.push_back("ตัวลวง " + letter + " กลุ่มสูงเลือกมากกว่ากลุ่มต่ำ");
        else if (r.H == r.L)
            flags.push_back("ตัวลวง " + letter + " กลุ่มสูงและกลุ่มต่ำเลือกเท่ากัน");
    }
    return flags;
}

} // namespace

std::unique_ptr<GraphPages> PdfGraphPages(const std::string& path) {
    return std::make_unique<CairoPdfPages>(path);
}

int DrawGraphReport(GraphPages& pages, const GraphReportInput& in, Progress& progress) {
    TestHeader header = in.header;
    const std::string headerLine = PrintedHeaderLine(header);
    const ReportData& d = in.data;
    const int kind = d.AnalysisKind;
    const double width = kGraphPageWidth - 2 * kMargin;
    int page = 0;
    const std::vector<int> items = KeyedItems(d);
    progress.stage(kDrawingGraphsStage, 1 + static_cast<long long>(items.size()));

    // First page: the summary of the whole test and its two pictures.
    {
        Canvas& c = pages.NewPage();
        double y = PageHeader(c, ++page, in.school, kind, headerLine, in.outdatedNotice);
        const std::pair<std::string, std::string> summary[] = {
            {"จำนวนข้อสอบที่วิเคราะห์", std::to_string(d.KeyedItemCount)},
            {"จำนวนกระดาษคำตอบ", std::to_string(d.SheetCount)},
            {"คะแนนเฉลี่ย", Text(d.stat.Xbar)},
            {"ส่วนเบี่ยงเบนมาตรฐาน", Text(d.stat.SD)},
            {"ความเชื่อมั่น KR-20", Text(d.stat.KR20)},
            {"ความคลาดเคลื่อนมาตรฐาน", Text(d.stat.SEmea)},
            {"ค่า p เฉลี่ย", Text(d.stat.Pav)},
            {"ค่า r เฉลี่ย", Text(d.stat.Rav)},
        };
        std::vector<std::pair<std::string, std::string>> lines(std::begin(summary),
                                                               std::end(summary));
        if (const TestStatistics* st = in.stats ? &*in.stats : nullptr) {
            // The whole-test statistics of all the sheets, beside the
            // technique's figures.
            auto opt = [](const std::optional<double>& v, int decimals) {
                return v ? Dec(*v, decimals) : std::string("-");
            };
            lines.push_back({"KR-21 (ทั้งฉบับ)", opt(st->kr21, 4)});
            lines.push_back({"ความเชื่อมั่นแบบแบ่งครึ่ง", opt(st->splitHalf, 4)});
        }
        for (size_t i = 0; i < lines.size(); ++i) {
            const double x = kMargin + static_cast<double>(i % 2) * width / 2;
            const double row = y + static_cast<double>(i / 2) * kLine;
            c.Text({x, row}, lines[i].first, Style());
            c.Text({x + 175, row}, lines[i].second, Style());
        }
        y += static_cast<double>((lines.size() + 1) / 2) * kLine + 8;
        const double highest = d.stat.nItem ? static_cast<double>(*d.stat.nItem) : d.KeyedItemCount;
        charts::DrawHistogram(c, {kMargin, y, width, 270},
                              HistogramOf(in.scores, static_cast<int>(highest),
                                          Val(Text(d.stat.Xbar)), Val(Text(d.stat.SD))));
        y += 280;
        charts::DrawDdPlot(c, {kMargin, y, width, kGraphPageHeight - 40 - y}, DdOf(d));
    }

    // The groups side by side, for a pooled file.
    if (in.groups) {
        const GroupAnalysis& g = *in.groups;
        Canvas& c = pages.NewPage();
        double y = PageHeader(c, ++page, in.school, kind, headerLine, in.outdatedNotice);
        c.Text({kMargin, y}, "เปรียบเทียบกลุ่ม", Style(kTextPoints + 1, Align::Start, true));
        y += kLine;
        const std::pair<const char*, double> columns[] = {
            {"กลุ่ม", 0}, {"N", 150}, {"ค่าเฉลี่ย", 200}, {"SD", 260}, {"KR-20", 310}, {"", 370}};
        for (const auto& [name, x] : columns)
            c.Text({kMargin + x, y}, name, Style(kTextPoints, Align::Start, true));
        y += kLine;
        for (const GroupSummary& s : g.comparison.groups) {
            c.Text({kMargin, y}, s.name, Style());
            c.Text({kMargin + 150, y}, std::to_string(s.n), Style());
            c.Text({kMargin + 200, y}, Dec(s.mean, 2), Style());
            c.Text({kMargin + 260, y}, Dec(s.sd, 2), Style());
            c.Text({kMargin + 310, y}, s.kr20 ? Dec(*s.kr20, 2) : "-", Style());
            if (!s.judged)
                c.Text({kMargin + 370, y},
                       "น้อยกว่า " + std::to_string(kGroupMinimumSheets) + " คน ไม่ตัดสิน", Style());
            y += kLine;
        }
        if (g.dif) {
            y += 4;
            std::string flagged;
            for (const ItemDif& d : g.dif->items)
                if (d.ets && *d.ets != EtsClass::A)
                    flagged += (flagged.empty() ? "" : ", ") + std::to_string(d.item) + " (" +
                               EtsClassName(*d.ets) + " เอื้อ" +
                               g.groups.names[static_cast<size_t>(d.favours.value_or(0))] + ")";
            c.Text({kMargin, y},
                   "DIF (Mantel–Haenszel) " +
                       g.groups.names[static_cast<size_t>(g.dif->reference)] + " กับ " +
                       g.groups.names[static_cast<size_t>(g.dif->focal)] + " : " +
                       (flagged.empty() ? std::string("ทุกข้อระดับ A") : "ข้อ " + flagged),
                   Style());
            y += kLine;
        }
        std::vector<charts::GroupPInput> all;
        for (size_t row = 0; row < g.comparison.items.size(); ++row)
            all.push_back(GroupPOf(g, row));
        charts::DrawGroupPOverview(c, {kMargin, y + 6, width, kGraphPageHeight - 40 - y - 6}, all,
                                   6);
    }

    // One page per keyed item.
    for (int item : items) {
        progress.step(page);
        Canvas& c = pages.NewPage();
        double y = PageHeader(c, ++page, in.school, kind, headerLine, in.outdatedNotice);
        charts::DrawItemPlot(c, {kMargin, y, width, 330},
                             ItemPlotOf(d, item, in.stats ? &*in.stats : nullptr));
        y += 345;

        const std::vector<std::pair<std::string, double>> columns =
            kind == 2 ? std::vector<std::pair<std::string, double>>{{"ตัวเลือก", 0}, {"H", 50},
                                                                    {"L", 80},     {"PH", 110},
                                                                    {"PL", 145},   {"p", 180},
                                                                    {"r", 215},    {"วิจารณ์", 255}}
                      : std::vector<std::pair<std::string, double>>{{"ตัวเลือก", 0}, {"H", 50},
                                                                    {"L", 80},     {"p", 115},
                                                                    {"r", 150},    {"วิจารณ์", 195}};
        for (const auto& [name, x] : columns)
            c.Text({kMargin + x, y}, name, Style(kTextPoints, Align::Start, true));
        y += kLine;
        c.Line({kMargin, y - 2}, {kGraphPageWidth - kMargin, y - 2}, {{0, 0, 0}, 0.5});
        const OutRow* key = nullptr;
        for (const OutRow& r : d.rows) {
            if (r.ItemNo != item) continue;
            if (r.IsAns == 1) key = &r;
            std::vector<std::string> cells = {(r.IsAns == 1 ? "*" : " ") +
                                                  charts::ChoiceLetter(r.ChoiceNo),
                                              std::to_string(r.H), std::to_string(r.L)};
            if (kind == 2) {
                cells.push_back(Text(r.PH));
                cells.push_back(Text(r.PL));
            }
            cells.push_back(Text(r.P));
            cells.push_back(Text(r.r));
            cells.push_back(Text(r.Explain));
            for (size_t i = 0; i < cells.size() && i < columns.size(); ++i)
                c.Text({kMargin + columns[i].second + (i == 0 ? 10 : 0), y}, cells[i],
                       Style(kTextPoints, Align::Start, r.IsAns == 1 && i == 0));
            y += kLine;
        }
        y += 10;
        if (key) {
            const int category = ItemQualityCategory(*key);
            c.Text({kMargin, y}, "ผลการพิจารณา", Style(kTextPoints + 1, Align::Start, true));
            y += kLine + 2;
            if (category >= 0) {
                c.Text({kMargin + 12, y}, QualityCategoryName(category), Style());
                y += kLine;
            }
            c.Text({kMargin + 12, y},
                   "ค่า p = " + Dec(Stored(key->P), 2) + "   ค่า r = " + Dec(Stored(key->r), 2) +
                       "   " + Text(key->Explain),
                   Style());
            y += kLine + 6;
        }
        const std::vector<std::string> flags = ItemFlags(d, item);
        c.Text({kMargin, y}, "ข้อสังเกต", Style(kTextPoints + 1, Align::Start, true));
        y += kLine + 2;
        if (flags.empty()) {
            c.Text({kMargin + 12, y}, "ไม่มี", Style());
            y += kLine;
        }
        for (const std::string& f : flags) {
            c.Text({kMargin + 12, y}, "- " + f, Style());
            y += kLine;
        }
    }
    progress.step(page);
    return page;
}

} // namespace ia
