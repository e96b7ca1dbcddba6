// SPDX-License-Identifier: GPL-3.0-or-later
// The window's long jobs cancelled through their progress: the exam file,
// the report and the PDF stay byte for byte as they were, and the window
// comes back as it was (captions, buttons, pointer).

#include "WindowFixture.h"
#include "app/ProgressDialog.h"
#include "report/PrinterPdf.h"

#include <QtTest>

using namespace ia;

namespace {

using iatest::Control;

std::vector<std::vector<std::string>> Sheets(int n) {
    std::vector<std::vector<std::string>> v;
    for (int i = 0; i < n; ++i) {
        std::string a;
        for (int k = 0; k < 8; ++k)
            a += char('1' + (i * (k + 2) / 3 + k) % 4);
        v.push_back(iatest::Sheet(std::to_string(i + 1), a));
    }
    return v;
}

} // namespace

class JobCancel : public QObject {
    Q_OBJECT

    void open(iatest::WindowFixture& f) {
        const QString path = f.path("m1.ans");
        iatest::MakeExamFile(path.toStdString(), iatest::MakeHeader(8, 4),
                             {"1", "2", "3", "4", "1", "2", "3", "4"}, Sheets(80));
        f.nextFile = path;
        Control<QPushButton>(f.w(), "Command2")->click();
        QVERIFY(f.w().views().sheets.isOpen());
    }
    static void cancelAt(iatest::WindowFixture& f, long long k) {
        f.prompts.onJobProgress = [k] { return std::make_unique<iatest::CancelAtStep>(k); };
    }

  private slots:
    // While checking the sheets before the analysis (1), while reading them
    // (2) and while storing the results (3).
    void cancelledAnalysisLeavesFileReportAndWindowAsTheyWere_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("step");
        QTest::newRow("25 checks") << 1 << 1;
        QTest::newRow("25 reading") << 1 << 2;
        QTest::newRow("25 storing") << 1 << 3;
        QTest::newRow("27 reading") << 2 << 2;
        QTest::newRow("27 storing") << 2 << 3;
    }
    void cancelledAnalysisLeavesFileReportAndWindowAsTheyWere() {
        QFETCH(int, kind);
        QFETCH(int, step);
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f);
        QPushButton* button = Control<QPushButton>(f.w(), kind == 1 ? "Command5" : "Command6");
        const QString caption = button->text();
        // A previous analysis, with its report, that the cancelled one must keep.
        Control<QPushButton>(f.w(), kind == 1 ? "Command6" : "Command5")->click();
        QVERIFY(Control<QFrame>(f.w(), "Picture3")->isVisible());
        Control<QPushButton>(f.w(), "Command8")->click();
        const std::string exam = f.dir().file("m1.ans");
        const std::string report = f.dir().file("m1.txt");
        const std::string examBefore = iatest::FileBytes(exam);
        const std::string reportBefore = iatest::FileBytes(report);
        QVERIFY(!reportBefore.empty());
        f.messages.clear();

        cancelAt(f, step);
        button->click();
        QCOMPARE(f.messages, QStringList{QString::fromUtf8(kJobCancelledText)});
        QVERIFY(iatest::FileBytes(exam) == examBefore);
        QVERIFY(iatest::FileBytes(report) == reportBefore);
        QCOMPARE(button->text(), caption);
        QVERIFY(button->isEnabled());
        QVERIFY(Control<QPushButton>(f.w(), "Command7")->isVisible());
        QVERIFY(!Control<QFrame>(f.w(), "Picture3")->isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // Not cancelled, the same button goes through.
        f.prompts.onJobProgress = nullptr;
        button->click();
        QVERIFY(Control<QFrame>(f.w(), "Picture3")->isVisible());
        QVERIFY(iatest::FileBytes(exam) != examBefore);
    }

    void cancelledRawPrintoutKeepsThePreviousPdf() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f);
        const std::string pdf = f.dir().file("raw.pdf");
        f.w().printTargets().openPrinter = [pdf](const std::string&) {
            return std::unique_ptr<Printer>(new PdfPrinter(pdf));
        };
        Control<QPushButton>(f.w(), "Command7")->click();
        const std::string before = iatest::FileBytes(pdf);
        QVERIFY(before.rfind("%PDF", 0) == 0);
        cancelAt(f, 2);
        Control<QPushButton>(f.w(), "Command7")->click();
        QCOMPARE(f.messages, QStringList{QString::fromUtf8(kJobCancelledText)});
        QVERIFY(iatest::FileBytes(pdf) == before);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // The teacher's window shows the progress dialog of its jobs.
    void theWindowsPromptsGiveTheProgressDialog() {
        QWidget parent;
        BoxPrompts prompts(&parent);
        const std::unique_ptr<Progress> progress = prompts.jobProgress();
        QVERIFY(dynamic_cast<WindowJobProgress*>(progress.get()));
    }
};

QTEST_MAIN(JobCancel)
#include "qtest_JobCancel.moc"
