// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "เปรียบเทียบกลุ่ม" panel: the groups of a pooled exam file side by
// side (N, mean, SD, KR-20; p and r_it of every item by group, with the items
// whose p in a group lies far from the pooled p marked), the DIF of every
// item between the reference and the focal group the teacher chooses, and
// the chart of p by group for one item or all of them. It only reads.

#include "analysis/Dif.h"
#include "analysis/ExamAnswers.h"

#include <QFrame>

#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace ia {

class ChartView;

class GroupComparisonPanel : public QFrame {
    Q_OBJECT
  public:
    explicit GroupComparisonPanel(QWidget* parent = nullptr);

    // Reads the file and shows its groups. On a refusal (no groups, no keyed
    // item, a damaged file) returns the Thai text and shows nothing new.
    std::string showFile(const std::string& path);
    // Computes again with the pair and purification chosen.
    void recompute();
    bool selectItem(int item);
    int selectedItem() const;
    const GroupAnalysis& analysis() const { return analysis_; }

    QLabel* note;
    QTableWidget* groupTable;
    QComboBox* referenceBox;
    QComboBox* focalBox;
    QCheckBox* purifyCheck;
    QTableWidget* itemTable;
    QLabel* judgement;
    ChartView* chart;
    QPushButton* overviewButton;
    QPushButton* closeButton;

  signals:
    void closeRequested();

  private:
    void fillGroups();
    void fillItems();
    void showItem(int item);

    std::string path_;
    ExamAnswers answers_;
    std::vector<std::string> labels_;
    GroupAnalysis analysis_;
    bool overview_ = false;
    bool filling_ = false;
};

} // namespace ia
