// SPDX-License-Identifier: GPL-3.0-or-later
// The window's panels: what is shown at start, after each command, and how
// the program ends.

#include "WindowFixture.h"
#include "app/DataNavBar.h"
#include "app/FieldCaption.h"
#include "examfile/ExamFile.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <fstream>

using iatest::Control;
using iatest::HeaderFieldEdit;
using iatest::WindowFixture;

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void startShowsOnlyTitleAndCommandPanel();
    void startUpRunsOnceNotOnEveryActivation();
    void newFileAfterAnOpenFileHidesTheFileControls();
    void openCancelledHidesOkButtonAndKeepsTypedHeader();
    void openRefusesAFileThatIsNoExamFile();
    void openShowsTheFileAndMovesTheWorkingDirectory();
    void reportPanelTransitions();
    void recordBarCaptionFollowsTheSheetGrid();
    void recordBarShowsAMillionthSheetInFull();
    void closeBoxEndsTheProgram();
    void captionsKeepOffTheFieldsAndTheTitleNamesTheFile();
    void exitButtonEndsTheProgram();
};

void MainWindowTest::startShowsOnlyTitleAndCommandPanel() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    QCOMPARE(w.windowTitle(), QString("โปรแกรมวิเคราะห์ข้อสอบ"));
    for (QWidget* shown : {static_cast<QWidget*>(Control<QLabel>(w, "Label4")),
                           static_cast<QWidget*>(Control<QFrame>(w, "Picture1")),
                           static_cast<QWidget*>(Control<QPushButton>(w, "Command1")),
                           static_cast<QWidget*>(Control<QPushButton>(w, "Command2")),
                           static_cast<QWidget*>(Control<QPushButton>(w, "Command3"))})
        QVERIFY2(shown->isVisible(), qPrintable(shown->objectName()));
    for (QWidget* hidden : {static_cast<QWidget*>(Control<QFrame>(w, "Picture2")),
                            static_cast<QWidget*>(Control<ia::SheetGrid>(w, "DBGrid1")),
                            static_cast<QWidget*>(Control<ia::SheetGrid>(w, "DBGrid2")),
                            static_cast<QWidget*>(Control<ia::DataNavBar>(w, "Data1")),
                            static_cast<QWidget*>(Control<QFrame>(w, "picButtons")),
                            static_cast<QWidget*>(Control<QPushButton>(w, "Command7")),
                            static_cast<QWidget*>(Control<QFrame>(w, "Picture4")),
                            static_cast<QWidget*>(Control<QFrame>(w, "Picture3"))})
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    QCOMPARE(f.focus(), Control<QPushButton>(w, "Command1"));
    QCOMPARE(w.headerPanel().headerChanged(), false);
    // The report panel got its place; it covers the window when shown. A
    // larger window makes it larger: the place is that of the size the
    // window was drawn for.
    w.resize(w.growingLayout().designSize());
    QCOMPARE(Control<QFrame>(w, "Picture3")->geometry(),
             QRect(w.Twips(105), w.Twips(510), w.Twips(11805), w.Twips(7785)));
    QCOMPARE(Control<QPushButton>(w, "Command1")->text(), QString("ไฟล์ใหม่"));
    QCOMPARE(Control<QPushButton>(w, "Command2")->text(), QString("เปิดไฟล์"));
    QCOMPARE(Control<QPushButton>(w, "Command3")->text(), QString("ออกโปรแกรม"));
}

void MainWindowTest::startUpRunsOnceNotOnEveryActivation() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    Control<QPushButton>(w, "Command1")->click();
    HeaderFieldEdit(w, 2)->setText("typed");
    QCOMPARE(w.headerPanel().headerChanged(), true);
    QCOMPARE(f.focus(), HeaderFieldEdit(w, 0));

    // A message box takes the activation and gives it back.
    auto* box = new QMessageBox(QMessageBox::Information, "t", "x", QMessageBox::Ok, &w);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    QApplication::setActiveWindow(box);
    QVERIFY(QTest::qWaitForWindowActive(box));
    box->close();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));

    QCOMPARE(w.headerPanel().headerChanged(), true);
    QCOMPARE(f.focus(), HeaderFieldEdit(w, 0));
}

