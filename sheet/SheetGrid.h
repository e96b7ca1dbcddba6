// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two data-bound grids of the main window: DBGrid1 over the answer sheets
// (the sheets view, TAData) and DBGrid2 over the key row (the key view, TKey), and the record
// commands of the button bar below DBGrid1.

#include "examfile/DataView.h"
#include "examfile/ExamState.h"
#include "sheet/KeyRules.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QTableView>

#include <functional>

class QLineEdit;

namespace ia {

class SheetModel; // table model over DataView::Recordset(), rows read on demand

// The questions and the busy pointer of the record commands go through the
// window, so that tests can answer them.
struct RecordCommandHost {
    virtual ~RecordCommandHost() = default;
    virtual bool AskYesNo(const QString& title, const QString& text) = 0;
    virtual void BusyPointer(bool on) = 0;
    // The total has rewritten the key row: the key grid is laid out again.
    virtual void KeyRowRewritten() {}
    // A change the grid made is stored: one step of the file's history.
    virtual void ChangeStored(const QString& /*description*/) {}
    // Deletes the current sheet of the record set; the window deletes what
    // the file keeps beside it (name, group) with it, through the session.
    // Throws when nothing was deleted.
    virtual void DeleteSheet(RecordSet& rs) { rs.deleteCurrent(); }
};

class SheetGrid : public QTableView {
    Q_OBJECT
  public:
    explicit SheetGrid(GridKind kind, QWidget* parent = nullptr);
    ~SheetGrid() override;

    GridKind kind() const { return kind_; }
    // Call after every re-read of the view; a null view gives an empty grid.
    // The header must outlive the binding (nItem and nChoice are read live).
    void bind(DataView* view, const TestHeader* header);
    DataView* view() const { return view_; }
    const TestHeader* header() const { return header_; }
    SheetModel* sheetModel() const { return model_; }

    // The layout of SetDbGrid1 / SetDbGrid2: captions, widths, alignments.
    void SetDbGrid();
    // cmdUpdate: commits the open editor; false if the engine refused it.
    bool commitPendingEdit();
    // Stores the answers kept while another program held the file (see
    // SheetModel); true when none is left, otherwise fileBusy() follows.
    bool storePendingEdits();
    bool hasPendingEdits() const;
    void discardPendingEdits();
    // The cell editor open on the new-record row, with what it holds: a
    // sheet the teacher began and has not stored yet. Null when none. It
    // stays open, unstored, when the focus goes elsewhere in the window:
    // only Enter, Tab, a move within the grid or a command stores it.
    QLineEdit* halfTypedSheetEditor() const;
    // Closes the open editor without storing what it holds.
    void dropPendingEdit();
    // Absolute position of the current record, -1 on the new-record row (or
    // with no current record).
    int currentRecordPosition() const;
    // Puts the cell pointer on a record (position -1 or recordCount(): the
    // new-record row of DBGrid1), keeping the current column.
    void setCurrentRecordPosition(int position);

    // Asked before a row is deleted from the grid itself (DBGrid1); without a
    // host such deletions are refused.
    void setCommandHost(RecordCommandHost* host) { host_ = host; }
    RecordCommandHost* commandHost() const { return host_; }

    // Rows taken again from the same record set, after program code wrote
    // through it (the grid keeps the rows it painted last).
    void reloadRows();

  signals:
    // Focus moves decided by the key rules; the window gives the focus.
    void requestFocusKeyGrid();
    void requestFocusSheetGrid();
    void requestFocusSubjectField(); // Text1(1)
    // RowColChange: the window sets the navigation bar's caption to "ระเบียนที่ n จาก m".
    void currentCellChanged();
    // Data1_Error; the window shows "Data error event hit err:" + text.
    // Emitted from the event loop once the refused editor has closed, so a
    // message box never opens in the middle of a commit.
    void dataError(int code, const QString& text);
    // Ctrl+V on a cell of DBGrid1: the window pastes the clipboard's block
    // from that cell (position -1: the new-record row).
    void pasteRequested(int position, int column);
    // An answer could not be stored because another program holds the
    // file; it stays in its cell until it can be. From the event loop too.
    void fileBusy();
    // A key that is no answer was pressed in an answer cell and refused;
    // the text says what the cell takes ("พิมพ์ได้เฉพาะ 0–4").
    void answerRefused(const QString& accepted);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* object, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  public slots:
    void reset() override;

  protected:
    // The pointer stays on an answer that is not stored yet.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

  private:
    class Delegate;
    bool pointerMayLeave();
    bool isAnswerColumn(int column) const;
    // The rules of AnswerCellPress for a press in an answer cell (editor:
    // the open one, or null); true when the press was dealt with here.
    bool answerKeyPress(QLineEdit* editor, QKeyEvent* e);
    void refuseAnswerKey();
    bool editorKeyPress(QLineEdit* editor, QKeyEvent* e);
    void KeyUp(QKeyEvent* e); // DBGrid1_KeyUp / DBGrid2_KeyUp
    void notePress(const QKeyEvent* e);
    void noteShortcut(const QKeyEvent* e);
    bool takePress(const QKeyEvent* e);
    void deleteSelectedRow();

    GridKind kind_;
    DataView* view_ = nullptr;
    const TestHeader* header_ = nullptr;
    SheetModel* model_ = nullptr;
    Delegate* delegate_ = nullptr;
    RecordCommandHost* host_ = nullptr;
    QPointer<QLineEdit> editor_; // the open cell editor
    bool substituting_ = false;
    bool lastCommitOk_ = true;
    // Keys pressed while this grid (or its editor) had the focus and not yet
    // released; the value tells whether another key went down meanwhile.
    QHash<quint64, bool> held_;
};

// Asks the delete question for the current sheet of the sheets view and deletes it on
// Yes; the pointer goes to the next sheet, or the last. Errors end it silently.
void DeleteCurrentSheet(DataView& data1, SheetGrid& grid1, RecordCommandHost& host);

// Record commands of the button bar (the sheets view and DBGrid1).
void cmdAdd_Click(DataView& data1, SheetGrid& grid1);
void cmdDelete_Click(DataView& data1, SheetGrid& grid1, RecordCommandHost& host);
void cmdRefresh_Click(DataView& data1, SheetGrid& grid1);
void cmdUpdate_Click(DataView& data1, SheetGrid& grid1);
// "รวมคะแนน": totalSheets scores every sheet and re-reads the views (the
// exam session does it; the grids know nothing of scoring), then the grids
// are bound again and laid out.
void TotalScoresCommand(DataView& data1, SheetGrid& grid1, RecordCommandHost& host,
                        const std::function<void()>& totalSheets);
// "เรียงเลขที่": orderByCode reads the sheets in code order (the exam
// session does it), silently leaving them as they were when it fails; then
// the grid is bound again and laid out.
void OrderByCodeCommand(DataView& data1, SheetGrid& grid1,
                        const std::function<void()>& orderByCode);

} // namespace ia
