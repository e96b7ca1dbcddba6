// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "analysis/Dif.h"
#include "analysis/ExamAnswers.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/Schema.h"
#include "session/ExamSession.h"
#include "session/Pool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

using namespace ia;
using iatest::Sheet;
using iatest::TempDir;

namespace {

namespace fs = std::filesystem;

std::set<std::string> FilesIn(const TempDir& d) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(d.path()))
        names.insert(e.path().filename().string());
    return names;
}

// Three items keyed 1, 2, 3, four choices.
void MakeClass(const std::string& path, const std::vector<std::vector<std::string>>& sheets,
               const std::vector<std::string>& key = {"1", "2", "3"}, int items = 3,
               int choices = 4) {
    iatest::MakeExamFile(path, iatest::MakeHeader(items, choices), key, sheets);
}

void KeepColumn(const std::string& path, const std::string& name,
                const std::vector<std::string>& values) {
    Connection db(path);
    db.exec(schema::SheetColumnTableSql());
    long long rowid = 0;
    for (const std::string& v : values) {
        auto st = db.prepare(std::string("INSERT INTO ") + schema::kSheetColumnTable +
                             " VALUES ((SELECT rowid FROM TAData ORDER BY rowid LIMIT 1 OFFSET " +
                             std::to_string(rowid++) + "), ?, ?)");
        st.bind(1, name);
        st.bind(2, v);
        st.run();
    }
}

struct Classes {
    TempDir dir;
    std::string a = dir.file("ม1-1.ans"), b = dir.file("ม1-2.ans"), out = dir.file("รวม.ans");
    Classes() {
        MakeClass(a, {Sheet("101", "123"), Sheet("102", "124"), Sheet("103", "4.3")});
        MakeClass(b, {Sheet("201", "113"), Sheet("101", "123")});
    }
};

TEST(Pool, EverySheetWithItsFileAsGroupSourcesUntouched) {
    Classes c;
    const std::string bytesA = iatest::FileBytes(c.a), bytesB = iatest::FileBytes(c.b);
    const std::set<std::string> before = FilesIn(c.dir);
    PoolRequest r;
    r.sources = {c.a, c.b};
    r.output = c.out;
    const Outcome<PoolReport> pooled = PoolExamFiles(r);
    ASSERT_TRUE(pooled.ok()) << pooled.error.message;
    EXPECT_EQ(pooled.value.sheets, 5);
    EXPECT_EQ(pooled.value.groups,
              (std::vector<std::pair<std::string, int>>{{"ม1-1", 3}, {"ม1-2", 2}}));
    ASSERT_EQ(pooled.value.repeatedCodes.size(), 1u);
    EXPECT_EQ(pooled.value.repeatedCodes[0].code, "101");
    EXPECT_EQ(pooled.value.repeatedCodes[0].files,
              (std::vector<std::string>{"ม1-1.ans", "ม1-2.ans"}));
    // Read only: same bytes, nothing beside them but the new file.
    EXPECT_EQ(iatest::FileBytes(c.a), bytesA);
    EXPECT_EQ(iatest::FileBytes(c.b), bytesB);
    std::set<std::string> after = before;
    after.insert("รวม.ans");
    EXPECT_EQ(FilesIn(c.dir), after);

    EXPECT_EQ(ExamFileRefusal(c.out), "");
    const ExamAnswers a = LoadExamAnswers(c.out);
    EXPECT_EQ(a.keyTexts, (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(a.matrix.sheets, 5);
    EXPECT_EQ(a.matrix.at(2, 0), 4);
    EXPECT_EQ(a.matrix.at(2, 1), kNoAnswer);
    EXPECT_EQ(LoadGroupLabels(c.out),
              (std::vector<std::string>{"ม1-1", "ม1-1", "ม1-1", "ม1-2", "ม1-2"}));
}

TEST(Pool, RefusalsNameTheFileAndWriteNothing) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> makeThird;
        std::vector<std::string> inMessage;
        SessionErrorKind kind;
    };
    const Case cases[] = {
        {"more items",
         [](const std::string& p) {
             MakeClass(p, {Sheet("1", "1234")}, {"1", "2", "3", "4"}, 4);
         },
         {"ห้อง3.ans", "4 ข้อ", "3 ข้อ"},
         SessionErrorKind::SourcesDiffer},
        {"other choices",
         [](const std::string& p) {
             MakeClass(p, {Sheet("1", "123")}, {"1", "2", "3"}, 3, 5);
         },
         {"ห้อง3.ans", "5 ตัวเลือก"},
         SessionErrorKind::SourcesDiffer},
        {"other key",
         [](const std::string& p) {
             MakeClass(p, {Sheet("1", "123")}, {"1", "3", "4"});
         },
         {"ห้อง3.ans", "เฉลย", "ข้อ 2, 3"},
         SessionErrorKind::KeysDiffer},
        {"not an exam file",
         [](const std::string& p) { iatest::WriteText(p, "ชื่อ,คะแนน\n"); },
         {"ห้อง3.ans"},
         SessionErrorKind::NotExamFile},
        {"damaged",
         [](const std::string& p) {
             MakeClass(p, {Sheet("1", "123")});
             std::string bytes = iatest::FileBytes(p);
             iatest::WriteText(p, bytes.substr(0, bytes.size() / 2));
         },
         {"ห้อง3.ans"},
         SessionErrorKind::NotExamFile},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        Classes c;
        const std::string third = c.dir.file("ห้อง3.ans");
        k.makeThird(third);
        const std::set<std::string> before = FilesIn(c.dir);
        PoolRequest r;
        r.sources = {c.a, third, c.b};
        r.output = c.out;
        const Outcome<PoolReport> pooled = PoolExamFiles(r);
        ASSERT_FALSE(pooled.ok());
        EXPECT_EQ(pooled.error.kind, k.kind);
        for (const std::string& part : k.inMessage)
            EXPECT_NE(pooled.error.message.find(part), std::string::npos)
                << pooled.error.message << " lacks " << part;
        EXPECT_EQ(FilesIn(c.dir), before);
    }
}