void MainWindowTest::newFileAfterAnOpenFileHidesTheFileControls() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    iatest::MakeExamFile(f.dir().file("a.ans"), iatest::MakeHeader(10, 4), {}, {{"1"}});
    f.nextFile = f.path("a.ans");
    Control<QPushButton>(w, "Command2")->click();
    QVERIFY(Control<ia::SheetGrid>(w, "DBGrid1")->isVisible());
    QVERIFY(!HeaderFieldEdit(w, 0)->isEnabled());

    Control<QPushButton>(w, "Command1")->click();
    for (QWidget* hidden : {static_cast<QWidget*>(Control<ia::SheetGrid>(w, "DBGrid1")),
                            static_cast<QWidget*>(Control<ia::SheetGrid>(w, "DBGrid2")),
                            static_cast<QWidget*>(Control<ia::DataNavBar>(w, "Data1")),
                            static_cast<QWidget*>(Control<QFrame>(w, "picButtons")),
                            static_cast<QWidget*>(Control<QFrame>(w, "Picture4")),
                            static_cast<QWidget*>(Control<QPushButton>(w, "Command5")),
                            static_cast<QWidget*>(Control<QPushButton>(w, "Command6")),
                            static_cast<QWidget*>(Control<QPushButton>(w, "Command7")),
                            static_cast<QWidget*>(Control<QLabel>(w, "Label5"))})
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    QVERIFY(Control<QFrame>(w, "Picture2")->isVisible());
    QVERIFY(Control<QPushButton>(w, "Command4")->isVisible());
    for (QLineEdit* t : w.findChildren<QLineEdit*>(QRegularExpression("^Text1\\(")))
        QVERIFY2(t->text().isEmpty(), qPrintable(t->objectName()));
    QVERIFY(HeaderFieldEdit(w, 0)->isEnabled());
    QCOMPARE(f.focus(), HeaderFieldEdit(w, 0));
    QCOMPARE(w.session().isOpen(), false);
    // The views stay bound to the file that was open.
    QVERIFY(w.views().sheets.isOpen());
}

void MainWindowTest::openCancelledHidesOkButtonAndKeepsTypedHeader() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    Control<QPushButton>(w, "Command1")->click();
    HeaderFieldEdit(w, 0)->setText("half");
    HeaderFieldEdit(w, 5)->setText("40");
    Control<QPushButton>(w, "Command4")->click(); // no choices: a message in Label5
    QVERIFY(Control<QLabel>(w, "Label5")->isVisible());

    f.nextFile.clear();
    Control<QPushButton>(w, "Command2")->click();
    QCOMPARE(f.dialogsShown, 1);
    QVERIFY(!Control<QPushButton>(w, "Command4")->isVisible());
    QVERIFY(!Control<QLabel>(w, "Label5")->isVisible());
    QVERIFY(Control<QLabel>(w, "Label5")->text().isEmpty());
    QVERIFY(Control<QFrame>(w, "Picture2")->isVisible());
    QCOMPARE(HeaderFieldEdit(w, 0)->text(), QString("half"));
    QCOMPARE(HeaderFieldEdit(w, 5)->text(), QString("40"));
    QVERIFY(f.messages.isEmpty());
    QVERIFY(!QApplication::overrideCursor());
}

