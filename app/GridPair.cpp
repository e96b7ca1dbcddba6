// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GridPair.h"

#include "examfile/Engine.h"
#include "sheet/SheetGrid.h"
#include "sheet/SheetModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <unordered_map>

namespace ia {

namespace {

// Pale amber: the current item's column, seen through the cells.
const QColor kBandColour(255, 190, 0, 55);

// Item columns are narrower than three digits in the grid's face; the
// captions are drawn without the style's margins in a narrowed face, and the
// current item's caption in bold.
class CompactHeader : public QHeaderView {
  public:
    explicit CompactHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
        setSectionsClickable(true);
        setHighlightSections(true);
        setMinimumSectionSize(4);
    }

    void setCaptionFont(const QFont& f) {
        captionFont_ = f;
        viewport()->update();
    }
    void setMarkedSection(int section) {
        if (section == marked_) return;
        marked_ = section;
        viewport()->update();
    }

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (!rect.isValid()) return;
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = logicalIndex;
        opt.text.clear();
        if (logicalIndex == marked_) opt.state |= QStyle::State_Sunken;
        style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
        const QString text =
            model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
        painter->save();
        QFont f = captionFont_;
        f.setBold(logicalIndex == marked_);
        painter->setFont(f);
        painter->setClipRect(rect.adjusted(1, 0, -1, 0));
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->drawText(rect.adjusted(1, 0, -1, 0), Qt::AlignCenter, text);
        painter->restore();
    }
    QSize sectionSizeFromContents(int logicalIndex) const override {
        QSize s = QHeaderView::sectionSizeFromContents(logicalIndex);
        s.setHeight(std::max(s.height(), QFontMetrics(captionFont_).height() + 6));
        return s;
    }

  private:
    QFont captionFont_;
    int marked_ = -1;
};

} // namespace

// The current item's column, drawn over the grid's cells.
class ColumnBand : public QWidget {
  public:
    explicit ColumnBand(QWidget* viewport) : QWidget(viewport) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setObjectName("currentItemColumn");
        hide();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), kBandColour);
        p.setPen(QColor(230, 150, 0));
        p.drawLine(0, 0, 0, height());
        p.drawLine(width() - 1, 0, width() - 1, height());
    }
};

namespace {

QTableView* MakeFrozenColumn(SheetGrid* grid) {
    auto* v = new QTableView(grid);
    v->setObjectName(grid->objectName() + "Code");
    v->setModel(grid->model());
    v->setSelectionModel(grid->selectionModel());
    v->setFocusPolicy(Qt::NoFocus);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->verticalHeader()->hide();
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    v->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    v->setFrameShape(QFrame::NoFrame);
    v->setSelectionMode(grid->selectionMode());
    v->setSelectionBehavior(grid->selectionBehavior());
    v->setWordWrap(false);
    v->horizontalHeader()->setSectionsClickable(false);
    v->setAutoScroll(false);
    QObject::connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, v->verticalScrollBar(),
                     &QScrollBar::setValue);
    v->hide();
    return v;
}

} // namespace

