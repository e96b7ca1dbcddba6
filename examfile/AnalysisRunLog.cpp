// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/AnalysisRunLog.h"

#include "examfile/Engine.h"
#include "examfile/Schema.h"

#include <sqlite3.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace ia {

void RecordAnalysisRun(Connection& db, int technique) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    Transaction tx(db);
    db.exec("CREATE TABLE IF NOT EXISTS IAAnalysisRun (Technique INTEGER, RanAt TEXT)");
    db.exec("DELETE FROM IAAnalysisRun");
    db.prepare("INSERT INTO IAAnalysisRun (Technique, RanAt) VALUES (?, ?)")
        .bind(1, Value(technique))
        .bind(2, Value(std::string(when)))
        .run();
    tx.commit();
}

std::optional<AnalysisRun> LastAnalysisRun(Connection& db) {
    for (const auto& t : db.tableNames())
        if (SameName(t, "IAAnalysisRun")) {
            Statement st = db.prepare("SELECT Technique, RanAt FROM IAAnalysisRun");
            if (!st.step()) return std::nullopt;
            return AnalysisRun{static_cast<int>(st.columnInt(0)), st.column(1).text()};
        }
    return std::nullopt;
}

void RowFingerprint::add(Statement& st, int column) {
    // The value's text as Statement::column() and Value::text() give it,
    // without making either.
    sqlite3_stmt* raw = st.raw();
    switch (sqlite3_column_type(raw, column)) {
    case SQLITE_NULL:
        addNull();
        return;
    case SQLITE_INTEGER: {
        char text[24];
        const auto end =
            std::to_chars(text, text + sizeof text, sqlite3_column_int64(raw, column)).ptr;
        addText(std::string_view(text, static_cast<size_t>(end - text)));
        return;
    }
    case SQLITE_FLOAT: {
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", sqlite3_column_double(raw, column));
        addText(text);
        return;
    }
    default: {
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(raw, column));
        addText(
            std::string_view(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(raw, column))));
    }
    }
}

namespace {

// Every column of the rows of a table (of the first row only) but the one
// named `skip`.
uint64_t RowsHash(Connection& db, const char* table, const char* skip, bool firstRowOnly) {
    Statement st = db.prepare(std::string("SELECT * FROM \"") + table + "\" ORDER BY rowid" +
                              (firstRowOnly ? " LIMIT 1" : ""));
    // The sheets are summed, one hash each, so that their order does not
    // count: sorting the grid changes no result.
    uint64_t sum = 0;
    while (st.step()) {
        RowFingerprint row;
        for (int i = 0; i < st.columnCount(); ++i) {
            if (SameName(st.columnName(i), skip)) continue;
            row.add(st, i);
        }
        sum += row.value();
    }
    return sum;
}

void MixHash(uint64_t& h, uint64_t part) {
    h ^= part;
    h *= 1099511628211ULL;
}

} // namespace

std::string DataFingerprint(Connection& db) {
    using namespace schema;
    return DataFingerprint(db, RowsHash(db, kKeyTable, kKeyTotal, true),
                           RowsHash(db, kSheetsTable, kSheetScore, false));
}

std::string DataFingerprint(Connection& db, uint64_t keyRow, uint64_t sheetsSum) {
    using namespace schema;
    RowFingerprint h;
    {
        Statement st = db.prepare(std::string("SELECT ") + kItemCount + ", " + kChoiceCount +
                                  " FROM " + kHeaderTable + " LIMIT 1");
        if (st.step()) {
            h.add(st, 0);
            h.add(st, 1);
        }
    }
    uint64_t all = h.value();
    MixHash(all, keyRow);
    MixHash(all, sheetsSum);
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(all));
    return text;
}

namespace {

// Writes one column of the one row of the basis table, which is made on
// first use.
void RecordBasis(Connection& db, const char* column, const std::string& fingerprint) {
    using namespace schema;
    Transaction tx(db);
    db.exec(std::string("CREATE TABLE IF NOT EXISTS ") + kResultsBasisTable + " (" +
            kResultsFingerprint + " TEXT, " + kScoresFingerprint + " TEXT)");
    db.exec(std::string("INSERT INTO ") + kResultsBasisTable + " (" + kResultsFingerprint +
            ") SELECT NULL WHERE NOT EXISTS (SELECT 1 FROM " + kResultsBasisTable + ")");
    db.prepare(std::string("UPDATE ") + kResultsBasisTable + " SET " + column + " = ?")
        .bind(1, Value(fingerprint))
        .run();
    tx.commit();
}

std::optional<std::string> Basis(Connection& db, const char* column) {
    using namespace schema;
    for (const auto& t : db.tableNames())
        if (SameName(t, kResultsBasisTable)) {
            Statement st =
                db.prepare(std::string("SELECT ") + column + " FROM " + kResultsBasisTable);
            if (!st.step() || st.column(0).isNull()) return std::nullopt;
            return st.column(0).text();
        }
    return std::nullopt;
}

} // namespace

void RecordResultsFingerprint(Connection& db, const std::string& fingerprint) {
    RecordBasis(db, schema::kResultsFingerprint, fingerprint);
    RecordBasis(db, schema::kScoresFingerprint, fingerprint);
}

std::optional<std::string> ResultsFingerprint(Connection& db) {
    return Basis(db, schema::kResultsFingerprint);
}

void RecordScoresFingerprint(Connection& db, const std::string& fingerprint) {
    RecordBasis(db, schema::kScoresFingerprint, fingerprint);
}

std::optional<std::string> ScoresFingerprint(Connection& db) {
    return Basis(db, schema::kScoresFingerprint);
}

} // namespace ia
