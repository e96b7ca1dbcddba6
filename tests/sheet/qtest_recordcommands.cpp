// SPDX-License-Identifier: GPL-3.0-or-later
// The record commands of the button bar on the sheets view and DBGrid1.
#include "GridFixture.h"

#include "analysis/Analysis.h"
#include "session/ExamSession.h"

using namespace sheettest;
using ia::SheetGrid;

namespace {

struct NoAnalysisHost : ia::AnalysisHost {};

void PointAt(SheetGrid* g, int row, int column = 0) {
    g->setCurrentIndex(g->model()->index(row, column));
}

} // namespace

class RecordCommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void deleteAsksFirst();
    void deleteMovesToNextOrLast();
    void addGoesToNewRecordRow();
    void sortsByCodeValueAndKeepsTheOrder();
    void sortFailureIsSilent();
    void updateWritesTheOpenEditor();
    void totalWritesScores();
};

void RecordCommandsTest::deleteAsksFirst() {
    GridWindow w(2, 4, {}, {{"7", "1", "2"}, {"", "3", "4"}});
    ScriptedHost host;
    auto& data1 = w.views.sheets;

    host.answers = {false};
    PointAt(w.grid1, 0);
    ia::cmdDelete_Click(data1, *w.grid1, host);
    QCOMPARE(host.titles, QStringList({"คำเตือน"}));
    QCOMPARE(host.texts, QStringList({"กำลังจะลบ เลขที่  :  7"}));
    QCOMPARE(w.table("TAData").size(), size_t(2));
    QCOMPARE(w.grid1->currentRecordPosition(), 0);

    // A sheet without a code gets the same question, with nothing after it.
    host.answers = {true};
    PointAt(w.grid1, 1);
    ia::cmdDelete_Click(data1, *w.grid1, host);
    QCOMPARE(host.texts.last(), QString("กำลังจะลบ เลขที่  :  "));
    QCOMPARE(w.table("TAData").size(), size_t(1));

    // On the new-record row there is no sheet to ask about.
    host.answers = {true};
    PointAt(w.grid1, 1);
    ia::cmdDelete_Click(data1, *w.grid1, host);
    QCOMPARE(host.texts.size(), 2);
    QCOMPARE(w.table("TAData").size(), size_t(1));
}

void RecordCommandsTest::deleteMovesToNextOrLast() {
    GridWindow w(1, 4, {}, {{"1"}, {"2"}, {"3"}});
    ScriptedHost host;
    host.answers = {true, true, true, true};
    auto& data1 = w.views.sheets;

    PointAt(w.grid1, 0);
    ia::cmdDelete_Click(data1, *w.grid1, host); // the next sheet becomes current
    QCOMPARE(w.gridCodes(), QStringList({"2", "3"}));
    QCOMPARE(w.grid1->currentRecordPosition(), 0);
    QCOMPARE(w.cell(w.grid1, w.grid1->currentIndex().row(), 0), QString("2"));

    PointAt(w.grid1, 1);
    ia::cmdDelete_Click(data1, *w.grid1, host); // the last one: the new last
    QCOMPARE(w.gridCodes(), QStringList({"2"}));
    QCOMPARE(w.grid1->currentRecordPosition(), 0);

    ia::cmdDelete_Click(data1, *w.grid1, host); // the only one: nothing left
    QCOMPARE(w.gridCodes(), QStringList());
    QCOMPARE(w.grid1->currentRecordPosition(), -1);
    QCOMPARE(w.grid1->model()->rowCount(), 1);

    ia::cmdDelete_Click(data1, *w.grid1, host); // no sheets: no question
    QCOMPARE(host.texts.size(), 3);
    QVERIFY(w.table("TAData").empty());
}

void RecordCommandsTest::addGoesToNewRecordRow() {
    // Wherever the pointer was, the new sheet starts at its code.
    GridWindow empty(1, 4, {}, {});
    PointAt(empty.grid1, 0, 1);
    ia::cmdAdd_Click(empty.views.sheets, *empty.grid1);
    QCOMPARE(empty.grid1->currentIndex().row(), 0);
    QCOMPARE(empty.grid1->currentIndex().column(), 0);
    QVERIFY(empty.table("TAData").empty());

    GridWindow w(1, 4, {}, {{"1"}, {"2"}});
    PointAt(w.grid1, 0, 2);
    ia::cmdAdd_Click(w.views.sheets, *w.grid1);
    QCOMPARE(w.grid1->currentIndex().row(), 2);
    QCOMPARE(w.grid1->currentIndex().column(), 0);
    QCOMPARE(w.grid1->currentRecordPosition(), -1);
    QCOMPARE(w.table("TAData").size(), size_t(2));
}

