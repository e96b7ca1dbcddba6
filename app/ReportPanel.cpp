// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReportPanel.h"

#include "app/BusyCursor.h"
#include "app/PrintOptionsPanel.h"
#include "app/PrintTargets.h"
#include "app/Prompts.h"
#include "app/ReportView.h"
#include "examfile/Cp874.h"
#include "examfile/SchoolName.h"
#include "report/GraphReport.h"
#include "report/OutputPath.h"
#include "report/PrintReport.h"
#include "report/PrinterQt.h"
#include "report/ReportModel.h"
#include "session/PrintInputs.h"

#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <filesystem>
#include <string_view>

namespace ia {

namespace {

// The report file as the teacher reads it: code page 874 back to text.
QString ReadReportFile(const std::string& path) {
    QFile f(Q(path));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    QString text =
        Q(FromCp874(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
    // The file's lines end in CR LF; the view would show every CR as a line.
    text.replace("\r\n", "\n");
    return text;
}

// The report as the view shows it: laid out at the printout's columns; the
// file's own text when the results cannot be read back.
QString ScreenReport(ExamSession& session, const std::string& schoolName,
                     const std::string& reportPath) {
    Outcome<ReportData> data = session.reportData();
    if (!data.ok()) return ReadReportFile(reportPath);
    try {
        return ScreenReportText(LayOutReport(data.value, session.header(), schoolName));
    } catch (const std::exception&) {
        return ReadReportFile(reportPath);
    }
}

} // namespace

ReportPanel::ReportPanel(QWidget* window, Placer& placer, ExamSession& session, PrintJob& printJob,
                         Prompts& prompts, const PrintTargets& printTargets)
    : QFrame(window), placer_(placer), session_(session), printJob_(printJob), prompts_(prompts),
      printTargets_(printTargets) {
    MakePanel(this, "Picture3", QColor(192, 192, 192));
    report_ = new ReportView(this);
    report_->setObjectName("RichTextBox1");
    placer.place(report_, 585, 90, 10665, 7080);
    schoolCaption_ = Label(this, "Label6", "สถานศึกษา");
    placer.place(schoolCaption_, 570, 7290, 1230, 255);
    GrowToText(schoolCaption_);
    // What the file beside the exam files holds once it is read; until
    // then, what a new file is made with.
    school_ = new QLineEdit(kSchoolNameWhenCreated, this);
    school_->setObjectName("Text2");
    placer.place(school_, 1665, 7260, 3870, 405);
    if (const int captionEnd =
            schoolCaption_->x() +
            schoolCaption_->fontMetrics().horizontalAdvance(schoolCaption_->text());
        school_->x() < captionEnd + kCaptionGap) {
        const QRect g = school_->geometry();
        school_->setGeometry(captionEnd + kCaptionGap, g.y(),
                             g.right() + 1 - captionEnd - kCaptionGap, g.height());
    }
    schoolCaption_->resize(school_->x() - kCaptionGap - schoolCaption_->x(),
                           schoolCaption_->height());
    print_ = Button(this, "Command9", "พิมพ์");
    Paint(print_, QColor(0, 255, 0));
    placer.place(print_, 8580, 7185, 1215, 495);
    close_ = Button(this, "Command8", "ปิด");
    Paint(close_, QColor(255, 128, 128));
    placer.place(close_, 10050, 7185, 1215, 495);
    // Teachers look at the pages before they spend paper.
    preview_ = Button(this, "cmdPreview", "ดูตัวอย่าง");
    Paint(preview_, QColor(0, 192, 192));
    preview_->setFont(UiFont(9.75));
    placer.place(preview_, 6585, 7185, 960, 495);
    printGraphs_ = Button(this, "cmdPrintGraphs", "พิมพ์กราฟ");
    Paint(printGraphs_, QColor(192, 255, 192));
    printGraphs_->setFont(UiFont(9.75));
    placer.place(printGraphs_, 7590, 7185, 960, 495);
    outdatedNotice_ = Label(this, "lblReportOutdated",
                            "เฉลยถูกแก้หลังการวิเคราะห์ครั้งล่าสุด รายงานนี้และผลที่บันทึกไว้ยังใช้เฉลยเดิม");
    outdatedNotice_->setWordWrap(true);
    Fill(outdatedNotice_, QColor(255, 255, 128));
    placer.place(outdatedNotice_, 585, 90, 8700, 405);
    outdatedNotice_->hide();
    rerun_ = Button(this, "cmdReportRerun", "วิเคราะห์ใหม่");
    placer.place(rerun_, 9390, 90, 1860, 405);
    rerun_->hide();
    export_ = Button(this, "cmdExportReport", "ส่งออก");
    export_->setToolTip("ส่งออกคะแนน คำตอบ และผลวิเคราะห์เป็น .xlsx หรือ .csv");
    Paint(export_, QColor(255, 255, 160));
    export_->setFont(UiFont(9.75));
    placer.place(export_, 5595, 7185, 960, 495);

    options_ = new PrintOptionsPanel(this, placer, session, printJob, prompts, printTargets, print_,
                                     report_, school_);
    hide();

    connect(print_, &QPushButton::clicked, options_, &PrintOptionsPanel::open);
    connect(close_, &QPushButton::clicked, this, &ReportPanel::closeClicked);
    connect(preview_, &QPushButton::clicked, this, &ReportPanel::onPreviewClicked);
    connect(printGraphs_, &QPushButton::clicked, this, &ReportPanel::onPrintGraphsClicked);
    connect(rerun_, &QPushButton::clicked, this, &ReportPanel::rerunClicked);
    connect(export_, &QPushButton::clicked, this, &ReportPanel::exportClicked);
    school_->installEventFilter(this);
    // The heading on screen follows the name as it is typed (the printout
    // takes it from the field too); a burst of keys lays the report out once.
    relayOut_ = new QTimer(this);
    relayOut_->setSingleShot(true);
    relayOut_->setInterval(200);
    connect(relayOut_, &QTimer::timeout, this, &ReportPanel::layOutReport);
    connect(school_, &QLineEdit::textChanged, this, [this] {
        if (!reportPath_.empty()) relayOut_->start();
    });

    // The panel's keys follow the screen from left to right.
    QWidget::setTabOrder(rerun_, report_);
    QWidget::setTabOrder(report_, school_);
    QWidget::setTabOrder(school_, export_);
    QWidget::setTabOrder(export_, preview_);
    QWidget::setTabOrder(preview_, printGraphs_);
    QWidget::setTabOrder(printGraphs_, print_);
    QWidget::setTabOrder(print_, close_);
    // Ctrl+Home and Ctrl+End reach the top and the end of the report.
    report_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

ReportPanel::~ReportPanel() {
    school_->removeEventFilter(this);
}

void ReportPanel::addToGrowth() {
    using A = GrowingLayout::Anchor;
    GrowingLayout& layout = placer_.layout();
    layout.add(report_, A::GrowWidth | A::GrowHeight);
    for (QWidget* w : std::initializer_list<QWidget*>{schoolCaption_, school_})
        layout.add(w, A::MoveDown);
    for (QWidget* w :
         std::initializer_list<QWidget*>{print_, close_, preview_, printGraphs_, export_, options_})
        layout.add(w, A::MoveDown | A::MoveRight);
}

void ReportPanel::placeOverWindow() {
    using A = GrowingLayout::Anchor;
    GrowingLayout& layout = placer_.layout();
    placer_.place(this, 105, 510, 11805, 7785);
    layout.add(this, A::GrowWidth | A::GrowHeight);
    raise();
}

bool ReportPanel::eventFilter(QObject* watched, QEvent* e) {
    if (watched == school_ && e->type() == QEvent::FocusOut && FocusLostInWindow(e)) {
        writeSchoolName();
        if (relayOut_->isActive()) {
            relayOut_->stop();
            layOutReport();
        }
    } else if (watched == school_ && e->type() == QEvent::FocusIn && FocusLostInWindow(e))
        savedSchoolName_ = S(school_->text());
    return QFrame::eventFilter(watched, e);
}

std::string ReportPanel::schoolName() const {
    return S(school_->text());
}

void ReportPanel::warn(const QString& text) {
    prompts_.showMessage(kWarningTitle, text);
}

void ReportPanel::readSchoolName() {
    const std::string path = WorkingDir() + "/" + kSchoolNameFile;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        if (auto name = ReadSchoolNameFile(path)) {
            savedSchoolName_ = *name;
            school_->setText(Q(savedSchoolName_));
        }
        return;
    }
    if (WriteSchoolNameFile(path, kSchoolNameWhenCreated) != SchoolNameWrite::Written) {
        warn("สร้างไฟล์ชื่อสถานศึกษา " + Q(path) + "  ไม่ได้");
        return;
    }
    savedSchoolName_ = kSchoolNameWhenCreated;
    school_->setText(Q(savedSchoolName_));
}

void ReportPanel::writeSchoolName() {
    const std::string text = S(school_->text());
    if (text == savedSchoolName_) return;
    const std::string path = WorkingDir() + "/" + kSchoolNameFile;
    switch (WriteSchoolNameFile(path, text)) {
    case SchoolNameWrite::Written:
        break;
    case SchoolNameWrite::RefusedExamFile:
        warn("ไม่บันทึกชื่อสถานศึกษา เพราะ " + Q(path) + "  เป็นไฟล์ข้อมูลข้อสอบ");
        break;
    case SchoolNameWrite::Failed:
        warn("บันทึกชื่อสถานศึกษาลงไฟล์ " + Q(path) + "  ไม่ได้");
        break;
    }
}

void ReportPanel::showAnalysedReport(const std::string& reportPath) {
    reportPath_ = reportPath;
    relayOut_->stop();
    layOutReport();
}

void ReportPanel::layOutReport() {
    if (reportPath_.empty()) return;
    // The place read keeps, whatever the heading's length now.
    const int scrolled = report_->verticalScrollBar()->value();
    report_->setPlainText(ScreenReport(session_, schoolName(), reportPath_));
    report_->verticalScrollBar()->setValue(scrolled);
}

void ReportPanel::showOutdated(ResultsCurrency currency, std::optional<Technique> technique) {
    const std::string notice = ResultsCurrencyNotice(currency);
    const bool outdated = !notice.empty();
    outdatedNotice_->setText(QString::fromStdString(notice));
    outdatedNotice_->setVisible(outdated);
    rerun_->setVisible(outdated && technique.has_value());
    rerun_->setText(technique == Technique::FanTable27 ? "วิเคราะห์ 27 % ใหม่" : "วิเคราะห์ 25 % ใหม่");
    // The notice takes the top of the report's place while it is shown.
    if (outdated)
        placer_.place(report_, 585, 540, 10665, 6630);
    else
        placer_.place(report_, 585, 90, 10665, 7080);
}

void ReportPanel::closePanel() {
    print_->setEnabled(true);
    report_->setFocusPolicy(Qt::StrongFocus);
    hide();
    options_->hide();
}

bool ReportPanel::closeOptionsOrPanel() {
    if (!options_->isHidden()) {
        options_->onCancelClicked();
        return true;
    }
    if (!isHidden()) {
        emit closeClicked();
        return true;
    }
    return false;
}

void ReportPanel::onPreviewClicked() {
    // All pages, whatever the print options say; the job state stays.
    PrintJob all = printJob_;
    all.PrintMode = static_cast<int16_t>(PageSelection::All);
    Outcome<ReportData> read = session_.reportData();
    if (!read.ok()) {
        warn(Q(read.error.message));
        return;
    }
    const ReportData& data = read.value;
    const std::string notice = session_.resultsNotice();
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* p) {
        TestHeader header = session_.header();
        auto prn = QtPrinter::ForQPrinter(*p);
        PrintJob job = all;
        PrintOutput(*prn, job, header, schoolName(), data, header.nChoice, header.nItem,
                    NoProgress(), notice);
    });
    prompts_.showPreview(dialog);
}

bool ReportPanel::loadGraphInput(GraphReportInput& in) {
    Outcome<GraphReportInput> read = GraphInputFor(session_, schoolName(), *prompts_.jobProgress());
    if (!read.ok()) {
        warn(Q(read.error.message));
        return false;
    }
    in = std::move(read.value);
    return true;
}

void ReportPanel::onPrintGraphsClicked() {
    GraphReportInput in;
    if (!loadGraphInput(in)) return;
    BusyCursor busy;
    const std::string pdf = DerivedPath(session_.fileName(), "graphs.pdf");
    std::string notice;
    std::unique_ptr<GraphPages> pages = printTargets_.graphPages(pdf, notice);
    try {
        DrawGraphReport(*pages, in, *prompts_.jobProgress());
    } catch (const JobCancelled& e) {
        warn(QString::fromUtf8(e.what()));
        return;
    }
    if (!pages->Finish()) {
        warn(notice.empty() ? QString("พิมพ์กราฟไม่ได้ เครื่องพิมพ์ไม่พร้อมใช้งาน")
                            : Q("พิมพ์ไม่ได้ ไม่สามารถบันทึกไฟล์ PDF : " + pdf));
        return;
    }
    if (!notice.empty()) warn(Q(notice));
}

} // namespace ia
