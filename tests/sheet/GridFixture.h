// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Header-only so that only the QtTest programs, which link QtTest, see it.
// A window with the key grid over an answer-sheet grid, bound to an exam file
// made in the test, and a host that answers the record commands' questions.
#include "TestSupport.h"
#include "examfile/DataView.h"
#include "examfile/Engine.h"
#include "sheet/SheetGrid.h"
#include "sheet/SheetModel.h"

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <string>
#include <vector>

namespace sheettest {

inline const QString kNull = QStringLiteral("<null>"); // how a NULL field reads in table()

class GridWindow {
  public:
    GridWindow(int nItem, int nChoice, const std::vector<std::string>& key,
               const std::vector<std::vector<std::string>>& sheets);
    ~GridWindow();

    // Shows the window and waits until it is active, so that keys typed go
    // to the widget with the focus.
    bool show();
    // Rows of a table in the exam file, in the order they were written.
    std::vector<QStringList> table(const char* name) const;
    // Codes of the sheets as the answer-sheet grid shows them, top down.
    QStringList gridCodes() const;
    QString cell(ia::SheetGrid* grid, int row, int column) const;

    iatest::TempDir dir;
    std::string path;
    ia::TestHeader header;
    ia::ExamViews views;
    QWidget window;
    ia::SheetGrid* grid2; // DBGrid2, the key
    ia::SheetGrid* grid1; // DBGrid1, the answer sheets
};

// Answers the questions from a script and records what was asked.
struct ScriptedHost : ia::RecordCommandHost {
    QList<bool> answers;
    QStringList titles, texts;
    QList<bool> busy;
    bool AskYesNo(const QString& title, const QString& text) override {
        titles << title;
        texts << text;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void BusyPointer(bool on) override { busy << on; }
};

inline GridWindow::GridWindow(int nItem, int nChoice, const std::vector<std::string>& key,
                              const std::vector<std::vector<std::string>>& sheets)
    : path(dir.file("test.ans")), header(iatest::MakeHeader(nItem, nChoice)) {
    iatest::MakeExamFile(path, header, key, sheets);
    ia::BindExamFile(views, path);
    auto* layout = new QVBoxLayout(&window);
    grid2 = new ia::SheetGrid(ia::GridKind::Key, &window);
    grid1 = new ia::SheetGrid(ia::GridKind::Sheets, &window);
    layout->addWidget(grid2);
    layout->addWidget(grid1, 6);
    grid2->bind(&views.key, &header);
    grid2->SetDbGrid();
    grid1->bind(&views.sheets, &header);
    grid1->SetDbGrid();
    // What the main window does with the focus moves.
    QObject::connect(grid1, &ia::SheetGrid::requestFocusKeyGrid, grid2,
                     [this] { grid2->setFocus(); });
    QObject::connect(grid2, &ia::SheetGrid::requestFocusSheetGrid, grid1,
                     [this] { grid1->setFocus(); });
    window.resize(900, 600);
}

inline GridWindow::~GridWindow() {
    delete grid1;
    delete grid2;
    views.CloseAll();
}

inline bool GridWindow::show() {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

inline std::vector<QStringList> GridWindow::table(const char* name) const {
    ia::Connection db(path);
    auto st = db.prepare(std::string("SELECT * FROM ") + name + " ORDER BY rowid");
    std::vector<QStringList> rows;
    while (st.step()) {
        QStringList row;
        for (int i = 0; i < st.columnCount(); ++i) {
            ia::Value v = st.column(i);
            row << (v.isNull() ? kNull : QString::fromStdString(v.text()));
        }
        rows.push_back(row);
    }
    return rows;
}

inline QStringList GridWindow::gridCodes() const {
    QStringList codes;
    for (int r = 0; r < grid1->sheetModel()->recordCount(); ++r)
        codes << cell(grid1, r, 0);
    return codes;
}

inline QString GridWindow::cell(ia::SheetGrid* grid, int row, int column) const {
    return grid->model()->index(row, column).data().toString();
}

inline QWidget* FocusWidget() {
    return QApplication::focusWidget();
}

// Types the text one key at a time into whichever widget has the focus (the
// grid, or its cell editor once one is open).
inline void Type(const QString& text) {
    for (QChar c : text)
        QTest::keyClicks(FocusWidget(), QString(c));
}

inline void Click(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(FocusWidget(), key, modifiers);
}

} // namespace sheettest
