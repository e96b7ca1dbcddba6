// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/ScanTypes.h"

#include <cstdlib>

namespace ia::scan {

namespace {
// The QR's text: a tag that tells our sheets from any other code, then the
// fields; the student code last, so that it may hold anything.
constexpr const char* kTag = "IASHEET1";

bool ReadNumber(const std::string& s, int& n) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    n = std::atoi(s.c_str());
    return true;
}
} // namespace

std::string EncodeIdentity(const SheetIdentity& id) {
    return std::string(kTag) + "|" + id.examId + "|" + std::to_string(id.page) + "|" +
           std::to_string(id.pageCount) + "|" + (id.key ? "K" : "S") + "|" +
           std::to_string(id.copy) + "|" + std::to_string(id.codeDigits) + "|" + id.code;
}

std::optional<SheetIdentity> ParseIdentity(const std::string& text) {
    std::vector<std::string> fields;
    size_t from = 0;
    for (int i = 0; i < 7; ++i) {
        const size_t bar = text.find('|', from);
        if (bar == std::string::npos) return std::nullopt;
        fields.push_back(text.substr(from, bar - from));
        from = bar + 1;
    }
    fields.push_back(text.substr(from));
    SheetIdentity id;
    if (fields[0] != kTag || fields[1].empty()) return std::nullopt;
    id.examId = fields[1];
    if (!ReadNumber(fields[2], id.page) || !ReadNumber(fields[3], id.pageCount) ||
        !ReadNumber(fields[5], id.copy) || id.page < 1 || id.page > id.pageCount)
        return std::nullopt;
    if (!ReadNumber(fields[6], id.codeDigits) || id.codeDigits > 12) return std::nullopt;
    if (fields[4] != "K" && fields[4] != "S") return std::nullopt;
    id.key = fields[4] == "K";
    id.code = fields[7];
    return id;
}

} // namespace ia::scan
