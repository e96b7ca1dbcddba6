// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AnalysisBar.h"

#include "analysis/FanTable.h"
#include "analysis/SheetChecks.h"
#include "app/BusyCursor.h"
#include "app/GraphPanel.h"
#include "app/HeaderPanel.h"
#include "app/ItemStatisticsPanel.h"
#include "app/Prompts.h"
#include "app/ReportPanel.h"
#include "app/ReportView.h"
#include "app/SheetEditor.h"
#include "examfile/Cp874.h"
#include "report/GraphReport.h"
#include "report/ReportModel.h"
#include "report/ReportText.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

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
QString ScreenReport(ExamViews& views, const AnalysisState& state, const TestHeader& header,
                     const std::string& schoolName, const std::string& reportPath) {
    try {
        return ScreenReportText(LayOutReport(LoadReportData(views, state), header, schoolName));
    } catch (const std::exception&) {
        return ReadReportFile(reportPath);
    }
}

QString AnalyseCaption(Technique technique) {
    return technique == Technique::SimpleFormula25 ? "วิเคราะห์ 25 %" : "วิเคราะห์ 27 %";
}

} // namespace

AnalysisBar::AnalysisBar(QWidget* window, Placer& placer, WindowExam& exam, Prompts& prompts)
    : QObject(window), placer_(placer), exam_(exam), prompts_(prompts) {
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
    ExamViews& views = exam_.views;
    if (!views.Data1.isOpen() || views.Data1.Recordset()->recordCount() == 0) return;
    // The charts shown belong to the results about to be replaced.
    graphPanel_->hide();
    QWidget* focusBefore = QApplication::focusWidget();
    QPushButton* button = technique == Technique::SimpleFormula25 ? analyse25_ : analyse27_;
    // A cell still being typed belongs to the sheets that are analysed, and
    // so does an answer still waiting for the file.
    sheets_->commitPendingEdits();
    if (!sheets_->storePendingEdits()) return;
    if (!goOnAfterChecks()) return;
    sheets_->rawPrintButton()->hide();
    button->setText("กำลังคำนวณ");
    BusyCursor busy;
    const int kind = static_cast<int>(technique);
    exam_.analysis.AnalysisKind = static_cast<int16_t>(kind);
    button->setEnabled(false);
    AnalysisContext ctx{views, exam_.module.header, exam_.analysis, *this};
    bool analysed = false;
    try {
        const std::unique_ptr<Progress> progress = prompts_.jobProgress();
        ctx.progress = progress.get();
        RunTechnique(ctx, kind, FanTableDir(ProgramDir()));
        analysed = true;
        // The sheets are shown in score order after an analysis.
        views.Data1.RecordSource = "select * from TAData order by Score";
        views.Data1.Refresh();
        RereadResultViews(views);
        exam_.resultsTechnique = technique;
        exam_.keyOfResults = keyRow();
        showOutdatedNotices();
        sheets_->showSheets();
        sheets_->showKey();
        exam_.analysis.ReportFileName =
            WriteAnalysisReport(views, exam_.analysis, exam_.module.ExamFileName,
                                exam_.module.header, S(header_->field(kTermField)->text()));
        report_->showReport(ScreenReport(views, exam_.analysis, exam_.module.header,
                                         report_->schoolName(), exam_.analysis.ReportFileName));
        emit reportReady(focusBefore);
    } catch (const std::exception& e) {
        // What the file holds now (the previous results after a rollback,
        // the new ones when only the report failed) is what the grids show.
        warn(QString::fromUtf8(e.what()));
        sheets_->rawPrintButton()->show();
        try {
            if (!analysed) views.Data1.Refresh();
            views.Data2.Refresh();
            views.Data4.Refresh();
            views.Data5.Refresh();
        } catch (const std::exception&) {}
        sheets_->showSheets();
        sheets_->showKey();
    }
    button->setText(AnalyseCaption(technique));
    button->setEnabled(true);
}

