// SPDX-License-Identifier: GPL-3.0-or-later
// The command line under an unlucky teacher's conditions: full disks, kills
// while printing, files held by another program, crafted files, mistyped
// options. Nothing may claim success it did not have, and nothing good may
// be lost.
#include "CliSupport.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <sys/time.h>

namespace {

namespace fs = std::filesystem;
using iatest::Cli;
using iatest::CliRun;
using iatest::Quote;

// Every file-locking case waits this long, not the 3 s a teacher gets.
const std::string kShortBusyWait = "ITEMANALYSIS_BUSY_WAIT_MS=20";

std::vector<std::vector<std::string>> EightSheets() {
    std::vector<std::vector<std::string>> sheets;
    const char* answers[] = {"1111", "1112", "1122", "1222", "2222", "1211", "2111", "2212"};
    int code = 1;
    for (const char* a : answers) {
        std::vector<std::string> s{std::to_string(code++)};
        for (const char* c = a; *c; ++c)
            s.push_back(std::string(1, *c));
        sheets.push_back(s);
    }
    return sheets;
}

std::string MakeExam(const iatest::TempDir& dir, const std::string& name = "t.ans") {
    const std::string path = dir.file(name);
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 2), {"1", "1", "1", "1"}, EightSheets());
    return path;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool IsUsage(const CliRun& r) {
    return r.code == 2 && r.err.find("วิธีใช้:") != std::string::npos && r.out.empty();
}

// Moves a file's time by seconds from now: back, as a file left by an
// earlier run; forward, as one begun after the run that looks at it.
void SetAge(const std::string& path, int seconds) {
    struct timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ASSERT_EQ(utimes(path.c_str(), times), 0);
}

} // namespace

TEST(CliOptions, UnknownRepeatedOrMissingOptionsGiveTheUsage) {
    iatest::TempDir dir;
    const std::string f = Quote(MakeExam(dir));
    const std::string pdf = Quote(dir.file("o.pdf"));
    const std::string rpt = dir.file("t.txt");
    const std::string csvDir = Quote(dir.file("stats")), csv = Quote(dir.file("out.csv"));
    const std::string src = Quote(dir.file("src.csv"));
    std::ofstream(dir.file("src.csv")) << "KEY,1,1,1,1\n99,2,2,2,2\n";
    const std::string examBefore = iatest::FileBytes(dir.file("t.ans"));
    const std::string cases[] = {
        "analyse " + f + " --technique 25 --page 2",
        "analyse " + f + " --technique 25 --technique 27",
        "analyse " + f + " --techniqe 25",
        "analyse " + f + " " + f + " --technique 25",
        "print " + f + " --technique 25 --pdf " + pdf + " --page 2-3",
        "print " + f + " --technique 25 --pdf " + pdf + " --pages 1 --pages 2",
        "print " + f + " --technique 25 --pdf " + pdf + " --pdf " + pdf,
        "print " + f + " --technique 25",
        "raw " + f + " --pdf " + pdf + " --pages 1",
        "raw " + f + " --pdf " + pdf + " --overwrite",
        "check " + f + " --verbose",
        "check",
        "create " + Quote(dir.file("n.ans")) + " --items 4 --choices 2 --items 5",
        "create " + Quote(dir.file("n.ans")) + " --items 4 --choices 2 --overwrite --overwrite",
        "create " + Quote(dir.file("n.ans")) + " --items 4 --choices 2 --colour red",
        "analyse " + f + " --technique",
        "stats " + f + " --xml",
        "stats " + f + " --json --json",
        "stats " + f + " --csv " + csvDir + " --csv " + csvDir,
        "stats " + f + " --csv",
        "import " + f + " " + src + " --colour red",
        "import " + f + " " + src + " --strict --strict",
        "import " + f + " " + src + " --sheet a --sheet b",
        "import " + f + " " + src + " --sheet",
        "export " + f + " " + csv + " --format csv",
        "export " + f + " " + csv + " --table scores --table answers",
        "export " + f + " " + csv + " --table",
        "graphs " + f + " --technique 25 --pdf " + pdf + " --colour red",
        "graphs " + f + " --technique 25 --pdf " + pdf + " --school a --school b",
        "graphs " + f + " --technique 25 --technique 27 --pdf " + pdf,
        "graphs " + f + " --technique 25 --pdf " + pdf + " --png",
    };
    for (const auto& args : cases) {
        CliRun r = Cli(args);
        EXPECT_TRUE(IsUsage(r)) << args << "\n" << r.code << " " << r.err;
    }
    // Nothing was done by any of them.
    EXPECT_FALSE(fs::exists(dir.file("o.pdf")));
    EXPECT_FALSE(fs::exists(rpt));
    EXPECT_FALSE(fs::exists(dir.file("n.ans")));
    EXPECT_FALSE(fs::exists(dir.file("stats")));
    EXPECT_FALSE(fs::exists(dir.file("out.csv")));
    EXPECT_EQ(iatest::FileBytes(dir.file("t.ans")), examBefore);
}

