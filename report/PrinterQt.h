// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The printer on paper or in a PDF file, through Qt: A4, positions in
// centimetres from the top left corner of the printable area.

#include "report/Printer.h"

#include <QFont>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QPrinter;
class QPrinterInfo;

namespace ia {

// The font as Qt draws it: name and size, all styles off. For the report
// font the stand-in of ReportFontFamily() is substituted and narrowed to the
// report font's proportions.
QFont MakePrintFont(const std::string& name, double points);

// The font a text is drawn with (DrawnFontFor()), all styles off.
QFont MakeDrawnFont(const std::string& name, double points);

class QtPrinter : public OutputPrinter {
  public:
    // Prints into a PDF file at pdfPath (replaced if it exists) with Qt's own
    // PDF writer, whose text layer loses Thai marks; the program's PDF files
    // go through PdfPrinter. Kept to compare the two.
    static std::unique_ptr<QtPrinter> ForPdf(const std::string& pdfPath);
    // Prints on the given printer; when the job cannot start there it goes
    // into a PDF file at fallbackPdf instead (through PdfPrinter) and
    // Notice() says so.
    static std::unique_ptr<QtPrinter> ForPrinter(const QPrinterInfo& info,
                                                 const std::string& fallbackPdf);
    // Prints on a printer that someone else owns and set up (the print
    // preview dialog's); A4 and the margins are set on it.
    static std::unique_ptr<QtPrinter> ForQPrinter(QPrinter& printer);
    ~QtPrinter() override;

    void SetFont(const std::string& name, double points) override;
    double TextWidth(const std::string& text) const override;
    void Print(const std::string& text) override;
    void NewPage() override;
    void EndDoc() override;
    void SetOrientation(Orientation o) override;
    Orientation GetOrientation() const override { return orientation_; }

    bool Failed() const override;
    const std::string& PdfPath() const override { return pdfPath_; }
    int Resolution() const;

  private:
    struct Impl;
    QtPrinter(std::unique_ptr<Impl> impl, std::string pdfPath, std::string fallbackPdf);
    bool Start();
    // Hands the print position to the fallback file's printer when the job
    // went there; false while the job is on paper.
    bool InFallback();
    void FromFallback();

    std::unique_ptr<Impl> impl_;
    // The job in the fallback file once the printer refused it.
    std::unique_ptr<OutputPrinter> fallback_;
    std::string pdfPath_;
    std::string fallbackPdf_;
    std::string fontName_ = kReportFontName;
    double fontPoints_ = kReportFontPoints;
    Orientation orientation_ = Orientation::Portrait;
    bool started_ = false;
    bool failed_ = false;
};

// The printer for a print command of the window: the system's default
// printer when there is one, otherwise a PDF file at pdfPath. noticeOut gets
// the Thai notice when the output goes to the file from the start; the
// printer's Notice() after EndDoc() holds the whole story (also a fallback
// when the printer refused the job, or a file that could not be written)
// and is what the caller shows in a box titled kWarningTitle.
std::unique_ptr<OutputPrinter> OpenDefaultPrinterOrPdf(const std::string& pdfPath,
                                                       std::string& noticeOut);

} // namespace ia
