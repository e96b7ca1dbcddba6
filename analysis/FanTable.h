// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fan's item-analysis table as the 27 % technique uses it: three files of one
// byte per cell beside the program (rjung.tbl |r| x 100, pjung.tbl p x 100,
// djung.tbl delta x 10) and the cell a pair of group proportions falls in.

#include <array>
#include <cstdint>
#include <string>

namespace ia {

// Cells per table file.
inline constexpr int kChungCells = 4930;

// Position before the first cell of the row of PH: rows 99..95 hold 95 cells,
// rows 94..5 hold PH cells. 0 for any PH outside 5..99.
int ChungRowStart(int PH);

// The three tables, indexed by cell position 1..4930; 0 and 4931 stay 0.
struct ChungTables {
    std::array<uint8_t, kChungCells + 2> R{}, P{}, D{};
};

// The running program's own folder.
std::string ProgramDir();

// The folder the 27 % technique reads the tables from: beside the program in
// a build folder, or share/itemanalysis next to the bin/ of an installed
// program. The first of the two that holds rjung.tbl wins; when neither does,
// the installed folder if it exists, else the program's folder, so that the
// missing-table message names the place where the tables belong.
std::string FanTableDir(const std::string& programDir);

// Loads dir/rjung.tbl, dir/pjung.tbl and dir/djung.tbl. Bytes after the
// 4930th are ignored. Throws std::runtime_error with a Thai text naming the
// file when one is missing or too short.
void LoadFanTables(const std::string& dir, ChungTables& tables);

// Checks loaded tables against the content they were generated with (a
// checksum of each file's cells), so that a file of the right size but
// wrong bytes (overwritten, a disk error) is never used for an analysis.
// Throws std::runtime_error "ไฟล์ตารางไม่สมบูรณ์ " + the file's path under dir.
void VerifyChungTables(const std::string& dir, const ChungTables& tables);

struct ChungCell {
    int position;  // 1..4930
    bool negative; // the looked-up r counts against the choice
};

// The cell for the proportions of the high group (ph) and the low group (pl)
// that chose a choice, both in whole hundredths 0..100. The table holds only
// PH >= PL, so a pair with PL > PH is looked up mirrored; the sign says
// whether the choice works against its purpose (a key favoured by the low
// group, a distractor favoured by the high group).
ChungCell LocateChungCell(int ph, int pl, bool isKey);

} // namespace ia
