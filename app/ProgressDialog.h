// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's side of a long job: a small dialog that says what is being
// done, shows how far it has come and offers "ยกเลิก". The job runs on the
// window's thread (the exam file is touched by one thread at a time) and
// reports through WindowJobProgress, which keeps the window painted and the
// dialog answering between two steps. The dialog appears only once the job
// has lasted half a second; a quick job never flashes it.

#include "examfile/Progress.h"

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ia {

class ProgressDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ProgressDialog(QWidget* parent);

    // Shows the state of the job: what it does and how far (total 0: the
    // bar only moves to and fro).
    void showState(const QString& what, long long done, long long total);
    bool cancelRequested() const { return cancelRequested_; }

    QLabel* whatLabel;
    QProgressBar* bar;
    QPushButton* cancelButton;

  protected:
    // Escape and the close button cancel, as "ยกเลิก" does; the dialog
    // itself closes only when the job has stopped.
    void reject() override;

  private:
    bool cancelRequested_ = false;
};

// Milliseconds from some fixed moment; tests give their own clock.
using MillisecondClock = std::function<std::int64_t()>;
MillisecondClock SteadyClock();

// The progress of one job of the window, for the length of the job: create
// it right before the job and let it go right after. While it lives the
// window takes no input but the dialog's, once the dialog is up.
class WindowJobProgress : public Progress {
  public:
    // How long a job runs before the dialog appears.
    static constexpr std::int64_t kDialogDelayMs = 500;
    // How often events are let through while the dialog is up.
    static constexpr std::int64_t kEventIntervalMs = 40;
    // A job at least this long has its left-over input dropped as it ends,
    // so that a click made while it ran does not act after it.
    static constexpr std::int64_t kDropInputAfterMs = 100;

    explicit WindowJobProgress(QWidget* window, MillisecondClock clock = SteadyClock());
    ~WindowJobProgress() override;
    WindowJobProgress(const WindowJobProgress&) = delete;
    WindowJobProgress& operator=(const WindowJobProgress&) = delete;

    // The dialog once it has appeared, null before (and for a quick job).
    ProgressDialog* dialog() const { return dialog_; }

  protected:
    bool show() override;

  private:
    QPointer<QWidget> window_;
    MillisecondClock clock_;
    std::int64_t start_;
    std::int64_t lastEvents_ = 0;
    QPointer<ProgressDialog> dialog_;
    std::unique_ptr<QObject> inputBlocker_;
};

} // namespace ia
