// SPDX-License-Identifier: GPL-3.0-or-later
// The district's view in the window: class files pooled through the
// "รวมไฟล์หลายห้อง" dialog, and the "เปรียบเทียบกลุ่ม" panel over the pooled
// file (groups, p by group, DIF and the chosen pair, purification, the chart).

#include "WindowFixture.h"
#include "analysis/Dif.h"
#include "analysis/ExamAnswers.h"
#include "app/GraphPanel.h"
#include "app/GroupComparisonPanel.h"
#include "app/GroupsBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <cmath>
#include <random>

using namespace ia;

namespace {

using iatest::Control;

// A class of n sheets on eight items keyed 1; item 5 is much harder in a
// class with `planted`.
void MakeClassFile(const std::string& path, int n, bool planted, unsigned seed,
                   const std::vector<std::string>& key = std::vector<std::string>(8, "1")) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> ability(0, 1);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<std::vector<std::string>> sheets;
    for (int s = 0; s < n; ++s) {
        const double theta = ability(rng);
        std::string answers;
        for (int j = 0; j < 8; ++j) {
            const double b = -1 + 0.3 * j + (planted && j == 4 ? 2.2 : 0);
            answers += u(rng) < 1 / (1 + std::exp(-1.7 * (theta - b))) ? '1' : '3';
        }
        sheets.push_back(iatest::Sheet(std::to_string(s + 1), answers));
    }
    iatest::MakeExamFile(path, iatest::MakeHeader(8, 4), key, sheets);
}

int RowOfItem(QTableWidget* t, int item) {
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, 0)->text().toInt() == item) return r;
    return -1;
}

int Column(QTableWidget* t, const QString& header) {
    for (int c = 0; c < t->columnCount(); ++c)
        if (t->horizontalHeaderItem(c)->text() == header) return c;
    return -1;
}

} // namespace

class GroupComparisonPanelTest : public QObject {
    Q_OBJECT

  private slots:
    void poolThroughTheDialogThenCompare();
    void refusalsAreToldAndNothingIsWritten();
};

void GroupComparisonPanelTest::poolThroughTheDialogThenCompare() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string a = f.path("ห้องก.ans").toStdString(), b = f.path("ห้องข.ans").toStdString();
    MakeClassFile(a, 400, false, 1);
    MakeClassFile(b, 300, true, 2);
    const std::string bytesA = iatest::FileBytes(a);
    f.prompts.onRunDialog = [&](QDialog& d) {
        auto& dialog = static_cast<PoolDialog&>(d);
        dialog.addSources({QString::fromStdString(a), QString::fromStdString(b)});
        dialog.output->setText(f.path("เขต"));
        dialog.okButton->click();
        return dialog.result();
    };
    Control<QPushButton>(w, "cmdPoolFiles")->click();
    QCOMPARE(iatest::FileBytes(a), bytesA);
    QCOMPARE(f.informations.size(), 1);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains("ห้องก (400)"));
    QCOMPARE(QString::fromStdString(w.session().fileName()), f.path("เขต.ans"));

    auto& p = *Control<GroupComparisonPanel>(w, "GroupComparisonPanel");
    QVERIFY(p.isVisible());
    QCOMPARE(p.groupTable->rowCount(), 2);
    QCOMPARE(p.groupTable->item(1, 1)->text(), QString("300"));
    QCOMPARE(p.referenceBox->currentText(), QString("ห้องก"));
    QCOMPARE(p.focalBox->currentText(), QString("ห้องข"));

    // The numbers are the analysis's own, for the file the panel was given.
    const std::string pooled = w.session().fileName();
    const GroupAnalysis want =
        AnalyseGroups(LoadExamAnswers(pooled).matrix, LoadGroupLabels(pooled), "", "", false);
    const int row = RowOfItem(p.itemTable, 5);
    QVERIFY(row >= 0);
    const int ets = Column(p.itemTable, "ระดับ"), delta = Column(p.itemTable, "Δ_MH");
    QCOMPARE(p.itemTable->item(row, ets)->text(), QString("C"));
    QCOMPARE(p.itemTable->item(row, Column(p.itemTable, "เอื้อต่อกลุ่ม"))->text(), QString("ห้องก"));
    QCOMPARE(p.itemTable->item(row, delta)->text(),
             QString::number(*want.dif->items[4].mh.delta, 'f', 2));
    // The class that found it hard lies far from the pooled p: marked.
    const int inB = Column(p.itemTable, "ห้องข");
    QVERIFY(want.comparison.items[4].byGroup[1].marked);
    QVERIFY(p.itemTable->item(row, inB)->background().color() != QColor(Qt::white));
    QVERIFY(p.selectItem(5));
    QVERIFY(p.judgement->text().contains("ระดับ C"));
    QVERIFY(p.judgement->text().contains("ห้องก"));

    // The pair swapped: the same item now favours the focal group, delta > 0.
    p.referenceBox->setCurrentIndex(1);
    p.focalBox->setCurrentIndex(0);
    QCOMPARE(p.analysis().dif->reference, 1);
    QVERIFY(*p.analysis().dif->items[4].mh.delta > 0);
    QCOMPARE(p.itemTable->item(RowOfItem(p.itemTable, 5), ets)->text(), QString("C"));
    QCOMPARE(p.selectedItem(), 5);

    // Purified: the C item leaves the others' matching score, and the note says so.
    p.purifyCheck->setChecked(true);
    QVERIFY(p.analysis().dif->purified);
    const std::vector<int>& out = p.analysis().dif->purifiedItems;
    QVERIFY(!out.empty() && out.front() == 5);
    QVERIFY(p.note->text().contains("ไม่นำข้อ 5"));

    // The overview and back; nothing was written to the pooled file.
    const std::string pooledBytes = iatest::FileBytes(pooled);
    p.overviewButton->click();
    QCOMPARE(p.overviewButton->text(), QString("ดูข้อที่เลือก"));
    p.chart->repaint();
    p.overviewButton->click();
    QCOMPARE(iatest::FileBytes(pooled), pooledBytes);
    p.closeButton->click();
    QVERIFY(!p.isVisible());
}

