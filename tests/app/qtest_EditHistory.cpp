// SPDX-License-Identifier: GPL-3.0-or-later
// The window's one history of the file's changes: every kind of change is one
// step that Ctrl+Z (or ย้อนกลับ) turns back and Ctrl+Y, Ctrl+Shift+Z (or
// ทำซ้ำ) does again, checked against every table of the file; a paste over
// filled cells asks first; a sheet half typed into the new-record row is
// never stored unseen when the window closes or another file opens.

#include "WindowFixture.h"
#include "app/ImportDialog.h"
#include "examfile/Engine.h"
#include "sheet/SheetModel.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <fstream>
#include <string>

using iatest::Control;
using iatest::HeaderFieldEdit;
using iatest::WindowFixture;

namespace {

QStringList Codes(const std::string& path) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT Code FROM TAData ORDER BY rowid");
    QStringList codes;
    while (st.step())
        codes << QString::fromStdString(st.column(0).text());
    return codes;
}

std::string OpenSmallFile(WindowFixture& f, const char* name = "h.ans") {
    const std::string path = f.dir().file(name);
    iatest::MakeExamFile(path, iatest::MakeHeader(3, 4), {"1", "2", "3"},
                         {{"01", "1", "1", "1"}, {"02", "2", "2", "2"}, {"03", "3", "3", "3"}});
    f.nextFile = QString::fromStdString(path);
    Control<QPushButton>(f.w(), "Command2")->click();
    return path;
}

ia::SheetGrid& Grid(WindowFixture& f, const char* name = "DBGrid1") {
    return *Control<ia::SheetGrid>(f.w(), name);
}

// The buttons stay enabled (Tab reaches them); their tool tips tell whether
// there is anything to undo or redo.
bool CanUndo(WindowFixture& f) {
    return !Control<QPushButton>(f.w(), "cmdUndo")->toolTip().startsWith("ไม่มี");
}

bool CanRedo(WindowFixture& f) {
    return !Control<QPushButton>(f.w(), "cmdRedo")->toolTip().startsWith("ไม่มี");
}

QString StatusLine(WindowFixture& f) {
    return Control<QLabel>(f.w(), "gridStatus")->text();
}

// One key at a time to whichever widget has the focus (the grid, then the
// cell editor it opened).
void Type(const QString& text) {
    for (QChar c : text)
        QTest::keyClicks(QApplication::focusWidget(), QString(c));
}

void Key(QWidget* to, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(to, key, mods);
}

} // namespace

class EditHistoryTest : public QObject {
    Q_OBJECT
  private slots:
    void keysTurnATypedAnswerBackAndForth();
    void theUndoneStepStaysSaidOnceTheEventsAreOver();
    void everyKindOfChangeIsOneStep();
    void pasteOverFilledCellsAsksWithNoAsTheDefault();
    void halfTypedSheet_data();
    void halfTypedSheet();
    void halfTypedSheetLeftByTheMouse_data();
    void halfTypedSheetLeftByTheMouse();
    void gridKeysLeaveQtSilent();
};

