// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/SheetModel.h"

#include "examfile/Schema.h"
#include "examfile/SheetTies.h"

#include <QColor>

#include <sqlite3.h>

#include <QTimer>

namespace ia {

namespace {
// Marker of the current record and of the new-record row in the record
// selectors.
const QString kCurrentMarker = QStringLiteral("\u25B6");
const QString kNewRecordMarker = QStringLiteral("*");

bool IsTextField(const FieldInfo& f) {
    return QString::fromStdString(f.declType)
        .startsWith(QLatin1String("TEXT"), Qt::CaseInsensitive);
}
} // namespace

SheetModel::SheetModel(GridKind kind, QObject* parent) : QAbstractTableModel(parent), kind_(kind) {}

void SheetModel::bind(DataView* view) {
    beginResetModel();
    view_ = view;
    rs_ = view ? view->Recordset() : nullptr;
    count_ = rs_ ? rs_->recordCount() : 0;
    fields_ = rs_ ? rs_->fieldCount() : 0;
    nameColumn_ = -1;
    // The key grid gets the column too, empty, so that its answers stay
    // above those of the sheets.
    if (rs_) {
        try {
            if (HasSheetNames(rs_->connection())) nameColumn_ = fields_;
        } catch (const DbError&) {
            // Held by another program: the names wait for the next re-read.
        }
    }
    columns_ = fields_ + (nameColumn_ >= 0 ? 1 : 0);
    numeric_.clear();
    if (rs_)
        for (const auto& f : rs_->fields())
            numeric_.push_back(!IsTextField(f));
    if (nameColumn_ >= 0) numeric_.push_back(false);
    currentRow_ = -1;
    rows_.clear();
    replacedSignalled_ = false;
    clearColumnLayout();
    endResetModel();
}

RecordSet* SheetModel::recordSet() const {
    RecordSet* live = view_ ? view_->Recordset() : nullptr;
    if (live == rs_) return rs_;
    if (!replacedSignalled_) {
        // Never touch the old record set again; the grid binds anew once the
        // current event is over.
        replacedSignalled_ = true;
        // A flow that re-read the views may bind the grid itself before the
        // event is over; binding again then would only lose the current cell.
        auto* self = const_cast<SheetModel*>(this);
        QTimer::singleShot(0, self, [self] {
            const bool stillStale = self->view_ && self->view_->Recordset() != self->rs_;
            if (stillStale) emit self->recordSetReplaced();
        });
    }
    return nullptr;
}

void SheetModel::clearColumnLayout() {
    captions_.assign(columns_, QString());
    alignments_.assign(columns_, 0);
}

void SheetModel::setColumnLayout(int column, const QString& caption, Qt::Alignment alignment) {
    if (column < 0 || column >= columns_) return;
    captions_[column] = caption;
    alignments_[column] = static_cast<int>(alignment);
    emit headerDataChanged(Qt::Horizontal, column, column);
}

QString SheetModel::caption(int column) const {
    if (column < 0 || column >= columns_) return {};
    if (!captions_[column].isNull()) return captions_[column];
    if (column == nameColumn_)
        return kind_ == GridKind::Sheets ? QString::fromUtf8("ชื่อ") : QString();
    RecordSet* rs = recordSet();
    return rs && column < rs->fieldCount() ? QString::fromStdString(rs->fields()[column].name)
                                           : QString();
}

void SheetModel::setCurrentRow(int row) {
    if (row == currentRow_) return;
    int old = currentRow_;
    currentRow_ = row;
    if (old >= 0 && old < rowCount()) emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rowCount()) emit headerDataChanged(Qt::Vertical, row, row);
}

int SheetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return count_ + (hasNewRecordRow() ? 1 : 0);
}

int SheetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

