// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/SheetImport.h"

#include "examfile/ExamFile.h"

#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "examfile/SheetTies.h"
#include "exchange/AnswerText.h"
#include "exchange/ColumnRoles.h"
#include "exchange/KeyFromScores.h"
#include "exchange/OptionNumbers.h"
#include "exchange/XlsxReader.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>

namespace ia {
namespace {

// Rows checked between two reports of the progress.
constexpr size_t kRowsPerReport = 256;

constexpr int kCodeLength = 20; // the width of TAData.Code
constexpr size_t kErrorsShown = 20;

std::string At(int row, int col, const std::string& text) {
    return "แถว " + std::to_string(row) + " คอลัมน์ " + std::to_string(col) + ": " + text;
}

bool IsKeyCode(std::string_view code) {
    const std::string c = LowerAscii(Trimmed(code));
    return c == "key" || c == "เฉลย" || c == "คำตอบ";
}

const std::string& CellAt(const TextRow& row, int col) {
    static const std::string empty;
    return col >= 0 && static_cast<size_t>(col) < row.size() ? row[col] : empty;
}

bool RowEmpty(const TextRow& row) {
    for (const auto& c : row)
        if (!Trimmed(c).empty()) return false;
    return true;
}

// The 0-based column that --code-column names (a number or a header text);
// -1 with an error when it names none.
int CodeColumnFromOption(const std::string& option, const TextRow* header, std::string& error) {
    const std::string o = Trimmed(option);
    if (!o.empty() &&
        std::all_of(o.begin(), o.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const int n = std::atoi(o.c_str());
        if (n >= 1 && n <= 20000) return n - 1;
    } else if (header) {
        for (size_t i = 0; i < header->size(); ++i)
            if (LowerAscii(Trimmed((*header)[i])) == LowerAscii(o)) return static_cast<int>(i);
    }
    error = "ไม่พบคอลัมน์รหัส " + QuotedCell(option);
    return -1;
}

// Checks the code of a sheet and sorts a key row from the sheets.
void TakeRow(ImportPlan& plan, ImportedSheet&& sheet, int codeCol) {
    if (IsKeyCode(sheet.code)) {
        if (plan.hasKey) {
            plan.errors.push_back(
                At(sheet.row, codeCol, "มีแถวเฉลยแล้วที่แถว " + std::to_string(plan.key.row)));
            return;
        }
        plan.hasKey = true;
        plan.key = std::move(sheet);
        return;
    }
    if (CharCount(sheet.code) > kCodeLength) {
        plan.errors.push_back(At(sheet.row, codeCol, "รหัสยาวเกิน 20 ตัวอักษร"));
        return;
    }
    plan.sheets.push_back(std::move(sheet));
}

void ShortWarning(ImportPlan& plan, int widest, int nItem) {
    if (widest < nItem)
        plan.warnings.push_back("แหล่งข้อมูลมีคำตอบ " + std::to_string(widest) + " ข้อ จาก " +
                                std::to_string(nItem) + " ข้อ ข้อที่เหลือเว้นว่าง");
}

} // namespace

bool IsCodeHeader(std::string_view text) {
    static const char* const words[] = {
        "เลขที่", "รหัส",  "รหัสนักเรียน", "เลขประจำตัว", "ชื่อ",   "ชื่อ-สกุล", "ชื่อ-นามสกุล",
        "อีเมล", "code", "id",        "student id", "name", "email",  "email address"};
    const std::string t = LowerAscii(Trimmed(text));
    for (const char* w : words)
        if (t == w) return true;
    return false;
}

namespace {

bool IsFormLayout(SourceLayout layout) {
    return layout == SourceLayout::GoogleForms || layout == SourceLayout::MicrosoftForms ||
           layout == SourceLayout::Moodle;
}

bool IsKeyWord(std::string_view text) {
    const std::string c = LowerAscii(Trimmed(text));
    return c == "key" || c == "เฉลย" || c == "คำตอบ" || c == "คำตอบที่ถูก" || c == "answer key" ||
           c == "เฉลยคำตอบ";
}

// Past the first rows a header is no longer looked for.
constexpr size_t kHeaderSearchRows = 10;

// The last column holding anything, plus one.
int TableWidth(const TextTable& table) {
    int width = 0;
    for (const TextRow& row : table)
        for (int c = static_cast<int>(row.size()); c > width; --c)
            if (!Trimmed(row[c - 1]).empty()) {
                width = c;
                break;
            }
    return width;
}

// Whether a column below the header holds some text and no answer at all:
// a column a teacher added (หมายเหตุ, a formula's total) that is no question.
bool HoldsNoAnswer(const TextTable& table, size_t firstRow, int col, int nChoice) {
    bool any = false;
    for (size_t r = firstRow; r < table.size(); ++r) {
        const std::string& cell = CellAt(table[r], col);
        if (Trimmed(cell).empty()) continue;
        if (IsAnswerCell(cell, nChoice)) return false;
        any = true;
    }
    return any;
}

// The roles of the columns of a table with a header row.
std::vector<ColumnUse> RolesFromHeader(const TextTable& table, size_t headerRow, int width,
                                       SourceLayout layout, int nChoice, ImportPlan& plan) {
    const TextRow& header = table[headerRow];
    std::vector<ColumnUse> roles(width);
    std::vector<bool> known(width);
    for (int c = 0; c < width; ++c) {
        bool k = false;
        roles[c] = RoleOfHeader(CellAt(header, c), layout, k);
        known[c] = k;
    }
    if (layout == SourceLayout::MicrosoftForms) {
        // A question is the column whose "Points - " twin exists.
        int question = 0;
        for (int c = 0; c < width; ++c) {
            if (roles[c].role != ColumnRole::KeyPoints) continue;
            const std::string asked = Trimmed(Trimmed(CellAt(header, c)).substr(9));
            for (int q = 0; q < c; ++q)
                if (Trimmed(CellAt(header, q)) == asked && roles[q].role != ColumnRole::Answer) {
                    roles[q] = {ColumnRole::Answer, ++question};
                    roles[c].question = question;
                    break;
                }
        }
        return roles;
    }
    if (layout == SourceLayout::Moodle || layout == SourceLayout::ZipGrade) return roles;
    // A form's and a teacher's questions are numbered in column order.
    int code = -1;
    for (int c = 0; c < width && code < 0; ++c)
        if (roles[c].role == ColumnRole::Code) code = c;
    for (int c = 0; c < width && code < 0; ++c)
        if (roles[c].role == ColumnRole::Name) code = c;
    int question = 0;
    for (int c = 0; c < width; ++c) {
        if (layout == SourceLayout::Plain && !known[c]) {
            if (c <= code || (code < 0 && c == 0)) continue;
            // A numbered header is a question whatever its cells hold.
            const std::string h = Trimmed(CellAt(header, c));
            if (!h.empty() && h.find_first_not_of("0123456789") != std::string::npos &&
                HoldsNoAnswer(table, headerRow + 1, c, nChoice)) {
                plan.warnings.push_back("คอลัมน์ " + ColumnLetters(c) + " " +
                                        QuotedCell(Trimmed(CellAt(header, c))) +
                                        " ไม่มีคำตอบ ไม่ได้นำเข้า");
                continue;
            }
            roles[c] = {ColumnRole::Answer, 0};
        }
        if (roles[c].role == ColumnRole::Answer) roles[c].question = ++question;
    }
    // A teacher's sheet without a header word for the code: the first column.
    if (layout == SourceLayout::Plain && code < 0 && width > 0 &&
        roles[0].role == ColumnRole::Ignored && !known[0])
        roles[0].role = ColumnRole::Code;
    return roles;
}

std::string Place(int row, int col, int question, const std::string& what) {
    return "แถว " + std::to_string(row) + " คอลัมน์ " + ColumnLetters(col) +
           (question > 0 ? " (ข้อ " + std::to_string(question) + ")" : "") + ": " + what;
}

// When a row was sent, comparable when the source writes the year first
// ("2026/12/01 9:05:00") or a spreadsheet's serial number; empty otherwise,
// and the order of the rows decides.
std::vector<long long> TimeOrder(std::string_view text) {
    std::vector<long long> groups;
    const std::string t = Trimmed(text);
    if (!t.empty() && t.find_first_not_of("0123456789.") == std::string::npos) {
        groups.push_back(static_cast<long long>(std::atof(t.c_str()) * 86400.0));
        return groups;
    }
    size_t firstLength = 0;
    for (size_t i = 0; i < t.size();) {
        if (t[i] < '0' || t[i] > '9') {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < t.size() && t[j] >= '0' && t[j] <= '9' && j - i < 12)
            ++j;
        if (groups.empty()) firstLength = j - i;
        groups.push_back(std::atoll(t.substr(i, j - i).c_str()));
        i = j;
    }
    if (firstLength != 4) groups.clear();
    // "PM" past noon.
    if (groups.size() >= 4 && LowerAscii(t).find("pm") != std::string::npos && groups[3] < 12)
        groups[3] += 12;
    return groups;
}

bool IsFinished(std::string_view state) {
    const std::string s = LowerAscii(Trimmed(state));
    return s.empty() || s == "finished" || s == "เสร็จแล้ว" || s == "เสร็จสิ้น" || s == "ส่งแล้ว";
}

// A ZipGrade cell: one bubble as its letter, two or more ("AC") as a
// multiple mark.
bool ReadBubbles(std::string_view cell, int nChoice, std::string& answer, std::string& error) {
    const std::string t = Trimmed(cell);
    if (t.size() >= 2 && std::all_of(t.begin(), t.end(), [&](char c) {
            return c >= 'A' && c < 'A' + std::min(nChoice, 5);
        })) {
        answer = "*";
        return true;
    }
    return ReadAnswerCell(t, nChoice, answer, error);
}

struct Row {
    ImportedSheet sheet;
    std::vector<long long> time;
};

// The teacher's list of one question's options: entries under its header,
// its number or "ข้อ n".
std::map<std::string, int> ListedOptions(const QuizOptionMap& map, const std::string& header,
                                         int question) {
    std::map<std::string, int> listed;
    const std::string n = std::to_string(question);
    for (const auto& [key, choice] : map)
        if (key.first == header || key.first == n || key.first == "ข้อ " + n)
            listed[key.second] = choice;
    return listed;
}

// "7 / 10": the points and the most points; false for anything else.
bool ReadScore(const std::string& text, int& points, int& most) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    const std::string a = Trimmed(std::string_view(text).substr(0, slash));
    const std::string b = Trimmed(std::string_view(text).substr(slash + 1));
    auto whole = [](const std::string& t, int& n) {
        if (t.empty() || t.size() > 4 || t.find_first_not_of("0123456789") != std::string::npos)
            return false;
        n = std::atoi(t.c_str());
        return true;
    };
    return whole(a, points) && whole(b, most);
}

// A form that gives each student's score but no key: the key that makes
// every score the number of right answers, when there is exactly one.
void KeyFromScores(ImportPlan& plan, int questions, int nChoice) {
    const std::string cannot = "หาเฉลยจากคะแนนไม่ได้ ";
    std::vector<std::vector<int>> answers;
    std::vector<int> scores;
    for (const ImportedSheet& s : plan.sheets) {
        int points = 0, most = 0;
        if (!ReadScore(s.score, points, most) || most != questions) {
            plan.warnings.push_back(cannot + "(แถว " + std::to_string(s.row) + " คะแนน " +
                                    QuotedCell(s.score) + " ไม่ใช่คะแนนเต็ม " +
                                    std::to_string(questions) + " ข้อละ 1 คะแนน) นำเข้าโดยไม่มีเฉลย");
            return;
        }
        std::vector<int> row(questions);
        for (int q = 0; q < questions; ++q) {
            const std::string& a = s.answers[q];
            row[q] = a.size() == 1 && a[0] >= '1' && a[0] <= '9' ? a[0] - '0' : 0;
        }
        answers.push_back(std::move(row));
        scores.push_back(points);
    }
    const RecoveredKey found = RecoverKeyFromScores(answers, scores, questions, nChoice);
    switch (found.outcome) {
    case KeySearch::Unique:
        plan.hasKey = true;
        plan.key = ImportedSheet{};
        plan.key.code = "KEY";
        plan.key.answers.assign(plan.sheets.front().answers.size(), "");
        for (int q = 0; q < questions; ++q)
            plan.key.answers[q] = std::to_string(found.key[q]);
        plan.warnings.push_back("ได้เฉลยจากคะแนนรวม: มีเฉลยแบบเดียวที่ให้คะแนนตรงกับของนักเรียนทุกคน");
        return;
    case KeySearch::None:
        plan.warnings.push_back(cannot + "(ไม่มีเฉลยใดให้คะแนนตรงกับของนักเรียนทุกคน) นำเข้าโดยไม่มีเฉลย");
        return;
    case KeySearch::Several:
        plan.warnings.push_back(cannot + "(มีเฉลยได้หลายแบบที่ให้คะแนนตรงกับของนักเรียนทุกคน) "
                                         "นำเข้าโดยไม่มีเฉลย");
        return;
    case KeySearch::TooLong:
        plan.warnings.push_back(cannot + "(ค้นหาเกิน " + std::to_string(kKeySearchSteps) +
                                " ขั้น) นำเข้าโดยไม่มีเฉลย");
        return;
    }
}

} // namespace

ImportPlan PlanFromTable(const TextTable& table, SourceKind kind, int nItem, int nChoice,
                         const ImportOptions& options, Progress& progress) {
    ImportPlan plan;
    plan.kind = kind;
    if (table.empty()) {
        plan.errors.push_back("แหล่งข้อมูลไม่มีข้อมูล");
        return plan;
    }
    const int width = TableWidth(table);
    // The header: the first row that names a tool's columns, a code, a name
    // or question 1; title rows above it are passed over.
    int headerRow = -1;
    SourceLayout layout = SourceLayout::Plain;
    if (options.header != HeaderMode::No) {
        for (size_t r = 0; r < table.size() && r < kHeaderSearchRows && headerRow < 0; ++r) {
            if (RowEmpty(table[r])) continue;
            layout = LayoutOfHeader(table[r]);
            if (layout != SourceLayout::Plain || LooksLikeHeaderRow(table[r]))
                headerRow = static_cast<int>(r);
        }
    }
    std::vector<ColumnUse> roles;
    int codeCol = -1;
    if (!options.columns.empty()) {
        std::string error;
        if (!ParseColumnRoles(options.columns, roles, error)) {
            plan.errors.push_back(error);
            return plan;
        }
        roles.resize(std::max<size_t>(roles.size(), width));
        if (headerRow < 0 && options.header == HeaderMode::Yes) headerRow = 0;
        // A first row whose answer columns hold no answers is a header.
        for (size_t r = 0; r < table.size() && headerRow < 0 && options.header == HeaderMode::Auto;
             ++r) {
            if (RowEmpty(table[r])) continue;
            for (size_t c = 0; c < roles.size() && headerRow < 0; ++c)
                if (roles[c].role == ColumnRole::Answer &&
                    !IsAnswerCell(CellAt(table[r], static_cast<int>(c)), nChoice))
                    headerRow = static_cast<int>(r);
            break;
        }
    } else if (headerRow >= 0 && options.codeColumn.empty()) {
        roles = RolesFromHeader(table, headerRow, width, layout, nChoice, plan);
    } else {
        // Our own simple layout: the code, then the answers.
        codeCol = 0;
        if (!options.codeColumn.empty()) {
            std::string err;
            const TextRow* header = &table[headerRow >= 0 ? headerRow : 0];
            codeCol = CodeColumnFromOption(options.codeColumn, header, err);
            if (codeCol < 0) {
                plan.errors.push_back(err);
                return plan;
            }
        }
        if (headerRow < 0) {
            const TextRow& first = table[0];
            switch (options.header) {
            case HeaderMode::Yes:
                headerRow = 0;
                break;
            case HeaderMode::No:
                break;
            case HeaderMode::Auto: {
                bool header = IsCodeHeader(CellAt(first, codeCol));
                for (size_t c = codeCol + 1; c < first.size() && !header; ++c)
                    header = !IsAnswerCell(first[c], nChoice);
                if (header) headerRow = 0;
                break;
            }
            }
        }
        if (headerRow >= 0 && layout != SourceLayout::Plain) {
            // A form with the code column given: its roles, the code moved.
            roles = RolesFromHeader(table, headerRow, width, layout, nChoice, plan);
            for (ColumnUse& u : roles)
                if (u.role == ColumnRole::Code) u.role = ColumnRole::Ignored;
            if (static_cast<size_t>(codeCol) >= roles.size()) roles.resize(codeCol + 1);
            roles[codeCol] = {ColumnRole::Code, 0};
            int question = 0;
            if (layout == SourceLayout::GoogleForms)
                for (ColumnUse& u : roles)
                    if (u.role == ColumnRole::Answer) u.question = ++question;
        } else {
            roles.assign(std::max(width, codeCol + 1), {});
            roles[codeCol] = {ColumnRole::Code, 0};
            int question = 0;
            for (int c = codeCol + 1; c < width; ++c)
                roles[c] = {ColumnRole::Answer, ++question};
        }
    }
    for (size_t c = 0; c < roles.size(); ++c)
        if (roles[c].role == ColumnRole::Code) codeCol = static_cast<int>(c);
    // A name column stands for the code when there is no code column.
    bool codeIsName = false;
    if (codeCol < 0)
        for (size_t c = 0; c < roles.size() && codeCol < 0; ++c)
            if (roles[c].role == ColumnRole::Name) {
                codeCol = static_cast<int>(c);
                codeIsName = true;
            }
    plan.layout = layout;
    plan.roles = roles;
    plan.hasHeader = headerRow >= 0;
    plan.headerRow = headerRow + 1;
    plan.codeColumn = codeCol + 1;
    if (IsFormLayout(layout)) plan.kind = SourceKind::Quiz;
    const bool optionTexts = IsFormLayout(layout);

    int questions = 0;
    for (const ColumnUse& u : roles)
        if (u.role == ColumnRole::Answer) questions = std::max(questions, u.question);
    if (headerRow >= 0 && questions > nItem) {
        for (size_t c = 0; c < roles.size(); ++c)
            if (roles[c].role == ColumnRole::Answer && roles[c].question > nItem &&
                !Trimmed(CellAt(table[headerRow], static_cast<int>(c))).empty()) {
                plan.errors.push_back(
                    Place(headerRow + 1, static_cast<int>(c), 0,
                          "คำถามเกินจำนวนข้อของไฟล์ (" + std::to_string(nItem) + " ข้อ)"));
                return plan;
            }
    }
    // Names in the order a person is called: the first name before the
    // surname, whatever the order of the columns.
    std::vector<int> nameCols;
    for (size_t c = 0; c < roles.size(); ++c)
        if (roles[c].role == ColumnRole::Name) nameCols.push_back(static_cast<int>(c));
    if (headerRow >= 0)
        std::stable_sort(nameCols.begin(), nameCols.end(), [&](int a, int b) {
            auto first = [&](int c) {
                const std::string h = LowerAscii(Trimmed(CellAt(table[headerRow], c)));
                return h == "first name" || h == "firstname";
            };
            return first(a) && !first(b);
        });
    if (codeIsName && nameCols.empty()) nameCols.push_back(codeCol);

    std::vector<Row> rows;
    progress.stage(kCheckingImportStage, static_cast<long long>(table.size()));
    int widest = 0;
    for (size_t r = headerRow + 1; r < table.size(); ++r) {
        if (r % kRowsPerReport == 0) progress.step(static_cast<long long>(r));
        const TextRow& row = table[r];
        if (RowEmpty(row)) continue;
        const int rowNo = static_cast<int>(r) + 1;
        Row entry;
        ImportedSheet& sheet = entry.sheet;
        sheet.row = rowNo;
        sheet.code = codeCol >= 0 ? Trimmed(CellAt(row, codeCol)) : "";
        for (int c : nameCols) {
            const std::string part = Trimmed(CellAt(row, c));
            if (!part.empty()) sheet.name += (sheet.name.empty() ? "" : " ") + part;
        }
        bool keyRow = IsKeyWord(sheet.code) || IsKeyWord(sheet.name);
        for (size_t c = 0; c < row.size() && !keyRow; ++c)
            if (!Trimmed(row[c]).empty()) {
                keyRow = IsKeyWord(row[c]);
                break;
            }
        if (layout == SourceLayout::Moodle &&
            LowerAscii(Trimmed(row.empty() ? "" : row[0])).rfind("overall average", 0) == 0)
            continue;
        bool bad = false, skip = false;
        sheet.answers.assign(nItem, "");
        int given = 0;
        for (size_t c = 0; c < roles.size(); ++c) {
            const ColumnUse& use = roles[c];
            const std::string text = Trimmed(CellAt(row, static_cast<int>(c)));
            switch (use.role) {
            case ColumnRole::Group:
                if (!text.empty()) sheet.group += (sheet.group.empty() ? "" : " ") + text;
                break;
            case ColumnRole::Submitted:
                entry.time = TimeOrder(text);
                break;
            case ColumnRole::Score:
                sheet.score = text;
                break;
            case ColumnRole::State:
                if (!keyRow && !IsFinished(text)) {
                    plan.skipped.push_back("แถว " + std::to_string(rowNo) + " " +
                                           (sheet.name.empty() ? sheet.code : sheet.name) +
                                           ": ยังทำไม่เสร็จ (" + QuotedCell(text) + ") ไม่ได้นำเข้า");
                    skip = true;
                }
                break;
            case ColumnRole::KeyAnswer:
            case ColumnRole::KeyPoints:
                if (!text.empty()) sheet.keyCells.emplace_back(static_cast<int>(c), text);
                break;
            case ColumnRole::Answer: {
                if (text.empty() || (layout == SourceLayout::Moodle && text == "-")) break;
                const int q = use.question;
                if (q > nItem) {
                    plan.errors.push_back(
                        Place(rowNo, static_cast<int>(c), 0,
                              "คำตอบเกินจำนวนข้อของไฟล์ (" + std::to_string(nItem) + " ข้อ)"));
                    bad = true;
                    break;
                }
                given = std::max(given, q);
                if (optionTexts) {
                    sheet.answers[q - 1] = text;
                    break;
                }
                std::string error;
                const bool read = layout == SourceLayout::ZipGrade
                                      ? ReadBubbles(text, nChoice, sheet.answers[q - 1], error)
                                      : ReadAnswerCell(text, nChoice, sheet.answers[q - 1], error);
                if (!read) {
                    plan.errors.push_back(Place(rowNo, static_cast<int>(c), q, error));
                    bad = true;
                }
                break;
            }
            default:
                break;
            }
            if (bad && use.role == ColumnRole::Answer && use.question > nItem) break;
        }
        widest = std::max(widest, given);
        if (skip || bad) continue;
        if (keyRow) {
            if (plan.hasKey) {
                plan.errors.push_back(Place(rowNo, std::max(codeCol, 0), 0,
                                            "มีแถวเฉลยแล้วที่แถว " + std::to_string(plan.key.row)));
                continue;
            }
            plan.hasKey = true;
            plan.key = std::move(sheet);
            continue;
        }
        if (CharCount(sheet.code) > kCodeLength) {
            plan.errors.push_back(Place(
                rowNo, codeCol, 0,
                codeIsName ? "ชื่อยาวเกิน 20 ตัวอักษร ใช้เป็นรหัสไม่ได้ ให้ระบุคอลัมน์รหัสด้วย --columns code=…"
                           : "รหัสยาวเกิน 20 ตัวอักษร"));
            continue;
        }
        if (CharCount(sheet.group) > schema::kGroupLabelSize) {
            plan.errors.push_back(
                Place(rowNo, std::max(codeCol, 0), 0, "ข้อความกลุ่มยาวเกิน 100 ตัวอักษร"));
            continue;
        }
        rows.push_back(std::move(entry));
    }
    if (!plan.ok()) return plan;

    // A form's option texts as every row gave them, the sends dropped below
    // too: a text ticked alone only in a dropped send still tells that a
    // cell joining it to others holds several answers.
    std::vector<std::vector<std::string>> formTexts(optionTexts ? nItem : 0);
    if (optionTexts) {
        std::vector<std::set<std::string>> seen(nItem);
        for (const Row& row : rows)
            for (int q = 0; q < nItem; ++q) {
                const std::string& t = row.sheet.answers[q];
                if (!t.empty() && seen[q].insert(t).second) formTexts[q].push_back(t);
            }
    }

    // Two sends of one code where the source tells when: one kept.
    bool timed = std::any_of(roles.begin(), roles.end(),
                             [](const ColumnUse& u) { return u.role == ColumnRole::Submitted; });
    if (timed && options.keep != KeepRows::All) {
        std::map<std::string, size_t> chosen;
        std::vector<bool> dropped(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::string& code = rows[i].sheet.code;
            if (code.empty()) continue;
            auto [it, fresh] = chosen.emplace(code, i);
            if (fresh) continue;
            const Row& before = rows[it->second];
            bool later = rows[i].time.empty() || before.time.empty() || rows[i].time >= before.time;
            const bool keepThis = options.keep == KeepRows::Last ? later : !later;
            const size_t drop = keepThis ? it->second : i;
            if (keepThis) it->second = i;
            dropped[drop] = true;
            plan.dropped.push_back("รหัส " + code + " ส่งซ้ำ: ไม่ใช้แถว " +
                                   std::to_string(rows[drop].sheet.row) + " ใช้แถว " +
                                   std::to_string(rows[it->second].sheet.row) +
                                   (options.keep == KeepRows::Last ? " (ส่งล่าสุด)" : " (ส่งครั้งแรก)"));
        }
        size_t kept = 0;
        for (size_t i = 0; i < rows.size(); ++i)
            if (!dropped[i]) {
                if (kept != i) rows[kept] = std::move(rows[i]);
                ++kept;
            }
        rows.resize(kept);
    }
    plan.sheets.reserve(rows.size());
    for (Row& row : rows)
        plan.sheets.push_back(std::move(row.sheet));
    rows = std::vector<Row>();

    // The key from columns that carry it.
    std::vector<std::string> keyTexts(nItem);
    std::vector<int> keyRows(nItem);
    std::vector<std::set<std::string>> pointed(nItem);
    for (const ImportedSheet& s : plan.sheets)
        for (const auto& [c, text] : s.keyCells) {
            const int q = roles[c].question;
            if (q < 1 || q > nItem) continue;
            if (roles[c].role == ColumnRole::KeyPoints) {
                if (std::atof(text.c_str()) > 0 && !s.answers[q - 1].empty())
                    pointed[q - 1].insert(s.answers[q - 1]);
                continue;
            }
            if (keyTexts[q - 1].empty()) {
                keyTexts[q - 1] = text;
                keyRows[q - 1] = s.row;
            } else if (keyTexts[q - 1] != text) {
                plan.errors.push_back(Place(s.row, c, q,
                                            "เฉลย " + QuotedCell(text) + " ไม่ตรงกับแถว " +
                                                std::to_string(keyRows[q - 1]) + " (" +
                                                QuotedCell(keyTexts[q - 1]) + ")"));
                return plan;
            }
        }
    for (int q = 0; q < nItem; ++q) {
        if (pointed[q].size() == 1) keyTexts[q] = *pointed[q].begin();
        if (pointed[q].size() > 1)
            plan.warnings.push_back("ข้อ " + std::to_string(q + 1) +
                                    ": ได้คะแนนจากหลายคำตอบ ไม่ได้ตั้งเฉลยข้อนี้");
    }
    const bool keyFromColumns =
        !plan.hasKey && std::any_of(keyTexts.begin(), keyTexts.end(),
                                    [](const std::string& t) { return !t.empty(); });
    if (keyFromColumns) {
        plan.hasKey = true;
        plan.key = ImportedSheet{};
        plan.key.code = "KEY";
        plan.key.answers.assign(nItem, "");
        for (int q = 0; q < nItem; ++q) {
            if (keyTexts[q].empty()) continue;
            if (optionTexts) {
                plan.key.answers[q] = keyTexts[q];
                continue;
            }
            std::string error;
            if (!ReadBubbles(keyTexts[q], nChoice, plan.key.answers[q], error))
                plan.errors.push_back("เฉลยข้อ " + std::to_string(q + 1) + ": " + error);
        }
    }

    // A form's option texts numbered question by question.
    if (optionTexts) {
        std::vector<std::string> headers(nItem);
        std::vector<int> columns(nItem);
        for (size_t c = 0; c < roles.size(); ++c)
            if (roles[c].role == ColumnRole::Answer && roles[c].question <= nItem &&
                columns[roles[c].question - 1] == 0) {
                headers[roles[c].question - 1] =
                    headerRow >= 0 ? Trimmed(CellAt(table[headerRow], static_cast<int>(c))) : "";
                columns[roles[c].question - 1] = static_cast<int>(c) + 1;
            }
        for (int q = 0; q < nItem; ++q) {
            if (columns[q] == 0) continue;
            std::vector<std::string> texts = std::move(formTexts[q]);
            std::set<std::string> seen(texts.begin(), texts.end());
            auto note = [&](const std::string& t) {
                if (!t.empty() && seen.insert(t).second) texts.push_back(t);
            };
            if (plan.hasKey) note(plan.key.answers[q]);
            const std::string name = "ข้อ " + std::to_string(q + 1);
            OptionNumbering numbering = NumberOptions(
                texts, nChoice, ListedOptions(options.quizOptions, headers[q], q + 1), name);
            QuizQuestion question{headers[q], columns[q], {}};
            if (!numbering.labelled)
                for (const auto& [text, choice] : numbering.options)
                    question.unlabelled.push_back(text);
            plan.questions.push_back(std::move(question));
            if (!numbering.error.empty()) {
                plan.errors.push_back(numbering.error);
                continue;
            }
            for (const auto& [text, choice] : numbering.options)
                plan.optionTexts.push_back({q + 1, choice, text});
            for (ImportedSheet& s : plan.sheets)
                if (!s.answers[q].empty()) s.answers[q] = numbering.answers.at(s.answers[q]);
            if (plan.hasKey && !plan.key.answers[q].empty())
                plan.key.answers[q] = numbering.answers.at(plan.key.answers[q]);
        }
    }
    const bool scored = std::any_of(roles.begin(), roles.end(),
                                    [](const ColumnUse& u) { return u.role == ColumnRole::Score; });
    if (layout == SourceLayout::GoogleForms && scored && !plan.hasKey && plan.ok() &&
        !plan.sheets.empty())
        KeyFromScores(plan, std::min(questions, nItem), nChoice);
    if (plan.hasKey)
        for (int q = 0; q < nItem; ++q)
            if (plan.key.answers[q] == "*") {
                plan.key.answers[q].clear();
                plan.warnings.push_back("เฉลยข้อ " + std::to_string(q + 1) +
                                        " มีหลายคำตอบ ไม่ได้ตั้งเฉลยข้อนี้");
            }
    if (questions > 0 || headerRow < 0)
        ShortWarning(plan, headerRow < 0 ? widest : questions, nItem);
    return plan;
}
ImportPlan PlanFromFixedWidth(std::string_view text, int nItem, int nChoice,
                              const ImportOptions& options, Progress& progress) {
    ImportPlan plan;
    plan.kind = SourceKind::Fixed;
    if (options.codeFrom < 1 || options.codeTo < options.codeFrom || options.answersFrom < 1) {
        plan.errors.push_back("ไฟล์ความกว้างคงที่ต้องระบุคอลัมน์รหัสและคอลัมน์แรกของคำตอบ");
        return plan;
    }
    int lineNo = 0, widest = 0;
    size_t pos = 0;
    // The bar follows the bytes read, as the lines are not counted first.
    progress.stage(kCheckingImportStage, static_cast<long long>(text.size()));
    while (pos < text.size()) {
        if (lineNo % kRowsPerReport == 0) progress.step(static_cast<long long>(pos));
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (Trimmed(line).empty()) continue;
        if (line.size() > kMaxLineBytes) {
            plan.errors.push_back(
                At(lineNo, 1, "บรรทัดยาวเกิน " + std::to_string(kMaxLineBytes) + " ไบต์"));
            return plan;
        }
        // Positions count characters, as a text editor shows them.
        std::vector<std::string_view> chars;
        for (size_t i = 0; i < line.size();) {
            size_t len = 1;
            while (i + len < line.size() &&
                   (static_cast<unsigned char>(line[i + len]) & 0xC0) == 0x80)
                ++len;
            chars.push_back(line.substr(i, len));
            i += len;
        }
        ImportedSheet sheet;
        sheet.row = lineNo;
        for (int p = options.codeFrom - 1; p < options.codeTo && p < static_cast<int>(chars.size());
             ++p)
            sheet.code += chars[p];
        sheet.code = Trimmed(sheet.code);
        sheet.answers.assign(nItem, "");
        const size_t from = options.answersFrom - 1;
        bool bad = false;
        for (size_t p = from; p < chars.size(); ++p) {
            const std::string_view c = chars[p];
            const int item = static_cast<int>(p - from);
            const int col = static_cast<int>(p) + 1;
            if (c == " ") continue;
            if (item >= nItem) {
                plan.errors.push_back(
                    At(lineNo, col, "คำตอบเกินจำนวนข้อของไฟล์ (" + std::to_string(nItem) + " ข้อ)"));
                bad = true;
                break;
            }
            widest = std::max(widest, item + 1);
            const char b = c.size() == 1 ? c[0] : '\0';
            const bool label =
                (b >= '0' && b <= '9') || (b >= 'A' && b <= 'E') || (b >= 'a' && b <= 'e');
            if (!label) {
                // A double mark or a smudge: an answer that matches no key.
                sheet.answers[item] = "*";
                continue;
            }
            std::string error;
            if (!ReadAnswerCell(c, nChoice, sheet.answers[item], error)) {
                plan.errors.push_back(At(lineNo, col, error));
                bad = true;
            }
        }
        if (!bad) TakeRow(plan, std::move(sheet), options.codeFrom);
    }
    if (lineNo == 0) plan.errors.push_back("แหล่งข้อมูลไม่มีข้อมูล");
    ShortWarning(plan, widest, nItem);
    return plan;
}

namespace {

std::string Extension(const std::string& path) {
    return LowerAscii(std::filesystem::path(path).extension().string());
}

} // namespace

namespace {

ImportPlan ReadBoundedSource(const std::string& path, int nItem, int nChoice,
                             const ImportOptions& options, Progress& progress) {
    ImportPlan failed;
    std::string bytes, error;
    progress.stage(kReadingImportStage, 0);
    if (!ReadSourceFile(path, bytes, error)) {
        failed.errors.push_back(error);
        return failed;
    }
    // Only the columns an import can read are kept: the code, the
    // examinee's particulars and the answers of the file's items.
    TableLimits limits;
    limits.columns = std::max(nItem, 0) + kMaxLeadingColumns;
    const std::string ext = Extension(path);
    if (ext == ".ods" || (bytes.rfind("PK\x03\x04", 0) == 0 && IsOdsArchive(bytes))) {
        TextTable table;
        progress.step(0);
        if (!ReadOdsSheet(std::string_view(bytes), options.sheet, limits, table, error)) {
            failed.errors.push_back(error);
            return failed;
        }
        bytes = std::string();
        return PlanFromTable(table, SourceKind::Xlsx, nItem, nChoice, options, progress);
    }
    if (ext == ".xlsx" || bytes.rfind("PK\x03\x04", 0) == 0) {
        std::string sheet = options.sheet;
        if (sheet.empty()) {
            // Our own export: its answers are on the sheet "คำตอบ".
            std::vector<std::string> names;
            if (XlsxSheetNames(std::string_view(bytes), names, error) &&
                std::find(names.begin(), names.end(), "คะแนน") != names.end() &&
                std::find(names.begin(), names.end(), "คำตอบ") != names.end())
                sheet = "คำตอบ";
        }
        TextTable table;
        progress.step(0);
        if (!ReadXlsxSheet(std::string_view(bytes), sheet, limits, table, error)) {
            failed.errors.push_back(error);
            return failed;
        }
        return PlanFromTable(table, SourceKind::Xlsx, nItem, nChoice, options, progress);
    }
    std::string text;
    progress.step(0);
    if (!DecodeText(bytes, options.encoding, text, error)) {
        failed.errors.push_back(error);
        return failed;
    }
    bytes = std::string();
    progress.step(0);
    // Character positions given make a text file fixed-width: they are
    // never ignored.
    if (options.fixed || ext == ".dat" || options.codeFrom > 0 || options.answersFrom > 0)
        return PlanFromFixedWidth(text, nItem, nChoice, options, progress);
    TextTable table;
    if (!ParseDelimitedWithin(text, DetectDelimiter(text), limits, table, error)) {
        failed.errors.push_back(error);
        return failed;
    }
    // What our own CSV export guarded against spreadsheet formulas comes
    // back as it was.
    for (TextRow& row : table)
        for (std::string& cell : row)
            if (!cell.empty() && cell[0] == '\'') cell = WithoutFormulaGuard(cell);
    progress.step(0);
    return PlanFromTable(table, SourceKind::Delimited, nItem, nChoice, options, progress);
}

} // namespace

ImportPlan ReadImportSource(const std::string& path, int nItem, int nChoice,
                            const ImportOptions& options, Progress& progress) {
    try {
        return ReadBoundedSource(path, nItem, nChoice, options, progress);
    } catch (const std::bad_alloc&) {
        // Nothing is written before the whole source is read and checked.
        ImportPlan failed;
        failed.errors.push_back("หน่วยความจำไม่พอที่จะอ่านแหล่งข้อมูลนี้ ไม่ได้นำเข้าข้อมูลใดเลย");
        return failed;
    }
}

bool ReadQuizOptionMap(const std::string& path, QuizOptionMap& map, std::string& error) {
    std::string bytes, text;
    if (!ReadSourceFile(path, bytes, error)) return false;
    if (!DecodeText(bytes, TextEncoding::Auto, text, error)) return false;
    TextTable table;
    if (!ParseDelimitedWithin(text, DetectDelimiter(text), TableLimits{}, table, error))
        return false;
    for (size_t r = 0; r < table.size(); ++r) {
        const TextRow& row = table[r];
        if (RowEmpty(row)) continue;
        const std::string number = Trimmed(CellAt(row, 2));
        if (number.size() != 1 || number[0] < '0' || number[0] > '9') {
            // A header line ("question,option,choice") is allowed first.
            if (r == 0) continue;
            error = At(static_cast<int>(r) + 1, 3, "ต้องเป็นหมายเลขตัวเลือก");
            return false;
        }
        map[{Trimmed(CellAt(row, 0)), Trimmed(CellAt(row, 1))}] = number[0] - '0';
    }
    return true;
}

std::string ErrorSummary(const std::vector<std::string>& errors) {
    std::string s;
    for (size_t i = 0; i < errors.size() && i < kErrorsShown; ++i)
        s += errors[i] + "\n";
    if (errors.size() > kErrorsShown)
        s += "และอีก " + std::to_string(errors.size() - kErrorsShown) + " รายการ\n";
    return s;
}

void FindDuplicateCodes(ImportPlan& plan, const std::vector<std::string>& existingCodes) {
    plan.duplicates.clear();
    std::map<std::string, std::vector<int>> rows;
    for (const auto& s : plan.sheets)
        if (!s.code.empty()) rows[s.code].push_back(s.row);
    std::map<std::string, int> existing;
    for (const auto& c : existingCodes)
        if (!c.empty()) ++existing[c];
    for (const auto& s : plan.sheets) {
        auto it = rows.find(s.code);
        if (it == rows.end()) continue;
        const std::vector<int>& at = it->second;
        std::string list;
        for (int r : at)
            list += (list.empty() ? "" : ", ") + std::to_string(r);
        if (at.size() > 1) plan.duplicates.push_back("รหัส " + s.code + " ซ้ำกันในแถว " + list);
        if (existing.count(s.code))
            plan.duplicates.push_back("รหัส " + s.code + " (แถว " + list + ") มีอยู่แล้วในไฟล์");
        rows.erase(it);
    }
}

bool OwnLayout(const ImportPlan& plan) {
    for (size_t c = 0; c < plan.roles.size(); ++c) {
        const ColumnRole role = plan.roles[c].role;
        if (role == ColumnRole::Answer) continue;
        if (c == 0 &&
            (role == ColumnRole::Code || (role == ColumnRole::Name && plan.codeColumn == 1)))
            continue;
        return false;
    }
    return true;
}

bool HasTypedKey(Connection& db, int nItem) {
    if (nItem <= 0) return false;
    std::string sql = "SELECT 1 FROM " + std::string(schema::kKeyTable) + " WHERE 0";
    for (int i = 1; i <= nItem; ++i)
        sql += " OR COALESCE(" + schema::AnswerColumn(i) + ", '') <> ''";
    Statement st = db.prepare(sql);
    return st.step();
}

std::vector<std::string> ExistingCodes(Connection& db) {
    std::vector<std::string> codes;
    Statement st =
        db.prepare(std::string("SELECT ") + schema::kSheetCode + " FROM " + schema::kSheetsTable);
    while (st.step()) {
        auto t = st.columnText(0);
        codes.emplace_back(t ? *t : std::string_view());
    }
    return codes;
}

std::string ImportRefusal(const ImportPlan& plan, ImportMode mode) {
    if (mode == ImportMode::Replace && plan.sheets.empty())
        return "ไม่มีกระดาษคำตอบในแหล่งข้อมูล ไม่ได้แทนที่";
    if (mode == ImportMode::KeyOnly && !plan.hasKey) return "แหล่งข้อมูลไม่มีแถวเฉลย (KEY หรือ เฉลย)";
    return {};
}

void ApplyImport(Connection& db, const ImportPlan& plan, ImportMode mode, int nItem,
                 Progress& progress, const std::function<void()>& beforeCommit) {
    if (std::string refusal = ImportRefusal(plan, mode); !refusal.empty())
        throw std::runtime_error(refusal);
    Transaction tx(db);
    progress.stage(kImportingSheetsStage,
                   mode == ImportMode::KeyOnly ? 0 : static_cast<long long>(plan.sheets.size()));
    auto hasTable = [&](const char* name) {
        Statement st = db.prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
        st.bind(1, Value(std::string(name)));
        return st.step();
    };
    if (mode == ImportMode::Replace) {
        db.exec(std::string("DELETE FROM ") + schema::kSheetsTable);
        // The new sheets take the rowids from 1 again: the names and groups
        // of the sheets replaced must not pass to them.
        RemoveOrphanedTiedRows(db);
    }
    const bool anyName = std::any_of(plan.sheets.begin(), plan.sheets.end(),
                                     [](const ImportedSheet& s) { return !s.name.empty(); });
    const bool anyGroup = std::any_of(plan.sheets.begin(), plan.sheets.end(),
                                      [](const ImportedSheet& s) { return !s.group.empty(); });
    // A row left beside a rowid that an undone change freed must not name
    // the new sheet that takes it: each new sheet's row is written or
    // cleared.
    std::optional<Statement> nameInsert, groupInsert, nameClear, groupClear;
    if (mode != ImportMode::KeyOnly && (anyName || hasTable(schema::kSheetNameTable))) {
        db.exec(schema::SheetNameTableSql());
        nameInsert.emplace(db.prepare(std::string("INSERT INTO ") + schema::kSheetNameTable + " (" +
                                      schema::kNameSheetRowid + ", " + schema::kSheetName +
                                      ") VALUES (?, ?)"));
        nameClear.emplace(db.prepare(std::string("DELETE FROM ") + schema::kSheetNameTable +
                                     " WHERE " + schema::kNameSheetRowid + " = ?"));
    }
    if (mode != ImportMode::KeyOnly && (anyGroup || hasTable(schema::kSheetGroupTable))) {
        db.exec(schema::SheetGroupTableSql());
        groupInsert.emplace(db.prepare(std::string("INSERT INTO ") + schema::kSheetGroupTable +
                                       " (" + schema::kGroupSheetRowid + ", " +
                                       schema::kGroupLabel + ") VALUES (?, ?)"));
        groupClear.emplace(db.prepare(std::string("DELETE FROM ") + schema::kSheetGroupTable +
                                      " WHERE " + schema::kGroupSheetRowid + " = ?"));
    }
    if (mode != ImportMode::KeyOnly && !plan.sheets.empty()) {
        std::string sql =
            std::string("INSERT INTO ") + schema::kSheetsTable + " (" + schema::kSheetCode;
        for (int i = 1; i <= nItem; ++i)
            sql += ", " + schema::AnswerColumn(i);
        sql += ") VALUES (?";
        for (int i = 1; i <= nItem; ++i)
            sql += ", ?";
        sql += ")";
        Statement st = db.prepare(sql);
        sqlite3_stmt* raw = st.raw();
        long long written = 0;
        for (const ImportedSheet& s : plan.sheets) {
            progress.step(written++);
            sqlite3_bind_text(raw, 1, s.code.data(), static_cast<int>(s.code.size()),
                              SQLITE_STATIC);
            for (int i = 0; i < nItem; ++i) {
                const std::string& a = s.answers[i];
                if (a.empty())
                    sqlite3_bind_null(raw, i + 2);
                else
                    sqlite3_bind_text(raw, i + 2, a.data(), static_cast<int>(a.size()),
                                      SQLITE_STATIC);
            }
            const int rc = sqlite3_step(raw);
            if (rc != SQLITE_DONE)
                throw DbError(rc, Connection::ErrorText(rc, sqlite3_errmsg(db.handle())));
            sqlite3_reset(raw);
            const long long rowid = sqlite3_last_insert_rowid(db.handle());
            auto keep = [&](std::optional<Statement>& insert, std::optional<Statement>& clear,
                            const std::string& text) {
                if (!insert) return;
                // Cleared first, then inserted plainly: the edit history
                // sees both (a replacing insert would hide the row it drops).
                clear->bind(1, Value(rowid));
                clear->run();
                if (text.empty()) return;
                insert->bind(1, Value(rowid));
                insert->bind(2, Value(text));
                insert->run();
            };
            keep(nameInsert, nameClear, s.name);
            keep(groupInsert, groupClear, s.group);
        }
    }
    if (plan.hasKey && nItem > 0) {
        // A blank key cell is stored as the empty text: the item is then
        // not scored, as when the teacher leaves it blank in the key grid.
        std::string sql = std::string("UPDATE ") + schema::kKeyTable + " SET ";
        for (int i = 1; i <= nItem; ++i)
            sql += std::string(i > 1 ? ", " : "") + schema::AnswerColumn(i) + " = ?";
        Statement st = db.prepare(sql);
        for (int i = 0; i < nItem; ++i)
            st.bind(i + 1, Value(plan.key.answers[i]));
        st.run();
    }
    if (!plan.optionTexts.empty()) {
        db.exec(schema::OptionTextTableSql());
        Statement st =
            db.prepare(std::string("INSERT OR REPLACE INTO ") + schema::kOptionTextTable + " (" +
                       schema::kOptionItem + ", " + schema::kOptionChoice + ", " +
                       schema::kOptionText + ") VALUES (?, ?, ?)");
        for (const OptionText& o : plan.optionTexts) {
            if (o.choice < 1 || o.item > nItem) continue;
            st.bind(1, Value(static_cast<long long>(o.item)));
            st.bind(2, Value(static_cast<long long>(o.choice)));
            st.bind(3, Value(o.text));
            st.run();
        }
    }
    // The last moment a cancel still undoes everything.
    progress.step(mode == ImportMode::KeyOnly ? 0 : static_cast<long long>(plan.sheets.size()));
    if (beforeCommit) beforeCommit();
    tx.commit();
}

ImportBackup::ImportBackup() = default;

bool ImportBackup::take(const std::string& examPath, std::string& error) {
    backupPath_ = examPath + ".bak";
    const std::string refusal = "สำรองไฟล์ข้อสอบไว้ที่ " + backupPath_ + " ไม่ได้";
    try {
        copy_ = std::make_unique<OutputFile>(backupPath_, "backup");
        // The engine hands over what a reader sees: committed pages only, a
        // hot journal played back first, never a page half written by
        // another program, which a copy of the bytes could catch.
        Connection db(examPath, Connection::Mode::ReadOnly);
        sqlite3_int64 size = 0;
        unsigned char* bytes = sqlite3_serialize(db.handle(), "main", &size, 0);
        if (!bytes) throw ReplaceFileError(refusal, ENOMEM);
        const bool written =
            copy_->write(std::string_view(reinterpret_cast<const char*>(bytes), size));
        sqlite3_free(bytes);
        if (!written || ::fsync(copy_->fd()) != 0) throw ReplaceFileError(refusal, EIO);
    } catch (const ReplaceFileError& e) {
        copy_.reset();
        error = std::string(e.what()) == refusal ? refusal : refusal + " : " + e.what();
        return false;
    } catch (const std::exception&) {
        copy_.reset();
        error = refusal;
        return false;
    }
    return true;
}

bool ImportBackup::keep(std::string& error) {
    if (!copy_) return false;
    try {
        copy_->commit(true);
    } catch (const ReplaceFileError& e) {
        copy_.reset();
        error = "สำรองไฟล์ข้อสอบไว้ที่ " + backupPath_ + " ไม่ได้ : " + e.what();
        return false;
    }
    copy_.reset();
    return true;
}

ImportBackup::~ImportBackup() = default;

} // namespace ia