void EditHistoryTest::keysTurnATypedAnswerBackAndForth() {
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenSmallFile(f);
    auto* undo = Control<QPushButton>(f.w(), "cmdUndo");
    QVERIFY(!CanUndo(f));
    QVERIFY(!CanRedo(f));
    ia::SheetGrid& g = Grid(f);
    g.setFocus();
    g.setCurrentIndex(g.model()->index(1, 2));
    const std::string before = iatest::TableDump(path);
    Type("4");
    const std::string after = iatest::TableDump(path);
    QVERIFY(after != before);
    QVERIFY(CanUndo(f));

    Key(f.focus(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(iatest::TableDump(path), before);
    QCOMPARE(g.model()->index(1, 2).data().toString(), QString("2"));
    // The pointer stays where it was: on the item after the one typed.
    QCOMPARE(g.currentIndex(), g.model()->index(1, 3));
    QVERIFY2(StatusLine(f).startsWith("ย้อนกลับแล้ว: แก้คำตอบข้อ 2 ของเลขที่ 02"),
             qPrintable(StatusLine(f)));
    QVERIFY(!CanUndo(f));
    QVERIFY(CanRedo(f));
    // Nothing more to undo: the file stays, the line says so.
    Key(f.focus(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(iatest::TableDump(path), before);
    QVERIFY(StatusLine(f).startsWith("ไม่มีสิ่งที่ย้อนกลับได้"));

    Key(f.focus(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(iatest::TableDump(path), after);
    QVERIFY(StatusLine(f).startsWith("ทำซ้ำแล้ว: "));
    undo->click();
    QCOMPARE(iatest::TableDump(path), before);
    Key(f.focus(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(iatest::TableDump(path), after);
    QCOMPARE(g.model()->index(1, 2).data().toString(), QString("4"));
    QVERIFY(f.messages.isEmpty());
}

// A real window goes on handling events after the key: nothing queued
// meanwhile may bind the grid again and lose the cell or the message.
void EditHistoryTest::theUndoneStepStaysSaidOnceTheEventsAreOver() {
    WindowFixture f;
    QVERIFY(f.showActive());
    OpenSmallFile(f);
    ia::SheetGrid& g = Grid(f);
    g.setFocus();
    g.setCurrentIndex(g.model()->index(1, 2));
    Type("4");
    Key(f.focus(), Qt::Key_Z, Qt::ControlModifier);
    QTest::qWait(50);
    QCOMPARE(g.currentIndex(), g.model()->index(1, 3));
    QVERIFY2(StatusLine(f).startsWith("ย้อนกลับแล้ว: แก้คำตอบข้อ 2 ของเลขที่ 02"),
             qPrintable(StatusLine(f)));
}

void EditHistoryTest::everyKindOfChangeIsOneStep() {
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenSmallFile(f);
    std::vector<std::string> dumps{iatest::TableDump(path)};
    ia::SheetGrid& g = Grid(f);
    ia::SheetGrid& key = Grid(f, "DBGrid2");

    // An answer, a key cell, a new sheet typed into the new-record row.
    g.setFocus();
    g.setCurrentIndex(g.model()->index(0, 1));
    Type("4");
    dumps.push_back(iatest::TableDump(path));
    key.setFocus();
    key.setCurrentIndex(key.model()->index(0, 3));
    Type("1");
    dumps.push_back(iatest::TableDump(path));
    g.setFocus();
    g.setCurrentIndex(g.model()->index(3, 0));
    Type("09");
    Key(f.focus(), Qt::Key_Return);
    dumps.push_back(iatest::TableDump(path));
    // The second sheet deleted: it comes back at its place.
    g.setCurrentIndex(g.model()->index(1, 0));
    Control<QPushButton>(f.w(), "cmdDelete")->click();
    QCOMPARE(Codes(path), QStringList({"01", "03", "09"}));
    dumps.push_back(iatest::TableDump(path));
    // A pasted block over filled cells and past the last sheet.
    g.setFocus();
    g.setCurrentIndex(g.model()->index(2, 1));
    QGuiApplication::clipboard()->setText("2\t2\n4\t4\t4\n");
    Key(&g, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Codes(path).size(), 4);
    dumps.push_back(iatest::TableDump(path));
    // An import replacing every sheet.
    const std::string src = f.dir().file("s.csv");
    std::ofstream(src) << "11,1,1,1\n12,2,2,2\n";
    f.prompts.onRunDialog = [&](QDialog& dialog) {
        auto& d = static_cast<ia::ImportDialog&>(dialog);
        d.setSource(QString::fromStdString(src));
        d.replaceButton->setChecked(true);
        return d.importNow() ? QDialog::Accepted : QDialog::Rejected;
    };
    Control<QPushButton>(f.w(), "cmdImport")->click();
    QCOMPARE(Codes(path), QStringList({"11", "12"}));
    dumps.push_back(iatest::TableDump(path));
    // A header field.
    QLineEdit* subject = HeaderFieldEdit(f.w(), 2);
    subject->setFocus();
    subject->setText("ชีววิทยา");
    HeaderFieldEdit(f.w(), 3)->setFocus();
    dumps.push_back(iatest::TableDump(path));
    QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
    for (size_t i = 1; i < dumps.size(); ++i)
        QVERIFY2(dumps[i] != dumps[i - 1], qPrintable(QString::number(i)));

    auto* undo = Control<QPushButton>(f.w(), "cmdUndo");
    auto* redo = Control<QPushButton>(f.w(), "cmdRedo");
    for (size_t i = dumps.size() - 1; i > 0; --i) {
        undo->click();
        QVERIFY2(iatest::TableDump(path) == dumps[i - 1],
                 qPrintable(QString("undo to %1").arg(i - 1)));
    }
    QVERIFY(!CanUndo(f));
    QCOMPARE(HeaderFieldEdit(f.w(), 2)->text(),
             QString::fromStdString(iatest::MakeHeader(3, 4).SubName));
    QCOMPARE(g.model()->rowCount(), 4); // three sheets and the new-record row
    for (size_t i = 1; i < dumps.size(); ++i) {
        redo->click();
        QVERIFY2(iatest::TableDump(path) == dumps[i], qPrintable(QString("redo to %1").arg(i)));
    }
    QVERIFY(!CanRedo(f));
    QCOMPARE(HeaderFieldEdit(f.w(), 2)->text(), QString("ชีววิทยา"));
    QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));

    // The history belongs to the file: opened again, it starts anew.
    Control<QPushButton>(f.w(), "Command2")->click();
    QVERIFY(!CanUndo(f));
    QVERIFY(!CanRedo(f));
}

void EditHistoryTest::pasteOverFilledCellsAsksWithNoAsTheDefault() {
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenSmallFile(f);
    ia::SheetGrid& g = Grid(f);
    g.setFocus();
    g.setCurrentIndex(g.model()->index(1, 1));
    const std::string before = iatest::TableDump(path);
    // Two filled cells would change; the third holds what it would get.
    QGuiApplication::clipboard()->setText("4\t4\t2\n");
    f.answerYes = false;
    Key(&g, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(f.questions, QStringList{"วางทับคำตอบที่มีอยู่ 2 ช่องหรือไม่"});
    QCOMPARE(iatest::TableDump(path), before);
    QVERIFY(!CanUndo(f));
    f.answerYes = true;
    Key(&g, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(f.questions.size(), 2);
    QVERIFY(iatest::TableDump(path) != before);
    QVERIFY(f.messages.isEmpty());
}

void EditHistoryTest::halfTypedSheet_data() {
    QTest::addColumn<bool>("closing"); // the window closed, or another file opened
    QTest::addColumn<bool>("drop");    // the answer to "ทิ้ง…หรือไม่"
    QTest::newRow("closing, kept (the default)") << true << false;
    QTest::newRow("closing, thrown away") << true << true;
    QTest::newRow("another file, kept (the default)") << false << false;
    QTest::newRow("another file, thrown away") << false << true;
}

void EditHistoryTest::halfTypedSheet() {
    QFETCH(bool, closing);
    QFETCH(bool, drop);
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenSmallFile(f);
    const std::string other = f.dir().file("other.ans");
    iatest::MakeExamFile(other, iatest::MakeHeader(3, 4), {"1", "2", "3"}, {});
    ia::SheetGrid& g = Grid(f);
    g.setFocus();
    g.setCurrentIndex(g.model()->index(3, 0));
    Type("77"); // no Enter
    QCOMPARE(Codes(path).size(), 3);
    f.answerYes = drop;
    if (closing) {
        f.w().close();
    } else {
        f.nextFile = QString::fromStdString(other);
        Control<QPushButton>(f.w(), "Command2")->click();
    }
    QCOMPARE(f.questions.size(), 1);
    QVERIFY2(f.questions[0].contains("77") && f.questions[0].contains("ทิ้ง"),
             qPrintable(f.questions[0]));
    QCOMPARE(Codes(path),
             drop ? QStringList({"01", "02", "03"}) : QStringList({"01", "02", "03", "77"}));
    QCOMPARE(Codes(other), QStringList());
}

void EditHistoryTest::halfTypedSheetLeftByTheMouse_data() {
    QTest::addColumn<QString>("clicked"); // where the mouse goes instead of Enter
    QTest::addColumn<bool>("analyse"); // then วิเคราะห์ 25 % rather than closing
    QTest::addColumn<bool>("drop");    // the answer to "ทิ้ง…หรือไม่"
    QTest::newRow("header field, closed, kept") << "Text1(2)" << false << false;
    QTest::newRow("header field, closed, thrown away") << "Text1(2)" << false << true;
    QTest::newRow("key grid, closed, kept") << "DBGrid2" << false << false;
    QTest::newRow("header field, analysed, thrown away") << "Text1(2)" << true << true;
    QTest::newRow("header field, analysed, kept") << "Text1(2)" << true << false;
}

// A code typed into the new-record row, then a click on another panel
// instead of Enter: nothing is stored until the teacher says so, and the
// question on closing (or before an analysis counts it) still comes.
void EditHistoryTest::halfTypedSheetLeftByTheMouse() {
    QFETCH(QString, clicked);
    QFETCH(bool, analyse);
    QFETCH(bool, drop);
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenSmallFile(f);
    ia::SheetGrid& g = Grid(f);
    g.setFocus();
    g.setCurrentIndex(g.model()->index(3, 0));
    Type("77");
    auto* target = Control<QWidget>(f.w(), clicked);
    QWidget* clickOn = qobject_cast<ia::SheetGrid*>(target)
                           ? static_cast<ia::SheetGrid*>(target)->viewport()
                           : target;
    QTest::mouseClick(clickOn, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY2(f.focus() == target || target->isAncestorOf(f.focus()),
             qPrintable(f.focus() ? f.focus()->objectName() : QString("none")));
    QCOMPARE(Codes(path).size(), 3);
    QVERIFY(f.questions.isEmpty());

    f.answerYes = drop;
    if (analyse)
        Control<QPushButton>(f.w(), "Command5")->click();
    else
        f.w().close();
    QVERIFY(!f.questions.isEmpty());
    QVERIFY2(f.questions[0].contains("77") && f.questions[0].contains("ทิ้ง"),
             qPrintable(f.questions[0]));
    QCOMPARE(Codes(path),
             drop ? QStringList({"01", "02", "03"}) : QStringList({"01", "02", "03", "77"}));
}

// What Qt says while the grids are typed in: nothing, once the cell editors
// are opened and closed only as the view expects.
QStringList qtComplaints;
void CollectComplaints(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && text.contains("QAbstractItemView")) qtComplaints << text;
}

void EditHistoryTest::gridKeysLeaveQtSilent() {
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenSmallFile(f);
    qtComplaints.clear();
    const QtMessageHandler before = qInstallMessageHandler(CollectComplaints);
    ia::SheetGrid& g = Grid(f);
    ia::SheetGrid& key = Grid(f, "DBGrid2");
    auto click = [](ia::SheetGrid& grid, int row, int column) {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          grid.visualRect(grid.model()->index(row, column)).center());
    };
    auto key1 = [&](Qt::Key k) { Key(f.focus(), k); };

    // Answers to the last item of a row, Enter there, Escape and Delete.
    click(g, 0, 1);
    Type("234");
    key1(Qt::Key_Return);
    key1(Qt::Key_Escape);
    click(g, 1, 3);
    Type("1");
    key1(Qt::Key_Return);
    key1(Qt::Key_Delete);
    // From an open answer to the key grid and back, by the mouse.
    click(g, 2, 1);
    Type("4");
    click(key, 0, 3);
    Type("2");
    key1(Qt::Key_Return);
    click(g, 2, 2);
    Type("1");
    click(key, 0, 1);
    key1(Qt::Key_Up);
    key1(Qt::Key_Down);
    // A new sheet by its code and answers, Enter at its last item.
    click(g, 3, 0);
    Type("44");
    key1(Qt::Key_Return);
    Type("123");
    key1(Qt::Key_Return);
    // A code typed on the new-record row, then another row clicked.
    click(g, 4, 0);
    Type("55");
    click(g, 0, 2);
    // Rows deleted (Yes to the question), then undone.
    f.answerYes = true;
    g.selectRow(1);
    Key(&g, Qt::Key_Delete);
    g.selectRow(3);
    Key(&g, Qt::Key_Delete);
    Key(&g, Qt::Key_Z, Qt::ControlModifier);
    QTest::qWait(20);
    qInstallMessageHandler(before);
    QVERIFY2(qtComplaints.isEmpty(), qPrintable(qtComplaints.join("\n")));
    QVERIFY(Codes(path).size() >= 4);
}

QTEST_MAIN(EditHistoryTest)
#include "qtest_EditHistory.moc"
