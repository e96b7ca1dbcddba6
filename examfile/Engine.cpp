// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/Engine.h"

#include "examfile/OutputFile.h"
#include "examfile/Schema.h"
#include "examfile/Val.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <regex>

namespace ia {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// ---------------------------------------------------------------- Value

std::string Value::text() const {
    if (auto s = std::get_if<std::string>(&v_)) return *s;
    if (auto i = std::get_if<long long>(&v_)) return std::to_string(*i);
    if (auto d = std::get_if<double>(&v_)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return buf;
    }
    return {};
}

double Value::number() const {
    if (auto s = std::get_if<std::string>(&v_)) return Val(*s);
    if (auto i = std::get_if<long long>(&v_)) return static_cast<double>(*i);
    if (auto d = std::get_if<double>(&v_)) return *d;
    return 0.0;
}

long long Value::integer() const {
    if (auto i = std::get_if<long long>(&v_)) return *i;
    return RoundHalfEven(number());
}

// ---------------------------------------------------------------- Statement

Statement::~Statement() {
    if (!st_) return;
    if (inUse_) {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        *inUse_ = false;
    } else {
        sqlite3_finalize(st_);
    }
}

Statement& Statement::bind(int index, const Value& v) {
    int rc;
    if (v.isNull())
        rc = sqlite3_bind_null(st_, index);
    else if (v.isInt())
        rc = sqlite3_bind_int64(st_, index, v.integer());
    else if (v.isReal())
        rc = sqlite3_bind_double(st_, index, v.number());
    else {
        std::string t = v.text();
        rc = sqlite3_bind_text(st_, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) throw DbError(rc, Connection::ErrorText(rc, sqlite3_errmsg(db_)));
    return *this;
}

bool Statement::step() {
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    std::string msg = sqlite3_errmsg(db_);
    int ext = sqlite3_extended_errcode(db_);
    sqlite3_reset(st_);
    int code = ext ? ext : rc;
    throw DbError(code, Connection::ErrorText(code, msg));
}

void Statement::run() {
    while (step()) {}
    sqlite3_reset(st_); // ready to run again with new bindings
}

int Statement::columnCount() const {
    return sqlite3_column_count(st_);
}

Value Statement::column(int i) const {
    switch (sqlite3_column_type(st_, i)) {
    case SQLITE_NULL:
        return Value();
    case SQLITE_INTEGER:
        return Value(static_cast<long long>(sqlite3_column_int64(st_, i)));
    case SQLITE_FLOAT:
        return Value(sqlite3_column_double(st_, i));
    default: {
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
        int n = sqlite3_column_bytes(st_, i);
        return Value(std::string(p ? p : "", static_cast<size_t>(n)));
    }
    }
}

long long Statement::columnInt(int i) const {
    return sqlite3_column_int64(st_, i);
}

std::optional<std::string_view> Statement::columnText(int i) const {
    if (sqlite3_column_type(st_, i) == SQLITE_NULL) return std::nullopt;
    auto p = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
    int n = sqlite3_column_bytes(st_, i);
    return std::string_view(p ? p : "", static_cast<size_t>(n));
}

std::string Statement::columnName(int i) const {
    const char* n = sqlite3_column_name(st_, i);
    return n ? n : "";
}

// ---------------------------------------------------------------- Connection

namespace {

// SQL function val(x): the number with which a text begins.
void SqlVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        sqlite3_result_double(ctx, 0.0);
        return;
    case SQLITE_INTEGER:
        sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
        return;
    case SQLITE_FLOAT:
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
        return;
    default: {
        auto p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        int n = sqlite3_value_bytes(argv[0]);
        sqlite3_result_double(ctx, Val(std::string_view(p ? p : "", static_cast<size_t>(n))));
    }
    }
}

std::mutex g_registryMutex;
std::map<std::string, std::weak_ptr<Connection>>& Registry() {
    static std::map<std::string, std::weak_ptr<Connection>> r;
    return r;
}

std::string Quote(const std::string& ident) {
    std::string q = "\"";
    for (char c : ident) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

} // namespace

namespace {

int InitialBusyWaitMs() {
    if (const char* env = std::getenv("ITEMANALYSIS_BUSY_WAIT_MS")) {
        char* end = nullptr;
        long ms = std::strtol(env, &end, 10);
        if (end != env && *end == '\0' && ms >= 0 && ms <= 600000) return static_cast<int>(ms);
    }
    return 3000;
}

std::atomic<int> g_busyWaitMs{InitialBusyWaitMs()};

// Why the engine could not open a file, from the system's error number.
std::string OpenFailureReason(int sysErr, const std::string& engineMessage) {
    switch (sysErr) {
    case ENAMETOOLONG:
        return "ชื่อไฟล์ยาวเกินกว่าที่ระบบไฟล์รองรับ";
    case ENOENT:
    case ENOTDIR:
        return "ไม่พบไฟล์หรือโฟลเดอร์";
    case EACCES:
    case EPERM:
        return "ไม่มีสิทธิ์เปิดไฟล์";
    case EROFS:
        return "ไฟล์อยู่บนสื่อที่อ่านได้อย่างเดียว";
    case EISDIR:
        return "เป็นโฟลเดอร์ ไม่ใช่ไฟล์";
    default:
        return "ระบบไม่ยอมให้เปิดไฟล์ : " + engineMessage;
    }
}

} // namespace

void Connection::SetBusyWaitMs(int ms) {
    g_busyWaitMs = ms < 0 ? 0 : ms;
}

int Connection::BusyWaitMs() {
    return g_busyWaitMs;
}

Connection::Connection(const std::string& path, Mode mode) : path_(path) {
    int flags = SQLITE_OPEN_NOMUTEX;
    if (mode == Mode::ReadOnly)
        flags |= SQLITE_OPEN_READONLY;
    else if (mode == Mode::Create)
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    else
        flags |= SQLITE_OPEN_READWRITE;
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : "cannot open";
        const int sysErr = db_ ? sqlite3_system_errno(db_) : 0;
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw DbError(rc, "เปิดไฟล์ไม่ได้ : " + path + " (" + OpenFailureReason(sysErr, msg) + ")");
    }
    sqlite3_extended_result_codes(db_, 1);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
        ProtectFromOutput(device_, inode_);
        protectedFromOutput_ = true;
    }
    // An exam file is data, never code: no writes to the schema tables, no
    // functions with side effects from a schema someone else wrote, no
    // loadable extensions.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_busy_timeout(db_, BusyWaitMs());
    sqlite3_create_function_v2(db_, "val", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, SqlVal,
                               nullptr, nullptr, nullptr);
}

