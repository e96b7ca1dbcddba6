// SPDX-License-Identifier: GPL-3.0-or-later
// Students' names kept beside the answer sheets (our own table, tied to each
// sheet by its rowid): they stay with their sheets through sorting, a backup
// copy and VACUUM, go with a deleted sheet and come back with its undo.

#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "exchange/SheetImport.h"
#include "exchange/TextTable.h"
#include "session/ExamSession.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Names = std::map<std::string, std::string>;

// Code → name of every named sheet, as the tie joins them.
Names NamesByCode(const std::string& path) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    using namespace ia::schema;
    Names out;
    auto st = db.prepare(std::string("SELECT s.") + kSheetCode + ", n." + kSheetName + " FROM " +
                         kSheetsTable + " s JOIN " + kSheetNameTable + " n ON n." +
                         kNameSheetRowid + " = s.rowid");
    while (st.step())
        out[st.column(0).text()] = st.column(1).text();
    return out;
}

long long Count(const std::string& path, const std::string& sql) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare(sql);
    return st.step() ? st.columnInt(0) : -1;
}

struct NamedFile {
    iatest::TempDir dir;
    std::string path = dir.file("ม2.ans");
    ia::ExamSession session;
    std::vector<ia::EditStep> steps;

    NamedFile() {
        iatest::MakeExamFile(path, iatest::MakeHeader(3, 4), {"1", "2", "3"},
                             {iatest::Sheet("5", "123"), iatest::Sheet("3", "111"),
                              iatest::Sheet("4", "222"), iatest::Sheet("1", "333"),
                              iatest::Sheet("2", "123")});
        session.keepEditHistory();
        session.onStepRecorded = [this](const ia::EditStep& s) { steps.push_back(s); };
    }
    ia::RecordSet& sheets() { return *session.views().sheets.Recordset(); }
    int positionOf(const std::string& code) {
        for (int p = 0; p < sheets().recordCount(); ++p)
            if (sheets().rowAt(p).at(0).text() == code) return p;
        return -1;
    }
    // Every sheet named "นักเรียน <code>", one step.
    void nameEverySheet() {
        std::vector<std::pair<long long, std::string>> names;
        for (int p = 0; p < sheets().recordCount(); ++p)
            names.emplace_back(sheets().rowidAt(p), "นักเรียน " + sheets().rowAt(p).at(0).text());
        ASSERT_FALSE(session.setSheetNames(names));
        session.recordStep("ตั้งชื่อ");
    }
    void deleteSheet(const std::string& code) {
        sheets().moveTo(positionOf(code));
        ASSERT_FALSE(session.deleteCurrentSheet());
        session.recordStep("ลบกระดาษคำตอบเลขที่ " + code);
    }
};

Names Expected(std::initializer_list<const char*> codes) {
    Names out;
    for (const char* c : codes)
        out[c] = std::string("นักเรียน ") + c;
    return out;
}

TEST(SheetNames, StayWithTheirSheetsThroughSortingBackupAndVacuum) {
    NamedFile f;
    ASSERT_FALSE(f.session.open(f.path));
    f.nameEverySheet();
    // A deleted sheet leaves a gap in the rowids, which a VACUUM that
    // renumbers the sheets would close.
    f.deleteSheet("3");
    const Names expected = Expected({"1", "2", "4", "5"});
    EXPECT_EQ(NamesByCode(f.path), expected);
    EXPECT_EQ(Count(f.path, "SELECT count(*) FROM itemanalysis_SheetName"), 4);
    ASSERT_GT(Count(f.path, "SELECT max(rowid) - count(*) FROM TAData"), 0);

    // Sorting reads the sheets in another order; each keeps its name.
    ASSERT_FALSE(f.session.orderSheets(ia::SheetOrder::ByCode));
    const auto names = f.session.sheetNames();
    ASSERT_TRUE(names.ok());
    for (int p = 0; p < f.sheets().recordCount(); ++p) {
        const std::string code = f.sheets().rowAt(p).at(0).text();
        EXPECT_EQ(names.value.at(f.sheets().rowidAt(p)), "นักเรียน " + code) << p;
    }
    f.session.close();

    // The copy the import takes before it replaces the sheets.
    {
        ia::ImportBackup backup;
        std::string error;
        ASSERT_TRUE(backup.take(f.path, error)) << error;
        ASSERT_TRUE(backup.keep(error)) << error;
        EXPECT_EQ(NamesByCode(backup.path()), expected);
    }
    // A copy made by the engine from the statements of the tables, and the
    // file rebuilt in place.
    const std::string copy = f.dir.file("สำเนา.ans");
    {
        ia::Connection db(f.path);
        db.exec("VACUUM INTO '" + copy + "'");
        db.exec("VACUUM");
    }
    EXPECT_EQ(NamesByCode(copy), expected);
    EXPECT_EQ(NamesByCode(f.path), expected);
}

