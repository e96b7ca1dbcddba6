// SPDX-License-Identifier: GPL-3.0-or-later
// The two grids driven from the keyboard, over exam files made in the test.
#include "GridFixture.h"
#include "examfile/Schema.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>

using namespace sheettest;
using ia::SheetGrid;

namespace {

QStringList Row(std::initializer_list<QString> values) {
    return QStringList(values);
}

// A press and release as a Thai keyboard layout sends them.
void SendKey(int key, const QString& text, quint32 scanCode) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, scanCode, 0, 0, text);
    QApplication::sendEvent(FocusWidget(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, scanCode, 0, 0, text);
    QApplication::sendEvent(FocusWidget(), &release);
}

// One key of a sequence in keysOnCellStates: "Esc", "Shift" (pressed and
// released alone), "BS", "Del", "ภ@13" (a text sent by the physical key with
// that keycode), or a single character sent with no keycode.
void SendNamedKey(const QString& name) {
    if (name == "Esc") return Click(Qt::Key_Escape);
    if (name == "BS") return Click(Qt::Key_Backspace);
    if (name == "Del") return Click(Qt::Key_Delete);
    if (name == "Shift") {
        QTest::keyPress(FocusWidget(), Qt::Key_Shift);
        QTest::keyRelease(FocusWidget(), Qt::Key_Shift, Qt::ShiftModifier);
        return;
    }
    const QStringList parts = name.split('@');
    const QChar c = parts[0][0];
    int key = c.unicode();
    if (c.isDigit() && c.unicode() < 0x80) key = Qt::Key_0 + (c.unicode() - u'0');
    SendKey(key, parts[0], parts.size() > 1 ? parts[1].toUInt() : 0);
}

void ReleaseOnly(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyRelease(FocusWidget(), key, modifiers);
}

} // namespace

class SheetGridTest : public QObject {
    Q_OBJECT
  private slots:
    void typesKeyAndThreeSheets();
    void thaiLayoutAndForeignReleases();
    void aHeldKeyActsOnlyOnItsLastRelease();
    void focusMovesBetweenGrids();
    void refusedCodeReportsDataError();
    void anAnswerOnAFullDiskIsReportedAndNothingHalfWritten();
    void typedCellsAreWhatTheFileHolds();
    void layoutOfBothGrids_data();
    void layoutOfBothGrids();
    void deletingFromTheGrids();
    void recordPositionFollowsThePointer();
    void keysOnCellStates_data();
    void keysOnCellStates();
    void namesShownBesideTheCodeAndNeverTyped();
};

void SheetGridTest::typesKeyAndThreeSheets() {
    GridWindow w(5, 4, {}, {});
    QVERIFY(w.show());

    w.grid2->setFocus();
    w.grid2->setCurrentIndex(w.grid2->model()->index(0, 1));
    Type("12340");
    Click(Qt::Key_Down); // to the answer sheets; the open editor is written
    QVERIFY(w.grid1->hasFocus());
    QCOMPARE(w.table("TKey").at(0), Row({"KEY", "1", "2", "3", "4", "0", kNull}));

    // The first sheet goes into the empty new-record row.
    QCOMPARE(w.grid1->currentIndex(), w.grid1->model()->index(0, 0));
    Type("101");
    Click(Qt::Key_Return);
    QCOMPARE(w.grid1->currentIndex().column(), 1);
    Type("12341");
    QCOMPARE(w.grid1->currentIndex().column(), 5); // the last item keeps the pointer
    Click(Qt::Key_Down);
    Click(Qt::Key_Home);
    QCOMPARE(w.grid1->currentIndex(), w.grid1->model()->index(1, 0));

    // Wrong entries beep and leave the cell as it was until a good one comes.
    Type("102");
    Click(Qt::Key_Return);
    Type("25");
    QCOMPARE(w.table("TAData").at(1), Row({"102", "2", kNull, kNull, kNull, kNull, kNull}));
    QCOMPARE(w.grid1->currentIndex().column(), 2);
    Type("3a41");
    Click(Qt::Key_Return); // Enter in the last item stays
    QCOMPARE(w.grid1->currentIndex().column(), 5);
    Click(Qt::Key_Down);
    Click(Qt::Key_Home);

    // The third sheet on the keypad, saved with the editor still open.
    Type("103");
    Click(Qt::Key_Enter, Qt::KeypadModifier);
    for (Qt::Key k : {Qt::Key_4, Qt::Key_3, Qt::Key_2, Qt::Key_1, Qt::Key_0})
        Click(k, Qt::KeypadModifier);
    QVERIFY(w.grid1->commitPendingEdit());

    const auto sheets = w.table("TAData");
    QCOMPARE(sheets.size(), size_t(3));
    QCOMPARE(sheets[0], Row({"101", "1", "2", "3", "4", "1", kNull}));
    QCOMPARE(sheets[1], Row({"102", "2", "3", "4", "1", kNull, kNull}));
    QCOMPARE(sheets[2], Row({"103", "4", "3", "2", "1", "0", kNull}));
    QCOMPARE(w.grid1->model()->rowCount(), 4); // and the new-record row
    QCOMPARE(w.cell(w.grid1, 2, 5), QString("0"));
}