// An option given twice is refused by name in every subcommand that takes
// options ("check" takes none), a flag as a value, even with the same value
// both times, and nothing is done.
TEST(CliOptions, ARepeatedOptionIsRefusedByNameInEverySubcommand) {
    iatest::TempDir dir;
    const std::string f = Quote(MakeExam(dir));
    const std::string pdf = Quote(dir.file("o.pdf")), out = Quote(dir.file("out"));
    const std::string src = Quote(dir.file("src.csv")), csv = Quote(dir.file("out.csv"));
    std::ofstream(dir.file("src.csv")) << "KEY,1,1,1,1\n99,2,2,2,2\n";
    const std::string examBefore = iatest::FileBytes(dir.file("t.ans"));
    const struct Case {
        std::string args;
        const char* option;
    } cases[] = {
        {"create " + Quote(dir.file("n.ans")) + " --items 4 --choices 2 --items 4", "--items"},
        {"analyse " + f + " --technique 25 --technique 25", "--technique"},
        {"print " + f + " --technique 25 --pdf " + pdf + " --pdf " + pdf, "--pdf"},
        {"raw " + f + " --pdf " + pdf + " --pdf " + pdf, "--pdf"},
        {"stats " + f + " --json --json", "--json"},
        {"import " + f + " " + src + " --strict --strict", "--strict"},
        {"export " + f + " " + csv + " --table scores --table scores", "--table"},
        {"pool " + Quote(dir.file("p.ans")) + " " + f + " " + f + " --overwrite --overwrite",
         "--overwrite"},
        {"compare " + f + " --json --json", "--json"},
        {"sheets " + f + " --pdf " + pdf + " --key --key", "--key"},
        {"scan " + f + " " + pdf + " --review-out " + out + " --review-out " + out, "--review-out"},
        {"graphs " + f + " --technique 25 --pdf " + pdf + " --school ก --school ก", "--school"},
    };
    for (const Case& c : cases) {
        CliRun r = Cli(c.args);
        EXPECT_TRUE(IsUsage(r)) << c.args << "\n" << r.code << " " << r.err;
        EXPECT_EQ(r.err.rfind(std::string("ให้ตัวเลือก ") + c.option + " ซ้ำ\n", 0), 0u)
            << c.args << "\n"
            << r.err;
    }
    EXPECT_FALSE(fs::exists(dir.file("o.pdf")));
    EXPECT_FALSE(fs::exists(dir.file("out")));
    EXPECT_FALSE(fs::exists(dir.file("out.csv")));
    EXPECT_FALSE(fs::exists(dir.file("n.ans")));
    EXPECT_FALSE(fs::exists(dir.file("p.ans")));
    EXPECT_EQ(iatest::FileBytes(dir.file("t.ans")), examBefore);
}

