// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Graphs.h"

#include "charts/CairoCanvas.h"
#include "cli/CommandOptions.h"
#include "cli/DataText.h"
#include "cli/Progress.h"
#include "cli/SessionOutput.h"
#include "examfile/OutputFile.h"
#include "examfile/SchoolName.h"
#include "examfile/Val.h"
#include "report/AtomicFile.h"
#include "report/GraphReport.h"
#include "session/PrintInputs.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

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

// A refusal or a swapped temporary names the files itself; any other
// failure the one sentence about the chart.
std::string ChartFailedMessage(const std::string& path, const std::string& why) {
    return IsRefusedTargetMessage(why) || IsChangedTemporaryMessage(why)
               ? why
               : "บันทึกไฟล์กราฟไม่ได้ : " + path;
}

std::string ChartName(int item) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "item-%03d", item);
    return buf;
}

// A chart drawn into its temporary, put in place with the job's other files.
struct StagedChart {
    std::unique_ptr<OutputFile> file;
    std::string path;
};

// Every chart file of the job stays open until the end, two descriptors
// each: the most items in both formats need more than the usual limit of
// 1024 open files.
void AllowOpenFilesFor(size_t files) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t wanted = static_cast<rlim_t>(2 * files + 64);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        limit.rlim_cur =
            limit.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Draws every chart into a temporary in dir in one format, none of them put
// in place yet; false and the message in `failed` when a file could not be
// written.
bool StageCharts(const std::string& dir, bool png, const GraphReportInput& in,
                 std::vector<StagedChart>& staged, std::string& failed) {
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
    AllowOpenFilesFor(staged.size() + pictures.size());
    // Ctrl+C is heard between two files; none of them is in place before
    // the job ends.
    Progress& progress = JobProgress();
    progress.stage(kDrawingGraphsStage, static_cast<long long>(pictures.size()));
    long long done = 0;
    for (const auto& [name, draw] : pictures) {
        progress.step(done++);
        const std::string path = (fs::path(dir) / (name + (png ? ".png" : ".svg"))).string();
        try {
            auto file = std::make_unique<OutputFile>(path, "chart");
            const bool ok =
                png ? charts::DrawPngInto(*file, kChartWidth, kChartHeight, kPngDpi, draw)
                    : charts::DrawSvgInto(*file, kChartWidth, kChartHeight, draw);
            if (!ok) file->commit(false); // throws with the reason
            staged.push_back({std::move(file), path});
        } catch (const ReplaceFileError& e) {
            failed = ChartFailedMessage(path, e.what());
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

        // The PDF and every chart file are written whole before any of them
        // is put in place: a Ctrl+C or a refusal on the way leaves them all,
        // and the folders, as they were.
        auto pages = PdfGraphPages(pdf);
        DrawGraphReport(*pages, in, JobProgress());
        std::vector<std::unique_ptr<OutputFolder>> folders;
        std::vector<StagedChart> staged;
        std::string failed;
        for (const char* format : {"--png", "--svg"}) {
            if (!options.count(format)) continue;
            const std::string& dir = options[format];
            folders.push_back(std::make_unique<OutputFolder>(dir));
            if (!folders.back()->ready()) return Fail("สร้างโฟลเดอร์ไม่ได้ : " + dir);
            if (!StageCharts(dir, std::string(format) == "--png", in, staged, failed))
                return Fail(failed);
        }
        JobProgress().step(JobProgress().done());
        if (!pages->Finish()) {
            const std::string why = pages->FailureReason();
            return Fail(IsRefusedTargetMessage(why) || IsChangedTemporaryMessage(why)
                            ? PdfWriteFailedMessage(pdf, why)
                            : "บันทึกไฟล์ PDF ไม่ได้ : " + pdf);
        }
        for (StagedChart& chart : staged) {
            try {
                chart.file->commit(true);
            } catch (const ReplaceFileError& e) {
                return Fail(ChartFailedMessage(chart.path, e.what()));
            }
        }
        for (auto& folder : folders)
            folder->keep();
        return 0;
    };
    if (int rc = AnalyseThenOutput(session, technique, drawGraphs)) return rc;
    std::cout << pdf << "\n";
    return 0;
}

} // namespace ia::cli
