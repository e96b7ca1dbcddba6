// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message boxes the window asks and tells with, and Thai for the few
// texts of Qt's own dialogs that the teacher meets (Qt ships no Thai
// translation).

#include <QMessageBox>
#include <QString>
#include <QTranslator>

#include <memory>

namespace ia {

// A question box over `parent`: modal to it, with Thai buttons, and `safe`
// as both the default (Enter) and the Escape button, so that a stray key
// never destroys anything. An empty title becomes the program's name.
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, QMessageBox::Icon icon,
                                             const QString& title, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton safe);

// Shows the box raised and active above its window and waits for the answer.
QMessageBox::StandardButton AskWithBox(QMessageBox& box);

// The Thai caption of a standard button ("ตกลง", "ยกเลิก", "ใช่", "ไม่ใช่"…).
QString ThaiButtonText(QMessageBox::StandardButton button);

// Thai for the texts of Qt's message boxes, file dialog and print preview,
// by Qt's own translation contexts. Installed once at start-up.
class ThaiQtTexts : public QTranslator {
  public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override;
};

} // namespace ia
