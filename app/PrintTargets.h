// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the window prints: the default printer, or a PDF beside the exam
// file when there is none; tests put a recording printer or a PDF here.

#include "report/Printer.h"

#include <functional>
#include <memory>
#include <string>

namespace ia {

class GraphPages;
class Prompts;

struct PrintTargets {
    // The text printouts (report, raw data); unset: the default printer.
    std::function<std::unique_ptr<Printer>(const std::string& pdfPath)> openPrinter;
    // The graphical report; notice says where it went when not on paper.
    std::function<std::unique_ptr<GraphPages>(const std::string& pdfPath, std::string& notice)>
        openGraphPages;

    std::unique_ptr<Printer> printer(const std::string& pdfPath) const;
    std::unique_ptr<GraphPages> graphPages(const std::string& pdfPath, std::string& notice) const;
};

// Tells the teacher where a printout went when it did not go to paper.
void TellPrinterNotice(Printer& prn, Prompts& prompts);

} // namespace ia
