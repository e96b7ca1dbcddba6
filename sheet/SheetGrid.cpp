// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/SheetGrid.h"

#include "sheet/SheetModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>

#include <memory>

namespace ia {

namespace {

const char* const kCodeCaption = "เลขที่/รหัส";
const char* const kKeyCodeCaption = "คำตอบ";
// The sizes of the code fields (Code of the sheets, FKey of the key row).
constexpr int kCodeLength = 20;
constexpr int kKeyCodeLength = 5;

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_AltGr || key == Qt::Key_Meta;
}

// Presses and releases of one physical key carry the same scan code even
// when Shift changes the Qt key between them ("1" pressed, "!" released).
quint64 KeyIdentity(const QKeyEvent* e) {
    if (e->nativeScanCode() != 0) return (quint64{1} << 32) | e->nativeScanCode();
    return static_cast<quint32>(e->key());
}

// In an answer cell the digit-row keys type their digits under any layout,
// and Thai digits count as the ASCII ones: the press the editor should see
// instead of `e`, or null when `e` is fine as it is.
std::unique_ptr<QKeyEvent> DigitPress(const QKeyEvent* e) {
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return {};
    int d = -1;
    if (!e->modifiers().testFlag(Qt::KeypadModifier)) d = DigitRowDigit(e->nativeScanCode());
    if (d < 0 && e->text().size() == 1 && e->text()[0].unicode() >= 0x0E50)
        d = DigitValue(e->text()[0]);
    if (d < 0) return {};
    const QString digit(QChar(u'0' + d));
    if (e->text() == digit && e->key() == Qt::Key_0 + d) return {};
    return std::make_unique<QKeyEvent>(
        QEvent::KeyPress, Qt::Key_0 + d, e->modifiers() & ~Qt::ShiftModifier, e->nativeScanCode(),
        e->nativeVirtualKey(), e->nativeModifiers(), digit, e->isAutoRepeat(), e->count());
}

// Empty, or one digit 0 .. nChoice (Thai digits count as theirs).
bool IsAnswerText(const QString& text, int nChoice) {
    if (text.isEmpty()) return true;
    return text.size() == 1 && DigitValue(text[0]) >= 0 && DigitValue(text[0]) <= nChoice;
}

// Both grids keep a current cell; only the grid that the keys go to shows it
// in the highlight colour, the other in a pale shade of it.
void ShowFocus(QAbstractItemView* view, bool focused) {
    const QPalette app = QApplication::palette(view);
    QPalette p = view->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        const QColor hi = app.color(group, QPalette::Highlight);
        const QColor base = app.color(group, QPalette::Base);
        const QColor pale((hi.red() + 3 * base.red()) / 4, (hi.green() + 3 * base.green()) / 4,
                          (hi.blue() + 3 * base.blue()) / 4);
        p.setColor(group, QPalette::Highlight, focused ? hi : pale);
        p.setColor(group, QPalette::HighlightedText,
                   app.color(group, focused ? QPalette::HighlightedText : QPalette::Text));
    }
    view->setPalette(p);
}

} // namespace

