// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/ExamFile.h"

#include "examfile/Engine.h"
#include "examfile/FileErrors.h"
#include "examfile/Schema.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <filesystem>
#include <optional>
#include <system_error>

namespace ia {
std::vector<std::string> ExamSchemaSql(int nItem) {
    std::vector<std::string> sql;
    for (const schema::Table& t : schema::ExamTables(nItem))
        sql.push_back(schema::TableSql(t));
    return sql;
}

int CreateExamFile(const std::string& path, const TestHeader& h, std::string* reason) {
    namespace fs = std::filesystem;
    auto refuse = [&](const std::string& why) {
        if (reason) *reason = why;
        return 1;
    };
    if (h.nItem > kMaxItems || path.empty()) return refuse({});
    if (std::string why = NewFileProblem(path); !why.empty()) return refuse(why);
    std::error_code ec;
    auto st = fs::symlink_status(path, ec);
    if (st.type() != fs::file_type::not_found) // exists, or cannot tell
        return refuse(ec ? FileErrorReason(ec.value()) : "มีไฟล์ชื่อนี้อยู่แล้ว");
    bool created = false;
    try {
        Connection db(path, Connection::Mode::Create);
        created = true;
        db.exec("PRAGMA journal_mode=DELETE");
        Transaction tx(db);
        for (const auto& sql : ExamSchemaSql(h.nItem))
            db.exec(sql);
        using namespace schema;
        db.prepare(std::string("INSERT INTO ") + kSignatureTable + " (" + kSignatureColumn +
                   ") VALUES ('" + kSignatureValue + "')")
            .run();
        db.prepare(std::string("INSERT INTO ") + kKeyTable + " (" + kKeyLabel + ") VALUES ('" +
                   kKeyLabelValue + "')")
            .run();
        db.prepare(std::string("INSERT INTO ") + kHeaderTable + " (" + kSubCode + ", " + kSubName +
                   ", " + kTerm + ", " + kYear + ", " + kTeacherName + ", " + kItemCount + ", " +
                   kChoiceCount + ") VALUES (?,?,?,?,?,?,?)")
            .bind(1, h.SubCode)
            .bind(2, h.SubName)
            .bind(3, h.Term)
            .bind(4, static_cast<long long>(h.Yearr))
            .bind(5, h.TeacherName)
            .bind(6, static_cast<long long>(h.nItem))
            .bind(7, static_cast<long long>(h.nChoice))
            .run();
        db.prepare(std::string("INSERT INTO ") + kStatsTable + " DEFAULT VALUES").run();
        tx.commit();
        return 0;
    } catch (const std::exception& e) {
        if (reason) {
            const auto* db = dynamic_cast<const DbError*>(&e);
            const int code = db ? db->code() & 0xff : 0;
            *reason = code == SQLITE_FULL                            ? FileErrorReason(ENOSPC)
                      : code == SQLITE_BUSY || code == SQLITE_LOCKED ? FileErrorReason(EBUSY)
                      : code == SQLITE_READONLY                      ? FileErrorReason(EROFS)
                      : code == SQLITE_IOERR                         ? FileErrorReason(EIO)
                                                                     : std::string(e.what());
        }
        if (created) {
            // A half-made file would block the next attempt with the same name.
            fs::remove(path, ec);
            fs::remove(path + "-journal", ec);
        }
        return 1;
    }
}

namespace {

size_t Utf8Chars(std::string_view s) {
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

// A header field past what its column holds (put in by another program):
// refused at opening, before a printout or an analysis spends minutes on a
// subject of ten megabytes.
std::string HeaderFieldRefusal(const std::string& path, Connection& db) {
    using namespace schema;
    struct TextField {
        const char* column;
        const char* label;
        int size;
    };
    static const TextField texts[] = {{kSubCode, "รหัสวิชา", kSubCodeSize},
                                      {kSubName, "ชื่อวิชา", kSubNameSize},
                                      {kTerm, "ภาคเรียน", kTermSize},
                                      {kTeacherName, "อาจารย์ผู้สอน", kTeacherNameSize}};
    try {
        std::string sql = "SELECT ";
        for (const TextField& f : texts)
            sql += std::string("length(CAST(") + f.column + " AS BLOB)), substr(" + f.column +
                   ", 1, " + std::to_string(f.size + 1) + "), ";
        sql += std::string("typeof(") + kYear + "), " + kYear + ", " + kChoiceCount + " FROM " +
               kHeaderTable + " ORDER BY rowid LIMIT 1";
        auto st = db.prepare(sql);
        if (!st.step()) return {};
        int col = 0;
        for (const TextField& f : texts) {
            const long long bytes = st.column(col).isNull() ? 0 : st.column(col).integer();
            const std::string head = st.column(col + 1).isNull() ? "" : st.column(col + 1).text();
            col += 2;
            // Only the first size + 1 characters are read: enough to tell.
            if (bytes > 4ll * f.size || Utf8Chars(head) > static_cast<size_t>(f.size))
                return path + "  ช่อง" + f.label + " (" + f.column + ") ยาวเกิน " +
                       std::to_string(f.size) + " ตัวอักษรที่ไฟล์กำหนด เปิดไม่ได้";
        }
        const std::string yearType = st.column(col).text();
        const Value year = st.column(col + 1);
        if ((yearType == "integer" && (year.integer() < INT32_MIN || year.integer() > INT32_MAX)) ||
            yearType == "real" || yearType == "blob" ||
            (yearType == "text" && year.text().size() > 11))
            return path + "  ช่องปีการศึกษา (" + kYear + ") เกินขอบเขตที่ไฟล์กำหนด เปิดไม่ได้";
        const Value choices = st.column(col + 2);
        if (!choices.isNull() &&
            (!choices.isInt() || choices.integer() < 0 || choices.integer() > 255))
            return path + "  ช่องจำนวนตัวเลือก (" + kChoiceCount + ") เกินขอบเขตที่ไฟล์กำหนด เปิดไม่ได้";
    } catch (const std::exception&) {
        return {}; // the structure check tells what is wrong with the file
    }
    return {};
}

} // namespace

std::string ExamFileProblemMessage(ExamFileProblem problem, const std::string& path) {
    switch (problem) {
    case ExamFileProblem::None:
        return {};
    case ExamFileProblem::NotFound:
        return "ไม่พบไฟล์ " + path;
    case ExamFileProblem::NameTooLong:
        return path + "  ชื่อไฟล์ยาวเกินกว่าที่ระบบไฟล์รองรับ";
    case ExamFileProblem::InUse:
        return path + "  ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น กรุณาลองใหม่";
    case ExamFileProblem::Damaged:
        return "ไฟล์ " + path + " เสียหาย เปิดไม่ได้";
    case ExamFileProblem::NotExamFile:
        return path + "  ไม่ใช่ไฟล์ข้อมูล กรุณาเลือกไฟล์ใหม่";
    case ExamFileProblem::BadStructure:
        return BadStructureMessage(path);
    }
    return {};
}

ExamBackup BackUpExamFile(const std::string& path) {
    namespace fs = std::filesystem;
    ExamBackup r;
    r.backupPath = path + ".bak";
    const std::string journal = path + "-journal";
    const std::string backupJournal = r.backupPath + "-journal";
    std::error_code ec;
    if (fs::exists(fs::symlink_status(journal, ec))) {
        // Opening the database for writing and reading it plays a hot
        // journal back and deletes it.
        try {
            Connection db(path, Connection::Mode::ReadWrite);
            db.exec("SELECT count(*) FROM sqlite_master");
        } catch (const std::exception&) {
            // Not readable now: the journal travels with the file below.
        }
    }
    // An older backup's own journal would be played into the new backup.
    fs::remove(backupJournal, ec);
    const bool journalLeft = fs::exists(fs::symlink_status(journal, ec));
    if (journalLeft) {
        fs::rename(journal, backupJournal, ec);
        if (ec) {
            r.refusal = "เก็บไฟล์เดิมไว้ที่ " + r.backupPath + "  ไม่ได้ จึงไม่เขียนทับไฟล์ " + path;
            return r;
        }
    }
    fs::rename(path, r.backupPath, ec);
    if (ec) {
        std::error_code back;
        if (journalLeft) fs::rename(backupJournal, journal, back);
        r.refusal = "เก็บไฟล์เดิมไว้ที่ " + r.backupPath + "  ไม่ได้ จึงไม่เขียนทับไฟล์ " + path;
        return r;
    }
    r.kept = true;
    return r;
}

std::string BackupNotice(const std::string& backupPath) {
    return "เก็บไฟล์เดิมไว้ที่ " + backupPath;
}

std::string BadStructureMessage(const std::string& path) {
    return path + "  โครงสร้างไฟล์ไม่ถูกต้อง";
}

void WidenCountFields(Connection& db, const std::string& table,
                      std::initializer_list<const char*> columns) {
    std::string sql;
    {
        auto st = db.prepare("SELECT sql FROM sqlite_schema WHERE type='table' AND name=?");
        st.bind(1, Value(table));
        if (!st.step()) return;
        sql = st.column(0).text();
    }
    bool changed = false;
    for (const char* name : columns) {
        const std::string narrow = schema::ColumnSql({name, schema::Column::Int16});
        const auto at = sql.find(narrow);
        if (at == std::string::npos) continue; // wide already, or not made by this program
        sql.replace(at, narrow.size(), schema::ColumnSql({name, schema::Column::Int32}));
        changed = true;
    }
    if (!changed) return;
    // The table is made again under its name with the same columns, rows and
    // rowids; its indexes and triggers follow it.
    std::vector<std::string> dependents;
    {
        auto st = db.prepare("SELECT sql FROM sqlite_schema WHERE tbl_name=? AND type IN "
                             "('index','trigger') AND sql IS NOT NULL ORDER BY rowid");
        st.bind(1, Value(table));
        while (st.step())
            dependents.push_back(st.column(0).text());
    }
    const std::string wider = table + "_widened";
    const std::string head = "CREATE TABLE \"" + table + "\"";
    if (sql.rfind(head, 0) != 0) return;
    Transaction tx(db);
    db.exec("CREATE TABLE \"" + wider + "\"" + sql.substr(head.size()));
    std::string cols = "rowid";
    for (const FieldInfo& f : db.tableFields(table))
        cols += ",\"" + f.name + "\"";
    db.exec("INSERT INTO \"" + wider + "\" (" + cols + ") SELECT " + cols + " FROM \"" + table +
            "\"");
    db.exec("DROP TABLE \"" + table + "\"");
    db.exec("ALTER TABLE \"" + wider + "\" RENAME TO \"" + table + "\"");
    for (const auto& d : dependents)
        db.exec(d);
    tx.commit();
}

void EnsureScoreIndex(Connection& db) {
    db.exec(std::string("CREATE INDEX IF NOT EXISTS ") + schema::kScoreIndex + " ON " +
            schema::kSheetsTable + " (" + schema::kSheetScore + ")");
}

namespace {

// An engine failure as one of the problems a teacher can act on.
ExamFileProblem ProblemOf(const DbError& e) {
    switch (e.code() & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ExamFileProblem::InUse;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_IOERR:
    case SQLITE_FULL:
        return ExamFileProblem::Damaged;
    default:
        return ExamFileProblem::BadStructure;
    }
}

unsigned long BigEndian(const unsigned char* p, int bytes) {
    unsigned long v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

bool ShorterThanItsHeaderSays(const std::string& path) {
    unsigned char head[100] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (n != sizeof head) return true;
    unsigned long pageSize = BigEndian(head + 16, 2);
    if (pageSize == 1) pageSize = 65536;
    const unsigned long pages = BigEndian(head + 28, 4);
    // The page count is only kept by writers that also keep this stamp equal
    // to the change counter.
    if (pages == 0 || BigEndian(head + 24, 4) != BigEndian(head + 92, 4)) return false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return !ec && size < static_cast<std::uintmax_t>(pages) * pageSize;
}

ExamFileProblem CheckStructure(const std::string& path, Connection& db) {
    try {
        auto count = [&](const std::string& sql) {
            auto st = db.prepare(sql);
            return st.step() ? st.columnInt(0) : 0;
        };
        // Code hidden in a file would run when the program writes to it (a
        // trigger that empties the answer sheets) or when it reads it.
        if (count("SELECT count(*) FROM sqlite_master WHERE type IN ('trigger','view')") > 0)
            return ExamFileProblem::BadStructure;
        // The number of answer fields comes from the header row (a header
        // without rows gives none).
        using namespace schema;
        auto st = db.prepare(std::string("SELECT ") + kItemCount + ", " + kChoiceCount + " FROM " +
                             kHeaderTable + " ORDER BY rowid LIMIT 1");
        if (!st.step()) return ExamFileProblem::BadStructure;
        Value n = st.column(0), c = st.column(1);
        if (!n.isInt() || !c.isInt() || n.integer() < 0 || n.integer() > kMaxItems)
            return ExamFileProblem::BadStructure;
        const std::vector<std::string> tables = db.tableNames();
        for (const Table& t : ExamTables(static_cast<int>(n.integer()))) {
            bool isTable = false;
            for (const auto& name : tables)
                isTable = isTable || SameName(name, t.name);
            if (!isTable) return ExamFileProblem::BadStructure;
            if (t.name == kSignatureTable) continue; // only its name counts, and it is there
            // The columns in order, as the statement that reads the rows
            // names them: a reader of the file goes on to use it from the
            // connection's cache, where PRAGMA table_info cost a parse of
            // its own inside and a row per column.
            auto columns = db.prepare(AllRowsSql(t.name));
            if (columns.columnCount() != static_cast<int>(t.columns.size()))
                return ExamFileProblem::BadStructure;
            for (size_t i = 0; i < t.columns.size(); ++i)
                if (!SameName(sqlite3_column_name(columns.raw(), static_cast<int>(i)),
                              t.columns[i].name))
                    return ExamFileProblem::BadStructure;
        }
        // The rows every part of the program reads without asking.
        auto counts = db.prepare(std::string("SELECT (SELECT count(*) FROM \"") + kKeyTable +
                                 "\"), (SELECT count(*) FROM \"" + kStatsTable + "\")");
        if (!counts.step() || counts.columnInt(0) < 1 || counts.columnInt(1) < 1)
            return ExamFileProblem::BadStructure;
        // A file cut short keeps its first pages readable; its header still
        // says how long it was.
        if (ShorterThanItsHeaderSays(path)) return ExamFileProblem::Damaged;
        return ExamFileProblem::None;
    } catch (const DbError& e) {
        return ProblemOf(e);
    } catch (...) {
        return ExamFileProblem::BadStructure;
    }
}

bool HasDatabaseSignature(const std::string& path) {
    char head[16] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return n == sizeof head && std::memcmp(head, "SQLite format 3", 16) == 0;
}

ExamFileProblem CheckStructure(const std::string& path) {
    try {
        Connection db(path, Connection::Mode::ReadOnly);
        return CheckStructure(path, db);
    } catch (const DbError& e) {
        return ProblemOf(e);
    }
}

// None: signed as an exam file, and `reader` is left open read-only on it
// for the checks and the reading that follow; otherwise why not.
ExamFileProblem Recognise(const std::string& path, std::optional<Connection>& reader) {
    reader.reset();
    namespace fs = std::filesystem;
    if (path.empty()) return ExamFileProblem::NotFound;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) {
        return ec == std::errc::filename_too_long ? ExamFileProblem::NameTooLong
               : ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory
                   ? ExamFileProblem::NotFound
                   : ExamFileProblem::Damaged;
    }
    if (status.type() == fs::file_type::not_found) return ExamFileProblem::NotFound;
    if (status.type() != fs::file_type::regular) return ExamFileProblem::NotExamFile;
    auto hasSignature = [&](Connection& db) {
        for (const auto& name : db.tableNames())
            if (name == schema::kSignatureTable) return true;
        return false;
    };
    auto recognised = [&](bool signed_) {
        if (!signed_) reader.reset();
        return signed_ ? ExamFileProblem::None : ExamFileProblem::NotExamFile;
    };
    try {
        try {
            reader.emplace(path, Connection::Mode::ReadOnly);
            return recognised(hasSignature(*reader));
        } catch (const DbError&) {
            reader.reset();
            // A program killed while writing leaves a journal that must be
            // played back before the file can be read; a read-only look
            // cannot do that, and the teacher's file would seem foreign.
            if (!fs::exists(path + "-journal", ec)) throw;
            bool signed_ = false;
            {
                Connection writer(path, Connection::Mode::ReadWrite);
                signed_ = hasSignature(writer);
            }
            // Played back now: the reader is read-only again.
            if (signed_) reader.emplace(path, Connection::Mode::ReadOnly);
            return recognised(signed_);
        }
    } catch (const DbError& e) {
        reader.reset();
        const ExamFileProblem p = ProblemOf(e);
        if (p == ExamFileProblem::InUse) return p;
        // Only a file that says it is a database can be a damaged one of
        // ours; anything else is simply some other file.
        return HasDatabaseSignature(path) ? ExamFileProblem::Damaged : ExamFileProblem::NotExamFile;
    } catch (...) {
        reader.reset();
        return ExamFileProblem::NotExamFile;
    }
}

} // namespace

ExamFileProblem DiagnoseExamFile(const std::string& path) {
    std::optional<Connection> reader;
    const ExamFileProblem p = Recognise(path, reader);
    return p == ExamFileProblem::None ? CheckStructure(path, *reader) : p;
}

std::string AllRowsSql(const std::string& table) {
    return "SELECT * FROM \"" + table + "\" ORDER BY rowid";
}

std::string ExamFileRefusal(const std::string& path) {
    std::optional<Connection> reader;
    return ExamFileRefusal(path, reader);
}

std::string ExamFileRefusal(const std::string& path, std::optional<Connection>& reader) {
    ExamFileProblem problem = Recognise(path, reader);
    if (problem == ExamFileProblem::None) problem = CheckStructure(path, *reader);
    std::string refusal = problem == ExamFileProblem::None ? HeaderFieldRefusal(path, *reader)
                                                           : ExamFileProblemMessage(problem, path);
    if (!refusal.empty()) reader.reset();
    return refusal;
}

bool ExamStructureOk(const std::string& path) {
    return CheckStructure(path) == ExamFileProblem::None;
}

int IsExamFile(const std::string& path) {
    std::optional<Connection> reader;
    return Recognise(path, reader) == ExamFileProblem::None ? 1 : 0;
}

} // namespace ia
