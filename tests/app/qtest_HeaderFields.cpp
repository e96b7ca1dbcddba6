// SPDX-License-Identifier: GPL-3.0-or-later
// Keys and write-back of the header fields, and the school name.

#include "WindowFixture.h"
#include "examfile/Cp874.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/SchoolName.h"

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <iterator>

using iatest::Control;
using iatest::DiskFull;
using iatest::HeaderFieldEdit;
using iatest::WindowFixture;
namespace fs = std::filesystem;

namespace {

ia::Value StoredField(const std::string& path, const std::string& field) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT " + field + " FROM Tinit");
    return st.step() ? st.column(0) : ia::Value();
}

// Opens a 10-item, 4-choice file in the window.
std::string OpenFile(WindowFixture& f) {
    const std::string path = f.dir().file("h.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(10, 4), {}, {{"1"}});
    f.nextFile = QString::fromStdString(path);
    Control<QPushButton>(f.w(), "Command2")->click();
    return path;
}

} // namespace

class HeaderFieldsTest : public QObject {
    Q_OBJECT
  private slots:
    void keyMoves_data();
    void keyMoves();
    void writeBack_data();
    void writeBack();
    void noWriteBackWhileANewHeaderIsTyped();
    void writeBackOnAFullDiskKeepsTheStoredValue();
    void itemCountIsFixedWhileAFileIsOpen();
    void fewerChoicesAreCountedAndAskedWithNoAsTheDefault();
    void schoolNameFileCreatedAtFirstStart();
    void schoolNameReadCutAtAComma();
    void aNewSchoolNameHeadsTheReportOnScreenAtOnce();
    void schoolNameSavedOnlyWhenChanged();
    void schoolNameNeverOverwritesAnExamFile();
    void schoolNameUnwritableIsReported();
};

void HeaderFieldsTest::keyMoves_data() {
    QTest::addColumn<bool>("fileOpen");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("to"); // object name of the widget with the focus

    const int none = Qt::NoModifier;
    QTest::newRow("new: left from 1") << false << 1 << int(Qt::Key_Left) << none << "Text1(0)";
    QTest::newRow("new: up from 1") << false << 1 << int(Qt::Key_Up) << none << "Text1(0)";
    QTest::newRow("new: home") << false << 6 << int(Qt::Key_Home) << none << "Text1(0)";
    QTest::newRow("new: enter in 7") << false << 7 << int(Qt::Key_Return) << none << "Command4";
    QTest::newRow("new: shift left")
        << false << 4 << int(Qt::Key_Left) << int(Qt::ShiftModifier) << "Command1";
    QTest::newRow("open: left from 1") << true << 1 << int(Qt::Key_Left) << none << "Text1(1)";
    QTest::newRow("open: up from 1") << true << 1 << int(Qt::Key_Up) << none << "Text1(1)";
    QTest::newRow("open: home") << true << 6 << int(Qt::Key_Home) << none << "Text1(1)";
    QTest::newRow("open: enter in 7") << true << 7 << int(Qt::Key_Return) << none << "Text1(7)";
    QTest::newRow("open: down from 2") << true << 2 << int(Qt::Key_Down) << none << "Text1(6)";
    QTest::newRow("open: up from 7") << true << 7 << int(Qt::Key_Up) << none << "Text1(3)";
    QTest::newRow("open: page down") << true << 3 << int(Qt::Key_PageDown) << none << "DBGrid2";
    QTest::newRow("open: end") << true << 2 << int(Qt::Key_End) << none << "Text1(7)";
}

void HeaderFieldsTest::keyMoves() {
    QFETCH(bool, fileOpen);
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, to);
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    if (fileOpen)
        OpenFile(f);
    else
        Control<QPushButton>(w, "Command1")->click();
    HeaderFieldEdit(w, from)->setFocus();
    QTest::keyClick(HeaderFieldEdit(w, from), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(f.focus());
    QCOMPARE(f.focus()->objectName(), to);
}

