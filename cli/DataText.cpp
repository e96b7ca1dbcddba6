// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DataText.h"

#include "examfile/OutputFile.h"
#include "exchange/TextTable.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace ia::cli {

std::string Number(double x) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

std::string JsonNumber(const std::optional<double>& x) {
    return x && std::isfinite(*x) ? Number(*x) : "null";
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string CsvNumber(const std::optional<double>& x) {
    return x && std::isfinite(*x) ? Number(*x) : "";
}

std::string CsvRow(const std::vector<std::string>& cells) {
    std::string row;
    for (size_t i = 0; i < cells.size(); ++i)
        row += (i ? "," : "") + CsvText(cells[i]);
    return row + "\r\n";
}

std::string WriteCsvFiles(const std::string& dir,
                          const std::vector<std::pair<std::string, const std::string*>>& files) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) return "สร้างโฟลเดอร์ไม่ได้ : " + dir;
    for (const auto& [name, body] : files) {
        const fs::path p = fs::path(dir) / name;
        try {
            WriteFileReplacing(p.string(), "csv", "\xEF\xBB\xBF" + *body);
        } catch (const ReplaceFileError& e) {
            const std::string why = e.what();
            return IsRefusedTargetMessage(why) ? why : "เขียนไฟล์ไม่ได้ : " + p.string();
        }
    }
    return "";
}

} // namespace ia::cli
