// SPDX-License-Identifier: GPL-3.0-or-later
// The import, the export, the statistics and the chart files under attack:
// nothing lost, nothing followed, nothing exhausted.
#include "CliSupport.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/Schema.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using iatest::Cli;
using iatest::Quote;

std::vector<std::string> Codes(const std::string& exam) {
    ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare(std::string("SELECT ") + ia::schema::kSheetCode + " FROM " +
                         ia::schema::kSheetsTable + " ORDER BY rowid");
    std::vector<std::string> codes;
    while (st.step())
        codes.push_back(st.column(0).text());
    return codes;
}

struct Hostile : ::testing::Test {
    iatest::TempDir dir;
    std::string exam = dir.file("ข้อสอบ.ans");
    std::string examBytes;
    void SetUp() override {
        std::vector<std::vector<std::string>> rows;
        for (int s = 1; s <= 6; ++s)
            rows.push_back({"0" + std::to_string(s), std::to_string(s % 4 + 1), "2",
                            std::to_string((s + 1) % 4 + 1), "4"});
        iatest::MakeExamFile(exam, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"}, rows);
        examBytes = iatest::FileBytes(exam);
    }
};

// Every writer refuses a target that is a link or the exam file, names it,
// and leaves the exam file as it was.
TEST_F(Hostile, NoWriterFollowsALinkOrWritesOverTheExamFile) {
    const std::string charts = dir.file("charts");
    fs::create_directories(charts);
    fs::create_symlink(exam, charts + "/dd.svg");
    // (A link to the exam file itself the export refuses as the exam file.)
    const std::string victim = dir.file("victim.txt");
    iatest::WriteText(victim, "victim");
    fs::create_symlink(victim, dir.file("out.csv"));
    fs::create_symlink(victim, dir.file("out.xlsx"));
    fs::create_symlink(exam, dir.file("g.pdf"));
    // An exam file that is itself named like a statistics file in the folder.
    const std::string stats = dir.file("stats");
    fs::create_directories(stats);
    const std::string testCsv = stats + "/test.csv";
    fs::copy_file(exam, testCsv);
    const std::string testCsvBytes = iatest::FileBytes(testCsv);
    struct Case {
        const char* what;
        std::string args;
        std::string refused; // the path named
    } cases[] = {
        {"export csv", "export " + Quote(exam) + " " + Quote(dir.file("out.csv")),
         dir.file("out.csv")},
        {"export xlsx", "export " + Quote(exam) + " " + Quote(dir.file("out.xlsx")),
         dir.file("out.xlsx")},
        {"stats --csv", "stats " + Quote(testCsv) + " --csv " + Quote(stats), testCsv},
        {"graphs --svg",
         "graphs " + Quote(exam) + " --technique 25 --pdf " + Quote(dir.file("ok.pdf")) +
             " --svg " + Quote(charts),
         charts + "/dd.svg"},
        {"graphs --pdf",
         "graphs " + Quote(exam) + " --technique 25 --pdf " + Quote(dir.file("g.pdf")),
         dir.file("g.pdf")},
        {"print --pdf",
         "print " + Quote(exam) + " --technique 25 --pdf " + Quote(dir.file("g.pdf")),
         dir.file("g.pdf")},
        {"raw --pdf", "raw " + Quote(exam) + " --pdf " + Quote(dir.file("g.pdf")),
         dir.file("g.pdf")},
        {"sheets --pdf", "sheets " + Quote(exam) + " --pdf " + Quote(dir.file("g.pdf")),
         dir.file("g.pdf")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const iatest::CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_NE(r.err.find("จะไม่เขียนทับ " + c.refused), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_symlink(dir.file("out.csv")));
    }
    EXPECT_EQ(iatest::FileBytes(testCsv), testCsvBytes);
    EXPECT_EQ(iatest::FileBytes(victim), "victim");
    // The analysis the graphs and print commands stored is all that changed.
    EXPECT_EQ(iatest::SheetCount(exam), 6);
    EXPECT_EQ(iatest::FileBytes(exam).substr(0, 15), "SQLite format 3");
}

// A program that swaps a writer's temporary for a link right before the
// rename (ITEMANALYSIS_TEST_SWAP_OUTPUT names which temporary of the run)
// is told by every writer in the same words, naming the file not written;
// the link is never followed.
TEST_F(Hostile, ASwappedTemporaryIsToldAsSuchByEveryWriter) {
    const std::string victim = dir.file("victim.txt");
    iatest::WriteText(victim, "victim");
    const std::string pdf = dir.file("g.pdf");
    struct Case {
        const char* what;
        std::string args;
        int renamed;        // the temporary swapped, counted in the run
        std::string target; // the file not written
    } cases[] = {
        {"export csv", "export " + Quote(exam) + " " + Quote(dir.file("out.csv")), 1,
         dir.file("out.csv")},
        {"export xlsx", "export " + Quote(exam) + " " + Quote(dir.file("out.xlsx")), 1,
         dir.file("out.xlsx")},
        {"stats --csv", "stats " + Quote(exam) + " --csv " + Quote(dir.file("stats")), 2,
         dir.file("stats") + "/items.csv"},
        {"graphs --pdf", "graphs " + Quote(exam) + " --technique 25 --pdf " + Quote(pdf), 1, pdf},
        {"graphs --png",
         "graphs " + Quote(exam) + " --technique 25 --pdf " + Quote(pdf) + " --png " +
             Quote(dir.file("png")),
         2, dir.file("png") + "/histogram.png"},
        {"graphs --svg",
         "graphs " + Quote(exam) + " --technique 25 --pdf " + Quote(pdf) + " --svg " +
             Quote(dir.file("svg")),
         4, dir.file("svg") + "/item-001.svg"},
        {"print --pdf", "print " + Quote(exam) + " --technique 25 --pdf " + Quote(pdf), 1, pdf},
        {"the backup of import --replace",
         "import " + Quote(exam) + " " + Quote(dir.file("s.csv")) + " --replace", 1, exam + ".bak"},
    };
    iatest::WriteText(dir.file("s.csv"), "99,1,1,1,1\n");
    const std::vector<std::string> codes = Codes(exam);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const iatest::CliRun r =
            Cli(c.args,
                "ITEMANALYSIS_TEST_SWAP_OUTPUT=" + std::to_string(c.renamed) + ":" + Quote(victim));
        EXPECT_EQ(r.code, 1) << r.err;
        EXPECT_NE(r.err.find(" ถูกโปรแกรมอื่นเปลี่ยน จึงไม่ได้เขียน " + c.target), std::string::npos)
            << r.err;
        EXPECT_EQ(iatest::FileBytes(victim), "victim");
    }
    EXPECT_EQ(Codes(exam), codes) << "the replace was not made";
}

// A replace by a source without a single sheet would empty the file and,
// run twice, overwrite the only backup: refused each time.
TEST_F(Hostile, AReplaceWithoutSheetsIsRefusedAndTheBackupStays) {
    const std::string source = dir.file("key.csv");
    iatest::WriteText(source, "KEY,1,2,3,4\n");
    iatest::WriteText(exam + ".bak", "the only backup");
    for (int run = 0; run < 2; ++run) {
        const iatest::CliRun r = Cli("import " + Quote(exam) + " " + Quote(source) + " --replace");
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "ไม่มีกระดาษคำตอบในแหล่งข้อมูล ไม่ได้แทนที่\n");
    }
    EXPECT_EQ(iatest::FileBytes(exam), examBytes);
    EXPECT_EQ(iatest::FileBytes(exam + ".bak"), "the only backup");
    // A backup name that is a link is refused before anything changes.
    fs::remove(exam + ".bak");
    const std::string victim = dir.file("victim");
    iatest::WriteText(victim, "victim");
    fs::create_symlink(victim, exam + ".bak");
    iatest::WriteText(source, "01,1,1,1,1\n");
    const iatest::CliRun r = Cli("import " + Quote(exam) + " " + Quote(source) + " --replace");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("จะไม่เขียนทับ " + exam + ".bak"), std::string::npos) << r.err;
    EXPECT_EQ(iatest::FileBytes(exam), examBytes);
    EXPECT_EQ(iatest::FileBytes(victim), "victim");
}

