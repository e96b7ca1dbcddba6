// SPDX-License-Identifier: GPL-3.0-or-later
// A teacher's file must survive the process being killed at any moment: the
// analysis is one transaction, a sheet edit another.

#include "BoundExam.h"
#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace ia;

namespace {

constexpr int kItems = 60, kChoices = 4, kSheets = 1500;

std::string MakeLargeFile(const iatest::TempDir& dir) {
    std::string path = dir.file("large.ans");
    std::mt19937 rng(99);
    std::vector<std::string> key;
    for (int i = 0; i < kItems; ++i)
        key.push_back(std::to_string(1 + rng() % kChoices));
    std::vector<std::vector<std::string>> sheets;
    for (int s = 0; s < kSheets; ++s) {
        std::vector<std::string> row{std::to_string(s)};
        for (int i = 0; i < kItems; ++i)
            row.push_back(std::to_string(1 + rng() % kChoices));
        sheets.push_back(row);
    }
    iatest::MakeExamFile(path, iatest::MakeHeader(kItems, kChoices), key, sheets);
    return path;
}

using Bound = iatest::BoundExam;

void Analyse(const std::string& path) {
    Bound b(path);
    AnalyseSimpleFormula25(b.ctx);
}

long long Scalar(Connection& db, const std::string& sql) {
    auto st = db.prepare(sql);
    return st.step() ? st.columnInt(0) : -1;
}

// What must hold of the file whatever moment the process died at.
void ExpectWhole(const std::string& path) {
    ASSERT_EQ(IsExamFile(path), 1);
    ASSERT_TRUE(ExamStructureOk(path));
    Connection db(path);
    auto check = db.prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.column(0).text(), "ok");
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM TAData"), kSheets);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM TOut"), kItems * kChoices);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM TOut WHERE P IS NULL OR Explain IS NULL"), 0);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM TStat WHERE Pav IS NULL OR Xbar IS NULL"), 0);
}

// Runs body in a child process and kills it after `ms` milliseconds.
void KillMidway(int ms, const std::function<void()>& body) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        try {
            for (;;)
                body();
        } catch (...) {}
        _exit(0);
    }
    usleep(static_cast<useconds_t>(ms) * 1000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

} // namespace

TEST(KillSafety, AnalysisKilledMidwayLeavesThePreviousResults) {
    iatest::TempDir dir;
    std::string path = MakeLargeFile(dir);
    Analyse(path);
    ExpectWhole(path);
    for (int ms : {40, 150, 400}) {
        SCOPED_TRACE(ms);
        KillMidway(ms, [&] {
            {
                // Change the sheets so that a half-written result would show.
                Connection db(path);
                db.exec("UPDATE TAData SET X1 = CASE X1 WHEN '1' THEN '2' ELSE '1' END");
            }
            Analyse(path);
        });
        ExpectWhole(path);
    }
}

TEST(KillSafety, SheetEditKilledMidwayLosesNothingCommitted) {
    iatest::TempDir dir;
    std::string path = MakeLargeFile(dir);
    Analyse(path);
    for (int ms : {30, 120}) {
        KillMidway(ms, [&] {
            auto db = Connection::Shared(path);
            RecordSet rs(db, "TAData");
            std::mt19937 rng(static_cast<unsigned>(getpid()));
            for (int n = 0; n < 100000; ++n) {
                rs.moveTo(static_cast<int>(rng() % kSheets));
                rs.edit();
                rs.setField(1 + static_cast<int>(rng() % kItems),
                            Value(std::to_string(1 + rng() % 4)));
                rs.update();
            }
        });
        ExpectWhole(path);
        Connection db(path);
        EXPECT_EQ(Scalar(db, "SELECT count(*) FROM TAData WHERE X1 NOT IN ('1','2','3','4')"), 0);
    }
}

TEST(DiskFull, AnalysisOnAFullDiskFailsAndKeepsTheFileReadable) {
    iatest::TempDir dir;
    std::string path = MakeLargeFile(dir);
    Analyse(path);
    {
        // Results take pages again after this, and the file is compacted.
        Connection other(path);
        other.exec("DELETE FROM TOut");
        other.exec("VACUUM");
    }
    Bound b(path);
    // The engine may not grow the file any more: as if the disk were full.
    Connection& db2 = b.views.sheets.Recordset()->connection();
    db2.exec("PRAGMA max_page_count = " + std::to_string(Scalar(db2, "PRAGMA page_count")));
    try {
        AnalyseSimpleFormula25(b.ctx);
        ADD_FAILURE() << "the analysis did not fail";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "พื้นที่ดิสก์เต็ม บันทึกไม่ได้");
    }
    b.views.CloseAll();
    Connection check(path);
    EXPECT_EQ(Scalar(check, "SELECT count(*) FROM TAData"), kSheets);
    EXPECT_EQ(Scalar(check, "SELECT count(*) FROM TOut"), 0);
}

TEST(TwoInstances, TheSecondSeesTheFirstsSavedSheets) {
    iatest::TempDir dir;
    std::string path = dir.file("shared.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(3, 4), {"1", "2", "3"}, {});
    Connection first(path), second(path);
    RecordSet a(std::shared_ptr<Connection>(&first, [](Connection*) {}), "TAData");
    a.addNew();
    a.setField("Code", Value("7"));
    a.setField("X1", Value("1"));
    a.update();
    RecordSet b(std::shared_ptr<Connection>(&second, [](Connection*) {}), "TAData");
    ASSERT_EQ(b.recordCount(), 1);
    EXPECT_EQ(b.field("X1").text(), "1");
    b.edit();
    b.setField("X2", Value("2"));
    b.update();
    a.requery();
    EXPECT_EQ(a.field("X2").text(), "2");
}
