// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"

#include <Version.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

using iatest::Cli;
using iatest::Quote;

using iatest::Sheet;

std::vector<std::vector<std::string>> EightSheets() {
    return {Sheet("1", "1111"), Sheet("2", "1112"), Sheet("3", "1122"), Sheet("4", "1222"),
            Sheet("5", "2222"), Sheet("6", "1211"), Sheet("7", "2111"), Sheet("8", "2212")};
}

} // namespace

TEST(Cli, CreateMakesTheFullSchema) {
    iatest::TempDir dir;
    std::string path = dir.file("t.ans");
    iatest::CliRun r = Cli("create " + Quote(path) + " --items 40 --choices 4 --subject 'ภาษาไทย'");
    ASSERT_EQ(r.code, 0) << r.err;
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto fields = db.tableFields("TAData");
    ASSERT_EQ(fields.size(), 42u);
    EXPECT_EQ(fields[0].name, "Code");
    EXPECT_EQ(fields[40].name, "X40");
    EXPECT_EQ(fields[41].name, "Score");
    EXPECT_EQ(Cli("check " + Quote(path)).out, "1\n");
}

TEST(Cli, CreateRefusals) {
    iatest::TempDir dir;
    std::string path = dir.file("t.ans");
    struct Case {
        std::string args;
        std::string message;
    } cases[] = {
        {"--items 0 --choices 4", "จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ"},
        {"--items 252 --choices 4", "จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ"},
        {"--items 10 --choices 6", "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก"},
        {"--items abc --choices 4", "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก เป็นตัวเลข"},
        {"--items 10", "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก"},
        {"--items 10 --choices 4 --year 99999999999", "ปีการศึกษาไม่ถูกต้อง"},
    };
    for (const auto& c : cases) {
        iatest::CliRun r = Cli("create " + Quote(path) + " " + c.args);
        EXPECT_NE(r.code, 0) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(path)) << c.args;
    }
    // Thai digits count as the same ASCII digits.
    ASSERT_EQ(Cli("create " + Quote(path) + " --items ๑๒ --choices ๔ --year ๒๕๔๖").code, 0);
    {
        ia::Connection db(path, ia::Connection::Mode::ReadOnly);
        auto st = db.prepare("SELECT nItem, nChoice, Yearr FROM Tinit");
        ASSERT_TRUE(st.step());
        EXPECT_EQ(st.columnInt(0), 12);
        EXPECT_EQ(st.columnInt(1), 4);
        EXPECT_EQ(st.columnInt(2), 2546);
    }
    std::filesystem::remove(path);
    std::ofstream(path) << "keep";
    EXPECT_NE(Cli("create " + Quote(path) + " --items 5 --choices 4").code, 0);
    EXPECT_EQ(iatest::FileBytes(path), "keep");
    iatest::CliRun replaced = Cli("create " + Quote(path) + " --items 5 --choices 4 --overwrite");
    EXPECT_EQ(replaced.code, 0);
    EXPECT_EQ(ia::IsExamFile(path), 1);
    // The replaced file is kept beside it, and the teacher is told where.
    EXPECT_EQ(iatest::FileBytes(path + ".bak"), "keep");
    EXPECT_EQ(replaced.err, "เก็บไฟล์เดิมไว้ที่ " + path + ".bak\n");
    // A backup that cannot be made leaves the file as it is.
    std::filesystem::remove(path + ".bak");
    std::filesystem::create_directory(path + ".bak");
    std::ofstream(path + ".bak/inside") << "x";
    iatest::CliRun refused = Cli("create " + Quote(path) + " --items 7 --choices 4 --overwrite");
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("ไม่เขียนทับไฟล์ " + path), std::string::npos) << refused.err;
    EXPECT_TRUE(ia::ExamStructureOk(path));
}

TEST(Cli, CheckNeverCreatesOrChangesAFile) {
    iatest::TempDir dir;
    iatest::CliRun r = Cli("check " + Quote(dir.file("none.ans")));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "0\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.ans")));
    std::ofstream(dir.file("text.ans")) << "hello";
    EXPECT_EQ(Cli("check " + Quote(dir.file("text.ans"))).out, "0\n");
    EXPECT_EQ(iatest::FileBytes(dir.file("text.ans")), "hello");
}

TEST(Cli, AnalyseWritesTheReportBesideTheFile) {
    iatest::TempDir dir;
    std::string path = dir.file("ม1.2546.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 2), {"1", "1", "1", "1"}, EightSheets());
    for (const char* t : {"25", "27"}) {
        iatest::CliRun r = Cli("analyse " + Quote(path) + " --technique " + t);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, dir.file("ม1.2546.txt") + "\n");
        EXPECT_TRUE(std::filesystem::exists(dir.file("ม1.2546.txt")));
    }
}

