// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "analysis/FanTable.h"
#include "examfile/DataView.h"

#include <filesystem>
#include <functional>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEST(ChungRowStart, RowsAndOutsideValues) {
    const std::vector<std::pair<int, int>> cases = {
        {99, 0},    {98, 95},  {97, 190}, {96, 285}, {95, 380}, {94, 475}, {93, 569}, {50, 3665},
        {10, 4885}, {6, 4919}, {5, 4925}, {4, 0},    {0, 0},    {100, 0},  {-3, 0}};
    for (const auto& [ph, start] : cases)
        EXPECT_EQ(ia::ChungRowStart(ph), start) << "PH " << ph;
}

TEST(ChungRowStart, RowsFollowEachOtherWithoutGapOrOverlap) {
    // Rows 99..95 hold 95 cells, rows 94..5 hold PH cells; the last ends at
    // the last byte of the file.
    for (int ph = 99; ph > 5; --ph) {
        const int length = ph >= 95 ? 95 : ph;
        EXPECT_EQ(ia::ChungRowStart(ph) + length, ia::ChungRowStart(ph - 1)) << "PH " << ph;
    }
    EXPECT_EQ(ia::ChungRowStart(5) + 5, ia::kChungCells);
}

struct LocateCase {
    int ph, pl;
    bool isKey;
    int position;
    bool negative;
};

void ExpectCells(const std::vector<LocateCase>& cases) {
    for (const auto& c : cases) {
        const ia::ChungCell cell = ia::LocateChungCell(c.ph, c.pl, c.isKey);
        EXPECT_EQ(cell.position, c.position) << "(" << c.ph << ", " << c.pl << ") key " << c.isKey;
        EXPECT_EQ(cell.negative, c.negative) << "(" << c.ph << ", " << c.pl << ") key " << c.isKey;
    }
}

TEST(LocateChungCell, PositionsInsideTheTable) {
    ExpectCells({{99, 1, true, 1, false},
                 {98, 1, true, 96, false},
                 {95, 95, true, 475, false},
                 {94, 1, true, 476, false},
                 {94, 94, true, 569, false},
                 {93, 1, true, 570, false},
                 {62, 30, true, 3017, false},
                 {50, 25, true, 3690, false},
                 {10, 1, true, 4886, false},
                 {5, 5, true, 4930, false}});
}

TEST(LocateChungCell, ZeroAndOneAreLookedUpAsTheTableEnds) {
    ExpectCells({{100, 50, true, 50, false}, // (99, 50)
                 {50, 0, true, 3666, false}, // (50, 1)
                 {100, 0, true, 1, false},   // (99, 1)
                 {0, 100, true, 1, true}});  // mirrored (99, 1)
}

TEST(LocateChungCell, PairsOutsideThePrintedRangeMoveToItsEdge) {
    ExpectCells({
        {5, 1, true, 4886, false},  // to (10, 1)
        {9, 1, true, 4886, false},  // to (10, 1)
        {11, 1, true, 4875, false}, // stays
        {7, 2, true, 4906, false},  // to (8, 2)
        {6, 3, true, 4915, false},  // to (7, 3)
        {5, 4, true, 4923, false},  // to (6, 4)
        {6, 5, true, 4924, false},  // PL 5 stays
        {99, 90, true, 90, false},  // PL 90 stays
        {99, 91, true, 186, false}, // to (98, 91)
        {99, 92, true, 187, false}, // to (98, 92)
        {99, 93, true, 283, false}, // to (97, 93)
        {99, 94, true, 379, false}, // to (96, 94)
        {99, 95, true, 475, false}, // to (95, 95)
        {96, 95, true, 475, false}, // to (95, 95)
        {0, 0, true, 4886, false},  // (1, 1), then to (10, 1)
    });
}

TEST(LocateChungCell, BothGroupsNearOneShareTheLastCellOfRow95) {
    // Rows 96..99 end at PL 95; the row formula would run into the next row.
    for (int ph = 96; ph <= 100; ++ph)
        for (int pl = 96; pl <= ph; ++pl)
            EXPECT_EQ(ia::LocateChungCell(ph, pl, true).position, 475) << ph << ", " << pl;
}