// Sends the editor's keys through the grid's rules before the line edit sees
// them, and its key releases to the grid's key-up handler.
class SheetGrid::Delegate : public QStyledItemDelegate {
  public:
    explicit Delegate(SheetGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* le = qobject_cast<QLineEdit*>(w)) {
            le->setFrame(false);
            if (index.column() == 0) {
                // No more than the field holds can be typed, so nothing
                // typed is thrown away when the cell is left.
                const int most = grid_->kind() == GridKind::Sheets ? kCodeLength : kKeyCodeLength;
                le->setMaxLength(most);
                le->setToolTip(QString::fromUtf8("ยาวได้ไม่เกิน %1 ตัวอักษร").arg(most));
            }
            grid_->editor_ = le;
            // The view takes the delegate off the editor when it closes it,
            // but the release of the key that closed it (Enter) still comes
            // to the editor.
            le->installEventFilter(grid_);
        }
        return w;
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        // A paste, a drop or an input method puts text into an answer cell
        // without the key press that checks it; what the engine would
        // refuse, or what no key could have left there, leaves the stored
        // answer as it was.
        auto* le = qobject_cast<QLineEdit*>(editor);
        const TestHeader* h = grid_->header();
        if (le && h && index.column() >= 1 && index.column() <= h->nItem &&
            le->text() != index.data(Qt::EditRole).toString() &&
            !IsAnswerText(le->text(), h->nChoice)) {
            grid_->refuseAnswerKey();
            le->setText(index.data(Qt::EditRole).toString());
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* le = qobject_cast<QLineEdit*>(object);
        if (le && event->type() == QEvent::KeyPress) {
            if (grid_->editorKeyPress(le, static_cast<QKeyEvent*>(event))) return true;
        } else if (le && event->type() == QEvent::KeyRelease) {
            grid_->KeyUp(static_cast<QKeyEvent*>(event));
            return true;
        } else if (le && event->type() == QEvent::FocusOut && le == grid_->halfTypedSheetEditor()) {
            // A sheet begun on the new-record row is not stored because the
            // mouse went to another panel: the row would look stored only
            // once the grid was looked at again, and the question on closing
            // would no longer find it. A click into the grid stores it there.
            QWidget* now = QApplication::focusWidget();
            if (now && now != grid_ && !grid_->isAncestorOf(now)) return false;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

  private:
    SheetGrid* grid_;
};

SheetGrid::SheetGrid(GridKind kind, QWidget* parent) : QTableView(parent), kind_(kind) {
    model_ = new SheetModel(kind, this);
    setModel(model_);
    delegate_ = new Delegate(this);
    setItemDelegate(delegate_);

    setFont(QFont(QStringLiteral("MS Sans Serif")));
    setTabKeyNavigation(false);
    setWordWrap(false);
    setEditTriggers(AnyKeyPressed | DoubleClicked | EditKeyPressed);
    // Extended, so that a click on a record selector selects the whole row
    // (the row that the Delete key then deletes).
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectItems);
    horizontalHeader()->setVisible(true);
    horizontalHeader()->setMinimumSectionSize(4); // item columns are narrow
    verticalHeader()->setVisible(true);
    // Fixed row heights keep scrolling through ten thousand sheets cheap.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("\u25B6")) +
                                      10);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    model_->onDataError = [this](int code, const QString& text) {
        lastCommitOk_ = false;
        // Reported once the editor has closed, so that a message box does not
        // open in the middle of the commit.
        QTimer::singleShot(0, this, [this, code, text] { emit dataError(code, text); });
    };
    model_->onCellStored = [this](int row, int column, bool newSheet) {
        if (!host_) return;
        const QString code = model_->data(model_->index(row, 0), Qt::EditRole).toString().trimmed();
        QString description;
        if (kind_ == GridKind::Key)
            description = column == 0 ? QString::fromUtf8("แก้แถวเฉลย")
                                      : QString::fromUtf8("แก้เฉลยข้อ %1").arg(column);
        else if (newSheet)
            description = QString::fromUtf8("เพิ่มกระดาษคำตอบ %1").arg(code).trimmed();
        else if (column == 0)
            description = QString::fromUtf8("แก้เลขที่/รหัสเป็น %1").arg(code);
        else
            description = QString::fromUtf8("แก้คำตอบข้อ %1 ของเลขที่ %2").arg(column).arg(code);
        host_->ChangeStored(description);
    };
    model_->onFileBusy = [this] { QTimer::singleShot(0, this, [this] { emit fileBusy(); }); };
    model_->busyPointer = [this](bool on) {
        if (host_) host_->BusyPointer(on);
    };
    connect(model_, &SheetModel::recordSetReplaced, this, [this] {
        bind(view_, header_);
        SetDbGrid();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        auto inside = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
        if (inside(now) && !inside(old)) held_.clear();
        if (inside(now) != inside(old)) ShowFocus(this, inside(now));
    });
    ShowFocus(this, false);
}

SheetGrid::~SheetGrid() = default;

void SheetGrid::bind(DataView* view, const TestHeader* header) {
    if (editor_) closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
    view_ = view;
    header_ = header;
    model_->bind(view);
    if (model_->rowCount() > 0 && model_->columnCount() > 0) {
        RecordSet* rs = model_->recordSet();
        int row = rs ? rs->absolutePosition() : -1;
        if (row < 0) row = 0;
        setCurrentIndex(model_->index(row, 0));
    }
}

