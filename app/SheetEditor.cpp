// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SheetEditor.h"

#include "app/BusyCursor.h"
#include "app/DataNavBar.h"
#include "app/ExportDialog.h"
#include "app/GridPair.h"
#include "app/ImportDialog.h"
#include "app/PanelKit.h"
#include "app/PrintTargets.h"
#include "app/Prompts.h"
#include "exchange/SheetImport.h"
#include "report/OutputPath.h"
#include "report/RawData.h"
#include "report/RawPrint.h"
#include "session/ExamSession.h"
#include "sheet/SheetModel.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>
#include <stdexcept>

namespace ia {

namespace {

// A step of the exam session's history on the window's stack. The session
// made the change before the step was pushed: the first redo is the push.
class FileStep : public QUndoCommand {
  public:
    FileStep(SheetEditor& editor, const EditStep& step)
        : QUndoCommand(QString::fromStdString(step.description)), editor_(editor),
          stepId_(step.id) {}
    long long stepId() const { return stepId_; }
    void undo() override { editor_.swapStep(stepId_, text(), true); }
    void redo() override {
        if (pushed_) editor_.swapStep(stepId_, text(), false);
        pushed_ = true;
    }

  private:
    SheetEditor& editor_;
    long long stepId_;
    bool pushed_ = false;
};

} // namespace

SheetEditor::SheetEditor(QWidget* window, Placer& placer, ExamSession& session, Prompts& prompts,
                         const PrintTargets& printTargets)
    : QObject(window), window_(window), placer_(placer), session_(session), prompts_(prompts),
      printTargets_(printTargets) {
    // Grids and the answer-sheet view's bar.
    keyGrid_ = new SheetGrid(GridKind::Key, window);
    keyGrid_->setObjectName("DBGrid2");
    placer.place(keyGrid_, 120, 2565, 11775, 735);
    keyGrid_->hide();
    sheetGrid_ = new SheetGrid(GridKind::Sheets, window);
    sheetGrid_->setObjectName("DBGrid1");
    placer.place(sheetGrid_, 120, 3270, 11775, 4335);
    sheetGrid_->hide();
    for (SheetGrid* g : {sheetGrid_, keyGrid_}) {
        g->setFont(UiFont(12));
        g->setCommandHost(this);
    }
    fitKeyGrid();
    navigationBar_ = new DataNavBar(window);
    navigationBar_->setObjectName("Data1");
    navigationBar_->setCaption("Data1");
    placer.place(navigationBar_, 120, 7665, 2280, 345);
    navigationBar_->hide();

    // Record bar.
    recordBar_ = Panel(window, "picButtons", window->palette().color(QPalette::Window));
    // A second row for the exchange with spreadsheets, still under the
    // report panel when that is shown.
    placer.place(recordBar_, 2415, 7545, 5415, 750);
    add_ = Button(recordBar_, "cmdAdd", "เพิ่ม");
    placer.place(add_, 30, 105, 735, 300);
    delete_ = Button(recordBar_, "cmdDelete", "ลบ");
    placer.place(delete_, 825, 105, 735, 300);
    refresh_ = Button(recordBar_, "cmdRefresh", "อ่านใหม่");
    placer.place(refresh_, 1635, 120, 735, 300);
    update_ = Button(recordBar_, "cmdUpdate", "บันทึก");
    placer.place(update_, 2475, 120, 735, 300);
    total_ = Button(recordBar_, "cmdClose", "&รวมคะแนน");
    placer.place(total_, 3285, 120, 975, 300);
    orderByNumber_ = Button(recordBar_, "cmdOrderOfNo_A", "เรียงเลขที่");
    placer.place(orderByNumber_, 4335, 120, 975, 300);
    import_ = Button(recordBar_, "cmdImport", "นำเข้า");
    import_->setToolTip("นำเข้ากระดาษคำตอบจากตาราง (.csv .xlsx) แบบทดสอบออนไลน์ หรือเครื่องตรวจ");
    placer.place(import_, 30, 430, 1530, 285);
    export_ = Button(recordBar_, "cmdExport", "ส่งออก");
    export_->setToolTip("ส่งออกคะแนน คำตอบ และผลวิเคราะห์เป็น .xlsx หรือ .csv");
    placer.place(export_, 1635, 430, 1575, 285);
    undo_ = Button(recordBar_, "cmdUndo", "ย้อนกลับ");
    placer.place(undo_, 3285, 430, 975, 285);
    redo_ = Button(recordBar_, "cmdRedo", "ทำซ้ำ");
    placer.place(redo_, 4335, 430, 975, 285);
    undoStack_ = new QUndoStack(this);
    recordBar_->hide();

    rawPrint_ = Button(window, "Command7", "พิมพ์ข้อมูล");
    rawPrint_->setFont(UiFont(9.75));
    Paint(rawPrint_, QColor(0, 192, 192));
    placer.place(rawPrint_, 7920, 7635, 1005, 405);
    rawPrint_->hide();
    wire();
}

SheetEditor::~SheetEditor() {
    for (SheetGrid* g : {sheetGrid_, keyGrid_})
        g->setCommandHost(nullptr);
    // It watches the grids' events: it goes before they do.
    delete gridPair_;
    gridPair_ = nullptr;
    // The grids' models read the views; let go of them before the views go.
    unbindGrids();
}

void SheetEditor::showScoresOutdated(bool outdated) {
    sheetGrid_->sheetModel()->setScoresOutdated(outdated);
}

void SheetEditor::wire() {
    // A cell written (typed, pasted, totalled) or the rows read again may
    // change what the scores and results stand on; greying the scores
    // alone changes nothing. A paste writes many cells: the notices are
    // looked at once it is done.
    const auto tell = [this] {
        if (dataChangeTold_) return;
        dataChangeTold_ = true;
        QTimer::singleShot(0, this, [this] {
            dataChangeTold_ = false;
            emit keyMayHaveChanged();
        });
    };
    for (SheetGrid* g : {sheetGrid_, keyGrid_}) {
        connect(g->sheetModel(), &QAbstractItemModel::dataChanged, this,
                [tell](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                    if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) tell();
                });
        connect(g->sheetModel(), &QAbstractItemModel::modelReset, this, tell);
    }
    connect(sheetGrid_, &SheetGrid::requestFocusKeyGrid, this,
            [this] { FocusIfPossible(keyGrid_); });
    connect(keyGrid_, &SheetGrid::requestFocusKeyGrid, this, [this] { FocusIfPossible(keyGrid_); });
    for (SheetGrid* g : {sheetGrid_, keyGrid_}) {
        connect(g, &SheetGrid::requestFocusSheetGrid, this,
                [this] { FocusIfPossible(sheetGrid_); });
        connect(g, &SheetGrid::requestFocusSubjectField, this, &SheetEditor::subjectFieldWanted);
        connect(g, &SheetGrid::dataError, this, [this](int code, const QString& text) {
            if (code == kFileReplacedCode)
                emit fileReplaced();
            else
                onDataError(text);
        });
        connect(g, &SheetGrid::fileBusy, this,
                [this] { warn(QString::fromUtf8(kAnswerWaitsForFile)); });
    }
    connect(sheetGrid_, &SheetGrid::currentCellChanged, this, [this] { showRecordPosition(); });

