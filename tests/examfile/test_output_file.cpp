// SPDX-License-Identifier: GPL-3.0-or-later
// The one way files are written: never through a link, never over the exam
// file in hand or anything but a regular file, and never by a name that
// someone could have swapped between two steps.
#include "SyncOrder.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/OutputFile.h"
#include "examfile/SchoolName.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Removes the hook whatever the test does.
struct StepHook {
    explicit StepHook(ia::OutputStepHook hook) { ia::SetOutputStepHookForTests(std::move(hook)); }
    ~StepHook() { ia::SetOutputStepHookForTests({}); }
};

std::string Refusal(const std::string& target) {
    try {
        ia::WriteFileReplacing(target, "export", "new");
    } catch (const ia::ReplaceFileError& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(OutputFile, TargetsThatMayNotBeReplacedAreRefusedByName) {
    iatest::TempDir dir;
    const std::string victim = dir.file("victim.txt");
    iatest::WriteText(victim, "victim");
    const std::string exam = dir.file("ม1.ans");
    iatest::MakeExamFile(exam, iatest::MakeHeader(2, 4), {"1", "2"}, {{"01", "1", "2"}});
    const std::string examBytes = iatest::FileBytes(exam);
    fs::create_symlink(victim, dir.file("link.csv"));
    fs::create_symlink(exam, dir.file("exam-link.csv"));
    ASSERT_EQ(::mkfifo(dir.file("pipe.csv").c_str(), 0600), 0);
    fs::create_hard_link(exam, dir.file("same-exam.csv"));

    ia::Connection open(exam); // the exam file in hand
    struct Case {
        std::string target, why;
    } cases[] = {
        {dir.file("link.csv"), "เป็นลิงก์ไปยังไฟล์อื่น"},
        {dir.file("exam-link.csv"), "เป็นลิงก์ไปยังไฟล์อื่น"},
        {dir.file("pipe.csv"), "ไม่ใช่ไฟล์ธรรมดา"},
        {exam, "เป็นไฟล์ข้อสอบที่เปิดอยู่"},
        {dir.file("same-exam.csv"), "เป็นไฟล์ข้อสอบที่เปิดอยู่"},
    };
    const auto before = iatest::FolderEntries(dir.path());
    for (const Case& c : cases)
        EXPECT_EQ(Refusal(c.target), "จะไม่เขียนทับ " + c.target + " (" + c.why + ")");
    EXPECT_EQ(iatest::FileBytes(victim), "victim");
    EXPECT_EQ(iatest::FileBytes(exam), examBytes);
    EXPECT_EQ(iatest::FolderEntries(dir.path()), before) << "no temporary left behind";
    // An ordinary file and a new one are written.
    EXPECT_EQ(Refusal(dir.file("new.csv")), "");
    EXPECT_EQ(iatest::FileBytes(dir.file("new.csv")), "new");
    EXPECT_EQ(Refusal(victim), "");
    EXPECT_EQ(iatest::FileBytes(victim), "new");
}

TEST(OutputFile, TheProtectionEndsWithTheConnection) {
    iatest::TempDir dir;
    const std::string exam = dir.file("a.ans");
    iatest::MakeExamFile(exam, iatest::MakeHeader(2, 4), {"1", "2"}, {});
    { ia::Connection open(exam); }
    EXPECT_EQ(Refusal(exam), "");
}

// The temporary's name is swapped for a link to another file right after it
// was created, or the target for a link right before the rename: nothing
// is written through the link, and the swap is told.
TEST(OutputFile, ASwapBetweenTwoStepsIsNeverFollowed) {
    struct Case {
        const char* what;
        ia::OutputStep step;
        bool swapTemporary; // else the target
    } cases[] = {
        {"temporary swapped after creation", ia::OutputStep::TemporaryCreated, true},
        {"temporary swapped before the rename", ia::OutputStep::BeforeRename, true},
        {"target swapped before the rename", ia::OutputStep::BeforeRename, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        iatest::TempDir dir;
        const std::string victim = dir.file("victim.txt");
        iatest::WriteText(victim, "victim");
        const std::string target = dir.file("out.csv");
        iatest::WriteText(target, "previous");
        StepHook hook([&](ia::OutputStep step, const std::string& folder, const std::string& name) {
            if (step != c.step) return;
            const fs::path at = c.swapTemporary ? fs::path(folder) / name : fs::path(target);
            fs::remove(at);
            fs::create_symlink(victim, at);
        });
        std::string error;
        try {
            ia::OutputFile file(target, "csv");
            // Also a writer that goes by the descriptor's path.
            std::ofstream(file.descriptorPath(), std::ios::binary) << "attack";
            ASSERT_TRUE(file.write("written"));
            file.commit(true);
        } catch (const ia::ReplaceFileError& e) {
            error = e.what();
        }
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(iatest::FileBytes(victim), "victim");
        if (c.swapTemporary) {
            EXPECT_EQ(iatest::FileBytes(target), "previous");
            EXPECT_NE(error.find("ถูกโปรแกรมอื่นเปลี่ยน"), std::string::npos) << error;
        } else {
            EXPECT_EQ(error, "จะไม่เขียนทับ " + target + " (เป็นลิงก์ไปยังไฟล์อื่น)");
        }
    }
}

// Whatever stands at the temporary's name before it is made (a link to
// another file, a file of someone else) is never opened: another name is
// taken, and the link's file stays as it was.
TEST(OutputFile, WhatStandsAtTheTemporarysNameIsNeverOpened) {
    iatest::TempDir dir;
    const std::string victim = dir.file("victim.txt");
    iatest::WriteText(victim, "victim");
    const std::string planted = dir.file("planted");
    iatest::WriteText(planted, "someone else's");
    std::vector<std::string> tried;
    StepHook hook([&](ia::OutputStep step, const std::string& folder, const std::string& name) {
        if (step != ia::OutputStep::BeforeCreate) return;
        tried.push_back(name);
        const fs::path at = fs::path(folder) / name;
        if (tried.size() == 1) fs::create_symlink(victim, at);
        if (tried.size() == 2) fs::create_hard_link(planted, at);
    });
    EXPECT_NO_THROW(ia::WriteFileReplacing(dir.file("out.csv"), "csv", "written"));
    EXPECT_EQ(iatest::FileBytes(victim), "victim");
    ASSERT_EQ(tried.size(), 3u);
    EXPECT_EQ(iatest::FileBytes(planted), "someone else's");
    EXPECT_EQ(iatest::FileBytes(dir.file("out.csv")), "written");
    EXPECT_TRUE(fs::is_symlink(dir.file(tried[0])));
}

// What killed writers left in the folder goes with the next writer there,
// whatever they were writing; files of living writers and others' stay.
TEST(OutputFile, TemporariesOfGoneWritersAreRemovedByTheNextOne) {
    iatest::TempDir dir;
    const std::string dead = std::to_string(999999999);
    const std::string alive = std::to_string(::getpid());
    struct Left {
        std::string name;
        bool removed;
    } files[] = {
        {".export-" + dead + "-k3j9a0b1c2d3e4f5g6h7.tmp", true},
        {".csv-" + dead + "-0.tmp", true},
        {".chart-" + dead + "-zz.tmp", true},
        {".backup-" + dead + "-q1.tmp", true},
        {".export-" + alive + "-abc.tmp", false},
        {".other-" + dead + "-abc.tmp", false},
        // What exports of earlier versions left under the target's name.
        {"out.xlsx.part" + dead, true},
        {"ผล.CSV.part" + dead, true},
        {"out.xlsx.part" + alive, false},
        {"out.xlsx.part" + dead + ".keep", false},
        {"video.mp4.part" + dead, false},
        {"out.xlsx.partial", false},
    };
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& l : files) {
        iatest::WriteText(dir.file(l.name), "part");
        fs::last_write_time(dir.file(l.name), old);
    }
    // Begun after this run started: another run's, still being written.
    const std::string fresh = "new.xlsx.part" + dead;
    iatest::WriteText(dir.file(fresh), "part");
    fs::last_write_time(dir.file(fresh), fs::file_time_type::clock::now() + std::chrono::hours(1));
    // A link of that name is no file of ours, whatever it leads to.
    const std::string victim = dir.file("victim");
    iatest::WriteText(victim, "victim");
    fs::create_symlink(victim, dir.file("link.xlsx.part" + dead));
    ia::WriteFileReplacing(dir.file("out.csv"), "csv", "x");
    for (const auto& l : files)
        EXPECT_EQ(fs::exists(dir.file(l.name)), !l.removed) << l.name;
    EXPECT_TRUE(fs::exists(dir.file(fresh)));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.xlsx.part" + dead)));
    EXPECT_EQ(iatest::FileBytes(victim), "victim");
}

// The bytes are on the disk before the name points at them, and the name
// is on the disk after: a power cut at any moment leaves the old file or the
// whole new one, never an empty or cut-off one.
TEST(OutputFile, TheTemporaryIsSyncedBeforeItIsRenamedAndTheFolderAfter) {
    iatest::TempDir dir;
    const std::vector<iatest::SyncedWrite> cases = {
        {"an OutputFile written in parts", "parts.txt", "export",
         [](const std::string& target) {
             ia::OutputFile file(target, "export");
             ASSERT_TRUE(file.write("first "));
             ASSERT_TRUE(file.write("second"));
             file.commit(true);
         }},
        {"an OutputFile checked for completeness", "checked.txt", "csv",
         [](const std::string& target) {
             ia::OutputFile file(target, "csv");
             ASSERT_TRUE(file.write("whole"));
             file.commit(true, [](int) { return true; });
         }},
        {"WriteFileReplacing", "whole.txt", "report",
         [](const std::string& target) { ia::WriteFileReplacing(target, "report", "ก,ข\n"); }},
        {"the school name", "school.txt", "report",
         [](const std::string& target) {
             ASSERT_EQ(ia::WriteSchoolNameFile(target, "โรงเรียนบ้านนา"),
                       ia::SchoolNameWrite::Written);
         }},
    };
    iatest::ExpectSyncedBeforeRenamed(dir.path(), cases);
}
