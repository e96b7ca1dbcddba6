// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The printer as the printing code sees it: a print position in centimetres
// from the top left corner of the printable area, the report font, text
// widths, printing a line, page breaks, the end of the job and the paper
// orientation. QtPrinter (PrinterQt.h) drives a real printer and the print
// preview; PdfPrinter (PrinterPdf.h) writes PDF files whose Thai is text;
// RecordingPrinter (PrinterRecording.h) keeps what would have been printed.
//
// The measuring functions below are defined by one of two back ends, chosen
// when the program is linked (the CMake target print_metrics): Qt's font
// metrics where the program is built with Qt (PrintMetricsQt.cpp), Pango's
// where it is built without (PrintMetricsPango.cpp).

#include "examfile/Messages.h"

#include <string>
#include <vector>

namespace ia {

enum class Orientation { Portrait, Landscape };

// The font every printout uses. On machines without it the Thai font of the
// system stands in (see ReportFontFamily()).
inline constexpr const char* kReportFontName = "CordiaUPC";
inline constexpr double kReportFontPoints = 16.0;

// Resolution at which texts are measured and drawn when nothing else is
// known (the resolution of a PDF job).
inline constexpr int kDefaultPrintDpi = 1200;

inline constexpr double kCmPerInch = 2.54;

// The report was laid out for the narrow CordiaUPC: its 124-hyphen rule
// spans the 15.8 cm text block (kCentreWidth), and two blanks are as wide as
// one digit, so that blank-padded numbers and the raw data's digit rows line
// up. A stand-in font is narrowed to these proportions.
inline constexpr double kRuleWidthCm = 15.8;
inline constexpr int kRuleLength = 124;

class Printer {
  public:
    virtual ~Printer() = default;

    double CurrentX() const { return x_; }
    double CurrentY() const { return y_; }
    void SetCurrentX(double x) { x_ = x; }
    void SetCurrentY(double y) { y_ = y; }

    // Selects the font by name and size in points, all styles off.
    virtual void SetFont(const std::string& name, double points) = 0;
    // Printed width of text in the current font, in centimetres.
    virtual double TextWidth(const std::string& text) const = 0;
    // Prints text (UTF-8) with its top left corner at the print position,
    // then moves the position to the start of the next line.
    virtual void Print(const std::string& text) = 0;
    virtual void NewPage() = 0;
    // Ends the job: the pages go to the printer or the file.
    virtual void EndDoc() = 0;
    // Takes effect on the next page started, or on the first if nothing has
    // been printed yet.
    virtual void SetOrientation(Orientation o) = 0;
    virtual Orientation GetOrientation() const = 0;

  protected:
    double x_ = 0;
    double y_ = 0;
};

// A printer whose job goes somewhere real, to paper or into a file, and can
// therefore fail.
class OutputPrinter : public Printer {
  public:
    // What the user must be told once the job is over (Thai, for a box
    // titled kWarningTitle): where the pages went when not to the
    // printer asked for, or that nothing could be printed. Empty otherwise.
    const std::string& Notice() const { return notice_; }
    // True once the job could not go where it was sent; everything printed
    // afterwards is dropped.
    virtual bool Failed() const = 0;
    // The PDF file written, empty while printing on paper.
    virtual const std::string& PdfPath() const = 0;
    void AddNotice(const std::string& text);

  private:
    std::string notice_;
};

// The notice of a PDF file that could not be written, followed by its path.
extern const char* const kPdfFailedNotice;

// Height of one printed line of the named font, in centimetres: how far
// Print() moves the position down.
double MeasureLineCm(const std::string& fontName, double points, int dpi);

// Width of text in the named font at the given size and resolution, in
// centimetres. Both printers measure through this, so a layout measured on
// the recording printer centres exactly as on paper.
double MeasureTextCm(const std::string& fontName, double points, int dpi, const std::string& text);

// Distance from the top of a printed line to its baseline, in centimetres:
// where the printers put the baseline of a text printed at the position.
double MeasureBaselineCm(const std::string& fontName, double points, int dpi);

// The face and size a font is drawn with. Texts are measured, and laid out,
// in the font asked for; they are drawn in a size at which the highest stack
// of marks above a Thai letter and the lowest mark below stay clear of the
// lines printed kLineStep above and below, then widened to the measured
// width, so that every text keeps its place and its width.
struct DrawnFont {
    std::string family;
    double points = 0;
};
DrawnFont DrawnFontFor(const std::string& fontName, double points);

// A piece of a printed text without blanks (UTF-8), at x device pixels from
// the text's left edge and as wide as measured in the print font.
struct PrintRun {
    double x;
    double width;
    std::string text;
};

// How a text is set on a device of the given resolution: its pieces between
// blanks, every blank as wide as in the report font (with a stand-in, half a
// digit). widthPx, when given, receives the whole width.
std::vector<PrintRun> LayOutPrintText(const std::string& fontName, double points, int dpi,
                                      const std::string& text, double* widthPx = nullptr);

// The family actually drawn for kReportFontName: the font itself when it is
// installed, otherwise Laksaman, or Garuda when Laksaman is missing too. A
// stand-in is drawn narrowed, and its blanks half a digit wide, so that the
// report keeps the layout it was made for: its 124-hyphen rule 15.8 cm wide,
// blank-padded numbers and digit rows lined up.
// With Qt's metrics it registers the substitution with Qt on first use and
// needs a QGuiApplication.
std::string ReportFontFamily();

} // namespace ia