void HeaderFieldsTest::writeBack_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("stored");  // text of the stored value afterwards
    QTest::addColumn<QString>("shown");   // text of the field afterwards
    QTest::addColumn<QString>("message"); // in a box
    QTest::addColumn<QString>("line");    // in the header panel's message line

    QTest::newRow("subject code") << 1 << "ค21101"
                                  << "SubCode"
                                  << "ค21101"
                                  << "ค21101"
                                  << ""
                                  << "";
    QTest::newRow("teacher") << 7 << "ครูใหม่"
                             << "TeacherName"
                             << "ครูใหม่"
                             << "ครูใหม่"
                             << ""
                             << "";
    QTest::newRow("year with letters after") << 4 << "2545abc"
                                             << "Yearr"
                                             << "2545"
                                             << "2545abc"
                                             << ""
                                             << "";
    QTest::newRow("year of letters") << 4 << "abc"
                                     << "Yearr"
                                     << "2546"
                                     << "2546"
                                     << ""
                                     << "ปีการศึกษาไม่ถูกต้อง";
    QTest::newRow("year in Thai digits") << 4 << "๒๕๔๗"
                                         << "Yearr"
                                         << "2547"
                                         << "๒๕๔๗"
                                         << ""
                                         << "";
    QTest::newRow("year emptied") << 4 << ""
                                  << "Yearr"
                                  << "0"
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("term as typed") << 3 << "๒/ฤดูร้อน"
                                   << "Term"
                                   << "๒/ฤดูร้อน"
                                   << "๒/ฤดูร้อน"
                                   << ""
                                   << "";
    QTest::newRow("year out of range") << 4 << "1e12"
                                       << "Yearr"
                                       << "2546"
                                       << "2546"
                                       << ""
                                       << "ปีการศึกษาไม่ถูกต้อง";
    QTest::newRow("choices in Thai digits") << 6 << "๓"
                                            << "nChoice"
                                            << "3"
                                            << "๓"
                                            << ""
                                            << "";
    QTest::newRow("choices") << 6 << "3"
                             << "nChoice"
                             << "3"
                             << "3"
                             << ""
                             << "";
    QTest::newRow("choices of letters") << 6 << "abc"
                                        << "nChoice"
                                        << "4"
                                        << "4"
                                        << "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก"
                                        << "";
    QTest::newRow("choices too many") << 6 << "260"
                                      << "nChoice"
                                      << "4"
                                      << "4"
                                      << "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก"
                                      << "";
    QTest::newRow("items never written") << 5 << "99"
                                         << "nItem"
                                         << "10"
                                         << "99"
                                         << ""
                                         << "";
}

void HeaderFieldsTest::writeBack() {
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, column);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    QFETCH(QString, line);
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = OpenFile(f);
    const ia::TestHeader before = w.session().header();

    HeaderFieldEdit(w, field)->setFocus();
    HeaderFieldEdit(w, field)->setText(typed);
    HeaderFieldEdit(w, field == 2 ? 3 : 2)->setFocus(); // leave the field

    QCOMPARE(QString::fromStdString(StoredField(path, column.toStdString()).text()), stored);
    QCOMPARE(HeaderFieldEdit(w, field)->text(), shown);
    QCOMPARE(f.messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty()) QCOMPARE(f.messageTitles, QStringList{"คำเตือน"});
    QCOMPARE(Control<QLabel>(w, "Label5")->isVisible(), !line.isEmpty());
    if (!line.isEmpty()) QCOMPARE(Control<QLabel>(w, "Label5")->toolTip(), line);
    const ia::TestHeader& h = w.session().header();
    QCOMPARE(h.nItem, before.nItem);
    if (column == "Yearr") QCOMPARE(QString::number(h.Yearr), stored);
    if (column == "nChoice") QCOMPARE(QString::number(h.nChoice), stored);
    if (column == "SubCode") QCOMPARE(QString::fromStdString(h.SubCode), stored);
    if (column == "TeacherName") QCOMPARE(QString::fromStdString(h.TeacherName), stored);
}

