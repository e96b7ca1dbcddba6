// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli graphs: the graphical report as a teacher's script makes
// it, read back with pdftotext.

#include "CliSupport.h"
#include "TestSupport.h"
#include "examfile/Engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using iatest::Cli;
using iatest::Quote;

// Ten sheets on four items with three choices; item 3 has no key.
void MakeTest(const std::string& path) {
    ia::TestHeader h = iatest::MakeHeader(4, 3);
    h.SubName = "ภาษาไทยพื้นฐาน";
    h.TeacherName = "ครูผู้ใหญ่ ที่ปี่ฟื้นน้ำ";
    std::vector<std::vector<std::string>> sheets;
    const char* answers[] = {"1121", "1131", "1122", "1211", "2132",
                             "1321", "3231", "2112", "3313", "2222"};
    for (int i = 0; i < 10; ++i) {
        std::vector<std::string> s{std::to_string(i + 1)};
        for (const char* a = answers[i]; *a; ++a)
            s.push_back(std::string(1, *a));
        sheets.push_back(s);
    }
    iatest::MakeExamFile(path, h, {"1", "1", "", "1"}, sheets);
}

// Whether the lines `want` appear in `lines` in this order.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& want) {
    size_t at = 0;
    for (const std::string& l : lines)
        if (at < want.size() && l.find(want[at]) != std::string::npos) ++at;
    return at == want.size();
}

TEST(CliGraphs, FirstPageSummaryThenOnePagePerKeyedItemInThaiText) {
    iatest::TempDir dir;
    const std::string exam = dir.file("ม1.ans");
    MakeTest(exam);
    for (const char* technique : {"25", "27"}) {
        const std::string pdf = dir.file(std::string("กราฟ") + technique + ".pdf");
        const iatest::CliRun r =
            Cli("graphs " + Quote(exam) + " --technique " + technique + " --pdf " + Quote(pdf) +
                " --png " + Quote(dir.file("png")) + " --svg " + Quote(dir.file("svg")) +
                " --school " + Quote("โรงเรียนบ้านปี่ฟื้น"));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, pdf + "\n");

        const auto pages = iatest::PdfPageTexts(pdf);
        ASSERT_EQ(pages.size(), 4u) << "summary and items 1, 2 and 4";
        const std::string title = std::string(technique) == "25"
                                      ? "กราฟการวิเคราะห์ข้อสอบโดยใช้สูตรอย่างง่ายกลุ่มสูงกลุ่มต่ำ25%"
                                      : "กราฟการวิเคราะห์ข้อสอบโดยใช้ตารางCHUNGTEHFANกลุ่มสูงกลุ่มต่ำ27%";
        const std::string header = "วิชาท31101ภาษาไทยพื้นฐานเทอม1/2546อาจารย์ผู้สอน:ครูผู้ใหญ่ที่ปี่ฟื้นน้ำ";
        for (size_t p = 0; p < pages.size(); ++p) {
            const auto lines = iatest::SqueezedLines(pages[p]);
            EXPECT_TRUE(InOrder(lines, {std::to_string(p + 1), "โรงเรียนบ้านปี่ฟื้น", title, header}))
                << technique << " page " << p + 1 << "\n"
                << pages[p];
        }
        EXPECT_TRUE(
            InOrder(iatest::SqueezedLines(pages[0]),
                    {"จำนวนข้อสอบที่วิเคราะห์", "การกระจายของคะแนน", "ความยากและอำนาจจำแนกรายข้อ"}))
            << pages[0];
        const int items[] = {1, 2, 4};
        for (size_t p = 1; p < pages.size(); ++p)
            EXPECT_TRUE(InOrder(iatest::SqueezedLines(pages[p]),
                                {"ข้อ" + std::to_string(items[p - 1]) + "สัดส่วนผู้เลือกแต่ละตัวเลือก",
                                 "ตัวเลือก", "ผลการพิจารณา", "ข้อสังเกต"}))
                << pages[p];

        for (const char* name : {"histogram", "dd", "item-001", "item-002", "item-004"}) {
            EXPECT_TRUE(std::filesystem::exists(dir.file(std::string("png/") + name + ".png")))
                << name;
            EXPECT_TRUE(std::filesystem::exists(dir.file(std::string("svg/") + name + ".svg")))
                << name;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.file("png/item-003.png")));
    }
    // The analysis is stored as the print command stores it.
    ia::Connection db(exam);
    auto st = db.prepare("SELECT count(*) FROM TOut");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.columnInt(0), 4 * 3);
}

TEST(CliGraphs, RefusalsAreThaiAndWriteNothing) {
    iatest::TempDir dir;
    const std::string exam = dir.file("ม1.ans");
    MakeTest(exam);
    const std::string pdf = dir.file("g.pdf");
    struct Case {
        std::string args;
        int code;
        std::string message;
    } cases[] = {
        {"graphs " + Quote(exam) + " --technique 30 --pdf " + Quote(pdf), 1, "เทคนิคต้องเป็น"},
        {"graphs " + Quote(exam) + " --technique 25", 2, "วิธีใช้"},
        {"graphs " + Quote(exam) + " --technique 25 --pdf " + Quote(pdf) + " --colour red", 2,
         "ไม่รู้จักตัวเลือก"},
        {"graphs " + Quote(dir.file("ไม่มี.ans")) + " --technique 25 --pdf " + Quote(pdf), 1, ""},
        {"graphs " + Quote(exam) + " --technique 25 --pdf " + Quote(dir.file("no/g.pdf")), 1,
         "บันทึกไฟล์ PDF ไม่ได้"},
    };
    for (const Case& c : cases) {
        const iatest::CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_FALSE(std::filesystem::exists(pdf)) << c.args;
    }
}

} // namespace
