// SPDX-License-Identifier: GPL-3.0-or-later
// Bad input through the window: header fields, answer and code cells, the
// school name, file names that look like patterns, a file the engine may
// only read and one file open in two windows. Nothing may be lost, nothing
// may crash, and every refusal says in Thai what is wrong.

#include "WindowFixture.h"
#include "app/DataNavBar.h"
#include "examfile/Cp874.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/SchoolName.h"
#include "report/OutputPath.h"
#include "sheet/SheetModel.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>

using iatest::Control;
using iatest::HeaderFieldEdit;
using iatest::WindowFixture;
using namespace ia;
namespace fs = std::filesystem;

namespace {

const QString kReadOnly = "ไฟล์เป็นแบบอ่านอย่างเดียว บันทึกไม่ได้";

// The first column of the first row of a query, as text ("<null>" for NULL).
using iatest::Stored;

QStringList Codes(const std::string& path) {
    Connection db(path, Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT Code FROM TAData ORDER BY rowid");
    QStringList codes;
    while (st.step())
        codes << QString::fromStdString(st.column(0).text());
    return codes;
}

// Twelve sheets of eight items under a key of all ones: enough to analyse.
void AddSheetsAndKey(const std::string& path) {
    Connection db(path);
    Transaction tx(db);
    db.exec("UPDATE TKey SET X1='1',X2='1',X3='1',X4='1',X5='1',X6='1',X7='1',X8='1'");
    for (int i = 0; i < 12; ++i) {
        auto st = db.prepare(
            "INSERT INTO TAData (Code,X1,X2,X3,X4,X5,X6,X7,X8) VALUES (?,?,?,?,?,?,?,?,?)");
        st.bind(1, std::to_string(i + 1));
        for (int k = 0; k < 8; ++k)
            st.bind(k + 2, std::string(1, k < i % 9 ? '1' : char('2' + (i + k) % 3)));
        st.run();
    }
    tx.commit();
}

// Opens an exam file of eight items and four choices with sheets through
// the open command.
std::string OpenFile(WindowFixture& f, const char* name = "b.ans", bool sheets = true) {
    const std::string path = f.dir().file(name);
    iatest::MakeExamFile(path, iatest::MakeHeader(8, 4), {}, {});
    if (sheets) AddSheetsAndKey(path);
    f.nextFile = QString::fromStdString(path);
    Control<QPushButton>(f.w(), "Command2")->click();
    return path;
}

void TypeHeader(WindowFixture& f, const QStringList& texts) {
    Control<QPushButton>(f.w(), "Command1")->click();
    for (int i = 0; i < 8; ++i)
        HeaderFieldEdit(f.w(), i)->setText(texts[i]);
    Control<QPushButton>(f.w(), "Command4")->click();
}

// Opens the editor of a cell and puts text into it as a paste does.
QLineEdit* OpenEditor(SheetGrid* grid, int row, int column) {
    const QModelIndex idx = grid->model()->index(row, column);
    grid->setFocus();
    grid->setCurrentIndex(idx);
    grid->edit(idx);
    return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

} // namespace

class BadInputTest : public QObject {
    Q_OBJECT
  private slots:
    void newHeader_data();
    void newHeader();
    void overlongHeaderTexts_data();
    void overlongHeaderTexts();
    void editedHeader_data();
    void editedHeader();
    void answerCellTakesOnlyOneValidDigit_data();
    void answerCellTakesOnlyOneValidDigit();
    void codesLongerThanTheirFieldAndQuotes_data();
    void codesLongerThanTheirFieldAndQuotes();
    void schoolNameOutsideTheThaiCodePage();
    void fileNamesAreTakenLiterally_data();
    void fileNamesAreTakenLiterally();
    void readOnlyFile_data();
    void readOnlyFile();
    void oneFileInTwoWindows();
};

void BadInputTest::newHeader_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("message"); // empty: the file is made
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("stored"); // nItem nChoice Yearr SubCode of the made file

    auto h = [](QString items, QString choices, QString year = "2546", QString name = "n",
                QString code = "ว101") {
        return QStringList{name, code, "วิทย์", "1", year, items, choices, "ครู"};
    };
    const QString items = "จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ";
    const QString notNumbers = "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก เป็นตัวเลข";
    QTest::newRow("no file name") << h("40", "4", "2546", "") << "กรุณาใส่ชื่อไฟล์ข้อมูลด้วย"
                                  << "Text1(0)"
                                  << "";
    QTest::newRow("no items") << h("", "4") << "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก"
                              << "Text1(5)"
                              << "";
    QTest::newRow("Thai letters") << h("สี่สิบ", "4") << notNumbers << "Text1(5)"
                                  << "";
    // Thai digits read as the same ASCII digits.
    QTest::newRow("Thai digits") << h("๔๐", "๔", "๒๕๔๗") << ""
                                 << ""
                                 << "40 4 2547 ว101";
    QTest::newRow("blanks only") << h("  ", "4") << notNumbers << "Text1(5)"
                                 << "";
    QTest::newRow("huge items") << h("99999999999", "4") << items << "Text1(5)"
                                << "";
    QTest::newRow("negative items") << h("-5", "4") << items << "Text1(5)"
                                    << "";
    QTest::newRow("huge choices") << h("40", "99999999999")
                                  << "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก"
                                  << "Text1(6)"
                                  << "";
    QTest::newRow("huge year") << h("40", "4", "99999999999") << "ปีการศึกษาไม่ถูกต้อง"
                               << "Text1(4)"
                               << "";
    QTest::newRow("2.5 items") << h("2.5", "4") << ""
                               << ""
                               << "2 4 2546 ว101";
    QTest::newRow("3.5 items, +3 choices") << h("3.5", "+3") << ""
                                           << ""
                                           << "4 3 2546 ว101";
    QTest::newRow("blanks around") << h(" 40 ", " 4 ", " 2547 ") << ""
                                   << ""
                                   << "40 4 2547 ว101";
    QTest::newRow("quotes and SQL in the code")
        << h("5", "4", "2546", "n", "x');DROP TABLE Tinit") << ""
        << ""
        << "5 4 2546 x');DROP TABLE Tinit";
    // The field holds no more than the file does: the rest is never typed.
    QTest::newRow("code cut at its size")
        << h("5", "4", "2546", "n", QString(25, QChar(u'ก'))) << ""
        << ""
        << "5 4 2546 " + QString(20, QChar(u'ก'));
}

void BadInputTest::newHeader() {
    QFETCH(QStringList, texts);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(QString, stored);
    WindowFixture f;
    QVERIFY(f.showActive());
    TypeHeader(f, texts);
    QVERIFY(f.messages.isEmpty());
    const std::string path = f.dir().file("n.ans");
    if (!message.isEmpty()) {
        QCOMPARE(Control<QLabel>(f.w(), "Label5")->text(), message);
        QVERIFY(Control<QLabel>(f.w(), "Label5")->isVisible());
        QCOMPARE(f.focus()->objectName(), focus);
        QVERIFY(!fs::exists(path));
        QCOMPARE(f.w().session().isOpen(), false);
        return;
    }
    QVERIFY(Control<QLabel>(f.w(), "Label5")->isHidden());
    QCOMPARE(Stored(path, "SELECT nItem || ' ' || nChoice || ' ' || Yearr || ' ' || SubCode "
                          "FROM Tinit"),
             stored);
    QCOMPARE(f.w().session().isOpen(), true);
}

void BadInputTest::overlongHeaderTexts_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("message");
    QTest::newRow("subject code") << 1 << 20 << "รหัสวิชายาวเกิน 20 ตัวอักษร";
    QTest::newRow("subject") << 2 << 100 << "ชื่อวิชายาวเกิน 100 ตัวอักษร";
    QTest::newRow("term") << 3 << 10 << "เทอมยาวเกิน 10 ตัวอักษร";
    QTest::newRow("teacher") << 7 << 50 << "ชื่ออาจารย์ผู้สอนยาวเกิน 50 ตัวอักษร";
}