TEST(CliPrint, ARangeWithoutPagesIsRefusedAndWritesNothing) {
    iatest::TempDir dir;
    const std::string f = MakeExam(dir);
    const std::string pdf = dir.file("o.pdf");
    std::ofstream(pdf) << "stale";
    // The report of four items is three pages long.
    for (const char* pages : {"5-2", "0-0", "-3", "4", "4-9", "4294967297", "4294967297-4294967299",
                              "3-1", "0.4", "2.6"}) {
        CliRun r = Cli("print " + Quote(f) + " --technique 25 --pdf " + Quote(pdf) + " --pages " +
                       Quote(pages));
        EXPECT_EQ(r.code, 1) << pages;
        EXPECT_EQ(r.err, "ช่วงหน้าที่เลือกไม่มีหน้าที่จะพิมพ์\n") << pages;
        EXPECT_EQ(r.out, "") << pages;
        EXPECT_TRUE(iatest::FileBytes(pdf) == "stale") << pages;
    }
    for (const char* pages : {"3", "1-2", "3-99", "0-1", "even", "2.6-3"}) {
        CliRun r = Cli("print " + Quote(f) + " --technique 25 --pdf " + Quote(pdf) + " --pages " +
                       Quote(pages));
        EXPECT_EQ(r.code, 0) << pages << r.err;
        EXPECT_EQ(iatest::FileBytes(pdf).substr(0, 5), "%PDF-") << pages;
    }
}

// Writing a PDF past the file size limit fails exactly as on a full disk
// (the write is refused, the writer goes on); without the signal ignored,
// the limit kills the program half way through the file.
TEST(CliPdf, AFailedOrKilledWriteKeepsThePreviousPdf) {
    iatest::TempDir dir;
    const std::string f = MakeExam(dir);
    const std::string pdf = dir.file("raw.pdf");
    ASSERT_EQ(Cli("raw " + Quote(f) + " --pdf " + Quote(pdf)).code, 0);
    const std::string previous = iatest::FileBytes(pdf);
    ASSERT_GT(previous.size(), 4096u);

    CliRun full = Cli("raw " + Quote(f) + " --pdf " + Quote(pdf), "trap '' XFSZ; ulimit -f 4;");
    EXPECT_EQ(full.code, 1);
    EXPECT_EQ(full.out, "");
    EXPECT_EQ(full.err.rfind("บันทึกไฟล์ PDF ไม่ได้ : " + pdf + " (", 0), 0u) << full.err;
    EXPECT_TRUE(iatest::FileBytes(pdf) == previous);
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"raw.pdf", "t.ans"}));

    CliRun killed = Cli("raw " + Quote(f) + " --pdf " + Quote(pdf), "ulimit -f 4;");
    EXPECT_NE(killed.code, 0);
    EXPECT_EQ(killed.out, "");
    EXPECT_TRUE(iatest::FileBytes(pdf) == previous);
    // The killed run could not clean up after itself; the next one does.
    const auto left = Entries(dir.path());
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[0].rfind(".pdf-", 0), 0u);
    ASSERT_EQ(Cli("raw " + Quote(f) + " --pdf " + Quote(pdf)).code, 0);
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"raw.pdf", "t.ans"}));
}

TEST(CliPdf, AFullDiskKeepsThePreviousPdfAndSaysSo) {
    iatest::TinyDisk disk(24);
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    iatest::TempDir dir;
    const std::string f = MakeExam(dir);
    const std::string pdf = disk.file("o.pdf");
    // A small PDF that fits, then a filler that leaves too little room for
    // the next one.
    ASSERT_EQ(Cli("print " + Quote(f) + " --technique 25 --pdf " + Quote(pdf) + " --pages 2").code,
              0);
    const std::string previous = iatest::FileBytes(pdf);
    {
        std::ofstream filler(disk.file("filler"), std::ios::binary);
        filler << std::string(24 * 1024, 'x');
    }
    CliRun r = Cli("print " + Quote(f) + " --technique 25 --pdf " + Quote(pdf));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "บันทึกไฟล์ PDF ไม่ได้ : " + pdf + " (พื้นที่ดิสก์เต็ม)\n");
    EXPECT_TRUE(iatest::FileBytes(pdf) == previous);
    EXPECT_EQ(Entries(disk.file("")), (std::vector<std::string>{"filler", "o.pdf"}));
}

