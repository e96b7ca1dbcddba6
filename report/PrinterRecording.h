// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A printer that keeps what it is given instead of putting it on paper: every
// printed text with its sheet, position and orientation, and the page breaks
// and job ends. Widths are those of the real printer at the same resolution.
// One recording printer records one job.

#include "report/Printer.h"

#include <string>
#include <vector>

namespace ia {

struct PrintedText {
    int sheet = 1; // sheet of paper within the job, from 1
    double x = 0;  // centimetres
    double y = 0;
    std::string text;
    Orientation orientation = Orientation::Portrait;
};

class RecordingPrinter : public Printer {
  public:
    explicit RecordingPrinter(int dpi = kDefaultPrintDpi) : dpi_(dpi) {}

    void SetFont(const std::string& name, double points) override;
    double TextWidth(const std::string& text) const override;
    void Print(const std::string& text) override;
    void NewPage() override;
    void EndDoc() override;
    void SetOrientation(Orientation o) override;
    Orientation GetOrientation() const override { return orientation_; }

    // Every Print() call, empty lines included, in order.
    const std::vector<PrintedText>& Texts() const { return texts_; }
    int NewPageCount() const { return newPages_; }
    int EndDocCount() const { return endDocs_; }
    // Sheets the job used: 1 + its page breaks, 0 when it printed nothing.
    int SheetCount() const { return started_ || sheet_ > 1 ? sheet_ : 0; }
    const std::string& FontName() const { return fontName_; }
    double FontPoints() const { return fontPoints_; }

  private:
    int dpi_;
    std::string fontName_ = kReportFontName;
    double fontPoints_ = kReportFontPoints;
    Orientation orientation_ = Orientation::Portrait;
    Orientation sheetOrientation_ = Orientation::Portrait;
    bool started_ = false; // something visible printed on, or a break after, sheet 1
    int sheet_ = 1;
    int newPages_ = 0;
    int endDocs_ = 0;
    std::vector<PrintedText> texts_;
};

} // namespace ia
