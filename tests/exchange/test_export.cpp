// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExchangeFixtures.h"
#include "SyncOrder.h"
#include "TestSupport.h"
#include "examfile/AnalysisRunLog.h"
#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "exchange/ResultsExport.h"
#include "exchange/SheetImport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

namespace {

using iatest::Rows;

TEST(Scores, RankPercentileZAndT) {
    // Five items, one spoiled ("0"), one blank, one with no value at all
    // (counted by the analysis, never matched): two items score, and the
    // percent is of those two.
    const std::vector<std::string> key{"1", "0", "", "", "2"};
    const std::vector<bool> keyNull{false, false, false, true, false};
    const std::vector<std::string> codes{"ก", "ข", "ค", "ง"};
    const Rows answers{{"1", "0", "", "", "2"},    // 2
                       {"1", "1", "1", "1", "1"},  // 1
                       {"2", "0", "", "1", "2"},   // 1
                       {"3", "3", "3", "3", "3"}}; // 0
    auto s = ia::ComputeScores(key, keyNull, codes, answers);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].score, 2);
    EXPECT_EQ(s[1].score, 1);
    EXPECT_EQ(s[3].score, 0);
    EXPECT_DOUBLE_EQ(s[0].percent, 100); // both keyed items right
    EXPECT_DOUBLE_EQ(s[1].percent, 50);
    // Rank 1, 2, 2, 4.
    EXPECT_EQ(s[0].rank, 1);
    EXPECT_EQ(s[1].rank, 2);
    EXPECT_EQ(s[2].rank, 2);
    EXPECT_EQ(s[3].rank, 4);
    // (below + equal / 2) / N × 100.
    EXPECT_DOUBLE_EQ(s[0].percentileRank, 87.5);
    EXPECT_DOUBLE_EQ(s[1].percentileRank, 50);
    EXPECT_DOUBLE_EQ(s[3].percentileRank, 12.5);
    // Mean 1, population SD sqrt(0.5).
    ASSERT_TRUE(s[0].hasZ);
    EXPECT_NEAR(s[0].z, 1 / std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(s[0].t, 50 + 10 / std::sqrt(0.5), 1e-12);
    EXPECT_DOUBLE_EQ(s[1].z, 0);
    // Every score the same: no z, no T; no keyed item: no percent.
    s = ia::ComputeScores({"", "0"}, {false, false}, {"a", "b"}, {{"1", "1"}, {"2", "2"}});
    EXPECT_FALSE(s[0].hasZ);
    EXPECT_FALSE(s[0].hasPercent);
    EXPECT_EQ(s[1].rank, 1);
    EXPECT_DOUBLE_EQ(s[1].percentileRank, 50);
    // A key never typed (NULL on every item) gives no percent either, not 0.
    s = ia::ComputeScores({"", ""}, {true, true}, {"a"}, {{"1", "1"}});
    EXPECT_FALSE(s[0].hasPercent);
}

struct ExportFixture : ::testing::Test {
    iatest::TempDir dir;
    std::string exam = dir.file("วิชา.ans");
    const Rows sheets{{"สมชาย", "1", "2", "3"},
                      {"สมหญิง, ใจดี", "1", "\x01", "*"},
                      {"\"ดาว\"", "2", "2", "0"},
                      {"007", "1", "2", "3"}};
    void SetUp() override {
        iatest::MakeExamFile(exam, iatest::MakeHeader(3, 4), {"1", "2", "3"}, sheets);
    }
    std::vector<ia::OutSheet> Build() {
        ia::Connection db(exam);
        return ia::BuildExportSheets(db, 3);
    }
};

