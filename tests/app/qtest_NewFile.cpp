// SPDX-License-Identifier: GPL-3.0-or-later
// Creating an exam file through the header panel and opening one that the
// binding refuses.

#include "WindowFixture.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"

#include <QLabel>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>

using iatest::Control;
using iatest::HeaderFieldEdit;
using iatest::WindowFixture;
namespace fs = std::filesystem;

namespace {

// The header row as stored.
struct Stored {
    std::string subCode;
    long long year = 0, items = 0, choices = 0;
};
Stored ReadStored(const std::string& path) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT SubCode, Yearr, nItem, nChoice FROM Tinit");
    Stored s;
    if (st.step()) s = {st.column(0).text(), st.columnInt(1), st.columnInt(2), st.columnInt(3)};
    return s;
}

} // namespace

class NewFileTest : public QObject {
    Q_OBJECT
  private slots:
    void createdFileIsOpenWithFocusInKeyGrid();
    void refusedHeader_data();
    void refusedHeader();
    void cancelledOverwriteKeepsTheFile();
    void overwriteReplacesTheFileOpenRightNow();
    void aFileThatCannotBeKeptIsNotReplaced();
    void namesAreUsedLiterally();
    void failedCreationReturnsToTheFileName();
    void failedCreationSaysWhyInTheMessageLine();
    void aFileInUseIsNotReplaced();
    void okButtonLeftArrowGoesToTeacher();
    void fileThatFailsToBindLeavesThePreviousFile();
};

void NewFileTest::createdFileIsOpenWithFocusInKeyGrid() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    f.typeNewHeader("exam", "40", "4", "2546");

    const std::string path = f.dir().file("exam.ans");
    QVERIFY(fs::exists(path));
    QCOMPARE(ia::IsExamFile(path), 1);
    Stored s = ReadStored(path);
    QCOMPARE(s.subCode, std::string("ว101"));
    QCOMPARE(s.year, 2546LL);
    QCOMPARE(s.items, 40LL);
    QCOMPARE(s.choices, 4LL);

    QCOMPARE(f.focus(), Control<ia::SheetGrid>(w, "DBGrid2"));
    QCOMPARE(w.session().isOpen(), true);
    QCOMPARE(w.session().fileName(), path);
    QCOMPARE(HeaderFieldEdit(w, 0)->text(), QString::fromStdString(path));
    QVERIFY(!HeaderFieldEdit(w, 0)->isEnabled());
    QVERIFY(!Control<QPushButton>(w, "Command4")->isVisible());
    QVERIFY(Control<ia::SheetGrid>(w, "DBGrid1")->isVisible());
    QVERIFY(Control<QFrame>(w, "Picture4")->isVisible());
    QVERIFY(Control<QPushButton>(w, "Command7")->isVisible());
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid2")->model()->columnCount(), 42);
    QVERIFY(f.messages.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void NewFileTest::refusedHeader_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("items");
    QTest::addColumn<QString>("choices");
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    QTest::newRow("no name") << ""
                             << "40"
                             << "4"
                             << "2546"
                             << "กรุณาใส่ชื่อไฟล์ข้อมูลด้วย" << 0;
    QTest::newRow("no items") << "t"
                              << ""
                              << "4"
                              << "2546"
                              << "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก" << 5;
    QTest::newRow("no choices") << "t"
                                << "40"
                                << ""
                                << "2546"
                                << "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก" << 5;
    QTest::newRow("items abc") << "t"
                               << "abc"
                               << "4"
                               << "2546"
                               << "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก เป็นตัวเลข" << 5;
    QTest::newRow("items 252") << "t"
                               << "252"
                               << "4"
                               << "2546"
                               << "จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ" << 5;
    QTest::newRow("choices 6") << "t"
                               << "40"
                               << "6"
                               << "2546"
                               << "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก" << 6;
    QTest::newRow("year too large") << "t"
                                    << "40"
                                    << "4"
                                    << "99999999999"
                                    << "ปีการศึกษาไม่ถูกต้อง" << 4;
}