TEST(CliPrint, AnExamFileOnAReadOnlyMediumIsPrintedWithoutStoring) {
    iatest::TinyDisk stick(256);
    if (!stick.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    iatest::TempDir dir;
    const std::string f = stick.file("t.ans");
    iatest::MakeExamFile(f, iatest::MakeHeader(4, 2), {"1", "1", "1", "1"}, EightSheets());
    ASSERT_TRUE(stick.makeReadOnly());
    const std::string before = iatest::FileBytes(f);
    const std::string pdf = dir.file("o.pdf");
    CliRun r = Cli("print " + Quote(f) + " --technique 25 --pdf " + Quote(pdf));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, pdf + "\n");
    EXPECT_EQ(r.err, "คำเตือน : ไฟล์ข้อมูลบันทึกไม่ได้ ผลการวิเคราะห์ที่พิมพ์นี้ไม่ได้ถูกบันทึกลงในไฟล์\n");
    EXPECT_EQ(iatest::FileBytes(pdf).substr(0, 5), "%PDF-");
    EXPECT_EQ(iatest::FileBytes(f), before);
}

TEST(CliReport, TemporariesOfAKilledRunAreRemovedByTheNextReport) {
    iatest::TempDir dir;
    const std::string f = MakeExam(dir);
    struct Left {
        std::string name;
        bool old;
        bool removed;
    } files[] = {
        {".report-999999999-0.tmp", true, true}, // a killed run's
        {".pdf-999999999-3.tmp", true, true},
        {".report-999999999-1.tmp", false, false}, // begun after this run: not ours to judge
        {".report-" + std::to_string(getpid()) + "-7.tmp", true, false}, // its writer lives
        {".report-x-0.tmp", true, false},                                // not our pattern
        {"report-999999999-0.tmp", true, false},
        {".report-999999999-0.tmp.keep", true, false},
        {"notes.tmp", true, false},
    };
    for (const auto& l : files) {
        std::ofstream(dir.file(l.name)) << "part";
        SetAge(dir.file(l.name), l.old ? 3600 : -3600);
    }
    ASSERT_EQ(Cli("analyse " + Quote(f) + " --technique 25").code, 0);
    for (const auto& l : files)
        EXPECT_EQ(fs::exists(dir.file(l.name)), !l.removed) << l.name;
}

