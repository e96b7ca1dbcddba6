// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgressDialog.h"

#include "app/FTAData.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include <chrono>
#include <limits>

namespace ia {

ProgressDialog::ProgressDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("progressDialog");
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    // Nothing else of the program takes input while a job runs.
    setWindowModality(Qt::ApplicationModal);
    whatLabel = new QLabel(this);
    whatLabel->setObjectName("progressWhat");
    whatLabel->setMinimumWidth(320);
    bar = new QProgressBar(this);
    bar->setObjectName("progressBar");
    bar->setRange(0, 1000);
    bar->setTextVisible(true);
    cancelButton = new QPushButton("ยกเลิก", this);
    cancelButton->setObjectName("progressCancel");
    cancelButton->setDefault(true);
    connect(cancelButton, &QPushButton::clicked, this, &ProgressDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(whatLabel);
    layout->addWidget(bar);
    layout->addLayout(buttons);
}

void ProgressDialog::showState(const QString& what, long long done, long long total) {
    if (whatLabel->text() != what) whatLabel->setText(what);
    if (total <= 0) {
        bar->setRange(0, 0);
        return;
    }
    // The bar counts in thousandths: a million sheets fit no int range
    // of its own, and finer steps would not show.
    if (bar->maximum() != 1000) bar->setRange(0, 1000);
    const long long per = ShareDone(done, total, 1000);
    bar->setValue(static_cast<int>(per));
    bar->setFormat(QString("%1 %").arg(per / 10));
}

void ProgressDialog::reject() {
    cancelRequested_ = true;
    cancelButton->setEnabled(false);
    whatLabel->setText("กำลังยกเลิก…");
}

MillisecondClock SteadyClock() {
    return [] {
        return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                             std::chrono::steady_clock::now().time_since_epoch())
                                             .count());
    };
}

namespace {

// From the start of a job to its end, the teacher's clicks and keys reach
// nothing but the progress dialog, whether or not it has appeared yet.
class InputBlocker : public QObject {
  public:
    explicit InputBlocker(const QPointer<ProgressDialog>& dialog) : dialog_(dialog) {}

    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return !inDialog(watched);
        default:
            return false;
        }
    }

  private:
    bool inDialog(QObject* o) const {
        if (!dialog_) return false;
        if (o == static_cast<QObject*>(dialog_->windowHandle())) return true;
        auto* w = qobject_cast<QWidget*>(o);
        return w && (w == dialog_ || dialog_->isAncestorOf(w));
    }

    const QPointer<ProgressDialog>& dialog_;
};

} // namespace

WindowJobProgress::WindowJobProgress(QWidget* window, MillisecondClock clock)
    : window_(window), clock_(std::move(clock)), start_(clock_()),
      inputBlocker_(std::make_unique<InputBlocker>(dialog_)) {
    qApp->installEventFilter(inputBlocker_.get());
}

WindowJobProgress::~WindowJobProgress() {
    if (dialog_) {
        dialog_->hide();
        delete dialog_.data();
    }
    // What the window system queued while the job ran is taken now and
    // dropped; a quick job has nothing worth the trouble.
    if (clock_() - start_ >= kDropInputAfterMs)
        QApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    qApp->removeEventFilter(inputBlocker_.get());
}

bool WindowJobProgress::show() {
    const std::int64_t now = clock_();
    if (!dialog_) {
        if (now - start_ < kDialogDelayMs) return true;
        dialog_ = new ProgressDialog(window_);
        dialog_->showState(QString::fromStdString(what()), done(), total());
        dialog_->show();
        dialog_->raise();
        dialog_->activateWindow();
        lastEvents_ = std::numeric_limits<std::int64_t>::min() / 2;
    }
    if (now - lastEvents_ >= kEventIntervalMs) {
        lastEvents_ = now;
        dialog_->showState(QString::fromStdString(what()), done(), total());
        // Repaints, the dialog's button and nothing else: the window is
        // blocked by the modal dialog.
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    return !dialog_->cancelRequested();
}

} // namespace ia
