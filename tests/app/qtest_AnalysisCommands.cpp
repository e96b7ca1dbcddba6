// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis buttons, the report panel and the print commands of the
// window, end to end on exam files made in the test.

#include "WindowFixture.h"
#include "examfile/Engine.h"
#include "report/PrinterRecording.h"

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintPreviewWidget>
#include <QRadioButton>
#include <QtTest>

using namespace ia;

namespace {

using iatest::Control;
using iatest::HeaderFieldEdit;

using iatest::Sheet;

std::vector<std::vector<std::string>> Sheets(int n) {
    std::vector<std::vector<std::string>> v;
    for (int i = 0; i < n; ++i) {
        std::string a;
        for (int k = 0; k < 8; ++k)
            a += (k < i % 9) ? '1' : char('2' + (i + k) % 3);
        v.push_back(Sheet(std::to_string(n - i), a));
    }
    return v;
}

} // namespace

class AnalysisCommands : public QObject {
    Q_OBJECT

    // Opens a new file made with the given key and sheets through Command2.
    void open(iatest::WindowFixture& f, const std::vector<std::string>& key,
              const std::vector<std::vector<std::string>>& sheets, const char* name = "m1.ans") {
        const QString path = f.path(name);
        iatest::MakeExamFile(path.toStdString(), iatest::MakeHeader(8, 4), key, sheets);
        f.nextFile = path;
        Control<QPushButton>(f.w(), "Command2")->click();
        QVERIFY(f.w().views().sheets.isOpen());
    }

    std::vector<RecordingPrinter*> printers;
    void record(iatest::WindowFixture& f) {
        printers.clear();
        kept.clear();
        f.w().printTargets().openPrinter = [this](const std::string&) {
            auto p = std::make_unique<RecordingPrinter>();
            printers.push_back(p.get());
            kept.push_back(std::move(p));
            return std::unique_ptr<Printer>(new ForwardingPrinter(*printers.back()));
        };
    }
    // The window owns what it is given; the test keeps the recordings.
    struct ForwardingPrinter : Printer {
        RecordingPrinter& r;
        explicit ForwardingPrinter(RecordingPrinter& rec) : r(rec) {}
        void SetFont(const std::string& n, double p) override { r.SetFont(n, p); }
        double TextWidth(const std::string& t) const override { return r.TextWidth(t); }
        void Print(const std::string& t) override {
            r.SetCurrentX(CurrentX());
            r.SetCurrentY(CurrentY());
            r.Print(t);
        }
        void NewPage() override { r.NewPage(); }
        void EndDoc() override { r.EndDoc(); }
        void SetOrientation(Orientation o) override { r.SetOrientation(o); }
        Orientation GetOrientation() const override { return r.GetOrientation(); }
    };
    std::vector<std::unique_ptr<RecordingPrinter>> kept;

  private slots:
    void analysisShowsTheReportAndRestoresTheButton() {
        for (int kind : {1, 2}) {
            iatest::WindowFixture f;
            QVERIFY(f.showActive());
            open(f, {"1", "1", "1", "1", "1", "1", "1", "0"}, Sheets(12));
            QPushButton* button = kind == 1 ? Control<QPushButton>(f.w(), "Command5")
                                            : Control<QPushButton>(f.w(), "Command6");
            button->click();
            QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
            QVERIFY(Control<QFrame>(f.w(), "Picture3")->isVisible());
            QVERIFY(!Control<QPushButton>(f.w(), "Command7")->isVisible());
            QCOMPARE(button->text(), kind == 1 ? QString("วิเคราะห์ 25 %") : QString("วิเคราะห์ 27 %"));
            QVERIFY(button->isEnabled());
            QCOMPARE(f.w().analysisState().AnalysisKind, kind);
            QVERIFY(QApplication::overrideCursor() == nullptr);
            QCOMPARE(f.w().analysisState().ReportFileName, f.dir().file("m1.txt"));
            const QString shown = Control<QPlainTextEdit>(f.w(), "RichTextBox1")->toPlainText();
            QVERIFY(shown.contains(kind == 1 ? "โดยใช้สูตรอย่างง่าย กลุ่มสูง กลุ่มต่ำ 25 %"
                                             : "CHUNG TEH FAN กลุ่มสูง กลุ่มต่ำ 27 %"));
            QVERIFY(shown.contains("สรุปคุณภาพของข้อสอบ"));
            QCOMPARE(QApplication::focusWidget(), Control<QPlainTextEdit>(f.w(), "RichTextBox1"));
            // The grid now shows the sheets in score order.
            QCOMPARE(QString::fromStdString(f.w().views().sheets.RecordSource),
                     QString("select * from TAData order by Score"));
            Control<QPushButton>(f.w(), "Command8")->click();
            QVERIFY(!Control<QFrame>(f.w(), "Picture3")->isVisible());
            QVERIFY(Control<QPushButton>(f.w(), "Command7")->isVisible());
        }
    }