TEST(Pool, LockedSourceIsRefusedByName) {
    Classes c;
    const int busyWait = Connection::BusyWaitMs();
    Connection::SetBusyWaitMs(20);
    {
        Connection holder(c.b);
        holder.exec("PRAGMA locking_mode=EXCLUSIVE");
        holder.exec("BEGIN EXCLUSIVE");
        PoolRequest r;
        r.sources = {c.a, c.b};
        r.output = c.out;
        const Outcome<PoolReport> pooled = PoolExamFiles(r);
        ASSERT_FALSE(pooled.ok());
        EXPECT_NE(pooled.error.message.find(c.b), std::string::npos) << pooled.error.message;
        EXPECT_FALSE(fs::exists(c.out));
        holder.exec("ROLLBACK");
    }
    Connection::SetBusyWaitMs(busyWait);
}

TEST(Pool, KeyFromAFileTakesItsKeyAndForgetsScoresOfOtherKeys) {
    Classes c;
    const std::string other = c.dir.file("ม1-3.ans");
    MakeClass(other, {Sheet("301", "134")}, {"1", "3", "4"});
    {
        Connection db(other);
        db.exec("UPDATE TAData SET Score = 3");
        Connection da(c.a);
        da.exec("UPDATE TAData SET Score = 7");
    }
    PoolRequest r;
    r.sources = {c.a, other};
    r.output = c.out;
    r.keyFrom = c.a;
    const Outcome<PoolReport> pooled = PoolExamFiles(r);
    ASSERT_TRUE(pooled.ok()) << pooled.error.message;
    EXPECT_EQ(LoadExamAnswers(c.out).keyTexts, (std::vector<std::string>{"1", "2", "3"}));
    Connection db(c.out, Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT Score FROM TAData ORDER BY rowid");
    std::vector<std::string> scores;
    while (st.step())
        scores.push_back(st.column(0).text());
    EXPECT_EQ(scores, (std::vector<std::string>{"7", "7", "7", ""}));
}

TEST(Pool, GroupFromAKeptColumnAndRefusedWhereASheetLacksIt) {
    Classes c;
    KeepColumn(c.a, "เพศ", {"ชาย", "หญิง", "ชาย"});
    KeepColumn(c.b, "เพศ", {"หญิง", "หญิง"});
    PoolRequest r;
    r.sources = {c.a, c.b};
    r.output = c.out;
    r.grouping = PoolGrouping::ByColumn;
    r.groupColumn = "เพศ";
    const Outcome<PoolReport> pooled = PoolExamFiles(r);
    ASSERT_TRUE(pooled.ok()) << pooled.error.message;
    EXPECT_EQ(LoadGroupLabels(c.out),
              (std::vector<std::string>{"ชาย", "หญิง", "ชาย", "หญิง", "หญิง"}));
    fs::remove(c.out);
    r.groupColumn = "ห้อง";
    const Outcome<PoolReport> refused = PoolExamFiles(r);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error.message.find("ห้อง"), std::string::npos);
    EXPECT_NE(refused.error.message.find(c.a), std::string::npos);
    EXPECT_FALSE(fs::exists(c.out));
}

