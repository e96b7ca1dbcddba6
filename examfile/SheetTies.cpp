// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/SheetTies.h"

#include "examfile/Engine.h"
#include "examfile/Schema.h"

#include <algorithm>
#include <vector>

namespace ia {

namespace {

std::vector<std::string> TiedTablesOf(Connection& db) {
    const std::vector<std::string> present = db.tableNames();
    std::vector<std::string> out;
    for (const std::string& t : schema::SheetTiedTables())
        if (std::find(present.begin(), present.end(), t) != present.end()) out.push_back(t);
    return out;
}

bool HasNameTable(Connection& db) {
    const std::vector<std::string> present = db.tableNames();
    return std::find(present.begin(), present.end(), schema::kSheetNameTable) != present.end();
}

} // namespace

std::map<long long, std::string> LoadSheetNames(Connection& db) {
    std::map<long long, std::string> out;
    if (!HasNameTable(db)) return out;
    Statement st = db.prepare(std::string("SELECT ") + schema::kNameSheetRowid + ", " +
                              schema::kSheetName + " FROM " + schema::kSheetNameTable);
    while (st.step())
        if (auto name = st.columnText(1)) out.emplace(st.columnInt(0), std::string(*name));
    return out;
}

bool HasSheetNames(Connection& db) {
    if (!HasNameTable(db)) return false;
    Statement st = db.prepare(std::string("SELECT 1 FROM ") + schema::kSheetNameTable + " LIMIT 1");
    return st.step();
}

void RemoveTiedRows(Connection& db, long long rowid) {
    for (const std::string& t : TiedTablesOf(db))
        db.prepare("DELETE FROM " + t + " WHERE " + schema::kNameSheetRowid + " = ?")
            .bind(1, Value(rowid))
            .run();
}

void RemoveOrphanedTiedRows(Connection& db) {
    for (const std::string& t : TiedTablesOf(db))
        db.exec("DELETE FROM " + t + " WHERE " + schema::kNameSheetRowid +
                " NOT IN (SELECT rowid FROM " + schema::kSheetsTable + ")");
}

} // namespace ia