// A text past the field's size, pasted or typed, stops at the size; should it
// get past the field anyway, a new file is refused and an open file keeps
// its stored text, each with a message saying which text is too long.
void BadInputTest::overlongHeaderTexts() {
    QFETCH(int, field);
    QFETCH(int, size);
    QFETCH(QString, message);
    const QString tooLong(size + 5, QChar(u'ข'));

    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    Control<QPushButton>(w, "Command1")->click();
    QApplication::clipboard()->setText(tooLong);
    HeaderFieldEdit(w, field)->setFocus();
    HeaderFieldEdit(w, field)->paste();
    QCOMPARE(HeaderFieldEdit(w, field)->text(), tooLong.left(size));

    QStringList texts{"n", "ว101", "วิทย์", "1", "2546", "10", "4", "ครู"};
    texts[field] = tooLong;
    HeaderFieldEdit(w, field)->setMaxLength(32767);
    TypeHeader(f, texts);
    QCOMPARE(Control<QLabel>(w, "Label5")->text(), message);
    QCOMPARE(f.focus(), HeaderFieldEdit(w, field));
    QVERIFY(!fs::exists(f.dir().file("n.ans")));

    const std::string path = OpenFile(f, "o.ans", false);
    const char* column = field == 1   ? "SubCode"
                         : field == 2 ? "SubName"
                         : field == 3 ? "Term"
                                      : "TeacherName";
    const QString before = Stored(path, std::string("SELECT ") + column + " FROM Tinit");
    HeaderFieldEdit(w, field)->setFocus();
    HeaderFieldEdit(w, field)->setText(tooLong);
    HeaderFieldEdit(w, field == 2 ? 3 : 2)->setFocus();
    QCOMPARE(f.messages, QStringList{message});
    QCOMPARE(f.messageTitles, QStringList{"คำเตือน"});
    QCOMPARE(Stored(path, std::string("SELECT ") + column + " FROM Tinit"), before);
    QCOMPARE(HeaderFieldEdit(w, field)->text(), before);
    const TestHeader& h = w.session().header();
    const std::string& variable = field == 1   ? h.SubCode
                                  : field == 2 ? h.SubName
                                  : field == 3 ? h.Term
                                               : h.TeacherName;
    QCOMPARE(QString::fromStdString(variable), before);
}

