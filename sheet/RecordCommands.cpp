// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/SheetGrid.h"

#include "examfile/Messages.h"
#include "sheet/SheetModel.h"

namespace ia {

namespace {

int SheetCount(DataView& data1) {
    RecordSet* rs = data1.Recordset();
    return rs ? rs->recordCount() : 0;
}

// Puts the grid back on the record set after a re-read of the sheets view.
void Rebind(DataView& data1, SheetGrid& grid1) {
    grid1.bind(&data1, grid1.header());
    grid1.SetDbGrid();
}

} // namespace

void DeleteCurrentSheet(DataView& data1, SheetGrid& grid1, RecordCommandHost& host) {
    try {
        RecordSet* rs = data1.Recordset();
        if (!rs || rs->recordCount() == 0) return;
        grid1.commitPendingEdit();
        const int row = grid1.currentRecordPosition();
        if (row >= 0) rs->moveTo(row);
        // On the new-record row there is no current sheet: field() throws
        // and the command ends like any other failure.
        const QString code = QString::fromStdString(rs->field(0).text());
        if (!host.AskYesNo(QString::fromUtf8(kWarningTitle),
                           QStringLiteral("กำลังจะลบ เลขที่  :  ") + code))
            return;
        host.DeleteSheet(*rs);
        host.ChangeStored(QStringLiteral("ลบกระดาษคำตอบเลขที่ ") + code);
        rs->moveNext();
        if (rs->eof()) rs->moveLast();
        const int next = rs->absolutePosition();
        grid1.sheetModel()->removeRecordRow(row);
        grid1.setCurrentRecordPosition(next);
    } catch (...) {
        // Deleting ends silently on any failure.
    }
}

void cmdAdd_Click(DataView& data1, SheetGrid& grid1) {
    grid1.commitPendingEdit();
    RecordSet* rs = data1.Recordset();
    if (!rs) return;
    if (rs->recordCount() > 0) rs->moveLast();
    grid1.setFocus();
    // A new sheet starts with its code, whatever cell was current before.
    grid1.setCurrentRecordPosition(-1);
    grid1.setCurrentIndex(grid1.model()->index(grid1.currentIndex().row(), 0));
}

void cmdDelete_Click(DataView& data1, SheetGrid& grid1, RecordCommandHost& host) {
    DeleteCurrentSheet(data1, grid1, host);
}

void cmdRefresh_Click(DataView& data1, SheetGrid& grid1) {
    grid1.commitPendingEdit();
    data1.Refresh();
    Rebind(data1, grid1);
}

void cmdUpdate_Click(DataView& data1, SheetGrid& grid1) {
    grid1.commitPendingEdit();
    if (!grid1.storePendingEdits()) return; // still held: the answers wait in their cells
    RecordSet* rs = data1.Recordset();
    if (!rs) return;
    // Without any record added or changed since the read, the pointer stays.
    if (auto last = rs->lastModified()) {
        try {
            rs->setBookmark(*last);
        } catch (const DbError&) {
            return; // that record has been deleted since
        }
        grid1.setCurrentRecordPosition(rs->absolutePosition());
    }
}

void TotalScoresCommand(DataView& data1, SheetGrid& grid1, RecordCommandHost& host,
                        const std::function<void()>& totalSheets) {
    grid1.commitPendingEdit();
    if (SheetCount(data1) == 0) return;
    host.BusyPointer(true);
    // Scoring re-reads the sheets view: the grid must be bound again whatever happens.
    struct Finish {
        DataView& data1;
        SheetGrid& grid1;
        RecordCommandHost& host;
        ~Finish() {
            Rebind(data1, grid1);
            host.BusyPointer(false);
        }
    } finish{data1, grid1, host};
    totalSheets();
    host.KeyRowRewritten();
}

void OrderByCodeCommand(DataView& data1, SheetGrid& grid1,
                        const std::function<void()>& orderByCode) {
    grid1.commitPendingEdit();
    try {
        orderByCode();
    } catch (...) {
        // Sorting ends silently on any failure.
    }
    Rebind(data1, grid1);
}

} // namespace ia
