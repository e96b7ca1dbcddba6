// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The report panel over the window after an analysis: the report as the
// printout lays it out, the school name that heads it, export, preview,
// the graphical report, print (with its options) and close. A notice with
// "วิเคราะห์ใหม่" shows once the key has changed after the analysis.

#include "analysis/AnalysisState.h"
#include "app/PanelKit.h"
#include "session/ExamSession.h"

#include <QFrame>

#include <optional>
#include <string>

class QLabel;
class QTimer;
class QLineEdit;
class QPushButton;

namespace ia {

class ExamSession;
class Placer;
class PrintOptionsPanel;
class Prompts;
class ReportView;
struct GraphReportInput;
struct PrintJob;
struct PrintTargets;

class ReportPanel : public QFrame {
    Q_OBJECT
  public:
    ReportPanel(QWidget* window, Placer& placer, ExamSession& session, PrintJob& printJob,
                Prompts& prompts, const PrintTargets& printTargets);
    ~ReportPanel() override;

    ReportView* reportView() const { return report_; }
    PrintOptionsPanel* printOptions() const { return options_; }
    QPushButton* printButton() const { return print_; }
    QLineEdit* schoolField() const { return school_; }
    // The school name as typed now.
    std::string schoolName() const;
    // The school name as the file beside the exam files keeps it.
    const std::string& savedSchoolName() const { return savedSchoolName_; }
    // Where the layout lets the controls take a larger window's room; the
    // panel itself gets its place when the window first comes up.
    void addToGrowth();
    void placeOverWindow();

    // Reads the school name from the working folder (made there when missing).
    void readSchoolName();
    // Writes the school name back when it has changed since the field was entered.
    void writeSchoolName();
    // Shows the report of the analysis just run (its file at reportPath),
    // laid out again under each new school name.
    void showAnalysedReport(const std::string& reportPath);
    // The notice of a key changed after the analysis, with the technique
    // that reruns it.
    void showOutdated(ResultsCurrency currency, std::optional<Technique> technique);
    // The report panel closes: the options go with it, and its keys come back.
    void closePanel();
    // Escape: the options close first, then the panel; false when neither was shown.
    bool closeOptionsOrPanel();

    void onPreviewClicked();
    void onPrintGraphsClicked();
    // What the graphs of the last analysis are drawn from.
    bool loadGraphInput(GraphReportInput& in);

  signals:
    void closeClicked();
    void rerunClicked();
    void exportClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void warn(const QString& text);
    void layOutReport();

    Placer& placer_;
    ExamSession& session_;
    PrintJob& printJob_;
    Prompts& prompts_;
    const PrintTargets& printTargets_;
    ReportView* report_;
    QLabel* schoolCaption_;
    QLineEdit* school_;
    QTimer* relayOut_;
    std::string reportPath_; // of the report shown; empty before any analysis
    QPushButton* print_;
    QPushButton* close_;
    QPushButton* preview_;
    QPushButton* printGraphs_;
    QLabel* outdatedNotice_;
    QPushButton* rerun_;
    QPushButton* export_;
    PrintOptionsPanel* options_;
    std::string savedSchoolName_;
};

} // namespace ia