void MainWindowTest::openRefusesAFileThatIsNoExamFile() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string good = f.dir().file("good.ans");
    iatest::MakeExamFile(good, iatest::MakeHeader(5, 3), {}, {{"7"}});
    f.nextFile = QString::fromStdString(good);
    Control<QPushButton>(w, "Command2")->click();
    QCOMPARE(w.session().fileName(), good);

    std::ofstream(f.dir().file("notes")) << "not a database";
    f.nextFile = f.path("notes");
    Control<QPushButton>(w, "Command2")->click();
    QCOMPARE(f.messages, QStringList{f.path("notes") + "  ไม่ใช่ไฟล์ข้อมูล กรุณาเลือกไฟล์ใหม่"});
    QCOMPARE(f.messageTitles, QStringList{"คำเตือน"});
    QCOMPARE(w.session().fileName(), good);
    QCOMPARE(w.session().isOpen(), true);
    QCOMPARE(w.views().sheets.DatabaseName, good);
    QVERIFY(w.views().sheets.isOpen());
    QCOMPARE(HeaderFieldEdit(w, 0)->text(), QString::fromStdString(good));
    QVERIFY(!QApplication::overrideCursor());
}

void MainWindowTest::openShowsTheFileAndMovesTheWorkingDirectory() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    std::filesystem::create_directory(f.dir().path() / "sub");
    const std::string file = f.dir().file("sub/x.ans");
    ia::TestHeader h = iatest::MakeHeader(12, 5);
    h.SubCode = "";
    h.TeacherName = "";
    iatest::MakeExamFile(file, h, {}, {{"1"}, {"2"}});
    f.nextFile = QString::fromStdString(file);
    Control<QPushButton>(w, "Command2")->click();

    QCOMPARE(QDir::currentPath(), QString::fromStdString(f.dir().file("sub")));
    QCOMPARE(f.focus(), Control<ia::SheetGrid>(w, "DBGrid1"));
    for (QWidget* shown : {static_cast<QWidget*>(Control<QFrame>(w, "Picture2")),
                           static_cast<QWidget*>(Control<ia::SheetGrid>(w, "DBGrid1")),
                           static_cast<QWidget*>(Control<ia::SheetGrid>(w, "DBGrid2")),
                           static_cast<QWidget*>(Control<ia::DataNavBar>(w, "Data1")),
                           static_cast<QWidget*>(Control<QFrame>(w, "picButtons")),
                           static_cast<QWidget*>(Control<QFrame>(w, "Picture4")),
                           static_cast<QWidget*>(Control<QPushButton>(w, "Command5")),
                           static_cast<QWidget*>(Control<QPushButton>(w, "Command6")),
                           static_cast<QWidget*>(Control<QPushButton>(w, "Command7"))})
        QVERIFY2(shown->isVisible(), qPrintable(shown->objectName()));
    QVERIFY(!Control<QPushButton>(w, "Command4")->isVisible());
    const QString expected[8] = {
        QString::fromStdString(file), "", "ภาษาไทย", "1", "2546", "12", "5", ""};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(HeaderFieldEdit(w, i)->text(), expected[i]);
    QVERIFY(!HeaderFieldEdit(w, 0)->isEnabled());
    QCOMPARE(w.session().header().nItem, int16_t(12));
    QCOMPARE(w.session().header().nChoice, uint8_t(5));
    QCOMPARE(w.headerPanel().headerChanged(), true);
    QVERIFY(Control<ia::DataNavBar>(w, "Data1")->caption().startsWith("ระเบียนที่ "));
    QVERIFY(!QApplication::overrideCursor());
}

