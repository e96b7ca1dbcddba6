// SPDX-License-Identifier: GPL-3.0-or-later
// The edit history through the exam session: every kind of change the window
// makes is one step; undoing it gives back every table as it was, and redoing
// it gives back every table byte for byte as it was before the undo.

#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "exchange/SheetImport.h"
#include "exchange/TextTable.h"
#include "session/ExamSession.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using ia::ExamSession;

namespace {

struct Fixture {
    iatest::TempDir dir;
    std::string path = dir.file("h.ans");
    ExamSession session;
    std::vector<ia::EditStep> steps;
    int cleared = 0;

    // Names and groups beside the sheets, as an import or pooling leaves
    // them.
    void tieNamesAndGroups() {
        ia::Connection db(path);
        db.exec(ia::schema::SheetNameTableSql());
        db.exec(ia::schema::SheetGroupTableSql());
        db.exec("INSERT INTO itemanalysis_SheetName SELECT rowid, 'ชื่อ ' || Code FROM TAData");
        db.exec("INSERT INTO itemanalysis_SheetGroup SELECT rowid, 'ห้อง ' || (rowid % 2) FROM "
                "TAData");
    }

    Fixture() {
        iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"},
                             {iatest::Sheet("3", "1234"), iatest::Sheet("1", "1233"),
                              iatest::Sheet("10", "1111"), iatest::Sheet("2", "4321"),
                              iatest::Sheet("4", "1244"), iatest::Sheet("5", "2234")});
        session.keepEditHistory();
        session.onStepRecorded = [this](const ia::EditStep& s) { steps.push_back(s); };
        session.onHistoryCleared = [this] { ++cleared; };
    }
    ia::RecordSet& sheets() { return *session.views().sheets.Recordset(); }
    ia::RecordSet& key() { return *session.views().key.Recordset(); }
};

// A cell written as the grid writes it: through the view's record set, in a
// transaction of its own.
void WriteCell(ia::RecordSet& rs, int row, int column, const ia::Value& v) {
    ia::Transaction tx(rs.connection());
    rs.moveTo(row);
    rs.edit();
    rs.setField(column, v);
    rs.update();
    tx.commit();
}

ia::ImportPlan Plan(const std::string& csv) {
    return ia::PlanFromTable(ia::ParseDelimited(csv, ','), ia::SourceKind::Delimited, 4, 4, {});
}

struct ChangeCase {
    const char* name;
    std::function<void(Fixture&)> change;
    bool tied = false; // the file has names and groups
};

void PrintTo(const ChangeCase& c, std::ostream* os) {
    *os << c.name;
}

class EveryChange : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(EveryChange, UndoGivesTheFileBackAndRedoTheSameBytes) {
    Fixture f;
    if (GetParam().tied) f.tieNamesAndGroups();
    ASSERT_FALSE(f.session.open(f.path));
    const std::string before = iatest::TableDump(f.path);
    GetParam().change(f);
    const std::string after = iatest::TableDump(f.path);
    ASSERT_NE(after, before);
    ASSERT_EQ(f.steps.size(), 1u);
    EXPECT_FALSE(f.steps[0].description.empty());

    ASSERT_FALSE(f.session.undoStep(f.steps[0].id));
    EXPECT_EQ(iatest::TableDump(f.path), before);
    ASSERT_FALSE(f.session.redoStep(f.steps[0].id));
    EXPECT_EQ(iatest::TableDump(f.path), after);
    ASSERT_FALSE(f.session.undoStep(f.steps[0].id));
    EXPECT_EQ(iatest::TableDump(f.path), before);
    // The views show the file as it now is.
    EXPECT_EQ(f.session.sheetCount(), 6);
    EXPECT_EQ(f.session.headerFieldText(ia::HeaderField::Subject),
              iatest::MakeHeader(4, 4).SubName);
    // Undo and redo are no steps of their own.
    EXPECT_EQ(f.steps.size(), 1u);
}

