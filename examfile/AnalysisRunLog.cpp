// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/AnalysisRunLog.h"

#include "examfile/Engine.h"
#include "examfile/Schema.h"

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

namespace {

// FNV-1a over a value's text, with its kind, so that NULL, '' and "0"
// differ.
void Mix(uint64_t& h, const Value& v) {
    auto byte = [&h](unsigned char b) {
        h ^= b;
        h *= 1099511628211ULL;
    };
    byte(v.isNull() ? 0 : 1);
    if (v.isNull()) return;
    for (unsigned char ch : v.text())
        byte(ch);
    byte(0xff);
}

constexpr uint64_t kFnvStart = 14695981039346656037ULL;

// Every column of the first row of a table but the one named `skip`.
uint64_t RowsHash(Connection& db, const char* table, const char* skip, bool firstRowOnly) {
    Statement st = db.prepare(std::string("SELECT * FROM \"") + table + "\" ORDER BY rowid" +
                              (firstRowOnly ? " LIMIT 1" : ""));
    // The sheets are summed, one hash each, so that their order does not
    // count: sorting the grid changes no result.
    uint64_t sum = 0;
    while (st.step()) {
        uint64_t h = kFnvStart;
        for (int i = 0; i < st.columnCount(); ++i) {
            if (SameName(st.columnName(i), skip)) continue;
            Mix(h, st.column(i));
        }
        sum += h;
    }
    return sum;
}

} // namespace

std::string DataFingerprint(Connection& db) {
    using namespace schema;
    uint64_t h = kFnvStart;
    {
        Statement st = db.prepare(std::string("SELECT ") + kItemCount + ", " + kChoiceCount +
                                  " FROM " + kHeaderTable + " LIMIT 1");
        if (st.step()) {
            Mix(h, st.column(0));
            Mix(h, st.column(1));
        }
    }
    const uint64_t key = RowsHash(db, kKeyTable, kKeyTotal, true);
    const uint64_t sheets = RowsHash(db, kSheetsTable, kSheetScore, false);
    h ^= key;
    h *= 1099511628211ULL;
    h ^= sheets;
    h *= 1099511628211ULL;
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
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

void RecordResultsFingerprint(Connection& db) {
    const std::string fingerprint = DataFingerprint(db);
    RecordBasis(db, schema::kResultsFingerprint, fingerprint);
    RecordBasis(db, schema::kScoresFingerprint, fingerprint);
}

std::optional<std::string> ResultsFingerprint(Connection& db) {
    return Basis(db, schema::kResultsFingerprint);
}

void RecordScoresFingerprint(Connection& db) {
    RecordBasis(db, schema::kScoresFingerprint, DataFingerprint(db));
}

std::optional<std::string> ScoresFingerprint(Connection& db) {
    return Basis(db, schema::kScoresFingerprint);
}

} // namespace ia