// What a Python script prints given the path (Debian's interpreter, where
// python3-openpyxl is installed), its errors included.
std::string RunPython(const std::string& script, const std::string& path) {
    const std::string scriptPath = path + ".py";
    iatest::WriteBytes(scriptPath, script);
    std::string out;
    // Debian's interpreter, where python3-openpyxl is installed.
    FILE* p = popen(("/usr/bin/python3 '" + scriptPath + "' '" + path + "' 2>&1").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

// What an independent reader (openpyxl, as a spreadsheet program reads the
// file) finds: each cell as type:value.
std::string ReadWithOpenpyxl(const std::string& path) {
    return RunPython("import sys, openpyxl\n"
                     "wb = openpyxl.load_workbook(sys.argv[1])\n"
                     "for ws in wb:\n"
                     "    print('#', ws.title, ws.freeze_panes)\n"
                     "    for row in ws.iter_rows(values_only=True):\n"
                     "        print('|'.join('' if v is None else type(v).__name__ + ':' "
                     "+ str(v) for v in row))\n",
                     path);
}

const ia::OutSheet& SheetNamed(const std::vector<ia::OutSheet>& sheets, const std::string& name) {
    for (const ia::OutSheet& s : sheets)
        if (s.name == name) return s;
    throw std::runtime_error("no sheet " + name);
}

// The cell under a header of a plain table's row; an empty cell when the
// row is shorter.
ia::OutCell Cell(const ia::OutSheet& sheet, size_t row, const std::string& header) {
    const ia::SpreadsheetRow& head = sheet.rows.at(0);
    for (size_t c = 0; c < head.size(); ++c)
        if (head[c].text == header)
            return c < sheet.rows.at(row).size() ? sheet.rows[row][c] : ia::OutCell{};
    throw std::runtime_error("no column " + header + " in " + sheet.name);
}

TEST_F(ExportFixture, WorkbookReadBackByAnIndependentReader) {
    {
        ia::Connection db(exam);
        ia::RecordAnalysisRun(db, 2);
    }
    const std::string out = dir.file("ผล.xlsx");
    std::string error;
    ASSERT_TRUE(ia::WriteXlsx(Build(), out, error)) << error;
    const std::string seen = ReadWithOpenpyxl(out);
    // Sheet names, frozen header rows, numbers as numbers, codes as texts.
    EXPECT_NE(
        seen.find(
            "# คะแนน A2\nstr:รหัส|str:คะแนน|str:ร้อยละ|str:ตำแหน่งเปอร์เซ็นไทล์|str:z|str:T|str:อันดับ\n"
            "str:สมชาย|int:3|int:100|int:75|int:1|int:60|int:1\n"
            "str:สมหญิง, ใจดี|int:1|float:33.33333333333334|int:25|int:-1|int:40|int:3\n"),
        std::string::npos)
        << seen;
    EXPECT_NE(seen.find("str:007|int:3|int:100|"), std::string::npos) << seen;
    EXPECT_NE(seen.find("# คำตอบ A3\nstr:รหัส|str:ข้อ 1|str:ข้อ 2|str:ข้อ 3\n"
                        "str:เฉลย|int:1|int:2|int:3\n"
                        "str:สมชาย|int:1|int:2|int:3\n"
                        "str:สมหญิง, ใจดี|int:1||str:*\n"),
              std::string::npos)
        << seen;
    EXPECT_NE(seen.find("# ผลวิเคราะห์ A2\nstr:ข้อ|str:ตัวเลือก|str:เฉลย|str:H|str:L|str:p|str:r|"
                        "str:delta|str:ความหมาย\n#"),
              std::string::npos)
        << seen;
    // The technique and time of the analysis, in the summary's row of the
    // stored results; the answers now (4 sheets, 3 keyed items) below it.
    EXPECT_NE(seen.find("# สรุป A2\nstr:ที่มา|str:เทคนิค|str:วิเคราะห์เมื่อ|str:หมายเหตุ|"
                        "str:จำนวนกระดาษคำตอบ|str:จำนวนข้อที่มีเฉลย|"),
              std::string::npos)
        << seen;
    EXPECT_NE(seen.find("\nstr:ผลวิเคราะห์ที่บันทึกไว้|str:เทคนิค 27%|str:20"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\nstr:สถิติรายข้อจากคำตอบปัจจุบัน||||int:4|int:3|"), std::string::npos) << seen;
    // The whole-test item statistics: item 1 is answered 1 by three sheets
    // of four (p 0.75); its choice 2 by one.
    EXPECT_NE(seen.find("# สถิติรายข้อ A2\nstr:ข้อ|str:เฉลย|str:p|"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\nint:1|int:1|float:0.75|"), std::string::npos) << seen;
    EXPECT_NE(seen.find("# ตัวเลือก A2\nstr:ข้อ|str:ตัวเลือก|str:เฉลย|str:จำนวน|"), std::string::npos)
        << seen;
    EXPECT_NE(seen.find("\nint:1|int:2||int:1|float:0.25|"), std::string::npos) << seen;
}

TEST_F(ExportFixture, ResultsAsNumbersWithTheirHeading) {
    {
        ia::Connection db(exam);
        db.exec("INSERT INTO TOut (ItemNo, ChoiceNo, IsAns, H, L, P, r, Delta, Explain) VALUES "
                "(1, 1, 1, 5, 2, '  0.5000', ' -0.2500', ' 13.0000', 'ดี')");
        db.exec("UPDATE TStat SET nCase = 4, Xbar = '  2.2500', KR20 = 'ไม่มีค่า'");
    }
    const auto sheets = Build();
    const ia::OutSheet& results = SheetNamed(sheets, ia::kResultsSheet);
    ASSERT_EQ(results.rows.size(), 2u);
    EXPECT_EQ(results.rows[0][0].text, "ข้อ");
    const ia::SpreadsheetRow& row = results.rows.at(1);
    EXPECT_EQ(row[2].text, "*");
    EXPECT_EQ(row[5].kind, ia::OutCell::Number);
    EXPECT_DOUBLE_EQ(row[5].number, 0.5);
    EXPECT_DOUBLE_EQ(row[6].number, -0.25);
    EXPECT_EQ(row[8].text, "ดี");
    // The summary: stored texts as numbers, a text that is no number kept;
    // no record of the technique, no time.
    const ia::OutSheet& summary = SheetNamed(sheets, ia::kSummarySheet);
    ASSERT_EQ(summary.rows.size(), 3u);
    EXPECT_EQ(Cell(summary, 1, "ที่มา").text, "ผลวิเคราะห์ที่บันทึกไว้");
    EXPECT_DOUBLE_EQ(Cell(summary, 1, "ค่าเฉลี่ย").number, 2.25);
    EXPECT_EQ(Cell(summary, 1, "KR-20").text, "ไม่มีค่า");
    EXPECT_EQ(Cell(summary, 1, "คะแนนสูงสุด").kind, ia::OutCell::Empty);
    EXPECT_EQ(Cell(summary, 1, "เทคนิค").kind, ia::OutCell::Empty);
    EXPECT_EQ(Cell(summary, 2, "ที่มา").text, "สถิติรายข้อจากคำตอบปัจจุบัน");
    EXPECT_DOUBLE_EQ(Cell(summary, 2, "ค่าเฉลี่ย").number, 2);
}

// Every table reads as a table: the first row is the header, then rows no
// wider than it and never empty; the item column of the results is whole
// numbers for a spreadsheet and for a CSV reader alike, and the stale
// results' notice is in the summary, not inside the results.
TEST_F(ExportFixture, EveryTableIsPlainAndTheItemColumnReadsAsNumbers) {
    {
        ia::Connection db(exam);
        for (int item = 1; item <= 3; ++item)
            for (int choice = 1; choice <= 4; ++choice)
                db.exec("INSERT INTO TOut (ItemNo, ChoiceNo, IsAns, H, L, P, r, Delta, Explain) "
                        "VALUES (" +
                        std::to_string(item) + ", " + std::to_string(choice) + ", " +
                        (choice == item ? "1" : "0") +
                        ", 2, 1, '  0.5000', '  0.2500', ' 13.0000', 'พอใช้')");
        db.exec("UPDATE TStat SET nCase = 4, MaxScore = 3, MinScore = 0, Xbar = '  2.2500', "
                "SD = '  1.0000', nItem = 3");
        ia::RecordAnalysisRun(db, 1);
    }
    auto sheets = Build();
    ia::NoteResultsCurrency(sheets, "ผลไม่ตรง");
    const std::string xlsx = dir.file("ผล.xlsx"), csv = dir.file("ผล.csv"),
                      summaryCsv = dir.file("สรุป.csv");
    std::string error;
    ASSERT_TRUE(ia::WriteXlsx(sheets, xlsx, error)) << error;
    ASSERT_TRUE(ia::WriteCsv(ia::CsvSheet(sheets, ia::CsvTable::Results), csv, error)) << error;
    ASSERT_TRUE(ia::WriteCsv(ia::CsvSheet(sheets, ia::CsvTable::Summary), summaryCsv, error))
        << error;
    const std::string workbook =
        RunPython("import sys, openpyxl\n"
                  "wb = openpyxl.load_workbook(sys.argv[1])\n"
                  "for ws in wb:\n"
                  "    rows = list(ws.iter_rows(values_only=True))\n"
                  "    head = [v for v in rows[0] if v is not None]\n"
                  "    if not all(isinstance(v, str) for v in head) or len(head) != len(rows[0]):\n"
                  "        print(ws.title, 'header', rows[0])\n"
                  "    for r in rows[1:]:\n"
                  "        cells = [v for v in r if v is not None]\n"
                  "        if not cells or len(r) > len(rows[0]):\n"
                  "            print(ws.title, 'row', r)\n"
                  "    if ws.title == 'ผลวิเคราะห์':\n"
                  "        print('items', [type(r[0]).__name__ + str(r[0]) for r in rows[1:]])\n",
                  xlsx);
    EXPECT_EQ(workbook, "items ['int1', 'int1', 'int1', 'int1', 'int2', 'int2', 'int2', 'int2', "
                        "'int3', 'int3', 'int3', 'int3']\n");
    const std::string read =
        RunPython("import sys, csv\n"
                  "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig')))\n"
                  "print(rows[0][0], sorted({int(r[0]) for r in rows[1:]}), len(rows))\n",
                  csv);
    EXPECT_EQ(read, "ข้อ [1, 2, 3] 13\n");
    const std::string results = iatest::FileBytes(csv), summary = iatest::FileBytes(summaryCsv);
    EXPECT_EQ(results.find("ผลไม่ตรง"), std::string::npos);
    EXPECT_NE(summary.find("\r\nผลวิเคราะห์ที่บันทึกไว้,เทคนิค 25%,"), std::string::npos) << summary;
    EXPECT_NE(summary.find(",ผลไม่ตรง,4,3,3,0,2.25,1,"), std::string::npos) << summary;
}

// The names the file keeps go beside the code in the scores and the
// answers; a sheet without a name gets an empty cell, the key none.
TEST_F(ExportFixture, NamesBesideTheCode) {
    {
        ia::Connection db(exam);
        db.exec(ia::schema::SheetNameTableSql());
        db.exec(std::string("INSERT INTO ") + ia::schema::kSheetNameTable +
                " SELECT rowid, 'ชื่อ ' || Code FROM TAData WHERE Code <> '007'");
    }
    const auto sheets = Build();
    const ia::OutSheet& scores = SheetNamed(sheets, ia::kScoresSheet);
    EXPECT_EQ(scores.rows[0][1].text, "ชื่อ");
    EXPECT_EQ(Cell(scores, 1, "รหัส").text, "สมชาย");
    EXPECT_EQ(Cell(scores, 1, "ชื่อ").text, "ชื่อ สมชาย");
    EXPECT_DOUBLE_EQ(Cell(scores, 1, "คะแนน").number, 3);
    EXPECT_EQ(Cell(scores, 4, "ชื่อ").kind, ia::OutCell::Empty);
    EXPECT_DOUBLE_EQ(Cell(scores, 4, "ร้อยละ").number, 100);
    const ia::OutSheet& answers = SheetNamed(sheets, ia::kAnswersSheet);
    EXPECT_EQ(Cell(answers, 1, "รหัส").text, "เฉลย");
    EXPECT_EQ(Cell(answers, 1, "ชื่อ").kind, ia::OutCell::Empty);
    EXPECT_EQ(Cell(answers, 3, "ชื่อ").text, "ชื่อ สมหญิง, ใจดี");
    EXPECT_DOUBLE_EQ(Cell(answers, 3, "ข้อ 1").number, 1);
    std::string error;
    const std::string out = dir.file("ชื่อ.csv");
    ASSERT_TRUE(ia::WriteCsv(ia::CsvSheet(sheets, ia::CsvTable::Scores), out, error));
    EXPECT_NE(iatest::FileBytes(out).find("รหัส,ชื่อ,คะแนน,ร้อยละ,"), std::string::npos);
    EXPECT_NE(iatest::FileBytes(out).find("\r\n007,,3,100,"), std::string::npos);
}

TEST_F(ExportFixture, CsvTablesWithByteOrderMarkAndQuotes) {
    const auto sheets = Build();
    std::string error;
    const std::string out = dir.file("t.csv");
    ASSERT_TRUE(ia::WriteCsv(ia::CsvSheet(sheets, ia::CsvTable::Answers), out, error));
    EXPECT_EQ(iatest::FileBytes(out), "\xEF\xBB\xBF"
                                      "รหัส,ข้อ 1,ข้อ 2,ข้อ 3\r\n"
                                      "เฉลย,1,2,3\r\n"
                                      "สมชาย,1,2,3\r\n"
                                      "\"สมหญิง, ใจดี\",1,,*\r\n"
                                      "\"\"\"ดาว\"\"\",2,2,0\r\n"
                                      "007,1,2,3\r\n");
    ASSERT_TRUE(ia::WriteCsv(ia::CsvSheet(sheets, ia::CsvTable::Scores), out, error));
    const std::string scores = iatest::FileBytes(out);
    EXPECT_EQ(scores.rfind("\xEF\xBB\xBF"
                           "รหัส,คะแนน,ร้อยละ,ตำแหน่งเปอร์เซ็นไทล์,z,T,อันดับ\r\n",
                           0),
              0u);
    EXPECT_NE(scores.find("\"สมหญิง, ใจดี\",1,33.333333,25,-1,40,3\r\n"), std::string::npos)
        << scores;
}

TEST_F(ExportFixture, RoundTripsGiveTheSameSheetsAndKey) {
    const auto sheets = Build();
    const Rows before = iatest::ExamRows(exam, 3);
    std::string error;
    const std::string xlsx = dir.file("ไป.xlsx"), csv = dir.file("ไป.csv");
    ASSERT_TRUE(ia::WriteXlsx(sheets, xlsx, error));
    ASSERT_TRUE(ia::WriteCsv(ia::CsvSheet(sheets, ia::CsvTable::Answers), csv, error));
    for (const std::string& source : {xlsx, csv}) {
        const std::string copy = dir.file("กลับ.ans");
        std::filesystem::remove(copy);
        iatest::MakeExamFile(copy, iatest::MakeHeader(3, 4), {"", "", ""}, {});
        ia::ImportPlan plan = ia::ReadImportSource(source, 3, 4, {});
        ASSERT_TRUE(plan.ok()) << source << "\n" << ia::ErrorSummary(plan.errors);
        ia::Connection db(copy);
        ia::ApplyImport(db, plan, ia::ImportMode::Replace, 3);
        EXPECT_EQ(iatest::ExamRows(copy, 3), before) << source;
    }
}

TEST_F(ExportFixture, TargetsReplacedWholeAndNeverTheExamFile) {
    EXPECT_EQ(ia::ExportTargetRefusal(exam, exam), "ไฟล์ที่ส่งออกต้องไม่ใช่ไฟล์ข้อสอบ " + exam);
    EXPECT_EQ(ia::ExportTargetRefusal(exam, dir.file("./วิชา.ans")),
              "ไฟล์ที่ส่งออกต้องไม่ใช่ไฟล์ข้อสอบ " + exam);
    EXPECT_EQ(ia::ExportTargetRefusal(exam, dir.file("วิชา.xlsx")), "");
    // An existing target is replaced, with no temporary file left beside it.
    const std::string out = dir.file("a.csv");
    iatest::WriteBytes(out, "old");
    std::string error;
    ASSERT_TRUE(ia::WriteCsv(Build()[0], out, error));
    EXPECT_NE(iatest::FileBytes(out), "old");
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.path().filename().string().rfind("a.csv", 0) == 0;
    EXPECT_EQ(files, 1);
    // A folder that does not exist: a Thai message, nothing written.
    const std::string missing = dir.file("ไม่มี/b.xlsx");
    EXPECT_FALSE(ia::WriteXlsx(Build(), missing, error));
    EXPECT_EQ(error, "เขียนไฟล์ " + missing + " ไม่ได้");
    EXPECT_FALSE(ia::WriteCsv(Build()[0], missing, error));
    EXPECT_EQ(error, "เขียนไฟล์ " + missing + " ไม่ได้");
}

// An export cancelled in the middle, whether reading the sheets or writing
// the rows: the previous file stays byte for byte, no temporary beside it.
TEST_F(ExportFixture, CancelledExportKeepsThePreviousFile) {
    using Export = std::function<void(const std::string& out, ia::Progress&)>;
    const std::vector<std::pair<std::string, Export>> cases{
        {"old.xlsx",
         [&](const std::string& out, ia::Progress& progress) {
             ia::Connection db(exam);
             std::string error;
             ASSERT_TRUE(
                 ia::WriteXlsx(ia::BuildExportSheets(db, 3, progress), out, error, progress))
                 << error;
         }},
        {"old.csv", [&](const std::string& out, ia::Progress& progress) {
             ia::Connection db(exam);
             std::string error;
             ASSERT_TRUE(
                 ia::WriteCsv(ia::BuildExportSheets(db, 3, progress)[1], out, error, progress))
                 << error;
         }}};
    for (const auto& [name, run] : cases) {
        const std::string out = dir.file(name);
        iatest::WriteBytes(out, "previous");
        iatest::CancelAtStep counting;
        run(dir.file("count-" + name), counting);
        EXPECT_EQ(counting.stages(),
                  (std::vector<std::string>{ia::kReadingSheetsStage, ia::kExportingStage}));
        // Every report is a place where a cancel must leave the file alone.
        for (long long k = 1; k <= counting.reports(); ++k) {
            iatest::CancelAtStep cancelling(k);
            EXPECT_THROW(run(out, cancelling), ia::JobCancelled) << name << " step " << k;
            EXPECT_EQ(iatest::FileBytes(out), "previous") << name << " step " << k;
        }
        for (auto& e : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
    }
}

TEST_F(ExportFixture, AFileWithoutTheRunTableStaysValid) {
    ia::Connection db(exam);
    EXPECT_FALSE(ia::LastAnalysisRun(db).has_value());
    ia::RecordAnalysisRun(db, 1);
    ia::RecordAnalysisRun(db, 2);
    auto run = ia::LastAnalysisRun(db);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->technique, 2);
    EXPECT_EQ(run->time.size(), 19u);
}

// Lets a test act once, at the first sheet the export reads: a write by
// another program lands between the export's reads of the file.
class ActAtFirstSheet : public ia::Progress {
  public:
    explicit ActAtFirstSheet(std::function<void()> act) : act_(std::move(act)) {}

  protected:
    bool show() override {
        if (!acted_ && what() == ia::kReadingSheetsStage && done() == 1) {
            acted_ = true;
            act_();
        }
        return true;
    }

  private:
    std::function<void()> act_;
    bool acted_ = false;
};

// Every sheet of one export shows one state of the file, even while
// another program replaces its sheets (a file in WAL mode lets that writer
// through while the export reads).
TEST(Export, EverySheetOfTheWorkbookShowsOneStateOfTheFile) {
    iatest::TempDir dir;
    const std::string exam = dir.file("ม1.ans");
    Rows rows;
    for (int s = 1; s <= 4; ++s)
        rows.push_back({"0" + std::to_string(s), "1", "2", "3", std::to_string(s % 4 + 1)});
    iatest::MakeExamFile(exam, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"}, rows);
    {
        ia::Connection db(exam);
        db.exec("PRAGMA journal_mode = WAL");
    }
    ia::Connection db(exam, ia::Connection::Mode::ReadOnly);
    ActAtFirstSheet importMeanwhile([&] {
        ia::Connection other(exam);
        for (int s = 0; s < 6; ++s)
            other.exec(std::string("INSERT INTO ") + ia::schema::kSheetsTable + " (" +
                       ia::schema::kSheetCode +
                       ", X1, X2, X3, X4) VALUES ('ใหม่', '4', '4', '4', '4')");
    });
    const std::vector<ia::OutSheet> sheets = ia::BuildExportSheets(db, 4, importMeanwhile);
    const ia::OutSheet& scores = sheets.at(0);
    const ia::OutSheet& summary = SheetNamed(sheets, ia::kSummarySheet);
    const double counted = Cell(summary, summary.rows.size() - 1, "จำนวนกระดาษคำตอบ").number;
    EXPECT_EQ(scores.rows.size() - 1, 4u);
    EXPECT_EQ(counted, 4.0) << "the item statistics read another state of the file";
}

} // namespace

namespace {

// A file whose sheets have groups gets a sheet comparing them; one without
// groups keeps the sheets it always had.
TEST_F(ExportFixture, GroupComparisonSheetOnlyForAGroupedFile) {
    for (const ia::OutSheet& s : Build()) {
        EXPECT_NE(s.name, "เปรียบเทียบกลุ่ม");
        EXPECT_NE(s.name, "กลุ่ม");
    }
    {
        ia::Connection db(exam);
        db.exec(ia::schema::SheetGroupTableSql());
        db.exec(std::string("INSERT INTO ") + ia::schema::kSheetGroupTable +
                " SELECT rowid, CASE WHEN rowid % 2 THEN 'ห้อง 1' ELSE 'ห้อง 2' END FROM TAData");
    }
    const std::vector<ia::OutSheet> sheets = Build();
    // The groups and the items by group: two plain tables, two sheets.
    const ia::OutSheet& g = SheetNamed(sheets, "กลุ่ม");
    ASSERT_EQ(g.rows.size(), 3u);
    EXPECT_EQ(g.rows[1][0].text, "ห้อง 1");
    EXPECT_EQ(g.rows[1][1].number, 2);
    EXPECT_EQ(g.rows[2][5].text, "น้อยกว่า 25 คน ไม่ตัดสิน");
    const ia::OutSheet& items = SheetNamed(sheets, "เปรียบเทียบกลุ่ม");
    ASSERT_EQ(items.rows.size(), 4u);
    EXPECT_EQ(items.rows[0][0].text, "ข้อ");
    // Item 1: p = .75 pooled; .5 in rows 1 and 3, 1 in rows 2 and 4.
    const ia::SpreadsheetRow& item1 = items.rows[1];
    EXPECT_EQ(item1[0].number, 1);
    EXPECT_DOUBLE_EQ(item1[1].number, 0.75);
    EXPECT_DOUBLE_EQ(item1[2].number, 0.5);
    EXPECT_DOUBLE_EQ(item1[3].number, 1.0);
}

} // namespace

namespace {

// Every file an export or an import writes is synced before it takes its
// name, and its folder after (the order of the calls is seen through
// tests/SyncOrder.h).
TEST_F(ExportFixture, EveryWrittenFileIsSyncedBeforeItIsRenamed) {
    const std::vector<iatest::SyncedWrite> cases = {
        {"the workbook", "ผล.xlsx", "export",
         [this](const std::string& target) {
             std::string error;
             EXPECT_TRUE(ia::WriteXlsx(Build(), target, error)) << error;
         }},
        {"the CSV table", "ผล.csv", "csv",
         [this](const std::string& target) {
             std::string error;
             EXPECT_TRUE(ia::WriteCsv(ia::CsvSheet(Build(), ia::CsvTable::Scores), target, error))
                 << error;
         }},
        {"the backup before a replacing import", "วิชา.ans.bak", "backup",
         [this](const std::string&) {
             ia::ImportBackup backup;
             std::string error;
             ASSERT_TRUE(backup.take(exam, error)) << error;
             ASSERT_TRUE(backup.keep(error)) << error;
         }},
    };
    iatest::ExpectSyncedBeforeRenamed(dir.path(), cases);
}

} // namespace