const ChangeCase kChanges[] = {
    {"answer",
     [](Fixture& f) {
         WriteCell(f.sheets(), 1, 2, ia::Value("4"));
         f.session.recordStep("แก้คำตอบ");
     }},
    {"answer emptied",
     [](Fixture& f) {
         WriteCell(f.sheets(), 0, 1, ia::Value());
         f.session.recordStep("ลบคำตอบ");
     }},
    {"key cell",
     [](Fixture& f) {
         WriteCell(f.key(), 0, 3, ia::Value("1"));
         f.session.recordStep("แก้เฉลย");
     }},
    {"new sheet",
     [](Fixture& f) {
         ia::Transaction tx(f.sheets().connection());
         f.sheets().addNew();
         f.sheets().setField(0, ia::Value("99"));
         f.sheets().update();
         tx.commit();
         f.session.recordStep("เพิ่มกระดาษคำตอบ");
     }},
    {"deleted sheet",
     [](Fixture& f) {
         f.sheets().moveTo(2);
         f.sheets().deleteCurrent();
         f.session.recordStep("ลบกระดาษคำตอบ");
     }},
    {"paste over filled cells and past the last sheet",
     [](Fixture& f) {
         const auto out =
             f.session.pasteBlock(4, 1, "4\t4\n3\t3\n1\t1\t1\t1\n", [](int) { return true; });
         ASSERT_TRUE(out.ok());
         ASSERT_TRUE(out.value.errors.empty());
         ASSERT_EQ(out.value.rowsAdded, 1);
     }},
    {"import appended",
     [](Fixture& f) {
         ia::ApplyImport(*f.session.connection(), Plan("201,1,2,3,4\n202,4,3,2,1\n"),
                         ia::ImportMode::Append, 4);
         ASSERT_FALSE(f.session.rereadAfterImport());
     }},
    {"import replacing every sheet",
     [](Fixture& f) {
         ia::ApplyImport(*f.session.connection(), Plan("201,1,2,3,4\n202,4,3,2,1\n"),
                         ia::ImportMode::Replace, 4);
         ASSERT_FALSE(f.session.rereadAfterImport());
     }},
    {"header field",
     [](Fixture& f) {
         ASSERT_FALSE(f.session.writeHeaderField(ia::HeaderField::Subject, "วิชาใหม่"));
     }},
    {"key changed from the item statistics",
     [](Fixture& f) { ASSERT_FALSE(f.session.changeKey(2, ia::Value("4"))); }},
    {"names changed",
     [](Fixture& f) {
         ASSERT_FALSE(f.session.setSheetNames(
             {{f.sheets().rowidAt(0), "ชื่อใหม่"}, {f.sheets().rowidAt(1), ""}}));
         f.session.recordStep("ตั้งชื่อ");
     },
     true},
    {"group label changed",
     [](Fixture& f) {
         ASSERT_FALSE(f.session.setSheetGroup(f.sheets().rowidAt(0), "ห้อง 3"));
         f.session.recordStep("แก้กลุ่ม");
     },
     true},
    {"deleted sheet with its name and group",
     [](Fixture& f) {
         f.sheets().moveTo(2);
         ASSERT_FALSE(f.session.deleteCurrentSheet());
         f.session.recordStep("ลบกระดาษคำตอบ");
     },
     true},
    {"import replacing every named sheet",
     [](Fixture& f) {
         ia::ApplyImport(*f.session.connection(), Plan("201,1,2,3,4\n202,4,3,2,1\n"),
                         ia::ImportMode::Replace, 4);
         ASSERT_FALSE(f.session.rereadAfterImport());
     },
     true},
};

INSTANTIATE_TEST_SUITE_P(EditHistory, EveryChange, ::testing::ValuesIn(kChanges));

