// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PrinterQt.h"

#include "report/PrinterPdf.h"

#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPointF>
#include <QPrinter>
#include <QPrinterInfo>

namespace ia {

namespace {

const char* kNoPrinterNotice = "ไม่พบเครื่องพิมพ์ บันทึกเป็นไฟล์ PDF : ";
const char* kPrinterRefusedNotice = "เครื่องพิมพ์ไม่พร้อมพิมพ์ บันทึกเป็นไฟล์ PDF แทน : ";
const char* kPrinterFailedNotice = "พิมพ์ไม่ได้ เครื่องพิมพ์ไม่พร้อมใช้งาน";

QPageLayout::Orientation ToQt(Orientation o) {
    return o == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

// Every job on A4 with narrow margins: the report's 3 cm left edge and its
// bottom lines were laid out for the small unprintable border of a laser
// printer.
void PreparePage(QPrinter& p, Orientation o) {
    p.setFullPage(false);
    p.setPageSize(QPageSize(QPageSize::A4));
    p.setPageOrientation(ToQt(o));
    p.setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
}

void SetPdfOutput(QPrinter& p, const std::string& path) {
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(QString::fromStdString(path));
}

} // namespace

struct QtPrinter::Impl {
    explicit Impl(QPrinter::PrinterMode mode)
        : owned(std::make_unique<QPrinter>(mode)), target(owned.get()) {}
    Impl(const QPrinterInfo& info, QPrinter::PrinterMode mode)
        : owned(std::make_unique<QPrinter>(info, mode)), target(owned.get()) {}
    // A printer that belongs to someone else (the print preview's).
    explicit Impl(QPrinter& other) : target(&other) {}
    QPrinter& printer() { return *target; }
    std::unique_ptr<QPrinter> owned;
    QPrinter* target;
    QPainter painter;
};

QtPrinter::QtPrinter(std::unique_ptr<Impl> impl, std::string pdfPath, std::string fallbackPdf)
    : impl_(std::move(impl)), pdfPath_(std::move(pdfPath)), fallbackPdf_(std::move(fallbackPdf)) {
    PreparePage(impl_->printer(), orientation_);
}

QtPrinter::~QtPrinter() {
    // A job left before EndDoc (cancelled or failed) never reaches paper
    // half done.
    if (started_) {
        impl_->printer().abort();
        impl_->painter.end();
    }
}

std::unique_ptr<QtPrinter> QtPrinter::ForPdf(const std::string& pdfPath) {
    auto impl = std::make_unique<Impl>(QPrinter::HighResolution);
    SetPdfOutput(impl->printer(), pdfPath);
    return std::unique_ptr<QtPrinter>(new QtPrinter(std::move(impl), pdfPath, ""));
}

std::unique_ptr<QtPrinter> QtPrinter::ForPrinter(const QPrinterInfo& info,
                                                 const std::string& fallbackPdf) {
    auto impl = std::make_unique<Impl>(info, QPrinter::HighResolution);
    impl->printer().setOutputFormat(QPrinter::NativeFormat);
    return std::unique_ptr<QtPrinter>(new QtPrinter(std::move(impl), "", fallbackPdf));
}

std::unique_ptr<QtPrinter> QtPrinter::ForQPrinter(QPrinter& printer) {
    auto impl = std::make_unique<Impl>(printer);
    return std::unique_ptr<QtPrinter>(new QtPrinter(std::move(impl), "", ""));
}

int QtPrinter::Resolution() const {
    return impl_->printer().resolution();
}

bool QtPrinter::Failed() const {
    return failed_ || (fallback_ && fallback_->Failed());
}

bool QtPrinter::Start() {
    if (started_) return true;
    if (failed_ || fallback_) return false;
    QPrinter& p = impl_->printer();
    p.setPageOrientation(ToQt(orientation_));
    if (impl_->painter.begin(&p)) {
        started_ = true;
        return true;
    }
    if (pdfPath_.empty() && !fallbackPdf_.empty()) {
        // The printer refused the job (offline, removed, no rights): the
        // pages are not lost, they go into the file, and from now on every
        // call goes there.
        pdfPath_ = fallbackPdf_;
        fallback_ = std::make_unique<PdfPrinter>(fallbackPdf_);
        fallback_->SetFont(fontName_, fontPoints_);
        fallback_->SetOrientation(orientation_);
        AddNotice(kPrinterRefusedNotice + pdfPath_);
        return false;
    }
    failed_ = true;
    AddNotice(pdfPath_.empty() ? std::string(kPrinterFailedNotice) : kPdfFailedNotice + pdfPath_);
    return false;
}

void QtPrinter::SetFont(const std::string& name, double points) {
    fontName_ = name;
    fontPoints_ = points;
    if (fallback_) fallback_->SetFont(name, points);
}

double QtPrinter::TextWidth(const std::string& text) const {
    if (fallback_) return fallback_->TextWidth(text);
    return MeasureTextCm(fontName_, fontPoints_, Resolution(), text);
}

bool QtPrinter::InFallback() {
    if (!fallback_) return false;
    fallback_->SetCurrentX(x_);
    fallback_->SetCurrentY(y_);
    return true;
}

void QtPrinter::FromFallback() {
    x_ = fallback_->CurrentX();
    y_ = fallback_->CurrentY();
    if (fallback_->Failed() && !failed_) {
        failed_ = true;
        AddNotice(fallback_->Notice());
    }
}

void QtPrinter::Print(const std::string& text) {
    // An empty line only moves the position; it must not start the job, so
    // that the orientation can still be chosen after SetupPrinter.
    if (!text.empty() && !Start() && InFallback()) {
        fallback_->Print(text);
        FromFallback();
        return;
    }
    if (!text.empty() && started_) {
        const double dpi = Resolution();
        QPainter& g = impl_->painter;
        const QFont drawn = MakeDrawnFont(fontName_, fontPoints_);
        const QFontMetricsF fm(drawn, g.device());
        g.setFont(drawn);
        g.setPen(Qt::black);
        const double px = x_ / kCmPerInch * dpi;
        const double baseline =
            (y_ + MeasureBaselineCm(fontName_, fontPoints_, Resolution())) / kCmPerInch * dpi;
        for (const PrintRun& run : LayOutPrintText(fontName_, fontPoints_, Resolution(), text)) {
            const QString piece = QString::fromStdString(run.text);
            const double natural = fm.horizontalAdvance(piece);
            g.save();
            g.translate(px + run.x, baseline);
            if (natural > 0) g.scale(run.width / natural, 1.0);
            g.drawText(QPointF(0, 0), piece);
            g.restore();
        }
    }
    x_ = 0;
    y_ += MeasureLineCm(fontName_, fontPoints_, Resolution());
}

void QtPrinter::NewPage() {
    if (!Start()) {
        if (InFallback()) {
            fallback_->NewPage();
            FromFallback();
        }
        return;
    }
    QPrinter& p = impl_->printer();
    if (p.pageLayout().orientation() != ToQt(orientation_))
        p.setPageOrientation(ToQt(orientation_));
    p.newPage();
    x_ = 0;
    y_ = 0;
}

void QtPrinter::EndDoc() {
    if (InFallback()) {
        fallback_->EndDoc();
        FromFallback();
    }
    if (started_) {
        impl_->painter.end();
        started_ = false;
        if (impl_->printer().printerState() == QPrinter::Error) {
            failed_ = true;
            AddNotice(pdfPath_.empty() ? std::string(kPrinterFailedNotice)
                                       : kPdfFailedNotice + pdfPath_);
        }
    }
    x_ = 0;
    y_ = 0;
}

void QtPrinter::SetOrientation(Orientation o) {
    orientation_ = o;
    if (fallback_) fallback_->SetOrientation(o);
    if (!started_) impl_->printer().setPageOrientation(ToQt(o));
}

std::unique_ptr<OutputPrinter> OpenDefaultPrinterOrPdf(const std::string& pdfPath,
                                                       std::string& noticeOut) {
    noticeOut.clear();
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) return QtPrinter::ForPrinter(info, pdfPath);
    noticeOut = kNoPrinterNotice + pdfPath;
    auto prn = std::make_unique<PdfPrinter>(pdfPath);
    prn->AddNotice(noticeOut);
    return prn;
}

} // namespace ia
