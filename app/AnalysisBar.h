// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The analysis bar below the grids: "วิเคราะห์ 25 %" (the simple formula),
// "วิเคราะห์ 27 %" (the Fan table), and below them the item statistics and
// the charts of the last analysis. It runs the analysis and knows whether the
// stored results still match the key.

#include "analysis/Analysis.h"
#include "app/PanelKit.h"
#include "session/ExamSession.h"

#include <QObject>

class QFrame;
class QPushButton;

namespace ia {

class GraphPanel;
class HeaderPanel;
class ItemStatisticsPanel;
class Prompts;
class ReportPanel;
class SheetEditor;

class AnalysisBar : public QObject, public AnalysisHost {
    Q_OBJECT
  public:
    AnalysisBar(QWidget* window, Placer& placer, ExamSession& session, Prompts& prompts);

    // The panels an analysis reads from and shows in, made after the bar.
    void connectPanels(HeaderPanel& header, SheetEditor& sheets, ReportPanel& report,
                       ItemStatisticsPanel& itemStats, GraphPanel& graphs);
    void addToGrowth();
    QFrame* techniqueBar() const { return techniqueBar_; }
    QFrame* itemStatsBar() const { return itemStatsBar_; }
    void setVisible(bool visible);

    // Analyses the sheets with the technique and shows the report; the
    // focus it had is handed on with reportReady.
    void analyse(Technique technique);
    // Runs the technique of the stored results again (after a key change).
    void rerunLastTechnique();
    void onItemStatsClicked();
    void onGraphsClicked();
    // A file was bound: nothing is known yet of how its results were made.
    void forgetResults();
    // Whether the stored results were made with another key than the one
    // the file holds now, told on the report and the item statistics.
    void showOutdatedNotices();

    void BusyPointer(bool on) override;

  signals:
    void reportReady(QWidget* focusBefore);

  private:
    // Tells what the checks before an analysis found; false to cancel.
    bool goOnAfterChecks(const CheckFindings& findings);
    void onItemStatsKeyChanged();
    void warn(const QString& text);

    Placer& placer_;
    ExamSession& session_;
    Prompts& prompts_;
    QFrame* techniqueBar_;
    QPushButton* analyse25_;
    QPushButton* analyse27_;
    QFrame* itemStatsBar_;
    QPushButton* itemStats_;
    QPushButton* graphs_;
    HeaderPanel* header_ = nullptr;
    SheetEditor* sheets_ = nullptr;
    ReportPanel* report_ = nullptr;
    ItemStatisticsPanel* itemStatsPanel_ = nullptr;
    GraphPanel* graphPanel_ = nullptr;
};

} // namespace ia