bool AnalysisBar::goOnAfterChecks() {
    std::vector<std::string> findings;
    int keyed = 0;
    try {
        RecordSet& sheets = *exam_.views.Data1.Recordset();
        findings = SheetWarnings(sheets.connection(), exam_.module.header.nItem,
                                 exam_.module.header.nChoice, &keyed, *prompts_.jobProgress(),
                                 sheets.recordCount());
    } catch (const JobCancelled& e) {
        warn(QString::fromUtf8(e.what()));
        return false;
    } catch (const std::exception&) {
        return true; // the analysis reports what is wrong with the file
    }
    // Without any key the analysis refuses anyway, and says why.
    if (findings.empty() || keyed == 0) return true;
    QString text = QString(kSheetWarningsHeading) + "\n";
    for (const std::string& line : findings)
        text += "\n" + Q(line);
    return prompts_.askGoOnAfterChecks(kWarningTitle, text);
}

void AnalysisBar::onItemStatsClicked() {
    if (!exam_.views.Data1.isOpen()) return;
    // A cell still being typed belongs to what is counted.
    sheets_->commitPendingEdits();
    BusyCursor busy;
    const std::string refusal = itemStatsPanel_->showFile(exam_.module.ExamFileName);
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
    if (exam_.analysis.AnalysisKind != static_cast<int16_t>(Technique::SimpleFormula25) &&
        exam_.analysis.AnalysisKind != static_cast<int16_t>(Technique::FanTable27)) {
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

std::vector<Value> AnalysisBar::keyRow() {
    std::vector<Value> key;
    if (!exam_.views.Data2.isOpen()) return key;
    try {
        Connection& db = exam_.views.Data2.Recordset()->connection();
        auto st = db.prepare("SELECT * FROM TKey ORDER BY rowid LIMIT 1");
        if (st.step())
            for (int i = 0; i < st.columnCount(); ++i)
                key.push_back(st.column(i));
    } catch (const std::exception&) {}
    return key;
}

void AnalysisBar::forgetResults() {
    itemStatsPanel_->hide();
    itemStatsPanel_->forgetFile();
    exam_.resultsTechnique.reset();
    exam_.keyOfResults = keyRow();
    showOutdatedNotices();
}

bool AnalysisBar::resultsOutdated() {
    if (!exam_.views.Data4.isOpen()) return false;
    const std::vector<Value> now = keyRow();
    if (now.empty()) return false;
    try {
        Connection& db = exam_.views.Data4.Recordset()->connection();
        // Nothing stored yet: nothing to be out of date.
        auto count = db.prepare("SELECT count(*) FROM TOut");
        if (!count.step() || count.columnInt(0) == 0) return false;
        // Changed in this session (the total field is the scoring's to
        // write, not part of the key).
        const std::vector<Value>& before = exam_.keyOfResults;
        if (now.size() == before.size() && !std::equal(now.begin(), now.end() - 1, before.begin()))
            return true;
        // Changed before, perhaps in another session: the keyed choices the
        // results marked are no longer those of the key.
        auto marks = db.prepare("SELECT ItemNo, ChoiceNo, IsAns FROM TOut");
        while (marks.step()) {
            const long long item = marks.columnInt(0);
            if (item < 1 || item >= static_cast<long long>(now.size()) - 1) continue;
            const bool keyed =
                now[static_cast<size_t>(item)].text() == std::to_string(marks.columnInt(1));
            if (keyed != (marks.columnInt(2) == 1)) return true;
        }
    } catch (const std::exception&) {}
    return false;
}

void AnalysisBar::showOutdatedNotices() {
    const bool outdated = resultsOutdated();
    itemStatsPanel_->setOutdated(outdated, exam_.resultsTechnique);
    report_->showOutdated(outdated, exam_.resultsTechnique);
}

void AnalysisBar::onItemStatsKeyChanged() {
    try {
        exam_.views.Data2.Refresh();
    } catch (const std::exception& e) {
        warn(QString::fromUtf8(e.what()));
    }
    sheets_->showKey();
    showOutdatedNotices();
}

void AnalysisBar::rerunLastTechnique() {
    if (!exam_.resultsTechnique) return;
    const bool panelShown = itemStatsPanel_->isVisible();
    analyse(*exam_.resultsTechnique);
    if (panelShown) {
        if (const std::string refusal = itemStatsPanel_->showFile(exam_.module.ExamFileName);
            !refusal.empty())
            warn(Q(refusal));
        itemStatsPanel_->raise();
    }
    showOutdatedNotices();
}

} // namespace ia
