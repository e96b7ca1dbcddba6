// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/SheetImport.h"

#include "examfile/ExamFile.h"

#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "exchange/AnswerText.h"
#include "exchange/XlsxReader.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <new>
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

bool IsTimestampHeader(std::string_view text) {
    const std::string t = LowerAscii(Trimmed(text));
    return t == "timestamp" || t == "ประทับเวลา";
}

bool IsScoreHeader(std::string_view text) {
    const std::string t = LowerAscii(Trimmed(text));
    return t == "score" || t == "คะแนน" || t == "total score";
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

ImportPlan PlanFromQuiz(const TextTable& table, int nItem, int nChoice,
                        const ImportOptions& options) {
    ImportPlan plan;
    plan.kind = SourceKind::Quiz;
    plan.hasHeader = true;
    const TextRow& header = table[0];
    int codeCol = -1;
    if (!options.codeColumn.empty()) {
        std::string err;
        codeCol = CodeColumnFromOption(options.codeColumn, &header, err);
        if (codeCol < 0) {
            plan.errors.push_back(err);
            return plan;
        }
    } else {
        for (size_t i = 1; i < header.size() && codeCol < 0; ++i)
            if (IsCodeHeader(header[i])) codeCol = static_cast<int>(i);
    }
    plan.codeColumn = codeCol + 1;
    // Every column but the timestamp, the code, the score and the examinee's
    // particulars (name, email, ...) is a question.
    std::vector<int> questionCols;
    for (size_t i = 1; i < header.size(); ++i) {
        const int c = static_cast<int>(i);
        if (c == codeCol || IsScoreHeader(header[i]) || IsCodeHeader(header[i])) continue;
        if (questionCols.size() == static_cast<size_t>(nItem)) {
            plan.errors.push_back(
                At(1, c + 1, "คำถามเกินจำนวนข้อของไฟล์ (" + std::to_string(nItem) + " ข้อ)"));
            return plan;
        }
        questionCols.push_back(c);
        plan.questions.push_back({Trimmed(header[i]), c + 1, {}});
    }
    for (size_t r = 1; r < table.size(); ++r) {
        const TextRow& row = table[r];
        if (RowEmpty(row)) continue;
        ImportedSheet sheet;
        sheet.row = static_cast<int>(r) + 1;
        sheet.code = codeCol >= 0 ? Trimmed(CellAt(row, codeCol)) : "";
        sheet.answers.assign(nItem, "");
        bool bad = false;
        for (size_t q = 0; q < questionCols.size(); ++q) {
            const std::string text = Trimmed(CellAt(row, questionCols[q]));
            QuizQuestion& question = plan.questions[q];
            auto mapped = options.quizOptions.find({question.header, text});
            auto note = [&] {
                if (std::find(question.unlabelled.begin(), question.unlabelled.end(), text) ==
                    question.unlabelled.end())
                    question.unlabelled.push_back(text);
            };
            if (!text.empty() && mapped != options.quizOptions.end()) {
                note(); // still listed, so that the teacher can change its number
                if (mapped->second < 1 || mapped->second > nChoice) {
                    plan.errors.push_back(At(sheet.row, questionCols[q] + 1,
                                             QuotedCell(text) + " ตารางตัวเลือกให้ข้อ " +
                                                 std::to_string(mapped->second) +
                                                 " เกินจำนวนตัวเลือก"));
                    bad = true;
                } else {
                    sheet.answers[q] = std::to_string(mapped->second);
                }
                continue;
            }
            std::string answer, error;
            if (ReadAnswerCell(text, nChoice, answer, error)) {
                sheet.answers[q] = answer;
                continue;
            }
            note();
            plan.errors.push_back(At(sheet.row, questionCols[q] + 1, error));
            bad = true;
        }
        if (!bad) TakeRow(plan, std::move(sheet), codeCol + 1);
    }
    ShortWarning(plan, static_cast<int>(questionCols.size()), nItem);
    return plan;
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

ImportPlan PlanFromTable(const TextTable& table, SourceKind kind, int nItem, int nChoice,
                         const ImportOptions& options, Progress& progress) {
    if (!table.empty() && !table[0].empty() && IsTimestampHeader(table[0][0]))
        return PlanFromQuiz(table, nItem, nChoice, options);
    ImportPlan plan;
    plan.kind = kind;
    if (table.empty()) {
        plan.errors.push_back("แหล่งข้อมูลไม่มีข้อมูล");
        return plan;
    }
    int codeCol = 0;
    if (!options.codeColumn.empty()) {
        std::string err;
        codeCol = CodeColumnFromOption(options.codeColumn, &table[0], err);
        if (codeCol < 0) {
            plan.errors.push_back(err);
            return plan;
        }
    }
    plan.codeColumn = codeCol + 1;
    const TextRow& first = table[0];
    switch (options.header) {
    case HeaderMode::Yes:
        plan.hasHeader = true;
        break;
    case HeaderMode::No:
        plan.hasHeader = false;
        break;
    case HeaderMode::Auto:
        plan.hasHeader = IsCodeHeader(CellAt(first, codeCol));
        for (size_t c = codeCol + 1; c < first.size() && !plan.hasHeader; ++c)
            plan.hasHeader = !IsAnswerCell(first[c], nChoice);
        break;
    }
    int widest = 0;
    progress.stage(kCheckingImportStage, static_cast<long long>(table.size()));
    for (size_t r = plan.hasHeader ? 1 : 0; r < table.size(); ++r) {
        if (r % kRowsPerReport == 0) progress.step(static_cast<long long>(r));
        const TextRow& row = table[r];
        if (RowEmpty(row)) continue;
        ImportedSheet sheet;
        sheet.row = static_cast<int>(r) + 1;
        sheet.code = Trimmed(CellAt(row, codeCol));
        sheet.answers.assign(nItem, "");
        int last = static_cast<int>(row.size()) - 1;
        while (last > codeCol && Trimmed(row[last]).empty())
            --last;
        const int given = last - codeCol;
        widest = std::max(widest, given);
        bool bad = false;
        for (int i = 0; i < given; ++i) {
            const int col = codeCol + 1 + i;
            if (i >= nItem) {
                plan.errors.push_back(
                    At(sheet.row, col + 1,
                       "คำตอบเกินจำนวนข้อของไฟล์ (" + std::to_string(nItem) + " ข้อ)"));
                bad = true;
                break;
            }
            std::string error;
            if (!ReadAnswerCell(row[col], nChoice, sheet.answers[i], error)) {
                plan.errors.push_back(At(sheet.row, col + 1, error));
                bad = true;
            }
        }
        if (!bad) TakeRow(plan, std::move(sheet), codeCol + 1);
    }
    ShortWarning(plan, widest, nItem);
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
    if (options.fixed || ext == ".dat")
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
    if (mode == ImportMode::Replace) db.exec(std::string("DELETE FROM ") + schema::kSheetsTable);
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