TEST(CliMessages, EachReasonAFileCannotBeUsedIsToldApart) {
    iatest::TempDir dir;
    const std::string good = MakeExam(dir, "good.ans");
    const std::string locked = MakeExam(dir, "locked.ans");
    const std::string cut = MakeExam(dir, "cut.ans");
    fs::resize_file(cut, 3000);
    const std::string header = MakeExam(dir, "header.ans");
    fs::resize_file(header, 40);
    const std::string text = dir.file("text.ans");
    std::ofstream(text) << "not an exam file at all";
    const std::string missing = dir.file("missing.ans");
    const std::string missingFolder = dir.file("no/such/t.ans");
    const std::string tooLong = dir.file(std::string(300, 'x') + ".ans");

    struct Case {
        std::string path, message;
    } cases[] = {
        {locked, locked + "  ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น กรุณาลองใหม่"},
        {missing, "ไม่พบไฟล์ " + missing},
        {missingFolder, "ไม่พบไฟล์ " + missingFolder},
        {cut, "ไฟล์ " + cut + " เสียหาย เปิดไม่ได้"},
        {header, "ไฟล์ " + header + " เสียหาย เปิดไม่ได้"},
        {text, text + "  ไม่ใช่ไฟล์ข้อมูล กรุณาเลือกไฟล์ใหม่"},
        {tooLong, tooLong + "  ชื่อไฟล์ยาวเกินกว่าที่ระบบไฟล์รองรับ"},
    };
    // Read before the lock is taken: closing any handle on the file would
    // drop this process's lock on it.
    std::vector<std::string> before;
    for (const auto& c : cases)
        before.push_back(iatest::FileBytes(c.path));
    auto holder = std::make_unique<ia::Connection>(locked);
    holder->exec("PRAGMA locking_mode=EXCLUSIVE");
    holder->exec("BEGIN EXCLUSIVE");
    holder->exec("INSERT INTO TAData (Code) VALUES ('99')");

    const std::string pdf = Quote(dir.file("o.pdf"));
    for (const auto& c : cases) {
        for (const std::string& cmd : {"analyse " + Quote(c.path) + " --technique 25",
                                       "print " + Quote(c.path) + " --technique 25 --pdf " + pdf,
                                       "raw " + Quote(c.path) + " --pdf " + pdf}) {
            CliRun r = Cli(cmd, kShortBusyWait);
            EXPECT_EQ(r.code, 1) << cmd;
            EXPECT_EQ(r.err, c.message + "\n") << cmd;
        }
        CliRun check = Cli("check " + Quote(c.path), kShortBusyWait);
        EXPECT_EQ(check.code, 0);
        EXPECT_EQ(check.out, "0\n") << c.path;
        // Only the reasons a teacher can act on are told; a foreign file is
        // simply not one.
        EXPECT_EQ(check.err, c.path == text ? "" : c.message + "\n") << c.path;
    }
    EXPECT_FALSE(fs::exists(dir.file("o.pdf")));
    CliRun ok = Cli("check " + Quote(good), kShortBusyWait);
    EXPECT_EQ(ok.out, "1\n");
    EXPECT_EQ(ok.err, "");
    holder->exec("ROLLBACK");
    holder.reset();
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(iatest::FileBytes(cases[i].path) == before[i]) << cases[i].path;
}

TEST(CliHostileFiles, CodeInAnExamFileIsRefusedBeforeAnythingRuns) {
    iatest::TempDir dir;
    const char* crafted[] = {
        "CREATE TRIGGER wipe AFTER INSERT ON TOut BEGIN DELETE FROM TAData; END",
        "CREATE TRIGGER quiet BEFORE UPDATE ON TStat BEGIN SELECT 1; END",
        "CREATE VIEW extra AS SELECT * FROM TAData",
        "ALTER TABLE TOut RENAME TO TOutData; CREATE VIEW TOut AS SELECT * FROM TOutData",
    };
    int n = 0;
    for (const char* sql : crafted) {
        const std::string f = MakeExam(dir, "h" + std::to_string(n++) + ".ans");
        {
            ia::Connection db(f);
            db.exec(sql);
        }
        const std::string before = iatest::FileBytes(f);
        for (const std::string& cmd :
             {"analyse " + Quote(f) + " --technique 25",
              "print " + Quote(f) + " --technique 27 --pdf " + Quote(dir.file("o.pdf")),
              "raw " + Quote(f) + " --pdf " + Quote(dir.file("o.pdf"))}) {
            CliRun r = Cli(cmd);
            EXPECT_EQ(r.code, 1) << sql << "\n" << cmd;
            EXPECT_EQ(r.err, f + "  โครงสร้างไฟล์ไม่ถูกต้อง\n") << sql;
        }
        EXPECT_EQ(iatest::FileBytes(f), before) << sql;
    }
}

