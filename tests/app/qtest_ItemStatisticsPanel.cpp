// SPDX-License-Identifier: GPL-3.0-or-later
// The item statistics panel of the window: what it shows of an exam file, the
// sorting of its item table, and the key check with its what-if, applying
// and undoing a change and the notices about stored results made with the
// old key.

#include "WindowFixture.h"
#include "analysis/ExamAnswers.h"
#include "analysis/ItemStatistics.h"
#include "app/ItemStatisticsPanel.h"
#include "examfile/Engine.h"
#include "examfile/Val.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

using namespace ia;

namespace {

using iatest::Control;
using iatest::HeaderFieldEdit;

using iatest::Sheet;

// Four items keyed 1; on item 3 the sheets with the higher totals chose 2.
std::vector<std::vector<std::string>> MiskeyedSheets() {
    return {Sheet("1", "1121"), Sheet("2", "1121"), Sheet("3", "1123"), Sheet("4", "1321"),
            Sheet("5", "1413"), Sheet("6", "3114"), Sheet("7", "4314"), Sheet("8", "3413"),
            Sheet("9", "4434"), Sheet("10", "1121")};
}

QString Dec4(const std::optional<double>& x) {
    return x ? QString::number(*x, 'f', 4) : QString("—");
}

std::string KeyField(const std::string& path, int item) {
    Connection db(path, Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT X" + std::to_string(item) + " FROM TKey");
    if (!st.step()) return "<no row>";
    return st.column(0).isNull() ? "<null>" : st.column(0).text();
}

// The stored results of the techniques, as text.
std::string StoredResults(const std::string& path) {
    Connection db(path, Connection::Mode::ReadOnly);
    std::string all;
    for (const char* q : {"SELECT * FROM TOut ORDER BY rowid", "SELECT * FROM TStat"}) {
        auto st = db.prepare(q);
        while (st.step())
            for (int i = 0; i < st.columnCount(); ++i)
                all += st.column(i).text() + "|";
    }
    return all;
}

int RowOfItem(QTableWidget* t, int item) {
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, 0)->text().toInt() == item) return r;
    return -1;
}

} // namespace

class ItemStatisticsPanelTest : public QObject {
    Q_OBJECT

    // Opens a file made in the test, as the teacher does.
    std::string open(iatest::WindowFixture& f, const std::vector<std::string>& key,
                     const std::vector<std::vector<std::string>>& sheets,
                     const char* name = "stats.ans") {
        const QString path = f.path(name);
        iatest::MakeExamFile(path.toStdString(), iatest::MakeHeader(4, 4), key, sheets);
        f.nextFile = path;
        Control<QPushButton>(f.w(), "Command2")->click();
        return f.w().session().fileName();
    }

  private slots:
    void showsTheFileWithoutWritingIt();
    void itemTableSortsByEachColumn();
    void whatIfApplyAndUndo();
    void droppingAnItemAndRunningTheTechniqueAgain();
    void refusalsAndAWriteTheFileRefuses();
    void resultsOfAnEarlierSessionWithAnotherKey();
    void everySurfaceTellsOldResultsAndScores();
};