// A kill in the middle of an .xlsx export leaves its temporary; so did
// every kill of earlier versions, as "OUT.xlsx.part<pid>". The next export
// into the folder removes both, but not what a living run is writing.
TEST_F(Hostile, WhatKilledExportsLeftGoesWithTheNextExport) {
    const std::string out = dir.file("out.xlsx");
    ASSERT_EQ(Cli("export " + Quote(exam) + " " + Quote(out)).code, 0);
    const std::string previous = iatest::FileBytes(out);
    // Killed by the file size limit once the workbook outgrows a few blocks.
    const iatest::CliRun killed = Cli("export " + Quote(exam) + " " + Quote(out), "ulimit -f 4;");
    EXPECT_NE(killed.code, 0);
    EXPECT_EQ(iatest::FileBytes(out), previous);
    std::vector<std::string> left;
    for (const std::string& name : iatest::FolderEntries(dir.path()))
        if (name.rfind(".export-", 0) == 0) left.push_back(name);
    ASSERT_EQ(left.size(), 1u) << "the killed run's temporary";
    const std::string earlier = "out.xlsx.part999999999";
    const std::string living = "out.xlsx.part" + std::to_string(::getpid());
    for (const std::string& name : {earlier, living}) {
        iatest::WriteText(dir.file(name), "PK");
        fs::last_write_time(dir.file(name),
                            fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    ASSERT_EQ(Cli("export " + Quote(exam) + " " + Quote(out)).code, 0);
    EXPECT_EQ(iatest::FolderEntries(dir.path()),
              (std::vector<std::string>{"out.xlsx", living, "ข้อสอบ.ans"}));
}

TEST_F(Hostile, SourcesThatAreNoFilesAreRefused) {
    const iatest::CliRun r = Cli("import " + Quote(exam) + " /dev/zero");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "นำเข้าไม่ได้ ไม่ได้นำเข้าข้อมูลใดเลย:\n/dev/zero ไม่ใช่ไฟล์ข้อมูลธรรมดา "
                     "(เป็นอุปกรณ์ ท่อ หรือโฟลเดอร์) จึงไม่อ่าน\n");
    EXPECT_EQ(iatest::FileBytes(exam), examBytes);
    // The limits a source is held to are stated where the options are.
    const std::string help = Cli("--help").out;
    EXPECT_NE(help.find("import อ่านไม่เกิน: ไฟล์ต้นทาง 64 MB"), std::string::npos) << help;
    EXPECT_NE(help.find("ช่องละ 4096 ไบต์"), std::string::npos) << help;
}

// Codes that hold terminal escapes reach the terminal shown, not obeyed.
TEST_F(Hostile, EscapesInCodesAreShownEscaped) {
    const std::string source = dir.file("osc.csv");
    iatest::WriteText(source, "\x1b]0;owned\x07,1,1,1,1\n\x1b]0;owned\x07,2,2,2,2\n"
                              "\xE2\x80\xAE"
                              "abc,1,1,1,1\n");
    const iatest::CliRun r = Cli("import " + Quote(exam) + " " + Quote(source));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.err.find('\x07'), std::string::npos);
    EXPECT_NE(r.err.find("รหัส \\x1b]0;owned\\x07 ซ้ำกันในแถว 1, 2"), std::string::npos) << r.err;
}