void BadInputTest::editedHeader_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("message"); // in a box
    QTest::addColumn<QString>("line");    // in the header panel's message line
    const QString choices = "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก";
    QTest::newRow("huge year") << 4 << "99999999999"
                               << "Yearr"
                               << "2546"
                               << "2546"
                               << ""
                               << "ปีการศึกษาไม่ถูกต้อง";
    QTest::newRow("negative year") << 4 << "-5"
                                   << "Yearr"
                                   << "-5"
                                   << "-5"
                                   << ""
                                   << "";
    // Thai digits read as the same ASCII digits.
    QTest::newRow("Thai digit year") << 4 << "๒๕๔๗"
                                     << "Yearr"
                                     << "2547"
                                     << "๒๕๔๗"
                                     << ""
                                     << "";
    QTest::newRow("plus choices") << 6 << "+3"
                                  << "nChoice"
                                  << "3"
                                  << "+3"
                                  << ""
                                  << "";
    QTest::newRow("Thai digit choices") << 6 << "๓"
                                        << "nChoice"
                                        << "3"
                                        << "๓"
                                        << ""
                                        << "";
    QTest::newRow("huge choices") << 6 << "99999999999"
                                  << "nChoice"
                                  << "4"
                                  << "4" << choices << "";
    QTest::newRow("SQL in the subject") << 2 << "'); DROP TABLE Tinit; --"
                                        << "SubName"
                                        << "'); DROP TABLE Tinit; --"
                                        << "'); DROP TABLE Tinit; --"
                                        << ""
                                        << "";
    QTest::newRow("emptied teacher") << 7 << ""
                                     << "TeacherName"
                                     << ""
                                     << ""
                                     << ""
                                     << "";
}