// A header field that cannot be stored for want of disk space is named in a
// warning, and the field goes back to what the file holds.
void HeaderFieldsTest::writeBackOnAFullDiskKeepsTheStoredValue() {
    DiskFull::Install();
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = OpenFile(f);
    const ia::TestHeader before = w.session().header();
    {
        DiskFull full;
        HeaderFieldEdit(w, 1)->setFocus();
        HeaderFieldEdit(w, 1)->setText("ค99999");
        HeaderFieldEdit(w, 2)->setFocus();
    }
    QCOMPARE(QString::fromStdString(StoredField(path, "SubCode").text()),
             QString::fromStdString(before.SubCode));
    QCOMPARE(HeaderFieldEdit(w, 1)->text(), QString::fromStdString(before.SubCode));
    QCOMPARE(QString::fromStdString(w.session().header().SubCode),
             QString::fromStdString(before.SubCode));
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages[0].contains("พื้นที่ดิสก์เต็ม"), qPrintable(f.messages[0]));
    QCOMPARE(f.messageTitles, QStringList{"คำเตือน"});

    // With room again, the same edit is stored.
    HeaderFieldEdit(w, 1)->setFocus();
    HeaderFieldEdit(w, 1)->setText("ค99999");
    HeaderFieldEdit(w, 2)->setFocus();
    QCOMPARE(QString::fromStdString(StoredField(path, "SubCode").text()), QString("ค99999"));
}

void HeaderFieldsTest::itemCountIsFixedWhileAFileIsOpen() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    OpenFile(f);
    QLineEdit* items = HeaderFieldEdit(w, 5);
    QVERIFY(items->isReadOnly());
    QVERIFY(!items->toolTip().isEmpty());
    items->setFocus();
    QTest::keyClicks(items, "99");
    QCOMPARE(items->text(), QString("10"));
    // A new header takes any number again, in Thai digits too.
    Control<QPushButton>(w, "Command1")->click();
    QVERIFY(!items->isReadOnly());
    for (QChar c : QString("๑๒"))
        QTest::sendKeyEvent(QTest::Click, items, static_cast<Qt::Key>(c.unicode()), QString(c),
                            Qt::NoModifier);
    QCOMPARE(items->text(), QString("๑๒"));
}

// Answers 3 and 4 and a key of 3 would fall out of range with 2 choices: the
// window counts them and asks; the box's Escape and Enter keep the file
// byte for byte, ใช่ changes it in one step that undo turns back.
void HeaderFieldsTest::fewerChoicesAreCountedAndAskedWithNoAsTheDefault() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = f.dir().file("c.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(3, 4), {"1", "3", "2"},
                         {iatest::Sheet("01", "134"), iatest::Sheet("02", "122")});
    f.nextFile = QString::fromStdString(path);
    Control<QPushButton>(w, "Command2")->click();
    const std::string before = iatest::TableDump(path);

    // The real box, answered by a key once it is up.
    ia::BoxPrompts boxes(&w);
    Qt::Key answerKey = Qt::Key_Escape;
    f.prompts.onAskYesNo = [&](const QString& title, const QString& text) {
        f.questions << text;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            poll.stop();
            QTest::keyClick(box, answerKey);
        });
        poll.start(5);
        return boxes.askYesNo(title, text);
    };
    QLineEdit* choices = HeaderFieldEdit(w, 6);
    const QString question = "คำตอบ 2 ช่องและเฉลย 1 ข้อจะเกินจำนวนตัวเลือกใหม่ (2 ตัวเลือก)\n"
                             "เปลี่ยนจำนวนตัวเลือกเป็น 2 หรือไม่";
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        answerKey = key;
        f.questions.clear();
        // The window is active again once the box before has gone.
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        choices->setFocus();
        choices->selectAll();
        QTest::keyClicks(choices, "2");
        QTest::keyClick(choices, Qt::Key_Tab);
        QCOMPARE(f.questions, QStringList{question});
        QCOMPARE(choices->text(), QString("4"));
        QCOMPARE(w.session().header().nChoice, 4);
        QCOMPARE(iatest::TableDump(path), before);
    }

    f.prompts.onAskYesNo = [&](const QString&, const QString& text) {
        f.questions << text;
        return true;
    };
    f.questions.clear();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    choices->setFocus();
    choices->selectAll();
    QTest::keyClicks(choices, "2");
    QTest::keyClick(choices, Qt::Key_Tab);
    QCOMPARE(f.questions, QStringList{question});
    QCOMPARE(StoredField(path, "nChoice").text(), std::string("2"));
    QCOMPARE(w.session().header().nChoice, 2);
    Control<QPushButton>(w, "cmdUndo")->click();
    QCOMPARE(iatest::TableDump(path), before);
    QCOMPARE(choices->text(), QString("4"));
    QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
}

