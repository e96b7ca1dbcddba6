// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Prompts.h"

#include "app/BusyCursor.h"
#include "app/ProgressDialog.h"
#include "app/ThaiDialogs.h"
#include "app/ThaiFileDialog.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

namespace ia {

QString BoxPrompts::chooseOpenFile() {
    // The import's sources are offered too: a teacher looks for a class's
    // table under เปิดไฟล์ and is pointed to นำเข้า.
    return ChooseFileToOpen(parent_, "เปิดไฟล์",
                            {kExamFileFilter, kImportSourceFilter, kAllFilesFilter});
}

bool BoxPrompts::askOkCancel(const QString& title, const QString& text) {
    ArrowCursor arrow;
    auto box = MakeQuestionBox(parent_, QMessageBox::Question, title, text,
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    return AskWithBox(*box) == QMessageBox::Ok;
}

bool BoxPrompts::askYesNo(const QString& title, const QString& text) {
    ArrowCursor arrow;
    auto box = MakeQuestionBox(parent_, QMessageBox::Question, title, text,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return AskWithBox(*box) == QMessageBox::Yes;
}

void BoxPrompts::showMessage(const QString& title, const QString& text) {
    ArrowCursor arrow;
    auto box = MakeQuestionBox(parent_, QMessageBox::Warning, title, text, QMessageBox::Ok,
                               QMessageBox::Ok);
    AskWithBox(*box);
}

void BoxPrompts::showInformation(const QString& title, const QString& text) {
    ArrowCursor arrow;
    auto box = MakeQuestionBox(parent_, QMessageBox::Information, title, text, QMessageBox::Ok,
                               QMessageBox::Ok);
    AskWithBox(*box);
}

// The findings are warnings about the data, the question comes second: the
// warning icon.
bool BoxPrompts::askGoOnAfterChecks(const QString& title, const QString& text) {
    ArrowCursor arrow;
    auto box = MakeQuestionBox(parent_, QMessageBox::Warning, title, text,
                               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    box->button(QMessageBox::Ok)->setText("วิเคราะห์ต่อ");
    return AskWithBox(*box) == QMessageBox::Ok;
}

int BoxPrompts::runDialog(QDialog& dialog) {
    ArrowCursor arrow;
    return dialog.exec();
}

void BoxPrompts::showPreview(QDialog& preview) {
    preview.exec();
}

std::unique_ptr<Progress> BoxPrompts::jobProgress() {
    return std::make_unique<WindowJobProgress>(parent_);
}

std::unique_ptr<Progress> Prompts::jobProgress() {
    struct Unwatched final : Progress {
        bool show() override { return true; }
    };
    return std::make_unique<Unwatched>();
}

} // namespace ia
