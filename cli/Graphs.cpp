// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Graphs.h"

#include "charts/CairoCanvas.h"
#include "cli/CommandOptions.h"
#include "cli/Progress.h"
#include "cli/SessionOutput.h"
#include "examfile/OutputFile.h"
#include "examfile/SchoolName.h"
#include "examfile/Val.h"
#include "report/AtomicFile.h"
#include "report/GraphReport.h"
#include "session/PrintInputs.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>

namespace ia::cli {

namespace {

namespace fs = std::filesystem;

const char* const kGraphsUsage =
    "วิธีใช้:\n"
    "  itemanalysis-cli graphs FILE --technique 25|27 --pdf OUT.pdf [--png DIR] "
    "[--svg DIR] [--school TEXT]\n";

// Size of a chart written as its own file, in points.
constexpr double kChartWidth = 520;
constexpr double kChartHeight = 340;
constexpr double kPngDpi = 150;

std::string ChartName(int item) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "item-%03d", item);
    return buf;
}

// Writes every chart into dir in one format; false and the message in
// `failed` when a file could not be written.
bool WriteCharts(const std::string& dir, bool png, const GraphReportInput& in,
                 std::string& failed) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    const ReportData& d = in.data;
    const double highest = d.stat.nItem ? static_cast<double>(*d.stat.nItem) : d.KeyedItemCount;
    const charts::HistogramInput histogram =
        HistogramOf(in.scores, static_cast<int>(highest), Val(d.stat.Xbar.value_or("")),
                    Val(d.stat.SD.value_or("")));
    const charts::DdInput dd = DdOf(d);
    std::vector<std::pair<std::string, charts::DrawPicture>> pictures = {
        {"histogram",
         [&](charts::Canvas& c, const charts::Rect& r) { charts::DrawHistogram(c, r, histogram); }},
        {"dd", [&](charts::Canvas& c, const charts::Rect& r) { charts::DrawDdPlot(c, r, dd); }},
    };
    for (int item : KeyedItems(d)) {
        const charts::ItemPlotInput plot = ItemPlotOf(d, item, in.stats ? &*in.stats : nullptr);
        pictures.push_back({ChartName(item), [plot](charts::Canvas& c, const charts::Rect& r) {
                                charts::DrawItemPlot(c, r, plot);
                            }});
    }
    // Ctrl+C is heard between two files: what was written stays whole.
    Progress& progress = JobProgress();
    progress.stage(kDrawingGraphsStage, static_cast<long long>(pictures.size()));
    long long done = 0;
    for (const auto& [name, draw] : pictures) {
        progress.step(done++);
        const std::string path = (fs::path(dir) / (name + (png ? ".png" : ".svg"))).string();
        std::string why;
        const bool ok = png ? charts::WritePng(path, kChartWidth, kChartHeight, kPngDpi, draw, &why)
                            : charts::WriteSvg(path, kChartWidth, kChartHeight, draw, &why);
        if (!ok) {
            failed = IsRefusedTargetMessage(why) ? why : "บันทึกไฟล์กราฟไม่ได้ : " + path;
            return false;
        }
    }
    progress.step(done);
    return true;
}

} // namespace

int Graphs(int argc, char** argv) {
    const AcceptedOptions accepted{
        1, {"--technique", "--pdf", "--png", "--svg", "--school"}, {}, {"--technique", "--pdf"}};
    CommandOptions parsed;
    if (auto rc = ReadCommandOptions(argc, argv, accepted, parsed, kGraphsUsage)) return *rc;
    const std::vector<std::string>& positional = parsed.positional;
    std::map<std::string, std::string> options = parsed.values;
    const std::string technique = options["--technique"];
    if (technique != "25" && technique != "27") return Fail("เทคนิคต้องเป็น 25 หรือ 27");
    const std::string file = positional[0];

    // Opened, analysed and stored as the print command does.
    ExamSession session;
    if (SessionError error = session.open(file)) return Fail(error.message);
    const std::string pdf = options["--pdf"];
    auto drawGraphs = [&]() -> int {
        Outcome<GraphReportInput> input = GraphInputFor(session, "", JobProgress());
        if (!input.ok()) return Fail(input.error.message);
        GraphReportInput& in = input.value;
        if (!in.outdatedNotice.empty()) Warn(in.outdatedNotice);
        if (options.count("--school")) {
            in.school = options["--school"];
        } else {
            std::error_code ec;
            if (auto name = ReadSchoolNameFile((fs::current_path(ec) / kSchoolNameFile).string()))
                in.school = *name;
        }

        auto pages = PdfGraphPages(pdf);
        DrawGraphReport(*pages, in, JobProgress());
        if (!pages->Finish()) {
            const std::string why = pages->FailureReason();
            return Fail(IsRefusedTargetMessage(why) ? PdfWriteFailedMessage(pdf, why)
                                                    : "บันทึกไฟล์ PDF ไม่ได้ : " + pdf);
        }
        std::string failed;
        for (const char* format : {"--png", "--svg"}) {
            if (!options.count(format)) continue;
            if (!WriteCharts(options[format], std::string(format) == "--png", in, failed))
                return Fail(failed);
        }
        return 0;
    };
    if (int rc = AnalyseThenOutput(session, technique, drawGraphs)) return rc;
    std::cout << pdf << "\n";
    return 0;
}

} // namespace ia::cli
