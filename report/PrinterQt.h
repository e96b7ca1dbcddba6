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

// Title of the message box in which the caller shows Notice().
inline constexpr const char* kPrintNoticeTitle = "คำเตือน";

// The font as Qt draws it: name and size, all styles off. For the report
// font the stand-in of ReportFontFamily() is substituted and narrowed to the
// report font's proportions.
QFont MakePrintFont(const std::string& name, double points);

// A piece of a printed text without blanks, at x device pixels from the
// text's left edge.
struct PrintRun {
    double x;
    QString text;
};

// How a text is set on a device of the given resolution: its pieces between
// blanks, every blank as wide as in the report font (with a stand-in, half a
// digit). widthPx, when given, receives the whole width.
std::vector<PrintRun> LayOutPrintText(const std::string& fontName, double points, int dpi,
                                      const std::string& text, double* widthPx = nullptr);

class QtPrinter : public Printer {
  public:
    // Prints into a PDF file at pdfPath (replaced if it exists).
    static std::unique_ptr<QtPrinter> ForPdf(const std::string& pdfPath);
    // Prints on the given printer; when the job cannot start there it goes
    // into a PDF file at fallbackPdf instead and Notice() says so.
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

    // What the user must be told once the job is over (Thai, for a box
    // titled kPrintNoticeTitle): where the pages went when not to the
    // printer asked for, or that nothing could be printed. Empty otherwise.
    const std::string& Notice() const { return notice_; }
    // True once a job could start neither on the printer nor in the file;
    // everything printed afterwards is dropped.
    bool Failed() const { return failed_; }
    // The PDF file written, empty while printing on paper.
    const std::string& PdfPath() const { return pdfPath_; }
    int Resolution() const;

    void AddNotice(const std::string& text);

  private:
    struct Impl;
    QtPrinter(std::unique_ptr<Impl> impl, std::string pdfPath, std::string fallbackPdf);
    bool Start();

    std::unique_ptr<Impl> impl_;
    std::string pdfPath_;
    std::string fallbackPdf_;
    std::string notice_;
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
// and is what the caller shows in a box titled kPrintNoticeTitle.
std::unique_ptr<QtPrinter> OpenDefaultPrinterOrPdf(const std::string& pdfPath,
                                                   std::string& noticeOut);

} // namespace ia
