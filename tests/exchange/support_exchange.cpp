// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExchangeFixtures.h"

#include "examfile/Engine.h"

#include <cstdlib>
#include <fstream>
#include <iconv.h>
#include <stdexcept>
#include <xlsxwriter.h>

namespace iatest {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Utf16WithBom(const std::string& utf8) {
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    std::string out(utf8.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* dst = out.data();
    iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return "\xFF\xFE" + out;
}

Rows ExamRows(const std::string& examPath, int nItem) {
    ia::Connection db(examPath, ia::Connection::Mode::ReadOnly);
    Rows rows;
    std::string cols;
    for (int i = 1; i <= nItem; ++i)
        cols += ", X" + std::to_string(i);
    for (const char* table : {"TKey", "TAData"}) {
        const std::string first = std::string(table) == "TKey" ? "FKey" : "Code";
        ia::Statement st =
            db.prepare("SELECT " + first + cols + " FROM " + table + " ORDER BY rowid");
        while (st.step()) {
            std::vector<std::string> r;
            for (int c = 0; c <= nItem; ++c) {
                auto t = st.columnText(c);
                r.emplace_back(t ? *t : std::string_view());
            }
            rows.push_back(std::move(r));
        }
    }
    return rows;
}

void WriteWorkbook(const std::string& path, const std::string& firstName, const Rows& rows,
                   bool inlineStrings, const Rows& otherRows) {
    lxw_workbook_options options{};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
    auto fill = [&](const std::string& name, const Rows& data) {
        lxw_worksheet* ws = workbook_add_worksheet(wb, name.c_str());
        for (size_t r = 0; r < data.size(); ++r)
            for (size_t c = 0; c < data[r].size(); ++c) {
                const std::string& t = data[r][c];
                if (t.empty()) continue;
                char* end = nullptr;
                const double v = std::strtod(t.c_str(), &end);
                if (end != t.c_str() && *end == '\0' && t[0] != '0')
                    worksheet_write_number(ws, r, c, v, nullptr);
                else
                    worksheet_write_string(ws, r, c, t.c_str(), nullptr);
            }
    };
    fill(firstName, rows);
    if (!otherRows.empty()) fill("อื่น", otherRows);
    if (workbook_close(wb) != LXW_NO_ERROR) throw std::runtime_error("workbook not written");
}

} // namespace iatest