void SheetGrid::SetDbGrid() {
    model_->clearColumnLayout();
    if (!header_) return;
    const int dpi = logicalDpiX();
    auto pixels = [dpi](int twips) { return qRound(twips * dpi / 1440.0); };
    const int nItem = header_->nItem;
    const int columns = model_->columnCount();
    const bool sheets = kind_ == GridKind::Sheets;

    if (columns > 0) {
        model_->setColumnLayout(0, QString::fromUtf8(sheets ? kCodeCaption : kKeyCodeCaption), {});
        setColumnWidth(0, pixels(900));
    }
    for (int i = 1; i <= nItem && i < columns; ++i) {
        model_->setColumnLayout(i, QString::number(i), Qt::AlignCenter);
        setColumnWidth(i, pixels(300));
    }
    const int score = nItem + 1;
    if (score >= 0 && score < columns) {
        model_->setColumnLayout(score,
                                QString::fromUtf8(sheets ? kScoreCaptionSheets : kScoreCaptionKey),
                                Qt::AlignCenter);
        setColumnWidth(score, pixels(700));
    }
    // The names come after the fields in the model (every field keeps its
    // column number) and are shown beside the code, in both grids alike so
    // that the key stays above the answers.
    QHeaderView* top = horizontalHeader();
    const int name = model_->nameColumn();
    if (name >= 0 && name < columns) {
        model_->setColumnLayout(name, sheets ? QString::fromUtf8("ชื่อ") : QString(),
                                Qt::AlignLeft | Qt::AlignVCenter);
        setColumnWidth(name, pixels(2800));
        if (top->visualIndex(name) != 1) top->moveSection(top->visualIndex(name), 1);
    } else if (top->sectionsMoved()) {
        for (int c = 0; c < top->count(); ++c)
            if (top->visualIndex(c) != c) top->moveSection(top->visualIndex(c), c);
    }
    viewport()->update();
}

bool SheetGrid::commitPendingEdit() {
    QLineEdit* ed = editor_;
    if (!ed) return true;
    lastCommitOk_ = true;
    commitData(ed);
    // Storing may have bound the rows again, which lets the editor go: only
    // an editor the view still holds is closed (Qt warns of any other).
    if (editor_ == ed) closeEditor(ed, QAbstractItemDelegate::NoHint);
    return lastCommitOk_;
}

QLineEdit* SheetGrid::halfTypedSheetEditor() const {
    QLineEdit* ed = editor_;
    if (!ed || ed->text().trimmed().isEmpty()) return nullptr;
    return model_->isNewRecordRow(currentIndex().row()) ? ed : nullptr;
}

void SheetGrid::dropPendingEdit() {
    if (QLineEdit* ed = editor_) closeEditor(ed, QAbstractItemDelegate::RevertModelCache);
}

bool SheetGrid::storePendingEdits() {
    if (model_->storePendingEdits()) return true;
    emit fileBusy();
    return false;
}

bool SheetGrid::hasPendingEdits() const {
    return model_->hasPendingEdits();
}

void SheetGrid::discardPendingEdits() {
    model_->discardPendingEdits();
}

bool SheetGrid::pointerMayLeave() {
    return !model_->hasPendingEdits() || model_->storePendingEdits();
}

QModelIndex SheetGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (!pointerMayLeave()) return currentIndex();
    return QTableView::moveCursor(action, modifiers);
}

int SheetGrid::currentRecordPosition() const {
    const int row = currentIndex().row();
    return row >= 0 && row < model_->recordCount() ? row : -1;
}

void SheetGrid::setCurrentRecordPosition(int position) {
    const int count = model_->recordCount();
    int row = position;
    if (position < 0 || position >= count) row = model_->hasNewRecordRow() ? count : count - 1;
    if (row < 0 || model_->columnCount() == 0) return;
    int column = std::max(currentIndex().column(), 0);
    QModelIndex idx = model_->index(row, column);
    setCurrentIndex(idx);
    scrollTo(idx);
    // Removing a row may already have moved the pointer to this row, with
    // the record set following it elsewhere.
    if (RecordSet* rs = model_->recordSet()) rs->moveTo(row);
}

void SheetGrid::reloadRows() {
    if (editor_) closeEditor(editor_, QAbstractItemDelegate::RevertModelCache);
    const int column = std::max(currentIndex().column(), 0);
    model_->reloadRows();
    RecordSet* rs = model_->recordSet();
    if (model_->rowCount() > 0 && model_->columnCount() > 0) {
        int row = rs ? rs->absolutePosition() : -1;
        if (row < 0) row = model_->hasNewRecordRow() ? model_->recordCount() : 0;
        setCurrentIndex(model_->index(row, column));
    }
}

void SheetGrid::notePress(const QKeyEvent* e) {
    if (!IsModifierKey(e->key()))
        for (auto it = held_.begin(); it != held_.end(); ++it)
            it.value() = true;
    const quint64 id = KeyIdentity(e);
    if (!held_.contains(id)) held_.insert(id, false);
}

