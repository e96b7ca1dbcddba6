// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/AnalysisRunLog.h"

#include "examfile/Engine.h"

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

} // namespace ia
