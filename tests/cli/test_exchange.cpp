// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/WriterLock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using iatest::Cli;
using iatest::Quote;

using iatest::SheetCount;
using iatest::WriteText;

struct CliExchange : ::testing::Test {
    iatest::TempDir dir;
    std::string exam = dir.file("ข้อสอบ.ans");
    void SetUp() override {
        iatest::MakeExamFile(exam, iatest::MakeHeader(4, 4), {"", "", "", ""},
                             {{"01", "1", "1", "1", "1"}});
    }
    iatest::CliRun Import(const std::string& source, const std::string& options = "") {
        return Cli("import " + Quote(exam) + " " + Quote(source) + " " + options);
    }
};

// A file open in a window is written by nobody else; reading it is fine.
TEST_F(CliExchange, AFileOpenInAWindowIsNotWritten) {
    const std::string src = dir.file("good.csv");
    WriteText(src, "เฉลย,1,2,3,4\n02,1,2,3,4\n");
    ia::WriterLock window;
    ASSERT_TRUE(window.take(exam));
    const std::string refusal = ia::OpenElsewhereMessage(exam) + "\n";
    struct Case {
        std::string args;
        int code;
        std::string err;
    } cases[] = {
        {"import " + Quote(exam) + " " + Quote(src), 1, refusal},
        {"analyse " + Quote(exam) + " --technique 25", 1, refusal},
        {"print " + Quote(exam) + " --technique 25 --pdf " + Quote(dir.file("r.pdf")), 1, refusal},
        {"graphs " + Quote(exam) + " --technique 25 --pdf " + Quote(dir.file("g.pdf")), 1, refusal},
        {"create " + Quote(exam) + " --items 3 --choices 4 --overwrite", 1, refusal},
        {"export " + Quote(exam) + " " + Quote(dir.file("out.csv")), 0, ""},
        {"raw " + Quote(exam) + " --pdf " + Quote(dir.file("raw.pdf")), 0, ""},
    };
    for (const Case& c : cases) {
        iatest::CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
    EXPECT_EQ(SheetCount(exam), 1);
    EXPECT_FALSE(std::filesystem::exists(exam + ".bak"));
    window.release();
    EXPECT_EQ(Import(src).code, 0);
    EXPECT_EQ(SheetCount(exam), 2);
}

TEST_F(CliExchange, ABadSourceImportsNothingAndSaysWhere) {
    const std::string src = dir.file("bad.csv");
    WriteText(src, "รหัส,1,2,3,4\n02,1,2,3,4\n03,1,ฉ,3,4\n04,1,2,3,4,1\n");
    iatest::CliRun r = Import(src);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "นำเข้าไม่ได้ ไม่ได้นำเข้าข้อมูลใดเลย:\n"
                     "แถว 3 คอลัมน์ C (ข้อ 2): \"ฉ\" ไม่ใช่คำตอบ (ไม่มีตัวเลือกนำหน้า)\n"
                     "แถว 4 คอลัมน์ F: คำตอบเกินจำนวนข้อของไฟล์ (4 ข้อ)\n");
    EXPECT_EQ(SheetCount(exam), 1);
}

TEST_F(CliExchange, AppendReplaceKeyOnlyAndDuplicates) {
    const std::string src = dir.file("ok.csv");
    WriteText(src, "เฉลย,1,2,3,4\n01,1,2,3,4\n02,4,3,2,1\n");
    // A code already in the file: a warning, imported unless --strict.
    iatest::CliRun r = Import(src, "--strict");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("คำเตือน: รหัส 01 (แถว 2) มีอยู่แล้วในไฟล์"), std::string::npos) << r.err;
    EXPECT_EQ(SheetCount(exam), 1);
    r = Import(src);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "นำเข้ากระดาษคำตอบ 2 แผ่น และเฉลย\n");
    EXPECT_EQ(SheetCount(exam), 3);
    // Replace keeps the file as it was beside it.
    r = Import(src, "--replace");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(SheetCount(exam), 2);
    EXPECT_EQ(SheetCount(exam + ".bak"), 3);
    EXPECT_NE(r.err.find("สำรองไฟล์เดิมไว้ที่ " + exam + ".bak"), std::string::npos);
    r = Import(src, "--key-only");
    EXPECT_EQ(r.out, "นำเข้ากระดาษคำตอบ 0 แผ่น และเฉลย\n");
    EXPECT_EQ(SheetCount(exam), 2);
    WriteText(src, "05,1,2,3,4\n");
    r = Import(src, "--key-only");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "แหล่งข้อมูลไม่มีแถวเฉลย (KEY หรือ เฉลย)\n");
}

