// SPDX-License-Identifier: GPL-3.0-or-later
// Counts past 32,767: new files hold them in 32-bit fields; files made with
// the 16-bit fields are widened when an analysis needs it, and nothing else
// of them changes.

#include "BoundExam.h"
#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace ia;

namespace {

using iatest::NarrowColumn;
using iatest::WideColumn;

std::string TableSql(Connection& db, const std::string& table) {
    auto st = db.prepare("SELECT sql FROM sqlite_schema WHERE type='table' AND name=?");
    st.bind(1, Value(table));
    return st.step() ? st.column(0).text() : "";
}

const auto MakeOld = iatest::MakeOldCountFields;

std::vector<std::string> Columns(const std::string& path, const std::string& table) {
    Connection db(path, Connection::Mode::ReadOnly);
    std::vector<std::string> names;
    for (const auto& f : db.tableFields(table))
        names.push_back(f.name + " " + f.declType);
    return names;
}

long long Scalar(const std::string& path, const std::string& sql) {
    Connection db(path, Connection::Mode::ReadOnly);
    auto st = db.prepare(sql);
    return st.step() ? st.columnInt(0) : -1;
}

using Bound = iatest::BoundExam;

} // namespace

TEST(WideCounts, NewFilesHold32BitCounts) {
    iatest::TempDir dir;
    const std::string path = dir.file("new.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(2, 4), {"1", "1"}, {});
    Connection db(path);
    EXPECT_NE(TableSql(db, "TStat").find(WideColumn("nCase")), std::string::npos);
    EXPECT_NE(TableSql(db, "TOut").find(WideColumn("H")), std::string::npos);
    EXPECT_NE(TableSql(db, "TOut").find(WideColumn("L")), std::string::npos);
    db.exec("UPDATE TStat SET nCase = 1000000");
    db.exec("INSERT INTO TOut (H, L) VALUES (270000, 40000)");
    EXPECT_ANY_THROW(db.exec("UPDATE TStat SET nCase = 2147483648"));
}

TEST(WideCounts, AnOldFileGrowsPast32767SheetsAndKeepsEverythingElse) {
    iatest::TempDir dir;
    const std::string path = dir.file("old.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(2, 4), {"1", "2"}, {});
    MakeOld(path);
    {
        Connection db(path);
        // The old field refuses a large count, as it did.
        EXPECT_ANY_THROW(db.exec("UPDATE TStat SET nCase = 32768"));
        db.exec("UPDATE TStat SET MaxScore = 7, MinScore = 1");
        db.exec("CREATE INDEX stat_cases ON TStat (nCase)");
        db.exec("INSERT INTO TAData (Code, X1, X2) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                "SELECT i + 1 FROM n WHERE i < 32770) SELECT i, CAST(i % 4 + 1 AS TEXT), "
                "CAST(i % 3 + 1 AS TEXT) FROM n");
    }
    ASSERT_TRUE(ExamStructureOk(path)); // a 16-bit file is an exam file
    const auto statColumns = Columns(path, "TStat");
    const auto outColumns = Columns(path, "TOut");
    {
        Bound b(path);
        RunTechnique(b.ctx, Technique::SimpleFormula25, iatest::BinDir());
        EXPECT_EQ(b.state.SheetCount, 32770);
    }
    EXPECT_TRUE(ExamStructureOk(path));
    EXPECT_EQ(Scalar(path, "SELECT nCase FROM TStat"), 32770);
    EXPECT_EQ(Scalar(path, "SELECT count(*) FROM TStat"), 1);
    EXPECT_EQ(Scalar(path, "SELECT MaxScore FROM TStat"), 7);
    EXPECT_EQ(Scalar(path, "SELECT MinScore FROM TStat"), 1);
    EXPECT_EQ(Scalar(path, "SELECT count(*) FROM sqlite_schema WHERE name='stat_cases'"), 1);
    EXPECT_EQ(Scalar(path, "SELECT count(*) FROM sqlite_schema WHERE name LIKE '%widened%'"), 0);
    Connection db(path);
    EXPECT_NE(TableSql(db, "TStat").find(WideColumn("nCase")), std::string::npos);
    // Only what needed it was widened: the group counts of 8,192 sheets fit.
    EXPECT_NE(TableSql(db, "TOut").find(NarrowColumn("H")), std::string::npos);
    // The fields keep their names and their order; only nCase's type changed.
    auto after = Columns(path, "TStat");
    ASSERT_EQ(after.size(), statColumns.size());
    for (size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i], i == 0 ? "nCase INTEGER" : statColumns[i]);
    EXPECT_EQ(Columns(path, "TOut"), outColumns);
    EXPECT_EQ(Scalar(path, "SELECT sum(H) + sum(L) FROM TOut"), 4 * 8192);
}