    // While the report or its print options cover the window, keys and
    // clicks reach only the panel on top; closing it (Escape like "ปิด")
    // brings back the controls and the focus.
    void reportPanelKeepsTheKeysToItself() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        open(f, {"1", "1", "1", "1", "1", "1", "1", "0"}, Sheets(12));
        const std::string path = f.dir().file("m1.ans");
        auto header = [&] {
            ia::Connection db(path, ia::Connection::Mode::ReadOnly);
            auto st = db.prepare("SELECT SubCode, SubName, Term, Yearr, TeacherName FROM Tinit");
            st.step();
            QStringList v;
            for (int i = 0; i < 5; ++i)
                v << QString::fromStdString(st.column(i).text());
            return v;
        };
        const QStringList before = header();
        Control<ia::SheetGrid>(w, "DBGrid1")->setFocus();
        const QList<QWidget*> underPanel{
            HeaderFieldEdit(w, 1), Control<ia::SheetGrid>(w, "DBGrid1"),
            Control<QPushButton>(w, "cmdAdd"), Control<QPushButton>(w, "Command6")};
        Control<QPushButton>(w, "Command5")->click();
        QVERIFY(Control<QFrame>(w, "Picture3")->isVisible());
        QCOMPARE(QApplication::focusWidget(), Control<QPlainTextEdit>(w, "RichTextBox1"));