TEST_F(CliExchange, OptionsAreChecked) {
    const std::string src = dir.file("ok.csv");
    WriteText(src, "01,1,2,3,4\n");
    struct Case {
        std::string options;
        std::string message;
    } cases[] = {
        {"--append --replace", "เลือกได้อย่างเดียวจาก --append --replace --key-only\n"},
        {"--encoding latin1", "--encoding ต้องเป็น utf-8 utf-16 หรือ cp874\n"},
        {"--header maybe", "--header ต้องเป็น yes no หรือ auto\n"},
        {"--code-columns 5", "--code-columns ต้องเป็นช่วงตำแหน่งอักขระ เช่น 1-10\n"},
        {"--answers-from 0", "--answers-from ต้องเป็นตำแหน่งอักขระ (ตั้งแต่ 1)\n"},
        {"--fixed", "นำเข้าไม่ได้ ไม่ได้นำเข้าข้อมูลใดเลย:\n"
                    "ไฟล์ความกว้างคงที่ต้องระบุคอลัมน์รหัสและคอลัมน์แรกของคำตอบ\n"},
    };
    for (const Case& c : cases) {
        iatest::CliRun r = Import(src, c.options);
        EXPECT_EQ(r.code, 1) << c.options;
        EXPECT_EQ(r.err, c.message) << c.options;
    }
    // Mistakes in the command line itself name the word and show the usage.
    for (const Case& c : {Case{"--sheet", "ตัวเลือก --sheet ต้องมีค่า\nวิธีใช้: "},
                          Case{"--colour red", "ไม่รู้จักตัวเลือก --colour\nวิธีใช้: "}}) {
        iatest::CliRun r = Import(src, c.options);
        EXPECT_EQ(r.code, 2) << c.options;
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << c.options << "\n" << r.err;
    }
    EXPECT_EQ(SheetCount(exam), 1);
    EXPECT_EQ(Cli("import " + Quote(exam)).code, 2);
    // Not an exam file: the window's refusal.
    iatest::CliRun r = Cli("import " + Quote(src) + " " + Quote(src));
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(r.err.empty());
}

TEST_F(CliExchange, FixedWidthAndQuizWithAnOptionFile) {
    const std::string scan = dir.file("scan.txt");
    WriteText(scan, "A001  12*4\nA002  4 21\n");
    iatest::CliRun r = Import(scan, "--fixed --code-columns 1-4 --answers-from 7");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(SheetCount(exam), 3);
    const std::string quiz = dir.file("quiz.csv"), map = dir.file("map.csv");
    WriteText(quiz, "Timestamp,Score,Email Address,สีของฟ้า\n2026-12-01,1/1,a@b.th,สีฟ้า\n");
    r = Import(quiz);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("ข้อ 1: ตัวเลือกไม่มีอักษรนำหน้า ต้องระบุลำดับตัวเลือก (--options)"),
              std::string::npos)
        << r.err;
    WriteText(map, "สีของฟ้า,สีฟ้า,3\n");
    r = Import(quiz, "--options " + Quote(map));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("คำเตือน: แหล่งข้อมูลมีคำตอบ 1 ข้อ จาก 4 ข้อ"), std::string::npos);
    EXPECT_EQ(SheetCount(exam), 4);
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string KeyText(const std::string& exam) {
    ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
    ia::Statement st = db.prepare("SELECT COALESCE(X1,'') || COALESCE(X2,'') || "
                                  "COALESCE(X3,'') || COALESCE(X4,'') FROM TKey");
    return st.step() ? std::string(*st.columnText(0)) : "";
}

