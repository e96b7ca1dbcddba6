// SPDX-License-Identifier: GPL-3.0-or-later
// How fast answer sheets are read, on one core (cv::setNumThreads(1)),
// decoding included: PNG pages scanned at 300 dpi, and the same pages in a
// sheet-feeder PDF beside the time pdftoppm takes to draw them.

#include "MarkedSheets.h"
#include "TestSupport.h"
#include "report/GraphReport.h"
#include "scan/SheetPrint.h"
#include "session/ExamSession.h"

#include <benchmark/benchmark.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace iatest;

namespace {

constexpr int kItems = 140;
constexpr int kChoices = 4;
constexpr int kPages = 10;
constexpr int kDpi = 300;

// Ten marked pages as a scanner gives them, in PNG files and in one PDF of
// page images.
struct ScannedPages {
    TempDir dir;
    std::string examId;
    std::vector<std::string> pngs;
    std::string pdf;

    ScannedPages() {
        cv::setNumThreads(1);
        const std::string exam = dir.file("bench.ans");
        MakeExamFile(exam, MakeHeader(kItems, kChoices), {}, {});
        ia::ExamSession session;
        session.open(exam);
        ia::scan::SheetPrintRequest rq;
        rq.header = session.header();
        rq.examId = examId = session.answerSheetExamId(true).value;
        rq.blankCopies = 1;
        rq.codeDigits = 3;
        const std::string sheets = dir.file("sheets.pdf");
        auto out = ia::PdfGraphPages(sheets);
        ia::scan::DrawAnswerSheets(*out, rq);
        out->Finish();
        const cv::Mat blank = RenderSheetPage(sheets, 1, kDpi);
        const ia::scan::SheetLayout layout(kItems, kChoices, 3);
        std::mt19937 r(11);
        pdf = dir.file("scanned.pdf");
        cairo_surface_t* surface =
            cairo_pdf_surface_create(pdf.c_str(), ia::kGraphPageWidth, ia::kGraphPageHeight);
        cairo_t* cr = cairo_create(surface);
        for (int p = 0; p < kPages; ++p) {
            cv::Mat page = blank.clone();
            for (int item = 1; item <= kItems; ++item)
                DrawMark(page, kDpi, layout.bubble(item, 1 + static_cast<int>(r() % kChoices)),
                         MarkShape::Full, r);
            Distortion d;
            d.quarterTurns = p % 2 == 0 ? 0 : 2;
            d.skewDegrees = std::uniform_real_distribution<double>(-2, 2)(r);
            d.noiseSigma = 2;
            const cv::Mat scanned = Distort(page, d, r);
            const std::string png = dir.file("page" + std::to_string(p) + ".png");
            cv::imwrite(png, scanned);
            pngs.push_back(png);
            cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
            cairo_save(cr);
            // The scan is a little larger than the paper: fitted to the page.
            const double scale =
                std::min(ia::kGraphPageWidth / scanned.cols, ia::kGraphPageHeight / scanned.rows);
            cairo_scale(cr, scale, scale);
            cairo_set_source_surface(cr, image, 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_show_page(cr);
            cairo_surface_destroy(image);
        }
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
};

ScannedPages& Pages() {
    static ScannedPages pages;
    return pages;
}

ia::scan::ReaderSettings Settings() {
    return {Pages().examId, kItems, kChoices, ""};
}

void BM_ReadPng300(benchmark::State& state) {
    const auto settings = Settings();
    ia::scan::SourcePages source;
    // One image for every page, as the scan command keeps it.
    ia::scan::GrayImage image;
    size_t i = 0;
    for (auto _ : state) {
        const std::string& png = Pages().pngs[i++ % Pages().pngs.size()];
        std::string error;
        source.load({png, 1}, image, error);
        const auto read = ia::scan::ReadSheetPage(image, {png, 1}, settings);
        if (!read.readable()) state.SkipWithError(read.refusal.c_str());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadPng300)->Unit(benchmark::kMillisecond);

// The decoding alone, to tell it from the reading.
void BM_DecodePng300(benchmark::State& state) {
    ia::scan::SourcePages source;
    // One image for every page, as the scan command keeps it.
    ia::scan::GrayImage image;
    size_t i = 0;
    for (auto _ : state) {
        const std::string& png = Pages().pngs[i++ % Pages().pngs.size()];
        std::string error;
        source.load({png, 1}, image, error);
        benchmark::DoNotOptimize(image.pixels.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodePng300)->Unit(benchmark::kMillisecond);

// The reading alone, from pages decoded beforehand.
void BM_ReadDecoded300(benchmark::State& state) {
    const auto settings = Settings();
    ia::scan::SourcePages source;
    std::vector<ia::scan::GrayImage> images(Pages().pngs.size());
    for (size_t p = 0; p < images.size(); ++p) {
        std::string error;
        source.load({Pages().pngs[p], 1}, images[p], error);
    }
    size_t i = 0;
    for (auto _ : state) {
        const size_t p = i++ % images.size();
        const auto read = ia::scan::ReadSheetPage(images[p], {Pages().pngs[p], 1}, settings);
        if (!read.readable()) state.SkipWithError(read.refusal.c_str());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadDecoded300)->Unit(benchmark::kMillisecond);

// Every page of the PDF drawn at dpi and read.
void BM_ReadPdf(benchmark::State& state) {
    const auto settings = Settings();
    const int dpi = static_cast<int>(state.range(0));
    for (auto _ : state) {
        ia::scan::SourcePages source;
        ia::scan::GrayImage image;
        for (int p = 1; p <= kPages; ++p) {
            std::string error;
            source.load({Pages().pdf, p}, image, error, dpi);
            const auto read = ia::scan::ReadSheetPage(image, {Pages().pdf, p}, settings);
            if (!read.readable()) state.SkipWithError(read.refusal.c_str());
        }
    }
    state.SetItemsProcessed(state.iterations() * kPages);
}
BENCHMARK(BM_ReadPdf)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);

double ChildrenCpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_CHILDREN, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) * 1e-6;
}

// The yardstick: pdftoppm drawing the same pages in grey at 300 dpi. Its
// own processor time (the "Time" column), to set beside the reading's CPU
// time: on a machine busy with other work, the time on the clock says more
// about the others than about either program.
void BM_Pdftoppm300(benchmark::State& state) {
    const std::string command =
        "pdftoppm -r 300 -gray '" + Pages().pdf + "' '" + Pages().dir.file("ppm") + "'";
    for (auto _ : state) {
        const double before = ChildrenCpuSeconds();
        if (std::system(command.c_str()) != 0) state.SkipWithError("pdftoppm failed");
        state.SetIterationTime(ChildrenCpuSeconds() - before);
    }
    state.SetItemsProcessed(state.iterations() * kPages);
}
BENCHMARK(BM_Pdftoppm300)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

BENCHMARK_MAIN();