TEST(LocateChungCell, MirroredPairsShareTheCellAndTheSignMarksTheWrongDirection) {
    ExpectCells({
        {62, 30, true, 3017, false},  // key favoured by the high group
        {30, 62, true, 3017, true},   // key favoured by the low group
        {62, 30, false, 3017, true},  // distractor favoured by the high group
        {30, 62, false, 3017, false}, // distractor favoured by the low group
        {40, 40, true, ia::ChungRowStart(40) + 40, false},
        {40, 40, false, ia::ChungRowStart(40) + 40, false},
        {3, 5, true, 4915, true}, // mirrored to (5, 3), then moved to (7, 3)
    });
}

class PullChungTableTest : public ::testing::Test {
  protected:
    void Write(const std::string& name, size_t size, uint8_t salt) {
        std::ofstream out(dir.file(name), std::ios::binary);
        for (size_t k = 0; k < size; ++k)
            out.put(static_cast<char>((k + salt) % 256));
    }
    void WriteAll(size_t size) {
        Write("rjung.tbl", size, 0);
        Write("pjung.tbl", size, 7);
        Write("djung.tbl", size, 100);
    }
    std::string Message() {
        ia::ChungTables t;
        try {
            ia::LoadFanTables(dir.path().string(), t);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "";
    }
    iatest::TempDir dir;
};

TEST_F(PullChungTableTest, ReadsEveryFileFromPositionOneAndIgnoresTheRest) {
    WriteAll(ia::kChungCells + 40);
    ia::ChungTables t;
    ia::LoadFanTables(dir.path().string(), t);
    EXPECT_EQ(t.R[1], 0);
    EXPECT_EQ(t.R[300], 299 % 256);
    EXPECT_EQ(t.P[1], 7);
    EXPECT_EQ(t.D[1], 100);
    EXPECT_EQ(t.D[ia::kChungCells], (ia::kChungCells - 1 + 100) % 256);
    EXPECT_EQ(t.R[0], 0);
    EXPECT_EQ(t.R[ia::kChungCells + 1], 0);
    EXPECT_EQ(t.D[ia::kChungCells + 1], 0);
}

TEST_F(PullChungTableTest, MissingFileIsNamed) {
    Write("rjung.tbl", ia::kChungCells, 0);
    Write("djung.tbl", ia::kChungCells, 0);
    EXPECT_EQ(Message(), "ไม่พบไฟล์ตาราง " + dir.file("pjung.tbl"));
}

TEST_F(PullChungTableTest, ShortFileIsNamed) {
    for (size_t size : {size_t{0}, size_t{ia::kChungCells - 1}}) {
        WriteAll(ia::kChungCells);
        Write("djung.tbl", size, 0);
        EXPECT_EQ(Message(), "ไฟล์ตารางไม่สมบูรณ์ " + dir.file("djung.tbl")) << size << " bytes";
    }
}

TEST_F(PullChungTableTest, EmptyFolderNamesTheFirstFile) {
    EXPECT_EQ(Message(), "ไม่พบไฟล์ตาราง " + dir.file("rjung.tbl"));
}

TEST(ChungTablesBesideThePrograms, LookUpAKeyedChoice) {
    ia::ChungTables t;
    ia::LoadFanTables(iatest::BinDir(), t);
    const ia::ChungCell cell = ia::LocateChungCell(62, 30, true);
    EXPECT_EQ(t.P[cell.position], 46);
    EXPECT_EQ(t.R[cell.position], 33);
    EXPECT_EQ(t.D[cell.position], 134);
    // Both groups alike: no discrimination, p equal to the groups' share.
    const ia::ChungCell even = ia::LocateChungCell(50, 50, true);
    EXPECT_EQ(t.P[even.position], 50);
    EXPECT_EQ(t.R[even.position], 0);
    EXPECT_EQ(t.D[even.position], 130);
}

// Where the tables are looked for, in a build folder (beside the program)
// and in an installed tree (prefix/bin and prefix/share/itemanalysis).
TEST(FanTableDir, BesideTheProgramThenTheInstalledShareFolder) {
    namespace fs = std::filesystem;
    iatest::TempDir root;
    const fs::path bin = root.path() / "bin";
    const fs::path share = root.path() / "share" / "itemanalysis";
    fs::create_directories(bin);
    auto touch = [](const fs::path& p) { std::ofstream(p) << "x"; };

    // Neither folder: the program's own, whose missing file is then named.
    EXPECT_EQ(ia::FanTableDir(bin.string()), bin.string());
    // An installed tree whose tables were removed: the message names share/.
    fs::create_directories(share);
    EXPECT_EQ(ia::FanTableDir(bin.string()), share.string());
    EXPECT_EQ(ia::FanTableDir((bin / "").string() + "."), share.string());
    touch(share / "rjung.tbl");
    EXPECT_EQ(ia::FanTableDir(bin.string()), share.string());
    // Tables beside the program win over installed ones.
    touch(bin / "rjung.tbl");
    EXPECT_EQ(ia::FanTableDir(bin.string()), bin.string());
}

TEST(FanTableDir, MissingInstalledTableKeepsItsMessage) {
    iatest::TempDir root;
    std::filesystem::create_directories(root.path() / "bin");
    std::filesystem::create_directories(root.path() / "share" / "itemanalysis");
    const std::string dir = ia::FanTableDir(root.file("bin"));
    ia::ChungTables t;
    try {
        ia::LoadFanTables(dir, t);
        FAIL() << "no table, no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "ไม่พบไฟล์ตาราง " +
                      (root.path() / "share" / "itemanalysis" / "rjung.tbl").string());
    }
}

} // namespace