Connection::~Connection() {
    if (protectedFromOutput_) UnprotectFromOutput(device_, inode_);
    for (auto& [sql, c] : cache_)
        sqlite3_finalize(c.stmt);
    if (db_) {
        if (depth_ > 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
    }
}

std::shared_ptr<Connection> Connection::Shared(const std::string& path) {
    std::lock_guard lock(g_registryMutex);
    auto& reg = Registry();
    if (auto it = reg.find(path); it != reg.end()) {
        if (auto c = it->second.lock()) return c;
    }
    auto c = std::make_shared<Connection>(path);
    // A file of ours is always in rollback-journal mode: the .ans stays one
    // complete file that can be copied while the program runs.
    try {
        auto st = c->prepare("PRAGMA journal_mode");
        std::string jm = st.step() ? st.column(0).text() : "";
        if (jm == "wal") c->exec("PRAGMA journal_mode=DELETE");
    } catch (const DbError&) {
        // Not a database, locked, or read-only: the caller meets the error
        // at its first real read.
    }
    reg[path] = c;
    return c;
}

std::shared_ptr<Connection> Connection::ShareReadOnlyForTests(const std::string& path) {
    std::lock_guard lock(g_registryMutex);
    auto c = std::make_shared<Connection>(path, Mode::ReadOnly);
    Registry()[path] = c;
    return c;
}

void Connection::ForgetShared(const std::string& path) {
    std::lock_guard lock(g_registryMutex);
    Registry().erase(path);
}

void Connection::exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db_);
        sqlite3_free(err);
        const int code = sqlite3_extended_errcode(db_);
        throw DbError(code, ErrorText(code, msg));
    }
}

