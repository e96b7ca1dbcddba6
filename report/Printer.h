#pragma once
// The printer as the printing code sees it: a print position in centimetres
// from the top left corner of the printable area, the report font, text
// widths, printing a line, page breaks, the end of the job and the paper
// orientation. QtPrinter (PrinterQt.h) drives a real printer or a PDF file;
// RecordingPrinter (PrinterRecording.h) keeps what would have been printed.

#include <string>

namespace ia {

enum class Orientation { Portrait, Landscape };

// The font every printout uses. On machines without it the Thai font of the
// system stands in (see ReportFontFamily()).
inline constexpr const char* kReportFontName = "CordiaUPC";
inline constexpr double kReportFontPoints = 16.0;

// Resolution at which texts are measured and drawn when nothing else is
// known (the resolution of a PDF job).
inline constexpr int kDefaultPrintDpi = 1200;

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

// Height of one printed line of the named font, in centimetres: how far
// Print() moves the position down.
double MeasureLineCm(const std::string& fontName, double points, int dpi);

// Width of text in the named font at the given size and resolution, in
// centimetres. Both printers measure through this, so a layout measured on
// the recording printer centres exactly as on paper.
double MeasureTextCm(const std::string& fontName, double points, int dpi, const std::string& text);

// The family actually drawn for kReportFontName: the font itself when it is
// installed, otherwise Laksaman, or Garuda when Laksaman is missing too. A
// stand-in is drawn narrowed, and its blanks half a digit wide, so that the
// report keeps the layout it was made for: its 124-hyphen rule 15.8 cm wide,
// blank-padded numbers and digit rows lined up.
// Registers the substitution with Qt on first use; needs a QGuiApplication.
std::string ReportFontFamily();

} // namespace ia