// Codes a spreadsheet would run as formulas are written guarded, and an
// import of that export gives them back exactly.
TEST_F(Hostile, FormulasInAnExportAreGuardedAndComeBackExact) {
    const std::vector<std::string> codes = {
        "=HYPERLINK(\"x\")", "=cmd|' /C calc'!A0", "+1+2", "-x", "@SUM(A1)", "'=x", "-5", "ก=1"};
    std::vector<std::vector<std::string>> rows;
    for (const auto& c : codes)
        rows.push_back({c, "1", "2", "3", "4"});
    fs::remove(exam);
    iatest::MakeExamFile(exam, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"}, rows);
    const std::string out = dir.file("answers.csv");
    iatest::CliRun r = Cli("export " + Quote(exam) + " " + Quote(out) + " --table answers");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string csv = iatest::FileBytes(out);
    for (const char* guarded : {"\r\n\"'=HYPERLINK(\"\"x\"\")\",", "\r\n'=cmd|' /C calc'!A0,",
                                "\r\n'+1+2,", "\r\n'-x,", "\r\n'@SUM(A1),", "\r\n''=x,", "\r\n-5,"})
        EXPECT_NE(csv.find(guarded), std::string::npos) << guarded << "\n" << csv;
    r = Cli("import " + Quote(exam) + " " + Quote(out) + " --replace");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Codes(exam), codes);
}

} // namespace