TEST(WideCounts, WideningKeepsRowsRowidsIndexesAndTriggers) {
    iatest::TempDir dir;
    const std::string path = dir.file("old.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(2, 4), {"1", "2"}, {});
    MakeOld(path);
    Connection db(path);
    db.exec("INSERT INTO TOut (rowid, ItemNo, H, L, Explain) VALUES (5, 1, 3, 4, 'ห้า'), "
            "(9, 2, 32767, 0, NULL)");
    db.exec("CREATE INDEX out_items ON TOut (ItemNo)");
    db.exec("CREATE TABLE log (n)");
    db.exec("CREATE TRIGGER out_log AFTER INSERT ON TOut BEGIN INSERT INTO log VALUES (NEW.H); "
            "END");
    {
        Transaction tx(db);
        WidenCountFields(db, "TOut", {"H", "L"});
        db.exec("INSERT INTO TOut (ItemNo, H, L) VALUES (3, 270000, 40000)");
        tx.commit();
    }
    auto st = db.prepare("SELECT rowid, ItemNo, H, L, Explain FROM TOut ORDER BY rowid");
    std::vector<std::string> rows;
    while (st.step())
        rows.push_back(std::to_string(st.columnInt(0)) + " " + st.column(1).text() + " " +
                       st.column(2).text() + " " + st.column(3).text() + " " + st.column(4).text());
    EXPECT_EQ(rows, (std::vector<std::string>{"5 1 3 4 ห้า", "9 2 32767 0 ", "10 3 270000 40000 "}));
    EXPECT_EQ(Scalar(path, "SELECT n FROM log"), 270000);
    EXPECT_EQ(Scalar(path, "SELECT count(*) FROM sqlite_schema WHERE name IN ('out_items', "
                           "'out_log')"),
              2);
    // A second widening finds nothing to do.
    WidenCountFields(db, "TOut", {"H", "L"});
    EXPECT_NE(TableSql(db, "TOut").find(WideColumn("L")), std::string::npos);
}

TEST(WideCounts, ReanalysingAnUnchangedFileRewritesNoSheet) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    std::vector<std::vector<std::string>> sheets;
    for (int i = 0; i < 12; ++i)
        sheets.push_back({std::to_string(i), i % 2 ? "1" : "2", i % 3 ? "2" : "3"});
    iatest::MakeExamFile(path, iatest::MakeHeader(2, 4), {"1", "2"}, sheets);
    {
        Connection db(path);
        db.exec("CREATE TABLE rewritten (id)");
        db.exec("CREATE TRIGGER sheet_rewritten AFTER UPDATE ON TAData BEGIN INSERT INTO "
                "rewritten VALUES (NEW.rowid); END");
    }
    for (Technique technique :
         {Technique::SimpleFormula25, Technique::FanTable27, Technique::SimpleFormula25}) {
        Bound b(path);
        RunTechnique(b.ctx, technique, iatest::BinDir());
    }
    EXPECT_EQ(Scalar(path, "SELECT count(*) FROM rewritten"), 12);
    // A changed answer rewrites that sheet's score alone.
    {
        Connection db(path);
        db.exec("UPDATE TAData SET X1 = '1' WHERE rowid = 1");
        db.exec("DELETE FROM rewritten");
    }
    Bound b(path);
    RunTechnique(b.ctx, Technique::SimpleFormula25, iatest::BinDir());
    EXPECT_EQ(Scalar(path, "SELECT count(*) FROM rewritten WHERE id <> 1"), 0);
    EXPECT_EQ(Scalar(path, "SELECT Score FROM TAData WHERE rowid = 1"), 1);
}
