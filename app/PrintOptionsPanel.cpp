// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PrintOptionsPanel.h"

#include "app/BusyCursor.h"
#include "app/PanelKit.h"
#include "app/PrintTargets.h"
#include "app/Prompts.h"
#include "report/OutputPath.h"
#include "report/PrintReport.h"
#include "report/ReportModel.h"
#include "session/PrintInputs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace ia {

PrintOptionsPanel::PrintOptionsPanel(QWidget* reportPanel, Placer& placer, ExamSession& session,
                                     PrintJob& printJob, Prompts& prompts,
                                     const PrintTargets& printTargets, QPushButton* printButton,
                                     QWidget* report, QLineEdit* schoolName)
    : QFrame(reportPanel), session_(session), printJob_(printJob), prompts_(prompts),
      printTargets_(printTargets), printButton_(printButton), report_(report),
      schoolName_(schoolName) {
    MakePanel(this, "Picture5", QColor(192, 192, 192));
    placer.place(this, 7230, 4890, 3690, 2175);
    allPages_ = new QRadioButton("พิมพ์ทุกหน้า", this);
    allPages_->setObjectName("Option1");
    placer.place(allPages_, 255, 90, 1485, 390);
    oddPages_ = new QRadioButton("พิมพ์หน้าคี่", this);
    oddPages_->setObjectName("Option2");
    placer.place(oddPages_, 270, 525, 1500, 330);
    evenPages_ = new QRadioButton("พิมพ์หน้าคู่", this);
    evenPages_->setObjectName("Option3");
    placer.place(evenPages_, 270, 900, 1425, 345);
    pageRange_ = new QRadioButton("พิมพ์ หน้า               ถึง", this);
    pageRange_->setObjectName("Option4");
    placer.place(pageRange_, 285, 1350, 2580, 345);
    allPages_->setChecked(true);
    firstPage_ = new QLineEdit(this);
    firstPage_->setObjectName("Text3");
    placer.place(firstPage_, 1545, 1350, 495, 360);
    lastPage_ = new QLineEdit(this);
    lastPage_->setObjectName("Text4");
    placer.place(lastPage_, 2775, 1335, 570, 375);
    ok_ = Button(this, "Command10", "ตกลง");
    Paint(ok_, QColor(255, 192, 192));
    placer.place(ok_, 2355, 195, 1020, 360);
    cancel_ = Button(this, "Command11", "ยกเลิก");
    Paint(cancel_, QColor(255, 128, 128));
    placer.place(cancel_, 2355, 690, 1035, 390);
    pageCount_ = Label(this, "Label7", "จำนวนหน้า");
    pageCount_->setAlignment(Qt::AlignCenter);
    Fill(pageCount_, QColor(255, 255, 0));
    placer.place(pageCount_, 330, 1770, 3015, 300);
    hide();

    connect(ok_, &QPushButton::clicked, this, &PrintOptionsPanel::onOkClicked);
    connect(cancel_, &QPushButton::clicked, this, &PrintOptionsPanel::onCancelClicked);
    // Choosing a range goes on to its first page.
    connect(pageRange_, &QRadioButton::clicked, this,
            [this] { firstPage_->setFocus(Qt::OtherFocusReason); });
    firstPage_->installEventFilter(this);
    lastPage_->installEventFilter(this);
}

PrintOptionsPanel::~PrintOptionsPanel() {
    firstPage_->removeEventFilter(this);
    lastPage_->removeEventFilter(this);
}

bool PrintOptionsPanel::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        // Enter goes on from the first page to the last, then to OK.
        const int key = static_cast<QKeyEvent*>(e)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && watched == firstPage_) lastPage_->setFocus(Qt::OtherFocusReason);
        if (enter && watched == lastPage_) ok_->setFocus(Qt::OtherFocusReason);
    }
    return QFrame::eventFilter(watched, e);
}

void PrintOptionsPanel::warn(const QString& text) {
    prompts_.showMessage(kWarningTitle, text);
}

void PrintOptionsPanel::open() {
    focusBefore_ = QApplication::focusWidget();
    firstPage_->clear();
    lastPage_->clear();
    show();
    raise();
    printButton_->setEnabled(false);
    allPages_->setChecked(true);
    pageCount_->setText("จำนวนหน้า  =  " + QString(" %1").arg(pageCount()));
    allPages_->setFocus(Qt::OtherFocusReason);
    // The report text lies partly under the options: no key reaches it.
    report_->setFocusPolicy(Qt::NoFocus);
}

int PrintOptionsPanel::pageCount() {
    return ReportPageCount(session_);
}

void PrintOptionsPanel::onOkClicked() {
    PageSelection selection = PageSelection::All;
    if (oddPages_->isChecked()) selection = PageSelection::Odd;
    if (evenPages_->isChecked()) selection = PageSelection::Even;
    if (pageRange_->isChecked()) selection = PageSelection::Range;
    const Outcome<PrintJob> job =
        PrintJobFor(selection, S(firstPage_->text()), S(lastPage_->text()));
    if (!job.ok()) {
        firstPage_->setFocus(Qt::OtherFocusReason);
        return;
    }
    Outcome<ReportPrintInput> input = ReportPrintInputFor(session_, job.value);
    if (!input.ok()) {
        warn(Q(input.error.message));
        if (pageRange_->isChecked()) firstPage_->setFocus(Qt::OtherFocusReason);
        return;
    }
    hide();
    report_->setFocusPolicy(Qt::StrongFocus);
    {
        BusyCursor busy;
        try {
            TestHeader header = session_.header();
            auto prn = printTargets_.printer(DerivedPath(session_.fileName(), "pdf"));
            PrintOutput(*prn, input.value.job, header, S(schoolName_->text()), input.value.data,
                        header.nChoice, header.nItem, *prompts_.jobProgress(),
                        input.value.outdatedNotice);
            TellPrinterNotice(*prn, prompts_);
        } catch (const std::exception& e) {
            warn(QString::fromUtf8(e.what()));
        }
    }
    printJob_ = input.value.job;
    printButton_->setEnabled(true);
    FocusIfPossible(focusBefore_ ? focusBefore_.data() : printButton_);
    focusBefore_ = nullptr;
}

void PrintOptionsPanel::onCancelClicked() {
    hide();
    printButton_->setEnabled(true);
    report_->setFocusPolicy(Qt::StrongFocus);
    QWidget* back = focusBefore_ ? focusBefore_.data() : printButton_;
    if (back->isVisible() && back->isEnabled()) back->setFocus(Qt::OtherFocusReason);
    focusBefore_ = nullptr;
}

} // namespace ia