void MainWindowTest::reportPanelTransitions() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    // The analysis shows the report panel and hides Command7.
    Control<QPushButton>(w, "Command7")->hide();
    Control<QFrame>(w, "Picture3")->show();
    Control<QFrame>(w, "Picture3")->raise();

    Control<QRadioButton>(w, "Option3")->setChecked(true);
    Control<QLineEdit>(w, "Text3")->setText("2");
    Control<QLineEdit>(w, "Text4")->setText("5");
    Control<QPushButton>(w, "Command9")->click();
    QVERIFY(Control<QFrame>(w, "Picture5")->isVisible());
    QVERIFY(!Control<QPushButton>(w, "Command9")->isEnabled());
    QVERIFY(Control<QRadioButton>(w, "Option1")->isChecked());
    QVERIFY(Control<QLineEdit>(w, "Text3")->text().isEmpty());
    QVERIFY(Control<QLineEdit>(w, "Text4")->text().isEmpty());
    QVERIFY(Control<QLabel>(w, "Label7")->text().startsWith("จำนวนหน้า  =   "));

    QTest::mouseClick(Control<QRadioButton>(w, "Option4"), Qt::LeftButton, {},
                      QPoint(5, Control<QRadioButton>(w, "Option4")->height() / 2));
    QCOMPARE(f.focus(), Control<QLineEdit>(w, "Text3"));
    QTest::keyClick(Control<QLineEdit>(w, "Text3"), Qt::Key_Return);
    QCOMPARE(f.focus(), Control<QLineEdit>(w, "Text4"));
    QTest::keyClick(Control<QLineEdit>(w, "Text4"), Qt::Key_Enter);
    QCOMPARE(f.focus(), Control<QPushButton>(w, "Command10"));

    Control<QPushButton>(w, "Command11")->click();
    QVERIFY(!Control<QFrame>(w, "Picture5")->isVisible());
    QVERIFY(Control<QPushButton>(w, "Command9")->isEnabled());
    QVERIFY(Control<QFrame>(w, "Picture3")->isVisible());

    Control<QPushButton>(w, "Command9")->click();
    Control<QPushButton>(w, "Command8")->click(); // close, straight from the print options
    QVERIFY(!Control<QFrame>(w, "Picture3")->isVisible());
    QVERIFY(Control<QFrame>(w, "Picture5")->isHidden());
    QVERIFY(Control<QPushButton>(w, "Command9")->isEnabled());
    QVERIFY(!Control<QPushButton>(w, "Command7")->isHidden());
}

void MainWindowTest::recordBarCaptionFollowsTheSheetGrid() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    iatest::MakeExamFile(f.dir().file("n.ans"), iatest::MakeHeader(4, 4), {},
                         {{"1"}, {"2"}, {"3"}});
    f.nextFile = f.path("n.ans");
    Control<QPushButton>(w, "Command2")->click();
    auto* last = Control<ia::DataNavBar>(w, "Data1")->findChild<QToolButton*>("Data1Last");
    auto* first = Control<ia::DataNavBar>(w, "Data1")->findChild<QToolButton*>("Data1First");
    auto* previous = Control<ia::DataNavBar>(w, "Data1")->findChild<QToolButton*>("Data1Previous");
    QVERIFY(last && first && previous);
    last->click();
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentRecordPosition(), 2);
    QCOMPARE(Control<ia::DataNavBar>(w, "Data1")->caption(), QString("ระเบียนที่ 3 จาก 3"));
    previous->click();
    QCOMPARE(Control<ia::DataNavBar>(w, "Data1")->caption(), QString("ระเบียนที่ 2 จาก 3"));
    first->click();
    QCOMPARE(Control<ia::DataNavBar>(w, "Data1")->caption(), QString("ระเบียนที่ 1 จาก 3"));
    Control<ia::SheetGrid>(w, "DBGrid1")->setCurrentRecordPosition(3); // the new-record row
    QCOMPARE(Control<ia::DataNavBar>(w, "Data1")->caption(), QString("ระเบียนใหม่ (มีอยู่ 3 ระเบียน)"));

    emit Control<ia::SheetGrid>(w, "DBGrid1")->dataError(19, "รหัสซ้ำ");
    QCOMPARE(f.messages, QStringList{"ข้อมูลผิดพลาด: รหัสซ้ำ"});
}