TEST(Pool, ExistingOutputIsKeptUnlessReplacedThenBackedUp) {
    Classes c;
    MakeClass(c.out, {Sheet("9", "111")});
    PoolRequest r;
    r.sources = {c.a, c.b};
    r.output = c.out;
    EXPECT_EQ(PoolExamFiles(r).error.kind, SessionErrorKind::AlreadyExists);
    EXPECT_EQ(iatest::SheetCount(c.out), 1);
    r.replaceExisting = true;
    const Outcome<PoolReport> pooled = PoolExamFiles(r);
    ASSERT_TRUE(pooled.ok()) << pooled.error.message;
    EXPECT_EQ(iatest::SheetCount(c.out), 5);
    EXPECT_EQ(iatest::SheetCount(c.out + ".bak"), 1);
    EXPECT_FALSE(pooled.value.backupNotice.empty());
}

TEST(Pool, CancelledAtAnyReportLeavesNoFile) {
    Classes c;
    PoolRequest r;
    r.sources = {c.a, c.b};
    r.output = c.out;
    iatest::CancelAtStep count;
    r.progress = &count;
    ASSERT_TRUE(PoolExamFiles(r).ok());
    fs::remove(c.out);
    const std::set<std::string> before = FilesIn(c.dir);
    for (long long k = 1; k <= count.reports(); ++k) {
        iatest::CancelAtStep cancel(k);
        r.progress = &cancel;
        const Outcome<PoolReport> pooled = PoolExamFiles(r);
        ASSERT_FALSE(pooled.ok()) << k;
        EXPECT_EQ(pooled.error.kind, SessionErrorKind::Cancelled);
        EXPECT_EQ(FilesIn(c.dir), before) << k;
    }
}

TEST(Pool, LabelsStayWithTheirSheetsThroughSortingAndTotalling) {
    Classes c;
    PoolRequest r;
    r.sources = {c.b, c.a};
    r.output = c.out;
    ASSERT_TRUE(PoolExamFiles(r).ok());
    auto codeToLabel = [&] {
        Connection db(c.out, Connection::Mode::ReadOnly);
        auto st = db.prepare(std::string("SELECT s.Code, g.") + schema::kGroupLabel +
                             " FROM TAData s JOIN " + schema::kSheetGroupTable + " g ON g." +
                             schema::kGroupSheetRowid + " = s.rowid");
        std::multimap<std::string, std::string> m;
        while (st.step())
            m.emplace(st.column(0).text(), st.column(1).text());
        return m;
    };
    const auto before = codeToLabel();
    {
        ExamSession session;
        ASSERT_FALSE(session.open(c.out));
        ASSERT_FALSE(session.orderSheets(SheetOrder::ByCode));
        ASSERT_FALSE(session.totalSheets());
        ASSERT_FALSE(session.orderSheets(SheetOrder::ByScore));
    }
    EXPECT_EQ(codeToLabel(), before);
    EXPECT_EQ(before.count("201"), 1u);
    EXPECT_EQ(before.find("201")->second, "ม1-2");
}