void BadInputTest::editedHeader() {
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, column);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    QFETCH(QString, line);
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenFile(f, "e.ans", false);
    HeaderFieldEdit(f.w(), field)->setFocus();
    HeaderFieldEdit(f.w(), field)->setText(typed);
    HeaderFieldEdit(f.w(), field == 2 ? 3 : 2)->setFocus();
    QCOMPARE(Stored(path, "SELECT " + column.toStdString() + " FROM Tinit"), stored);
    QCOMPARE(HeaderFieldEdit(f.w(), field)->text(), shown);
    QCOMPARE(f.messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(Control<QLabel>(f.w(), "Label5")->isVisible(), !line.isEmpty());
    if (!line.isEmpty()) QCOMPARE(Control<QLabel>(f.w(), "Label5")->toolTip(), line);
    QCOMPARE(f.w().session().header().nItem, int16_t(8));
}

void BadInputTest::answerCellTakesOnlyOneValidDigit_data() {
    QTest::addColumn<bool>("newSheet"); // on the new-record row instead of sheet 1
    QTest::addColumn<bool>("inputMethod");
    QTest::addColumn<QString>("text");
    // X1 of sheet 1 (stored "2", kept when the text is no answer), or of the
    // new sheet.
    QTest::addColumn<QString>("stored");
    QTest::newRow("pasted digits") << false << false << "12345"
                                   << "2";
    QTest::newRow("pasted Thai letters") << false << false << "กขค"
                                         << "2";
    QTest::newRow("pasted choice out of range") << false << false << "5"
                                                << "2";
    QTest::newRow("pasted zero") << false << false << "0"
                                 << "0";
    QTest::newRow("input method digits") << false << true << "๑๒๓"
                                         << "2";
    QTest::newRow("input method letter") << false << true << "ก"
                                         << "2";
    QTest::newRow("input method Thai digit") << false << true << "๓"
                                             << "3";
    QTest::newRow("new sheet from a paste") << true << false << "1234"
                                            << "<none>";
    QTest::newRow("new sheet from an input method") << true << true << "๔"
                                                    << "4";
}