Statement Connection::prepare(const std::string& sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end() && !*it->second.inUse) {
        *it->second.inUse = true;
        return Statement(db_, it->second.stmt, it->second.inUse.get());
    }
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db_);
        sqlite3_finalize(st);
        const int code = sqlite3_extended_errcode(db_);
        throw DbError(code, ErrorText(code, msg));
    }
    if (it == cache_.end() && cache_.size() < 256) {
        Cached c;
        c.stmt = st;
        c.inUse = std::make_unique<bool>(true);
        bool* flag = c.inUse.get();
        cache_.emplace(sql, std::move(c));
        return Statement(db_, st, flag);
    }
    return Statement(db_, st, nullptr);
}

std::vector<std::string> Connection::tableNames() {
    std::vector<std::string> names;
    auto st = prepare("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid");
    while (st.step())
        names.push_back(st.column(0).text());
    return names;
}

std::vector<FieldInfo> Connection::tableFields(const std::string& table) {
    std::vector<FieldInfo> f;
    auto st = prepare("SELECT name, type FROM pragma_table_info(?) ORDER BY cid");
    st.bind(1, table);
    while (st.step())
        f.push_back({st.column(0).text(), st.column(1).text()});
    return f;
}

bool Connection::stillTheSameFile() const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return false;
    if (device_ == 0 && inode_ == 0) {
        // The engine made the file only on first use: this is its identity.
        device_ = st.st_dev;
        inode_ = st.st_ino;
    }
    return st.st_dev == device_ && st.st_ino == inode_;
}

void Connection::requireSameFile() const {
    if (!stillTheSameFile()) throw DbError(kFileReplacedCode, kFileReplacedText);
}

ReadSnapshot::ReadSnapshot(Connection& c) : c_(c) {
    if (!sqlite3_get_autocommit(c_.handle())) return;
    c_.exec("BEGIN DEFERRED");
    began_ = true;
}

ReadSnapshot::~ReadSnapshot() {
    if (began_ && !sqlite3_get_autocommit(c_.handle()))
        sqlite3_exec(c_.handle(), "COMMIT", nullptr, nullptr, nullptr);
}

void Connection::begin() {
    if (depth_ == 0) {
        requireSameFile();
        exec("BEGIN IMMEDIATE");
        rollbackOnly_ = false;
    }
    ++depth_;
}