TEST(SheetNames, GoWithADeletedSheetAndComeBackWithItsUndo) {
    NamedFile f;
    ASSERT_FALSE(f.session.open(f.path));
    f.nameEverySheet();
    const long long last = f.sheets().rowidAt(f.positionOf("2"));
    ASSERT_FALSE(f.session.setSheetGroup(last, "ห้อง 2"));
    f.session.recordStep("ตั้งกลุ่ม");
    f.deleteSheet("2");
    EXPECT_EQ(NamesByCode(f.path), Expected({"1", "3", "4", "5"}));
    EXPECT_EQ(Count(f.path, "SELECT count(*) FROM itemanalysis_SheetGroup"), 0);

    // The next sheet typed takes the deleted one's rowid: it has no name and
    // no group.
    {
        ia::Transaction tx(f.sheets().connection());
        f.sheets().addNew();
        f.sheets().setField(0, ia::Value("9"));
        f.sheets().update();
        tx.commit();
    }
    f.session.recordStep("เพิ่มกระดาษคำตอบ");
    EXPECT_EQ(f.sheets().rowidAt(f.positionOf("9")), last);
    EXPECT_EQ(NamesByCode(f.path).count("9"), 0u);
    EXPECT_EQ(f.session.sheetGroup(last).value, "");

    ASSERT_EQ(f.steps.size(), 4u);
    ASSERT_FALSE(f.session.undoStep(f.steps[3].id));
    ASSERT_FALSE(f.session.undoStep(f.steps[2].id));
    EXPECT_EQ(NamesByCode(f.path), Expected({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(f.session.sheetGroup(last).value, "ห้อง 2");
    ASSERT_FALSE(f.session.redoStep(f.steps[2].id));
    EXPECT_EQ(NamesByCode(f.path), Expected({"1", "3", "4", "5"}));
    EXPECT_EQ(f.session.sheetGroup(last).value, "");
}

// An import that makes the name table and writes the names of the sheets
// it adds: undone, the names go with the sheets (a later sheet would take
// their rowids); redone, they come back.
TEST(SheetNames, AnUndoneImportTakesTheNamesItBrought) {
    NamedFile f;
    ASSERT_FALSE(f.session.open(f.path));
    ia::Connection& db = *f.session.connection();
    ia::ApplyImport(db,
                    ia::PlanFromTable(ia::ParseDelimited("201,1,2,3\n202,3,2,1\n", ','),
                                      ia::SourceKind::Delimited, 3, 4, {}),
                    ia::ImportMode::Append, 3);
    db.exec(ia::schema::SheetNameTableSql());
    db.exec("INSERT INTO itemanalysis_SheetName SELECT rowid, 'นักเรียน ' || Code FROM TAData "
            "WHERE Code IN ('201', '202')");
    ASSERT_FALSE(f.session.rereadAfterImport());
    ASSERT_EQ(f.steps.size(), 1u);
    EXPECT_EQ(NamesByCode(f.path), Expected({"201", "202"}));
    ASSERT_FALSE(f.session.undoStep(f.steps[0].id));
    EXPECT_EQ(Count(f.path, "SELECT count(*) FROM itemanalysis_SheetName"), 0);
    ASSERT_FALSE(f.session.redoStep(f.steps[0].id));
    EXPECT_EQ(NamesByCode(f.path), Expected({"201", "202"}));
}

// Replacing every sheet: the new sheets take the rowids from 1 again and
// none of the old names.
TEST(SheetNames, ReplacedSheetsLeaveNoNamesToTheNewOnes) {
    NamedFile f;
    ASSERT_FALSE(f.session.open(f.path));
    f.nameEverySheet();
    f.session.close();
    ia::Connection db(f.path);
    ia::ApplyImport(db,
                    ia::PlanFromTable(ia::ParseDelimited("201,1,2,3\n", ','),
                                      ia::SourceKind::Delimited, 3, 4, {}),
                    ia::ImportMode::Replace, 3);
    EXPECT_EQ(NamesByCode(f.path), Names{});
}

} // namespace