        // Left to right along the panel's bottom, and round again.
        QList<QWidget*> order;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget();
        }
        QCOMPARE(order, (QList<QWidget*>{Control<QLineEdit>(w, "Text2"),
                                         Control<QPushButton>(w, "cmdExportReport"),
                                         Control<QPushButton>(w, "cmdPreview"),
                                         Control<QPushButton>(w, "cmdPrintGraphs"),
                                         Control<QPushButton>(w, "Command9"),
                                         Control<QPushButton>(w, "Command8"),
                                         Control<QPlainTextEdit>(w, "RichTextBox1")}));
        for (int i = 0; i < 25; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            QVERIFY2(Control<QFrame>(w, "Picture3")->isAncestorOf(focus),
                     qPrintable(focus->objectName()));
            if (focus != Control<QLineEdit>(w, "Text2")) QTest::keyClick(focus, Qt::Key_7);
        }
        // A click anywhere the controls were lands on the panel.
        for (QWidget* under : underPanel) {
            QVERIFY(!under->isVisible());
            const QPoint at = under->mapTo(&w, under->rect().center());
            QWidget* hit = w.childAt(at);
            QVERIFY2(hit && (hit == Control<QFrame>(w, "Picture3") ||
                             Control<QFrame>(w, "Picture3")->isAncestorOf(hit)),
                     qPrintable(under->objectName()));
        }
        // Nor does the access key of the record bar under it.
        QSignalSpy total(Control<QPushButton>(w, "cmdClose"), &QPushButton::clicked);
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), static_cast<Qt::Key>(0x0E23),
                            "ร", Qt::AltModifier);
        QVERIFY(!total.wait(300)); // the access key clicks a moment later
        QCOMPARE(total.count(), 0);
        QCOMPARE(header(), before);

        // The report's ends by keyboard.
        Control<QPlainTextEdit>(w, "RichTextBox1")->setFocus();
        QTest::keyClick(Control<QPlainTextEdit>(w, "RichTextBox1"), Qt::Key_End,
                        Qt::ControlModifier);
        QVERIFY(Control<QPlainTextEdit>(w, "RichTextBox1")->textCursor().atEnd());
        QTest::keyClick(Control<QPlainTextEdit>(w, "RichTextBox1"), Qt::Key_Home,
                        Qt::ControlModifier);
        QVERIFY(Control<QPlainTextEdit>(w, "RichTextBox1")->textCursor().atStart());

        // The print options cover the report in turn; Escape closes them first.
        Control<QPushButton>(w, "Command9")->setFocus();
        QTest::keyClick(Control<QPushButton>(w, "Command9"), Qt::Key_Space);
        QVERIFY(Control<QFrame>(w, "Picture5")->isVisible());
        QVERIFY(Control<QFrame>(w, "Picture5")->isAncestorOf(QApplication::focusWidget()));
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(QApplication::focusWidget() != Control<QPlainTextEdit>(w, "RichTextBox1"));
        }
        Control<QRadioButton>(w, "Option1")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!Control<QFrame>(w, "Picture5")->isVisible());
        QVERIFY(Control<QFrame>(w, "Picture3")->isVisible());
        QCOMPARE(QApplication::focusWidget(), Control<QPushButton>(w, "Command9"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!Control<QFrame>(w, "Picture3")->isVisible());
        for (QWidget* under : underPanel)
            QVERIFY(under->isVisible());
        QCOMPARE(QApplication::focusWidget(), Control<ia::SheetGrid>(w, "DBGrid1"));
        QVERIFY(f.messages.isEmpty());
    }

    // Before an analysis the teacher hears what looks wrong and may cancel
    // (the default) with nothing changed, or go on.
    void checksBeforeTheAnalysis() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto sheets = Sheets(12);
        sheets.push_back({"3"}); // a repeated code, and no answer at all
        open(f, {"1", "1", "1", "1", "1", "1", "1", "0"}, sheets);
        const std::string path = f.dir().file("m1.ans");
        const std::string before = iatest::FileBytes(path);
        f.answerGoOn = false;
        Control<QPushButton>(f.w(), "Command5")->click();
        QCOMPARE(f.checks.size(), 1);
        QCOMPARE(f.checks[0], QString("พบข้อมูลที่ควรตรวจสอบก่อนวิเคราะห์\n"
                                      "\nกระดาษคำตอบที่ไม่มีคำตอบเลย 1 แผ่น: เลขที่ 3"
                                      "\nเลขที่ซ้ำกัน 1 เลขที่: 3"
                                      "\nข้อสอบที่ยังไม่มีเฉลย 1 ข้อ: ข้อ 8"));
        QVERIFY(!Control<QFrame>(f.w(), "Picture3")->isVisible());
        QCOMPARE(iatest::FileBytes(path), before);
        QVERIFY(!std::filesystem::exists(f.dir().file("m1.txt")));
        QVERIFY(f.messages.isEmpty());

        f.answerGoOn = true;
        Control<QPushButton>(f.w(), "Command6")->click();
        QCOMPARE(f.checks.size(), 2);
        QVERIFY(Control<QFrame>(f.w(), "Picture3")->isVisible());
        QVERIFY(std::filesystem::exists(f.dir().file("m1.txt")));
    }

    // A key never typed is no key: with none at all the analysis is refused
    // without a question, and the file stays as it was.
    void noKeyTypedIsRefused() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {}, Sheets(12));
        const std::string path = f.dir().file("m1.ans");
        const std::string before = iatest::FileBytes(path);
        for (QPushButton* b :
             {Control<QPushButton>(f.w(), "Command5"), Control<QPushButton>(f.w(), "Command6")}) {
            f.messages.clear();
            b->click();
            QCOMPARE(f.messages, QStringList{"ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้"});
            QVERIFY(f.checks.isEmpty());
            QVERIFY(!Control<QFrame>(f.w(), "Picture3")->isVisible());
            QCOMPARE(iatest::FileBytes(path), before);
        }
    }

    void noSheetsNoChange() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {"1"}, {});
        Control<QPushButton>(f.w(), "Command5")->click();
        QVERIFY(!Control<QFrame>(f.w(), "Picture3")->isVisible());
        QVERIFY(Control<QPushButton>(f.w(), "Command7")->isVisible());
        QVERIFY(f.messages.isEmpty());
        QVERIFY(!std::filesystem::exists(f.dir().file("m1.txt")));
    }

    void refusalIsShownAndTheWindowStaysUsable() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {"1", "1"}, Sheets(2));
        Control<QPushButton>(f.w(), "Command5")->click();
        QCOMPARE(f.messages, QStringList{"จำนวนกระดาษคำตอบน้อยเกินไป วิเคราะห์ไม่ได้"});
        QCOMPARE(f.messageTitles, QStringList{"คำเตือน"});
        QVERIFY(!Control<QFrame>(f.w(), "Picture3")->isVisible());
        QVERIFY(Control<QPushButton>(f.w(), "Command7")->isVisible());
        QVERIFY(Control<QPushButton>(f.w(), "Command5")->isEnabled());
        QCOMPARE(Control<QPushButton>(f.w(), "Command5")->text(), QString("วิเคราะห์ 25 %"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(Control<ia::SheetGrid>(f.w(), "DBGrid1")->model()->rowCount(),
                 3); // two sheets and the new-record row
    }

    void unwritableReportIsReportedAndResultsStay() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {"1", "1", "1", "1", "1", "1", "1", "1"}, Sheets(12));
        // A folder where the report should go: it cannot be replaced.
        std::filesystem::create_directory(f.dir().file("m1.txt"));
        Control<QPushButton>(f.w(), "Command5")->click();
        QCOMPARE(f.messages, QStringList{"บันทึกไฟล์รายงานไม่ได้ : " +
                                         QString::fromStdString(f.dir().file("m1.txt"))});
        QVERIFY(!Control<QFrame>(f.w(), "Picture3")->isVisible());
        Connection db(f.dir().file("m1.ans"), Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT count(*) FROM TOut WHERE Explain IS NOT NULL");
        QVERIFY(st.step());
        QCOMPARE(st.columnInt(0), 32LL);
    }

    void printOptionsCountAndPrint() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {"1", "1", "1", "1", "1", "1", "1", "1"}, Sheets(12));
        record(f);
        Control<QPushButton>(f.w(), "Command5")->click();
        Control<QPushButton>(f.w(), "Command9")->click();
        QVERIFY(Control<QFrame>(f.w(), "Picture5")->isVisible());
        QVERIFY(!Control<QPushButton>(f.w(), "Command9")->isEnabled());
        // 8 keyed items of 4 choices: two item pages, the summary, the results.
        QCOMPARE(Control<QLabel>(f.w(), "Label7")->text(), QString("จำนวนหน้า  =   4"));
        Control<QRadioButton>(f.w(), "Option4")->setChecked(true);
        Control<QLineEdit>(f.w(), "Text3")->setText("abc");
        Control<QPushButton>(f.w(), "Command10")->click();
        QVERIFY(Control<QFrame>(f.w(), "Picture5")->isVisible()); // refused, nothing printed
        QVERIFY(printers.empty());
        QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(f.w(), "Text3"));
        Control<QLineEdit>(f.w(), "Text3")->setText("2");
        Control<QLineEdit>(f.w(), "Text4")->setText("3");
        Control<QPushButton>(f.w(), "Command10")->click();
        QVERIFY(!Control<QFrame>(f.w(), "Picture5")->isVisible());
        QVERIFY(Control<QPushButton>(f.w(), "Command9")->isEnabled());
        QCOMPARE(int(printers.size()), 1);
        QCOMPARE(printers[0]->SheetCount(), 2);
        QCOMPARE(f.w().printJob().PrintMode, int16_t(4));
        QCOMPARE(f.w().printJob().PageTo, int16_t(3));
    }

    void previewDrawsAllPagesAndKeepsTheSelection() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {"1", "1", "1", "1", "1", "1", "1", "1"}, Sheets(12));
        Control<QPushButton>(f.w(), "Command5")->click();
        f.w().printJob().PrintMode = 3;
        f.w().printJob().PageTo = 2;
        int pages = -1;
        f.prompts.onShowPreview = [&](QDialog& d) {
            d.open(); // the preview lays the pages out as it comes up
            QApplication::processEvents();
            auto* printer = d.findChild<QPrintPreviewWidget*>();
            if (printer) pages = printer->pageCount();
            d.close();
        };
        Control<QPushButton>(f.w(), "cmdPreview")->click();
        QCOMPARE(pages, 4);
        QCOMPARE(f.w().printJob().PrintMode, int16_t(3));
        QCOMPARE(f.w().printJob().PageTo, int16_t(2));
        QVERIFY(f.messages.isEmpty());
    }

    void printOptionsPanelKeysAndRanges() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {"1", "1", "1", "1", "1", "1", "1", "1"}, Sheets(12));
        record(f);
        Control<QPushButton>(f.w(), "Command5")->click();
        auto& w = f.w();

        // Opening always starts from all pages with empty boxes.
        Control<QPushButton>(w, "Command9")->click();
        Control<QRadioButton>(w, "Option3")->setChecked(true);
        Control<QLineEdit>(w, "Text3")->setText("7");
        Control<QPushButton>(w, "Command11")->click(); // cancel: nothing printed, job untouched
        QVERIFY(printers.empty());
        QCOMPARE(w.printJob().PrintMode, int16_t(1));
        QVERIFY(Control<QPushButton>(w, "Command9")->isEnabled());
        Control<QPushButton>(w, "Command9")->click();
        QVERIFY(Control<QRadioButton>(w, "Option1")->isChecked());
        QVERIFY(Control<QLineEdit>(w, "Text3")->text().isEmpty() &&
                Control<QLineEdit>(w, "Text4")->text().isEmpty());

        // Option4 takes the focus to the first box; Enter walks to OK.
        QTest::mouseClick(Control<QRadioButton>(w, "Option4"), Qt::LeftButton, {},
                          QPoint(5, Control<QRadioButton>(w, "Option4")->height() / 2));
        QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(w, "Text3"));
        QTest::keyClicks(Control<QLineEdit>(w, "Text3"), "2");
        QTest::keyClick(Control<QLineEdit>(w, "Text3"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(w, "Text4"));
        QTest::keyClick(Control<QLineEdit>(w, "Text4"), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), Control<QPushButton>(w, "Command10"));

        struct Case {
            const char *from, *to;
            int16_t pageTo;
            int sheets; // sheets of paper printed
        } cases[] = {
            {"2", "", 0, 1},      // no last page: page 2 alone
            {"2", "x", 0, 1},     // not a number: the same
            {"2", "2.5", 2, 1},   // halves to even
            {"2", "3.5", 4, 3},   // 4 pages in all
            {"2.5", "", 0, 0},    // no page is numbered 2.5: refused
            {"3", "2", 2, 0},     // first after last: refused
            {"5", "9", 4, 0},     // past the last page: refused
            {"0", "0", 0, 0},     // refused
            {"1", "99999", 4, 4}, // cut to the page count
        };
        for (const auto& c : cases) {
            printers.clear();
            kept.clear();
            f.messages.clear();
            f.messageTitles.clear();
            Control<QPushButton>(w, "Command9")->click();
            Control<QRadioButton>(w, "Option4")->setChecked(true);
            Control<QLineEdit>(w, "Text3")->setText(c.from);
            Control<QLineEdit>(w, "Text4")->setText(c.to);
            Control<QPushButton>(w, "Command10")->click();
            if (c.sheets == 0) {
                // Nothing to print is said, and the panel stays for another try.
                QVERIFY2(Control<QFrame>(w, "Picture5")->isVisible(), c.from);
                QVERIFY(printers.empty());
                QCOMPARE(f.messageTitles, QStringList{"คำเตือน"});
                QCOMPARE(f.messages, QStringList{"ช่วงหน้าที่เลือกไม่มีหน้าที่จะพิมพ์"});
                QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(w, "Text3"));
                Control<QPushButton>(w, "Command11")->click();
                continue;
            }
            QVERIFY2(!Control<QFrame>(w, "Picture5")->isVisible(), c.from);
            QCOMPARE(int(printers.size()), 1);
            QCOMPARE(w.printJob().PageTo, c.pageTo);
            QCOMPARE(printers[0]->SheetCount(), c.sheets);
        }
    }

    void rawPrintoutSortsByCode() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {"1", "1", "1", "1", "1", "1", "1", "1"}, Sheets(5));
        record(f);
        Control<QPushButton>(f.w(), "Command7")->click();
        QCOMPARE(int(printers.size()), 1);
        QCOMPARE(QString::fromStdString(f.w().views().sheets.RecordSource),
                 QString("select * from TAData order by val(Code)"));
        std::vector<std::string> codes;
        for (const auto& t : printers[0]->Texts())
            if (std::abs(t.x - 2.0) < 1e-6 && t.y > 6.0) codes.push_back(t.text);
        QCOMPARE(codes, (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    }

    void brokenStructureIsRefusedAndThePreviousFileStays() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f, {"1"}, Sheets(3));
        const std::string broken = f.dir().file("broken.ans");
        iatest::MakeExamFile(broken, iatest::MakeHeader(8, 4), {"1"}, {});
        {
            Connection db(broken);
            db.exec("UPDATE Tinit SET nItem = NULL");
        }
        f.nextFile = QString::fromStdString(broken);
        Control<QPushButton>(f.w(), "Command2")->click();
        QCOMPARE(f.messages, QStringList{QString::fromStdString(broken) + "  โครงสร้างไฟล์ไม่ถูกต้อง"});
        QCOMPARE(f.w().session().fileName(), f.dir().file("m1.ans"));
        QCOMPARE(Control<ia::SheetGrid>(f.w(), "DBGrid1")->model()->rowCount(), 4);
    }
};

QTEST_MAIN(AnalysisCommands)
#include "qtest_AnalysisCommands.moc"