TEST_F(CliExchange, ColumnRolesSendsKeptAndAKeyAlreadyTyped) {
    const std::string src = dir.file("mine.csv");
    WriteText(src, "ห้อง,รหัส,ชื่อ,ก,ข,ค,ง\n1,02,ฝน,1,2,3,4\n1,เฉลย,,4,3,2,1\n");
    // The roles by hand replace the shorthands, never beside them.
    for (const char* shorthand : {"--code-column 2", "--answers-from 4", "--header yes"}) {
        iatest::CliRun r = Import(src, std::string("--columns code=B ") + shorthand);
        EXPECT_EQ(r.code, 2) << shorthand;
        EXPECT_EQ(r.err.rfind("--columns ใช้ร่วมกับ --code-column --answers-from หรือ --header "
                              "ไม่ได้\nวิธีใช้: ",
                              0),
                  0u)
            << r.err;
    }
    iatest::CliRun r = Import(src, "--columns code=B,answers=D");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("คอลัมน์ที่ใช้: A=ไม่ใช้ B=รหัส C=ไม่ใช้ D=ข้อ 1 E:G=ไม่ใช้\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(KeyText(exam), "4");
    // A key already typed stays unless the teacher says otherwise.
    WriteText(src, "ห้อง,รหัส,ชื่อ,ก,ข,ค,ง\n1,03,ดาว,1,2,3,4\n1,เฉลย,,1,2,3,4\n");
    r = Import(src, "--columns group=A,code=B,name=C,answers=D:G");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("คำเตือน: ไฟล์มีเฉลยอยู่แล้ว ไม่ได้แทนที่ด้วยเฉลยจากแหล่งข้อมูล "
                         "(ใช้ --replace-key เพื่อแทนที่)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "นำเข้ากระดาษคำตอบ 1 แผ่น\n");
    EXPECT_EQ(KeyText(exam), "4");
    r = Import(src, "--columns group=A,code=B,name=C,answers=D:G --replace-key");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(KeyText(exam), "1234");
    EXPECT_EQ(SheetCount(exam), 4);
    for (const char* bad : {"--columns colour=A", "--keep newest"}) {
        r = Import(src, bad);
        EXPECT_EQ(r.code, 1) << bad;
    }
    // Two sends of one code in a form: the latest kept, the other listed.
    const std::string form = dir.file("form.csv");
    WriteText(form, "Timestamp,Score,Student ID,1. q\n"
                    "2026/12/01 9:00:00,0 / 1,77,A. x\n"
                    "2026/12/01 9:30:00,1 / 1,77,B. y\n");
    r = Import(form);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("คำเตือน: รหัส 77 ส่งซ้ำ: ไม่ใช้แถว 2 ใช้แถว 3 (ส่งล่าสุด)"), std::string::npos)
        << r.err;
    r = Import(form, "--keep all");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(SheetCount(exam), 7);
}

// A refused source leaves the exam file exactly as it was.
TEST_F(CliExchange, ARefusedImportLeavesTheFileByteForByte) {
    const std::string before = FileBytes(exam);
    const std::string form = dir.file("form.csv");
    WriteText(form, "ประทับเวลา,เลขที่,ข้อ 1\n2026/12/01 9:00:00,1,3\n2026/12/01 9:01:00,2,4\n");
    for (const char* mode : {"", "--replace", "--key-only"}) {
        iatest::CliRun r = Import(form, mode);
        EXPECT_EQ(r.code, 1) << mode;
        EXPECT_NE(r.err.find("ข้อ 1: ตัวเลือกไม่มีอักษรนำหน้า ต้องระบุลำดับตัวเลือก (--options)"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(FileBytes(exam), before) << mode;
    }
}

TEST_F(CliExchange, ExportAfterAnAnalysisNamesItsTechnique) {
    // Enough sheets for the analysis.
    std::string csv = "KEY,1,2,3,4\n";
    for (int i = 0; i < 12; ++i)
        csv += "ค" + std::to_string(i) + "," + std::to_string(1 + i % 4) + ",2," +
               std::to_string(1 + i % 3) + ",4\n";
    WriteText(dir.file("s.csv"), csv);
    ASSERT_EQ(Import(dir.file("s.csv"), "--replace").code, 0);
    ASSERT_EQ(Cli("analyse " + Quote(exam) + " --technique 25").code, 0);
    const std::string out = dir.file("ผล.csv");
    iatest::CliRun r = Cli("export " + Quote(exam) + " " + Quote(out) + " --table results");
    ASSERT_EQ(r.code, 0) << r.err;
    // A plain table under the workbook's headers; the technique and time in
    // the summary.
    EXPECT_EQ(iatest::FileBytes(out).rfind(
                  "\xEF\xBB\xBFข้อ,ตัวเลือก,เฉลย,H,L,p,r,delta,ความหมาย\r\n1,1,", 0),
              0u);
    const std::string summary = dir.file("สรุป.csv");
    r = Cli("export " + Quote(exam) + " " + Quote(summary) + " --table summary");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(iatest::FileBytes(summary).find("\r\nผลวิเคราะห์ที่บันทึกไว้,เทคนิค 25%,"),
              std::string::npos);
    r = Cli("export " + Quote(exam) + " " + Quote(dir.file("ผล.xlsx")));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("ผล.xlsx")));
    struct Case {
        std::string args;
        std::string message;
    } cases[] = {
        {Quote(exam) + " " + Quote(exam), "ไฟล์ที่ส่งออกต้องเป็น .xlsx หรือ .csv\n"},
        {Quote(exam) + " " + Quote(out) + " --table marks",
         "--table ต้องเป็น scores answers results หรือ summary\n"},
        {Quote(exam) + " " + Quote(dir.file("a.xlsx")) + " --table scores",
         "--table ใช้กับไฟล์ .csv เท่านั้น\n"},
        {Quote(exam) + " " + Quote(dir.file("ไม่มี/a.csv")),
         "เขียนไฟล์ " + dir.file("ไม่มี/a.csv") + " ไม่ได้\n"},
    };
    for (const Case& c : cases) {
        r = Cli("export " + c.args);
        EXPECT_EQ(r.code, 1) << c.args;
        EXPECT_EQ(r.err, c.message) << c.args;
    }
}

// Results whose key or sheets changed after the analysis, here or in
// another program, are exported with a warning and a note in the summary;
// --fresh analyses first, and without the analysis's record the results
// are told as not known to be current.
TEST_F(CliExchange, OutdatedResultsAreToldAndFreshAnalysesFirst) {
    std::string csv = "KEY,1,2,3,4\n";
    for (int i = 0; i < 12; ++i)
        csv += "ค" + std::to_string(i) + "," + std::to_string(1 + i % 4) + ",2," +
               std::to_string(1 + i % 3) + ",4\n";
    WriteText(dir.file("s.csv"), csv);
    ASSERT_EQ(Import(dir.file("s.csv"), "--replace").code, 0);
    ASSERT_EQ(Cli("analyse " + Quote(exam) + " --technique 27").code, 0);
    const std::string out = dir.file("สรุป.csv");
    const std::string results = Quote(exam) + " " + Quote(out) + " --table summary";
    iatest::CliRun r = Cli("export " + results);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    {
        ia::Connection db(exam);
        db.exec("UPDATE TAData SET X2 = '3' WHERE Code = 'ค0'");
    }
    r = Cli("export " + results);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("ผลการวิเคราะห์นี้ไม่ตรงกับข้อมูลปัจจุบัน"), std::string::npos) << r.err;
    EXPECT_NE(iatest::FileBytes(out).find("ผลการวิเคราะห์นี้ไม่ตรงกับข้อมูลปัจจุบัน"), std::string::npos);
    // The results themselves stay a plain table; the warning still comes.
    const std::string table = dir.file("ผล.csv");
    r = Cli("export " + Quote(exam) + " " + Quote(table) + " --table results");
    EXPECT_NE(r.err.find("ผลการวิเคราะห์นี้ไม่ตรงกับข้อมูลปัจจุบัน"), std::string::npos) << r.err;
    EXPECT_EQ(iatest::FileBytes(table).find("ไม่ตรงกับข้อมูลปัจจุบัน"), std::string::npos);
    // The scores alone are computed now: nothing stored to warn of.
    r = Cli("export " + Quote(exam) + " " + Quote(dir.file("คะแนน.csv")));
    EXPECT_EQ(r.err, "");

    r = Cli("export " + results + " --fresh");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find("ไม่ตรงกับข้อมูลปัจจุบัน"), std::string::npos) << r.err;
    EXPECT_NE(iatest::FileBytes(out).find("\r\nผลวิเคราะห์ที่บันทึกไว้,เทคนิค 27%,"), std::string::npos);
    EXPECT_EQ(iatest::FileBytes(out).find("ไม่ตรงกับข้อมูลปัจจุบัน"), std::string::npos);

    {
        ia::Connection db(exam);
        db.exec("DROP TABLE itemanalysis_ResultsBasis");
    }
    r = Cli("export " + results);
    EXPECT_NE(r.err.find("ไม่ทราบ"), std::string::npos) << r.err;
    r = Cli("export " + results + " --technique 25");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "--technique ใช้กับ --fresh เท่านั้น\n");
}

} // namespace