    // The navigation moves the grid's cell pointer, which moves the record.
    auto go = [this](auto where) {
        RecordSet* rs = session_.views().sheets.Recordset();
        if (!rs || sheetGrid_->isHidden()) return;
        int last = rs->recordCount() - 1;
        if (last < 0) return;
        int pos = std::clamp(where(sheetGrid_->currentRecordPosition(), last), 0, last);
        sheetGrid_->setCurrentRecordPosition(pos);
    };
    connect(navigationBar_, &DataNavBar::moveFirst, this, [go] { go([](int, int) { return 0; }); });
    connect(navigationBar_, &DataNavBar::movePrevious, this,
            [go] { go([](int p, int last) { return p < 0 ? last : p - 1; }); });
    connect(navigationBar_, &DataNavBar::moveNext, this,
            [go] { go([](int p, int last) { return p < 0 ? last : p + 1; }); });
    connect(navigationBar_, &DataNavBar::moveLast, this,
            [go] { go([](int, int last) { return last; }); });

    // Record bar.
    DataView& sheets = session_.views().sheets;
    connect(add_, &QPushButton::clicked, this,
            [this, &sheets] { runRecordCommand([&] { cmdAdd_Click(sheets, *sheetGrid_); }); });
    connect(delete_, &QPushButton::clicked, this, [this, &sheets] {
        runRecordCommand([&] { cmdDelete_Click(sheets, *sheetGrid_, *this); });
    });
    connect(refresh_, &QPushButton::clicked, this,
            [this, &sheets] { runRecordCommand([&] { cmdRefresh_Click(sheets, *sheetGrid_); }); });
    connect(update_, &QPushButton::clicked, this,
            [this, &sheets] { runRecordCommand([&] { cmdUpdate_Click(sheets, *sheetGrid_); }); });
    // The total: every sheet's score from the key.
    connect(total_, &QPushButton::clicked, this, [this] {
        runRecordCommand([this] {
            TotalScoresCommand(session_.views().sheets, *sheetGrid_, *this, [this] {
                if (const SessionError failed = session_.totalSheets())
                    throw std::runtime_error(failed.message);
            });
        });
    });
    connect(orderByNumber_, &QPushButton::clicked, this, [this, &sheets] {
        runRecordCommand([&] {
            OrderByCodeCommand(sheets, *sheetGrid_, [this] {
                if (const SessionError failed = session_.orderSheets(SheetOrder::ByCode))
                    throw std::runtime_error(failed.message);
            });
        });
    });
    connect(sheetGrid_, &SheetGrid::pasteRequested, this, [this](int position, int column) {
        pasteBlock(position, column, QGuiApplication::clipboard()->text());
    });
    // The history of the file's changes.
    // The buttons stay enabled, so that Tab reaches them; with nothing to
    // undo they beep and say so.
    auto followStack = [this] {
        undo_->setToolTip(undoStack_->canUndo() ? "ย้อนกลับ: " + undoStack_->undoText()
                                                : QString("ไม่มีสิ่งที่ย้อนกลับได้"));
        redo_->setToolTip(undoStack_->canRedo() ? "ทำซ้ำ: " + undoStack_->redoText()
                                                : QString("ไม่มีสิ่งที่ทำซ้ำได้"));
    };
    connect(undoStack_, &QUndoStack::indexChanged, this, followStack);
    connect(undoStack_, &QUndoStack::cleanChanged, this, followStack);
    followStack();
    connect(undo_, &QPushButton::clicked, this, &SheetEditor::undo);
    connect(redo_, &QPushButton::clicked, this, &SheetEditor::redo);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), window_), &QShortcut::activated, this,
            &SheetEditor::undo);
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}) {
        auto* s = new QShortcut(keys, window_);
        connect(s, &QShortcut::activated, this, &SheetEditor::redo);
    }
    session_.onStepRecorded = [this](const EditStep& step) {
        // A new step drops the steps undone before it, for good.
        for (int i = undoStack_->index(); i < undoStack_->count(); ++i)
            if (auto* dropped = dynamic_cast<const FileStep*>(undoStack_->command(i)))
                session_.forgetStep(dropped->stepId());
        undoStack_->push(new FileStep(*this, step));
    };
    session_.onHistoryCleared = [this] { undoStack_->clear(); };

    connect(import_, &QPushButton::clicked, this, &SheetEditor::onImportClicked);
    connect(export_, &QPushButton::clicked, this, &SheetEditor::onExportClicked);
    connect(rawPrint_, &QPushButton::clicked, this, &SheetEditor::rawPrintClicked);
}

