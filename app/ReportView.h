// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The report panel's view of the analysis report. The report file lines its
// columns up by code-page bytes, so on screen every Thai vowel or tone mark
// above or below a letter would pull the rest of its line to the left; the
// view lays the report out again from the printout's column positions, in a
// fixed-pitch Thai face where such marks take no column. It zooms, finds and
// copies a selection as text.

#include "examfile/ExamState.h"
#include "report/PrinterRecording.h"
#include "report/ReportModel.h"

#include <QPlainTextEdit>

#include <string>
#include <vector>

class QLineEdit;

namespace ia {

// Columns a text takes in a fixed-pitch face that stacks Thai vowels and tone
// marks on their letter.
int ScreenColumns(const QString& text);

// The printed texts of a report as lines of a fixed-pitch view: a text
// printed at x centimetres starts at the column x stands for on the 124
// column rule (a blank of the printout is half a digit wide), pages follow
// one another with an empty line between them.
QString ScreenReportText(const std::vector<PrintedText>& printed);

// The report of `data` as the printout lays it out, for ScreenReportText.
std::vector<PrintedText> LayOutReport(const ReportData& data, TestHeader header,
                                      const std::string& schoolName);

class ReportView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ReportView(QWidget* parent = nullptr);

    // Zoom in steps of one point from the view's base size; 0 is the base.
    int zoom() const { return zoom_; }
    void setZoom(int steps);

    // Opens the find field (Ctrl+F).
    void openFind();
    QLineEdit* findField() const { return find_; }
    // Looks for `text` after the cursor (before it when backwards), going
    // round the end; false when the report does not hold it.
    bool findText(const QString& text, bool backwards = false);

  signals:
    void zoomChanged(int steps);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void placeFindField();

    QLineEdit* find_;
    double basePoints_;
    int zoom_ = 0;
};

} // namespace ia
