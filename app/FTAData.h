// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window. It builds the panels (commands, header, sheet editor,
// analysis bar, report with its print options, item statistics, charts),
// switches between them as the teacher moves from a new or opened exam file
// to the report, and holds the exam session (the file in hand and its flows)
// that they share.

#include "app/AnalysisBar.h"
#include "app/CommandPanel.h"
#include "app/GrowingLayout.h"
#include "app/HeaderPanel.h"
#include "app/PanelKit.h"
#include "app/PrintTargets.h"
#include "app/Prompts.h"
#include "app/ReportPanel.h"
#include "app/SheetEditor.h"
#include "report/PrintState.h"
#include "session/ExamSession.h"

#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <string>

namespace ia {

class GraphPanel;
class GridPair;
class GroupComparisonPanel;
class GroupsBar;
class ItemStatisticsPanel;
class RecentFilesButton;
class ReportView;

inline constexpr const char* kAskReopen = "เปิดไฟล์อีกครั้งหรือไม่ : ";

class FTAData : public QWidget {
    Q_OBJECT
  public:
    explicit FTAData(QWidget* parent = nullptr);
    ~FTAData() override;

    // Every question and message goes through these; tests answer instead
    // of the boxes (the window keeps using them until it dies).
    void setPrompts(Prompts& prompts) { prompts_.setTarget(prompts); }
    Prompts& boxPrompts() { return boxPrompts_; }
    // Where printing goes; tests put a recording printer or a PDF here.
    PrintTargets& printTargets() { return printTargets_; }

    // --- The exam file in hand ----------------------------------------------
    ExamSession& session() { return session_; }
    ExamViews& views() { return session_.views(); }
    AnalysisState& analysisState() { return session_.state(); }
    // The last report print job (its page choice).
    PrintJob& printJob() { return printJob_; }

    // --- The panels ---------------------------------------------------------
    HeaderPanel& headerPanel() { return *header_; }
    SheetEditor& sheetEditor() { return *sheets_; }
    AnalysisBar& analysisBar() { return *analysis_; }
    ReportPanel& reportPanel() { return *report_; }
    GroupComparisonPanel& groupComparisonPanel() { return *groups_; }
    GroupsBar& groupsBar() { return *groupsBar_; }
    GridPair* gridPair() const { return sheets_->gridPair(); }
    ReportView* reportView() const { return report_->reportView(); }
    RecentFilesButton* recentFiles() const { return commands_->recentFiles(); }
    GrowingLayout& growingLayout() { return layout_; }
    // Twips of the layout in pixels of this screen.
    int Twips(int twips) const { return placer_.twips(twips); }

    // --- The flows ----------------------------------------------------------
    // Empty header fields for a new exam file.
    void onNewFileClicked();
    // Makes the exam file the header fields describe (asking before it
    // replaces one) and opens it.
    void onCreateFileClicked();
    // Chooses an exam file and opens it.
    void onOpenFileClicked();
    // Opens an exam file as "เปิดไฟล์" does once a file is chosen (the same
    // checks and messages): from the command line, a drop or the recent
    // files. false when the file stays unopened.
    bool OpenExamFile(const QString& path);
    void onQuitClicked();
    // The report panel over the window; what it covers goes out of reach
    // until it closes, when the focus returns to focusBefore.
    void showReportPanel(QWidget* focusBefore);
    void closeReportPanel();
    // The title: the file's name, marked while a typed cell waits to be
    // stored, then the program's name.
    void updateTitle();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    void buildPanels();
    void wirePanels();
    void setUpGrowth();
    void activate();
    // The bound file was replaced or deleted: offers to open what now has
    // its name.
    void offerToReopen();
    // A table of answers picked to be opened: offers to import it into the
    // file in hand, or says that one must be opened first.
    void offerToImport(const QString& source);
    void setFileControlsVisible(bool visible);
    QList<QWidget*> underReportPanel() const;
    void warn(const QString& text);
    // Opens the file through the session and shows it; a refusal is told
    // and the file in hand stays bound and shown.
    bool openAndShow(const std::string& path);
    // Shows the file the session has just opened.
    void showOpenedFile();
    // The groups of the file in hand compared, over the window.
    void showGroupComparison();

    // Declared first, so that it outlives the members that show its views.
    ExamSession session_;
    PrintJob printJob_;
    BoxPrompts boxPrompts_{this};
    PromptsInForce prompts_{boxPrompts_};
    PrintTargets printTargets_;
    GrowingLayout layout_;
    Placer placer_{*this, layout_};
    QLabel* title_ = nullptr;
    CommandPanel* commands_ = nullptr;
    HeaderPanel* header_ = nullptr;
    SheetEditor* sheets_ = nullptr;
    AnalysisBar* analysis_ = nullptr;
    ReportPanel* report_ = nullptr;
    ItemStatisticsPanel* itemStats_ = nullptr;
    GraphPanel* graphs_ = nullptr;
    GroupsBar* groupsBar_ = nullptr;
    GroupComparisonPanel* groups_ = nullptr;
    QPointer<QWidget> focusBeforeReport_;
    QList<QPointer<QWidget>> coveredByReport_;
    bool activated_ = false;
};

} // namespace ia
