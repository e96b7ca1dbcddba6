// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "report/OutputPath.h"
#include "report/ReportText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iconv.h>
#include <sstream>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

const std::string kRule(124, '-');
const std::string kShortRule(53, '-');

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string FromCp874(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP874");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out(bytes.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size(), outLeft = out.size();
    char* dst = out.data();
    EXPECT_NE(iconv(cd, &in, &inLeft, &dst, &outLeft), static_cast<size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// The report's lines in UTF-8; every line must end with CR LF.
std::vector<std::string> ReportLines(const std::string& path) {
    std::string text = FromCp874(iatest::FileBytes(path));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        EXPECT_NE(lf, std::string::npos) << "last line without CR LF";
        if (lf == std::string::npos) break;
        EXPECT_TRUE(lf > start && text[lf - 1] == '\r') << "bare LF after line " << lines.size();
        size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
        EXPECT_EQ(text.find('\r', start), end) << "stray CR in line " << lines.size();
        lines.push_back(text.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

bool ContainsRun(const std::vector<std::string>& lines, const std::vector<std::string>& run) {
    if (run.size() > lines.size()) return false;
    for (size_t i = 0; i + run.size() <= lines.size(); ++i)
        if (std::equal(run.begin(), run.end(), lines.begin() + i)) return true;
    return false;
}

std::string Dump(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
        s += "|" + l + "|\n";
    return s;
}

std::optional<std::string> Opt(const char* s) {
    return s ? std::optional<std::string>(s) : std::nullopt;
}

ia::OutRow Row(int item, int choice, bool keyed, int h, int l, const char* p, const char* r,
               const char* delta, const char* explain, const char* zr = nullptr,
               const char* ph = nullptr, const char* pl = nullptr) {
    ia::OutRow row;
    row.ItemNo = item;
    row.ChoiceNo = choice;
    row.IsAns = keyed ? 1 : 0;
    row.H = h;
    row.L = l;
    row.P = Opt(p);
    row.r = Opt(r);
    row.Delta = Opt(delta);
    row.Explain = Opt(explain);
    row.Zr = Opt(zr);
    row.PH = Opt(ph);
    row.PL = Opt(pl);
    return row;
}

void SetKey(ia::ReportData& d, int item, std::optional<std::string> key) {
    if (static_cast<int>(d.keys.size()) <= item) d.keys.resize(item + 1);
    d.keys[item] = std::move(key);
}

// An item whose keyed choice (H 8, L 2) has the given p and r; every other
// choice is a plain distractor (H 1, L 3).
void AddItem(ia::ReportData& d, int item, int nChoice, int keyChoice, const char* p,
             const char* r) {
    for (int c = 1; c <= nChoice; ++c) {
        if (c == keyChoice)
            d.rows.push_back(Row(item, c, true, 8, 2, p, r, "13.0", "ดี", " .50", " .62", " .15"));
        else
            d.rows.push_back(Row(item, c, false, 1, 3, " .17", " .17", "16.9", "ตัวลวง", nullptr,
                                 " .08", " .23"));
    }
    SetKey(d, item, std::to_string(keyChoice));
}

ia::ReportData BaseData(int kind) {
    ia::ReportData d;
    d.AnalysisKind = kind;
    d.SheetCount = 48;
    d.stat.nItem = 40;
    d.stat.Xbar = "25.31";
    d.stat.SD = "4.12";
    d.stat.KR20 = " .71";
    d.stat.SEmea = "2.22";
    d.stat.Pav = " .52";
    d.stat.Rav = " .25";
    d.stat.Dav = "12.8";
    d.stat.Zrav = " .25";
    return d;
}

struct Fixture {
    ia::TestHeader header;
    std::string termBox;
    ia::ReportData data;
};

struct ReportCase {
    const char* name;
    std::function<Fixture()> make;
    std::vector<std::vector<std::string>> runs; // each appears as consecutive lines
    std::vector<std::string> absent;            // no line contains any of these
};

const std::string kHeaderLine = "    วิชา ท31101  ภาษาไทย   เทอม 1/2546    อาจารย์ผู้สอน : ครูประจำวิชา";

// The worked example's item 1 was worked by hand with groups of 12:
// p = (H + L) / 24 (5/24 = .21, 12/24 = .50, 4/24 = .17, 3/24 = .13),
// r = (H - L) / 12 for the key (6/12 = .50) and (L - H) / 12 for a distractor
// (3/12 = .25, 2/12 = .17, 1/12 = .08); its lines below were then checked
// column by column against the line rule, counting code-page bytes.
const ReportCase kReportCases[] = {
    {"WorkedExample",
     [] {
         Fixture f{iatest::MakeHeader(40, 4), "1", BaseData(1)};
         auto& d = f.data;
         d.rows = {
             Row(1, 1, false, 1, 4, " .21", " .25", "16.2", "ดี คนอ่อนหลงตอบมากกว่า"),
             Row(1, 2, true, 9, 3, " .50", " .50", "13.0", "ยากง่ายปานกลาง  อำนาจจำแนกดีมาก", " .55"),
             Row(1, 3, false, 1, 3, " .17", " .17", "16.9", "ดี คนอ่อนหลงตอบมากกว่า"),
             Row(1, 4, false, 1, 2, " .13", " .08", "17.6", "ดี คนอ่อนหลงตอบมากกว่า"),
         };
         SetKey(d, 1, "2");
         for (int i = 2; i <= 40; ++i) {
             bool keep1 = i == 4 || i == 9 || i == 17;
             AddItem(d, i, 4, 3,
                     keep1     ? " .70"
                     : i == 12 ? " .45"
                               : " .50",
                     keep1     ? " .30"
                     : i == 12 ? " .25"
                               : " .00");
         }
         d.KeyedItemCount = 40;
         return f;
     },
     {
         {
             "       การวิเคราะห์ข้อสอบรายข้อ  โดยใช้สูตรอย่างง่าย กลุ่มสูง กลุ่มต่ำ 25 %",
             kHeaderLine,
             kRule,
             "  ข้อ ตัวเลือก  H     L     p      r    Delta        วิจารณ์",
             kRule,
             "             ก      1      4   .21   .25  16.2    ดี คนอ่อนหลงตอบมากกว่า",
             "    1     *ข      9      3   .50   .50  13.0    ยากง่ายปานกลาง  อำนาจจำแนกดีมาก",
             "             ค      1      3   .17   .17  16.9    ดี คนอ่อนหลงตอบมากกว่า",
             "             ง      1      2   .13   .08  17.6    ดี คนอ่อนหลงตอบมากกว่า",
             kRule,
         },
         {"    1     .50       .50      13.0       .55"},
         {"จำนวนข้อสอบที่วิเคราะห์                                 40 "},
         {
             "ข้อสอบที่ดี ควรเก็บไว้ ได้แก่",
             "   1. ข้อที่ค่อนข้างง่าย อำนาจจำแนกดี มี    3  ข้อ",
             "                4   9   17  ",
             "   2. ข้อที่ยากง่ายปานกลาง อำนาจจำแนกดี มี    2  ข้อ",
             "                1   12  ",
         },
     },
     {"จำนวนข้อสอบที่เสีย"}},

    {"CountsOfAThousandAndMoreInFull",
     [] {
         Fixture f{iatest::MakeHeader(1, 2), "1", BaseData(1)};
         auto& d = f.data;
         d.SheetCount = 1000000;
         d.rows = {
             Row(1, 1, false, 270000, 1000, " .21", " .25", "16.2", "ดี"),
             Row(1, 2, true, 999, 32768, " .50", " .50", "13.0", "ดี", " .55"),
         };
         SetKey(d, 1, "2");
         return f;
     },
     {
         {
             "             ก  270000  1000   .21   .25  16.2    ดี",
             "    1     *ข  999  32768   .50   .50  13.0    ดี",
         },
         {"จำนวนกระดาษคำตอบ" + std::string(36, ' ') + " 1000000 "},
     },
     {}},

    {"ItemNumberColumns",
     [] {
         Fixture f{iatest::MakeHeader(100, 3), "1", BaseData(1)};
         AddItem(f.data, 10, 3, 2, " .50", " .50");
         AddItem(f.data, 100, 3, 2, " .50", " .50");
         return f;
     },
     {
         {
             "             ก      1      3   .17   .17  16.9    ตัวลวง",
             "  10    *ข      8      2   .50   .50  13.0    ดี",
             "             ค      1      3   .17   .17  16.9    ตัวลวง",
             kRule,
             "             ก      1      3   .17   .17  16.9    ตัวลวง",
             "100     *ข      8      2   .50   .50  13.0    ดี",
         },
         {"   2. ข้อที่ยากง่ายปานกลาง อำนาจจำแนกดี มี    2  ข้อ", "                10   100  "},
     },
     {}},

    {"UnkeyedItemsKeepOnlyTheirRuleLine",
     [] {
         Fixture f{iatest::MakeHeader(4, 2), "1", BaseData(1)};
         auto& d = f.data;
         AddItem(d, 1, 2, 1, " .50", " .50");
         for (int item : {2, 3}) {
             d.rows.push_back(Row(item, 1, false, 4, 4, " .33", " .00", "14.8", "ไม่ควรเห็น"));
             d.rows.push_back(Row(item, 2, false, 4, 4, " .33", " .00", "14.8", "ไม่ควรเห็น"));
         }
         SetKey(d, 2, "");
         SetKey(d, 3, "0");
         // A key never typed (NULL) is no key either.
         d.rows.push_back(Row(4, 1, false, 2, 2, " .17", " .00", "16.9", "ไม่ควรเห็น"));
         d.rows.push_back(Row(4, 2, false, 2, 2, " .17", " .00", "16.9", "ไม่ควรเห็น"));
         SetKey(d, 4, std::nullopt);
         d.UnkeyedItemCount = 3;
         return f;
     },
     {
         {
             "           *ก      8      2   .50   .50  13.0    ดี",
             "    1       ข      1      3   .17   .17  16.9    ตัวลวง",
             kRule,
             kRule,
             kRule,
             kRule,
             "",
         },
         {"จำนวนข้อสอบที่เสีย" + std::string(41, ' ') + "3 ",
          "จำนวนกระดาษคำตอบ" + std::string(37, ' ') + "48 "},
     },
     {"ไม่ควรเห็น"}},

    {"BlankHeaderFieldsKeepTheColumns",
     [] {
         Fixture f{iatest::MakeHeader(1, 2), "", BaseData(1)};
         f.header.SubCode = "";
         f.header.SubName = "";
         f.header.Term = "2";
         AddItem(f.data, 1, 2, 1, " .50", " .50");
         return f;
     },
     {{"    วิชา " + std::string(11, ' ') + "  " + std::string(19, ' ') + "   เทอม " +
       std::string(7, ' ') + "/2546    อาจารย์ผู้สอน : ครูประจำวิชา"}},
     {}},

    {"UnencodableCharacterBecomesQuestionMark",
     [] {
         Fixture f{iatest::MakeHeader(1, 2), "1", BaseData(1)};
         f.header.TeacherName = "ครู😀สมชาย é";
         AddItem(f.data, 1, 2, 1, " .50", " .50");
         return f;
     },
     {{"    วิชา ท31101  ภาษาไทย   เทอม 1/2546    อาจารย์ผู้สอน : ครู?สมชาย ?"}},
     {}},

    {"UnknownKindWritesNoTitleNorItemLines",
     [] {
         Fixture f{iatest::MakeHeader(1, 2), "1", BaseData(0)};
         AddItem(f.data, 1, 2, 1, " .50", " .50");
         return f;
     },
     {{kHeaderLine, kRule, kRule, kRule, "", "", "", "    สรุป ค่า p ค่า r รายข้อ"}},
     {"ตัวลวง", "การวิเคราะห์ข้อสอบรายข้อ"}},
};

void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << c.name;
}

class ReportTextCase : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportTextCase, WritesTheExpectedLines) {
    const ReportCase& c = GetParam();
    iatest::TempDir dir;
    Fixture f = c.make();
    std::string path = ia::CreateOutputFile(dir.file("ม1-2546.ans"), f.header, f.termBox, f.data);
    EXPECT_EQ(path, dir.file("ม1-2546.txt"));
    std::vector<std::string> lines = ReportLines(path);
    for (const auto& run : c.runs)
        EXPECT_TRUE(ContainsRun(lines, run)) << "missing:\n" << Dump(run) << "in:\n" << Dump(lines);
    for (const auto& text : c.absent)
        for (const auto& line : lines)
            EXPECT_EQ(line.find(text), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Reports, ReportTextCase, ::testing::ValuesIn(kReportCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A whole 27 % report: a zero PH or PL leaves its column empty, an unkeyed
// item keeps its rule line, empty categories keep their two lines.
// The expected lines were not copied from the program's output alone: the
// item lines, the p/r summary lines, the averages line and the whole-test
// result lines were rebuilt by a separate Python script from the rows below
// and the line rules (item number on the second choice's line, choice column
// at 12/11/9, three spaces before p, r and Delta, column stops 10/20/30/40
// and 56/59/53/61 counted in code-page-874 bytes) and matched these texts
// exactly. The averages (.52, .25, 12.8, .25) are those of the two keyed
// items (.54 and .50; Zr .50 and .00, tanh(.25) = .245).
TEST(ReportText, Whole27PercentReport) {
    iatest::TempDir dir;
    ia::TestHeader header = iatest::MakeHeader(3, 3);
    ia::ReportData d = BaseData(2);
    d.stat.nItem = 2;
    d.UnkeyedItemCount = 1;
    d.rows = {
        Row(1, 1, true, 10, 4, " .54", " .46", "12.6", "ดี", " .50", " .77", " .31"),
        Row(1, 2, false, 0, 5, " .19", " .38", "16.5", "ตัวลวงดี", nullptr, " .00", " .38"),
        Row(1, 3, false, 3, 4, " .27", " .08", "15.4", "พอใช้", nullptr, " .23", " .00"),
        Row(2, 1, false, 3, 3, " .23", " .00", "15.4", "ไม่ควรเห็น", nullptr, " .23", " .23"),
        Row(2, 2, false, 3, 3, " .23", " .00", "15.4", "ไม่ควรเห็น", nullptr, " .23", " .23"),
        Row(2, 3, false, 3, 3, " .23", " .00", "15.4", "ไม่ควรเห็น", nullptr, " .23", " .23"),
        Row(3, 1, false, 2, 6, " .31", " .31", "15.0", "ดี", nullptr, " .15", " .46"),
        Row(3, 2, false, 1, 1, " .08", " .00", "18.6", "ไม่ดี", nullptr, " .08", " .08"),
        Row(3, 3, true, 6, 6, " .50", " .00", "13.0", "จำแนกไม่ได้", " .00", " .46", " .46"),
    };
    SetKey(d, 1, "1");
    SetKey(d, 2, "");
    SetKey(d, 3, "3");

    std::string path = ia::CreateOutputFile(dir.file("ม1.ans"), header, "2", d);
    // clang-format off
    const std::vector<std::string> expected = {
        "     การวิเคราะห์ข้อสอบรายข้อ  โดยใช้ตาราง CHUNG TEH FAN กลุ่มสูง กลุ่มต่ำ 27 %",
        "    วิชา ท31101  ภาษาไทย   เทอม 2/2546    อาจารย์ผู้สอน : ครูประจำวิชา",
        kRule,
        "  ข้อ ตัวเลือก  H     L    PH    PL      p      r     Delta          วิจารณ์",
        kRule,
        "           *ก    10      4   .77   .31    .54    .46   12.6    ดี",
        "    1       ข      0      5     .38    .19    .38   16.5    ตัวลวงดี",
        "             ค      3      4   .23      .27    .08   15.4    พอใช้",
        kRule,
        kRule,
        "             ก      2      6   .15   .46    .31    .31   15.0    ดี",
        "    3       ข      1      1   .08   .08    .08    .00   18.6    ไม่ดี",
        "           *ค      6      6   .46   .46    .50    .00   13.0    จำแนกไม่ได้",
        kRule,
        "",
        "",
        "",
        "    สรุป ค่า p ค่า r รายข้อ",
        "    วิชา ท31101  ภาษาไทย   เทอม 2/2546    อาจารย์ผู้สอน : ครูประจำวิชา",
        kRule,
        "   ข้อ      p           r       Delta      Zr",
        kShortRule,
        "    1     .54       .46      12.6       .50",
        "    3     .50       .00      13.0       .00",
        kRule,
        "เฉลี่ย    .52       .25      12.8       .25",
        kRule,
        "",
        "",
        "",
        "                                            ผลการวิเคราะห์รายฉบับ",
        "    วิชา ท31101  ภาษาไทย   เทอม 2/2546    อาจารย์ผู้สอน : ครูประจำวิชา",
        kRule,
        "จำนวนข้อสอบที่วิเคราะห์                                 2 ",
        "จำนวนข้อสอบที่เสีย                                         1 ",
        "จำนวนกระดาษคำตอบ                                     48 ",
        "คะแนนเฉลี่ย                                                 25.31",
        "ส่วนเบี่ยงเบนมาตรฐาน                                  4.12",
        "ความเชื่อมั่น KR-20                                      .71",
        "ความคลาดเคลื่อนมาตรฐาน                           2.22",
        kRule,
        "                                            สรุปคุณภาพของข้อสอบ",
        kRule,
        "ข้อสอบที่ดี ควรเก็บไว้ ได้แก่",
        "   1. ข้อที่ค่อนข้างง่าย อำนาจจำแนกดี มี    0  ข้อ",
        "               ",
        "   2. ข้อที่ยากง่ายปานกลาง อำนาจจำแนกดี มี    1  ข้อ",
        "                1  ",
        "   3. ข้อที่ค่อนข้างยาก อำนาจจำแนกดี มี    0  ข้อ",
        "               ",
        "ข้อสอบที่ควรปรับปรุง ได้แก่",
        "   1. ข้อที่ง่ายมาก อำนาจจำแนกดี มี    0  ข้อ",
        "               ",
        "   2. ข้อที่ยากมาก อำนาจจำแนกดี มี    0  ข้อ",
        "               ",
        "   3. ข้อที่ความยากปานกลาง อำนาจจำแนกไม่ดี มี    0  ข้อ",
        "               ",
        "ข้อสอบที่ควรตัดทิ้งได้แก่",
        "   1. ข้อที่ง่ายมากหรือยากมาก อำนาจจำแนกไม่ดี    0  ข้อ",
        "               ",
        "   2. ข้อที่อำนาจจำแนกเป็น 0 มี    1  ข้อ",
        "                3  ",
        "   3. ข้อที่อำนาจจำแนกเป็นลบ มี    0  ข้อ",
        "               ",
        kRule,
    };
    // clang-format on
    std::vector<std::string> lines = ReportLines(path);
    EXPECT_EQ(lines, expected) << Dump(lines);
}

TEST(ReportText, BlankSubstitutesStayInTheHeader) {
    iatest::TempDir dir;
    ia::TestHeader header = iatest::MakeHeader(1, 2);
    header.SubCode = "";
    header.SubName = "";
    header.Term = "1";
    ia::ReportData d = BaseData(1);
    AddItem(d, 1, 2, 1, " .50", " .50");
    ia::CreateOutputFile(dir.file("a.ans"), header, "", d);
    EXPECT_EQ(header.SubCode, std::string(11, ' '));
    EXPECT_EQ(header.SubName, std::string(19, ' '));
    EXPECT_EQ(header.Term, std::string(7, ' '));
    ia::CreateOutputFile(dir.file("a.ans"), header, "2", d);
    EXPECT_EQ(header.Term, "2");
}

TEST(OutputPath, ReplacesOnlyTheFileNameExtension) {
    iatest::TempDir dir;
    const std::string f = dir.file("ภาค.1") + "/";
    struct {
        std::string exam, ext, expected;
    } cases[] = {
        {f + "ม1-2546.ans", "txt", f + "ม1-2546.txt"},
        {f + "ม1.2546.ans", "txt", f + "ม1.2546.txt"},
        {f + "ม1", "txt", f + "ม1.txt"},
        {f + "ม1.ans", "pdf", f + "ม1.pdf"},
        {f + "ม1.ans", "raw.pdf", f + "ม1.raw.pdf"},
        {"ม1.ans", "txt", "ม1.txt"},
        {f + "x.txt", "txt", f + "x.txt.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ia::DerivedPath(c.exam, c.ext), c.expected) << c.exam;
}

TEST(OutputPath, NeverNamesTheExamFileItself) {
    iatest::TempDir dir;
    ia::ReportData d = BaseData(1);
    AddItem(d, 1, 2, 1, " .50", " .50");
    ia::TestHeader header = iatest::MakeHeader(1, 2);

    // An exam file that happens to be called x.txt.
    WriteBytes(dir.file("x.txt"), "exam");
    EXPECT_EQ(ia::CreateOutputFile(dir.file("x.txt"), header, "1", d), dir.file("x.txt.txt"));
    EXPECT_EQ(iatest::FileBytes(dir.file("x.txt")), "exam");

    // Two spellings of one file, as on FAT: y.txt is the exam file y.TXT.
    WriteBytes(dir.file("y.TXT"), "exam");
    fs::create_hard_link(dir.file("y.TXT"), dir.file("y.txt"));
    EXPECT_EQ(ia::CreateOutputFile(dir.file("y.TXT"), header, "1", d), dir.file("y.TXT.txt"));
    EXPECT_EQ(iatest::FileBytes(dir.file("y.TXT")), "exam");

    // A different file of that name is an old report and is replaced.
    WriteBytes(dir.file("z.TXT"), "exam");
    WriteBytes(dir.file("z.txt"), "old report");
    EXPECT_EQ(ia::CreateOutputFile(dir.file("z.TXT"), header, "1", d), dir.file("z.txt"));
    EXPECT_EQ(iatest::FileBytes(dir.file("z.TXT")), "exam");
    EXPECT_NE(iatest::FileBytes(dir.file("z.txt")), "old report");
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReportText, UnwritableReportThrowsWithItsPath) {
    iatest::TempDir dir;
    WriteBytes(dir.file("plain"), "not a folder");
    fs::create_directory(dir.file("busy.txt"));
    struct {
        std::string exam, report;
    } cases[] = {
        {dir.file("plain") + "/ม1.ans", dir.file("plain") + "/ม1.txt"},
        {dir.file("busy.ans"), dir.file("busy.txt")}, // a folder holds the name
    };
    ia::ReportData d = BaseData(1);
    AddItem(d, 1, 2, 1, " .50", " .50");
    for (const auto& c : cases) {
        ia::TestHeader header = iatest::MakeHeader(1, 2);
        try {
            ia::CreateOutputFile(c.exam, header, "1", d);
            ADD_FAILURE() << "no error for " << c.exam;
        } catch (const ia::ReportWriteError& e) {
            EXPECT_STREQ(e.what(), ("บันทึกไฟล์รายงานไม่ได้ : " + c.report).c_str());
        }
    }
    EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"busy.txt", "plain"}));
}

// A write that fails half way (here the file size limit, which binds root as
// well as a full disk would) must not leave a cut-off report behind.
TEST(ReportText, FailedWriteKeepsThePreviousReport) {
    iatest::TempDir dir;
    WriteBytes(dir.file("ม1.txt"), "previous report");
    ia::ReportData d = BaseData(1);
    for (int i = 1; i <= 40; ++i)
        AddItem(d, i, 4, 1, " .50", " .50");
    ia::TestHeader header = iatest::MakeHeader(40, 4);

    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        ia::CreateOutputFile(dir.file("ม1.ans"), header, "1", d);
    } catch (const ia::ReportWriteError& e) {
        threw = true;
        EXPECT_STREQ(e.what(), ("บันทึกไฟล์รายงานไม่ได้ : " + dir.file("ม1.txt")).c_str());
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(iatest::FileBytes(dir.file("ม1.txt")), "previous report");
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"ม1.txt"});
}

} // namespace
