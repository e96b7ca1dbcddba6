// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the command panel, the header panel, the two grids with
// the record bar, the analysis bar and the report panel with its print
// options. Every panel lives in this one window and is shown or hidden as the
// teacher moves from a new or opened exam file to the report.

#include "analysis/Analysis.h"
#include "analysis/AnalysisState.h"
#include "app/GrowingLayout.h"
#include "examfile/DataView.h"
#include "examfile/ExamState.h"
#include "report/PrintState.h"
#include "report/Printer.h"
#include "sheet/SheetGrid.h"

#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace ia {

class DataNavBar;
class ItemStatisticsPanel;
class GridPair;
class RecentFilesButton;
class ReportView;
class GraphPages;
class GraphPanel;
struct GraphReportInput;

extern const char* const kProgramTitle; // "โปรแกรมวิเคราะห์ข้อสอบ"
extern const char* const kWarningTitle; // "คำเตือน"
// An answer kept in its cell because another program holds the file.
inline constexpr const char* kAnswerWaitsForFile = "ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น คำตอบที่พิมพ์ยังไม่ได้บันทึก "
                                                   "โปรแกรมจะบันทึกให้เมื่อไฟล์ว่าง";
inline constexpr const char* kAskWaitForFile =
    "ยังบันทึกคำตอบที่พิมพ์ไม่ได้ เพราะไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น\n"
    "รอแล้วลองบันทึกอีกครั้งหรือไม่ (ตอบ ไม่ เพื่อทิ้งคำตอบที่ยังไม่ได้บันทึก)";
inline constexpr const char* kConfirmDiscardAnswers = "ยืนยันทิ้งคำตอบที่ยังไม่ได้บันทึก";
inline constexpr const char* kAskReopen = "เปิดไฟล์อีกครั้งหรือไม่ : ";

class FTAData : public QWidget, public AnalysisHost, public RecordCommandHost {
    Q_OBJECT
  public:
    explicit FTAData(QWidget* parent = nullptr);
    ~FTAData() override;

    // --- The dialogs, replaceable so that tests never block ---------------
    // The chosen file, or the empty text when the user cancelled.
    std::function<QString()> chooseOpenFile;
    // true for OK.
    std::function<bool(const QString& title, const QString& text)> askOkCancel;
    // true for Yes.
    std::function<bool(const QString& title, const QString& text)> askYesNoBox;
    std::function<void(const QString& title, const QString& text)> showMessage;
    // The findings of the checks before an analysis; true to analyse anyway.
    std::function<bool(const QString& title, const QString& text)> askGoOnAfterChecks;
    // The boxes behind askOkCancel and askYesNoBox: Cancel and No are the
    // answers Enter and Escape give.
    bool AskOkCancelWithBox(const QString& title, const QString& text);
    bool AskYesNoWithBox(const QString& title, const QString& text);
    // Where printing goes (the default printer or a PDF at pdfPath); tests
    // put a recording printer here.
    std::function<std::unique_ptr<Printer>(const std::string& pdfPath)> openPrinter;
    // Shows the print preview (tests look at it without blocking).
    std::function<void(QDialog& preview)> showPreview;
    // Runs the import and export dialogs; QDialog::Accepted when they wrote.
    std::function<int(QDialog& dialog)> runDialog;
    // Where "พิมพ์กราฟ" prints (the default printer or a PDF at pdfPath;
    // notice says where when not on paper); tests put a PDF file here.
    std::function<std::unique_ptr<GraphPages>(const std::string& pdfPath, std::string& notice)>
        openGraphPages;

    // --- Controls ---------------------------------------------------------
    QLabel* Label4;
    QFrame* Picture1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;

    QFrame* Picture2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label5;
    QVector<QLineEdit*> Text1; // object names "Text1(0)" .. "Text1(7)"
    QPushButton* Command4;

    SheetGrid* DBGrid2;
    SheetGrid* DBGrid1;
    DataNavBar* Data1;

    QFrame* picButtons;
    QPushButton* cmdAdd;
    QPushButton* cmdDelete;
    QPushButton* cmdRefresh;
    QPushButton* cmdUpdate;
    QPushButton* cmdClose;
    QPushButton* cmdOrderOfNo_A;
    QPushButton* cmdImport;
    QPushButton* cmdExport;

    QPushButton* Command7;
    QFrame* Picture4;
    QPushButton* Command5;
    QPushButton* Command6;
    // Beside the two techniques, below their bar: the item statistics.
    QFrame* picItemStats;
    QPushButton* cmdItemStats;
    ItemStatisticsPanel* itemStatsPanel;
    QPushButton* cmdGraphs; // "กราฟ": the charts of the last analysis

    QFrame* Picture3;
    QPlainTextEdit* RichTextBox1;
    QLabel* Label6;
    QLineEdit* Text2;
    QPushButton* Command9;
    QPushButton* Command8;
    QPushButton* cmdPreview;
    // Shown on the report panel once the key has changed after the analysis.
    QLabel* lblReportOutdated;
    QPushButton* cmdReportRerun;
    QPushButton* cmdExportReport;
    QPushButton* cmdPrintGraphs; // "พิมพ์กราฟ": the graphical report
    GraphPanel* graphPanel;

    QFrame* Picture5;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QRadioButton* Option3;
    QRadioButton* Option4;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QPushButton* Command10;
    QPushButton* Command11;
    QLabel* Label7;

    // --- State ------------------------------------------------------------
    ExamModule& module() { return module_; }
    ExamViews& views() { return views_; }
    AnalysisState& analysisState() { return state_; }
    AnalysisContext analysisContext() { return {views_, module_.header, state_, *this}; }
    int16_t HeaderChanged = 0;
    std::string SchoolName;