void HeaderFieldsTest::noWriteBackWhileANewHeaderIsTyped() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = OpenFile(f);
    Control<QPushButton>(w, "Command1")->click();
    QCOMPARE(w.headerPanel().headerChanged(), true);
    HeaderFieldEdit(w, 1)->setFocus();
    HeaderFieldEdit(w, 1)->setText("ไม่ใช่ของไฟล์เก่า");
    HeaderFieldEdit(w, 2)->setFocus();
    QCOMPARE(StoredField(path, "SubCode").text(), std::string("ท31101"));
    QCOMPARE(w.session().header().SubCode, std::string("ท31101"));
}

void HeaderFieldsTest::schoolNameFileCreatedAtFirstStart() {
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = f.dir().file("SchoolName.txt");
    QCOMPARE(iatest::FileBytes(path), ia::ToCp874("โรงเรียน...") + "\r\n");
    // The field shows what the file holds, which is what will be printed.
    QCOMPARE(Control<QLineEdit>(f.w(), "Text2")->text(), QString("โรงเรียน..."));
    QCOMPARE(f.w().reportPanel().savedSchoolName(), std::string("โรงเรียน..."));
    QVERIFY(f.messages.isEmpty());
}

void HeaderFieldsTest::schoolNameReadCutAtAComma() {
    WindowFixture f;
    auto& w = f.w();
    const std::string path = f.dir().file("SchoolName.txt");
    std::ofstream(path, std::ios::binary) << ia::ToCp874("โรงเรียนวัดโพธิ์, กรุงเทพ") << "\r\n";
    QVERIFY(f.showActive());
    QCOMPARE(Control<QLineEdit>(w, "Text2")->text(), QString("โรงเรียนวัดโพธิ์"));
    QCOMPARE(w.reportPanel().savedSchoolName(), std::string("โรงเรียนวัดโพธิ์"));

    // A name with a comma typed now comes back cut at the next start.
    Control<QFrame>(w, "Picture3")->show();
    Control<QLineEdit>(w, "Text2")->setFocus();
    Control<QLineEdit>(w, "Text2")->setText("โรงเรียนบ้านนา, ลำปาง");
    HeaderFieldEdit(w, 0)->setFocus(Qt::OtherFocusReason);
    Control<QFrame>(w, "Picture3")->hide();
    QCOMPARE(iatest::FileBytes(path), ia::ToCp874("โรงเรียนบ้านนา, ลำปาง") + "\r\n");
    ia::FTAData next;
    next.show();
    QCOMPARE(Control<QLineEdit>(next, "Text2")->text(), QString("โรงเรียนบ้านนา"));
}