void ItemStatisticsPanelTest::showsTheFileWithoutWritingIt() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = open(f, {"1", "1", "1", "1"}, MiskeyedSheets());
    QVERIFY(Control<QPushButton>(w, "cmdItemStats")->isVisible());
    Control<QPushButton>(w, "Command5")->click();
    const std::string before = iatest::FileBytes(path);
    const QString report = Control<QPlainTextEdit>(w, "RichTextBox1")->toPlainText();

    Control<QPushButton>(w, "cmdItemStats")->click();
    ItemStatisticsPanel& p = *Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel");
    QVERIFY(p.isVisible());
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(iatest::FileBytes(path), before);
    QCOMPARE(Control<QPlainTextEdit>(w, "RichTextBox1")->toPlainText(), report);

    const TestStatistics want = ComputeItemStatistics(LoadExamAnswers(path).matrix);
    QVERIFY(p.summary->text().contains("KR-20 " + Dec4(want.kr20)));
    QVERIFY(p.summary->text().contains("ผู้สอบ 10 คน"));
    QVERIFY(p.thresholds->text().contains("0.20"));
    QVERIFY(p.thresholds->text().contains("0.90"));
    QCOMPARE(p.itemTable->rowCount(), 4);
    // Items to check first: the possible miskey on top, and it is selected.
    QVERIFY(p.checkFirst->count() >= 1);
    QCOMPARE(p.checkFirst->item(0)->data(Qt::UserRole).toInt(), 3);
    QVERIFY(p.checkFirst->item(0)->text().contains("ตัวเลือก 2"));
    QCOMPARE(p.selectedItem(), 3);
    // Its choices: 1 .. 4 and no answer, the key marked.
    QCOMPARE(p.choiceTable->rowCount(), 5);
    QVERIFY(p.choiceTable->item(0, 0)->text().contains("เฉลย"));
    for (int r = 1; r < 5; ++r)
        QVERIFY(!p.choiceTable->item(r, 0)->text().contains("เฉลย"));
    QCOMPARE(p.choiceTable->item(4, 0)->text(), QString("ไม่ตอบ"));
    const ItemStatistics& i3 = *want.item(3);
    QCOMPARE(p.choiceTable->item(1, 1)->text(), QString::number(i3.choices[1].count));
    QCOMPARE(p.choiceTable->item(1, 4)->text(), QString::number(*i3.choices[1].rpb, 'f', 3));
    QCOMPARE(p.choiceTable->item(1, 9)->text(), QString::number(*i3.choices[1].groups[4], 'f', 2));
    // No stored result is out of date yet.
    QVERIFY(p.outdatedNotice->isHidden());
    QVERIFY(Control<QLabel>(w, "lblReportOutdated")->isHidden());

    // Choosing another item from the list shows its choices.
    p.selectItem(1);
    QVERIFY(!p.choiceTable->item(0, 0)->text().contains("ไม่ตอบ"));
    QVERIFY(p.itemFlags->text().startsWith("ข้อ 1"));
    p.closeButton->click();
    QVERIFY(!p.isVisible());
    QVERIFY2(Control<QFrame>(w, "Picture3")->isVisible(), "the report is still there");
}

void ItemStatisticsPanelTest::itemTableSortsByEachColumn() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    open(f, {"1", "1", "1", "1"}, MiskeyedSheets());
    Control<QPushButton>(w, "cmdItemStats")->click();
    QTableWidget* t = Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel")->itemTable;
    QHeaderView* header = t->horizontalHeader();
    for (int col : {2, 3, 4, 5, 0}) {
        for (int pass = 0; pass < 2; ++pass) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(col) + 5, 5));
            const bool ascending = header->sortIndicatorOrder() == Qt::AscendingOrder;
            for (int r = 1; r < t->rowCount(); ++r) {
                const double a = t->item(r - 1, col)->data(Qt::UserRole).toDouble();
                const double b = t->item(r, col)->data(Qt::UserRole).toDouble();
                QVERIFY2(ascending ? a <= b : a >= b, qPrintable(QString::number(col)));
            }
        }
    }
    // Sorted by item number again, the 3rd row is item 3.
    QCOMPARE(RowOfItem(t, 3), header->sortIndicatorOrder() == Qt::AscendingOrder ? 2 : 1);
}

void ItemStatisticsPanelTest::whatIfApplyAndUndo() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = open(f, {"1", "1", "1", "1"}, MiskeyedSheets());
    Control<QPushButton>(w, "Command5")->click();
    const std::string stored = StoredResults(path);
    Control<QPushButton>(w, "cmdItemStats")->click();
    ItemStatisticsPanel& p = *Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel");
    QVERIFY(p.selectItem(3));

    // Before applying: what the change would give.
    const AnswerMatrix m = LoadExamAnswers(path).matrix;
    const KeyChangeEffect toTwo = EffectOfKeyChange(m, 3, 2);
    const KeyChangeEffect dropped = EffectOfKeyChange(m, 3, kNoAnswer);
    QVERIFY(p.whatIf->isVisible());
    QVERIFY2(p.whatIf->text().contains("ถ้าเปลี่ยนเฉลยเป็น 2: KR-20 " + Dec4(toTwo.kr20) +
                                       ", r_it ของข้อนี้ " + Dec4(toTwo.rit)),
             qPrintable(p.whatIf->text()));
    QVERIFY(p.whatIf->text().contains("ถ้าตัดข้อนี้ (ไม่นับคะแนน): KR-20 " + Dec4(dropped.kr20)));
    QCOMPARE(p.changeKeyButtons.size(), size_t(1));
    QCOMPARE(p.changeKeyButtons[0]->text(), QString("เปลี่ยนเฉลยเป็น 2"));
    QVERIFY(!p.canUndo());
    // An item without a possible miskey offers no key change.
    p.selectItem(1);
    QVERIFY(!p.whatIf->isVisible());
    QVERIFY(p.changeKeyButtons.empty());

    p.selectItem(3);
    p.changeKeyButtons[0]->click();
    QCOMPARE(KeyField(path, 3), std::string("2"));
    // The results still describe the old key.
    QCOMPARE(StoredResults(path), stored);
    QCOMPARE(*p.statistics().kr20, *toTwo.kr20);
    QCOMPARE(*p.statistics().item(3)->rit, *toTwo.rit);
    QCOMPARE(p.selectedItem(), 3);
    // The key grid shows the new key; both panels say the results are old.
    QCOMPARE(w.views().key.Recordset()->field(3).text(), std::string("2"));
    QVERIFY(p.outdatedNotice->isVisible());
    QVERIFY(p.rerunButton->isVisible());
    QCOMPARE(p.rerunButton->text(), QString("วิเคราะห์ 25 % ใหม่"));
    QVERIFY(!Control<QLabel>(w, "lblReportOutdated")->isHidden());
    QVERIFY(!Control<QPushButton>(w, "cmdReportRerun")->isHidden());
    QVERIFY(p.canUndo());
    QVERIFY(p.undoButton->isVisible());
    QVERIFY(p.undoButton->text().contains("ข้อ 3"));

    p.undoButton->click();
    QCOMPARE(KeyField(path, 3), std::string("1"));
    QVERIFY(!p.canUndo());
    QVERIFY(p.undoButton->isHidden());
    QVERIFY(p.outdatedNotice->isHidden());
    QVERIFY(Control<QLabel>(w, "lblReportOutdated")->isHidden());
    QCOMPARE(*p.statistics().kr20, *ComputeItemStatistics(m).kr20);
    QCOMPARE(w.views().key.Recordset()->field(3).text(), std::string("1"));
    QVERIFY(f.messages.isEmpty());
}