void NewFileTest::refusedHeader() {
    QFETCH(QString, name);
    QFETCH(QString, items);
    QFETCH(QString, choices);
    QFETCH(QString, year);
    QFETCH(QString, message);
    QFETCH(int, focus);
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    f.typeNewHeader(name, items, choices, year);
    QVERIFY(Control<QLabel>(w, "Label5")->isVisible());
    QCOMPARE(Control<QLabel>(w, "Label5")->text(), message);
    QCOMPARE(f.focus(), HeaderFieldEdit(w, focus));
    QVERIFY(Control<QPushButton>(w, "Command4")->isVisible());
    QCOMPARE(w.session().isOpen(), false);
    for (const auto& e : fs::directory_iterator(f.dir().path()))
        QVERIFY2(e.path().extension() != ".ans", e.path().c_str());
    QVERIFY(f.questions.isEmpty());

    // The next try clears the line before checking again.
    HeaderFieldEdit(w, 0)->setText("ok");
    HeaderFieldEdit(w, 4)->setText("2546");
    HeaderFieldEdit(w, 5)->setText("10");
    HeaderFieldEdit(w, 6)->setText("4");
    Control<QPushButton>(w, "Command4")->click();
    QVERIFY(!Control<QLabel>(w, "Label5")->isVisible());
    QVERIFY(Control<QLabel>(w, "Label5")->text().isEmpty());
    QCOMPARE(w.session().isOpen(), true);
}

void NewFileTest::cancelledOverwriteKeepsTheFile() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = f.dir().file("old.ans");
    std::ofstream(path) << "keep me";
    f.answerOk = false;
    f.typeNewHeader("old", "10", "4");
    QCOMPARE(f.questions,
             QStringList{"ไฟล์ " + QString::fromStdString(path) + "  มีอยู่แล้ว จะเขียนทับหรือไม่"});
    QCOMPARE(iatest::FileBytes(path), std::string("keep me"));
    QCOMPARE(f.focus(), HeaderFieldEdit(w, 0));
    QCOMPARE(w.session().isOpen(), false);
    QVERIFY(Control<QPushButton>(w, "Command4")->isVisible());
}

void NewFileTest::overwriteReplacesTheFileOpenRightNow() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    f.typeNewHeader("same", "40", "4");
    const std::string path = f.dir().file("same.ans");
    QCOMPARE(ReadStored(path).items, 40LL);
    QVERIFY(w.views().sheets.isOpen());

    f.typeNewHeader("same.ans", "10", "3");
    QCOMPARE(f.questions.size(), 1);
    // The replaced file is kept, and the message line says where.
    QCOMPARE(ReadStored(path + ".bak").items, 40LL);
    QVERIFY(Control<QLabel>(w, "Label5")->isVisible());
    QCOMPARE(Control<QLabel>(w, "Label5")->toolTip(),
             "เก็บไฟล์เดิมไว้ที่ " + QString::fromStdString(path) + ".bak");
    // The whole path shows: the line wraps and grows instead of clipping it.
    QVERIFY(Control<QLabel>(w, "Label5")->wordWrap());
    QVERIFY(Control<QLabel>(w, "Label5")->height() >=
            Control<QLabel>(w, "Label5")->heightForWidth(Control<QLabel>(w, "Label5")->width()));
    QCOMPARE(ReadStored(path).items, 10LL);
    QCOMPARE(ReadStored(path).choices, 3LL);
    QVERIFY(w.views().sheets.isOpen());
    QCOMPARE(w.views().key.Recordset()->fieldCount(), 12);
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid2")->model()->columnCount(), 12);
    QCOMPARE(f.focus(), Control<ia::SheetGrid>(w, "DBGrid2"));
    QVERIFY(f.messages.isEmpty());
}

void NewFileTest::aFileThatCannotBeKeptIsNotReplaced() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    f.typeNewHeader("kept", "40", "4");
    const std::string path = f.dir().file("kept.ans");
    // A folder where the backup would go: the old file cannot move there.
    std::filesystem::create_directory(path + ".bak");
    std::ofstream(path + ".bak/inside") << "x";

    f.typeNewHeader("kept", "10", "3");
    QCOMPARE(f.questions.size(), 1);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages[0].startsWith("เก็บไฟล์เดิมไว้ที่ " + QString::fromStdString(path) +
                                      ".bak  ไม่ได้ จึงไม่เขียนทับไฟล์"),
             qPrintable(f.messages[0]));
    QCOMPARE(ReadStored(path).items, 40LL);
    QCOMPARE(iatest::FileBytes(path + ".bak/inside"), std::string("x"));
    QCOMPARE(f.focus(), HeaderFieldEdit(w, 0));
    QVERIFY(Control<QPushButton>(w, "Command4")->isVisible());
}

