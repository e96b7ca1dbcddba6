// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/ScanStore.h"

#include "examfile/Engine.h"
#include "examfile/Schema.h"

#include <optional>
#include <random>
#include <string_view>

namespace ia::scan {

namespace sc = ia::schema;

namespace {

std::string Text(const Statement& st, int column) {
    const std::optional<std::string_view> text = st.columnText(column);
    return text ? std::string(*text) : std::string();
}

bool HasTable(Connection& db, const char* name) {
    for (const std::string& t : db.tableNames())
        if (t == name) return true;
    return false;
}

void MakePageTable(Connection& db) {
    db.exec(std::string("CREATE TABLE IF NOT EXISTS ") + sc::kScanPageTable + " (" +
            sc::kScanSheetRow + " INTEGER, " + sc::kScanSourcePath + " TEXT, " +
            sc::kScanSourcePage + " INTEGER, " + sc::kScanSheetPage + " INTEGER, " + sc::kScanCopy +
            " INTEGER, " + sc::kScanIsKey + " INTEGER, " + sc::kScanCode + " TEXT, " +
            sc::kScanFirstItem + " INTEGER, " + sc::kScanDarkness + " TEXT, " +
            sc::kScanCodeDarkness + " TEXT, " + sc::kScanDecisions + " TEXT)");
}

} // namespace

std::optional<std::string> ReadExamId(Connection& db) {
    if (!HasTable(db, sc::kScanExamTable)) return std::nullopt;
    Statement st = db.prepare(std::string("SELECT ") + sc::kScanExamId + " FROM " +
                              sc::kScanExamTable + " LIMIT 1");
    if (!st.step()) return std::nullopt;
    const std::string id = Text(st, 0);
    if (id.empty()) return std::nullopt;
    return id;
}

std::string ExamIdMadeOnFirstUse(Connection& db) {
    if (auto id = ReadExamId(db)) return *id;
    std::random_device random;
    std::string id;
    static const char* const hex = "0123456789abcdef";
    for (int i = 0; i < 16; ++i)
        id += hex[random() % 16];
    Transaction tx(db);
    db.exec(std::string("CREATE TABLE IF NOT EXISTS ") + sc::kScanExamTable + " (" +
            sc::kScanExamId + " TEXT)");
    Statement st = db.prepare(std::string("INSERT INTO ") + sc::kScanExamTable + " (" +
                              sc::kScanExamId + ") VALUES (?)");
    st.bind(1, Value(id));
    st.run();
    tx.commit();
    return id;
}

void KeepPages(Connection& db, const std::vector<KeptPage>& pages) {
    if (pages.empty()) return;
    MakePageTable(db);
    Statement st = db.prepare(std::string("INSERT INTO ") + sc::kScanPageTable +
                              " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const KeptPage& k : pages) {
        const ReadPage& p = k.page;
        st.bind(1, Value(static_cast<long long>(k.sheetRow)));
        st.bind(2, Value(p.source.path));
        st.bind(3, Value(static_cast<long long>(p.source.page)));
        st.bind(4, Value(static_cast<long long>(p.identity.page)));
        st.bind(5, Value(static_cast<long long>(p.identity.copy)));
        st.bind(6, Value(static_cast<long long>(p.identity.key ? 1 : 0)));
        st.bind(7, Value(p.identity.code));
        st.bind(8, Value(static_cast<long long>(p.firstItem)));
        st.bind(9, Value(DarknessRowsText(p.items)));
        st.bind(10, Value(DarknessRowsText(p.code)));
        st.bind(11, Value(DecisionsText(k.decisions)));
        st.run();
    }
}

std::vector<KeptPage> ReadKeptPages(Connection& db) {
    std::vector<KeptPage> pages;
    if (!HasTable(db, sc::kScanPageTable)) return pages;
    Statement st =
        db.prepare(std::string("SELECT * FROM ") + sc::kScanPageTable + " ORDER BY rowid");
    while (st.step()) {
        KeptPage k;
        k.sheetRow = st.columnInt(0);
        k.page.source = {Text(st, 1), static_cast<int>(st.columnInt(2))};
        k.page.identity.page = static_cast<int>(st.columnInt(3));
        k.page.identity.copy = static_cast<int>(st.columnInt(4));
        k.page.identity.key = st.columnInt(5) != 0;
        k.page.identity.code = Text(st, 6);
        k.page.firstItem = static_cast<int>(st.columnInt(7));
        k.page.items = ParseDarknessRows(Text(st, 8));
        k.page.code = ParseDarknessRows(Text(st, 9));
        k.decisions = ParseDecisionsText(Text(st, 10));
        std::vector<float> all;
        for (const auto& rows : {k.page.items, k.page.code})
            for (const auto& row : rows)
                all.insert(all.end(), row.begin(), row.end());
        k.page.levels = EstimateLevels(all);
        pages.push_back(std::move(k));
    }
    return pages;
}

void UpdateKeptDecisions(Connection& db, long long sheetRow, bool key,
                         const std::map<int, std::string>& decisions) {
    Statement st =
        db.prepare(std::string("UPDATE ") + sc::kScanPageTable + " SET " + sc::kScanDecisions +
                   " = ? WHERE " + sc::kScanSheetRow + " = ? AND " + sc::kScanIsKey + " = ?");
    st.bind(1, Value(DecisionsText(decisions)));
    st.bind(2, Value(static_cast<long long>(sheetRow)));
    st.bind(3, Value(static_cast<long long>(key ? 1 : 0)));
    st.run();
}

} // namespace ia::scan