// Whether the release belongs to a press this grid received; a modifier
// counts only when it was pressed and released alone.
bool SheetGrid::takePress(const QKeyEvent* e) {
    auto it = held_.find(KeyIdentity(e));
    if (it == held_.end()) return false;
    const bool chorded = it.value();
    held_.erase(it);
    return !(chorded && IsModifierKey(e->key()));
}

// A key that fires a shortcut (Alt+ร presses "&รวมคะแนน") never arrives as a
// press here: the modifier held for it was not pressed alone.
void SheetGrid::noteShortcut(const QKeyEvent* e) {
    if (IsModifierKey(e->key())) return;
    for (auto it = held_.begin(); it != held_.end(); ++it)
        it.value() = true;
}

bool SheetGrid::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) noteShortcut(static_cast<QKeyEvent*>(e));
    return QTableView::event(e);
}

void SheetGrid::keyPressEvent(QKeyEvent* e) {
    notePress(e);
    const QModelIndex cur = currentIndex();
    const Qt::KeyboardModifiers mods =
        e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (e->key() == Qt::Key_Delete && mods == Qt::NoModifier && cur.isValid() &&
        selectionModel()->isRowSelected(cur.row(), QModelIndex())) {
        held_.remove(KeyIdentity(e)); // the release belongs to the deletion
        deleteSelectedRow();
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        e->accept(); // the release moves the pointer
        return;
    }
    if (kind_ == GridKind::Sheets && cur.isValid() && e->matches(QKeySequence::Paste)) {
        held_.remove(KeyIdentity(e));
        commitPendingEdit();
        emit pasteRequested(currentRecordPosition(), cur.column());
        e->accept();
        return;
    }
    if (answerKeyPress(nullptr, e)) return;
    if (cur.isValid() && cur.column() > 0) {
        if (auto digit = DigitPress(e)) {
            QTableView::keyPressEvent(digit.get());
            e->setAccepted(digit->isAccepted());
            return;
        }
    }
    QTableView::keyPressEvent(e);
}

bool SheetGrid::editorKeyPress(QLineEdit* editor, QKeyEvent* e) {
    if (substituting_) return false;
    notePress(e);
    const int column = currentIndex().column();
    const bool ctrlOrAlt = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    switch (e->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (ctrlOrAlt) return false;
        // Tab leaves the grid; it never walks the cells.
        held_.remove(KeyIdentity(e));
        commitPendingEdit();
        focusNextPrevChild(e->key() == Qt::Key_Tab && !(e->modifiers() & Qt::ShiftModifier));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        commitPendingEdit();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Stored first, so that an answer the file refuses for now keeps
        // the pointer on its cell.
        commitPendingEdit();
        if (!model_->hasPendingEdits()) QTableView::keyPressEvent(e);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
        if (column == 0) return false; // the caret moves within the code
        commitPendingEdit();
        if (!model_->hasPendingEdits()) QTableView::keyPressEvent(e);
        return true;
    default:
        break;
    }
    if (answerKeyPress(editor, e)) return true;
    if (column > 0) {
        if (auto digit = DigitPress(e)) {
            substituting_ = true;
            QCoreApplication::sendEvent(editor, digit.get());
            substituting_ = false;
            return true;
        }
    }
    return false;
}

bool SheetGrid::isAnswerColumn(int column) const {
    return header_ && column >= 1 && column <= header_->nItem && column < model_->columnCount() &&
           !model_->isScoreColumn(column);
}

void SheetGrid::refuseAnswerKey() {
    QApplication::beep();
    emit answerRefused(AcceptedAnswersText(header_ ? header_->nChoice : 0));
}

bool SheetGrid::answerKeyPress(QLineEdit* editor, QKeyEvent* e) {
    const QModelIndex cur = currentIndex();
    if (!cur.isValid() || !isAnswerColumn(cur.column())) return false;
    AnswerPressInput in;
    in.qtKey = e->key();
    in.modifiers = e->modifiers();
    in.text = e->text();
    // The digit row gives its digit under any layout; a Thai digit is its digit.
    if (auto digit = DigitPress(e)) in.text = digit->text();
    in.nChoice = header_->nChoice;
    in.editorOpen = editor != nullptr;
    if (editor)
        in.editorLengthAfter =
            editor->text().size() - editor->selectedText().size() + in.text.size();
    switch (AnswerCellPress(in)) {
    case AnswerPress::PassOn:
        return false;
    case AnswerPress::Refuse:
        // A held key goes on repeating: its last release still belongs to
        // the press that was taken.
        if (!e->isAutoRepeat()) held_.remove(KeyIdentity(e));
        refuseAnswerKey();
        e->accept();
        return true;
    case AnswerPress::Empty:
        held_.remove(KeyIdentity(e));
        if (!model_->data(cur, Qt::EditRole).toString().isEmpty()) {
            lastCommitOk_ = true;
            model_->setData(cur, QString());
        }
        e->accept();
        return true;
    }
    return false;
}