TEST(Pool, ComparisonOfThePoolIsEachClassFileOnItsOwn) {
    TempDir dir;
    std::vector<std::string> files;
    const char* const answers[][6] = {
        {"123", "124", "423", "113", "1.3", "323"},
        {"223", "123", "121", "433", "124", "111"},
        {"123", "123", "123", "3..", "424", "223"},
    };
    for (int k = 0; k < 3; ++k) {
        files.push_back(dir.file("ห้อง" + std::to_string(k + 1) + ".ans"));
        std::vector<std::vector<std::string>> sheets;
        for (int s = 0; s < 6; ++s)
            sheets.push_back(Sheet(std::to_string(k * 10 + s), answers[k][s]));
        MakeClass(files.back(), sheets);
    }
    PoolRequest r;
    r.sources = files;
    r.output = dir.file("รวม.ans");
    ASSERT_TRUE(PoolExamFiles(r).ok());
    const ExamAnswers pooled = LoadExamAnswers(r.output);
    const GroupComparison c =
        CompareGroups(pooled.matrix, GroupsFromLabels(LoadGroupLabels(r.output)));
    ASSERT_EQ(c.groups.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(files[k]);
        const TestStatistics own = ComputeItemStatistics(LoadExamAnswers(files[k]).matrix);
        EXPECT_EQ(c.groups[k].name, GroupLabelOfFile(files[k]));
        EXPECT_EQ(c.groups[k].n, own.sheets);
        EXPECT_EQ(c.groups[k].mean, own.mean);
        EXPECT_EQ(c.groups[k].sd, own.sd);
        EXPECT_EQ(c.groups[k].kr20, own.kr20);
        EXPECT_FALSE(c.groups[k].judged); // six sheets: shown, not judged
        for (const ComparedItem& it : c.items) {
            EXPECT_EQ(it.byGroup[k].p, own.item(it.item)->p);
            EXPECT_EQ(it.byGroup[k].rit, own.item(it.item)->rit);
            EXPECT_FALSE(it.flag);
        }
    }
}

} // namespace

namespace {

TEST(SheetGroup, SetChangeAndClearThroughTheSession) {
    TempDir dir;
    const std::string path = dir.file("ห้อง.ans");
    MakeClass(path, {Sheet("1", "123"), Sheet("2", "111"), Sheet("3", "222")});
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    // A file without the table: no group, then the table made on first use.
    EXPECT_EQ(session.sheetGroup(2).value, "");
    EXPECT_FALSE(session.setSheetGroup(2, "หญิง"));
    EXPECT_FALSE(session.setSheetGroup(3, "ชาย"));
    EXPECT_FALSE(session.setSheetGroup(3, "หญิง"));
    EXPECT_EQ(session.sheetGroup(3).value, "หญิง");
    EXPECT_EQ(LoadGroupLabels(path), (std::vector<std::string>{"", "หญิง", "หญิง"}));
    EXPECT_FALSE(session.setSheetGroup(2, ""));
    EXPECT_EQ(LoadGroupLabels(path), (std::vector<std::string>{"", "", "หญิง"}));
    // A label of 100 Thai characters fits; one more does not, and the
    // stored one stays.
    std::string longest;
    for (int i = 0; i < 100; ++i)
        longest += "ก";
    EXPECT_FALSE(session.setSheetGroup(1, longest));
    const SessionError tooLong = session.setSheetGroup(3, longest + "ก");
    EXPECT_EQ(tooLong.kind, SessionErrorKind::TextTooLong);
    EXPECT_EQ(session.sheetGroup(3).value, "หญิง");
    session.close();
    EXPECT_EQ(ExamFileRefusal(path), "");
}

} // namespace
