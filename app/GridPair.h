// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The key grid above the answer-sheet grid, kept together as one table: one
// horizontal scroll position, the code column frozen at the left while the
// answers scroll, item captions that fit their narrow columns, the current
// item's column marked in both grids, a status line under them, and the
// typing keys Ctrl+Enter (next sheet) and Ctrl+F (find a sheet by its code).

#include <QObject>
#include <QPointer>

class QLabel;
class QLineEdit;
class QTableView;

namespace ia {

class SheetGrid;
class ColumnBand;

class GridPair : public QObject {
    Q_OBJECT
  public:
    GridPair(SheetGrid* keyGrid, SheetGrid* sheetGrid, QObject* parent = nullptr);

    // The frozen code column drawn over each grid (tests look at it).
    QTableView* frozenColumn(SheetGrid* grid) const;
    QLabel* statusLine() const { return status_; }
    QLineEdit* searchField() const { return search_; }

    // Call after a grid was laid out again (bound, columns set).
    void refresh();
    // The status line's text for the current cell of the answer-sheet grid.
    void updateStatus();
    // A message at the head of the status line (a refused key, an undo),
    // until the pointer moves.
    void showMessage(const QString& text);
    QString message() const { return message_; }

    // Ctrl+Enter: commits the cell and goes to the code of the next sheet or
    // of the new-record row.
    void goToNextSheet();
    // Ctrl+F in the grid.
    void openSearch();
    // Puts the pointer on the first sheet after the current one whose code
    // is `code` (or, failing that, starts with it); false when none does.
    bool findSheet(const QString& code);

    // Whether a cell has been typed into and not yet stored.
    bool editPending() const { return editPending_; }

  signals:
    void editPendingChanged(bool pending);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void syncScroll(SheetGrid* from, int value);
    void placeOverlays();
    void fitCaptions(SheetGrid* grid);
    void keepCurrentClearOfFrozen(SheetGrid* grid);
    int currentItemColumn() const;
    void scheduleRefresh();

    SheetGrid* key_;
    SheetGrid* sheets_;
    QTableView* frozenKey_;
    QTableView* frozenSheets_;
    ColumnBand* bandKey_;
    ColumnBand* bandSheets_;
    QLabel* status_;
    QLineEdit* search_;
    QPointer<SheetGrid> lastFocused_;
    bool syncing_ = false;
    bool refreshQueued_ = false;
    bool editPending_ = false;
    QString message_;
    void setEditPending(bool pending);
};

} // namespace ia
