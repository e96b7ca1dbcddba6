// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every standard question and message of the window goes through one small
// interface: the window shows boxes, tests answer in their place and never
// block.

#include "examfile/Progress.h"

#include <QString>

#include <memory>

class QDialog;
class QWidget;

namespace ia {

class Prompts {
  public:
    virtual ~Prompts() = default;
    // The chosen exam file, or the empty text when the teacher cancelled.
    virtual QString chooseOpenFile() = 0;
    // true for OK; Cancel is the answer Enter and Escape give.
    virtual bool askOkCancel(const QString& title, const QString& text) = 0;
    // true for Yes; No is the answer Enter and Escape give.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // A refusal or a failure: the warning icon.
    virtual void showMessage(const QString& title, const QString& text) = 0;
    // Something done as asked ("ส่งออกแล้ว"): the information icon.
    virtual void showInformation(const QString& title, const QString& text) = 0;
    // The findings of the checks before an analysis; true to analyse anyway.
    virtual bool askGoOnAfterChecks(const QString& title, const QString& text) = 0;
    // Runs the import and export dialogs; QDialog::Accepted when they wrote.
    virtual int runDialog(QDialog& dialog) = 0;
    // Shows the print preview.
    virtual void showPreview(QDialog& preview) = 0;
    // The progress of a long job, for as long as the job runs: the window
    // shows its progress dialog; by default nobody watches and nothing
    // cancels (tests give their own).
    virtual std::unique_ptr<Progress> jobProgress();
};

// The boxes and dialogs the teacher sees, over `parent`.
class BoxPrompts : public Prompts {
  public:
    explicit BoxPrompts(QWidget* parent) : parent_(parent) {}
    QString chooseOpenFile() override;
    bool askOkCancel(const QString& title, const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    void showMessage(const QString& title, const QString& text) override;
    void showInformation(const QString& title, const QString& text) override;
    bool askGoOnAfterChecks(const QString& title, const QString& text) override;
    int runDialog(QDialog& dialog) override;
    void showPreview(QDialog& preview) override;
    std::unique_ptr<Progress> jobProgress() override;

  private:
    QWidget* parent_;
};

// What the panels hold: passes every prompt on to the implementation in
// force, which tests may replace after the window is built.
class PromptsInForce : public Prompts {
  public:
    explicit PromptsInForce(Prompts& target) : target_(&target) {}
    void setTarget(Prompts& target) { target_ = &target; }
    QString chooseOpenFile() override { return target_->chooseOpenFile(); }
    bool askOkCancel(const QString& title, const QString& text) override {
        return target_->askOkCancel(title, text);
    }
    bool askYesNo(const QString& title, const QString& text) override {
        return target_->askYesNo(title, text);
    }
    void showMessage(const QString& title, const QString& text) override {
        target_->showMessage(title, text);
    }
    void showInformation(const QString& title, const QString& text) override {
        target_->showInformation(title, text);
    }
    bool askGoOnAfterChecks(const QString& title, const QString& text) override {
        return target_->askGoOnAfterChecks(title, text);
    }
    int runDialog(QDialog& dialog) override { return target_->runDialog(dialog); }
    void showPreview(QDialog& preview) override { target_->showPreview(preview); }
    std::unique_ptr<Progress> jobProgress() override { return target_->jobProgress(); }

  private:
    Prompts* target_;
};

} // namespace ia