void NewFileTest::namesAreUsedLiterally() {
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string star = f.dir().file("a*.ans");
    const std::string other = f.dir().file("ab.ans");
    std::ofstream(star) << "x";
    std::ofstream(other) << "other";
    f.typeNewHeader("a*", "5", "2");
    QCOMPARE(f.questions.size(), 1);
    QCOMPARE(ia::IsExamFile(star), 1);
    QCOMPARE(iatest::FileBytes(other), std::string("other"));
}

void NewFileTest::failedCreationReturnsToTheFileName() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    f.typeNewHeader("no/such/folder/t", "5", "2");
    QCOMPARE(f.focus(), HeaderFieldEdit(w, 0));
    QVERIFY(f.messages.isEmpty());
    QVERIFY(Control<QPushButton>(w, "Command4")->isVisible());
    QCOMPARE(w.session().isOpen(), false);
    QVERIFY(!Control<ia::SheetGrid>(w, "DBGrid1")->isVisible());
    QVERIFY(!QApplication::overrideCursor());
}

void NewFileTest::failedCreationSaysWhyInTheMessageLine() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    f.typeNewHeader("no/such/folder/t", "5", "2");
    // Beside the name to change, without a box to close.
    QVERIFY(Control<QLabel>(w, "Label5")->isVisible());
    QVERIFY2(Control<QLabel>(w, "Label5")->toolTip().startsWith("สร้างไฟล์ไม่ได้ : "),
             qPrintable(Control<QLabel>(w, "Label5")->toolTip()));
    QVERIFY(f.messages.isEmpty());
}

void NewFileTest::aFileInUseIsNotReplaced() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = f.dir().file("held.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"},
                         {{"101", "1", "1", "1", "1"}});
    const std::string before = iatest::FileBytes(path);
    // Another program in the middle of writing it.
    ia::Connection holder(path);
    holder.exec("BEGIN EXCLUSIVE");
    f.typeNewHeader("held", "10", "3");
    QCOMPARE(f.questions.size(), 1);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages[0].contains("ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น") &&
                 f.messages[0].endsWith("กรุณาปิดโปรแกรมอื่นที่ใช้ไฟล์นี้ หรือเลือกชื่อไฟล์ใหม่"),
             qPrintable(f.messages[0]));
    holder.exec("ROLLBACK");
    QCOMPARE(iatest::FileBytes(path), before);
    QVERIFY(!std::filesystem::exists(path + ".bak"));
    QCOMPARE(f.focus(), HeaderFieldEdit(w, 0));
    QVERIFY(Control<QPushButton>(w, "Command4")->isVisible());
    QCOMPARE(w.session().isOpen(), false);
}

void NewFileTest::okButtonLeftArrowGoesToTeacher() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    Control<QPushButton>(w, "Command1")->click();
    Control<QPushButton>(w, "Command4")->setFocus();
    QTest::keyClick(Control<QPushButton>(w, "Command4"), Qt::Key_Left);
    QCOMPARE(f.focus(), HeaderFieldEdit(w, 7));
}

void NewFileTest::fileThatFailsToBindLeavesThePreviousFile() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string good = f.dir().file("good.ans");
    iatest::MakeExamFile(good, iatest::MakeHeader(6, 4), {}, {{"1"}, {"2"}, {"3"}});
    f.nextFile = QString::fromStdString(good);
    Control<QPushButton>(w, "Command2")->click();
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->model()->rowCount(),
             4); // three sheets and the new-record row

    // Recognised by its signature table, but without the tables to bind.
    const std::string broken = f.dir().file("broken.ans");
    {
        ia::Connection db(broken, ia::Connection::Mode::Create);
        db.exec("CREATE TABLE TVTQ (VTQ TEXT)");
    }
    QCOMPARE(ia::IsExamFile(broken), 1);
    f.nextFile = QString::fromStdString(broken);
    Control<QPushButton>(w, "Command2")->click();
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains(QString::fromStdString(broken)));
    QCOMPARE(w.session().fileName(), good);
    QCOMPARE(w.views().sheets.DatabaseName, good);
    QVERIFY(w.views().sheets.isOpen());
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->model()->rowCount(), 4);
    QCOMPARE(HeaderFieldEdit(w, 0)->text(), QString::fromStdString(good));
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(NewFileTest)
#include "qtest_NewFile.moc"
