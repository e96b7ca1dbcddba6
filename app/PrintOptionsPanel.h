// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The print options over the report: every page, odd pages, even pages or a
// range, the page count, and OK (print) or cancel.

#include <QFrame>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ia {

class Placer;
class Prompts;
struct PrintTargets;
class ExamSession;
struct PrintJob;

class PrintOptionsPanel : public QFrame {
    Q_OBJECT
  public:
    // printButton: the report panel's "พิมพ์", off while the options show;
    // report: the report text, out of reach of keys meanwhile; schoolName:
    // the field whose name heads the pages.
    PrintOptionsPanel(QWidget* reportPanel, Placer& placer, ExamSession& session,
                      PrintJob& printJob, Prompts& prompts, const PrintTargets& printTargets,
                      QPushButton* printButton, QWidget* report, QLineEdit* schoolName);
    ~PrintOptionsPanel() override;

    // Opens the options with every page chosen; the focus comes back to
    // where it was when they close.
    void open();
    // Page count shown by the options.
    int pageCount();
    // Confirms the options and prints.
    void onOkClicked();
    void onCancelClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void warn(const QString& text);

    ExamSession& session_;
    // The job of the last printout, kept for the next.
    PrintJob& printJob_;
    Prompts& prompts_;
    const PrintTargets& printTargets_;
    QPushButton* printButton_;
    QWidget* report_;
    QLineEdit* schoolName_;
    QRadioButton* allPages_;
    QRadioButton* oddPages_;
    QRadioButton* evenPages_;
    QRadioButton* pageRange_;
    QLineEdit* firstPage_;
    QLineEdit* lastPage_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QLabel* pageCount_;
    QPointer<QWidget> focusBefore_;
};

} // namespace ia