void SheetEditor::addGridPair() {
    gridPair_ = new GridPair(keyGrid_, sheetGrid_, window_);
    connect(gridPair_, &GridPair::editPendingChanged, this, &SheetEditor::editPendingChanged);
    fitKeyGrid();
}

void SheetEditor::addToGrowth() {
    using A = GrowingLayout::Anchor;
    GrowingLayout& layout = placer_.layout();
    layout.add(keyGrid_, A::GrowWidth);
    layout.add(sheetGrid_, A::GrowWidth | A::GrowHeight);
    for (QWidget* bar : std::initializer_list<QWidget*>{navigationBar_, recordBar_, rawPrint_})
        layout.add(bar, A::MoveDown);
}

void SheetEditor::setFileControlsVisible(bool visible) {
    for (QWidget* w : std::initializer_list<QWidget*>{sheetGrid_, keyGrid_, navigationBar_,
                                                      recordBar_, rawPrint_})
        w->setVisible(visible);
}

void SheetEditor::showSheets() {
    DataView& sheets = session_.views().sheets;
    sheetGrid_->bind(sheets.isOpen() ? &sheets : nullptr, &session_.header());
    sheetGrid_->SetDbGrid();
}

void SheetEditor::showKey() {
    DataView& key = session_.views().key;
    keyGrid_->bind(key.isOpen() ? &key : nullptr, &session_.header());
    keyGrid_->SetDbGrid();
    fitKeyGrid();
}