const QStringList* SheetModel::cachedRow(int row) const {
    RecordSet* rs = recordSet();
    if (!rs || row < 0 || row >= count_ || row >= rs->recordCount()) return nullptr;
    long long id = rs->rowidAt(row);
    if (QStringList* hit = rows_.object(id)) return hit;
    std::vector<Value> values;
    try {
        values = rs->rowAt(row);
    } catch (const DbError&) {
        return nullptr; // another program holds the file; the row paints empty
    }
    auto* texts = new QStringList;
    texts->reserve(static_cast<qsizetype>(values.size()));
    for (const Value& v : values)
        texts->append(QString::fromStdString(v.text()));
    if (nameColumn_ >= 0) {
        QString name;
        if (kind_ == GridKind::Sheets) try {
                Statement st = rs->connection().prepare(
                    std::string("SELECT ") + schema::kSheetName + " FROM " +
                    schema::kSheetNameTable + " WHERE " + schema::kNameSheetRowid + " = ?");
                st.bind(1, id);
                if (st.step()) name = QString::fromStdString(st.column(0).text());
            } catch (const DbError&) {
                // Held, or the table gone: the name paints empty.
            }
        texts->append(name);
    }
    rows_.insert(id, texts);
    return texts;
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        if (const QString* typed = pendingText(index.row(), col)) return *typed;
        if (isNewRecordRow(index.row())) return QString();
        const QStringList* row = cachedRow(index.row());
        return row && col < row->size() ? row->at(col) : QString();
    }
    case Qt::TextAlignmentRole:
        if (col < static_cast<int>(alignments_.size()) && alignments_[col] != 0)
            return alignments_[col];
        return {};
    case Qt::ForegroundRole:
        if (scoresOutdated_ && isScoreColumn(col)) return QColor(160, 160, 160);
        return {};
    case Qt::ToolTipRole:
        if (scoresOutdated_ && isScoreColumn(col))
            return QString("คะแนนนี้คิดจากเฉลยหรือคำตอบก่อนแก้ไข กด รวมคะแนน เพื่อคิดใหม่");
        return {};
    default:
        return {};
    }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return caption(section);
    if (isNewRecordRow(section)) return kNewRecordMarker;
    return section == currentRow_ ? kCurrentMarker : QString();
}

void SheetModel::setScoresOutdated(bool outdated) {
    if (outdated == scoresOutdated_) return;
    scoresOutdated_ = outdated;
    if (rowCount() > 0 && fields_ > 0)
        emit dataChanged(index(0, fields_ - 1), index(rowCount() - 1, fields_ - 1),
                         {Qt::ForegroundRole, Qt::ToolTipRole});
}

bool SheetModel::isScoreColumn(int column) const {
    // The last field of both tables: the score of a sheet, the item count
    // of the key. The scoring computes it; nothing typed may replace it.
    return fields_ > 1 && column == fields_ - 1;
}

Qt::ItemFlags SheetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (isScoreColumn(index.column()) || index.column() == nameColumn_)
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void SheetModel::commitCell(int row, int column, const QString& text) {
    RecordSet* rs = recordSet();
    if (!rs || column < 0 || column >= fields_) return;
    const std::string s = AsciiDigits(text).toStdString();
    const Value v = (numeric_[column] && s.empty()) ? Value() : Value(s);
    Connection& db = rs->connection();
    if (row >= 0 && row < count_) {
        try {
            rs->moveTo(row);
            if (rs->field(column) == v) return;
            Transaction tx(db);
            rs->edit();
            rs->setField(column, v);
            rs->update();
            tx.commit();
        } catch (const DbError& e) {
            rs->cancelUpdate();
            // A held file changed nothing, and re-reading the row now would
            // only wait for the file once more.
            if ((e.code() & 0xff) != SQLITE_BUSY && (e.code() & 0xff) != SQLITE_LOCKED)
                rows_.remove(rs->rowidAt(row));
            emit dataChanged(index(row, column), index(row, column));
            throw;
        } catch (...) {
            rs->cancelUpdate();
            rows_.remove(rs->rowidAt(row));
            emit dataChanged(index(row, column), index(row, column));
            throw;
        }
        rows_.remove(rs->rowidAt(row));
        emit dataChanged(index(row, column), index(row, column));
        if (onCellStored) onCellStored(row, column, false);
    } else if (isNewRecordRow(row)) {
        if (s.empty()) return; // an editor left empty makes no sheet
        try {
            Transaction tx(db);
            rs->addNew();
            rs->setField(column, v);
            rs->update();
            tx.commit();
        } catch (...) {
            rs->cancelUpdate();
            emit dataChanged(index(row, column), index(row, column));
            throw;
        }
        // The new-record row becomes the sheet; a fresh one opens below it.
        beginInsertRows(QModelIndex(), count_ + 1, count_ + 1);
        count_ = rs->recordCount();
        endInsertRows();
        rs->moveTo(row);
        emit dataChanged(index(row, 0), index(row, columns_ - 1));
        emit headerDataChanged(Qt::Vertical, row, row + 1);
        if (onCellStored) onCellStored(row, column, true);
    }
}