TEST(CliCreate, EveryFailureSaysWhy) {
    iatest::TempDir dir;
    std::ofstream(dir.file("plain")) << "a file, not a folder";
    struct Case {
        std::string path, reason;
    } cases[] = {
        {dir.file("no-folder/x.ans"), "ไม่พบโฟลเดอร์"},
        // The engine would read ".." without looking; every later command
        // asks the system, which finds no such folder.
        {dir.file("a.b.c/../x.ans"), "ไม่พบโฟลเดอร์"},
        {dir.file("plain/x.ans"), "ส่วนหนึ่งของชื่อโฟลเดอร์ไม่ใช่โฟลเดอร์"},
        {dir.file(std::string(300, 'x') + ".ans"), "ชื่อไฟล์ยาวเกินกว่าที่ระบบไฟล์รองรับ"},
    };
    for (const auto& c : cases) {
        CliRun r = Cli("create " + Quote(c.path) + " --items 4 --choices 2");
        EXPECT_EQ(r.code, 1) << c.path;
        EXPECT_EQ(r.err, "สร้างไฟล์ไม่ได้ : " + c.path + " (" + c.reason + ")\n");
    }
    EXPECT_FALSE(fs::exists(dir.file("x.ans")));

    const std::string locked = MakeExam(dir, "locked.ans");
    {
        ia::Connection holder(locked);
        holder.exec("PRAGMA locking_mode=EXCLUSIVE");
        holder.exec("BEGIN EXCLUSIVE");
        holder.exec("INSERT INTO TAData (Code) VALUES ('99')");
        CliRun r =
            Cli("create " + Quote(locked) + " --items 4 --choices 2 --overwrite", kShortBusyWait);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "สร้างไฟล์ไม่ได้ : " + locked + " (ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น)\n");
        holder.exec("ROLLBACK");
    }
    EXPECT_EQ(ia::IsExamFile(locked), 1);

    iatest::TinyDisk disk(16);
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
    iatest::TinyDisk stick(64);
    ASSERT_TRUE(stick.makeReadOnly());
    const std::string onStick = stick.file("x.ans");
    CliRun ro = Cli("create " + Quote(onStick) + " --items 4 --choices 2");
    EXPECT_EQ(ro.code, 1);
    EXPECT_EQ(ro.err, "สร้างไฟล์ไม่ได้ : " + onStick + " (โฟลเดอร์เป็นแบบอ่านอย่างเดียว)\n");
    const std::string exam = MakeExam(dir, "for-pdf.ans");
    CliRun pdf = Cli("raw " + Quote(exam) + " --pdf " + Quote(stick.file("o.pdf")));
    EXPECT_EQ(pdf.code, 1);
    EXPECT_EQ(pdf.err,
              "บันทึกไฟล์ PDF ไม่ได้ : " + stick.file("o.pdf") + " (โฟลเดอร์เป็นแบบอ่านอย่างเดียว)\n");

    std::ofstream(disk.file("filler"), std::ios::binary) << std::string(16 * 1024, 'x');
    const std::string full = disk.file("x.ans");
    CliRun r = Cli("create " + Quote(full) + " --items 40 --choices 4");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "สร้างไฟล์ไม่ได้ : " + full + " (พื้นที่ดิสก์เต็ม)\n");
    EXPECT_FALSE(fs::exists(full));
}

TEST(CliMessages, QtsOwnWarningsAreShownOnlyWhenAskedFor) {
    iatest::TempDir dir;
    const std::string f = MakeExam(dir);
    const std::string args = "raw " + Quote(f) + " --pdf " + Quote(dir.file("o.pdf"));
    CliRun quiet = Cli(args, "unset XDG_RUNTIME_DIR;");
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.err, "");
#ifdef ITEMANALYSIS_WITH_QT
    // Only a program built with Qt has Qt's warnings to show.
    CliRun debug = Cli(args, "unset XDG_RUNTIME_DIR; ITEMANALYSIS_DEBUG=1");
    EXPECT_EQ(debug.code, 0);
    EXPECT_NE(debug.err.find("XDG_RUNTIME_DIR"), std::string::npos) << debug.err;
#endif
}