void GroupComparisonPanelTest::refusalsAreToldAndNothingIsWritten() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    // No file in hand, then a file of no groups.
    Control<QPushButton>(w, "cmdCompareGroups")->click();
    QCOMPARE(f.messages.size(), 1);
    const std::string a = f.path("ห้องก.ans").toStdString();
    MakeClassFile(a, 30, false, 1);
    f.nextFile = f.path("ห้องก.ans");
    Control<QPushButton>(w, "Command2")->click();
    Control<QPushButton>(w, "cmdCompareGroups")->click();
    QCOMPARE(f.messages.size(), 2);
    QVERIFY(f.messages[1].contains("กลุ่ม"));
    QVERIFY(!Control<GroupComparisonPanel>(w, "GroupComparisonPanel")->isVisible());

    // A class file with another key: refused by name, the dialog stays.
    const std::string other = f.path("ห้องค.ans").toStdString();
    MakeClassFile(other, 30, false, 3, {"1", "1", "2", "1", "1", "1", "1", "1"});
    bool stayed = false;
    f.prompts.onRunDialog = [&](QDialog& d) {
        auto& dialog = static_cast<PoolDialog&>(d);
        dialog.addSources({QString::fromStdString(a), QString::fromStdString(other)});
        dialog.output->setText(f.path("รวม.ans"));
        dialog.okButton->click();
        stayed = dialog.result() != QDialog::Accepted;
        dialog.cancelButton->click();
        return dialog.result();
    };
    Control<QPushButton>(w, "cmdPoolFiles")->click();
    QVERIFY(stayed);
    QCOMPARE(f.messages.size(), 3);
    QVERIFY(f.informations.isEmpty());
    QVERIFY(f.messages[2].contains("ห้องค.ans"));
    QVERIFY(f.messages[2].contains("ข้อ 3"));
    QVERIFY(!QFileInfo::exists(f.path("รวม.ans")));
    QCOMPARE(QString::fromStdString(w.session().fileName()), f.path("ห้องก.ans"));
}

QTEST_MAIN(GroupComparisonPanelTest)
#include "qtest_GroupComparisonPanel.moc"
