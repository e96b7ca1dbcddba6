// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AnalysisBar.h"

#include "analysis/SheetChecks.h"
#include "app/BusyCursor.h"
#include "app/GraphPanel.h"
#include "app/HeaderPanel.h"
#include "app/ItemStatisticsPanel.h"
#include "app/Prompts.h"
#include "app/ReportPanel.h"
#include "app/ReportView.h"
#include "app/SheetEditor.h"
#include "report/GraphReport.h"
#include "report/ReportModel.h"
#include "report/ReportText.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <memory>
#include <optional>

namespace ia {

namespace {

// One analysis is two jobs to the teacher: the checks of the sheets, then,
// after any question about them, the technique. Each has a progress (and a
// dialog) of its own, so that the question never comes up under the checks'
// dialog; every report of the session's one progress reaches the job's.
class ProgressPerJob : public Progress {
  public:
    explicit ProgressPerJob(Prompts& prompts) : prompts_(prompts) {}
    // The job ended: its dialog goes.
    void endJob() { job_.reset(); }

  protected:
    bool show() override {
        if (!job_) job_ = prompts_.jobProgress();
        // Throws JobCancelled once the teacher cancelled.
        if (job_->what() != what() || job_->total() != total())
            job_->stage(what(), total());
        else
            job_->step(done());
        return true;
    }

  private:
    Prompts& prompts_;
    std::unique_ptr<Progress> job_;
};

QString AnalyseCaption(Technique technique) {
    return technique == Technique::SimpleFormula25 ? "วิเคราะห์ 25 %" : "วิเคราะห์ 27 %";
}

} // namespace

AnalysisBar::AnalysisBar(QWidget* window, Placer& placer, ExamSession& session, Prompts& prompts)
    : QObject(window), placer_(placer), session_(session), prompts_(prompts) {
    techniqueBar_ = Panel(window, "Picture4", QColor(180, 180, 180));
    techniqueBar_->setFont(UiFont(9.75));
    placer.place(techniqueBar_, 9045, 7620, 2865, 615);
    analyse25_ = Button(techniqueBar_, "Command5", AnalyseCaption(Technique::SimpleFormula25));
    analyse25_->setToolTip("ใช้สูตรอย่างง่าย");
    Paint(analyse25_, QColor(255, 192, 255));
    placer.place(analyse25_, 75, 45, 1260, 495);
    analyse27_ = Button(techniqueBar_, "Command6", AnalyseCaption(Technique::FanTable27));
    analyse27_->setToolTip("ใช้ตาราง CHUNG TEH FAN");
    Paint(analyse27_, QColor(255, 224, 192));
    placer.place(analyse27_, 1440, 45, 1275, 495);
    techniqueBar_->hide();
    // Beside the two techniques, below their bar: the item statistics.
    itemStatsBar_ = Panel(window, "picItemStats", QColor(180, 180, 180));
    itemStatsBar_->setFont(UiFont(9.75));
    placer.place(itemStatsBar_, 9045, 8235, 2865, 435);
    itemStats_ = Button(itemStatsBar_, "cmdItemStats", "สถิติรายข้อ");
    itemStats_->setToolTip("ค่าสถิติทั้งฉบับ ตัวลวง และการตรวจเฉลย");
    Paint(itemStats_, QColor(192, 224, 255));
    placer.place(itemStats_, 75, 30, 1785, 375);
    // Teachers look rather than read.
    graphs_ = Button(itemStatsBar_, "cmdGraphs", "กราฟ");
    graphs_->setToolTip("กราฟผลการวิเคราะห์ครั้งล่าสุด");
    Paint(graphs_, QColor(192, 255, 192));
    placer.place(graphs_, 1905, 30, 885, 375);
    itemStatsBar_->hide();

    connect(analyse25_, &QPushButton::clicked, this,
            [this] { analyse(Technique::SimpleFormula25); });
    connect(analyse27_, &QPushButton::clicked, this, [this] { analyse(Technique::FanTable27); });
    connect(itemStats_, &QPushButton::clicked, this, &AnalysisBar::onItemStatsClicked);
    connect(graphs_, &QPushButton::clicked, this, &AnalysisBar::onGraphsClicked);
}

void AnalysisBar::connectPanels(HeaderPanel& header, SheetEditor& sheets, ReportPanel& report,
                                ItemStatisticsPanel& itemStats, GraphPanel& graphs) {
    header_ = &header;
    sheets_ = &sheets;
    report_ = &report;
    itemStatsPanel_ = &itemStats;
    graphPanel_ = &graphs;
    connect(itemStatsPanel_, &ItemStatisticsPanel::closeRequested, itemStatsPanel_, &QWidget::hide);
    connect(itemStatsPanel_, &ItemStatisticsPanel::rerunRequested, this,
            &AnalysisBar::rerunLastTechnique);
    connect(itemStatsPanel_, &ItemStatisticsPanel::keyChanged, this,
            &AnalysisBar::onItemStatsKeyChanged);
    itemStatsPanel_->showError = [this](const QString& text) { warn(text); };
    itemStatsPanel_->writeKey = [this](int item, const Value& key) {
        const SessionError refused = session_.changeKey(item, key);
        if (!refused) return std::string();
        return refused.message.empty() ? std::string("แก้เฉลยไม่ได้") : refused.message;
    };
    itemStatsPanel_->setHistory(sheets_->undoStack(), [this] { sheets_->undo(); });
    connect(itemStatsPanel_, &ItemStatisticsPanel::graphRequested, this, [this](int item) {
        onGraphsClicked();
        if (graphPanel_->isVisible() && item > 0) graphPanel_->selectItem(item);
    });
    connect(graphPanel_->closeButton, &QPushButton::clicked, graphPanel_, &QWidget::hide);
    connect(report_, &ReportPanel::rerunClicked, this, &AnalysisBar::rerunLastTechnique);
}

void AnalysisBar::addToGrowth() {
    using A = GrowingLayout::Anchor;
    placer_.layout().add(techniqueBar_, A::MoveDown);
    placer_.layout().add(itemStatsBar_, A::MoveDown);
}

void AnalysisBar::setVisible(bool visible) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{techniqueBar_, analyse25_, analyse27_, itemStatsBar_})
        w->setVisible(visible);
}