void MainWindowTest::recordBarShowsAMillionthSheetInFull() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    Control<ia::DataNavBar>(w, "Data1")->show();
    auto* caption = Control<ia::DataNavBar>(w, "Data1")->findChild<QLabel*>("Data1Caption");
    auto* first = Control<ia::DataNavBar>(w, "Data1")->findChild<QToolButton*>("Data1First");
    QVERIFY(caption && first);
    Control<ia::DataNavBar>(w, "Data1")->setCaption("ระเบียนที่ 12 จาก 30");
    const int usualArrow = first->width();
    for (const char* text : {"ระเบียนที่ 1000000 จาก 1000000", "ระเบียนที่ 12 จาก 30"}) {
        Control<ia::DataNavBar>(w, "Data1")->setCaption(text);
        QVERIFY2(caption->contentsRect().width() >=
                     caption->fontMetrics().horizontalAdvance(caption->text()),
                 text);
        QVERIFY(caption->text().contains(QString(text).split(' ').at(1)));
    }
    QCOMPARE(first->width(), usualArrow); // a short number keeps the usual arrows
}

// Both run the real event loop: the program has ended when exec returns.
void MainWindowTest::captionsKeepOffTheFieldsAndTheTitleNamesTheFile() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    f.typeNewHeader("ม1", "10", "4");
    QCOMPARE(w.windowTitle(), QString("ม1.ans - โปรแกรมวิเคราะห์ข้อสอบ"));

    // Each caption ends before the field it names, and no field reaches the
    // caption of the next.
    auto textEnd = [](QLabel* l) { return l->x() + l->fontMetrics().horizontalAdvance(l->text()); };
    QVERIFY(textEnd(Control<QLabel>(w, "Label1")) < HeaderFieldEdit(w, 0)->x());
    QVERIFY(textEnd(Control<QLabel>(w, "Label6")) < Control<QLineEdit>(w, "Text2")->x());
    struct Row {
        ia::FieldCaption* caption;
        QList<int> fields; // the field after each word
    } rows[] = {
        {static_cast<ia::FieldCaption*>(Control<QLabel>(w, "Label2")), {1, 2, 3, 4}},
        {static_cast<ia::FieldCaption*>(Control<QLabel>(w, "Label3")), {5, 6, 7}},
    };
    for (const Row& r : rows) {
        const QVector<QRect> words = r.caption->wordRects();
        QCOMPARE(words.size(), r.fields.size());
        for (int i = 0; i < words.size(); ++i) {
            const QRect field = HeaderFieldEdit(w, r.fields[i])->geometry();
            const int start = r.caption->x() + words[i].x();
            const int end = r.caption->x() + words[i].right();
            QVERIFY2(end < field.x(),
                     qPrintable(QString("word %1 of %2").arg(i).arg(r.caption->objectName())));
            if (i > 0) {
                const QRect before = HeaderFieldEdit(w, r.fields[i - 1])->geometry();
                QVERIFY2(
                    before.right() < start,
                    qPrintable(
                        QString("field before word %1 of %2").arg(i).arg(r.caption->objectName())));
            }
        }
    }
}

void MainWindowTest::closeBoxEndsTheProgram() {
    WindowFixture f;
    QVERIFY(f.showActive());
    QApplication::setOverrideCursor(Qt::WaitCursor); // a command left it behind
    QTimer::singleShot(0, &f.w(), [&f] { f.w().close(); });
    QApplication::setQuitOnLastWindowClosed(true);
    QCOMPARE(QApplication::exec(), 0);
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(!f.w().isVisible());
    QVERIFY(!QApplication::overrideCursor());
}

void MainWindowTest::exitButtonEndsTheProgram() {
    WindowFixture f;
    QVERIFY(f.showActive());
    QTimer::singleShot(0, Control<QPushButton>(f.w(), "Command3"),
                       [&f] { Control<QPushButton>(f.w(), "Command3")->click(); });
    QApplication::setQuitOnLastWindowClosed(true);
    QCOMPARE(QApplication::exec(), 0);
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(!f.w().isVisible());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The test ends the window many times; the test program goes on.
    QApplication::setQuitOnLastWindowClosed(false);
    MainWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "qtest_MainWindow.moc"