void Connection::commit() {
    if (depth_ == 0) return;
    if (--depth_ > 0) return;
    if (rollbackOnly_) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw DbError(SQLITE_ABORT, "ยกเลิกการบันทึกทั้งหมด");
    }
    try {
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void Connection::rollback() {
    if (depth_ == 0) return;
    if (--depth_ > 0) {
        rollbackOnly_ = true;
        return;
    }
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

std::string Connection::ErrorText(int rc, const std::string& msg) {
    // The engine's own words follow in parentheses where they add something
    // a support request needs; the sentence the teacher reads is Thai.
    auto withDetail = [&](const std::string& thai) {
        return msg.empty() || msg == thai ? thai : thai + " (" + msg + ")";
    };
    // Texts that are Thai already (ours, or a constraint named by ours)
    // pass unchanged.
    auto isThai = [&] { return msg.find("\xe0\xb8") != std::string::npos; };
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT: {
        // The exam file's own constraints, named and worded by its schema.
        std::string t = schema::ConstraintMessage(msg);
        if (!t.empty()) return t;
        if (isThai()) return msg;
        if ((rc & 0xffff) == SQLITE_CONSTRAINT_UNIQUE ||
            (rc & 0xffff) == SQLITE_CONSTRAINT_PRIMARYKEY)
            return withDetail("ข้อมูลซ้ำกับที่มีอยู่แล้วในไฟล์");
        if ((rc & 0xffff) == SQLITE_CONSTRAINT_TRIGGER)
            return withDetail("ไฟล์มีคำสั่งแฝงที่ปฏิเสธการบันทึก");
        return withDetail("ข้อมูลขัดกับเงื่อนไขของไฟล์");
    }
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น กรุณาลองใหม่";
    case SQLITE_READONLY:
        return "ไฟล์เป็นแบบอ่านอย่างเดียว บันทึกไม่ได้";
    case SQLITE_FULL:
        return "พื้นที่ดิสก์เต็ม บันทึกไม่ได้";
    case SQLITE_IOERR:
        return "อ่านหรือเขียนไฟล์ไม่ได้";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return "ไฟล์เสียหาย หรือไม่ใช่ไฟล์ข้อมูล";
    default:
        break;
    }
    if (isThai()) return msg;
    switch (rc & 0xff) {
    case SQLITE_CANTOPEN:
        return withDetail("เปิดไฟล์ไม่ได้ (ไม่พบไฟล์ หรือชื่อไฟล์ยาวเกินไป)");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return withDetail("ไม่มีสิทธิ์ใช้ไฟล์นี้");
    case SQLITE_NOMEM:
        return withDetail("หน่วยความจำไม่พอ");
    case SQLITE_INTERRUPT:
    case SQLITE_ABORT:
        return withDetail("การทำงานถูกยกเลิก ไม่ได้บันทึก");
    case SQLITE_PROTOCOL:
    case SQLITE_NOLFS:
        return withDetail("ระบบไฟล์ไม่รองรับการใช้ไฟล์นี้");
    case SQLITE_TOOBIG:
        return withDetail("ข้อมูลใหญ่เกินไป");
    case SQLITE_SCHEMA:
    case SQLITE_ERROR:
    case SQLITE_MISMATCH:
        return withDetail("โครงสร้างไฟล์ไม่ถูกต้อง");
    case SQLITE_RANGE:
    case SQLITE_MISUSE:
    case SQLITE_FORMAT:
    case SQLITE_NOTFOUND:
    case SQLITE_INTERNAL:
    case SQLITE_EMPTY:
    default:
        return withDetail("เกิดข้อผิดพลาดภายในโปรแกรม");
    }
}

void Connection::Fail(const DbError& e) {
    throw DbError(e.code(), ErrorText(e.code(), e.what()));
}

Transaction::~Transaction() {
    if (!done_) {
        try {
            c_.rollback();
        } catch (...) {}
    }
}

void Transaction::commit() {
    done_ = true;
    c_.commit();
}

// ---------------------------------------------------------------- RecordSet

ParsedSource ParseRecordSource(const std::string& source) {
    static const std::regex bare(R"(^\s*(\w+)\s*$)");
    static const std::regex sel(
        R"(^\s*select\s+\*\s+from\s+(\w+)(?:\s+order\s+by\s+(.+?))?\s*;?\s*$)", std::regex::icase);
    std::smatch m;
    if (std::regex_match(source, m, bare)) return {m[1], ""};
    if (std::regex_match(source, m, sel)) return {m[1], m[2].matched ? std::string(m[2]) : ""};
    throw DbError(SQLITE_ERROR, "แหล่งข้อมูลไม่ถูกต้อง: " + source);
}

RecordSet::RecordSet(std::shared_ptr<Connection> conn, const std::string& source)
    : conn_(std::move(conn)) {
    ParsedSource p = ParseRecordSource(source);
    orderBy_ = p.orderBy;
    // The table's own spelling, so that SQL built here names it exactly.
    table_ = p.table;
    for (const auto& t : conn_->tableNames()) {
        if (SameName(t, table_)) {
            table_ = t;
            break;
        }
    }
    fields_ = conn_->tableFields(table_);
    if (fields_.empty()) throw DbError(SQLITE_ERROR, "ไม่พบตาราง " + p.table);
    requery();
}

void RecordSet::requery() {
    std::string sql = "SELECT rowid FROM " + Quote(table_);
    // rowid last: ties fall in insertion order, the same on every run.
    if (!orderBy_.empty()) sql += " ORDER BY " + orderBy_ + ", rowid";
    std::vector<long long> ids;
    {
        auto st = conn_->prepare(sql);
        sqlite3_stmt* raw = st.raw();
        while (st.step())
            ids.push_back(sqlite3_column_int64(raw, 0));
    }
    // In table order the engine may read the row ids from an index, much
    // smaller than the table of a million sheets; they are put in order here.
    if (orderBy_.empty() && !std::is_sorted(ids.begin(), ids.end()))
        std::sort(ids.begin(), ids.end());
    rowids_ = std::move(ids);
    pos_ = 0;
    afterDelete_ = false;
    mode_ = EditMode::None;
    currentRowid_ = -1;
}

int RecordSet::fieldIndex(std::string_view name) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (SameName(fields_[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

int RecordSet::checkedIndex(std::string_view name) const {
    int i = fieldIndex(name);
    if (i < 0) throw DbError(SQLITE_ERROR, "ไม่พบช่องข้อมูล " + std::string(name));
    return i;
}

void RecordSet::moveFirst() {
    mode_ = EditMode::None;
    afterDelete_ = false;
    pos_ = 0;
}

void RecordSet::moveNext() {
    mode_ = EditMode::None;
    if (afterDelete_) {
        afterDelete_ = false;
        return;
    }
    if (pos_ < recordCount()) ++pos_;
}

void RecordSet::movePrevious() {
    mode_ = EditMode::None;
    afterDelete_ = false;
    if (pos_ >= 0) --pos_;
}

void RecordSet::moveLast() {
    mode_ = EditMode::None;
    afterDelete_ = false;
    pos_ = recordCount() > 0 ? recordCount() - 1 : 0;
}

void RecordSet::moveTo(int position) {
    mode_ = EditMode::None;
    afterDelete_ = false;
    pos_ = std::clamp(position, 0, recordCount());
}

int RecordSet::absolutePosition() const {
    if (mode_ == EditMode::Add || afterDelete_ || pos_ < 0 || pos_ >= recordCount()) return -1;
    return pos_;
}

void RecordSet::loadCurrent() const {
    if (pos_ < 0 || pos_ >= recordCount() || afterDelete_)
        throw DbError(SQLITE_ERROR, "ไม่มีระเบียนปัจจุบัน");
    long long id = rowids_[pos_];
    if (id == currentRowid_) return;
    current_ = rowAt(pos_);
    currentRowid_ = id;
}

std::vector<Value> RecordSet::rowAt(int position) const {
    std::vector<Value> row(fields_.size());
    auto st = conn_->prepare("SELECT * FROM " + Quote(table_) + " WHERE rowid=?");
    st.bind(1, rowids_.at(position));
    if (st.step()) {
        int n = std::min(st.columnCount(), static_cast<int>(row.size()));
        for (int i = 0; i < n; ++i)
            row[i] = st.column(i);
    }
    return row;
}

Value RecordSet::field(int index) const {
    if (index < 0 || index >= fieldCount())
        throw DbError(SQLITE_RANGE, "ไม่พบช่องข้อมูลลำดับที่ " + std::to_string(index));
    if (mode_ != EditMode::None) return buffer_[index];
    loadCurrent();
    return current_[index];
}

Value RecordSet::field(std::string_view name) const {
    return field(checkedIndex(name));
}

void RecordSet::setField(int index, const Value& v) {
    if (mode_ == EditMode::None) throw DbError(SQLITE_MISUSE, "ระเบียนไม่ได้อยู่ในโหมดแก้ไข");
    if (index < 0 || index >= fieldCount())
        throw DbError(SQLITE_RANGE, "ไม่พบช่องข้อมูลลำดับที่ " + std::to_string(index));
    buffer_[index] = v;
    dirty_[index] = true;
}

void RecordSet::setField(std::string_view name, const Value& v) {
    setField(checkedIndex(name), v);
}

void RecordSet::addNew() {
    mode_ = EditMode::Add;
    buffer_.assign(fields_.size(), Value());
    dirty_.assign(fields_.size(), false);
}

void RecordSet::edit() {
    loadCurrent();
    buffer_ = current_;
    dirty_.assign(fields_.size(), false);
    mode_ = EditMode::Edit;
}

void RecordSet::cancelUpdate() {
    mode_ = EditMode::None;
}

void RecordSet::update() {
    if (mode_ == EditMode::None) throw DbError(SQLITE_MISUSE, "ระเบียนไม่ได้อยู่ในโหมดแก้ไข");
    std::vector<int> cols;
    for (size_t i = 0; i < dirty_.size(); ++i)
        if (dirty_[i]) cols.push_back(static_cast<int>(i));
    try {
        conn_->requireSameFile();
        if (mode_ == EditMode::Add) {
            std::string sql = "INSERT INTO " + Quote(table_);
            if (cols.empty()) {
                sql += " DEFAULT VALUES";
            } else {
                std::string names, marks;
                for (size_t k = 0; k < cols.size(); ++k) {
                    if (k) names += ",", marks += ",";
                    names += Quote(fields_[cols[k]].name);
                    marks += "?";
                }
                sql += " (" + names + ") VALUES (" + marks + ")";
            }
            auto st = conn_->prepare(sql);
            for (size_t k = 0; k < cols.size(); ++k)
                st.bind(static_cast<int>(k + 1), buffer_[cols[k]]);
            st.run();
            long long id = sqlite3_last_insert_rowid(conn_->handle());
            rowids_.push_back(id);
            lastModified_ = id;
        } else {
            long long id = rowids_.at(pos_);
            if (!cols.empty()) {
                std::string sql = "UPDATE " + Quote(table_) + " SET ";
                for (size_t k = 0; k < cols.size(); ++k) {
                    if (k) sql += ",";
                    sql += Quote(fields_[cols[k]].name) + "=?";
                }
                sql += " WHERE rowid=?";
                auto st = conn_->prepare(sql);
                for (size_t k = 0; k < cols.size(); ++k)
                    st.bind(static_cast<int>(k + 1), buffer_[cols[k]]);
                st.bind(static_cast<int>(cols.size() + 1), id);
                st.run();
            }
            lastModified_ = id;
            currentRowid_ = -1;
        }
    } catch (const DbError& e) {
        Connection::Fail(e);
    }
    mode_ = EditMode::None;
}

void RecordSet::deleteCurrent() {
    if (pos_ < 0 || pos_ >= recordCount() || afterDelete_)
        throw DbError(SQLITE_ERROR, "ไม่มีระเบียนปัจจุบัน");
    long long id = rowids_[pos_];
    try {
        conn_->requireSameFile();
        auto st = conn_->prepare("DELETE FROM " + Quote(table_) + " WHERE rowid=?");
        st.bind(1, id);
        st.run();
    } catch (const DbError& e) {
        Connection::Fail(e);
    }
    rowids_.erase(rowids_.begin() + pos_);
    afterDelete_ = true;
    mode_ = EditMode::None;
    currentRowid_ = -1;
}

long long RecordSet::bookmark() const {
    if (pos_ < 0 || pos_ >= recordCount() || afterDelete_)
        throw DbError(SQLITE_ERROR, "ไม่มีระเบียนปัจจุบัน");
    return rowids_[pos_];
}

void RecordSet::setBookmark(long long bm) {
    auto it = std::find(rowids_.begin(), rowids_.end(), bm);
    if (it == rowids_.end()) throw DbError(SQLITE_NOTFOUND, "ไม่พบระเบียนที่ระบุ");
    mode_ = EditMode::None;
    afterDelete_ = false;
    pos_ = static_cast<int>(it - rowids_.begin());
}

} // namespace ia