void AnalysisBar::BusyPointer(bool on) {
    Hourglass::set(on);
}

void AnalysisBar::warn(const QString& text) {
    prompts_.showMessage(kWarningTitle, text);
}

void AnalysisBar::analyse(Technique technique) {
    if (session_.sheetCount() == 0) return;
    // The charts shown belong to the results about to be replaced.
    graphPanel_->hide();
    QWidget* focusBefore = QApplication::focusWidget();
    QPushButton* button = technique == Technique::SimpleFormula25 ? analyse25_ : analyse27_;
    // A cell still being typed belongs to the sheets that are analysed, and
    // so does an answer still waiting for the file.
    sheets_->commitPendingEdits();
    if (!sheets_->storePendingEdits()) return;
    std::optional<BusyCursor> busy;
    ProgressPerJob progress(prompts_);
    bool started = false;
    AnalysisRequest request;
    request.technique = technique;
    request.progress = &progress;
    request.goOnAfterChecks = [&](const CheckFindings& findings) {
        progress.endJob();
        return goOnAfterChecks(findings);
    };
    request.startingRun = [&] {
        progress.endJob();
        started = true;
        sheets_->rawPrintButton()->hide();
        button->setText("กำลังคำนวณ");
        busy.emplace();
        button->setEnabled(false);
    };
    request.reportTerm = S(header_->field(kTermField)->text());
    request.sheetOrderAfter = SheetOrder::ByScore;
    const Outcome<std::string> analysed = session_.analyse(request);
    progress.endJob();
    switch (analysed.error.kind) {
    case SessionErrorKind::NoFileOpen:
    case SessionErrorKind::NoSheets:
    case SessionErrorKind::Declined:
        return;
    case SessionErrorKind::None:
        showOutdatedNotices();
        sheets_->showSheets();
        sheets_->showKey();
        report_->showAnalysedReport(analysed.value);
        emit reportReady(focusBefore);
        break;
    default:
        // The grids show what the file holds now: the previous results
        // after a rollback, the new ones when only the report failed.
        if (analysed.error.kind == SessionErrorKind::ReportFailed) showOutdatedNotices();
        warn(Q(analysed.error.message));
        // Cancelled while checking: nothing was run, changed or hidden.
        if (!started) return;
        sheets_->rawPrintButton()->show();
        sheets_->showSheets();
        sheets_->showKey();
        break;
    }
    button->setText(AnalyseCaption(technique));
    button->setEnabled(true);
}

