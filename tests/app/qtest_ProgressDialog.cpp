// SPDX-License-Identifier: GPL-3.0-or-later
// The progress dialog of a long job, driven by a clock the test turns: it
// appears only for a job that lasts longer than half a second, follows the
// real steps, blocks the window and stops the job on "ยกเลิก".

#include "app/ProgressDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <cstdint>

namespace {

class ProgressDialogTest : public QObject {
    Q_OBJECT

    QMainWindow window_;
    std::int64_t now_ = 1000;
    ia::MillisecondClock clock_ = [this] { return now_; };

    // A job of `steps` sheets whose step i happens at start + i × msPerStep.
    void runJob(ia::WindowJobProgress& progress, int steps, std::int64_t msPerStep) {
        progress.stage(ia::kReadingSheetsStage, steps);
        for (int i = 1; i <= steps; ++i) {
            now_ += msPerStep;
            progress.step(i);
        }
    }

  private slots:
    void initTestCase() {
        window_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window_));
    }

    void quickJobShowsNoDialog() {
        ia::WindowJobProgress progress(&window_, clock_);
        // 499 ms in all: one step short of the delay.
        runJob(progress, 499, 1);
        QCOMPARE(progress.dialog(), nullptr);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }

    void slowJobShowsTheDialogWithTheRealSteps() {
        ia::ProgressDialog* seen = nullptr;
        {
            ia::WindowJobProgress progress(&window_, clock_);
            runJob(progress, 4, 100);
            QCOMPARE(progress.dialog(), nullptr);
            now_ += 100; // 500 ms since the start
            progress.step(5);
            seen = progress.dialog();
            QVERIFY(seen);
            QVERIFY(seen->isVisible());
            QCOMPARE(seen->windowModality(), Qt::ApplicationModal);
            QCOMPARE(QApplication::activeModalWidget(), seen);
            QCOMPARE(seen->whatLabel->text(), QString::fromUtf8(ia::kReadingSheetsStage));
            QCOMPARE(seen->cancelButton->text(), QString("ยกเลิก"));
            // The bar follows the steps of the stage, whatever their number.
            progress.stage(ia::kStoringResultsStage, 2'000'000);
            now_ += 100;
            progress.step(500'000);
            QCOMPARE(seen->whatLabel->text(), QString::fromUtf8(ia::kStoringResultsStage));
            QCOMPARE(seen->bar->value(), 250);
            QCOMPARE(seen->bar->text(), QString("25 %"));
            // Between two event breaks the dialog is left alone.
            now_ += 1;
            progress.step(1'000'000);
            QCOMPARE(seen->bar->value(), 250);
            now_ += ia::WindowJobProgress::kEventIntervalMs;
            progress.step(1'000'000);
            QCOMPARE(seen->bar->value(), 500);
            // The window takes no input while the dialog is up.
            int clicks = 0;
            QPushButton button("วิเคราะห์ 25 %", &window_);
            button.show();
            connect(&button, &QPushButton::clicked, [&] { ++clicks; });
            button.setFocus();
            // As the window system delivers them, where modality applies.
            QWindow* handle = window_.windowHandle();
            QTest::mouseClick(handle, Qt::LeftButton, {},
                              button.mapTo(&window_, button.rect().center()));
            QTest::keyClick(handle, Qt::Key_Space);
            now_ += ia::WindowJobProgress::kEventIntervalMs;
            progress.step(1'000'001);
            QCOMPARE(clicks, 0);
        }
        // Gone with the job.
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        const auto dialogs = window_.findChildren<ia::ProgressDialog*>();
        QVERIFY(dialogs.isEmpty());
    }

    // A click or a key the window system hands over while a job runs, too
    // short for the dialog, acts neither during the job nor after it.
    void inputDuringAJobWithoutTheDialogIsDropped() {
        int clicks = 0;
        QPushButton button("วิเคราะห์ 25 %", &window_);
        button.show();
        connect(&button, &QPushButton::clicked, [&] { ++clicks; });
        button.setFocus();
        {
            ia::WindowJobProgress progress(&window_, clock_);
            runJob(progress, 1, 100);
            const QPointF centre = button.rect().center();
            for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(&button,
                                            new QMouseEvent(t, centre, centre, Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
            for (QEvent::Type t : {QEvent::KeyPress, QEvent::KeyRelease})
                QCoreApplication::postEvent(&button,
                                            new QKeyEvent(t, Qt::Key_Space, Qt::NoModifier, " "));
            runJob(progress, 2, 100);
            QCOMPARE(progress.dialog(), nullptr);
        }
        QCoreApplication::processEvents();
        QCOMPARE(clicks, 0);
        // Once the job is over, the window takes input again.
        QTest::keyClick(&button, Qt::Key_Space);
        QCOMPARE(clicks, 1);
    }

    // The bar counts in thousandths and names whole percents, rounded
    // down, from 0 to 100 whatever count a job reports.
    void barShowsTheShareDone() {
        struct Case {
            long long done, total;
            int value;
            const char* text;
        } cases[] = {
            {1, 3, 333, "33 %"},       {99, 100, 990, "99 %"}, {100, 100, 1000, "100 %"},
            {150, 100, 1000, "100 %"}, {-5, 100, 0, "0 %"},    {0, 7, 0, "0 %"},
        };
        ia::ProgressDialog dialog(&window_);
        for (const Case& c : cases) {
            dialog.showState("งาน", c.done, c.total);
            QCOMPARE(dialog.bar->maximum(), 1000);
            QCOMPARE(dialog.bar->value(), c.value);
            QCOMPARE(dialog.bar->text(), QString(c.text));
        }
        // A stage of unknown length: the bar only moves to and fro.
        dialog.showState("งาน", 3, 0);
        QCOMPARE(dialog.bar->maximum(), 0);
    }

    void cancelStopsTheJobAtItsNextStep() {
        ia::WindowJobProgress progress(&window_, clock_);
        runJob(progress, 6, 100);
        QVERIFY(progress.dialog());
        QTest::mouseClick(progress.dialog()->cancelButton, Qt::LeftButton);
        QVERIFY(progress.dialog()->cancelRequested());
        now_ += 1;
        QVERIFY_THROWS_EXCEPTION(ia::JobCancelled, progress.step(7));
    }

    void escapeCancelsToo() {
        ia::WindowJobProgress progress(&window_, clock_);
        runJob(progress, 6, 100);
        QVERIFY(progress.dialog());
        QTest::keyClick(progress.dialog(), Qt::Key_Escape);
        // The dialog stays until the job has stopped.
        QVERIFY(progress.dialog()->isVisible());
        QVERIFY_THROWS_EXCEPTION(ia::JobCancelled, progress.step(7));
    }
};

} // namespace

QTEST_MAIN(ProgressDialogTest)
#include "qtest_ProgressDialog.moc"
