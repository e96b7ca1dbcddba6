// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PrintTargets.h"

#include "app/PanelKit.h"
#include "app/Prompts.h"
#include "report/GraphReport.h"
#include "report/PrinterQt.h"

namespace ia {

std::unique_ptr<Printer> PrintTargets::printer(const std::string& pdfPath) const {
    if (openPrinter) return openPrinter(pdfPath);
    std::string notice;
    return OpenDefaultPrinterOrPdf(pdfPath, notice);
}

std::unique_ptr<GraphPages> PrintTargets::graphPages(const std::string& pdfPath,
                                                     std::string& notice) const {
    return openGraphPages ? openGraphPages(pdfPath, notice)
                          : OpenDefaultGraphPages(pdfPath, notice);
}

void TellPrinterNotice(Printer& prn, Prompts& prompts) {
    if (auto* out = dynamic_cast<OutputPrinter*>(&prn); out && !out->Notice().empty())
        prompts.showMessage(kWarningTitle, Q(out->Notice()));
}

} // namespace ia