GridPair::GridPair(SheetGrid* keyGrid, SheetGrid* sheetGrid, QObject* parent)
    : QObject(parent), key_(keyGrid), sheets_(sheetGrid) {
    for (SheetGrid* g : {key_, sheets_}) {
        g->setHorizontalHeader(new CompactHeader(g));
        // Pixel steps, so that both grids can stand at the same place and the
        // frozen code column never hides half a cell.
        g->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
        connect(g->horizontalScrollBar(), &QScrollBar::valueChanged, this,
                [this, g](int value) { syncScroll(g, value); });
        connect(g->horizontalScrollBar(), &QScrollBar::rangeChanged, this,
                [this] { placeOverlays(); });
        connect(g, &SheetGrid::currentCellChanged, this, [this, g] {
            keepCurrentClearOfFrozen(g);
            placeOverlays();
            message_.clear();
            updateStatus();
        });
        connect(g, &SheetGrid::answerRefused, this, &GridPair::showMessage);
        g->installEventFilter(this);
        g->viewport()->installEventFilter(this);
        connect(g->sheetModel(), &QAbstractItemModel::modelReset, this,
                [this] { scheduleRefresh(); });
        connect(g->sheetModel(), &QAbstractItemModel::headerDataChanged, this,
                [this](Qt::Orientation o) {
                    if (o == Qt::Horizontal) scheduleRefresh();
                });
        connect(g->sheetModel(), &QAbstractItemModel::rowsInserted, this,
                [this] { updateStatus(); });
        connect(g->sheetModel(), &QAbstractItemModel::rowsRemoved, this,
                [this] { updateStatus(); });
        connect(g->sheetModel(), &QAbstractItemModel::dataChanged, this,
                [this] { updateStatus(); });
    }
    frozenKey_ = MakeFrozenColumn(key_);
    frozenSheets_ = MakeFrozenColumn(sheets_);
    for (QTableView* v : {frozenKey_, frozenSheets_})
        v->viewport()->installEventFilter(this);
    bandKey_ = new ColumnBand(key_->viewport());
    bandSheets_ = new ColumnBand(sheets_->viewport());

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (SheetGrid* g : {key_, sheets_})
            if (now && (now == g || g->isAncestorOf(now))) lastFocused_ = g;
        frozenKey_->setPalette(key_->palette());
        frozenSheets_->setPalette(sheets_->palette());
        placeOverlays();
    });

    // The status line sits beside the answer grid's scroll bar, which is
    // always there so that the line is too.
    status_ = new QLabel(sheets_);
    status_->setObjectName("gridStatus");
    status_->setTextFormat(Qt::PlainText);
    status_->setIndent(4);
    {
        // A little smaller than the cells: the line shares the scroll bar's
        // height.
        QFont f = sheets_->font();
        f.setPointSizeF(f.pointSizeF() * 0.9);
        status_->setFont(f);
    }
    sheets_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    sheets_->addScrollBarWidget(status_, Qt::AlignLeft);

    search_ = new QLineEdit(sheets_);
    search_->setObjectName("sheetSearch");
    search_->setPlaceholderText("ค้นหาเลขที่/รหัส แล้วกด Enter");
    search_->setClearButtonEnabled(true);
    search_->hide();
    search_->installEventFilter(this);

    auto shortcut = [this](QKeySequence keys, auto slot) {
        auto* s = new QShortcut(keys, sheets_);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), [this] { goToNextSheet(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), [this] { goToNextSheet(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { openSearch(); });
    refresh();
}

QTableView* GridPair::frozenColumn(SheetGrid* grid) const {
    return grid == key_ ? frozenKey_ : grid == sheets_ ? frozenSheets_ : nullptr;
}

void GridPair::scheduleRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        refresh();
    });
}

void GridPair::refresh() {
    for (SheetGrid* g : {key_, sheets_})
        fitCaptions(g);
    for (auto [g, v] : {std::pair{key_, frozenKey_}, std::pair{sheets_, frozenSheets_}}) {
        const int columns = g->model()->columnCount();
        for (int c = 1; c < columns; ++c)
            v->setColumnHidden(c, true);
        if (columns > 0) {
            v->setColumnHidden(0, false);
            v->setColumnWidth(0, g->columnWidth(0));
        }
        v->setFont(g->font());
        v->verticalHeader()->setDefaultSectionSize(g->verticalHeader()->defaultSectionSize());
        v->setPalette(g->palette());
        v->verticalScrollBar()->setValue(g->verticalScrollBar()->value());
    }
    // The key grid's cells lie over the answer columns only when both
    // viewports are equally wide.
    key_->setVerticalScrollBarPolicy(sheets_->verticalScrollBar()->maximum() > 0
                                         ? Qt::ScrollBarAlwaysOn
                                         : Qt::ScrollBarAlwaysOff);
    syncScroll(sheets_, sheets_->horizontalScrollBar()->value());
    placeOverlays();
    updateStatus();
}

void GridPair::fitCaptions(SheetGrid* grid) {
    auto* header = dynamic_cast<CompactHeader*>(grid->horizontalHeader());
    if (!header) return;
    QFont f = grid->font();
    const TestHeader* h = grid->header();
    const int columns = grid->model()->columnCount();
    if (h && h->nItem >= 1 && columns > 1) {
        const QString widest = QString(QString::number(h->nItem).size(), QChar('8'));
        const int room = grid->columnWidth(1) - 2;
        // Narrow the face first, then make it smaller, until the widest
        // number fits.
        for (int stretch = 100; stretch >= 60; stretch -= 5) {
            f.setStretch(stretch);
            if (QFontMetrics(f).horizontalAdvance(widest) <= room) break;
        }
        while (QFontMetrics(f).horizontalAdvance(widest) > room && f.pointSizeF() > 5)
            f.setPointSizeF(f.pointSizeF() - 0.5);
    }
    header->setCaptionFont(f);
}