bool AnalysisBar::goOnAfterChecks(const CheckFindings& findings) {
    QString text = QString(kSheetWarningsHeading) + "\n";
    for (const std::string& line : findings.lines)
        text += "\n" + Q(line);
    return prompts_.askGoOnAfterChecks(kWarningTitle, text);
}

void AnalysisBar::onItemStatsClicked() {
    if (!session_.views().sheets.isOpen()) return;
    // A cell still being typed belongs to what is counted.
    sheets_->commitPendingEdits();
    BusyCursor busy;
    const std::string refusal = itemStatsPanel_->showFile(session_.fileName());
    if (!refusal.empty()) {
        warn(Q(refusal));
        return;
    }
    showOutdatedNotices();
    itemStatsPanel_->show();
    itemStatsPanel_->raise();
    itemStatsPanel_->itemTable->setFocus(Qt::OtherFocusReason);
}

void AnalysisBar::onGraphsClicked() {
    if (!session_.resultsTechnique()) {
        warn("ยังไม่ได้วิเคราะห์ข้อสอบ กรุณากด วิเคราะห์ 25 % หรือ วิเคราะห์ 27 % ก่อน");
        return;
    }
    GraphReportInput in;
    if (!report_->loadGraphInput(in)) return;
    graphPanel_->setInput(in);
    graphPanel_->show();
    graphPanel_->raise();
    graphPanel_->itemChooser->setFocus(Qt::OtherFocusReason);
}

void AnalysisBar::forgetResults() {
    itemStatsPanel_->hide();
    itemStatsPanel_->forgetFile();
    showOutdatedNotices();
}

void AnalysisBar::showOutdatedNotices() {
    const ResultsCurrency currency = session_.resultsCurrency();
    std::map<int, QString> judgements;
    if (currency != ResultsCurrency::NoResults)
        if (const Outcome<ReportData> stored = session_.reportData(); stored.ok())
            for (const OutRow& row : stored.value.rows)
                if (row.IsAns == 1 && !KeyIsBlank(stored.value, row.ItemNo))
                    if (const int category = ItemQualityCategory(row); category >= 0)
                        judgements[row.ItemNo] = QString::fromUtf8(QualityCategoryName(category));
    itemStatsPanel_->setStoredJudgements(std::move(judgements));
    itemStatsPanel_->setOutdated(currency, session_.resultsTechnique());
    report_->showOutdated(currency, session_.resultsTechnique());
    graphPanel_->showNotice(ResultsCurrencyNotice(currency));
    sheets_->showScoresOutdated(session_.scoresOutdated());
}

void AnalysisBar::onItemStatsKeyChanged() {
    try {
        session_.views().key.Refresh();
    } catch (const std::exception& e) {
        warn(QString::fromUtf8(e.what()));
    }
    sheets_->showKey();
    showOutdatedNotices();
}

void AnalysisBar::rerunLastTechnique() {
    const std::optional<Technique> last = session_.resultsTechnique();
    if (!last) return;
    const bool panelShown = itemStatsPanel_->isVisible();
    analyse(*last);
    if (panelShown) {
        if (const std::string refusal = itemStatsPanel_->showFile(session_.fileName());
            !refusal.empty())
            warn(Q(refusal));
        itemStatsPanel_->raise();
    }
    showOutdatedNotices();
}

} // namespace ia