TEST(Cli, ChecksBeforeTheAnalysisAreWarnedAboutAndTheWorkGoesOn) {
    iatest::TempDir dir;
    const std::string path = dir.file("w.ans");
    auto sheets = EightSheets();
    sheets.push_back({"8"});
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 2), {"1", "1", "1", ""}, sheets);
    iatest::CliRun r = Cli("analyse " + Quote(path) + " --technique 25");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "คำเตือน: กระดาษคำตอบที่ไม่มีคำตอบเลย 1 แผ่น: เลขที่ 8\n"
                     "คำเตือน: เลขที่ซ้ำกัน 1 เลขที่: 8\n"
                     "คำเตือน: ข้อสอบที่ยังไม่มีเฉลย 1 ข้อ: ข้อ 4\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("w.txt")));
}

TEST(Cli, ReportNeverOverwritesAnExamFileNamedTxt) {
    iatest::TempDir dir;
    std::string path = dir.file("ม1.txt");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 2), {"1", "1", "1", "1"}, EightSheets());
    iatest::CliRun r = Cli("analyse " + Quote(path) + " --technique 25");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, dir.file("ม1.txt.txt") + "\n");
    EXPECT_EQ(ia::IsExamFile(path), 1);
    EXPECT_EQ(Cli("analyse " + Quote(path) + " --technique 25").code, 0);
}

TEST(Cli, DegenerateFilesAreRefusedUnchanged) {
    iatest::TempDir dir;
    struct Case {
        std::vector<std::string> key;
        std::vector<std::vector<std::string>> sheets;
        std::string message;
    } cases[] = {
        {{"1", "1", "1", "1"}, {Sheet("1", "1111")}, "จำนวนกระดาษคำตอบน้อยเกินไป วิเคราะห์ไม่ได้"},
        {{"0", "", "0", ""}, EightSheets(), "ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้"},
        // A new file's key, never typed.
        {{}, EightSheets(), "ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้"},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::string path = dir.file("d" + std::to_string(n++) + ".ans");
        iatest::MakeExamFile(path, iatest::MakeHeader(4, 2), c.key, c.sheets);
        std::string before = iatest::FileBytes(path);
        iatest::CliRun r = Cli("analyse " + Quote(path) + " --technique 25");
        EXPECT_NE(r.code, 0);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(iatest::FileBytes(path), before);
    }
}

TEST(Cli, BrokenStructureIsRefused) {
    iatest::TempDir dir;
    std::string path = dir.file("broken.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 2), {"1", "1", "1", "1"}, EightSheets());
    {
        ia::Connection db(path);
        db.exec("UPDATE Tinit SET nItem = 9");
    }
    EXPECT_EQ(Cli("check " + Quote(path)).out, "1\n");
    iatest::CliRun r = Cli("analyse " + Quote(path) + " --technique 25");
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find(path + "  โครงสร้างไฟล์ไม่ถูกต้อง"), std::string::npos) << r.err;
}

// Help and version are asked-for results (standard output, exit 0); a
// command line that cannot be understood is a usage error (standard error,
// exit 2); a refusal is exit 1 with its message on standard error only.
TEST(Cli, HelpVersionUsageAndExitCodes) {
    const std::string version = std::string("itemanalysis-cli ") + ia::kVersion;
    for (const char* args :
         {"--help", "-h", "create --help", "analyse x.ans --technique 27 --help"}) {
        iatest::CliRun r = Cli(args);
        EXPECT_EQ(r.code, 0) << args;
        EXPECT_EQ(r.err, "") << args;
        EXPECT_EQ(r.out.rfind(version + " — ", 0), 0u) << args << ": " << r.out;
        for (const char* part : {"วิธีใช้:", "ตัวอย่าง:", "itemanalysis-cli create ม1.ans",
                                 "รหัสออก:", "2 ใช้คำสั่งผิดรูปแบบ", "130 ยกเลิกด้วย Ctrl+C"})
            EXPECT_NE(r.out.find(part), std::string::npos) << args << " lacks " << part;
    }
    iatest::CliRun v = Cli("--version");
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out, version + "\n");
    EXPECT_EQ(v.err, "");

    for (const char* args :
         {"", "frobnicate", "check", "analyse", "print x.ans --technique 25", "--version extra"}) {
        iatest::CliRun r = Cli(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err.find("วิธีใช้:\n"), std::string::npos) << args << ": " << r.err;
    }

    iatest::TempDir dir;
    iatest::CliRun refused = Cli("analyse " + Quote(dir.file("none.ans")) + " --technique 25");
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err, "");
}
