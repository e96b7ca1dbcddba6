// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FTAData.h"

#include "app/BusyCursor.h"
#include "app/DataNavBar.h"
#include "app/GraphPanel.h"
#include "app/GridPair.h"
#include "app/GroupComparisonPanel.h"
#include "app/GroupsBar.h"
#include "app/ItemStatisticsPanel.h"
#include "app/PrintOptionsPanel.h"
#include "app/RecentFiles.h"
#include "app/ReportView.h"
#include "examfile/NewFileRules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>

namespace ia {

FTAData::FTAData(QWidget* parent) : QWidget(parent) {
    SubstituteThaiFont();
    setObjectName("FTAData");
    setWindowTitle(kProgramTitle);
    setFont(UiFont(12));
    buildPanels();
    wirePanels();
    setUpGrowth();
    // An exam file dropped on the window opens as if chosen.
    setAcceptDrops(true);
}

FTAData::~FTAData() {
    // The children die after this object's members: their last focus and
    // key events must not reach the handlers any more.
    const QList<QObject*> watchers{this,      header_, sheets_,
                                   analysis_, report_, report_->printOptions()};
    for (QObject* child : findChildren<QObject*>())
        for (QObject* watcher : watchers) {
            child->removeEventFilter(watcher);
            disconnect(child, nullptr, watcher, nullptr);
        }
    // The grids' models read the views: they let go before the views go.
    delete sheets_;
    sheets_ = nullptr;
}

void FTAData::buildPanels() {
    // Made in the order the keys reach them; the report panel after the
    // controls it covers, the item statistics and the charts over it.
    title_ = Label(this, "Label4", "โปรแกรมวิเคราะห์ข้อสอบ เทคนิค 25% และ 27%");
    title_->setAlignment(Qt::AlignCenter);
    // The headline has room for its full size.
    title_->setFont(UiFont(18 / kThaiScale, true));
    Fill(title_, Qt::blue, QPalette::WindowText);
    placer_.place(title_, 120, 15, 11790, 495);
    commands_ = new CommandPanel(this, placer_);
    header_ = new HeaderPanel(this, placer_, session_, prompts_);
    sheets_ = new SheetEditor(this, placer_, session_, prompts_, printTargets_);
    analysis_ = new AnalysisBar(this, placer_, session_, prompts_);
    groupsBar_ = new GroupsBar(this, placer_, prompts_);
    report_ = new ReportPanel(this, placer_, session_, printJob_, prompts_, printTargets_);
    itemStats_ = new ItemStatisticsPanel(this);
    itemStats_->hide();
    // Over everything when shown (its place grows with the window).
    graphs_ = new GraphPanel(this);
    graphs_->setFont(UiFont(9.75));
    graphs_->hide();
    groups_ = new GroupComparisonPanel(this);
    groups_->hide();
    analysis_->connectPanels(*header_, *sheets_, *report_, *itemStats_, *graphs_);
    // The grids let go of the views before the session closes them.
    session_.beforeViewsClosed = [this] { sheets_->unbindGrids(); };
    session_.keepEditHistory();
    session_.setAnalysisHost(analysis_);
}

void FTAData::wirePanels() {
    connect(commands_, &CommandPanel::newFileClicked, this, &FTAData::onNewFileClicked);
    connect(commands_, &CommandPanel::openClicked, this, &FTAData::onOpenFileClicked);
    connect(commands_, &CommandPanel::quitClicked, this, &FTAData::onQuitClicked);
    connect(commands_, &CommandPanel::recentFileChosen, this, [this](const QString& path) {
        // A file moved or deleted since leaves the list once it has
        // been missed.
        if (!OpenExamFile(path) && !QFileInfo::exists(path)) UserSettings::removeRecentFile(path);
    });
    connect(header_, &HeaderPanel::okClicked, this, &FTAData::onCreateFileClicked);
    connect(header_, &HeaderPanel::newFileButtonWanted, this,
            [this] { FocusIfPossible(commands_->newFileButton()); });
    connect(header_, &HeaderPanel::keyGridWanted, this,
            [this] { FocusIfPossible(sheets_->keyGrid()); });
    connect(sheets_, &SheetEditor::subjectFieldWanted, this,
            [this] { FocusIfPossible(header_->field(kSubjectCodeField)); });
    connect(sheets_, &SheetEditor::fileReplaced, this, &FTAData::offerToReopen);
    connect(sheets_, &SheetEditor::keyMayHaveChanged, analysis_, &AnalysisBar::showOutdatedNotices);
    connect(sheets_, &SheetEditor::rawPrintClicked, this,
            [this] { sheets_->onRawPrintClicked(report_->schoolName()); });
    connect(sheets_, &SheetEditor::editPendingChanged, this, &FTAData::updateTitle);
    connect(sheets_, &SheetEditor::fileContentReread, header_, &HeaderPanel::showFileHeader);
    connect(analysis_, &AnalysisBar::reportReady, this, &FTAData::showReportPanel);
    connect(report_, &ReportPanel::closeClicked, this, &FTAData::closeReportPanel);
    connect(groupsBar_, &GroupsBar::compareClicked, this, &FTAData::showGroupComparison);
    connect(groupsBar_, &GroupsBar::pooled, this, [this](const QString& path) {
        if (OpenExamFile(path)) showGroupComparison();
    });
    connect(groups_, &GroupComparisonPanel::closeRequested, groups_, &QWidget::hide);
    connect(report_, &ReportPanel::exportClicked, sheets_, &SheetEditor::onExportClicked);
    // Enter on a focused button presses it, as everywhere on the desktop
    // this layout comes from.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->installEventFilter(this);
}

void FTAData::setUpGrowth() {
    // The places were drawn for a window just wider than the report panel
    // and just taller than the bars (the item statistics bar lowest); a
    // larger window gives its room to the grids and the report, and the bars
    // keep to the grid's bottom edge.
    layout_.setDesignSize(QSize(Twips(11910 + 60), Twips(8670 + 60)));
    // A screen lower than that (a small notebook at twice the scale) gets a
    // shorter answer grid, still a header and four sheets high.
    layout_.setSpareHeight(Twips(1900));
    setMinimumSize(layout_.minimumSize());
    using A = GrowingLayout::Anchor;
    layout_.add(title_, A::GrowWidth);
    sheets_->addToGrowth();
    analysis_->addToGrowth();
    groupsBar_->addToGrowth(placer_);
    // The item statistics and the charts cover the window below the title,
    // the bars included, however large the window has been made.
    for (QWidget* w : std::initializer_list<QWidget*>{itemStats_, graphs_, groups_}) {
        layout_.place(w, QRect(Twips(105), Twips(510), Twips(11805), Twips(8130)));
        layout_.add(w, A::GrowWidth | A::GrowHeight);
    }
    report_->addToGrowth();
    sheets_->addGridPair();
    commands_->addRecentFiles();
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void FTAData::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // Qt activates the window again after every dialog and message box; the
    // start-up steps must not run then (they would forget the typed header
    // and pull the focus back to the new-file button).
    if (!activated_) {
        activated_ = true;
        activate();
    }
}

void FTAData::activate() {
    header_->setHeaderChanged(false);
    report_->placeOverWindow();
    graphs_->raise();
    groups_->raise();
    report_->readSchoolName();
    commands_->newFileButton()->setFocus(Qt::OtherFocusReason);
}

void FTAData::closeEvent(QCloseEvent* e) {
    // A field left by closing the window still counts as left.
    QWidget* f = focusWidget();
    for (int i = 0; i < kHeaderFieldCount; ++i)
        if (f == header_->field(i)) header_->writeBackField(i);
    if (f == report_->schoolField()) report_->writeSchoolName();
    if (session_.views().sheets.isOpen()) sheets_->keepOrDropHalfTypedSheet();
    if (session_.views().sheets.isOpen() && !sheets_->storeOrDiscardPendingAnswers()) {
        e->ignore();
        return;
    }
    Hourglass::clearAll();
    e->accept();
}

void FTAData::onQuitClicked() {
    Hourglass::clearAll();
    close();
}

void FTAData::warn(const QString& text) {
    prompts_.showMessage(kWarningTitle, text);
}

bool FTAData::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (auto* b = qobject_cast<QPushButton*>(watched);
            b && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            k->modifiers() == Qt::NoModifier) {
            b->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void FTAData::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layout_.apply(size());
}

void FTAData::updateTitle() {
    QString title = kProgramTitle;
    if (session_.isOpen() && session_.views().sheets.isOpen()) {
        const QString name = QFileInfo(Q(session_.fileName())).fileName();
        const bool pending = gridPair() && gridPair()->editPending();
        title = (pending ? "*" : "") + name + " - " + title;
    }
    setWindowTitle(title);
}

void FTAData::showGroupComparison() {
    if (!session_.isOpen() || !session_.views().sheets.isOpen()) {
        warn("กรุณาเปิดไฟล์ข้อมูลที่รวมหลายห้องแล้วก่อน (หรือกด รวมไฟล์หลายห้อง)");
        return;
    }
    sheets_->commitPendingEdits();
    BusyCursor busy;
    const std::string refusal = groups_->showFile(session_.fileName());
    if (!refusal.empty()) {
        warn(Q(refusal));
        return;
    }
    groups_->show();
    groups_->raise();
    groups_->itemTable->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------
// New file and open file

void FTAData::setFileControlsVisible(bool visible) {
    sheets_->setFileControlsVisible(visible);
    analysis_->setVisible(visible);
}

void FTAData::onNewFileClicked() {
    if (session_.views().sheets.isOpen()) sheets_->keepOrDropHalfTypedSheet();
    graphs_->hide();
    // The grids are hidden, not unbound, while the new header is typed.
    session_.putAside();
    setFileControlsVisible(false);
    itemStats_->hide();
    groups_->hide();
    header_->clearForNewHeader();
    header_->field(kFileNameField)->setFocus(Qt::OtherFocusReason);
}

void FTAData::onCreateFileClicked() {
    header_->clearMessage();
    QLineEdit* fileName = header_->field(kFileNameField);
    NewHeaderCheck check = CheckNewHeader(header_->typedTexts());
    if (!check.ok) {
        header_->showMessage(Q(check.message));
        header_->field(check.focus)->setFocus(Qt::OtherFocusReason);
        return;
    }
    const std::string path = ExamPathIn(check.fileName, WorkingDir());
    Outcome<CreatedFile> made = session_.create(path, check.header, false);
    if (made.error.kind == SessionErrorKind::AlreadyExists) {
        if (!prompts_.askOkCancel(kWarningTitle, Q(made.error.message) + " จะเขียนทับหรือไม่")) {
            fileName->setFocus(Qt::OtherFocusReason);
            return;
        }
        made = session_.create(path, check.header, true);
    }
    switch (made.error.kind) {
    case SessionErrorKind::None:
        break;
    case SessionErrorKind::BackupRefused:
        warn(Q(made.error.message) + "\nกรุณาปิดโปรแกรมอื่นที่ใช้ไฟล์นี้ หรือเลือกชื่อไฟล์ใหม่");
        fileName->setFocus(Qt::OtherFocusReason);
        return;
    case SessionErrorKind::FolderInTheWay:
        fileName->setFocus(Qt::OtherFocusReason);
        return;
    default:
        // Said where the typed header is checked, beside the name to change.
        header_->showMessage(Q(made.error.message));
        fileName->setFocus(Qt::OtherFocusReason);
        return;
    }

    header_->okButton()->hide();
    {
        BusyCursor busy;
        if (!openAndShow(path)) {
            header_->okButton()->show();
            fileName->setFocus(Qt::OtherFocusReason);
            return;
        }
        // The teacher types the key first.
        sheets_->keyGrid()->setFocus(Qt::OtherFocusReason);
        fileName->setEnabled(false);
    }
    if (!made.value.backupNotice.empty()) header_->showMessage(Q(made.value.backupNotice));
}

void FTAData::onOpenFileClicked() {
    header_->okButton()->hide();
    header_->clearMessage();
    if (session_.views().sheets.isOpen()) sheets_->keepOrDropHalfTypedSheet();
    const QString chosen = prompts_.chooseOpenFile();
    if (chosen.isEmpty()) return;
    OpenExamFile(chosen);
}

bool FTAData::OpenExamFile(const QString& chosen) {
    header_->okButton()->hide();
    header_->clearMessage();
    if (session_.views().sheets.isOpen()) sheets_->keepOrDropHalfTypedSheet();
    const QFileInfo info(chosen);
    QDir::setCurrent(info.absolutePath());
    const std::string path = S(info.absoluteFilePath());

    BusyCursor busy;
    if (!openAndShow(path)) {
        updateTitle();
        return false;
    }
    UserSettings::addRecentFile(Q(path));
    sheets_->sheetGrid()->setFocus(Qt::OtherFocusReason);
    analysis_->setVisible(true);
    sheets_->rawPrintButton()->show();
    return true;
}

namespace {

// The tables the import reads, by the name a teacher's spreadsheet or
// scanner gives them.
bool IsImportSource(const QString& path) {
    static const QStringList kinds{"xlsx", "ods", "csv", "tsv", "txt", "dat"};
    return kinds.contains(QFileInfo(path).suffix().toLower());
}

} // namespace

bool FTAData::openAndShow(const std::string& path) {
    const SessionError refused = session_.open(path);
    if (refused.kind == SessionErrorKind::NotExamFile) {
        if (IsImportSource(Q(path)))
            offerToImport(Q(path));
        else
            warn(Q(refused.message));
        return false;
    }
    graphs_->hide();
    groups_->hide();
    if (refused) {
        warn("เปิดไฟล์ " + Q(path) + "  ไม่ได้\n" + Q(refused.message));
        return false;
    }
    showOpenedFile();
    return true;
}

void FTAData::showOpenedFile() {
    sheets_->installViewCallbacks();
    setFileControlsVisible(true);
    header_->show();
    analysis_->forgetResults();
    header_->showFileHeader();
    sheets_->showSheets();
    sheets_->showKey();
    sheets_->showRecordPosition();
    updateTitle();
}

void FTAData::offerToImport(const QString& source) {
    const QString name = QFileInfo(source).fileName();
    const QString what = name + " เป็นตารางคำตอบ ไม่ใช่ไฟล์ข้อสอบ\n";
    if (!session_.isOpen() || !session_.views().sheets.isOpen()) {
        warn(what + "กรุณาเปิดไฟล์ข้อสอบ (หรือสร้างด้วย ไฟล์ใหม่) ก่อน\n"
                    "แล้วกด นำเข้า เพื่อนำคำตอบจากไฟล์นี้เข้า");
        return;
    }
    const QString exam = QFileInfo(Q(session_.fileName())).fileName();
    if (!prompts_.askYesNo("นำเข้า", what + "จะนำเข้าคำตอบจากไฟล์นี้ลงใน " + exam + " หรือไม่")) return;
    sheets_->importFrom(source);
}

void FTAData::offerToReopen() {
    const QString path = Q(session_.fileName());
    if (!prompts_.askYesNo(kProgramTitle, QString::fromUtf8(kFileReplacedText) + "\n" +
                                              QString::fromUtf8(kAskReopen) + path)) {
        return;
    }
    sheets_->discardPendingEdits();
    const SessionError refused = session_.reopen();
    if (refused.kind == SessionErrorKind::NotExamFile) {
        warn(Q(refused.message));
        return;
    }
    graphs_->hide();
    if (refused) {
        warn("เปิดไฟล์ " + path + "  ไม่ได้\n" + Q(refused.message));
        return;
    }
    showOpenedFile();
}

namespace {

// The first local exam file among dropped URLs, or the empty text.
QString DroppedExamFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && url.toLocalFile().endsWith(".ans", Qt::CaseInsensitive))
            return url.toLocalFile();
    return {};
}

} // namespace

