// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The printer as a PDF file written with cairo and Pango: A4 pages, positions
// in centimetres from the top left corner of the printable area, exactly as
// QtPrinter lays them out on paper. Unlike Qt's PDF writer it keeps Thai as
// text: copying, searching or pdftotext give back the letters, vowels and
// tone marks that were printed.

#include "report/Printer.h"

#include <memory>
#include <string>

namespace ia {

class PdfPrinter : public OutputPrinter {
  public:
    // Writes the job into the file at path once something is printed; a job
    // that prints nothing leaves no file. The file is written beside path
    // and replaces a previous one only once it is whole (see ReplacingFile);
    // otherwise Failed() and the notice says why, and the previous one stays.
    explicit PdfPrinter(std::string path);
    ~PdfPrinter() override;

    void SetFont(const std::string& name, double points) override;
    double TextWidth(const std::string& text) const override;
    void Print(const std::string& text) override;
    void NewPage() override;
    void EndDoc() override;
    void SetOrientation(Orientation o) override;
    Orientation GetOrientation() const override { return orientation_; }

    bool Failed() const override { return failed_; }
    const std::string& PdfPath() const override { return path_; }

  private:
    struct Surface;
    bool Start();
    void Fail(const std::string& reason = {});

    std::string path_;
    std::unique_ptr<Surface> surface_;
    std::string fontName_ = kReportFontName;
    double fontPoints_ = kReportFontPoints;
    Orientation orientation_ = Orientation::Portrait;
    bool failed_ = false;
};

// Sizes of the paper every printout uses, in points, and the unprintable
// border the positions are measured from.
inline constexpr double kA4WidthPoints = 210.0 / 25.4 * 72.0;
inline constexpr double kA4HeightPoints = 297.0 / 25.4 * 72.0;
inline constexpr double kPageMarginPoints = 5.0 / 25.4 * 72.0;

} // namespace ia
