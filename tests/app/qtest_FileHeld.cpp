// SPDX-License-Identifier: GPL-3.0-or-later
// The window while another program holds, replaces or deletes the exam file:
// a typed answer is never thrown away, and nothing is written into a file
// that merely took the old one's name.
#include "WindowFixture.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/WriterLock.h"
#include "sheet/SheetModel.h"

#include <QLineEdit>
#include <QTest>

#include <filesystem>
#include <memory>

using namespace ia;
using iatest::Control;
using iatest::HeaderFieldEdit;
using iatest::WindowFixture;

namespace {

using iatest::Stored;

std::string OpenFile(WindowFixture& f) {
    const std::string path = f.dir().file("m1.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"},
                         {{"101", "1", "1", "1", "1"}, {"102", "2", "2", "2", "2"}});
    f.nextFile = QString::fromStdString(path);
    Control<QPushButton>(f.w(), "Command2")->click();
    return path;
}

// Another program's hold on the file: a write transaction never finished.
std::unique_ptr<Connection> Hold(const std::string& path) {
    auto holder = std::make_unique<Connection>(path);
    holder->exec("BEGIN EXCLUSIVE");
    return holder;
}

// Types an answer into a cell of the sheet grid and presses Enter.
void TypeAnswer(SheetGrid* grid, int row, int column, const QString& answer) {
    const QModelIndex idx = grid->model()->index(row, column);
    grid->setFocus();
    grid->setCurrentIndex(idx);
    grid->edit(idx);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, answer);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}

const QString kWaits = QString::fromUtf8(kAnswerWaitsForFile);

} // namespace

class FileHeldTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        busyWait_ = Connection::BusyWaitMs();
        Connection::SetBusyWaitMs(20);
    }
    void cleanup() { Connection::SetBusyWaitMs(busyWait_); }

    void anAnswerTypedWhileTheFileIsHeldWaitsInItsCell() {
        WindowFixture f;
        QVERIFY(f.showActive());
        const std::string path = OpenFile(f);
        auto* grid = Control<ia::SheetGrid>(f.w(), "DBGrid1");
        auto holder = Hold(path);
        TypeAnswer(grid, 0, 2, "3");
        QCOMPARE(f.messageTitles, QStringList{"คำเตือน"});
        QCOMPARE(f.messages, QStringList{kWaits});
        // Kept as typed, and the pointer stays on it.
        QCOMPARE(grid->model()->index(0, 2).data().toString(), QString("3"));
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 2));
        QVERIFY(grid->hasPendingEdits());
        // Arrows do not leave it either while the file is held.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->currentIndex().row(), 0);
        // A second answer waits behind the first.
        f.messages.clear();
        TypeAnswer(grid, 0, 2, "4");
        QCOMPARE(f.messages, QStringList{kWaits});

        holder.reset();
        f.messages.clear();
        Control<QPushButton>(f.w(), "cmdUpdate")->click();
        QVERIFY(!grid->hasPendingEdits());
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
        QCOMPARE(Stored(path, "SELECT X2 FROM TAData WHERE Code='101'"), QString("4"));
        QCOMPARE(grid->model()->index(0, 2).data().toString(), QString("4"));
    }

    void aNewSheetTypedWhileTheFileIsHeldIsMadeOnce() {
        WindowFixture f;
        QVERIFY(f.showActive());
        const std::string path = OpenFile(f);
        auto* grid = Control<ia::SheetGrid>(f.w(), "DBGrid1");
        auto holder = Hold(path);
        TypeAnswer(grid, 2, 0, "103");
        QCOMPARE(f.messages, QStringList{kWaits});
        holder.reset();
        // The next commit stores the waiting answer first.
        TypeAnswer(grid, 0, 1, "4");
        QCOMPARE(Stored(path, "SELECT count(*) FROM TAData"), QString("3"));
        QCOMPARE(Stored(path, "SELECT Code FROM TAData ORDER BY rowid DESC LIMIT 1"),
                 QString("103"));
        QCOMPARE(Stored(path, "SELECT X1 FROM TAData WHERE Code='101'"), QString("4"));
    }

    void theAnalysisWaitsForTheAnswersToBeStored() {
        WindowFixture f;
        QVERIFY(f.showActive());
        const std::string path = OpenFile(f);
        auto holder = Hold(path);
        TypeAnswer(Control<ia::SheetGrid>(f.w(), "DBGrid1"), 1, 1, "1");
        f.messages.clear();
        Control<QPushButton>(f.w(), "Command5")->click();
        QCoreApplication::processEvents();
        QCOMPARE(f.messages, QStringList{kWaits});
        QVERIFY(!Control<QFrame>(f.w(), "Picture3")->isVisible());
        QVERIFY(Control<ia::SheetGrid>(f.w(), "DBGrid1")->hasPendingEdits());
    }

    void closingWithAnAnswerNotStoredAsks_data() {
        QTest::addColumn<bool>("wait");    // the first answer: wait and try again
        QTest::addColumn<bool>("discard"); // the confirmation of the discard
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("stored"); // X1 of the first sheet afterwards
        QTest::newRow("wait, then it is stored") << true << false << true << "4";
        QTest::newRow("discard, confirmed") << false << true << true << "1";
        QTest::newRow("discard, not confirmed") << false << false << false << "1";
    }

    void closingWithAnAnswerNotStoredAsks() {
        QFETCH(bool, wait);
        QFETCH(bool, discard);
        QFETCH(bool, closes);
        QFETCH(QString, stored);
        WindowFixture f;
        QVERIFY(f.showActive());
        const std::string path = OpenFile(f);
        auto holder = Hold(path);
        TypeAnswer(Control<ia::SheetGrid>(f.w(), "DBGrid1"), 0, 1, "4");
        QStringList asked;
        f.prompts.onAskYesNo = [&](const QString&, const QString& text) {
            asked << text;
            holder.reset(); // meanwhile the other program lets go
            return wait;
        };
        f.prompts.onAskOkCancel = [&](const QString&, const QString& text) {
            asked << text;
            return discard;
        };
        QCOMPARE(f.w().close(), closes);
        QVERIFY(!asked.isEmpty());
        QCOMPARE(asked.first(), QString::fromUtf8(kAskWaitForFile));
        if (!wait) QCOMPARE(asked.last(), QString::fromUtf8(kConfirmDiscardAnswers));
        QCOMPARE(f.w().isVisible(), !closes);
        QCOMPARE(Control<ia::SheetGrid>(f.w(), "DBGrid1")->hasPendingEdits(), !closes);
        holder.reset();
        QCOMPARE(Stored(path, "SELECT X1 FROM TAData WHERE Code='101'"), stored);
    }

    void aReplacedFileIsNamedAndNeverWrittenInto_data() {
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<bool>("reopen");
        QTest::newRow("replaced, opened again") << false << true;
        QTest::newRow("replaced, left") << false << false;
        QTest::newRow("deleted, opened again") << true << true;
    }

    void aReplacedFileIsNamedAndNeverWrittenInto() {
        QFETCH(bool, deleted);
        QFETCH(bool, reopen);
        WindowFixture f;
        QVERIFY(f.showActive());
        const std::string path = OpenFile(f);
        // What "create --overwrite" from the command line does meanwhile.
        if (deleted) {
            QVERIFY(std::filesystem::remove(path));
        } else {
            QVERIFY(BackUpExamFile(path).kept);
            QCOMPARE(CreateExamFile(path, iatest::MakeHeader(6, 3)), 0);
        }
        const std::string newBytes = deleted ? "" : iatest::FileBytes(path);
        f.answerYes = reopen;
        TypeAnswer(Control<ia::SheetGrid>(f.w(), "DBGrid1"), 0, 1, "4");
        QCOMPARE(f.questions.size(), 1);
        QVERIFY2(f.questions[0].startsWith(QString::fromUtf8("ไฟล์ถูกแทนที่หรือลบโดยโปรแกรมอื่น\n")),
                 qPrintable(f.questions[0]));
        QVERIFY(f.questions[0].endsWith(QString::fromStdString(path)));
        QVERIFY(!f.messages.join("|").contains("อ่านอย่างเดียว"));
        if (!deleted) {
            QVERIFY(iatest::FileBytes(path) == newBytes);
            if (reopen) {
                QCOMPARE(f.w().session().header().nItem, int16_t(6));
                QCOMPARE(Control<ia::SheetGrid>(f.w(), "DBGrid1")->model()->rowCount(),
                         1); // the new-record row
            }
        } else {
            QVERIFY(!std::filesystem::exists(path));
            QCOMPARE(f.messages, QStringList{QString::fromStdString("ไม่พบไฟล์ " + path)});
        }
    }

    void openingTellsWhyAFileCannotBeUsed() {
        WindowFixture f;
        QVERIFY(f.showActive());
        auto exam = [&](const char* name) {
            const std::string p = f.dir().file(name);
            iatest::MakeExamFile(p, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"},
                                 {{"101", "1", "1", "1", "1"}});
            return p;
        };
        const std::string locked = exam("locked.ans");
        const std::string cut = exam("cut.ans");
        std::filesystem::resize_file(cut, 3000);
        const std::string crafted = exam("crafted.ans");
        Connection(crafted).exec(
            "CREATE TRIGGER wipe AFTER INSERT ON TOut BEGIN DELETE FROM TAData; END");
        const std::string missing = f.dir().file("missing.ans");
        auto holder = Hold(locked);
        const struct {
            std::string path, message;
        } cases[] = {
            {locked, locked + "  ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น กรุณาลองใหม่"},
            {cut, "ไฟล์ " + cut + " เสียหาย เปิดไม่ได้"},
            {crafted, crafted + "  โครงสร้างไฟล์ไม่ถูกต้อง"},
            {missing, "ไม่พบไฟล์ " + missing},
        };
        for (const auto& c : cases) {
            f.messages.clear();
            f.nextFile = QString::fromStdString(c.path);
            Control<QPushButton>(f.w(), "Command2")->click();
            QCOMPARE(f.messages, QStringList{QString::fromStdString(c.message)});
            QVERIFY(!f.w().views().sheets.isOpen());
        }
    }

    // Two windows never write one file without seeing each other: the
    // second is refused with the reason, and keeps what it had.
    void aFileOpenInAnotherWindowIsRefused() {
        WindowFixture first;
        const std::string path = OpenFile(first);
        QVERIFY(first.w().views().sheets.isOpen());
        WindowFixture second;
        const std::string other = second.dir().file("other.ans");
        iatest::MakeExamFile(other, iatest::MakeHeader(2, 4), {"1", "2"}, {});
        second.nextFile = QString::fromStdString(other);
        Control<QPushButton>(second.w(), "Command2")->click();
        QVERIFY(second.messages.isEmpty());
        second.nextFile = QString::fromStdString(path);
        Control<QPushButton>(second.w(), "Command2")->click();
        QCOMPARE(second.messages,
                 QStringList{"เปิดไฟล์ " + QString::fromStdString(path) + "  ไม่ได้\n" +
                             QString::fromStdString(OpenElsewhereMessage(path))});
        QCOMPARE(QString::fromStdString(second.w().session().fileName()),
                 QString::fromStdString(other));
        QCOMPARE(second.w().windowTitle(), QString("other.ans - โปรแกรมวิเคราะห์ข้อสอบ"));
        // Once the first window lets go (another file opened), it opens.
        const std::string third = first.dir().file("third.ans");
        iatest::MakeExamFile(third, iatest::MakeHeader(2, 4), {"1", "2"}, {});
        first.nextFile = QString::fromStdString(third);
        Control<QPushButton>(first.w(), "Command2")->click();
        QVERIFY(first.messages.isEmpty());
        second.messages.clear();
        Control<QPushButton>(second.w(), "Command2")->click();
        QVERIFY(second.messages.isEmpty());
        QCOMPARE(QString::fromStdString(second.w().session().fileName()),
                 QString::fromStdString(path));
    }

  private:
    int busyWait_ = 3000;
};

QTEST_MAIN(FileHeldTest)
#include "qtest_FileHeld.moc"