void BadInputTest::answerCellTakesOnlyOneValidDigit() {
    QFETCH(bool, newSheet);
    QFETCH(bool, inputMethod);
    QFETCH(QString, text);
    QFETCH(QString, stored);
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenFile(f);
    const QStringList codes = Codes(path);
    auto* grid = Control<ia::SheetGrid>(f.w(), "DBGrid1");
    QLineEdit* editor = OpenEditor(grid, newSheet ? 12 : 0, 1);
    QVERIFY(editor);
    editor->selectAll();
    if (inputMethod) {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(editor, &commit);
    } else {
        editor->insert(text);
    }
    QCOMPARE(editor->text(), text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();

    QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
    const int rowid = newSheet ? 13 : 1;
    QCOMPARE(Stored(path, "SELECT ifnull(X1, '') FROM TAData WHERE rowid=" + std::to_string(rowid)),
             stored);
    QCOMPARE(Codes(path).mid(0, 12), codes);
    if (!newSheet) QCOMPARE(grid->model()->index(0, 1).data().toString(), stored);
}

void BadInputTest::codesLongerThanTheirFieldAndQuotes_data() {
    QTest::addColumn<bool>("newSheet");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    // The editor takes no more than the field holds: nothing typed is
    // thrown away with a data error.
    QTest::newRow("21 digits") << false << QString(21, QChar(u'7')) << "";
    QTest::newRow("21 digits, new sheet") << true << QString(21, QChar(u'7')) << "";
    QTest::newRow("20 Thai letters") << false << QString(20, QChar(u'ก')) << "";
    QTest::newRow("quotes and SQL") << false << "1';DROP TABLE TAData"
                                    << "";
    QTest::newRow("quotes and SQL, new sheet") << true << "1');DELETE FROM TKey"
                                               << "";
}

void BadInputTest::codesLongerThanTheirFieldAndQuotes() {
    QFETCH(bool, newSheet);
    QFETCH(QString, code);
    QFETCH(QString, message);
    WindowFixture f;
    QVERIFY(f.showActive());
    const std::string path = OpenFile(f);
    QStringList codes = Codes(path);
    const std::string keyBefore = Stored(path, "SELECT * FROM TKey").toStdString();
    QLineEdit* editor = OpenEditor(Control<ia::SheetGrid>(f.w(), "DBGrid1"), newSheet ? 12 : 0, 0);
    QVERIFY(editor);
    editor->selectAll();
    // Key by key where the test keyboard has the keys, the rest as a paste.
    bool ascii = true;
    for (QChar c : code)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(editor, code);
    else
        editor->insert(code);
    QTest::keyClick(editor, Qt::Key_Return);

    if (message.isEmpty()) {
        QCoreApplication::processEvents();
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
        if (newSheet)
            codes << code.left(20);
        else
            codes[0] = code.left(20);
    } else {
        QTRY_COMPARE(f.messages, QStringList{message});
        QCOMPARE(f.messageTitles, QStringList{QString()});
    }
    QCOMPARE(Codes(path), codes);
    QCOMPARE(Stored(path, "SELECT * FROM TKey").toStdString(), keyBefore);
    QCOMPARE(Stored(path, "SELECT count(*) FROM Tinit"), QString("1"));
    QVERIFY(ExamStructureOk(path));
}

void BadInputTest::schoolNameOutsideTheThaiCodePage() {
    const std::string thai = ToCp874("โรงเรียน");
    struct Case {
        QString typed;
        std::string bytes;
        QString shownAfterRestart;
    } cases[] = {
        {"โรงเรียน😀, สาขา", thai + "?, " + ToCp874("สาขา"), "โรงเรียน?"},
        {"\"โรงเรียน, บ้านนา\"", "\"" + thai + ", " + ToCp874("บ้านนา") + "\"", "โรงเรียน, บ้านนา"},
        {"โรงเรียน" + QString(QChar(0xD800)), thai + "?", "โรงเรียน?"}, // a lone surrogate
    };
    for (const auto& c : cases) {
        WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        Control<QLineEdit>(w, "Text2")->setFocus();
        Control<QLineEdit>(w, "Text2")->setText(c.typed);
        HeaderFieldEdit(w, 0)->setFocus();
        QVERIFY(f.messages.isEmpty());
        const std::string file = f.dir().file("SchoolName.txt");
        QCOMPARE(iatest::FileBytes(file), c.bytes + "\r\n");

        FTAData again; // the next start in the same folder
        iatest::TestPrompts failOnMessage;
        failOnMessage.onShowMessage = [](const QString&, const QString& text) {
            QFAIL(qPrintable(text));
        };
        again.setPrompts(failOnMessage);
        again.show();
        QCOMPARE(Control<QLineEdit>(again, "Text2")->text(), c.shownAfterRestart);
        QCOMPARE(iatest::FileBytes(file), c.bytes + "\r\n");
    }
}

void BadInputTest::fileNamesAreTakenLiterally_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("file");
    QTest::newRow("star") << "a*"
                          << "a*.ans";
    QTest::newRow("question mark") << "a?"
                                   << "a?.ans";
    QTest::newRow("bracket") << "[a]b"
                             << "[a]b.ans";
    QTest::newRow("blanks and Thai") << "ข้อสอบ ภาษาไทย "
                                     << "ข้อสอบ ภาษาไทย .ans";
    QTest::newRow("all of them") << "ม 1 [ห้อง*2]?.ans"
                                 << "ม 1 [ห้อง*2]?.ans";
}

