// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The database engine layer: one SQLite connection per open exam file, shared
// by the data views, and record sets that keep only the rowids of their query
// (no statement stays open between two events, so a second program or a
// second window can always write).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ia {

// A field value: NULL stays distinct from the empty text.
class Value {
  public:
    Value() = default;
    Value(std::nullptr_t) {}
    Value(int v) : v_(static_cast<long long>(v)) {}
    Value(long v) : v_(static_cast<long long>(v)) {}
    Value(long long v) : v_(v) {}
    Value(double v) : v_(v) {}
    Value(std::string v) : v_(std::move(v)) {}
    Value(const char* v) : v_(std::string(v)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
    bool isText() const { return std::holds_alternative<std::string>(v_); }
    bool isInt() const { return std::holds_alternative<long long>(v_); }
    bool isReal() const { return std::holds_alternative<double>(v_); }
    // Text form: NULL gives the empty text, numbers their decimal digits.
    std::string text() const;
    // Numeric value: NULL gives 0, a text the number it begins with.
    double number() const;
    long long integer() const;
    bool operator==(const Value& o) const { return v_ == o.v_; }

  private:
    std::variant<std::monostate, long long, double, std::string> v_;
};

// Table and field names are matched without regard to case, as the engine
// itself matches them.
bool SameName(std::string_view a, std::string_view b);

// The refusal of a write into a file that was replaced or deleted after it
// was opened; its code is kFileReplacedCode.
inline constexpr const char* kFileReplacedText = "ไฟล์ถูกแทนที่หรือลบโดยโปรแกรมอื่น";
inline constexpr int kFileReplacedCode = 14 | (100 << 8); // SQLITE_CANTOPEN, our own subcode

class DbError : public std::runtime_error {
  public:
    DbError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }

  private:
    int code_;
};

// A prepared statement borrowed from the connection's cache; it is reset and
// its bindings cleared when the borrower lets go.
class Statement {
  public:
    Statement(sqlite3* db, sqlite3_stmt* st, bool* inUse) : db_(db), st_(st), inUse_(inUse) {}
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& o) noexcept : db_(o.db_), st_(o.st_), inUse_(o.inUse_) {
        o.st_ = nullptr;
    }
    ~Statement();

    Statement& bind(int index, const Value& v); // 1-based
    // Steps once; true while a row is available.
    bool step();
    void run(); // steps to completion; the statement can then run again
    int columnCount() const;
    Value column(int i) const;
    long long columnInt(int i) const;
    // The column as text without a copy, valid until the next step; no
    // value for NULL. For reading many cells quickly.
    std::optional<std::string_view> columnText(int i) const;
    std::string columnName(int i) const;
    sqlite3_stmt* raw() { return st_; }

  private:
    sqlite3* db_;
    sqlite3_stmt* st_;
    bool* inUse_; // null: not cached, finalized when let go
};

struct FieldInfo {
    std::string name;
    std::string declType; // as created: TEXT(n), TINYINT, SMALLINT, INTEGER
};

// One open database file. Several data views share one Connection.
class Connection {
  public:
    enum class Mode { ReadWrite, ReadOnly, Create };
    // Opens the file (never creates it unless mode is Create). Throws DbError.
    explicit Connection(const std::string& path, Mode mode = Mode::ReadWrite);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The shared connection for a path: every data view bound to the same
    // file gets the same connection while any of them holds it.
    static std::shared_ptr<Connection> Shared(const std::string& path);
    // Drops the registry's knowledge of a path (the file is about to be
    // deleted); holders keep their object until they let go.
    static void ForgetShared(const std::string& path);
    // Test hook: while the caller holds the returned connection, the shared
    // connection for the path is one opened read-only, as the engine sees a
    // file it may not write (tests run as a user whom file modes never stop).
    static std::shared_ptr<Connection> ShareReadOnlyForTests(const std::string& path);

    // How long a statement waits for a file that another program holds
    // before it fails as busy, in milliseconds, for connections opened from
    // now on: 3000, or ITEMANALYSIS_BUSY_WAIT_MS when set (tests shorten it
    // so that a lock costs them no real seconds).
    static void SetBusyWaitMs(int ms);
    static int BusyWaitMs();

    const std::string& path() const { return path_; }
    // Whether the name still leads to the file this connection opened; false
    // once another program has replaced or deleted it. Every write checks it
    // first and fails with kFileReplacedText, so that nothing is ever written
    // into a file that merely took the old one's name.
    bool stillTheSameFile() const;
    void requireSameFile() const;
    sqlite3* handle() { return db_; }

