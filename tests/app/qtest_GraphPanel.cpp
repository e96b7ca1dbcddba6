// SPDX-License-Identifier: GPL-3.0-or-later
// The "กราฟ" panel of the analysis bar and the "พิมพ์กราฟ" button of the
// report panel, on exam files made in the test.

#include "WindowFixture.h"
#include "app/GraphPanel.h"
#include "app/ItemStatisticsPanel.h"
#include "report/GraphReport.h"

#include <QComboBox>
#include <QImage>
#include <QtTest>

using namespace ia;

namespace {

using iatest::Control;
using iatest::HeaderFieldEdit;

// Eight items, four choices; item 5 has no key.
void MakeFile(const std::string& path) {
    std::vector<std::vector<std::string>> sheets;
    for (int i = 0; i < 12; ++i) {
        std::vector<std::string> s{std::to_string(i + 1)};
        for (int k = 0; k < 8; ++k)
            s.push_back(std::to_string(k < i % 9 ? 1 : 2 + (i + k) % 3));
        sheets.push_back(s);
    }
    iatest::MakeExamFile(path, iatest::MakeHeader(8, 4), {"1", "1", "1", "1", "", "1", "1", "1"},
                         sheets);
}

// Pixels of a widget that are neither white nor its background.
int InkedPixels(QWidget* w) {
    const QImage img = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2)
            n += img.pixelColor(x, y) != QColor(Qt::white);
    return n;
}

} // namespace

class GraphPanelTest : public QObject {
    Q_OBJECT

    void open(iatest::WindowFixture& f) {
        const QString path = f.path("m1.ans");
        MakeFile(path.toStdString());
        f.nextFile = path;
        Control<QPushButton>(f.w(), "Command2")->click();
        QVERIFY(f.w().views().sheets.isOpen());
    }

  private slots:
    void beforeAnyAnalysisTheTeacherIsToldToAnalyse() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f);
        QVERIFY(Control<QPushButton>(f.w(), "cmdGraphs")->isVisible());
        Control<QPushButton>(f.w(), "cmdGraphs")->click();
        QVERIFY(!Control<ia::GraphPanel>(f.w(), "GraphPanel")->isVisible());
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages[0].contains("วิเคราะห์"));
    }

    void anotherFileOpenedIsNotAnalysedYet() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f);
        Control<QPushButton>(f.w(), "Command6")->click();
        Control<QPushButton>(f.w(), "Command8")->click();
        // The charts would show the results of the file opened before.
        const QString other = f.path("m2.ans");
        MakeFile(other.toStdString());
        f.nextFile = other;
        Control<QPushButton>(f.w(), "Command2")->click();
        QCOMPARE(f.w().session().fileName(), other.toStdString());
        f.messages.clear();
        Control<QPushButton>(f.w(), "cmdGraphs")->click();
        QVERIFY(!Control<ia::GraphPanel>(f.w(), "GraphPanel")->isVisible());
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages[0].contains("วิเคราะห์"));
    }

    void chartsOfTheLastAnalysisAndTheItemPlotFollowsTheChoice() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f);
        Control<QPushButton>(f.w(), "Command6")->click();
        QVERIFY(Control<QFrame>(f.w(), "Picture3")->isVisible());
        Control<QPushButton>(f.w(), "Command8")->click();
        Control<QPushButton>(f.w(), "cmdGraphs")->click();
        GraphPanel& g = *Control<ia::GraphPanel>(f.w(), "GraphPanel");
        QVERIFY(g.isVisible());
        QVERIFY(f.messages.isEmpty());
        // Keyed items only.
        QStringList items;
        for (int i = 0; i < g.itemChooser->count(); ++i)
            items << g.itemChooser->itemText(i);
        QCOMPARE(items, QStringList({"ข้อ 1", "ข้อ 2", "ข้อ 3", "ข้อ 4", "ข้อ 6", "ข้อ 7", "ข้อ 8"}));
        QCOMPARE(g.selectedItem(), 1);
        for (ChartView* v : {g.histogram, g.ddPlot, g.itemPlot})
            QVERIFY(InkedPixels(v) > 100);

        const QImage before = g.itemPlot->grab().toImage();
        g.itemChooser->setFocus();
        QTest::keyClick(g.itemChooser, Qt::Key_Down);
        QCOMPARE(g.selectedItem(), 2);
        QVERIFY(g.itemPlot->grab().toImage() != before);
        g.selectItem(6);
        QCOMPARE(g.itemChooser->currentText(), QString("ข้อ 6"));
        g.selectItem(5); // no key: no plot of its own
        QCOMPARE(g.selectedItem(), 6);

        // Analysing again puts the panel away: its charts are out of date.
        g.closeButton->click();
        QVERIFY(!g.isVisible());
        Control<QPushButton>(f.w(), "cmdGraphs")->click();
        QVERIFY(g.isVisible());
        Control<QPushButton>(f.w(), "Command5")->click();
        QVERIFY(!g.isVisible());
    }

    void theItemStatisticsPanelOpensTheChartsAtItsItem() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f);
        Control<QPushButton>(f.w(), "Command6")->click();
        Control<QPushButton>(f.w(), "Command8")->click();
        Control<QPushButton>(f.w(), "cmdItemStats")->click();
        ItemStatisticsPanel& stats =
            *Control<ia::ItemStatisticsPanel>(f.w(), "ItemStatisticsPanel");
        QVERIFY(stats.isVisible());
        QVERIFY(stats.selectItem(4));
        stats.graphButton->click();
        GraphPanel& g = *Control<ia::GraphPanel>(f.w(), "GraphPanel");
        QVERIFY(g.isVisible());
        QCOMPARE(g.selectedItem(), 4);
        // Closing the charts goes back to the statistics.
        g.closeButton->click();
        QVERIFY(stats.isVisible());
    }

    void printGraphsWritesTheGraphicalReport() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        open(f);
        Control<QPushButton>(f.w(), "Command5")->click();
        QVERIFY(Control<QPushButton>(f.w(), "cmdPrintGraphs")->isVisible());
        std::string written;
        f.w().printTargets().openGraphPages = [&](const std::string& pdf, std::string& notice) {
            written = pdf;
            notice = "ไม่พบเครื่องพิมพ์ บันทึกเป็นไฟล์ PDF : " + pdf;
            return PdfGraphPages(pdf);
        };
        Control<QLineEdit>(f.w(), "Text2")->setText("โรงเรียนบ้านปี่ฟื้น");
        Control<QPushButton>(f.w(), "cmdPrintGraphs")->click();
        QCOMPARE(QString::fromStdString(written), f.path("m1.graphs.pdf"));
        const auto pages = iatest::PdfPageTexts(written);
        QCOMPARE(pages.size(), size_t(8)); // the summary and seven keyed items
        QVERIFY(iatest::SqueezedLines(pages[0]).size() > 3);
        QCOMPARE(QString::fromStdString(iatest::SqueezedLines(pages[1])[1]),
                 QString("โรงเรียนบ้านปี่ฟื้น"));
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages[0].contains("m1.graphs.pdf"));
    }
};

QTEST_MAIN(GraphPanelTest)
#include "qtest_GraphPanel.moc"
