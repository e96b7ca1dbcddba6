// SPDX-License-Identifier: GPL-3.0-or-later
// The import and export dialogs, alone and from the window's buttons.

#include "TestSupport.h"
#include "WindowFixture.h"
#include "app/ExportDialog.h"
#include "app/ImportDialog.h"
#include "examfile/Engine.h"
#include "examfile/OutputFile.h"
#include "sheet/SheetGrid.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

namespace {

using iatest::Control;
using iatest::HeaderFieldEdit;

using iatest::SheetCount;
using iatest::WriteText;

// Presses key on the next message box shown, once it is up and active.
class KeyOnNextBox : public QObject {
  public:
    explicit KeyOnNextBox(Qt::Key key) : key_(key) {
        connect(&poll_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            if (!box->isActiveWindow() && ++tries_ < 200) return;
            poll_.stop();
            pressed_ = true;
            QTest::keyClick(box, key_);
        });
        poll_.start(5);
    }
    bool pressed() const { return pressed_; }

  private:
    Qt::Key key_;
    QTimer poll_;
    int tries_ = 0;
    bool pressed_ = false;
};

} // namespace

class ImportExport : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The remembered option numbers go to a test folder, fresh each run.
        QStandardPaths::setTestModeEnabled(true);
        QSettings("itemanalysis", "quiz-options").clear();
    }

    void previewThenImport() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"", "", ""}, {{"01", "1", "1", "1"}});
        const std::string src = dir.file("ต้นทาง.csv");
        WriteText(src, "ชื่อ,1,2,3\nเฉลย,ก,ข,ค\nมานี,1,2,3\nมานะ,ง,ค,\n");
        ia::ImportDialog d(ia::Connection::Shared(exam), exam, 3, 4);
        d.setSource(QString::fromStdString(src));
        QVERIFY(d.importButton->isEnabled());
        QCOMPARE(d.summaryLabel->text(), QString("จะนำเข้ากระดาษคำตอบ 2 แผ่น และเฉลย\n"
                                                 "ตารางข้อความ: แถวที่ 1 เป็นหัวตาราง, รหัสจากคอลัมน์ 1"));
        // The key first, then the sheets, with the source's row numbers.
        QCOMPARE(d.preview->rowCount(), 3);
        QCOMPARE(d.preview->item(0, 0)->text(), QString("เฉลย"));
        QCOMPARE(d.preview->item(2, 1)->text(), QString("4"));
        QCOMPARE(d.preview->verticalHeaderItem(2)->text(), QString("4"));
        QVERIFY(d.importNow());
        QCOMPARE(SheetCount(exam), 3);
        QCOMPARE(d.importedSheets(), 2);
    }

    void errorsListedNothingImported() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"", "", ""}, {});
        const std::string src = dir.file("bad.csv");
        WriteText(src, "01,1,2,3\n02,1,จ,3\n03,1,2,3,4\n");
        ia::ImportDialog d(ia::Connection::Shared(exam), exam, 3, 4);
        d.setSource(QString::fromStdString(src));
        QVERIFY(!d.importButton->isEnabled());
        QVERIFY(d.preview->isHidden());
        QCOMPARE(d.problems->toPlainText(),
                 QString("แถว 2 คอลัมน์ C (ข้อ 2): \"จ\" เกินจำนวนตัวเลือก (4)\n"
                         "แถว 3 คอลัมน์ E: คำตอบเกินจำนวนข้อของไฟล์ (3 ข้อ)\n"));
        QVERIFY(!d.importNow());
        QCOMPARE(SheetCount(exam), 0);
        // Key only asks for a key row.
        WriteText(src, "01,1,2,3\n");
        d.keyOnlyButton->setChecked(true);
        QVERIFY(!d.importButton->isEnabled());
        QCOMPARE(d.summaryLabel->text(), QString("แหล่งข้อมูลไม่มีแถวเฉลย (KEY หรือ เฉลย)"));
    }

    void duplicatesAskFirst() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"", "", ""}, {{"01", "1", "1", "1"}});
        const std::string src = dir.file("dup.csv");
        WriteText(src, "01,1,2,3\n");
        ia::ImportDialog d(ia::Connection::Shared(exam), exam, 3, 4);
        QStringList asked;
        bool answer = false;
        d.askYesNo = [&](const QString&, const QString& text) {
            asked << text;
            return answer;
        };
        d.setSource(QString::fromStdString(src));
        QVERIFY(d.problems->toPlainText().contains("รหัส 01 (แถว 1) มีอยู่แล้วในไฟล์"));
        QVERIFY(!d.importNow());
        QCOMPARE(asked.size(), 1);
        QCOMPARE(SheetCount(exam), 1);
        answer = true;
        QVERIFY(d.importNow());
        QCOMPARE(SheetCount(exam), 2);
        // Replacing leaves no duplicate to ask about, and keeps a backup.
        d.replaceButton->setChecked(true);
        QVERIFY(d.importNow());
        QCOMPARE(asked.size(), 2);
        QCOMPARE(SheetCount(exam), 1);
        QCOMPARE(SheetCount(exam + ".bak"), 2);
    }

    // A replace by a source with a key and no sheet would only empty the
    // file and, done twice, leave a backup of the empty file: refused in the
    // window as on the command line, the file and its backup as they were.
    void replaceWithoutSheetsIsRefusedAndTheBackupStays() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"", "", ""}, {{"01", "1", "1", "1"}});
        const std::string examBytes = iatest::FileBytes(exam);
        WriteText(exam + ".bak", "the only backup");
        const std::string src = dir.file("key.csv");
        WriteText(src, "KEY,1,2,3\n");
        ia::ImportDialog d(ia::Connection::Shared(exam), exam, 3, 4);
        d.setSource(QString::fromStdString(src));
        d.replaceButton->setChecked(true);
        for (int run = 0; run < 2; ++run) {
            QVERIFY(!d.importNow());
            QCOMPARE(d.problems->toPlainText(), QString("ไม่มีกระดาษคำตอบในแหล่งข้อมูล ไม่ได้แทนที่"));
        }
        QCOMPARE(SheetCount(exam), 1);
        QVERIFY(iatest::FileBytes(exam) == examBytes);
        QCOMPARE(QString::fromStdString(iatest::FileBytes(exam + ".bak")),
                 QString("the only backup"));
        QCOMPARE(iatest::FolderEntries(dir.path()),
                 (std::vector<std::string>{"key.csv", "ก.ans", "ก.ans.bak"}));
    }

    // Another program swaps the backup's temporary for a link right before
    // it takes the backup's place: the sheets are not replaced without their
    // backup, and the link is never followed.
    void aBackupThatCannotBePutInPlaceStopsTheReplace() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"", "", ""}, {{"01", "1", "1", "1"}});
        WriteText(dir.file("victim"), "victim");
        const std::string src = dir.file("new.csv");
        WriteText(src, "02,2,2,2\n");
        ia::SetOutputStepHookForTests(
            [&](ia::OutputStep step, const std::string& folder, const std::string& name) {
                if (step != ia::OutputStep::BeforeRename) return;
                std::filesystem::remove(std::filesystem::path(folder) / name);
                std::filesystem::create_symlink(dir.file("victim"),
                                                std::filesystem::path(folder) / name);
            });
        ia::ImportDialog d(ia::Connection::Shared(exam), exam, 3, 4);
        d.setSource(QString::fromStdString(src));
        d.replaceButton->setChecked(true);
        const bool imported = d.importNow();
        ia::SetOutputStepHookForTests({});
        QVERIFY(!imported);
        QVERIFY(d.problems->toPlainText().startsWith(
            QString::fromStdString("สำรองไฟล์ข้อสอบไว้ที่ " + exam + ".bak ไม่ได้ : ไฟล์ชั่วคราว ")));
        QCOMPARE(SheetCount(exam), 1);
        ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
        auto codes = db.prepare("SELECT Code FROM TAData");
        QVERIFY(codes.step());
        QCOMPARE(QString::fromStdString(codes.column(0).text()), QString("01"));
        QCOMPARE(QString::fromStdString(iatest::FileBytes(dir.file("victim"))), QString("victim"));
        QVERIFY(!std::filesystem::exists(exam + ".bak"));
    }

    // The box the teacher really sees: a second import of the same class is
    // not doubled by Enter or Escape.
    void duplicatesEnterOrEscapeImportNothing() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"", "", ""},
                             {{"01", "1", "1", "1"}, {"02", "2", "2", "2"}});
        const std::string src = dir.file("dup.csv");
        WriteText(src, "01,1,2,3\n02,1,2,3\n");
        ia::ImportDialog d(ia::Connection::Shared(exam), exam, 3, 4);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.setSource(QString::fromStdString(src));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            KeyOnNextBox press(key);
            QVERIFY(!d.importNow());
            QVERIFY(press.pressed());
            QCOMPARE(SheetCount(exam), 2);
        }
    }

    void quizOptionsNumberedByTheTeacher() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(2, 4), {"", ""}, {});
        const std::string src = dir.file("quiz.csv");
        WriteText(src, "ประทับเวลา,อีเมล,สีของฟ้า,ข้อสอง\n1/12/2026,a@b.th,สีฟ้า,ข. สอง\n");
        ia::ImportDialog d(ia::Connection::Shared(exam), exam, 2, 4);
        d.setSource(QString::fromStdString(src));
        QVERIFY(!d.importButton->isEnabled());
        QVERIFY(!d.optionTable->isHidden());
        QCOMPARE(d.optionTable->rowCount(), 1);
        QCOMPARE(d.optionTable->item(0, 1)->text(), QString("สีฟ้า"));
        d.optionTable->item(0, 2)->setText("3");
        QVERIFY(d.importButton->isEnabled());
        QVERIFY(d.importNow());
        // The numbers are remembered for the next import of the same form.
        ia::ImportDialog again(ia::Connection::Shared(exam), exam, 2, 4);
        again.setSource(QString::fromStdString(src));
        QVERIFY(again.importButton->isEnabled());
        // Still listed with its number, to be changed.
        QCOMPARE(again.optionTable->rowCount(), 1);
        QCOMPARE(again.optionTable->item(0, 2)->text(), QString("3"));
        QCOMPARE(again.plan().sheets.at(0).answers, (std::vector<std::string>{"3", "2"}));
    }

    // The roles taken from the header are shown; the teacher changes them
    // and the preview follows.
    void columnRolesShownAndChanged() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"", "", ""}, {});
        const std::string src = dir.file("ห้อง.csv");
        WriteText(src, "ห้อง,เลขที่,ชื่อ,หมายเหตุ,1,2,3\nม.1/1,01,มานี,มาสาย,1,2,3\n");
        ia::ImportDialog d(ia::Connection::Shared(exam), exam, 3, 4);
        d.setSource(QString::fromStdString(src));
        QVERIFY(d.importButton->isEnabled());
        QVERIFY(d.summaryLabel->text().contains("คอลัมน์ที่ใช้: A=กลุ่ม B=รหัส C=ชื่อ D=ไม่ใช้ E:G=ข้อ 1-3"));
        d.columnsEdit->setText("code=B,name=C,answers=E:F");
        emit d.columnsEdit->editingFinished();
        QVERIFY(d.summaryLabel->text().contains("E:F=ข้อ 1-2"));
        QCOMPARE(d.plan().sheets.at(0).answers, (std::vector<std::string>{"1", "2", ""}));
        QVERIFY(d.importNow());
        QCOMPARE(SheetCount(exam), 1);
    }

    // A key already typed is replaced only when the teacher says so.
    void aTypedKeyIsReplacedOnlyWhenAsked() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"1", "1", "1"}, {});
        const std::string src = dir.file("key.csv");
        WriteText(src, "รหัส,1,2,3\nเฉลย,2,2,2\n01,1,2,3\n");
        auto key = [&] {
            ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
            ia::Statement st = db.prepare("SELECT X1 || X2 || X3 FROM TKey");
            return st.step() ? std::string(*st.columnText(0)) : std::string();
        };
        for (bool replace : {false, true}) {
            ia::ImportDialog d(ia::Connection::Shared(exam), exam, 3, 4);
            int asked = 0;
            d.askYesNo = [&](const QString&, const QString&) {
                ++asked;
                return replace;
            };
            d.setSource(QString::fromStdString(src));
            QVERIFY(d.importNow());
            QCOMPARE(asked, replace ? 2 : 1); // the second time: also the duplicate code
            QCOMPARE(key(), std::string(replace ? "222" : "111"));
        }
    }

    void exportRefusesTheExamFileAndWrites() {
        iatest::TempDir dir;
        const std::string exam = dir.file("ก.ans");
        iatest::MakeExamFile(exam, iatest::MakeHeader(2, 4), {"1", "2"}, {{"01", "1", "2"}});
        ia::ExportDialog d(ia::Connection::Shared(exam), exam, 2);
        QCOMPARE(d.targetEdit->text(), QString::fromStdString(dir.file("ก.xlsx")));
        d.formatBox->setCurrentIndex(2); // CSV of the answers
        QCOMPARE(d.targetEdit->text(), QString::fromStdString(dir.file("ก.csv")));
        QVERIFY(d.exportNow());
        QCOMPARE(QString::fromStdString(iatest::FileBytes(dir.file("ก.csv"))),
                 QString("\xEF\xBB\xBF"
                         "รหัส,ข้อ 1,ข้อ 2\r\nเฉลย,1,2\r\n01,1,2\r\n"));
        // The whole-test summary, the dialog's last choice.
        d.formatBox->setCurrentIndex(d.formatBox->count() - 1);
        QVERIFY(d.exportNow());
        QVERIFY(QString::fromStdString(iatest::FileBytes(dir.file("ก.csv")))
                    .startsWith("\xEF\xBB\xBFที่มา,เทคนิค,"));
        d.targetEdit->setText(QString::fromStdString(exam));
        QVERIFY(!d.exportNow());
        QCOMPARE(d.messageLabel->text(),
                 QString::fromStdString("ไฟล์ที่ส่งออกต้องไม่ใช่ไฟล์ข้อสอบ " + exam));
    }

    void windowButtonsImportAndRefreshTheGrid() {
        iatest::WindowFixture f;
        const QString exam = f.path("w.ans");
        iatest::MakeExamFile(exam.toStdString(), iatest::MakeHeader(3, 4), {"", "", ""},
                             {{"01", "1", "1", "1"}});
        f.nextFile = exam;
        Control<QPushButton>(f.w(), "Command2")->click();
        QVERIFY(!Control<QPushButton>(f.w(), "cmdImport")->isHidden());
        const std::string src = f.dir().file("s.csv");
        WriteText(src, "KEY,1,2,3\n02,3,3,3\n");
        f.prompts.onRunDialog = [&](QDialog& dialog) {
            auto& d = static_cast<ia::ImportDialog&>(dialog);
            d.setSource(QString::fromStdString(src));
            return d.importNow() ? QDialog::Accepted : QDialog::Rejected;
        };
        Control<QPushButton>(f.w(), "cmdImport")->click();
        QCOMPARE(f.w().views().sheets.Recordset()->recordCount(), 2);
        QCOMPARE(Control<ia::SheetGrid>(f.w(), "DBGrid1")->model()->rowCount(),
                 3); // and the new-record row
        QCOMPARE(QString::fromStdString(f.w().views().key.Recordset()->field("X2").text()),
                 QString("2"));
        f.prompts.onRunDialog = [&](QDialog& dialog) {
            auto& d = static_cast<ia::ExportDialog&>(dialog);
            return d.exportNow() ? QDialog::Accepted : QDialog::Rejected;
        };
        Control<QPushButton>(f.w(), "cmdExport")->click();
        QCOMPARE(f.messages.last(), "ส่งออกแล้ว: " + f.path("w.xlsx"));
        QCOMPARE(f.informations, QStringList{"ส่งออกแล้ว: " + f.path("w.xlsx")});
        QVERIFY(std::filesystem::exists(f.dir().file("w.xlsx")));
    }

    // A class's table picked under เปิดไฟล์: with an exam file in hand the
    // import is offered with the table already chosen (nothing written before
    // the teacher imports); with none, the teacher is told to open one first.
    void aTablePickedToOpenOffersTheImport() {
        const struct Case {
            const char* name;
            bool examOpen;
            bool answerYes;
            int sheetsAfter;
        } cases[] = {
            {"yes imports", true, true, 2},
            {"no leaves the file", true, false, 1},
            {"no file in hand", false, true, -1},
        };
        for (const Case& c : cases) {
            iatest::WindowFixture f;
            const QString exam = f.path("ม1.ans");
            iatest::MakeExamFile(exam.toStdString(), iatest::MakeHeader(3, 4), {"1", "2", "3"},
                                 {{"01", "1", "1", "1"}});
            const std::string bytes = iatest::FileBytes(exam.toStdString());
            if (c.examOpen) {
                f.nextFile = exam;
                Control<QPushButton>(f.w(), "Command2")->click();
                QCOMPARE(f.w().session().fileName(), exam.toStdString());
            }
            const QString table = f.path("ห้อง1.csv");
            WriteText(table.toStdString(), "02,3,3,3\n");
            QString chosen;
            int dialogs = 0;
            f.prompts.onRunDialog = [&](QDialog& dialog) {
                ++dialogs;
                auto& d = static_cast<ia::ImportDialog&>(dialog);
                chosen = d.sourceEdit->text();
                return d.importNow() ? QDialog::Accepted : QDialog::Rejected;
            };
            f.answerYes = c.answerYes;
            f.nextFile = table;
            Control<QPushButton>(f.w(), "Command2")->click();
            QVERIFY2(!QApplication::overrideCursor(), c.name);
            if (!c.examOpen) {
                QCOMPARE(f.questions.size(), 0);
                QCOMPARE(f.messages.size(), 1);
                QVERIFY2(f.messages[0].contains("ห้อง1.csv เป็นตารางคำตอบ") &&
                             f.messages[0].contains("นำเข้า"),
                         qPrintable(f.messages[0]));
                QVERIFY(!f.w().session().isOpen());
                QCOMPARE(dialogs, 0);
                QCOMPARE(iatest::FileBytes(exam.toStdString()), bytes);
                continue;
            }
            QCOMPARE(f.questions.size(), 1);
            QVERIFY2(f.questions[0].contains("ห้อง1.csv") && f.questions[0].contains("ม1.ans"),
                     qPrintable(f.questions[0]));
            QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
            QCOMPARE(f.w().session().fileName(), exam.toStdString());
            QCOMPARE(dialogs, c.answerYes ? 1 : 0);
            if (c.answerYes) QCOMPARE(chosen, table);
            QCOMPARE(SheetCount(exam.toStdString()), c.sheetsAfter);
            QCOMPARE(f.w().views().sheets.Recordset()->recordCount(), c.sheetsAfter);
        }
    }

    void ctrlVPastesABlockAllOrNothing() {
        iatest::WindowFixture f;
        const QString exam = f.path("p.ans");
        iatest::MakeExamFile(exam.toStdString(), iatest::MakeHeader(3, 4), {"1", "2", "3"},
                             {{"01", "1", "1", "1"}});
        f.nextFile = exam;
        Control<QPushButton>(f.w(), "Command2")->click();
        QVERIFY(f.showActive());
        ia::SheetGrid& grid = *Control<ia::SheetGrid>(f.w(), "DBGrid1");
        grid.setFocus();
        grid.setCurrentIndex(grid.model()->index(0, 1));
        QGuiApplication::clipboard()->setText("ข\tค\nง\t1\n");
        QTest::keyClick(&grid, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.w().views().sheets.Recordset()->recordCount(), 2);
        QCOMPARE(QString::fromStdString(f.w().views().sheets.Recordset()->rowAt(0).at(2).text()),
                 QString("3"));
        QCOMPARE(QString::fromStdString(f.w().views().sheets.Recordset()->rowAt(1).at(1).text()),
                 QString("4"));
        QVERIFY(f.messages.isEmpty());
        // A bad cell: told where, nothing changed.
        QGuiApplication::clipboard()->setText("1\tสีแดง\n");
        grid.setCurrentIndex(grid.model()->index(0, 1));
        QTest::keyClick(&grid, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages[0].startsWith("วางไม่ได้ ไม่ได้เปลี่ยนข้อมูลใดเลย:\nแถว 1 คอลัมน์ 2: "));
        QCOMPARE(QString::fromStdString(f.w().views().sheets.Recordset()->rowAt(0).at(1).text()),
                 QString("2"));
    }
};

QTEST_MAIN(ImportExport)
#include "qtest_ImportExport.moc"