// The report on screen is laid out as it will be printed: its heading is the
// name SchoolName.txt holds, and a name typed now replaces it there at once.
void HeaderFieldsTest::aNewSchoolNameHeadsTheReportOnScreenAtOnce() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string exam = f.dir().file("r.ans");
    std::vector<std::vector<std::string>> sheets;
    const char* answers[] = {"12341234", "12341233", "12341111", "12344321",
                             "12342222", "11111234", "43211234", "12343333",
                             "22221234", "44444444", "12331234", "13241324"};
    for (int i = 0; i < 12; ++i)
        sheets.push_back(iatest::Sheet(std::to_string(i + 1), answers[i]));
    iatest::MakeExamFile(exam, iatest::MakeHeader(8, 4), {"1", "2", "3", "4", "1", "2", "3", "4"},
                         sheets);
    f.nextFile = QString::fromStdString(exam);
    Control<QPushButton>(w, "Command2")->click();
    Control<QPushButton>(w, "Command5")->click();
    QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
    auto* report = Control<QPlainTextEdit>(w, "RichTextBox1");
    QVERIFY2(report->toPlainText().contains("โรงเรียน..."), qPrintable(report->toPlainText()));

    QLineEdit* school = Control<QLineEdit>(w, "Text2");
    auto type = [school](const QString& text) {
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, school, static_cast<Qt::Key>(c.unicode()), QString(c),
                                Qt::NoModifier);
    };
    school->setFocus();
    school->selectAll();
    type("โรงเรียนบ้านนา");
    Control<QPushButton>(w, "Command8")->setFocus();
    QVERIFY2(report->toPlainText().contains("โรงเรียนบ้านนา"), qPrintable(report->toPlainText()));
    QVERIFY(!report->toPlainText().contains("โรงเรียน..."));
    QCOMPARE(iatest::FileBytes(f.dir().file("SchoolName.txt")),
             ia::ToCp874("โรงเรียนบ้านนา") + "\r\n");
    QCOMPARE(w.reportPanel().schoolName(), std::string("โรงเรียนบ้านนา"));

    // Typed without leaving the field, it is there after a moment too.
    school->setFocus();
    type("เหนือ");
    QTRY_VERIFY(report->toPlainText().contains("โรงเรียนบ้านนาเหนือ"));
}

void HeaderFieldsTest::schoolNameSavedOnlyWhenChanged() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = f.dir().file("SchoolName.txt");
    std::ofstream(path, std::ios::binary) << "edited elsewhere\r\n";
    Control<QFrame>(w, "Picture3")->show();
    Control<QLineEdit>(w, "Text2")->setFocus();
    Control<QPushButton>(w, "Command8")->setFocus();
    QCOMPARE(iatest::FileBytes(path), std::string("edited elsewhere\r\n"));
}

void HeaderFieldsTest::schoolNameNeverOverwritesAnExamFile() {
    WindowFixture f;
    auto& w = f.w();
    const std::string path = f.dir().file("SchoolName.txt");
    QCOMPARE(ia::CreateExamFile(path, iatest::MakeHeader(3, 2)), 0);
    const std::string before = iatest::FileBytes(path);
    QVERIFY(f.showActive());
    QCOMPARE(Control<QLineEdit>(w, "Text2")->text(), QString("โรงเรียน..."));
    Control<QFrame>(w, "Picture3")->show();
    Control<QLineEdit>(w, "Text2")->setFocus();
    Control<QLineEdit>(w, "Text2")->setText("โรงเรียนใหม่");
    Control<QPushButton>(w, "Command8")->setFocus();
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.messageTitles, QStringList{"คำเตือน"});
    QCOMPARE(iatest::FileBytes(path), before);
}

void HeaderFieldsTest::schoolNameUnwritableIsReported() {
    WindowFixture f;
    auto& w = f.w();
    fs::create_directory(f.dir().path() / "SchoolName.txt");
    QVERIFY(f.showActive());
    QVERIFY(f.messages.isEmpty()); // it exists; there is just nothing to read
    Control<QFrame>(w, "Picture3")->show();
    Control<QLineEdit>(w, "Text2")->setFocus();
    Control<QLineEdit>(w, "Text2")->setText("โรงเรียนใหม่");
    Control<QPushButton>(w, "Command8")->setFocus();
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains("SchoolName.txt"));
}

QTEST_MAIN(HeaderFieldsTest)
#include "qtest_HeaderFields.moc"