TEST(EditHistory, StepsUndoneInTurnGiveBackTheFirstFile) {
    Fixture f;
    ASSERT_FALSE(f.session.open(f.path));
    std::vector<std::string> dumps{iatest::TableDump(f.path)};
    WriteCell(f.sheets(), 0, 1, ia::Value("4"));
    f.session.recordStep("1");
    dumps.push_back(iatest::TableDump(f.path));
    f.sheets().moveTo(0);
    f.sheets().deleteCurrent();
    f.session.recordStep("2");
    dumps.push_back(iatest::TableDump(f.path));
    ASSERT_TRUE(f.session.pasteBlock(0, 0, "77\t1\n", [](int) { return true; }).ok());
    dumps.push_back(iatest::TableDump(f.path));
    ASSERT_EQ(f.steps.size(), 3u);
    for (int i = 2; i >= 0; --i) {
        ASSERT_FALSE(f.session.undoStep(f.steps[i].id));
        EXPECT_EQ(iatest::TableDump(f.path), dumps[i]) << "after undoing step " << i + 1;
    }
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(f.session.redoStep(f.steps[i].id));
        EXPECT_EQ(iatest::TableDump(f.path), dumps[i + 1]) << "after redoing step " << i + 1;
    }
}

// Totalling and analysing are no steps; undoing an answer afterwards leaves
// the score they wrote for the next totalling to follow.
TEST(EditHistory, TotallingAndAnalysingAreNoSteps) {
    Fixture f;
    ASSERT_FALSE(f.session.open(f.path));
    WriteCell(f.sheets(), 0, 1, ia::Value("4"));
    f.session.recordStep("แก้คำตอบ");
    ASSERT_FALSE(f.session.totalSheets());
    ia::AnalysisRequest request;
    request.writeReport = false;
    ASSERT_TRUE(f.session.analyse(request).ok());
    f.session.recordStep("nothing");
    ASSERT_EQ(f.steps.size(), 1u);
    const std::string scored = iatest::TableDump(f.path);
    ASSERT_FALSE(f.session.undoStep(f.steps[0].id));
    ASSERT_FALSE(f.session.redoStep(f.steps[0].id));
    EXPECT_EQ(iatest::TableDump(f.path), scored);
}

TEST(EditHistory, PasteOverFilledCellsAsksAndNoLeavesTheFile) {
    Fixture f;
    ASSERT_FALSE(f.session.open(f.path));
    const std::string before = iatest::TableDump(f.path);
    std::vector<int> asked;
    // Row 1 of the block replaces 1 and 2 of sheet "3" (its 3 stays as it is);
    // the new sheet below the last replaces nothing.
    const auto out = f.session.pasteBlock(5, 1, "4\t4\t3\n1\t1\n", [&](int n) {
        asked.push_back(n);
        return false;
    });
    ASSERT_TRUE(out.ok());
    EXPECT_TRUE(out.value.declined);
    EXPECT_EQ(asked, std::vector<int>{2});
    EXPECT_EQ(iatest::TableDump(f.path), before);
    EXPECT_TRUE(f.steps.empty());
    // Into empty cells nothing is asked.
    asked.clear();
    ASSERT_TRUE(f.session
                    .pasteBlock(6, 0, "88\t1\n",
                                [&](int n) {
                                    asked.push_back(n);
                                    return false;
                                })
                    .ok());
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(f.session.sheetCount(), 7);
}

TEST(EditHistory, LastsUntilTheFileIsClosed) {
    Fixture f;
    ASSERT_FALSE(f.session.open(f.path));
    EXPECT_EQ(f.cleared, 1);
    WriteCell(f.sheets(), 0, 1, ia::Value("4"));
    f.session.recordStep("แก้คำตอบ");
    ASSERT_EQ(f.steps.size(), 1u);
    f.session.close();
    EXPECT_EQ(f.cleared, 2);
    // Without a history (the command line) nothing is recorded.
    ExamSession plain;
    ASSERT_FALSE(plain.open(f.path));
    std::vector<ia::EditStep> steps;
    plain.onStepRecorded = [&](const ia::EditStep& s) { steps.push_back(s); };
    ASSERT_FALSE(plain.writeHeaderField(ia::HeaderField::Subject, "x"));
    EXPECT_TRUE(steps.empty());
}

} // namespace
