// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sheet editor: the key grid above the answer-sheet grid, kept together
// by a GridPair, the navigation bar, the record bar (add, delete, read again,
// store, total, order by number, import, export) and the raw-data printout.
// Its controls lie on the main window itself, where the layout drew them.

#include "analysis/Analysis.h"
#include "sheet/SheetGrid.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QFrame;
class QPushButton;
class QUndoStack;

namespace ia {

// An answer kept in its cell because another program holds the file.
inline constexpr const char* kAnswerWaitsForFile = "ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น คำตอบที่พิมพ์ยังไม่ได้บันทึก "
                                                   "โปรแกรมจะบันทึกให้เมื่อไฟล์ว่าง";
inline constexpr const char* kAskWaitForFile =
    "ยังบันทึกคำตอบที่พิมพ์ไม่ได้ เพราะไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น\n"
    "รอแล้วลองบันทึกอีกครั้งหรือไม่ (ตอบ ไม่ เพื่อทิ้งคำตอบที่ยังไม่ได้บันทึก)";
inline constexpr const char* kConfirmDiscardAnswers = "ยืนยันทิ้งคำตอบที่ยังไม่ได้บันทึก";

class DataNavBar;
class GridPair;
class Placer;
class Prompts;
struct PrintTargets;
class ExamSession;

class SheetEditor : public QObject, public AnalysisHost, public RecordCommandHost {
    Q_OBJECT
  public:
    SheetEditor(QWidget* window, Placer& placer, ExamSession& session, Prompts& prompts,
                const PrintTargets& printTargets);
    ~SheetEditor() override;

    SheetGrid* keyGrid() const { return keyGrid_; }
    SheetGrid* sheetGrid() const { return sheetGrid_; }
    DataNavBar* navigationBar() const { return navigationBar_; }
    QFrame* recordBar() const { return recordBar_; }
    QPushButton* rawPrintButton() const { return rawPrint_; }
    GridPair* gridPair() const { return gridPair_; }
    // Made once the window's places are set: it watches both grids.
    void addGridPair();
    // Where the layout lets the controls take a larger window's room.
    void addToGrowth();
    // The controls of an open file, shown or hidden together.
    void setFileControlsVisible(bool visible);

    // Binds the grids to the file in hand's views (or to none) and lays them out.
    void showSheets();
    // Greys the score column when its scores are out of date.
    void showScoresOutdated(bool outdated);
    void showKey();
    void unbindGrids();
    // The navigation bar's caption follows the record now current.
    void showRecordPosition();
    void installViewCallbacks();

    // A cell still being typed is committed to its row.
    void commitPendingEdits();
    // Stores the answers waiting for the file; false while it is still busy.
    bool storePendingEdits();
    void discardPendingEdits();
    // Stores the answers waiting for the file, or asks (wait or discard);
    // false when the teacher chose neither.
    bool storeOrDiscardPendingAnswers();

    // The flows of the record bar.
    void onImportClicked();
    // The import dialog with `source` already chosen (the empty text: none).
    void importFrom(const QString& source);
    void onExportClicked();
    void onRawPrintClicked(const std::string& schoolName);
    // A block copied from a spreadsheet, pasted from a cell of the sheet grid.
    void pasteBlock(int position, int column, const QString& text);

    // The one history of the file's changes (Ctrl+Z, Ctrl+Y, Ctrl+Shift+Z
    // and the buttons ย้อนกลับ and ทำซ้ำ), fed by the exam session.
    QUndoStack* undoStack() const { return undoStack_; }
    // A cell still being typed is stored first.
    void undo();
    void redo();
    // Turns a recorded step back or forward again; false (and told) when
    // the file would not take it.
    bool swapStep(long long stepId, const QString& description, bool undoing);

    // A sheet typed into the new-record row and not yet stored (the open
    // editor holds its code or an answer): asks whether to throw it away,
    // keeping it by default. False when there is none.
    bool keepOrDropHalfTypedSheet();

    // RecordCommandHost and AnalysisHost.
    bool AskYesNo(const QString& title, const QString& text) override;
    void BusyPointer(bool on) override;
    void KeyRowRewritten() override { showKey(); }
    void ChangeStored(const QString& description) override;
    void DeleteSheet(RecordSet& rs) override;

  signals:
    void fileReplaced();
    // The key or the answers may differ now from those the stored results
    // and scores were made with.
    void keyMayHaveChanged();
    void subjectFieldWanted();
    void rawPrintClicked();
    void editPendingChanged();
    // An undo or redo changed the file: the header and the key may differ.
    void fileContentReread();

  private:
    bool dataChangeTold_ = false;
    void wire();
    void fitKeyGrid();
    void runRecordCommand(const std::function<void()>& command);
    void onDataError(const QString& text);
    void warn(const QString& text);

    QWidget* window_;
    Placer& placer_;
    ExamSession& session_;
    Prompts& prompts_;
    const PrintTargets& printTargets_;
    SheetGrid* keyGrid_;
    SheetGrid* sheetGrid_;
    DataNavBar* navigationBar_;
    QFrame* recordBar_;
    QPushButton* add_;
    QPushButton* delete_;
    QPushButton* refresh_;
    QPushButton* update_;
    QPushButton* total_;
    QPushButton* orderByNumber_;
    QPushButton* import_;
    QPushButton* export_;
    QPushButton* rawPrint_;
    QPushButton* undo_;
    QPushButton* redo_;
    QUndoStack* undoStack_;
    GridPair* gridPair_ = nullptr;
};

} // namespace ia