void GridPair::syncScroll(SheetGrid* from, int value) {
    if (syncing_) return;
    syncing_ = true;
    SheetGrid* other = from == key_ ? sheets_ : key_;
    other->horizontalScrollBar()->setValue(value);
    syncing_ = false;
    placeOverlays();
}

void GridPair::keepCurrentClearOfFrozen(SheetGrid* grid) {
    const QModelIndex cur = grid->currentIndex();
    QScrollBar* bar = grid->horizontalScrollBar();
    if (!cur.isValid() || cur.column() == 0 || bar->value() == 0) return;
    const int left = grid->columnViewportPosition(cur.column());
    const int frozen = grid->columnWidth(0);
    if (left < frozen) bar->setValue(bar->value() - (frozen - left));
}

int GridPair::currentItemColumn() const {
    SheetGrid* g = lastFocused_ ? lastFocused_.data() : sheets_;
    const TestHeader* h = g->header();
    const int c = g->currentIndex().column();
    if (!h || c < 1 || c > h->nItem) return -1;
    return c;
}

void GridPair::placeOverlays() {
    const int item = currentItemColumn();
    for (auto [g, v, band] : {std::tuple{key_, frozenKey_, bandKey_},
                              std::tuple{sheets_, frozenSheets_, bandSheets_}}) {
        const bool scrolled =
            g->horizontalScrollBar()->value() > 0 && g->model()->columnCount() > 0;
        if (scrolled) {
            const int x = g->frameWidth() + g->verticalHeader()->width();
            const int y = g->frameWidth();
            const int w = g->columnWidth(0) + (g->showGrid() ? 1 : 0);
            v->horizontalHeader()->setFixedHeight(g->horizontalHeader()->height());
            v->setGeometry(x, y, w, g->horizontalHeader()->height() + g->viewport()->height());
            v->verticalScrollBar()->setValue(g->verticalScrollBar()->value());
            v->show();
            v->raise();
        } else {
            v->hide();
        }
        if (auto* header = dynamic_cast<CompactHeader*>(g->horizontalHeader()))
            header->setMarkedSection(item);
        if (item >= 0 && item < g->model()->columnCount()) {
            band->setGeometry(g->columnViewportPosition(item), 0, g->columnWidth(item),
                              g->viewport()->height());
            band->show();
            band->lower();
        } else {
            band->hide();
        }
    }
    search_->setGeometry(
        sheets_->frameWidth() + sheets_->verticalHeader()->width() + 2,
        sheets_->viewport()->geometry().bottom() - search_->sizeHint().height() - 2,
        std::min(sheets_->viewport()->width() - 4, 260), search_->sizeHint().height());
}

void GridPair::updateStatus() {
    SheetModel* m = sheets_->sheetModel();
    const TestHeader* h = sheets_->header();
    if (!h || m->columnCount() == 0) {
        status_->clear();
        return;
    }
    const int sheets = m->recordCount();
    const QModelIndex cur = sheets_->currentIndex();
    QStringList parts;
    if (!message_.isEmpty()) parts << message_;
    if (cur.isValid() && m->isNewRecordRow(cur.row())) {
        parts << "แถวใหม่";
    } else if (cur.isValid()) {
        const QString code = m->data(m->index(cur.row(), 0)).toString().trimmed();
        parts << "เลขที่/รหัส " + (code.isEmpty() ? QString("-") : code);
        int answered = 0;
        for (int c = 1; c <= h->nItem && c < m->columnCount(); ++c)
            if (!m->data(m->index(cur.row(), c)).toString().trimmed().isEmpty()) ++answered;
        parts << QString("ตอบแล้ว %1/%2 ข้อ").arg(answered).arg(h->nItem);
    }
    if (cur.isValid() && cur.column() >= 1 && cur.column() <= h->nItem)
        parts << QString("ข้อ %1").arg(cur.column());
    parts << QString("กระดาษคำตอบ %1 ฉบับ").arg(sheets);
    status_->setText(parts.join("   "));
    status_->setMinimumWidth(std::min(
        sheets_->width() / 2, status_->fontMetrics().horizontalAdvance(status_->text()) + 12));
}

void GridPair::showMessage(const QString& text) {
    message_ = text;
    updateStatus();
}

void GridPair::goToNextSheet() {
    if (!sheets_->isVisible() || sheets_->model()->columnCount() == 0) return;
    if (!sheets_->commitPendingEdit()) return;
    const int rows = sheets_->model()->rowCount();
    if (rows == 0) return;
    const int row = std::min(std::max(sheets_->currentIndex().row(), -1) + 1, rows - 1);
    const QModelIndex next = sheets_->model()->index(row, 0);
    // Ctrl is still held: the grid would add the cell to the selection.
    sheets_->selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
    sheets_->scrollTo(next);
    sheets_->setFocus(Qt::OtherFocusReason);
}

