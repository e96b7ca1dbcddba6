// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PrinterPdf.h"

#include "charts/CairoText.h"
#include "report/AtomicFile.h"

#include <cairo-pdf.h>
#include <pango/pangocairo.h>

namespace ia {

namespace {

constexpr double kPointsPerCm = 72.0 / kCmPerInch;

} // namespace

struct PdfPrinter::Surface {
    // The file being written, beside its final name until it is whole.
    std::unique_ptr<ReplacingFile> file;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    PangoLayout* layout = nullptr;
    ~Surface() {
        if (layout) g_object_unref(layout);
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
    }
};

PdfPrinter::PdfPrinter(std::string path) : path_(std::move(path)) {}

PdfPrinter::~PdfPrinter() {
    if (surface_) cairo_surface_finish(surface_->surface);
}

namespace {

void PageSize(Orientation o, double& w, double& h) {
    w = o == Orientation::Landscape ? kA4HeightPoints : kA4WidthPoints;
    h = o == Orientation::Landscape ? kA4WidthPoints : kA4HeightPoints;
}

} // namespace

void PdfPrinter::Fail(const std::string& reason) {
    if (failed_) return;
    failed_ = true;
    AddNotice(PdfWriteFailedMessage(path_, reason.empty() ? WriteFailureReasonFor(path_) : reason));
}

bool PdfPrinter::Start() {
    if (surface_) return true;
    if (failed_) return false;
    double w, h;
    PageSize(orientation_, w, h);
    auto s = std::make_unique<Surface>();
    try {
        s->file = std::make_unique<ReplacingFile>(path_, "pdf");
    } catch (const ReplaceFileError& e) {
        Fail(e.what());
        return false;
    }
    s->surface = cairo_pdf_surface_create(s->file->tempPath().c_str(), w, h);
    if (cairo_surface_status(s->surface) != CAIRO_STATUS_SUCCESS) {
        Fail();
        return false;
    }
    cairo_pdf_surface_set_metadata(s->surface, CAIRO_PDF_METADATA_CREATOR, "itemanalysis");
    s->cr = cairo_create(s->surface);
    // Without hinting, as the widths the texts are fitted to were measured.
    s->layout = charts::CreateUnhintedLayout(s->cr);
    surface_ = std::move(s);
    return true;
}

void PdfPrinter::SetFont(const std::string& name, double points) {
    fontName_ = name;
    fontPoints_ = points;
}

double PdfPrinter::TextWidth(const std::string& text) const {
    return MeasureTextCm(fontName_, fontPoints_, kDefaultPrintDpi, text);
}

void PdfPrinter::Print(const std::string& text) {
    // An empty line only moves the position, as on paper.
    if (!text.empty() && Start()) {
        const int dpi = kDefaultPrintDpi;
        cairo_t* cr = surface_->cr;
        PangoLayout* layout = surface_->layout;
        const DrawnFont drawn = DrawnFontFor(fontName_, fontPoints_);
        PangoFontDescription* desc = pango_font_description_new();
        pango_font_description_set_family(desc, drawn.family.c_str());
        pango_font_description_set_size(desc, static_cast<int>(drawn.points * PANGO_SCALE));
        pango_layout_set_font_description(layout, desc);
        pango_font_description_free(desc);
        const double left = kPageMarginPoints + x_ * kPointsPerCm;
        const double baseline =
            kPageMarginPoints +
            (y_ + MeasureBaselineCm(fontName_, fontPoints_, dpi)) * kPointsPerCm;
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_identity_matrix(cr);
        pango_cairo_update_layout(cr, layout);
        for (const PrintRun& run : LayOutPrintText(fontName_, fontPoints_, dpi, text)) {
            const std::string& utf8 = run.text;
            pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
            PangoRectangle logical;
            pango_layout_get_extents(layout, nullptr, &logical);
            const double natural = static_cast<double>(logical.width) / PANGO_SCALE;
            const double wanted = run.width / dpi * 72.0;
            cairo_move_to(cr, left + run.x / dpi * 72.0,
                          baseline -
                              static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE);
            charts::ShowLayoutAsText(cr, layout, natural > 0 ? wanted / natural : 1.0);
        }
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) Fail();
    }
    x_ = 0;
    y_ += MeasureLineCm(fontName_, fontPoints_, kDefaultPrintDpi);
}

void PdfPrinter::NewPage() {
    if (!Start()) return;
    cairo_show_page(surface_->cr);
    double w, h;
    PageSize(orientation_, w, h);
    cairo_pdf_surface_set_size(surface_->surface, w, h);
    x_ = 0;
    y_ = 0;
}

void PdfPrinter::EndDoc() {
    if (surface_) {
        cairo_show_page(surface_->cr);
        cairo_surface_finish(surface_->surface);
        const bool finished = cairo_surface_status(surface_->surface) == CAIRO_STATUS_SUCCESS &&
                              cairo_status(surface_->cr) == CAIRO_STATUS_SUCCESS;
        // Only a whole PDF replaces the previous one: a full disk leaves
        // the writer with a cut-off file.
        try {
            surface_->file->commit(finished && !failed_, PdfFileIsComplete);
        } catch (const ReplaceFileError& e) {
            Fail(e.what());
        }
        surface_.reset();
    }
    x_ = 0;
    y_ = 0;
}

void PdfPrinter::SetOrientation(Orientation o) {
    orientation_ = o;
    if (surface_) return; // the next page takes it
}

} // namespace ia
