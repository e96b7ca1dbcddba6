// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/XlsxReader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <expat.h>
#include <map>
#include <memory>
#include <zip.h>

namespace ia {
namespace {

const char* const kNotWorkbook = "ไฟล์ไม่ใช่สมุดงาน .xlsx ที่อ่านได้";

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using Zip = std::unique_ptr<zip_t, ZipCloser>;

Zip OpenZip(const std::string& path) {
    int err = 0;
    return Zip(zip_open(path.c_str(), ZIP_RDONLY, &err));
}

// One member of the archive; false when it is absent or unreadable.
bool ReadMember(zip_t* z, const std::string& name, std::string& out) {
    zip_stat_t st;
    if (zip_stat(z, name.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return false;
    zip_file_t* f = zip_fopen(z, name.c_str(), 0);
    if (!f) return false;
    out.assign(st.size, '\0');
    zip_int64_t got = 0;
    while (got < static_cast<zip_int64_t>(st.size)) {
        zip_int64_t n = zip_fread(f, out.data() + got, st.size - got);
        if (n <= 0) break;
        got += n;
    }
    zip_fclose(f);
    return got == static_cast<zip_int64_t>(st.size);
}

// The local part of a tag name (namespaces are written with prefixes by
// some programs and without by others).
std::string_view Local(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

const char* Attr(const char** atts, std::string_view name) {
    for (int i = 0; atts[i]; i += 2)
        if (Local(atts[i]) == name) return atts[i + 1];
    return nullptr;
}

// Runs expat over a document with the given handlers on a state object.
template <class State> bool ParseXml(const std::string& doc, State& state) {
    XML_Parser p = XML_ParserCreate("UTF-8");
    XML_SetUserData(p, &state);
    XML_SetElementHandler(
        p,
        [](void* u, const char* n, const char** a) { static_cast<State*>(u)->start(Local(n), a); },
        [](void* u, const char* n) { static_cast<State*>(u)->end(Local(n)); });
    XML_SetCharacterDataHandler(p, [](void* u, const char* s, int len) {
        static_cast<State*>(u)->text(std::string_view(s, len));
    });
    const bool ok = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(p);
    return ok;
}

struct WorkbookState {
    std::vector<std::pair<std::string, std::string>> sheets; // name, relationship id
    void start(std::string_view n, const char** a) {
        if (n != "sheet") return;
        const char* name = Attr(a, "name");
        const char* id = Attr(a, "id");
        sheets.emplace_back(name ? name : "", id ? id : "");
    }
    void end(std::string_view) {}
    void text(std::string_view) {}
};

struct RelsState {
    std::map<std::string, std::string> targets;
    void start(std::string_view n, const char** a) {
        if (n != "Relationship") return;
        const char* id = Attr(a, "Id");
        const char* target = Attr(a, "Target");
        if (id && target) targets[id] = target;
    }
    void end(std::string_view) {}
    void text(std::string_view) {}
};

struct SharedStringsState {
    std::vector<std::string> strings;
    bool inT = false, inRph = false;
    void start(std::string_view n, const char**) {
        if (n == "si")
            strings.emplace_back();
        else if (n == "rPh")
            inRph = true; // phonetic hints are no part of the text
        else if (n == "t" && !inRph)
            inT = true;
    }
    void end(std::string_view n) {
        if (n == "t")
            inT = false;
        else if (n == "rPh")
            inRph = false;
    }
    void text(std::string_view s) {
        if (inT && !strings.empty()) strings.back() += s;
    }
};

// "B12" → column 1 (0-based), row 11; false when it is no cell reference.
bool CellRef(const char* ref, int& row, int& col) {
    // Far past what a sheet can hold (16,384 columns, 1,048,576 rows) is
    // no reference: it would only overflow.
    int c = 0, r = 0, i = 0;
    for (; ref[i] >= 'A' && ref[i] <= 'Z'; ++i) {
        c = c * 26 + (ref[i] - 'A' + 1);
        if (c > 100'000) return false;
    }
    for (; ref[i] >= '0' && ref[i] <= '9'; ++i) {
        r = r * 10 + (ref[i] - '0');
        if (r > 100'000'000) return false;
    }
    if (c == 0 || r == 0 || ref[i]) return false;
    row = r - 1;
    col = c - 1;
    return true;
}

// A stored number as a teacher reads it: whole numbers without a decimal
// part, others as stored.
std::string NumberText(const std::string& stored) {
    char* end = nullptr;
    const double v = std::strtod(stored.c_str(), &end);
    if (end == stored.c_str() || *end) return stored;
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", v);
        return buf;
    }
    return stored;
}

struct SheetState {
    const std::vector<std::string>* shared = nullptr;
    TextTable* table = nullptr;
    int row = -1, col = -1, nextCol = 0;
    std::string type, value;
    bool inValue = false, inInline = false, bad = false;
    void start(std::string_view n, const char** a) {
        if (n == "row") {
            const char* r = Attr(a, "r");
            const long n = r ? std::strtol(r, nullptr, 10) : row + 2;
            row = n >= 1 && n <= 100'000'000 ? static_cast<int>(n) - 1 : -1;
            nextCol = 0;
        } else if (n == "c") {
            const char* r = Attr(a, "r");
            int rr = row;
            // Without a reference the cell follows the last one; a reference
            // past any sheet leaves the cell out.
            if (!r)
                col = nextCol;
            else if (!CellRef(r, rr, col))
                col = -1;
            const char* t = Attr(a, "t");
            type = t ? t : "n";
            value.clear();
        } else if (n == "v") {
            inValue = true;
        } else if (n == "is") {
            inInline = true;
        } else if (n == "t" && inInline) {
            inValue = true;
        }
    }
    void end(std::string_view n) {
        if (n == "v" || n == "t") {
            inValue = false;
        } else if (n == "is") {
            inInline = false;
        } else if (n == "c") {
            nextCol = col + 1;
            std::string cell;
            if (type == "s") {
                const long i = std::strtol(value.c_str(), nullptr, 10);
                if (i < 0 || static_cast<size_t>(i) >= shared->size()) {
                    bad = true;
                    return;
                }
                cell = (*shared)[i];
            } else if (type == "n") {
                cell = NumberText(value);
            } else {
                cell = value; // inlineStr, str, b, e: the stored value
            }
            if (cell.empty() || row < 0 || row >= 1'048'576 || col < 0 || col >= 16'384) return;
            if (table->size() <= static_cast<size_t>(row)) table->resize(row + 1);
            TextRow& r = (*table)[row];
            if (r.size() <= static_cast<size_t>(col)) r.resize(col + 1);
            r[col] = std::move(cell);
        }
    }
    void text(std::string_view s) {
        if (inValue) value += s;
    }
};

// The archive path of a relationship target given relative to xl/.
std::string MemberPath(const std::string& target) {
    if (!target.empty() && target[0] == '/') return target.substr(1);
    return "xl/" + target;
}

bool Sheets(zip_t* z, std::vector<std::pair<std::string, std::string>>& sheets) {
    std::string doc;
    WorkbookState wb;
    if (!ReadMember(z, "xl/workbook.xml", doc) || !ParseXml(doc, wb)) return false;
    RelsState rels;
    if (!ReadMember(z, "xl/_rels/workbook.xml.rels", doc) || !ParseXml(doc, rels)) return false;
    for (auto& [name, id] : wb.sheets) {
        auto it = rels.targets.find(id);
        if (it == rels.targets.end()) return false;
        sheets.emplace_back(name, MemberPath(it->second));
    }
    return true;
}

} // namespace

bool XlsxSheetNames(const std::string& path, std::vector<std::string>& names, std::string& error) {
    Zip z = OpenZip(path);
    std::vector<std::pair<std::string, std::string>> sheets;
    if (!z || !Sheets(z.get(), sheets)) {
        error = kNotWorkbook;
        return false;
    }
    names.clear();
    for (auto& s : sheets)
        names.push_back(s.first);
    return true;
}

bool ReadXlsxSheet(const std::string& path, const std::string& sheetName, TextTable& table,
                   std::string& error) {
    Zip z = OpenZip(path);
    std::vector<std::pair<std::string, std::string>> sheets;
    if (!z || !Sheets(z.get(), sheets) || sheets.empty()) {
        error = kNotWorkbook;
        return false;
    }
    std::string member;
    for (auto& [name, m] : sheets)
        if (sheetName.empty() || name == sheetName) {
            member = m;
            break;
        }
    if (member.empty()) {
        error = "ไม่มีแผ่นงานชื่อ " + sheetName + " ในสมุดงาน";
        return false;
    }
    SharedStringsState strings;
    std::string doc;
    if (ReadMember(z.get(), "xl/sharedStrings.xml", doc) && !ParseXml(doc, strings)) {
        error = kNotWorkbook;
        return false;
    }
    SheetState st;
    st.shared = &strings.strings;
    st.table = &table;
    table.clear();
    if (!ReadMember(z.get(), member, doc) || !ParseXml(doc, st) || st.bad) {
        error = kNotWorkbook;
        return false;
    }
    for (TextRow& r : table)
        while (!r.empty() && r.back().empty())
            r.pop_back();
    return true;
}

} // namespace ia