TEST(VerifyChungTables, OnlyTheGeneratedContentIsAccepted) {
    ia::ChungTables good;
    ia::LoadFanTables(iatest::BinDir(), good);
    EXPECT_NO_THROW(ia::VerifyChungTables(iatest::BinDir(), good));
    struct Case {
        const char* what;
        std::function<void(ia::ChungTables&)> damage;
        const char* file;
    } cases[] = {
        {"all bytes 0xFF", [](ia::ChungTables& t) { t.P.fill(0xFF); }, "pjung.tbl"},
        {"all zero", [](ia::ChungTables& t) { t.R.fill(0); }, "rjung.tbl"},
        {"one cell off by one", [](ia::ChungTables& t) { ++t.D[2465]; }, "djung.tbl"},
        {"two cells swapped", [](ia::ChungTables& t) { std::swap(t.R[1], t.R[2]); }, "rjung.tbl"},
        {"the last cell", [](ia::ChungTables& t) { t.P[ia::kChungCells] ^= 1; }, "pjung.tbl"},
    };
    for (const auto& c : cases) {
        ia::ChungTables t = good;
        c.damage(t);
        try {
            ia::VerifyChungTables("/tables", t);
            ADD_FAILURE() << c.what;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), std::string("ไฟล์ตารางไม่สมบูรณ์ /tables/") + c.file)
                << c.what;
        }
    }
}

TEST(Analy27, DamagedTablesAreRefusedBeforeAnythingIsWritten) {
    iatest::TempDir tables;
    for (const char* name : {"rjung.tbl", "pjung.tbl", "djung.tbl"})
        std::filesystem::copy_file(iatest::BinDir() + "/" + name, tables.file(name));
    std::ofstream(tables.file("pjung.tbl"), std::ios::binary)
        << std::string(ia::kChungCells, '\xFF');
    iatest::TempDir dir;
    const std::string path = dir.file("t.ans");
    std::vector<std::vector<std::string>> sheets;
    for (int i = 0; i < 8; ++i)
        sheets.push_back({std::to_string(i + 1), i % 2 ? "1" : "2", i < 4 ? "1" : "2"});
    iatest::MakeExamFile(path, iatest::MakeHeader(2, 2), {"1", "1"}, sheets);
    const std::string before = iatest::FileBytes(path);
    ia::ExamModule exam;
    ia::ExamViews views;
    ia::AnalysisState state;
    ia::AnalysisHost host;
    ia::BindExamFile(views, path);
    ia::ReadHeader(views.header, exam.header);
    ia::AnalysisContext ctx{views, exam.header, state, host};
    try {
        ia::RunTechnique(ctx, ia::Technique::FanTable27, tables.path().string());
        ADD_FAILURE() << "analysed with a damaged table";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "ไฟล์ตารางไม่สมบูรณ์ " + tables.file("pjung.tbl"));
    }
    views.CloseAll();
    EXPECT_TRUE(iatest::FileBytes(path) == before);
}
