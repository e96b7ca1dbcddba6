// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line program under bad input: header values it must refuse in
// Thai, and file names with pattern characters, blanks and Thai letters.

#include "CliSupport.h"
#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "report/OutputPath.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

using iatest::Cli;
using iatest::CliRun;
using iatest::Quote;

std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

long long Count(const std::string& path, const std::string& table) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT count(*) FROM " + table);
    return st.step() ? st.columnInt(0) : -1;
}

} // namespace

TEST(CliBadInput, HeaderValuesAreRefusedInThaiAndNoFileIsLeft) {
    iatest::TempDir dir;
    const std::string path = dir.file("t.ans");
    struct Case {
        std::string args, message;
    } cases[] = {
        // Thai digits are digits; Thai words are not.
        {"--items สี่สิบ --choices 4", "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก เป็นตัวเลข"},
        {"--items 99999999999 --choices 4", "จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ"},
        {"--items -5 --choices 4", "จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ"},
        {"--items 10 --choices -3", "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก"},
        {"--items 10 --choices 4 --subject-code " + Repeat("a", 21), "รหัสวิชายาวเกิน 20 ตัวอักษร"},
        {"--items 10 --choices 4 --subject " + Quote(Repeat("ข", 101)), "ชื่อวิชายาวเกิน 100 ตัวอักษร"},
        {"--items 10 --choices 4 --term 12345678901", "เทอมยาวเกิน 10 ตัวอักษร"},
        {"--items 10 --choices 4 --teacher " + Quote(Repeat("ค", 51)),
         "ชื่ออาจารย์ผู้สอนยาวเกิน 50 ตัวอักษร"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun r = Cli("create " + Quote(path) + " " + c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, c.message + "\n");
        EXPECT_FALSE(fs::exists(path));
    }
    const CliRun r = Cli("create " + Quote(path) + " --items 2.5 --choices +3 --subject-code " +
                         Quote(Repeat("ก", 20)));
    ASSERT_EQ(r.code, 0) << r.err;
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare("SELECT nItem, nChoice, SubCode FROM Tinit");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.columnInt(0), 2);
    EXPECT_EQ(st.columnInt(1), 3);
    EXPECT_EQ(st.column(2).text(), Repeat("ก", 20));
}

TEST(CliBadInput, NamesWithPatternCharactersBlanksAndThaiAreTakenLiterally) {
    iatest::TempDir dir;
    // What the names below would match if they were read as patterns.
    const std::string neighbour = dir.file("ab.ans");
    iatest::MakeExamFile(neighbour, iatest::MakeHeader(4, 2), {}, {{"keep"}});
    std::ofstream(dir.file("a1.ans")) << "not an exam file";
    const std::string keep = iatest::FileBytes(neighbour);

    for (const char* name :
         {"a*.ans", "a?.ans", "[a]b.ans", "มี ช่องว่าง.ans", "ข้อสอบ ม.1 [ห้อง*2]?"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        CliRun r = Cli("create " + Quote(path) + " --items 4 --choices 2");
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, path + "\n");
        EXPECT_EQ(Cli("check " + Quote(path)).out, "1\n");

        {
            ia::Connection db(path);
            ia::Transaction tx(db);
            db.exec("UPDATE TKey SET X1='1', X2='1', X3='1', X4='1'");
            for (int i = 0; i < 8; ++i) {
                auto st =
                    db.prepare("INSERT INTO TAData (Code, X1, X2, X3, X4) VALUES (?,?,?,?,?)");
                st.bind(1, std::to_string(i + 1));
                for (int k = 0; k < 4; ++k)
                    st.bind(k + 2, std::string(1, k < i % 5 ? '1' : '2'));
                st.run();
            }
            tx.commit();
        }
        r = Cli("analyse " + Quote(path) + " --technique 25");
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string report = ia::DerivedPath(path, "txt");
        EXPECT_EQ(r.out, report + "\n");
        EXPECT_TRUE(fs::is_regular_file(report));

        r = Cli("create " + Quote(path) + " --items 4 --choices 2");
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("ไฟล์ " + path + "  มีอยู่แล้ว"), std::string::npos) << r.err;
        EXPECT_EQ(Count(path, "TAData"), 8);

        r = Cli("create " + Quote(path) + " --items 4 --choices 2 --overwrite");
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(Count(path, "TAData"), 0);
    }
    EXPECT_EQ(iatest::FileBytes(neighbour), keep);
    EXPECT_FALSE(fs::exists(dir.file("ab.txt")));
    EXPECT_EQ(iatest::FileBytes(dir.file("a1.ans")), "not an exam file");
}
