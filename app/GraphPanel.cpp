// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GraphPanel.h"

#include "charts/QtCanvas.h"
#include "examfile/Val.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace ia {

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(200, 150);
}

void ChartView::setDraw(Draw draw) {
    draw_ = std::move(draw);
    update();
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!draw_) return;
    // Charts are laid out in points; on screen a point is a logical pixel
    // scaled by the screen's resolution.
    const double k = logicalDpiX() / 72.0;
    charts::QtCanvas canvas(p, k);
    draw_(canvas, {0, 0, width() / k, height() / k});
}

GraphPanel::GraphPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("GraphPanel");
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);

    histogram = new ChartView(this);
    histogram->setObjectName("GraphHistogram");
    ddPlot = new ChartView(this);
    ddPlot->setObjectName("GraphDdPlot");
    itemPlot = new ChartView(this);
    itemPlot->setObjectName("GraphItemPlot");
    itemChooser = new QComboBox(this);
    itemChooser->setObjectName("GraphItemChooser");
    closeButton = new QPushButton("ปิด", this);
    closeButton->setObjectName("GraphClose");
    closeButton->setAutoDefault(false);

    auto* bar = new QHBoxLayout;
    auto* title = new QLabel("กราฟผลการวิเคราะห์", this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    bar->addWidget(title);
    bar->addStretch(1);
    bar->addWidget(new QLabel("ข้อสอบ", this));
    bar->addWidget(itemChooser);
    bar->addSpacing(20);
    bar->addWidget(closeButton);

    outdatedNotice = new QLabel(this);
    outdatedNotice->setObjectName("GraphOutdated");
    outdatedNotice->setWordWrap(true);
    outdatedNotice->setAutoFillBackground(true);
    {
        QPalette notice = outdatedNotice->palette();
        notice.setColor(QPalette::Window, QColor(255, 255, 128));
        outdatedNotice->setPalette(notice);
    }
    outdatedNotice->hide();

    auto* grid = new QGridLayout(this);
    grid->addLayout(bar, 0, 0, 1, 2);
    grid->addWidget(outdatedNotice, 1, 0, 1, 2);
    grid->addWidget(histogram, 2, 0);
    grid->addWidget(ddPlot, 2, 1);
    grid->addWidget(itemPlot, 3, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setRowStretch(3, 1);

    connect(itemChooser, &QComboBox::currentIndexChanged, this, &GraphPanel::showItem);
}

void GraphPanel::showNotice(const std::string& notice) {
    outdatedNotice->setText(QString::fromStdString(notice));
    outdatedNotice->setVisible(!notice.empty());
}

void GraphPanel::setInput(const GraphReportInput& in) {
    in_ = in;
    showNotice(in.outdatedNotice);
    const ReportData& d = in_.data;
    const double highest = d.stat.nItem ? static_cast<double>(*d.stat.nItem) : d.KeyedItemCount;
    const charts::HistogramInput h =
        HistogramOf(in_.scores, static_cast<int>(highest), Val(d.stat.Xbar.value_or("")),
                    Val(d.stat.SD.value_or("")));
    histogram->setDraw([h](charts::Canvas& c, const charts::Rect& r) { DrawHistogram(c, r, h); });
    const charts::DdInput dd = DdOf(d);
    ddPlot->setDraw([dd](charts::Canvas& c, const charts::Rect& r) { DrawDdPlot(c, r, dd); });
    items_ = KeyedItems(d);
    const QSignalBlocker block(itemChooser);
    itemChooser->clear();
    for (int item : items_)
        itemChooser->addItem(QString("ข้อ %1").arg(item));
    itemChooser->setCurrentIndex(items_.empty() ? -1 : 0);
    showItem(itemChooser->currentIndex());
}

void GraphPanel::selectItem(int item) {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == item) itemChooser->setCurrentIndex(static_cast<int>(i));
}

int GraphPanel::selectedItem() const {
    const int i = itemChooser->currentIndex();
    return i >= 0 && i < static_cast<int>(items_.size()) ? items_[static_cast<size_t>(i)] : 0;
}

void GraphPanel::showItem(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) {
        itemPlot->setDraw(nullptr);
        return;
    }
    const charts::ItemPlotInput plot =
        ItemPlotOf(in_.data, items_[static_cast<size_t>(index)], in_.stats ? &*in_.stats : nullptr);
    itemPlot->setDraw(
        [plot](charts::Canvas& c, const charts::Rect& r) { DrawItemPlot(c, r, plot); });
}

} // namespace ia
