// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/FanTable.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace ia {

std::string ProgramDir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string FanTableDir(const std::string& programDir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path beside(programDir);
    const fs::path installed = beside / ".." / "share" / "itemanalysis";
    if (fs::exists(beside / "rjung.tbl", ec)) return beside.string();
    if (fs::exists(installed / "rjung.tbl", ec) || fs::is_directory(installed, ec))
        return installed.lexically_normal().string();
    return beside.string();
}

int ChungRowStart(int PH) {
    if (PH >= 95 && PH <= 99) return 95 * (99 - PH);
    if (PH >= 5 && PH <= 94) return 4940 - PH * (PH + 1) / 2;
    return 0;
}

namespace {

void PullOne(const std::string& path, std::array<uint8_t, kChungCells + 2>& cells) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("ไม่พบไฟล์ตาราง " + path);
    in.read(reinterpret_cast<char*>(cells.data() + 1), kChungCells);
    if (in.gcount() != kChungCells) throw std::runtime_error("ไฟล์ตารางไม่สมบูรณ์ " + path);
}

} // namespace

void LoadFanTables(const std::string& dir, ChungTables& tables) {
    PullOne(dir + "/rjung.tbl", tables.R);
    PullOne(dir + "/pjung.tbl", tables.P);
    PullOne(dir + "/djung.tbl", tables.D);
}

namespace {

// FNV-1a over the 4930 cells: enough to tell the generated tables from any
// damaged copy; no secret is guarded.
uint64_t CellsChecksum(const std::array<uint8_t, kChungCells + 2>& cells) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (int i = 1; i <= kChungCells; ++i) {
        h ^= cells[i];
        h *= 0x100000001b3ULL;
    }
    return h;
}

} // namespace

void VerifyChungTables(const std::string& dir, const ChungTables& tables) {
    // The sums of the tables tools/fangen writes (data/*.tbl); regenerating
    // them with other content means updating these.
    const struct {
        const char* name;
        const std::array<uint8_t, kChungCells + 2>& cells;
        uint64_t sum;
    } files[] = {
        {"rjung.tbl", tables.R, 0x16bd5172cadec3adULL},
        {"pjung.tbl", tables.P, 0xa1141033f5cb6e77ULL},
        {"djung.tbl", tables.D, 0xe32d9e63fccfb471ULL},
    };
    for (const auto& f : files)
        if (CellsChecksum(f.cells) != f.sum)
            throw std::runtime_error("ไฟล์ตารางไม่สมบูรณ์ " + dir + "/" + f.name);
}

ChungCell LocateChungCell(int ph, int pl, bool isKey) {
    // The table starts at .01 and ends at .99: 0 and 1.00 take the nearest row
    // and column.
    ph = std::clamp(ph, 1, 99);
    pl = std::clamp(pl, 1, 99);
    bool negative = ph > pl && !isKey;
    if (pl > ph) {
        std::swap(ph, pl);
        negative = isKey;
    }
    // The printed table leaves blank the corners where a choice is almost
    // never or almost always chosen by the low group; such pairs take the
    // nearest cell of its printed range.
    switch (pl) {
    case 1:
        ph = std::max(ph, 10);
        break;
    case 2:
        ph = std::max(ph, 8);
        break;
    case 3:
        ph = std::max(ph, 7);
        break;
    case 4:
        ph = std::max(ph, 6);
        break;
    case 91:
    case 92:
        ph = std::min(ph, 98);
        break;
    case 93:
        ph = std::min(ph, 97);
        break;
    case 94:
        ph = std::min(ph, 96);
        break;
    case 95:
        ph = std::min(ph, 95);
        break;
    default:
        break;
    }
    // Rows 96 to 99 end at PL = 95; beyond it the row formula would run into
    // the next row, so both groups near 1 share the table's last such cell.
    if (pl > 95) ph = pl = 95;
    return {ChungRowStart(ph) + pl, negative};
}

} // namespace ia
