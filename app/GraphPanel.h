// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "กราฟ" panel: the score histogram and the difficulty–discrimination
// plot of the last analysis side by side, and under them the plot of the
// item chosen, drawn through the charts' QPainter canvas.

#include "charts/Charts.h"
#include "report/GraphReport.h"

#include <QFrame>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace ia {

// A widget showing one chart, redrawn at its size.
class ChartView : public QWidget {
    Q_OBJECT
  public:
    using Draw = std::function<void(charts::Canvas&, const charts::Rect&)>;
    explicit ChartView(QWidget* parent = nullptr);
    void setDraw(Draw draw);

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    Draw draw_;
};

class GraphPanel : public QFrame {
    Q_OBJECT
  public:
    explicit GraphPanel(QWidget* parent = nullptr);

    // Shows the charts of this analysis; the first keyed item is chosen.
    void setInput(const GraphReportInput& in);
    // Chooses the item whose plot is shown (a keyed item; others are
    // ignored).
    void selectItem(int item);
    int selectedItem() const;

    ChartView* histogram;
    ChartView* ddPlot;
    ChartView* itemPlot;
    QComboBox* itemChooser; // "ข้อ 1", "ข้อ 2", ... keyed items only
    QPushButton* closeButton;
    // That the stored results the charts show no longer match the data.
    QLabel* outdatedNotice;
    // Shows the notice above the charts; hidden when it is empty.
    void showNotice(const std::string& notice);

  private:
    void showItem(int index);
    GraphReportInput in_;
    std::vector<int> items_;
};

} // namespace ia