void BadInputTest::fileNamesAreTakenLiterally() {
    QFETCH(QString, typed);
    QFETCH(QString, file);
    WindowFixture f;
    QVERIFY(f.showActive());
    // Files the name would match as a pattern.
    const std::string neighbour = f.dir().file("ab.ans");
    iatest::MakeExamFile(neighbour, iatest::MakeHeader(8, 4), {}, {{"keep"}});
    std::ofstream(f.dir().file("a1.ans")) << "not an exam file";
    const std::string keep = iatest::FileBytes(neighbour);

    f.typeNewHeader(typed, "8", "4");
    const std::string path = f.dir().file(file.toStdString());
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(IsExamFile(path), 1);
    QCOMPARE(HeaderFieldEdit(f.w(), 0)->text(), QString::fromStdString(path));

    AddSheetsAndKey(path);
    f.nextFile = QString::fromStdString(path);
    Control<QPushButton>(f.w(), "Command2")->click();
    QCOMPARE(Control<ia::SheetGrid>(f.w(), "DBGrid1")->sheetModel()->recordCount(), 12);
    Control<QPushButton>(f.w(), "Command5")->click();
    QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
    const std::string report = DerivedPath(path, "txt");
    QCOMPARE(f.w().analysisState().ReportFileName, report);
    QVERIFY(fs::is_regular_file(report));

    f.answerOk = false;
    f.typeNewHeader(typed, "8", "4");
    const QString question = "ไฟล์ " + QString::fromStdString(path) + "  มีอยู่แล้ว จะเขียนทับหรือไม่";
    QCOMPARE(f.questions, QStringList{question});
    QCOMPARE(f.focus(), HeaderFieldEdit(f.w(), 0));
    QCOMPARE(Codes(path).size(), 12);

    f.answerOk = true;
    f.typeNewHeader(typed, "8", "4");
    QCOMPARE(f.questions, (QStringList{question, question}));
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(Codes(path).size(), 0);
    QCOMPARE(f.w().session().isOpen(), true);

    QCOMPARE(iatest::FileBytes(neighbour), keep);
    QCOMPARE(iatest::FileBytes(f.dir().file("a1.ans")), std::string("not an exam file"));
}

void BadInputTest::readOnlyFile_data() {
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("prefix"); // of the message, before the Thai reason
    QTest::newRow("analysis 25 %") << "Command5"
                                   << "คำเตือน"
                                   << "";
    QTest::newRow("analysis 27 %") << "Command6"
                                   << "คำเตือน"
                                   << "";
    QTest::newRow("totals") << "cmdClose"
                            << "คำเตือน"
                            << "";
    QTest::newRow("header field") << "Text1(1)"
                                  << "คำเตือน"
                                  << "บันทึกข้อมูลส่วนหัวไม่ได้\n";
    QTest::newRow("answer cell") << "DBGrid1"
                                 << "คำเตือน"
                                 << "ข้อมูลผิดพลาด: ";
}