void FTAData::dragEnterEvent(QDragEnterEvent* e) {
    if (!DroppedExamFile(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void FTAData::dropEvent(QDropEvent* e) {
    const QString path = DroppedExamFile(e->mimeData());
    if (path.isEmpty()) return;
    e->acceptProposedAction();
    OpenExamFile(path);
}

// ---------------------------------------------------------------------------
// The report panel over the window

QList<QWidget*> FTAData::underReportPanel() const {
    return {commands_,
            header_,
            sheets_->keyGrid(),
            sheets_->sheetGrid(),
            sheets_->navigationBar(),
            sheets_->recordBar(),
            sheets_->rawPrintButton(),
            analysis_->techniqueBar(),
            analysis_->itemStatsBar(),
            groupsBar_};
}

void FTAData::showReportPanel(QWidget* focusBefore) {
    focusBeforeReport_ = focusBefore;
    report_->show();
    report_->raise();
    report_->reportView()->setFocus(Qt::OtherFocusReason);
    // What the panel covers is out of reach of keys, clicks and access keys
    // alike; hidden under it, it looks the same.
    coveredByReport_.clear();
    for (QWidget* w : underReportPanel())
        if (!w->isHidden()) {
            coveredByReport_ << w;
            w->hide();
        }
}

void FTAData::closeReportPanel() {
    for (QWidget* w : coveredByReport_)
        if (w) w->show();
    coveredByReport_.clear();
    report_->closePanel();
    sheets_->rawPrintButton()->show();
    if (focusBeforeReport_ && focusBeforeReport_->isVisible() && focusBeforeReport_->isEnabled())
        focusBeforeReport_->setFocus(Qt::OtherFocusReason);
    else
        FocusIfPossible(sheets_->sheetGrid());
    focusBeforeReport_ = nullptr;
}

void FTAData::keyPressEvent(QKeyEvent* e) {
    // An Escape that no control of the report panel took (the report's find
    // field takes its own) closes the print options first, then the report,
    // like "ปิด".
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier && !report_->isHidden()) {
        report_->closeOptionsOrPanel();
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

} // namespace ia