void ItemStatisticsPanelTest::droppingAnItemAndRunningTheTechniqueAgain() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = open(f, {"1", "1", "1", "1"}, MiskeyedSheets());
    Control<QPushButton>(w, "Command6")->click();
    Control<QPushButton>(w, "cmdItemStats")->click();
    ItemStatisticsPanel& p = *Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel");
    QVERIFY(p.selectItem(3));
    const KeyChangeEffect dropped = EffectOfKeyChange(LoadExamAnswers(path).matrix, 3, kNoAnswer);
    p.dropItemButton->click();
    QCOMPARE(KeyField(path, 3), std::string(""));
    QCOMPARE(p.itemTable->rowCount(), 3);
    QCOMPARE(RowOfItem(p.itemTable, 3), -1);
    QCOMPARE(*p.statistics().kr20, *dropped.kr20);
    QCOMPARE(p.rerunButton->text(), QString("วิเคราะห์ 27 % ใหม่"));

    // Running the last technique again: the results follow the new key, the
    // notices go, the panel stays in front and can still undo.
    p.rerunButton->click();
    QVERIFY(f.messages.isEmpty());
    QVERIFY(p.outdatedNotice->isHidden());
    QVERIFY(Control<QLabel>(w, "lblReportOutdated")->isHidden());
    QVERIFY(p.isVisible());
    QVERIFY(p.canUndo());
    {
        Connection db(path, Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT KR20, nItem FROM TStat");
        QVERIFY(st.step());
        QVERIFY(std::abs(Val(st.column(0).text()) - *dropped.kr20) <= 0.00005 + 1e-9);
        QCOMPARE(st.columnInt(1), 3LL);
    }
    QVERIFY(p.undoButton->isVisible());
    // Undoing now makes the fresh results old again.
    p.undoButton->click();
    QCOMPARE(KeyField(path, 3), std::string("1"));
    QVERIFY(p.outdatedNotice->isVisible());
}

void ItemStatisticsPanelTest::refusalsAndAWriteTheFileRefuses() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    open(f, {"", "0", "\x01", ""}, MiskeyedSheets(), "nokey.ans");
    Control<QPushButton>(w, "cmdItemStats")->click();
    QVERIFY(!Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel")->isVisible());
    QCOMPARE(f.messages, QStringList{"ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้"});
    f.messages.clear();
    open(f, {"1", "1", "1", "1"}, {Sheet("1", "1111")}, "one.ans");
    Control<QPushButton>(w, "cmdItemStats")->click();
    QVERIFY(!Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel")->isVisible());
    QCOMPARE(f.messages, QStringList{"จำนวนกระดาษคำตอบน้อยเกินไป วิเคราะห์ไม่ได้"});
    f.messages.clear();

    const std::string path = open(f, {"1", "1", "1", "1"}, MiskeyedSheets());
    Control<QPushButton>(w, "cmdItemStats")->click();
    ItemStatisticsPanel& p = *Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel");
    QVERIFY(p.selectItem(3));
    // The file refuses the write (as a damaged or foreign file would).
    Connection(path).exec("CREATE TRIGGER refuse_key BEFORE UPDATE ON TKey "
                          "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    QVERIFY(!p.applyKeyChange(2));
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].startsWith("แก้เฉลยไม่ได้"));
    QCOMPARE(KeyField(path, 3), std::string("1"));
    QVERIFY(!p.canUndo());
    Connection(path).exec("DROP TRIGGER refuse_key");

    // The undo list is the file's: another file opened, it is gone.
    QVERIFY(p.applyKeyChange(2));
    QVERIFY(p.canUndo());
    open(f, {"1", "1", "1", "1"}, MiskeyedSheets(), "other.ans");
    QVERIFY(!p.isVisible());
    Control<QPushButton>(w, "cmdItemStats")->click();
    QVERIFY(!p.canUndo());
}

