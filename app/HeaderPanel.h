// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The header panel: the exam file's name and header fields (subject code and
// name, term, year, items, choices, teacher), the OK button that makes a new
// file from them, and the message line. A field of an open file is written
// back to the file when the teacher leaves it.

#include "examfile/NewFileRules.h"

#include <QFrame>
#include <QVector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ia {

class Placer;
class Prompts;
class ExamSession;

// The header fields in the order of their object names "Text1(0)" .. "Text1(7)",
// which is the order of the session's HeaderField.
enum HeaderFieldIndex {
    kFileNameField = 0,
    kSubjectCodeField = 1,
    kSubjectNameField = 2,
    kTermField = 3,
    kYearField = 4,
    kItemsField = 5,
    kChoicesField = 6,
    kTeacherField = 7,
    kHeaderFieldCount = 8,
};

class HeaderPanel : public QFrame {
    Q_OBJECT
  public:
    HeaderPanel(QWidget* window, Placer& placer, ExamSession& session, Prompts& prompts);
    ~HeaderPanel() override;

    QLineEdit* field(int index) const { return fields_[index]; }
    QPushButton* okButton() const { return ok_; }
    HeaderTexts typedTexts() const;
    // Typed since the window came up (reset by the window when it does).
    bool headerChanged() const { return headerChanged_; }
    void setHeaderChanged(bool changed) { headerChanged_ = changed; }

    // Empty fields for a new exam file, the file name first.
    void clearForNewHeader();
    // The fields of the file in hand; the name and the number of items stay
    // as the file was made.
    void showFileHeader();
    // The message line, wrapped and grown to show it all.
    void showMessage(const QString& text);
    void clearMessage();
    // The write-back of a header field the teacher has left.
    void writeBackField(int index);

  signals:
    void okClicked();
    void newFileButtonWanted();
    void keyGridWanted();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void keepCaptionsOffFields();
    void onFieldKeyDown(int index, int key, Qt::KeyboardModifiers modifiers);
    void warn(const QString& text);

    Placer& placer_;
    ExamSession& session_;
    Prompts& prompts_;
    QLabel* fileNameCaption_;
    QLabel* firstRowCaption_;
    QLabel* secondRowCaption_;
    QVector<QLineEdit*> fields_;
    QLabel* message_;
    QPushButton* ok_;
    bool headerChanged_ = false;
};

} // namespace ia