    void exec(const std::string& sql);
    Statement prepare(const std::string& sql);

    std::vector<std::string> tableNames();
    std::vector<FieldInfo> tableFields(const std::string& table);

    // Nested use is allowed: only the outermost level commits or rolls back.
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return depth_ > 0; }

    // A text for the user from an SQLite failure (constraint names of the
    // exam file schema are turned into Thai).
    static std::string ErrorText(int rc, const std::string& engineMessage);
    // Rethrows an engine failure with its text for the user.
    [[noreturn]] static void Fail(const DbError& e);

  private:
    std::string path_;
    sqlite3* db_ = nullptr;
    mutable unsigned long long device_ = 0, inode_ = 0;
    bool protectedFromOutput_ = false; // registered with ProtectFromOutput
    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        std::unique_ptr<bool> inUse;
    };
    std::map<std::string, Cached> cache_;
    int depth_ = 0;
    bool rollbackOnly_ = false;
};

// All-or-nothing scope on a connection: commits only when commit() is called,
// rolls back otherwise (exceptions included).
class Transaction {
  public:
    explicit Transaction(Connection& c) : c_(c) { c_.begin(); }
    ~Transaction();
    void commit();

  private:
    Connection& c_;
    bool done_ = false;
};

// One read transaction: every statement on the connection until it ends
// sees the same committed state of the file, whatever another program
// writes meanwhile. Nothing more when a transaction is open already (that
// one gives a single state itself). Nothing may be written inside it.
class ReadSnapshot {
  public:
    explicit ReadSnapshot(Connection& c);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

  private:
    Connection& c_;
    bool began_ = false;
};

// A record set over a table, or over "select * from T [order by ...]".
// It keeps the rowids of its query, taken at every re-read, and reads or
// writes one row at a time by rowid.
class RecordSet {
  public:
    RecordSet(std::shared_ptr<Connection> conn, const std::string& source);

    void requery();
    const std::string& table() const { return table_; }
    const std::vector<FieldInfo>& fields() const { return fields_; }
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    // Position of a field, its name matched without regard to case; -1 if none.
    int fieldIndex(std::string_view name) const;

    int recordCount() const { return static_cast<int>(rowids_.size()); }
    bool eof() const { return pos_ >= recordCount(); }
    bool bof() const { return pos_ < 0; }
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    void moveTo(int position);
    // Zero-based position of the current record; -1 with no current record
    // (an empty set, past the end, or on the new-record row).
    int absolutePosition() const;
    bool onNewRecord() const { return mode_ == EditMode::Add; }

    // Field values of the current record (or of the edit buffer while editing).
    Value field(int index) const;
    Value field(std::string_view name) const;
    void setField(int index, const Value& v);
    void setField(std::string_view name, const Value& v);

    // Values of the record at a position, without moving the current record.
    std::vector<Value> rowAt(int position) const;
    long long rowidAt(int position) const { return rowids_.at(position); }

    void addNew();
    void edit();
    void update();
    void cancelUpdate();
    void deleteCurrent();
    bool editing() const { return mode_ != EditMode::None; }

    // Bookmark of the current record, of the last added or changed record,
    // and moving to a bookmark.
    long long bookmark() const;
    std::optional<long long> lastModified() const { return lastModified_; }
    void setBookmark(long long bm);

    Connection& connection() { return *conn_; }
    std::shared_ptr<Connection> sharedConnection() { return conn_; }

  private:
    enum class EditMode { None, Edit, Add };
    void loadCurrent() const;
    int checkedIndex(std::string_view name) const;

    std::shared_ptr<Connection> conn_;
    std::string table_;
    std::string orderBy_;
    std::vector<FieldInfo> fields_;
    std::vector<long long> rowids_;
    int pos_ = 0;
    bool afterDelete_ = false;
    EditMode mode_ = EditMode::None;
    std::vector<Value> buffer_;
    std::vector<bool> dirty_;
    mutable std::vector<Value> current_;
    mutable long long currentRowid_ = -1;
    std::optional<long long> lastModified_;
};

// Splits a record source into table and ordering. Accepts a bare table name
// or "select * from T [order by X]" (case-insensitive). Throws DbError.
struct ParsedSource {
    std::string table;
    std::string orderBy;
};
ParsedSource ParseRecordSource(const std::string& source);

} // namespace ia
