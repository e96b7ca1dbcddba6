// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/EditHistory.h"

#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "examfile/SheetTies.h"

#include <sqlite3.h>

#include <algorithm>
#include <vector>

namespace ia {

namespace {

const std::string kLog = schema::kUndoLogTable;
const std::string kState = schema::kUndoStateTable;
// Orphans: changes recorded before a swap without a step of their own. They
// are kept apart so that no swap mixes them into another step.
constexpr long long kOrphanStep = 0;

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// A piece of SQL text inside the trigger's string literal.
std::string Literal(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return "'" + out + "'";
}

std::string TriggerName(const std::string& table, const char* event) {
    return std::string("itemanalysis_undo_") + table + "_" + event;
}

// The three triggers of a table: each records the statement that turns the
// change back. An update records the columns that are not computed
// (`computed`: the score the totalling writes), so that turning an answer back
// leaves the last totalling's score as it is.
void InstallTriggers(Connection& db, const std::string& table, const std::string& computed) {
    std::vector<std::string> columns, kept;
    for (const FieldInfo& f : db.tableFields(table)) {
        columns.push_back(f.name);
        if (f.name != computed) kept.push_back(f.name);
    }
    const std::string when = " WHEN (SELECT paused FROM " + kState + ") = 0";
    const std::string record = "INSERT INTO " + kLog + " (statement) VALUES (";

    std::string restoreRow = Literal("INSERT INTO " + Quoted(table) + " (rowid");
    for (const std::string& c : columns)
        restoreRow += "||" + Literal("," + Quoted(c));
    restoreRow += "||" + Literal(") VALUES (") + "||old.rowid";
    for (const std::string& c : columns)
        restoreRow += "||','||quote(old." + Quoted(c) + ")";
    restoreRow += "||')'";

    std::string restoreValues = Literal("UPDATE " + Quoted(table) + " SET ");
    std::string updatedColumns;
    // A write of the value already stored (a header field left unchanged)
    // is no change.
    std::string changed;
    for (size_t i = 0; i < kept.size(); ++i) {
        restoreValues += "||" + Literal((i ? "," : "") + Quoted(kept[i]) + "=") + "||quote(old." +
                         Quoted(kept[i]) + ")";
        updatedColumns += (i ? "," : "") + Quoted(kept[i]);
        changed += std::string(i ? " OR " : "") + "old." + Quoted(kept[i]) + " IS NOT new." +
                   Quoted(kept[i]);
    }
    restoreValues += "||" + Literal(" WHERE rowid=") + "||old.rowid";

    for (const char* event : {"insert", "update", "delete"})
        db.exec("DROP TRIGGER IF EXISTS temp." + TriggerName(table, event));
    db.exec("CREATE TEMP TRIGGER " + TriggerName(table, "insert") + " AFTER INSERT ON " +
            Quoted(table) + when + " BEGIN " + record +
            Literal("DELETE FROM " + Quoted(table) + " WHERE rowid=") + "||new.rowid); END");
    db.exec("CREATE TEMP TRIGGER " + TriggerName(table, "delete") + " AFTER DELETE ON " +
            Quoted(table) + when + " BEGIN " + record + restoreRow + "); END");
    if (!kept.empty())
        db.exec("CREATE TEMP TRIGGER " + TriggerName(table, "update") + " AFTER UPDATE OF " +
                updatedColumns + " ON " + Quoted(table) + when + " AND (" + changed + ") BEGIN " +
                record + restoreValues + "); END");
}

} // namespace

bool EditHistory::attach(const std::shared_ptr<Connection>& db) {
    detach();
    if (!db) return false;
    try {
        db->exec("CREATE TEMP TABLE IF NOT EXISTS " + kLog +
                 " (seq INTEGER PRIMARY KEY, step INTEGER, statement TEXT NOT NULL)");
        db->exec("CREATE TEMP TABLE IF NOT EXISTS " + kState + " (paused INTEGER NOT NULL)");
        db->exec("DELETE FROM temp." + kLog);
        db->exec("DELETE FROM temp." + kState);
        db->exec("INSERT INTO temp." + kState + " VALUES (0)");
        InstallTriggers(*db, schema::kSheetsTable, schema::kSheetScore);
        InstallTriggers(*db, schema::kKeyTable, schema::kKeyTotal);
        InstallTriggers(*db, schema::kHeaderTable, {});
        db_ = db;
        followed_.clear();
        followTiedTables();
    } catch (const DbError&) {
        db_.reset();
        return false;
    }
    nextStep_ = 1;
    pauses_ = 0;
    return true;
}

void EditHistory::followTiedTables() {
    if (!db_) return;
    const std::vector<std::string> present = db_->tableNames();
    for (const std::string& t : schema::SheetTiedTables())
        if (!followed_.count(t) && std::find(present.begin(), present.end(), t) != present.end()) {
            InstallTriggers(*db_, t, {});
            followed_.insert(t);
        }
}

void EditHistory::detach() {
    if (db_) {
        try {
            std::vector<std::string> tables{schema::kSheetsTable, schema::kKeyTable,
                                            schema::kHeaderTable};
            tables.insert(tables.end(), followed_.begin(), followed_.end());
            for (const std::string& table : tables)
                for (const char* event : {"insert", "update", "delete"})
                    db_->exec("DROP TRIGGER IF EXISTS temp." + TriggerName(table, event));
            db_->exec("DROP TABLE IF EXISTS temp." + kLog);
            db_->exec("DROP TABLE IF EXISTS temp." + kState);
        } catch (const DbError&) {
            // The connection goes with the file; so do its temporary objects.
        }
    }
    db_.reset();
    followed_.clear();
}

std::optional<EditStep> EditHistory::takeStep(const std::string& description) {
    if (!db_) return std::nullopt;
    const long long id = nextStep_;
    db_->prepare("UPDATE temp." + kLog + " SET step = ? WHERE step IS NULL")
        .bind(1, Value(id))
        .run();
    if (sqlite3_changes(db_->handle()) == 0) return std::nullopt; // nothing since the last step
    ++nextStep_;
    return EditStep{id, description};
}

void EditHistory::swap(long long stepId) {
    if (!db_) return;
    db_->requireSameFile();
    followTiedTables();
    Transaction tx(*db_);
    db_->prepare("UPDATE temp." + kLog + " SET step = ? WHERE step IS NULL")
        .bind(1, Value(kOrphanStep))
        .run();
    std::vector<std::string> statements;
    {
        auto st = db_->prepare("SELECT statement FROM temp." + kLog +
                               " WHERE step = ? ORDER BY seq DESC");
        st.bind(1, Value(stepId));
        while (st.step())
            statements.push_back(st.column(0).text());
    }
    db_->prepare("DELETE FROM temp." + kLog + " WHERE step = ?").bind(1, Value(stepId)).run();
    for (const std::string& s : statements)
        db_->exec(s);
    // Recorded with the step, so that turning it forward again brings them
    // back.
    RemoveOrphanedTiedRows(*db_);
    db_->prepare("UPDATE temp." + kLog + " SET step = ? WHERE step IS NULL")
        .bind(1, Value(stepId))
        .run();
    tx.commit();
}

void EditHistory::forget(long long stepId) {
    if (!db_) return;
    try {
        db_->prepare("DELETE FROM temp." + kLog + " WHERE step = ?").bind(1, Value(stepId)).run();
    } catch (const DbError&) {
        // Only room in the temporary table is lost.
    }
}

void EditHistory::setPaused(bool paused) {
    if (!db_) return;
    try {
        db_->exec("UPDATE temp." + kState + " SET paused = " + (paused ? "1" : "0"));
    } catch (const DbError&) {}
}

EditHistory::Pause::Pause(EditHistory& h) : h_(h) {
    if (h_.pauses_++ == 0) h_.setPaused(true);
}

EditHistory::Pause::~Pause() {
    if (--h_.pauses_ == 0) h_.setPaused(false);
}

} // namespace ia