    // --- Procedures and handlers ------------------------------------------
    // Binds the views to module().ExamFileName and shows the file. On a
    // binding failure the user is told, the previous file stays bound and
    // false is returned.
    bool PrepareInputData();
    void ReadSchoolName();
    void SetDbGrid1();
    void SetDbGrid2();
    void KeyRowRewritten() override { SetDbGrid2(); }
    void BusyPointer(bool on) override;
    bool AskYesNo(const QString& title, const QString& text) override;

    void Command1_Click();
    void Command2_Click();
    // Opens an exam file as "เปิดไฟล์" does once a file is chosen (the same
    // checks and messages): from the command line, a drop or the recent
    // files. false when the file stays unopened.
    bool OpenExamFile(const QString& path);
    void Command3_Click();
    void Command4_Click();
    void Command4_KeyDown(int key, Qt::KeyboardModifiers modifiers);

    void Text1_Change(int index);
    void Text1_KeyDown(int index, int key, Qt::KeyboardModifiers modifiers);
    void Text1_LostFocus(int index);
    void Text2_GotFocus();
    void Text2_LostFocus();

    // The analysis chain (the report panel is shown by it).
    void Command5_Click();
    void Command6_Click();
    // Raw-data printout.
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    // Confirms the print options and prints.
    void Command10_Click();
    void Command11_Click();
    // Escape over the report: the print options close first, then the panel.
    void CloseReportPanelOrOptions();
    void Option4_Click();
    void Text3_KeyPress(int key);
    void Text4_KeyPress(int key);
    // Page count shown by the print options panel.
    int NumPage();
    // Print preview of all pages of the report.
    void cmdPreview_Click();
    // Opens the item statistics panel over the file in hand.
    void cmdItemStats_Click();
    // Runs the technique of the stored results again (after a key change).
    void RerunLastTechnique();
    // Whether the stored results were made with another key than the one
    // the file holds now.
    bool ResultsOutdated();
    // The charts of the last analysis in the graph panel.
    void cmdGraphs_Click();
    // The graphical report on the default printer or into a PDF file.
    void cmdPrintGraphs_Click();
    PrintJob& printJob() { return printJob_; }

    // Answer sheets in from a spreadsheet, a scanner or a quiz export, and
    // results out to a spreadsheet.
    void cmdImport_Click();
    void cmdExport_Click();
    // A block copied from a spreadsheet, pasted from a cell of DBGrid1.
    void DBGrid1_Paste(int position, int column, const QString& text);

    void Data1_Reposition();
    void DBGrid1_RowColChange();
    void Data1_Error(const QString& text);

    // The grids kept together, the report view, the recent files and the
    // room a larger window gives.
    GridPair* gridPair() const { return gridPair_; }
    ReportView* reportView() const;
    RecentFilesButton* recentFiles() const { return recentFiles_; }
    GrowingLayout& growingLayout() { return layout_; }
    // The title: the file's name, marked while a typed cell waits to be
    // stored, then the program's name.
    void UpdateTitle();

    // Twips of the layout in pixels of this screen.
    int Twips(int twips) const;

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

  private:
    void SetUpGrowth();
    void BuildControls();
    void KeepCaptionsOffFields();
    void RunAnalysis(int kind);
    // Tells what the checks before an analysis found; false to cancel.
    bool GoOnAfterChecks();
    // Stores the answers waiting for the file, or asks (wait or discard);
    // false when the teacher chose neither.
    bool StoreOrDiscardPendingAnswers();
    // The bound file was replaced or deleted: offers to open what now has
    // its name.
    void OfferToReopen();
    std::unique_ptr<Printer> OpenPrinter(const std::string& pdfPath);
    void TellPrinterNotice(Printer& prn);
    bool LoadGraphInput(GraphReportInput& in);
    void WireControls();
    void Activate();
    void InstallViewCallbacks();
    void FitKeyGrid();
    void ReleaseFile(const std::string& path);
    void ShowFileControls();
    void FillHeaderFields();
    void RunRecordCommand(const std::function<void()>& command);
    std::string WorkingDir() const;
    void Warn(const QString& text);
    std::vector<Value> KeyRow();
    void RememberKeyOfResults();
    void ShowOutdatedNotices();
    void OnItemStatsKeyChanged();
    // The header panel's message line, wrapped and grown to show it all.
    void ShowHeaderMessage(const QString& text);
    // The report panel over the window; what it covers goes out of reach
    // until it closes, when the focus returns to focusBefore.
    void ShowReportPanel(QWidget* focusBefore);
    QList<QWidget*> UnderReportPanel() const;
    QWidget* place(QWidget* w, int left, int top, int width, int height);

    ExamModule module_;
    ExamViews views_;
    AnalysisState state_;
    PrintJob printJob_;
    GrowingLayout layout_;
    GridPair* gridPair_ = nullptr;
    RecentFilesButton* recentFiles_ = nullptr;
    QPointer<QWidget> focusBeforeReport_;
    QPointer<QWidget> focusBeforeOptions_;
    QList<QPointer<QWidget>> coveredByReport_;
    bool activated_ = false;
    // The key row as the stored results were made with it (when the file was
    // opened, or at the last analysis).
    std::vector<Value> keyOfResults_;
    // The technique that made the stored results of the file in hand, when
    // it ran in this session (0: not known).
    int resultsKind_ = 0;
    int busyDepth_ = 0;
};

} // namespace ia
