// SPDX-License-Identifier: GPL-3.0-or-later
#include "charts/QtCanvas.h"
#include "report/GraphReport.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace ia {

namespace {

class QtGraphPages : public GraphPages {
  public:
    explicit QtGraphPages(QPrinter& printer) : printer_(&printer) { Prepare(); }
    explicit QtGraphPages(const QPrinterInfo& info)
        : owned_(std::make_unique<QPrinter>(info, QPrinter::HighResolution)),
          printer_(owned_.get()) {
        Prepare();
    }
    ~QtGraphPages() override {
        canvas_.reset();
        if (painter_.isActive()) painter_.end();
    }
    charts::Canvas& NewPage() override {
        canvas_.reset();
        if (!started_) {
            started_ = painter_.begin(printer_);
            ok_ = started_;
        } else if (ok_) {
            ok_ = printer_->newPage();
        }
        // The pages are laid out from the paper's corner, in points.
        if (painter_.isActive()) painter_.resetTransform();
        canvas_ = std::make_unique<charts::QtCanvas>(painter_, printer_->resolution() / 72.0);
        return *canvas_;
    }
    bool Finish() override {
        canvas_.reset();
        if (painter_.isActive()) painter_.end();
        return ok_ && printer_->printerState() != QPrinter::Error;
    }

  private:
    void Prepare() {
        printer_->setFullPage(true);
        printer_->setPageSize(QPageSize(QPageSize::A4));
        printer_->setPageOrientation(QPageLayout::Portrait);
    }
    std::unique_ptr<QPrinter> owned_;
    QPrinter* printer_;
    QPainter painter_;
    std::unique_ptr<charts::QtCanvas> canvas_;
    bool started_ = false;
    bool ok_ = true;
};

} // namespace

std::unique_ptr<GraphPages> PrinterGraphPages(QPrinter& printer) {
    return std::make_unique<QtGraphPages>(printer);
}

std::unique_ptr<GraphPages> OpenDefaultGraphPages(const std::string& pdfPath,
                                                  std::string& noticeOut) {
    noticeOut.clear();
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) return std::make_unique<QtGraphPages>(info);
    noticeOut = "ไม่พบเครื่องพิมพ์ บันทึกเป็นไฟล์ PDF : " + pdfPath;
    return PdfGraphPages(pdfPath);
}

} // namespace ia