namespace {
bool FileHeld(const DbError& e) {
    const int primary = e.code() & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}
} // namespace

void SheetModel::commitCellWaiting(int row, int column, const QString& text) {
    if (busyPointer) busyPointer(true);
    try {
        commitCell(row, column, text);
    } catch (...) {
        if (busyPointer) busyPointer(false);
        throw;
    }
    if (busyPointer) busyPointer(false);
}

int SheetModel::rowOfRecord(long long rowid) const {
    RecordSet* rs = recordSet();
    if (rowid < 0) return count_;
    for (int r = 0; rs && r < count_; ++r)
        if (rs->rowidAt(r) == rowid) return r;
    return -1;
}

const QString* SheetModel::pendingText(int row, int column) const {
    if (pending_.empty()) return nullptr;
    RecordSet* rs = recordSet();
    const long long rowid = isNewRecordRow(row) ? -1 : (rs && row < count_ ? rs->rowidAt(row) : -2);
    for (auto it = pending_.rbegin(); it != pending_.rend(); ++it)
        if (it->rowid == rowid && it->column == column) return &it->text;
    return nullptr;
}

void SheetModel::keepPending(int row, int column, const QString& text) {
    RecordSet* rs = recordSet();
    if (!rs) return;
    const long long rowid = isNewRecordRow(row) ? -1 : rs->rowidAt(row);
    pending_.push_back({rowid, column, text});
    emit dataChanged(index(row, column), index(row, column));
    if (onFileBusy) onFileBusy();
}

bool SheetModel::storePendingEdits() {
    while (!pending_.empty()) {
        PendingEdit edit = pending_.front();
        const int row = rowOfRecord(edit.rowid);
        try {
            if (row >= 0) commitCellWaiting(row, edit.column, edit.text);
        } catch (const DbError& e) {
            if (FileHeld(e)) return false;
            pending_.erase(pending_.begin());
            if (onDataError) onDataError(e.code(), QString::fromStdString(e.what()));
            continue;
        } catch (const std::exception& e) {
            pending_.erase(pending_.begin());
            if (onDataError) onDataError(0, QString::fromStdString(e.what()));
            continue;
        }
        pending_.erase(pending_.begin());
        // Further answers typed on the new-record row belong to the sheet
        // that the first one has just made.
        if (edit.rowid < 0 && row >= 0 && recordSet() && recordSet()->lastModified())
            for (auto& p : pending_)
                if (p.rowid < 0) p.rowid = *recordSet()->lastModified();
        if (row >= 0) emit dataChanged(index(row, 0), index(row, columns_ - 1));
    }
    return true;
}

void SheetModel::discardPendingEdits() {
    pending_.clear();
    emit dataChanged(index(0, 0), index(rowCount() - 1, columns_ - 1));
}

bool SheetModel::setData(const QModelIndex& idx, const QVariant& value, int role) {
    if (!idx.isValid() || role != Qt::EditRole) return false;
    // Answers wait their turn: a later one never overtakes an earlier one.
    if (!storePendingEdits()) {
        keepPending(idx.row(), idx.column(), value.toString());
        return true;
    }
    try {
        commitCellWaiting(idx.row(), idx.column(), value.toString());
        return true;
    } catch (const DbError& e) {
        if (FileHeld(e)) {
            keepPending(idx.row(), idx.column(), value.toString());
            return true;
        }
        if (onDataError) onDataError(e.code(), QString::fromStdString(e.what()));
    } catch (const std::exception& e) {
        if (onDataError) onDataError(0, QString::fromStdString(e.what()));
    }
    return false;
}

void SheetModel::removeRecordRow(int row) {
    if (row < 0 || row >= count_) return;
    beginRemoveRows(QModelIndex(), row, row);
    RecordSet* rs = recordSet();
    count_ = rs ? rs->recordCount() : count_ - 1;
    if (currentRow_ == row) currentRow_ = -1;
    endRemoveRows();
}

void SheetModel::reloadRows() {
    beginResetModel();
    RecordSet* rs = recordSet();
    count_ = rs ? rs->recordCount() : 0;
    currentRow_ = -1;
    rows_.clear();
    endResetModel();
}

} // namespace ia