void SheetEditor::unbindGrids() {
    sheetGrid_->bind(nullptr, nullptr);
    keyGrid_->bind(nullptr, nullptr);
}

void SheetEditor::fitKeyGrid() {
    // The key strip must show its header and the key row above the scroll
    // bar that forty or more item columns bring; with the Thai faces that
    // takes more than its place. The answer-sheet grid starts below it and
    // keeps its bottom.
    const int rowHeight = keyGrid_->verticalHeader()->defaultSectionSize();
    const int need = 2 * keyGrid_->frameWidth() +
                     std::max(keyGrid_->horizontalHeader()->sizeHint().height(), rowHeight) +
                     rowHeight + keyGrid_->horizontalScrollBar()->sizeHint().height();
    const int top = placer_.twips(2565);
    const int height = std::max(placer_.twips(735), need);
    GrowingLayout& layout = placer_.layout();
    layout.place(keyGrid_, QRect(placer_.twips(120), top, placer_.twips(11775), height));
    const int sheetsTop = std::max(placer_.twips(3270), top + height);
    const int sheetsBottom = placer_.twips(3270) + placer_.twips(4335);
    layout.place(sheetGrid_, QRect(placer_.twips(120), sheetsTop, placer_.twips(11775),
                                   sheetsBottom - sheetsTop));
    if (gridPair_) gridPair_->refresh();
}

void SheetEditor::showRecordPosition() {
    const RecordSet* rs = session_.views().sheets.Recordset();
    if (!rs) return;
    try {
        // The grid's pointer, which may stand on the new-record row where
        // the record set has no position.
        const int position =
            sheetGrid_->isHidden() ? rs->absolutePosition() : sheetGrid_->currentRecordPosition();
        navigationBar_->setCaption(RecordCaption(position, rs->recordCount()));
    } catch (...) {
        // The caption keeps its text when there is no position to show.
    }
}

void SheetEditor::installViewCallbacks() {
    session_.views().sheets.onReposition = [this] { showRecordPosition(); };
    session_.views().sheets.onError = [this](int, const std::string& text, int& response) {
        onDataError(Q(text));
        response = 0;
    };
}

void SheetEditor::onDataError(const QString& text) {
    prompts_.showMessage(kWarningTitle, "ข้อมูลผิดพลาด: " + text);
}

void SheetEditor::warn(const QString& text) {
    prompts_.showMessage(kWarningTitle, text);
}

bool SheetEditor::AskYesNo(const QString& title, const QString& text) {
    return prompts_.askYesNo(title, text);
}

void SheetEditor::BusyPointer(bool on) {
    Hourglass::set(on);
}

void SheetEditor::commitPendingEdits() {
    // A sheet half typed into the new-record row is stored only when the
    // teacher says so: the commands that read the sheets would count it.
    keepOrDropHalfTypedSheet();
    sheetGrid_->commitPendingEdit();
    keyGrid_->commitPendingEdit();
}