void BadInputTest::readOnlyFile() {
    QFETCH(QString, write);
    QFETCH(QString, title);
    QFETCH(QString, prefix);
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = f.dir().file("ro.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(8, 4), {}, {});
    AddSheetsAndKey(path);
    const std::string before = iatest::FileBytes(path);
    const auto readOnly = Connection::ShareReadOnlyForTests(path);

    f.nextFile = QString::fromStdString(path);
    Control<QPushButton>(w, "Command2")->click();
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->sheetModel()->recordCount(), 12);
    QCOMPARE(HeaderFieldEdit(w, 1)->text(), QString("ท31101"));

    if (write == "Command5") Control<QPushButton>(w, "Command5")->click();
    if (write == "Command6") Control<QPushButton>(w, "Command6")->click();
    if (write == "cmdClose") Control<QPushButton>(w, "cmdClose")->click();
    if (write == "Text1(1)") {
        HeaderFieldEdit(w, 1)->setFocus();
        HeaderFieldEdit(w, 1)->setText("ค101");
        HeaderFieldEdit(w, 2)->setFocus();
        QCOMPARE(HeaderFieldEdit(w, 1)->text(), QString("ท31101"));
        QCOMPARE(w.session().header().SubCode, std::string("ท31101"));
    }
    if (write == "DBGrid1") {
        QLineEdit* editor = OpenEditor(Control<ia::SheetGrid>(w, "DBGrid1"), 0, 1);
        QVERIFY(editor);
        editor->selectAll();
        editor->insert("4");
        QTest::keyClick(editor, Qt::Key_Return);
    }
    QTRY_COMPARE(f.messages, QStringList{prefix + kReadOnly});
    QCOMPARE(f.messageTitles, QStringList{title});

    // The window stays usable and the file as it was.
    QVERIFY(QApplication::overrideCursor() == nullptr);
    for (QPushButton* b :
         {Control<QPushButton>(w, "Command1"), Control<QPushButton>(w, "Command2"),
          Control<QPushButton>(w, "Command5"), Control<QPushButton>(w, "Command6"),
          Control<QPushButton>(w, "cmdAdd"), Control<QPushButton>(w, "cmdDelete"),
          Control<QPushButton>(w, "cmdRefresh"), Control<QPushButton>(w, "cmdUpdate"),
          Control<QPushButton>(w, "cmdClose"), Control<QPushButton>(w, "cmdOrderOfNo_A")})
        QVERIFY2(b->isEnabled() && b->isVisible(), qPrintable(b->objectName()));
    QCOMPARE(Control<QPushButton>(w, "Command5")->text(), QString("วิเคราะห์ 25 %"));
    QCOMPARE(Control<QPushButton>(w, "Command6")->text(), QString("วิเคราะห์ 27 %"));
    QVERIFY(Control<QPushButton>(w, "Command7")->isVisible());
    QVERIFY(!Control<QFrame>(w, "Picture3")->isVisible());
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->sheetModel()->recordCount(), 12);
    QCOMPARE(iatest::FileBytes(path), before);
}

void BadInputTest::oneFileInTwoWindows() {
    WindowFixture a;
    WindowFixture b;
    QVERIFY(a.showActive());
    const std::string path = a.dir().file("shared.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(8, 4), {}, {{"1", "1"}, {"2", "2"}});
    a.nextFile = QString::fromStdString(path);
    Control<QPushButton>(a.w(), "Command2")->click();
    QCOMPARE(Control<ia::SheetGrid>(a.w(), "DBGrid1")->sheetModel()->recordCount(), 2);
    // A second window is no second writer: it is refused and shows nothing of the file.
    b.nextFile = QString::fromStdString(path);
    Control<QPushButton>(b.w(), "Command2")->click();
    QCOMPARE(b.messages.size(), 1);
    QCOMPARE(Control<ia::SheetGrid>(b.w(), "DBGrid1")->sheetModel()->recordCount(), 0);
    b.messages.clear();
    auto cell = [](WindowFixture& f, int row, int column) {
        return Control<ia::SheetGrid>(f.w(), "DBGrid1")
            ->model()
            ->index(row, column)
            .data()
            .toString();
    };
    auto* modelA = Control<ia::SheetGrid>(a.w(), "DBGrid1")->model();
    QVERIFY(modelA->setData(modelA->index(0, 2), "3"));
    QVERIFY(modelA->setData(modelA->index(2, 0), "from A")); // a new sheet

    // A second program, with a connection of its own.
    {
        Connection other(path);
        Transaction tx(other);
        other.exec("INSERT INTO TAData (Code, X1) VALUES ('from another program', '2')");
        other.exec("UPDATE TAData SET X4='1' WHERE Code='2'");
        tx.commit();
    }
    Control<QPushButton>(a.w(), "cmdRefresh")->click();
    QCOMPARE(Control<ia::SheetGrid>(a.w(), "DBGrid1")->sheetModel()->recordCount(), 4);
    QCOMPARE(cell(a, 3, 0), QString("from another program"));
    QCOMPARE(cell(a, 1, 4), QString("1"));
    QVERIFY(a.messages.isEmpty());
    QVERIFY(b.messages.isEmpty());
    QCOMPARE(Stored(path, "PRAGMA integrity_check"), QString("ok"));
    QCOMPARE(Codes(path), (QStringList{"1", "2", "from A", "from another program"}));
}

QTEST_MAIN(BadInputTest)
#include "qtest_BadInput.moc"