void GridPair::openSearch() {
    if (!sheets_->isVisible()) return;
    sheets_->commitPendingEdit();
    placeOverlays();
    search_->setPalette(QApplication::palette(search_));
    search_->show();
    search_->raise();
    search_->selectAll();
    search_->setFocus(Qt::ShortcutFocusReason);
}

bool GridPair::findSheet(const QString& code) {
    const QString wanted = code.trimmed();
    SheetModel* m = sheets_->sheetModel();
    const int count = m->recordCount();
    if (wanted.isEmpty() || count == 0 || m->columnCount() == 0) return false;
    // All codes in one read: three thousand sheets are read row by row in
    // about a second, their codes alone at once.
    std::vector<QString> codes(static_cast<size_t>(count));
    bool read = false;
    if (RecordSet* rs = m->recordSet(); rs && rs->fieldCount() > 0) {
        try {
            std::unordered_map<long long, QString> byRowid;
            Statement st = rs->connection().prepare("select rowid, \"" + rs->fields()[0].name +
                                                    "\" from \"" + rs->table() + "\"");
            while (st.step()) {
                const auto text = st.columnText(1);
                byRowid[st.columnInt(0)] =
                    text ? QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size()))
                         : QString();
            }
            for (int row = 0; row < count; ++row)
                codes[static_cast<size_t>(row)] = byRowid[rs->rowidAt(row)].trimmed();
            read = true;
        } catch (const DbError&) {}
    }
    if (!read)
        for (int row = 0; row < count; ++row)
            codes[static_cast<size_t>(row)] = m->data(m->index(row, 0)).toString().trimmed();

    const int start = std::max(sheets_->currentIndex().row(), -1) + 1;
    for (bool exact : {true, false}) {
        for (int i = 0; i < count; ++i) {
            const int row = (start + i) % count;
            const QString& c = codes[static_cast<size_t>(row)];
            if (exact ? c == wanted : c.startsWith(wanted)) {
                const QModelIndex at = m->index(row, 0);
                sheets_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
                sheets_->scrollTo(at);
                return true;
            }
        }
    }
    return false;
}

void GridPair::setEditPending(bool pending) {
    if (pending == editPending_) return;
    editPending_ = pending;
    emit editPendingChanged(pending);
}

bool GridPair::eventFilter(QObject* watched, QEvent* e) {
    const auto type = e->type();
    if (watched == search_ && type == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            if (findSheet(search_->text())) {
                search_->hide();
                sheets_->setFocus(Qt::OtherFocusReason);
            } else {
                QPalette p = search_->palette();
                p.setColor(QPalette::Base, QColor(255, 200, 200));
                search_->setPalette(p);
                QApplication::beep();
            }
            return true;
        }
        if (k->key() == Qt::Key_Escape) {
            search_->hide();
            sheets_->setFocus(Qt::OtherFocusReason);
            return true;
        }
        return false;
    }
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        for (auto [g, v] : {std::pair{key_, frozenKey_}, std::pair{sheets_, frozenSheets_}}) {
            if (watched != v->viewport()) continue;
            // A click on a frozen code goes to the grid's own code cell.
            const QModelIndex at = v->indexAt(static_cast<QMouseEvent*>(e)->position().toPoint());
            if (at.isValid()) {
                g->setCurrentIndex(at);
                g->scrollTo(at);
            }
            g->setFocus(Qt::MouseFocusReason);
            return true;
        }
    }
    if (type == QEvent::ChildPolished &&
        (watched == sheets_->viewport() || watched == key_->viewport())) {
        // The cell editor lives in the viewport while a cell is typed.
        if (auto* editor = qobject_cast<QLineEdit*>(static_cast<QChildEvent*>(e)->child())) {
            connect(editor, &QLineEdit::textEdited, this, [this] { setEditPending(true); });
            editor->installEventFilter(this);
        }
    }
    // The view hides the editor as it closes it, stored or given up: either
    // way nothing waits any more.
    if (type == QEvent::Hide && qobject_cast<QLineEdit*>(watched) && watched != search_)
        setEditPending(false);
    if (type == QEvent::Resize || type == QEvent::Show) {
        if (watched == sheets_ || watched == key_ || watched == sheets_->viewport() ||
            watched == key_->viewport())
            placeOverlays();
    }
    return QObject::eventFilter(watched, e);
}

} // namespace ia