void RecordCommandsTest::sortsByCodeValueAndKeepsTheOrder() {
    GridWindow w(1, 4, {}, {{"10"}, {"2"}, {"1"}, {"a7"}});
    auto& data1 = w.views.sheets;
    ia::OrderByCodeCommand(data1, *w.grid1,
                           [&] { ia::OrderSheets(data1, ia::SheetOrder::ByCode); });
    QCOMPARE(w.gridCodes(), QStringList({"a7", "1", "2", "10"}));
    QCOMPARE(QString::fromStdString(data1.RecordSource),
             QString("select * from TAData order by val(Code)"));
    QCOMPARE(w.grid1->model()->headerData(0, Qt::Horizontal).toString(), QString("เลขที่/รหัส"));

    // A sheet added later falls into its place at the next read.
    PointAt(w.grid1, 4);
    w.grid1->model()->setData(w.grid1->model()->index(4, 0), "3");
    ia::cmdRefresh_Click(data1, *w.grid1);
    QCOMPARE(w.gridCodes(), QStringList({"a7", "1", "2", "3", "10"}));
    QCOMPARE(w.grid1->model()->headerData(1, Qt::Horizontal).toString(), QString("1"));
}

void RecordCommandsTest::sortFailureIsSilent() {
    GridWindow w(1, 4, {}, {{"1"}});
    auto& data1 = w.views.sheets;
    data1.DatabaseName = w.dir.file("missing.ans");
    ia::OrderByCodeCommand(data1, *w.grid1,
                           [&] { ia::OrderSheets(data1, ia::SheetOrder::ByCode); }); // no exception
    // The view stays as it was, and the grid shows it.
    QVERIFY(data1.Recordset());
    QCOMPARE(w.grid1->sheetModel()->recordCount(), 1);
    QCOMPARE(w.gridCodes(), QStringList({"1"}));
}

void RecordCommandsTest::updateWritesTheOpenEditor() {
    GridWindow w(2, 4, {}, {{"1", "1", "1"}, {"2", "2", "2"}});
    QVERIFY(w.show());
    w.grid1->setFocus();

    PointAt(w.grid1, 0, 0);
    Type("11");
    ia::cmdUpdate_Click(w.views.sheets, *w.grid1);
    QCOMPARE(w.table("TAData").at(0).at(0), QString("11"));
    QCOMPARE(w.grid1->currentRecordPosition(), 0);

    // A sheet begun on the new-record row becomes the current record.
    PointAt(w.grid1, 2, 0);
    Type("3");
    ia::cmdUpdate_Click(w.views.sheets, *w.grid1);
    QCOMPARE(w.table("TAData").size(), size_t(3));
    QCOMPARE(w.grid1->currentRecordPosition(), 2);
}

void RecordCommandsTest::totalWritesScores() {
    GridWindow none(3, 4, {"1", "2", "3"}, {});
    ia::AnalysisState state;
    NoAnalysisHost analysisHost;
    ScriptedHost host;
    {
        ia::AnalysisContext ctx{none.views, none.header, state, analysisHost};
        ia::TotalScoresCommand(none.views.sheets, *none.grid1, host, [&] { ia::TotalSheets(ctx); });
        QVERIFY(host.busy.isEmpty()); // no sheets: nothing happens
    }

    GridWindow w(3, 4, {"1", "2", "3"}, {{"1", "1", "2", "3"}, {"2", "1", "1", "1"}});
    ia::AnalysisContext ctx{w.views, w.header, state, analysisHost};
    ia::TotalScoresCommand(w.views.sheets, *w.grid1, host, [&] { ia::TotalSheets(ctx); });
    QCOMPARE(host.busy, QList<bool>({true, false}));
    QCOMPARE(state.FirstItemField, 1);
    QCOMPARE(int(state.LastItemField), 3);
    QCOMPARE(w.table("TAData").at(0).at(4), QString("3"));
    QCOMPARE(w.table("TAData").at(1).at(4), QString("1"));
    QCOMPARE(w.table("TKey").at(0).at(4), QString("3"));
    // The grid shows the re-read sheets, laid out again.
    QCOMPARE(w.cell(w.grid1, 0, 4), QString("3"));
    QCOMPARE(w.grid1->model()->headerData(4, Qt::Horizontal).toString(), QString("คะแนน"));
}

QTEST_MAIN(RecordCommandsTest)
#include "qtest_recordcommands.moc"