bool SheetEditor::storePendingEdits() {
    return sheetGrid_->storePendingEdits() && keyGrid_->storePendingEdits();
}

void SheetEditor::discardPendingEdits() {
    sheetGrid_->discardPendingEdits();
    keyGrid_->discardPendingEdits();
}

bool SheetEditor::storeOrDiscardPendingAnswers() {
    commitPendingEdits();
    for (;;) {
        const bool stored =
            (!sheetGrid_->hasPendingEdits() || sheetGrid_->sheetModel()->storePendingEdits()) &&
            (!keyGrid_->hasPendingEdits() || keyGrid_->sheetModel()->storePendingEdits());
        if (stored) return true;
        // Never closed silently with an answer not stored: wait and try
        // again, or throw it away knowingly.
        if (prompts_.askYesNo(kProgramTitle, QString::fromUtf8(kAskWaitForFile))) continue;
        if (prompts_.askOkCancel(kProgramTitle, QString::fromUtf8(kConfirmDiscardAnswers))) {
            discardPendingEdits();
            return true;
        }
        return false;
    }
}

void SheetEditor::ChangeStored(const QString& description) {
    session_.recordStep(description.toStdString());
}

void SheetEditor::DeleteSheet(RecordSet& rs) {
    // The grid's record set is the session's sheets view.
    if (&rs != session_.views().sheets.Recordset()) {
        rs.deleteCurrent();
        return;
    }
    if (SessionError e = session_.deleteCurrentSheet()) throw std::runtime_error(e.message);
}

void SheetEditor::undo() {
    if (!session_.views().sheets.isOpen()) return;
    commitPendingEdits();
    if (sheetGrid_->hasPendingEdits() || keyGrid_->hasPendingEdits()) return;
    if (undoStack_->canUndo()) {
        undoStack_->undo();
    } else {
        QApplication::beep();
        if (gridPair_) gridPair_->showMessage("ไม่มีสิ่งที่ย้อนกลับได้");
    }
}

void SheetEditor::redo() {
    if (!session_.views().sheets.isOpen()) return;
    commitPendingEdits();
    if (sheetGrid_->hasPendingEdits() || keyGrid_->hasPendingEdits()) return;
    if (undoStack_->canRedo()) {
        undoStack_->redo();
    } else {
        QApplication::beep();
        if (gridPair_) gridPair_->showMessage("ไม่มีสิ่งที่ทำซ้ำได้");
    }
}

bool SheetEditor::swapStep(long long stepId, const QString& description, bool undoing) {
    // The pointers stay where they were (on the same row and column).
    const int position = sheetGrid_->currentRecordPosition();
    const int sheetColumn = sheetGrid_->currentIndex().column();
    const int keyColumn = keyGrid_->currentIndex().column();
    const SessionError failed = undoing ? session_.undoStep(stepId) : session_.redoStep(stepId);
    showKey();
    showSheets();
    if (keyColumn > 0 && keyGrid_->model()->rowCount() > 0)
        keyGrid_->setCurrentIndex(keyGrid_->model()->index(0, keyColumn));
    if (sheetColumn > 0 && sheetGrid_->model()->rowCount() > 0)
        sheetGrid_->setCurrentIndex(sheetGrid_->model()->index(0, sheetColumn));
    if (position >= 0) sheetGrid_->setCurrentRecordPosition(position);
    showRecordPosition();
    if (failed) {
        // The stack no longer matches the file: it starts anew.
        QTimer::singleShot(0, undoStack_, &QUndoStack::clear);
        warn(QString(undoing ? "ย้อนกลับไม่ได้" : "ทำซ้ำไม่ได้") + "\n" + Q(failed.message));
        return false;
    }
    if (gridPair_) gridPair_->showMessage((undoing ? "ย้อนกลับแล้ว: " : "ทำซ้ำแล้ว: ") + description);
    emit fileContentReread();
    emit keyMayHaveChanged();
    return true;
}