void SheetGridTest::thaiLayoutAndForeignReleases() {
    GridWindow w(5, 4, {}, {{"201", "1", "1", "1", "1", "1"}});
    QVERIFY(w.show());
    w.grid1->setFocus();
    // Thai digits in a code are stored as ASCII digits.
    w.grid1->setCurrentIndex(w.grid1->model()->index(0, 0));
    SendKey(0x0E52, QString::fromUtf8("๒"), 0);
    SendKey(0x0E59, QString::fromUtf8("๙"), 0);
    Click(Qt::Key_Return);
    QCOMPARE(w.table("TAData").at(0).at(0), QString("29"));
    QCOMPARE(w.grid1->currentIndex().column(), 1);

#ifndef Q_OS_WIN
    // The digit row under a Thai layout: keycode 13 is the 4 key, typing "ภ".
    SendKey(0x0E20, QString::fromUtf8("ภ"), 13);
    QCOMPARE(w.grid1->currentIndex().column(), 2);
#else
    SendKey(Qt::Key_4, "4", 0);
#endif
    // A Thai digit counts as its ASCII digit and is stored as one.
    SendKey(0x0E52, QString::fromUtf8("๒"), 0);
    QCOMPARE(w.grid1->currentIndex().column(), 3);
    QCOMPARE(w.table("TAData").at(0), Row({"29", "4", "2", "1", "1", "1", kNull}));

    // Releases of keys pressed elsewhere (a Tab that brought the focus here,
    // the Shift of a Shift+Up in the other grid) leave the answer alone.
    ReleaseOnly(Qt::Key_Tab);
    ReleaseOnly(Qt::Key_Shift, Qt::ShiftModifier);
    ReleaseOnly(Qt::Key_5);
    QCOMPARE(w.table("TAData").at(0).at(3), QString("1"));
    QCOMPARE(w.grid1->currentIndex().column(), 3);

    // Shift held for a move is no answer, and neither is Shift pressed alone:
    // both leave the answer as it is.
    QTest::keyPress(FocusWidget(), Qt::Key_Shift);
    Click(Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyRelease(FocusWidget(), Qt::Key_Shift, Qt::ShiftModifier);
    QCOMPARE(w.grid1->currentIndex().column(), 4);
    QCOMPARE(w.table("TAData").at(0).at(4), QString("1"));
    QTest::keyPress(FocusWidget(), Qt::Key_Shift);
    QTest::keyRelease(FocusWidget(), Qt::Key_Shift, Qt::ShiftModifier);
    QCOMPARE(w.table("TAData").at(0).at(4), QString("1"));
}

// A key held down sends repeated presses and releases marked as repeats; only
// the real release at the end acts on what the editor then holds.
void SheetGridTest::aHeldKeyActsOnlyOnItsLastRelease() {
    GridWindow w(5, 4, {}, {{"401", "", "", "", "", ""}});
    QVERIFY(w.show());
    w.grid1->setFocus();
    w.grid1->setCurrentIndex(w.grid1->model()->index(0, 1));
    auto send = [](QEvent::Type type, bool repeat) {
        QKeyEvent e(type, Qt::Key_2, Qt::NoModifier, QStringLiteral("2"), repeat);
        QApplication::sendEvent(FocusWidget(), &e);
    };
    send(QEvent::KeyPress, false);
    for (int i = 0; i < 4; ++i) {
        send(QEvent::KeyRelease, true);
        send(QEvent::KeyPress, true);
    }
    send(QEvent::KeyRelease, false);
    // The repeats are second characters, refused: one answer is stored and
    // the repeats never answered the items after it.
    QCOMPARE(w.grid1->currentIndex().column(), 2);
    QCOMPARE(w.table("TAData").at(0), Row({"401", "2", "", "", "", "", kNull}));
}

void SheetGridTest::focusMovesBetweenGrids() {
    GridWindow w(5, 4, {"1", "1", "1", "1", "1"}, {{"301", "1", "1", "1", "1", "1"}, {"302"}});
    QVERIFY(w.show());
    QSignalSpy toKey(w.grid1, &SheetGrid::requestFocusKeyGrid);
    QSignalSpy toSheets(w.grid2, &SheetGrid::requestFocusSheetGrid);
    QSignalSpy toSubject(w.grid2, &SheetGrid::requestFocusSubjectField);
    w.grid2->setCurrentIndex(w.grid2->model()->index(0, 2));

    // Up without a modifier only moves up; Shift+Up ends on the top row and
    // goes on to the key grid.
    w.grid1->setFocus();
    w.grid1->setCurrentIndex(w.grid1->model()->index(1, 2));
    Click(Qt::Key_Up);
    QCOMPARE(w.grid1->currentIndex().row(), 0);
    QCOMPARE(toKey.count(), 0);
    w.grid1->setCurrentIndex(w.grid1->model()->index(1, 2));
    QTest::keyPress(FocusWidget(), Qt::Key_Shift);
    Click(Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(w.grid1->currentIndex().row(), 0);
    QCOMPARE(toKey.count(), 1);
    QVERIFY(w.grid2->hasFocus());
    // The Shift is released in the key grid, which never saw it pressed.
    QTest::keyRelease(FocusWidget(), Qt::Key_Shift, Qt::ShiftModifier);
    QCOMPARE(w.table("TKey").at(0).at(2), QString("1"));

    // "(" shares Qt's code with Down: it is a wrong answer, not a move.
    Click(Qt::Key_ParenLeft);
    QCOMPARE(toSheets.count(), 0);
    QCOMPARE(w.table("TKey").at(0).at(2), QString("1"));
    QTest::keyClick(FocusWidget(), Qt::Key_Escape);
    QVERIFY(w.grid2->hasFocus());

    // Page Down alone stays; Ctrl+Page Down goes down, and the Ctrl released
    // there empties nothing.
    w.grid1->setCurrentIndex(w.grid1->model()->index(0, 3));
    Click(Qt::Key_PageDown);
    QCOMPARE(toSheets.count(), 0);
    QTest::keyPress(FocusWidget(), Qt::Key_Control);
    Click(Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(toSheets.count(), 1);
    QVERIFY(w.grid1->hasFocus());
    QTest::keyRelease(FocusWidget(), Qt::Key_Control, Qt::ControlModifier);
    QCOMPARE(w.table("TAData").at(0).at(3), QString("1"));

    // From the key grid Up goes to the subject code.
    w.grid2->setFocus();
    Click(Qt::Key_Up);
    QCOMPARE(toSubject.count(), 1);

    // Right stops at the last column; Tab leaves the grid, writing the open
    // editor, and never walks the cells.
    w.grid1->setFocus();
    w.grid1->setCurrentIndex(w.grid1->model()->index(1, 6));
    Click(Qt::Key_Right);
    QCOMPARE(w.grid1->currentIndex(), w.grid1->model()->index(1, 6));
    w.grid1->setCurrentIndex(w.grid1->model()->index(1, 0));
    Type("x");
    Click(Qt::Key_Tab);
    QVERIFY(!w.grid1->isAncestorOf(FocusWidget()) && FocusWidget() != w.grid1);
    QCOMPARE(w.grid1->currentIndex(), w.grid1->model()->index(1, 0));
    QCOMPARE(w.table("TAData").at(1).at(0), QString("x")); // typing replaces the code
}

void SheetGridTest::anAnswerOnAFullDiskIsReportedAndNothingHalfWritten() {
    iatest::DiskFull::Install();
    GridWindow w(3, 4, {}, {{"301", "1", "2", "3"}});
    QVERIFY(w.show());
    QSignalSpy errors(w.grid1, &SheetGrid::dataError);
    w.grid1->setFocus();
    w.grid1->setCurrentIndex(w.grid1->model()->index(0, 2));
    {
        iatest::DiskFull full;
        Type("4");
        QCoreApplication::processEvents();
    }
    QCOMPARE(errors.count(), 1);
    QVERIFY2(errors.at(0).at(1).toString().contains("พื้นที่ดิสก์เต็ม"),
             qPrintable(errors.at(0).at(1).toString()));
    QCOMPARE(w.table("TAData").at(0), Row({"301", "1", "2", "3", kNull}));

    // The grid stays usable: with room again the answer is stored.
    w.grid1->setFocus();
    w.grid1->setCurrentIndex(w.grid1->model()->index(0, 2));
    Type("4");
    QVERIFY(w.grid1->commitPendingEdit());
    QCOMPARE(w.table("TAData").at(0), Row({"301", "1", "4", "3", kNull}));
}

void SheetGridTest::refusedCodeReportsDataError() {
    GridWindow w(3, 4, {}, {{"301", "1", "2", "3"}});
    {
        // The engine refuses one code, as it would refuse a damaged value.
        ia::Connection db(w.path);
        for (const char* when : {"INSERT", "UPDATE"})
            db.exec(std::string("CREATE TRIGGER refuse_") + when + " BEFORE " + when +
                    " ON TAData WHEN NEW.Code = 'bad' BEGIN SELECT RAISE(ABORT, 'refused'); END");
    }
    QVERIFY(w.show());
    QSignalSpy errors(w.grid1, &SheetGrid::dataError);
    w.grid1->setFocus();

    // On the new-record row: no sheet is made.
    w.grid1->setCurrentIndex(w.grid1->model()->index(1, 0));
    Type("bad");
    Click(Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(errors.count(), 1);
    QVERIFY(!errors.at(0).at(1).toString().isEmpty());
    QCOMPARE(w.table("TAData").size(), size_t(1));
    QCOMPARE(w.grid1->model()->rowCount(), 2);

    // On a sheet: the edit is abandoned, the sheet keeps everything.
    w.grid1->setCurrentIndex(w.grid1->model()->index(0, 0));
    Type("bad");
    QVERIFY(!w.grid1->commitPendingEdit());
    QCoreApplication::processEvents();
    QCOMPARE(errors.count(), 2);
    QCOMPARE(w.table("TAData").at(0), Row({"301", "1", "2", "3", kNull}));
    QCOMPARE(w.cell(w.grid1, 0, 0), QString("301"));

    // The grid goes on working; twenty characters fit.
    const QString longest(20, QChar('y'));
    Type(longest);
    QVERIFY(w.grid1->commitPendingEdit());
    QCOMPARE(w.table("TAData").at(0).at(0), longest);
    QCOMPARE(errors.count(), 2);
}

// What is typed is what the file holds: a code stops at the twenty characters
// its field holds (the editor says so), the computed score takes no typing,
// and the last answer of a row is written as soon as its key is accepted.
void SheetGridTest::typedCellsAreWhatTheFileHolds() {
    GridWindow w(3, 4, {"1", "2", "3"}, {{"301", "1", "2", "3"}});
    QVERIFY(w.show());
    QSignalSpy errors(w.grid1, &SheetGrid::dataError);
    w.grid1->setFocus();

    w.grid1->setCurrentIndex(w.grid1->model()->index(1, 0));
    Type(QString(20, QChar('x')) + "yz");
    auto* editor = w.grid1->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString(20, QChar('x')));
    QVERIFY(editor->toolTip().contains("20"));
    Click(Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(errors.count(), 0);
    QCOMPARE(w.table("TAData").at(1).at(0), QString(20, QChar('x')));

    // The score cells of both grids.
    for (SheetGrid* g : {w.grid1, w.grid2}) {
        g->setFocus();
        const QModelIndex score = g->model()->index(0, 4);
        QVERIFY(!(g->model()->flags(score) & Qt::ItemIsEditable));
        g->setCurrentIndex(score);
        Type("7");
        QCOMPARE(g->currentIndex(), score);
    }
    QCOMPARE(w.table("TAData").at(0), Row({"301", "1", "2", "3", kNull}));
    QCOMPARE(w.table("TKey").at(0), Row({"KEY", "1", "2", "3", kNull}));

    // The last item: written on the release of its key, the editor still open.
    w.grid1->setFocus();
    w.grid1->setCurrentIndex(w.grid1->model()->index(0, 3));
    Type("4");
    QCOMPARE(w.grid1->currentIndex().column(), 3);
    QCOMPARE(w.table("TAData").at(0), Row({"301", "1", "2", "4", kNull}));
    Type("9"); // refused: the stored answer stays
    QCOMPARE(w.table("TAData").at(0), Row({"301", "1", "2", "4", kNull}));
    QCOMPARE(errors.count(), 0);
}

void SheetGridTest::layoutOfBothGrids_data() {
    QTest::addColumn<int>("nItem");
    QTest::newRow("three items") << 3;
    QTest::newRow("no items") << 0;
}

void SheetGridTest::layoutOfBothGrids() {
    QFETCH(int, nItem);
    GridWindow w(nItem, 4, {}, {{"1"}});
    for (SheetGrid* g : {w.grid1, w.grid2}) {
        const bool sheets = g == w.grid1;
        auto* m = g->model();
        const int dpi = g->logicalDpiX();
        auto px = [dpi](int twips) { return qRound(twips * dpi / 1440.0); };
        QCOMPARE(m->columnCount(), nItem + 2);
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(),
                 QString(sheets ? "เลขที่/รหัส" : "คำตอบ"));
        QCOMPARE(g->columnWidth(0), px(900));
        QVERIFY(!m->index(0, 0).data(Qt::TextAlignmentRole).isValid());
        for (int i = 1; i <= nItem; ++i) {
            QCOMPARE(m->headerData(i, Qt::Horizontal).toString(), QString::number(i));
            QCOMPARE(g->columnWidth(i), px(300));
            QCOMPARE(m->index(0, i).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        }
        QCOMPARE(m->headerData(nItem + 1, Qt::Horizontal).toString(),
                 QString(sheets ? "คะแนน" : "เต็ม"));
        QCOMPARE(g->columnWidth(nItem + 1), px(700));
        QCOMPARE(m->index(0, nItem + 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QVERIFY(!g->tabKeyNavigation());
        QVERIFY(!g->wordWrap());
        QVERIFY(!g->verticalHeader()->isHidden());
    }
    // Only the answer sheets have the new-record row.
    QCOMPARE(w.grid1->model()->rowCount(), 2);
    QCOMPARE(w.grid2->model()->rowCount(), 1);
}

void SheetGridTest::deletingFromTheGrids() {
    GridWindow w(2, 4, {"1", "2"}, {{"1", "1", "1"}, {"2", "2", "2"}, {"3", "3", "3"}});
    QVERIFY(w.show());
    ScriptedHost host;
    w.grid1->setCommandHost(&host);
    w.grid2->setCommandHost(&host);
    w.grid1->setFocus();

    host.answers = {false, true};
    for (int attempt = 0; attempt < 2; ++attempt) {
        w.grid1->setCurrentIndex(w.grid1->model()->index(1, 1));
        w.grid1->selectRow(1);
        Click(Qt::Key_Delete);
    }
    QCOMPARE(host.titles, QStringList({"คำเตือน", "คำเตือน"}));
    QCOMPARE(host.texts, QStringList({"กำลังจะลบ เลขที่  :  2", "กำลังจะลบ เลขที่  :  2"}));
    const auto sheets = w.table("TAData");
    QCOMPARE(sheets.size(), size_t(2));
    // The release of Delete is not an answer for the sheet now current.
    QCOMPARE(sheets[0], Row({"1", "1", "1", kNull}));
    QCOMPARE(sheets[1], Row({"3", "3", "3", kNull}));
    QCOMPARE(w.gridCodes(), QStringList({"1", "3"}));
    QCOMPARE(w.grid1->currentRecordPosition(), 1);

    // A Delete in a cell, without the row selected, deletes nothing.
    w.grid1->setCurrentIndex(w.grid1->model()->index(0, 0));
    Click(Qt::Key_Delete);
    QCOMPARE(w.table("TAData").size(), size_t(2));

    // The key row is never deleted.
    w.grid2->setFocus();
    w.grid2->selectRow(0);
    Click(Qt::Key_Delete);
    QCOMPARE(w.table("TKey").size(), size_t(1));
    QCOMPARE(w.grid2->model()->rowCount(), 1);
    QCOMPARE(host.texts.size(), 2);
}

void SheetGridTest::recordPositionFollowsThePointer() {
    GridWindow w(2, 4, {}, {{"1"}, {"2"}});
    int repositions = 0;
    w.views.sheets.onReposition = [&] { ++repositions; };
    QSignalSpy changes(w.grid1, &SheetGrid::currentCellChanged);

    w.grid1->setCurrentIndex(w.grid1->model()->index(1, 1));
    QCOMPARE(w.grid1->currentRecordPosition(), 1);
    QCOMPARE(w.views.sheets.Recordset()->absolutePosition(), 1);
    QCOMPARE(repositions, 1);
    w.grid1->setCurrentIndex(w.grid1->model()->index(1, 2));
    QCOMPARE(repositions, 1); // same record
    QCOMPARE(changes.count(), 2);

    // The new-record row has no record (the caption reads "ระเบียนใหม่").
    w.grid1->setCurrentIndex(w.grid1->model()->index(2, 2));
    QCOMPARE(w.grid1->currentRecordPosition(), -1);
    QCOMPARE(w.views.sheets.Recordset()->absolutePosition(), -1);
    QCOMPARE(repositions, 2);
    QCOMPARE(w.grid1->model()->headerData(2, Qt::Vertical).toString(), QString("*"));
}

// Every key on every kind of answer cell: only an answer or Backspace/Delete
// changes the stored value, Escape never does, and the pointer moves on only
// after an answer is stored.
void SheetGridTest::keysOnCellStates_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("stored"); // the cell's stored value afterwards
    QTest::addColumn<int>("column");     // the pointer's column afterwards
    struct State {
        const char* name;
        QString before;
        int column;
        bool last;
    };
    const State states[] = {
        {"empty", "", 2, false},
        {"filled", "2", 2, false},
        {"key row", "2", 2, false},
        {"last item", "2", 5, true},
    };
    for (const State& st : states) {
        const int moved = st.last ? st.column : st.column + 1;
        struct KeyCase {
            QString keys, stored;
            int column;
        };
        const KeyCase keys[] = {
            {"Esc", st.before, st.column},
            {"Shift", st.before, st.column},
            {"5", st.before, st.column},
            {"a", st.before, st.column},
            {"ภ", st.before, st.column},
            {"๓", "3", moved},
#ifndef Q_OS_WIN
            {"ภ@13", "4", moved},
#endif
            {"BS", "", st.column},
            {"Del", "", st.column},
            {"3", "3", moved},
            {"0", "0", moved},
        };
        for (const KeyCase& k : keys)
            QTest::addRow("%s: %s", st.name, qPrintable(k.keys))
                << st.name << k.keys << k.stored << k.column;
    }
    // Sequences: Escape after a stored digit touches nothing; a second
    // character in the open editor of the last item is refused.
    QTest::addRow("filled: 3 Esc") << "filled"
                                   << "3,Esc"
                                   << "3" << 3;
    QTest::addRow("last item: 3 1") << "last item"
                                    << "3,1"
                                    << "3" << 5;
    QTest::addRow("last item: 3 Esc") << "last item"
                                      << "3,Esc"
                                      << "3" << 5;
    QTest::addRow("last item: 3 BS Esc") << "last item"
                                         << "3,BS,Esc"
                                         << "3" << 5;
}

void SheetGridTest::keysOnCellStates() {
    QFETCH(QString, state);
    QFETCH(QString, keys);
    QFETCH(QString, stored);
    QFETCH(int, column);
    GridWindow w(5, 4, {"1", "2", "3", "4", "1"},
                 {{"301", "1", "2", "3", "4", "2"}, {"302", "1", "", "", "", ""}});
    QVERIFY(w.show());
    const bool key = state == "key row";
    SheetGrid* grid = key ? w.grid2 : w.grid1;
    const char* table = key ? "TKey" : "TAData";
    const int row = state == "empty" ? 1 : 0;
    const int startColumn = state == "last item" ? 5 : 2;
    QSignalSpy refused(grid, &SheetGrid::answerRefused);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, startColumn));
    std::vector<QStringList> expected = w.table(table);
    expected[row][startColumn] = stored;

    for (const QString& k : keys.split(','))
        SendNamedKey(k);
    QCoreApplication::processEvents();

    QCOMPARE(w.table(table), expected);
    QCOMPARE(grid->currentIndex().row(), row);
    QCOMPARE(grid->currentIndex().column(), column);
    // What the screen shows is what is stored.
    QCOMPARE(w.cell(grid, row, startColumn), stored);
    const bool refusedKey = keys == "5" || keys == "a" || keys == "ภ" || keys == "3,1";
    QCOMPARE(refused.count(), refusedKey ? 1 : 0);
    if (refusedKey) QCOMPARE(refused.at(0).at(0).toString(), QString::fromUtf8("พิมพ์ได้เฉพาะ 0–4"));
}

// A file that keeps students' names shows them, read-only, beside the code;
// every field keeps its column, so the keys walk the sheet as before.
void SheetGridTest::namesShownBesideTheCodeAndNeverTyped() {
    GridWindow w(3, 4, {"1", "2", "3"}, {{"301", "1", "2", "3"}, {"302", "3", "2", "1"}});
    QCOMPARE(w.grid1->model()->columnCount(), 5);
    QCOMPARE(w.grid1->sheetModel()->nameColumn(), -1);
    {
        ia::Connection db(w.path);
        db.exec(ia::schema::SheetNameTableSql());
        db.exec("INSERT INTO itemanalysis_SheetName SELECT rowid, 'สมชาย ใจดี' FROM TAData "
                "WHERE Code = '301'");
    }
    w.views.sheets.Refresh();
    w.views.key.Refresh();
    for (SheetGrid* g : {w.grid1, w.grid2}) {
        g->bind(g == w.grid1 ? &w.views.sheets : &w.views.key, &w.header);
        g->SetDbGrid();
    }
    QVERIFY(w.show());
    // The key grid keeps an empty column in the same place, so that each
    // key stays above its answers.
    QCOMPARE(w.grid2->sheetModel()->nameColumn(), 5);
    QCOMPARE(w.grid2->horizontalHeader()->visualIndex(5), 1);
    QCOMPARE(w.grid2->columnWidth(5), w.grid1->columnWidth(5));
    QCOMPARE(w.cell(w.grid2, 0, 5), QString());
    QVERIFY(!(w.grid2->model()->flags(w.grid2->model()->index(0, 5)) & Qt::ItemIsEditable));
    QAbstractItemModel& model = *w.grid1->model();
    QCOMPARE(model.columnCount(), 6);
    QCOMPARE(w.grid1->sheetModel()->nameColumn(), 5);
    QCOMPARE(model.headerData(5, Qt::Horizontal).toString(), QString("ชื่อ"));
    QCOMPARE(w.grid1->horizontalHeader()->visualIndex(5), 1);
    QCOMPARE(w.cell(w.grid1, 0, 5), QString("สมชาย ใจดี"));
    QCOMPARE(w.cell(w.grid1, 1, 5), QString());
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString("คะแนน"));
    QVERIFY(!(model.flags(model.index(0, 4)) & Qt::ItemIsEditable));
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
    for (int row : {0, 2}) // a sheet, and the new-record row
        QVERIFY(!(model.flags(model.index(row, 5)) & Qt::ItemIsEditable));

    const auto names = w.table("itemanalysis_SheetName");
    const auto sheets = w.table("TAData");
    w.grid1->setFocus();
    w.grid1->setCurrentIndex(model.index(0, 5));
    Type("x");
    Click(Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(w.table("itemanalysis_SheetName"), names);
    QCOMPARE(w.table("TAData"), sheets);
    QCOMPARE(w.cell(w.grid1, 0, 5), QString("สมชาย ใจดี"));
    // Enter on the code goes on to item 1, past the names.
    w.grid1->setCurrentIndex(model.index(1, 0));
    Type("9");
    Click(Qt::Key_Return);
    QCOMPARE(w.grid1->currentIndex().column(), 1);
}

QTEST_MAIN(SheetGridTest)
#include "qtest_sheetgrid.moc"