void ItemStatisticsPanelTest::resultsOfAnEarlierSessionWithAnotherKey() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = open(f, {"1", "1", "1", "1"}, MiskeyedSheets());
    Control<QPushButton>(w, "Command5")->click();
    open(f, {"1", "1", "1", "1"}, MiskeyedSheets(), "other.ans");
    {
        // Changed by hand, or by this panel before the program was closed.
        Connection db(path);
        db.exec("UPDATE TKey SET X3='2'");
    }
    f.nextFile = QString::fromStdString(path);
    Control<QPushButton>(w, "Command2")->click();
    Control<QPushButton>(w, "cmdItemStats")->click();
    ItemStatisticsPanel& p = *Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel");
    QVERIFY(p.outdatedNotice->isVisible());
    QVERIFY(p.outdatedNotice->text().contains("25 % หรือ 27 %"));
    // Which technique made them is not known now; the teacher picks one.
    QVERIFY(p.rerunButton->isHidden());
    Control<QPushButton>(w, "Command6")->click();
    Control<QPushButton>(w, "cmdItemStats")->click();
    QVERIFY(p.outdatedNotice->isHidden());
}

// A sheet changed after the analysis: the report, the statistics and the
// charts say the results are old, the score column greys with a tip naming
// รวมคะแนน, which makes the scores current again; the statistics panel shows
// the report's own judgement of the item.
void ItemStatisticsPanelTest::everySurfaceTellsOldResultsAndScores() {
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    open(f, {"1", "1", "1", "1"}, MiskeyedSheets());
    Control<QPushButton>(w, "Command5")->click();
    auto* scores = Control<QTableView>(w, "DBGrid1")->model();
    const int scoreColumn = scores->columnCount() - 1;
    const QModelIndex firstScore = scores->index(0, scoreColumn);
    QVERIFY(!scores->data(firstScore, Qt::ToolTipRole).isValid());
    Control<QPushButton>(w, "cmdItemStats")->click();
    ItemStatisticsPanel& p = *Control<ia::ItemStatisticsPanel>(w, "ItemStatisticsPanel");
    p.selectItem(3);
    QVERIFY(p.itemFlags->text().contains("รายงาน: ข้อ"));
    p.closeButton->click();

    // An answer typed in the grid, as the teacher does.
    const QString before = scores->data(scores->index(0, 1)).toString();
    QVERIFY(scores->setData(scores->index(0, 1), before == "1" ? "2" : "1"));
    QTRY_VERIFY(!Control<QLabel>(w, "lblReportOutdated")->isHidden());
    QCOMPARE(Control<QLabel>(w, "lblReportOutdated")->text(), QString(ia::kResultsOutdatedNotice));
    QVERIFY(scores->data(firstScore, Qt::ToolTipRole).toString().contains("รวมคะแนน"));
    QCOMPARE(scores->data(firstScore, Qt::ForegroundRole).value<QColor>(), QColor(160, 160, 160));
    Control<QPushButton>(w, "cmdItemStats")->click();
    QVERIFY(p.outdatedNotice->isVisible());
    p.closeButton->click();
    Control<QPushButton>(w, "cmdGraphs")->click();
    QVERIFY(Control<QLabel>(w, "GraphOutdated")->isVisible());
    Control<QPushButton>(w, "GraphClose")->click();

    Control<QPushButton>(w, "cmdClose")->click(); // รวมคะแนน
    QTRY_VERIFY(!scores->data(scores->index(0, scoreColumn), Qt::ToolTipRole).isValid());
    // The results are still those of the old answers.
    QVERIFY(!Control<QLabel>(w, "lblReportOutdated")->isHidden());
    QVERIFY(f.messages.isEmpty());
}

QTEST_MAIN(ItemStatisticsPanelTest)
#include "qtest_ItemStatisticsPanel.moc"
