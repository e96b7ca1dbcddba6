// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/XlsxReader.h"

#include <algorithm>
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

// The archive over bytes already read (and bounded): the file is not
// opened a second time.
Zip OpenZip(std::string_view bytes) {
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err);
    if (!src) {
        zip_error_fini(&err);
        return Zip(nullptr);
    }
    zip_t* z = zip_open_from_source(src, ZIP_RDONLY, &err);
    if (!z) zip_source_free(src);
    zip_error_fini(&err);
    return Zip(z);
}

enum class Member { Read, Absent, Unreadable, TooLarge };

// One member of the archive, inflated up to kMaxSourceBytes. The size the
// archive declares is never believed: the bytes that actually come out
// decide, and inflation stops at the limit.
Member ReadMember(zip_t* z, const std::string& name, std::string& out) {
    out.clear();
    zip_stat_t st;
    if (zip_stat(z, name.c_str(), 0, &st) != 0) return Member::Absent;
    zip_file_t* f = zip_fopen(z, name.c_str(), 0);
    if (!f) return Member::Unreadable;
    char buf[1 << 16];
    Member result = Member::Read;
    for (;;) {
        const zip_int64_t n = zip_fread(f, buf, sizeof buf);
        if (n < 0) {
            result = Member::Unreadable;
            break;
        }
        if (n == 0) break;
        if (static_cast<long long>(out.size()) + n > kMaxSourceBytes) {
            result = Member::TooLarge;
            break;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    zip_fclose(f);
    if (result != Member::Read) out.clear();
    return result;
}

std::string TooLargeMessage(const std::string& name) {
    return "ส่วน " + name + " ของสมุดงานเมื่อคลายออกใหญ่เกิน " + std::to_string(kMaxSourceBytes >> 20) +
           " MB ที่นำเข้าได้";
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

// What every parse state shares: a refusal stops the parser at once.
struct ParseState {
    XML_Parser parser = nullptr;
    std::string error;
    void refuse(std::string message) {
        if (!error.empty()) return;
        error = std::move(message);
        XML_StopParser(parser, XML_FALSE);
    }
};

// Runs expat over a document with the given handlers on a state object.
template <class State> bool ParseXml(const std::string& doc, State& state) {
    XML_Parser p = XML_ParserCreate("UTF-8");
    state.parser = p;
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
    state.parser = nullptr;
    return ok && state.error.empty();
}

struct WorkbookState : ParseState {
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

struct RelsState : ParseState {
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

struct SharedStringsState : ParseState {
    std::vector<std::string> strings;
    size_t bytes = 0;
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
        if (!inT || strings.empty()) return;
        if (strings.back().size() + s.size() > kMaxCellBytes)
            return refuse("ข้อความที่ " + std::to_string(strings.size()) + " ในสมุดงานยาวเกิน " +
                          std::to_string(kMaxCellBytes) + " ไบต์");
        strings.back() += s;
    }
};

enum class Ref { Good, Malformed, OutOfSheet };

// "B12" → column 2, row 12 (1-based, as a spreadsheet shows them). Numbers
// stop growing past the sheet's limits, so that a reference of any length
// is told with the row and column it names (at least).
Ref CellRef(const char* ref, long long& row, long long& col) {
    long long c = 0, r = 0;
    int i = 0;
    for (; ref[i] >= 'A' && ref[i] <= 'Z'; ++i)
        c = std::min(c * 26 + (ref[i] - 'A' + 1), kSheetColumns * 1000);
    for (; ref[i] >= '0' && ref[i] <= '9'; ++i)
        r = std::min(r * 10 + (ref[i] - '0'), kSheetRows * 1000);
    if (c == 0 || r == 0 || ref[i]) return Ref::Malformed;
    row = r;
    col = c;
    return r > kSheetRows || c > kSheetColumns ? Ref::OutOfSheet : Ref::Good;
}

// A whole number of digits only ("0", "17"); false for anything else
// ("abc", "0.9e1", "-1", "").
bool WholeNumber(const std::string& text, long long& n) {
    if (text.empty() || text.size() > 12) return false;
    n = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        n = n * 10 + (ch - '0');
    }
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

struct SheetState : ParseState {
    const std::vector<std::string>* shared = nullptr;
    TextTable* table = nullptr;
    TableLimits limits;
    long long row = 0, col = 0, nextCol = 1; // 1-based
    long long slots = 0;                     // cells the table holds, empty ones too
    std::string type, value, ref;
    bool inValue = false, inInline = false;
    void start(std::string_view n, const char** a) {
        if (!error.empty()) return;
        if (n == "row") {
            const char* r = Attr(a, "r");
            long long number = row + 1;
            if (r && (!WholeNumber(r, number) || number < 1 || number > kSheetRows))
                return refuse("แถว " + QuotedCell(r) + " อยู่นอกขอบเขตของแผ่นงาน");
            row = number;
            nextCol = 1;
        } else if (n == "c") {
            const char* r = Attr(a, "r");
            ref = r ? r : "";
            // Without a reference the cell follows the last one.
            if (!r) {
                col = nextCol;
                if (row < 1) row = 1;
            } else {
                long long rr = 0, cc = 0;
                const Ref kind = CellRef(r, rr, cc);
                if (kind == Ref::Malformed)
                    return refuse(AtCell(row, nextCol, "ตำแหน่งเซลล์ " + QuotedCell(r) + " ไม่ถูกต้อง"));
                if (kind == Ref::OutOfSheet)
                    return refuse(
                        AtCell(rr, cc, "ตำแหน่งเซลล์ " + QuotedCell(r) + " อยู่นอกขอบเขตของแผ่นงาน"));
                row = rr;
                col = cc;
            }
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
        if (!error.empty()) return;
        if (n == "v" || n == "t") {
            inValue = false;
        } else if (n == "is") {
            inInline = false;
        } else if (n == "c") {
            nextCol = col + 1;
            std::string cell;
            if (type == "s") {
                long long i = 0;
                if (!WholeNumber(Trimmed(value), i) || i >= static_cast<long long>(shared->size()))
                    return refuse(
                        AtCell(row, col, "ดัชนีข้อความ " + QuotedCell(value) + " ไม่มีในสมุดงาน"));
                cell = (*shared)[static_cast<size_t>(i)];
            } else if (type == "n") {
                cell = NumberText(value);
            } else {
                cell = value; // inlineStr, str, b, e: the stored value
            }
            if (cell.empty()) return;
            if (cell.find('\0') != std::string::npos)
                return refuse(AtCell(row, col, "มีอักขระ NUL ซึ่งไม่ใช่ข้อความ"));
            // Only what an import reads is kept: a cell far to the right
            // would cost a whole row of empty cells.
            if (col > limits.columns)
                return refuse(AtCell(row, col,
                                     "อยู่เลยคอลัมน์สุดท้ายที่นำเข้าได้ (" + std::to_string(limits.columns) +
                                         " คอลัมน์)"));
            const size_t r0 = static_cast<size_t>(row - 1), c0 = static_cast<size_t>(col - 1);
            long long added = 0;
            if (table->size() <= r0) added += static_cast<long long>(r0 + 1 - table->size());
            const size_t width = table->size() > r0 ? (*table)[r0].size() : 0;
            if (width <= c0) added += static_cast<long long>(c0 + 1 - width);
            if ((slots += added) > limits.cells)
                return refuse(AtCell(row, col,
                                     "แหล่งข้อมูลมีช่องมากเกินกว่าที่นำเข้าได้ (" +
                                         std::to_string(limits.cells) + " ช่อง)"));
            if (table->size() <= r0) table->resize(r0 + 1);
            TextRow& r = (*table)[r0];
            if (r.size() <= c0) r.resize(c0 + 1);
            r[c0] = std::move(cell);
        }
    }
    void text(std::string_view s) {
        if (!inValue || !error.empty()) return;
        if (value.size() + s.size() > limits.cellBytes)
            return refuse(
                AtCell(row, col, "ข้อความในช่องยาวเกิน " + std::to_string(limits.cellBytes) + " ไบต์"));
        value += s;
    }
};

// A sheet of an OpenDocument spreadsheet (content.xml). Runs of repeated
// rows and cells (how LibreOffice writes the empty rest of a sheet) move
// the place on without making cells.
struct OdsState : ParseState {
    TextTable* table = nullptr;
    TableLimits limits;
    std::string wanted;
    bool inTable = false, done = false, found = false;
    long long row = 0, col = 0; // 0-based, of the row and cell being read
    long long rowRepeat = 1, colRepeat = 1, slots = 0;
    TextRow current;
    std::string value;
    bool inCell = false, typedValue = false;
    int paragraphs = 0, inParagraph = 0;

    static long long Repeat(const char** a, std::string_view name) {
        const char* r = Attr(a, name);
        long long n = 1;
        if (r && (!WholeNumber(r, n) || n < 1)) n = 1;
        return std::min(n, kSheetRows * kSheetColumns);
    }
    void start(std::string_view n, const char** a) {
        if (!error.empty()) return;
        if (n == "table") {
            const char* name = Attr(a, "name");
            if (!done && (wanted.empty() || (name && wanted == name))) {
                inTable = found = true;
                row = 0;
            }
            return;
        }
        if (!inTable) return;
        if (n == "table-row") {
            rowRepeat = Repeat(a, "number-rows-repeated");
            col = 0;
            current.clear();
        } else if (n == "table-cell" || n == "covered-table-cell") {
            colRepeat = Repeat(a, "number-columns-repeated");
            inCell = true;
            value.clear();
            paragraphs = 0;
            typedValue = false;
            const char* type = Attr(a, "value-type");
            const std::string t = type ? type : "";
            const char* stored = t == "float" || t == "percentage" || t == "currency"
                                     ? Attr(a, "value")
                                 : t == "date"    ? Attr(a, "date-value")
                                 : t == "boolean" ? Attr(a, "boolean-value")
                                                  : nullptr;
            if (stored) {
                value = t == "date" || t == "boolean" ? std::string(stored) : NumberText(stored);
                typedValue = true;
            }
        } else if (inCell && n == "p") {
            if (paragraphs++ > 0) add("\n");
            ++inParagraph;
        } else if (inCell && inParagraph && n == "s") {
            add(std::string(static_cast<size_t>(std::min(Repeat(a, "c"), 64LL)), ' '));
        } else if (inCell && inParagraph && n == "tab") {
            add("\t");
        } else if (inCell && inParagraph && n == "line-break") {
            add("\n");
        }
    }
    void add(std::string_view s) {
        if (typedValue || !error.empty()) return;
        if (value.size() + s.size() > limits.cellBytes)
            return refuse(AtCell(row + 1, col + 1,
                                 "ข้อความในช่องยาวเกิน " + std::to_string(limits.cellBytes) + " ไบต์"));
        value += s;
    }
    void end(std::string_view n) {
        if (!error.empty() || !inTable) return;
        if (n == "table") {
            inTable = false;
            done = true;
        } else if (n == "p") {
            if (inParagraph) --inParagraph;
        } else if (n == "table-cell" || n == "covered-table-cell") {
            inCell = false;
            if (!value.empty()) {
                if (value.find('\0') != std::string::npos)
                    return refuse(AtCell(row + 1, col + 1, "มีอักขระ NUL ซึ่งไม่ใช่ข้อความ"));
                if (col + colRepeat > limits.columns)
                    return refuse(AtCell(row + 1, std::max(col + 1, limits.columns + 1LL),
                                         "อยู่เลยคอลัมน์สุดท้ายที่นำเข้าได้ (" +
                                             std::to_string(limits.columns) + " คอลัมน์)"));
                current.resize(static_cast<size_t>(col + colRepeat));
                for (long long k = 0; k < colRepeat; ++k)
                    current[static_cast<size_t>(col + k)] = value;
            }
            col = std::min(col + colRepeat, kSheetColumns);
        } else if (n == "table-row") {
            if (!current.empty()) {
                if (row + rowRepeat > kSheetRows)
                    return refuse(AtCell(row + 1, 1, "แถวอยู่นอกขอบเขตของแผ่นงาน"));
                slots += static_cast<long long>(row - static_cast<long long>(table->size())) +
                         rowRepeat * static_cast<long long>(current.size());
                if (slots > limits.cells)
                    return refuse(AtCell(row + 1, 1,
                                         "แหล่งข้อมูลมีช่องมากเกินกว่าที่นำเข้าได้ (" +
                                             std::to_string(limits.cells) + " ช่อง)"));
                table->resize(static_cast<size_t>(row));
                for (long long k = 0; k < rowRepeat; ++k)
                    table->push_back(current);
            }
            row = std::min(row + rowRepeat, kSheetRows);
            current.clear();
        }
    }
    void text(std::string_view s) {
        if (inCell && inParagraph) add(s);
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
    if (ReadMember(z, "xl/workbook.xml", doc) != Member::Read || !ParseXml(doc, wb)) return false;
    RelsState rels;
    if (ReadMember(z, "xl/_rels/workbook.xml.rels", doc) != Member::Read || !ParseXml(doc, rels))
        return false;
    for (auto& [name, id] : wb.sheets) {
        auto it = rels.targets.find(id);
        if (it == rels.targets.end()) return false;
        sheets.emplace_back(name, MemberPath(it->second));
    }
    return true;
}

} // namespace

bool XlsxSheetNames(std::string_view bytes, std::vector<std::string>& names, std::string& error) {
    Zip z = OpenZip(bytes);
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

bool ReadXlsxSheet(std::string_view bytes, const std::string& sheetName, const TableLimits& limits,
                   TextTable& table, std::string& error) {
    table.clear();
    Zip z = OpenZip(bytes);
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
        error = "ไม่มีแผ่นงานชื่อ " + EscapedForTerminal(sheetName) + " ในสมุดงาน";
        return false;
    }
    SharedStringsState strings;
    std::string doc;
    switch (ReadMember(z.get(), "xl/sharedStrings.xml", doc)) {
    case Member::Absent:
        break;
    case Member::TooLarge:
        error = TooLargeMessage("xl/sharedStrings.xml");
        return false;
    case Member::Unreadable:
        error = kNotWorkbook;
        return false;
    case Member::Read:
        if (!ParseXml(doc, strings)) {
            error = strings.error.empty() ? kNotWorkbook : strings.error;
            return false;
        }
        break;
    }
    SheetState st;
    st.shared = &strings.strings;
    st.table = &table;
    st.limits = limits;
    switch (ReadMember(z.get(), member, doc)) {
    case Member::TooLarge:
        error = TooLargeMessage(member);
        return false;
    case Member::Absent:
    case Member::Unreadable:
        error = kNotWorkbook;
        return false;
    case Member::Read:
        break;
    }
    doc.shrink_to_fit();
    if (!ParseXml(doc, st)) {
        error = st.error.empty() ? kNotWorkbook : st.error;
        table.clear();
        return false;
    }
    for (TextRow& r : table)
        while (!r.empty() && r.back().empty())
            r.pop_back();
    return true;
}

bool IsOdsArchive(std::string_view bytes) {
    Zip z = OpenZip(bytes);
    std::string mime;
    return z && ReadMember(z.get(), "mimetype", mime) == Member::Read &&
           mime.rfind("application/vnd.oasis.opendocument.spreadsheet", 0) == 0;
}

bool ReadOdsSheet(std::string_view bytes, const std::string& sheetName, const TableLimits& limits,
                  TextTable& table, std::string& error) {
    const char* const notSpreadsheet = "ไฟล์ไม่ใช่สมุดงาน .ods ที่อ่านได้";
    table.clear();
    Zip z = OpenZip(bytes);
    std::string doc;
    if (!z) {
        error = notSpreadsheet;
        return false;
    }
    switch (ReadMember(z.get(), "content.xml", doc)) {
    case Member::TooLarge:
        error = TooLargeMessage("content.xml");
        return false;
    case Member::Absent:
    case Member::Unreadable:
        error = notSpreadsheet;
        return false;
    case Member::Read:
        break;
    }
    OdsState st;
    st.table = &table;
    st.limits = limits;
    st.wanted = sheetName;
    if (!ParseXml(doc, st)) {
        error = st.error.empty() ? notSpreadsheet : st.error;
        table.clear();
        return false;
    }
    if (!st.found) {
        error = sheetName.empty() ? notSpreadsheet
                                  : "ไม่มีแผ่นงานชื่อ " + EscapedForTerminal(sheetName) + " ในสมุดงาน";
        return false;
    }
    for (TextRow& r : table)
        while (!r.empty() && r.back().empty())
            r.pop_back();
    return true;
}

bool XlsxSheetNames(const std::string& path, std::vector<std::string>& names, std::string& error) {
    std::string bytes;
    return ReadSourceFile(path, bytes, error) &&
           XlsxSheetNames(std::string_view(bytes), names, error);
}

bool ReadXlsxSheet(const std::string& path, const std::string& sheetName, TextTable& table,
                   std::string& error) {
    std::string bytes;
    return ReadSourceFile(path, bytes, error) &&
           ReadXlsxSheet(std::string_view(bytes), sheetName, TableLimits{}, table, error);
}

} // namespace ia
