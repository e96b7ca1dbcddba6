// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window in a fresh working folder, its dialogs answered by the test.
// Header only: the QtTest programs include it, the GoogleTest program does
// not link QtTest.

#include "TestSupport.h"
#include "app/DataNavBar.h"
#include "app/FTAData.h"
#include "app/GraphPanel.h"
#include "app/ItemStatisticsPanel.h"
#include "app/Prompts.h"
#include "examfile/Engine.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace iatest {

// A control of the window by its object name, as the window names it.
template <class T = QWidget> T* Control(QWidget& window, const QString& name) {
    T* c = window.findChild<T*>(name);
    if (!c) qFatal("no control %s", qPrintable(name));
    return c;
}
// The header field "Text1(index)".
inline QLineEdit* HeaderFieldEdit(QWidget& window, int index) {
    return Control<QLineEdit>(window, QString("Text1(%1)").arg(index));
}

// Answers every question of the window as a test says, through functions a
// test may replace.
struct TestPrompts : ia::Prompts {
    std::function<QString()> onChooseOpenFile;
    std::function<bool(const QString&, const QString&)> onAskOkCancel;
    std::function<bool(const QString&, const QString&)> onAskYesNo;
    std::function<void(const QString&, const QString&)> onShowMessage;
    std::function<void(const QString&, const QString&)> onShowInformation;
    std::function<bool(const QString&, const QString&)> onAskGoOnAfterChecks;
    std::function<int(QDialog&)> onRunDialog = [](QDialog& d) { return d.exec(); };
    std::function<void(QDialog&)> onShowPreview = [](QDialog& d) { d.exec(); };
    // The progress of the window's long jobs; none given: nobody watches.
    std::function<std::unique_ptr<ia::Progress>()> onJobProgress;

    QString chooseOpenFile() override { return onChooseOpenFile(); }
    bool askOkCancel(const QString& title, const QString& text) override {
        return onAskOkCancel(title, text);
    }
    bool askYesNo(const QString& title, const QString& text) override {
        return onAskYesNo(title, text);
    }
    void showMessage(const QString& title, const QString& text) override {
        onShowMessage(title, text);
    }
    void showInformation(const QString& title, const QString& text) override {
        onShowInformation(title, text);
    }
    bool askGoOnAfterChecks(const QString& title, const QString& text) override {
        return onAskGoOnAfterChecks(title, text);
    }
    int runDialog(QDialog& dialog) override { return onRunDialog(dialog); }
    void showPreview(QDialog& preview) override { onShowPreview(preview); }
    std::unique_ptr<ia::Progress> jobProgress() override {
        return onJobProgress ? onJobProgress() : Prompts::jobProgress();
    }
};

class WindowFixture {
  public:
    WindowFixture() {
        oldCwd_ = std::filesystem::current_path().string();
        std::filesystem::current_path(dir_.path());
        window_ = std::make_unique<ia::FTAData>();
        prompts.onChooseOpenFile = [this] {
            ++dialogsShown;
            return nextFile;
        };
        prompts.onAskOkCancel = [this](const QString&, const QString& text) {
            questions << text;
            return answerOk;
        };
        prompts.onAskYesNo = [this](const QString&, const QString& text) {
            questions << text;
            return answerYes;
        };
        prompts.onAskGoOnAfterChecks = [this](const QString&, const QString& text) {
            checks << text;
            return answerGoOn;
        };
        prompts.onShowMessage = [this](const QString& title, const QString& text) {
            messageTitles << title;
            messages << text;
        };
        prompts.onShowInformation = [this](const QString& title, const QString& text) {
            messageTitles << title;
            messages << text;
            informations << text;
        };
        window_->setPrompts(prompts);
    }
    ~WindowFixture() {
        window_.reset();
        std::filesystem::current_path(oldCwd_);
    }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    ia::FTAData& w() { return *window_; }
    TempDir& dir() { return dir_; }
    QString path(const char* name) const { return QString::fromStdString(dir_.file(name)); }

    // Shows the window and waits until it is active (focus needs it).
    [[nodiscard]] bool showActive() {
        window_->resize(1000, 700);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        return QTest::qWaitForWindowActive(window_.get());
    }

    // Types a header into the fields and presses OK.
    void typeNewHeader(const QString& name, const QString& items, const QString& choices,
                       const QString& year = "2546") {
        auto& w = *window_;
        Control<QPushButton>(w, "Command1")->click();
        const QString texts[8] = {name, "ว101", "วิทยาศาสตร์", "1", year, items, choices, "ครูสมศรี"};
        for (int i = 0; i < 8; ++i)
            HeaderFieldEdit(w, i)->setText(texts[i]);
        Control<QPushButton>(w, "Command4")->click();
    }

    QWidget* focus() const { return QApplication::focusWidget(); }

    TestPrompts prompts;       // the window's questions, answered below
    QString nextFile;          // what the open dialog returns
    bool answerOk = true;      // answer to OK/Cancel questions
    bool answerYes = true;     // answer to Yes/No questions
    bool answerGoOn = true;    // analyse after the checks found something
    QStringList checks;        // what the checks before an analysis found
    int dialogsShown = 0;      // open dialogs shown
    QStringList questions;     // texts of the questions asked
    QStringList messages;      // texts of message boxes
    QStringList informations;  // those of them with the information icon
    QStringList messageTitles; // their titles

  private:
    TempDir dir_;
    std::string oldCwd_;
    std::unique_ptr<ia::FTAData> window_;
};

// The first column of the first row the query gives, as the file holds it:
// "<null>" for NULL, "<none>" when there is no row.
inline QString Stored(const std::string& path, const std::string& sql) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare(sql);
    if (!st.step()) return "<none>";
    const ia::Value v = st.column(0);
    return v.isNull() ? QString("<null>") : QString::fromStdString(v.text());
}

} // namespace iatest