bool SheetEditor::keepOrDropHalfTypedSheet() {
    QLineEdit* editor = sheetGrid_->halfTypedSheetEditor();
    if (!editor) return false;
    const QString typed = editor->text();
    const QModelIndex at = sheetGrid_->currentIndex();
    // Closed before the question: a box taking the focus would store it.
    sheetGrid_->dropPendingEdit();
    const bool drop =
        prompts_.askYesNo(kProgramTitle, "กระดาษคำตอบใหม่ที่พิมพ์ค้างไว้ (" + typed.trimmed() +
                                             ") ยังไม่ได้บันทึก\nทิ้งโดยไม่บันทึกหรือไม่ (ตอบ ไม่ เพื่อบันทึกไว้)");
    if (!drop) sheetGrid_->model()->setData(at, typed);
    return true;
}

void SheetEditor::runRecordCommand(const std::function<void()>& command) {
    if (!session_.views().sheets.isOpen()) return;
    try {
        command();
    } catch (const std::exception& e) {
        warn(QString::fromUtf8(e.what()));
    }
    // The commands re-read the view; its callbacks belong to the view and
    // stay, but the caption should follow the record now current.
    showRecordPosition();
}

void SheetEditor::onImportClicked() {
    importFrom(QString());
}

void SheetEditor::importFrom(const QString& source) {
    ExamViews& views = session_.views();
    if (!views.sheets.isOpen()) return;
    commitPendingEdits();
    ImportDialog dialog(session_.connection(), session_.fileName(), session_.header().nItem,
                        session_.header().nChoice, window_);
    if (!source.isEmpty()) dialog.setSource(source);
    if (prompts_.runDialog(dialog) != QDialog::Accepted) return;
    const SessionError failed = session_.rereadAfterImport();
    showKey();
    showSheets();
    if (failed) warn(Q(failed.message));
    showRecordPosition();
    emit keyMayHaveChanged();
}

void SheetEditor::onExportClicked() {
    if (!session_.views().sheets.isOpen()) return;
    commitPendingEdits();
    ExportDialog dialog(session_.connection(), session_.fileName(), session_.header().nItem,
                        window_);
    if (prompts_.runDialog(dialog) == QDialog::Accepted)
        prompts_.showInformation(kProgramTitle, "ส่งออกแล้ว: " + dialog.writtenPath());
}

void SheetEditor::pasteBlock(int position, int column, const QString& text) {
    RecordSet* rs = session_.views().sheets.Recordset();
    if (!rs || text.isEmpty()) return;
    if (position < 0) position = rs->recordCount();
    const Outcome<PasteOutcome> out =
        session_.pasteBlock(position, column, text.toStdString(), [this](int n) {
            return prompts_.askYesNo(kProgramTitle, QString("วางทับคำตอบที่มีอยู่ %1 ช่องหรือไม่").arg(n));
        });
    if (!out.ok()) {
        warn(Q(out.error.message));
    } else if (!out.value.errors.empty()) {
        warn("วางไม่ได้ ไม่ได้เปลี่ยนข้อมูลใดเลย:\n" + Q(ErrorSummary(out.value.errors)));
    } else if (!out.value.declined) {
        showSheets();
        sheetGrid_->setCurrentRecordPosition(position);
    }
    showRecordPosition();
}

void SheetEditor::onRawPrintClicked(const std::string& schoolName) {
    if (session_.sheetCount() == 0) return;
    sheetGrid_->commitPendingEdit();
    BusyCursor busy;
    // The session reads the sheets in code order, and the grid shows them so.
    Outcome<RawSheetsInOrder> data = session_.rawSheets();
    sheetGrid_->bind(&session_.views().sheets, &session_.header());
    sheetGrid_->SetDbGrid();
    if (data.error.kind == SessionErrorKind::NoSheets) return;
    try {
        if (data.error) throw std::runtime_error(data.error.message);
        auto prn = printTargets_.printer(DerivedPath(session_.fileName(), "raw.pdf"));
        TestHeader header = session_.header();
        RawPrint(*prn, header, schoolName, data.value.key, *data.value.sheets,
                 *prompts_.jobProgress());
        TellPrinterNotice(*prn, prompts_);
    } catch (const std::exception& e) {
        warn(QString::fromUtf8(e.what()));
    }
}

} // namespace ia