bool SheetGrid::eventFilter(QObject* object, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && qobject_cast<QLineEdit*>(object))
        noteShortcut(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::KeyRelease && qobject_cast<QLineEdit*>(object)) {
        KeyUp(static_cast<QKeyEvent*>(event));
        return true;
    }
    return QTableView::eventFilter(object, event);
}

void SheetGrid::keyReleaseEvent(QKeyEvent* e) {
    KeyUp(e);
    e->accept();
}

void SheetGrid::KeyUp(QKeyEvent* e) {
    if (e->isAutoRepeat() || !takePress(e)) return;
    const QModelIndex cur = currentIndex();
    if (!cur.isValid() || !header_) return;
    if (!(model_->flags(cur) & Qt::ItemIsEditable)) return; // the computed score

    KeyUpInput in;
    in.keyCode = VirtualKeyCode(e->key(), e->modifiers(), e->nativeScanCode(), e->text());
    in.anyModifier = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    in.column = cur.column();
    in.caption = model_->caption(cur.column());
    in.nItem = header_->nItem;
    in.nChoice = header_->nChoice;
    in.cellText = editor_ ? editor_->text() : model_->data(cur, Qt::EditRole).toString();
    in.topRow = rowAt(0) == cur.row();

    const KeyUpAction action = GridKeyUp(kind_, in);
    switch (action.kind) {
    case KeyUpAction::Nothing:
        // The last answer of a row keeps the pointer; once its key is
        // accepted it is written like every other answer, so that the file
        // holds what the screen shows.
        if (QLineEdit* ed = editor_; ed && cur.column() >= 1 && cur.column() <= header_->nItem &&
                                     !ed->text().isEmpty() &&
                                     IsAnswerText(ed->text(), header_->nChoice) &&
                                     ed->text() != model_->data(cur, Qt::EditRole).toString()) {
            lastCommitOk_ = true;
            commitData(ed);
        }
        break;
    case KeyUpAction::MoveToColumn:
        // The answer is stored before the pointer moves on, so that one the
        // file refuses for now keeps the pointer on its cell.
        // A retry right after a refused commit would only wait again.
        if (editor_) {
            commitPendingEdit();
            if (model_->hasPendingEdits()) break;
        } else if (!pointerMayLeave()) {
            break;
        }
        if (action.column < model_->columnCount()) {
            QModelIndex next = model_->index(cur.row(), action.column);
            setCurrentIndex(next);
            scrollTo(next);
        }
        break;
    case KeyUpAction::FocusKeyGrid:
        emit requestFocusKeyGrid();
        break;
    case KeyUpAction::FocusSheetGrid:
        emit requestFocusSheetGrid();
        break;
    case KeyUpAction::FocusSubjectField:
        emit requestFocusSubjectField();
        break;
    }
}

void SheetGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (current.row() != previous.row()) {
        if (RecordSet* rs = model_->recordSet(); rs && current.isValid())
            rs->moveTo(current.row()); // the new-record row: no current record
        model_->setCurrentRow(current.row());
        if (view_) view_->NotifyReposition();
    }
    emit currentCellChanged();
}

void SheetGrid::reset() {
    // The view lets go of every editor when the rows are read anew.
    editor_ = nullptr;
    QTableView::reset();
}

void SheetGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // The pointer never walks on from the edited cell by itself.
    if (hint == QAbstractItemDelegate::EditNextItem ||
        hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    if (editor == editor_) editor_ = nullptr;
    QTableView::closeEditor(editor, hint);
}

void SheetGrid::deleteSelectedRow() {
    if (kind_ == GridKind::Key) {
        QApplication::beep(); // the key row stays
        return;
    }
    const int row = currentIndex().row();
    if (!view_ || !host_ || row < 0 || row >= model_->recordCount()) return;
    DeleteCurrentSheet(*view_, *this, *host_);
}

} // namespace ia
