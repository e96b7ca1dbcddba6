// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Table model over a data view's record set. It holds no copy of the table:
// the record set keeps the rowids of its query, rows are read when the view
// asks for them and a few hundred of them are kept for repainting.

#include "examfile/DataView.h"
#include "sheet/KeyRules.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QStringList>

#include <functional>
#include <vector>

namespace ia {

class SheetModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SheetModel(GridKind kind, QObject* parent = nullptr);

    // Takes the view's record set as it is now; call after every re-read.
    void bind(DataView* view);
    // The bound record set, null when none or when the view has since been
    // re-read (the model then waits for bind()).
    RecordSet* recordSet() const;
    GridKind kind() const { return kind_; }
    int recordCount() const { return count_; }
    bool hasNewRecordRow() const { return kind_ == GridKind::Sheets && view_ != nullptr; }
    bool isNewRecordRow(int row) const { return hasNewRecordRow() && row == count_; }

    // Column captions and alignments of the grid layout (not stored in the
    // exam file); until set, a column shows its field name.
    void setColumnLayout(int column, const QString& caption, Qt::Alignment alignment);
    void clearColumnLayout();
    QString caption(int column) const;
    // Row whose record selector shows the current-record marker.
    void setCurrentRow(int row);

    // Writes one cell to the exam file in its own transaction (a new sheet
    // on the new-record row). Throws DbError with the user's text; the record
    // set is then left out of edit mode and nothing is written.
    void commitCell(int row, int column, const QString& text);
    // The record at `row` has been deleted from the record set.
    void removeRecordRow(int row);
    // Rows taken again from the record set (same record set, rows changed).
    void reloadRows();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The computed score column (Score, Tot), shown but never typed into.
    bool isScoreColumn(int column) const;
    // The students' names the file keeps (our own table, not TAData): a
    // column after the fields, only in a file that has names, only shown;
    // in the key grid it stays empty. -1 when there is none.
    int nameColumn() const { return nameColumn_; }
    // Scores totalled from another key or other answers than the grid's are
    // greyed, their tip naming รวมคะแนน.
    void setScoresOutdated(bool outdated);
    bool scoresOutdated() const { return scoresOutdated_; }
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // A cell written to the file (newSheet: the new-record row became a
    // sheet); a write that changed nothing is not told.
    std::function<void(int row, int column, bool newSheet)> onCellStored;
    // A refused cell write from setData (the editor closing).
    std::function<void(int code, const QString& text)> onDataError;

    // An answer typed while another program holds the file past the busy
    // wait is never thrown away: it stays in its cell as a pending edit
    // (shown as typed) and is stored by the next commit, by
    // storePendingEdits() (save, analysis, close) or not at all once
    // discarded. onFileBusy tells that the file is held.
    bool hasPendingEdits() const { return !pending_.empty(); }
    // Stores the pending edits in the order typed; true when none is left
    // (a refusal other than a held file drops its edit and goes to
    // onDataError, as a direct write would).
    bool storePendingEdits();
    void discardPendingEdits();
    std::function<void()> onFileBusy;
    // Shown while a write waits for the file (the busy wait).
    std::function<void(bool on)> busyPointer;

  signals:
    // The view was re-read behind the model's back.
    void recordSetReplaced();

  private:
    bool scoresOutdated_ = false;
    const QStringList* cachedRow(int row) const;
    // commitCell with the busy pointer up while it may wait.
    void commitCellWaiting(int row, int column, const QString& text);
    void keepPending(int row, int column, const QString& text);
    const QString* pendingText(int row, int column) const;
    int rowOfRecord(long long rowid) const;

    struct PendingEdit {
        long long rowid; // -1: the new-record row
        int column;
        QString text;
    };
    std::vector<PendingEdit> pending_;

    GridKind kind_;
    DataView* view_ = nullptr;
    RecordSet* rs_ = nullptr;
    int count_ = 0;
    int fields_ = 0;      // the record set's fields
    int nameColumn_ = -1; // fields_ in a file with names
    int columns_ = 0;
    int currentRow_ = -1;
    std::vector<bool> numeric_; // fields stored as numbers: an empty entry is NULL
    std::vector<QString> captions_;
    std::vector<int> alignments_; // 0: grid default
    mutable QCache<long long, QStringList> rows_{512};
    mutable bool replacedSignalled_ = false;
};

} // namespace ia
