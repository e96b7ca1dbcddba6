// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Analysis.h"

#include "analysis/FanTable.h"
#include "analysis/SheetChecks.h"
#include "examfile/AnalysisRunLog.h"
#include "examfile/ExamFile.h"
#include "examfile/KeyRule.h"
#include "examfile/NewFileRules.h"
#include "examfile/Schema.h"
#include "examfile/Val.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

namespace ia {

const char* const kTooFewSheets = "จำนวนกระดาษคำตอบน้อยเกินไป วิเคราะห์ไม่ได้";
const char* const kNoKeyedItem = "ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้";

namespace {

// ---------------------------------------------------------------------------
// Load

// What one analysis reads from the exam file.
struct LoadedExam {
    std::shared_ptr<Connection> db;
    std::vector<std::string> itemColumns; // answer fields first..last of the sheets
    std::string keyTotalColumn;           // the key row's field after them
    long long keyRowid = 0;
    std::vector<std::optional<std::string>> keyTexts;
    ScoringMatrix answers;
    std::vector<long long> rowids; // file order, ascending
    // Read with them, for the fingerprint of the data (DataFingerprint()).
    std::vector<std::string> sheetFields; // every field of the sheets, in order
    int firstItemField = 0;               // the first item's among them
    uint64_t keyRowHash = 0;
    uint64_t sheetsHashSum = 0;

    std::vector<StoredText> keys() const {
        std::vector<StoredText> k;
        for (const auto& t : keyTexts)
            k.push_back(t ? StoredText(*t) : std::nullopt);
        return k;
    }
    long long sheets() const { return static_cast<long long>(rowids.size()); }
};

Connection& Db(AnalysisContext& c, std::shared_ptr<Connection>& holder) {
    if (!holder) holder = Connection::Shared(c.views.sheets.DatabaseName);
    return *holder;
}

// The fields of the sheets and of the key: whether the items
// first..last and the total after them are there, with the key row.
bool ReadShape(AnalysisContext& c, LoadedExam& e) {
    const int first = c.state.FirstItemField, last = c.state.LastItemField;
    if (last < 0 || last > kMaxItems || first < 1) return false;
    Connection& db = Db(c, e.db);
    const std::vector<FieldInfo> sheets = db.tableFields(schema::kSheetsTable);
    const std::vector<FieldInfo> key = db.tableFields(schema::kKeyTable);
    if (static_cast<int>(sheets.size()) < last + 2 || static_cast<int>(key.size()) < last + 2)
        return false;
    auto st =
        db.prepare(std::string("SELECT * FROM ") + schema::kKeyTable + " ORDER BY rowid LIMIT 1");
    if (!st.step()) return false;
    RowFingerprint keyRow;
    for (int i = 0; i < st.columnCount(); ++i)
        if (!SameName(st.columnName(i), schema::kKeyTotal)) keyRow.add(st, i);
    e.keyRowHash = keyRow.value();
    for (const FieldInfo& f : sheets)
        e.sheetFields.push_back(f.name);
    e.firstItemField = first;
    e.keyRowid = 0;
    for (int i = first; i <= last; ++i) {
        e.itemColumns.push_back(sheets[i].name);
        // The key is read as the record set gives its values.
        Value v = st.column(i);
        e.keyTexts.push_back(v.isNull() ? std::nullopt : std::optional<std::string>(v.text()));
    }
    e.keyTotalColumn = key[last + 1].name;
    auto id = db.prepare(std::string("SELECT rowid FROM ") + schema::kKeyTable +
                         " ORDER BY rowid LIMIT 1");
    id.step();
    e.keyRowid = id.columnInt(0);
    return true;
}

[[noreturn]] void FailStructure(AnalysisContext& c) {
    throw AnalysisError(BadStructureMessage(c.views.sheets.DatabaseName));
}

long long CountSheets(AnalysisContext& c, LoadedExam& e) {
    auto st = Db(c, e.db).prepare(std::string("SELECT count(*) FROM ") + schema::kSheetsTable);
    return st.step() ? st.columnInt(0) : 0;
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// One pass over the answer sheets into the compact matrix.
// Reads every sheet into the matrix and into the fingerprint of the data;
// with findings, also checks each sheet for what the teacher is told before
// the results (the same pass, so that a large file is read once).
void ReadSheets(LoadedExam& e, SheetFindings* findings = nullptr, Progress& progress = NoProgress(),
                long long expectedSheets = 0) {
    progress.stage(kReadingSheetsStage, expectedSheets);
    const int items = static_cast<int>(e.itemColumns.size());
    const std::vector<StoredText> keys = e.keys();
    // Most answers are one character: their cells, item by item, come from
    // a table made by the same rules as every other answer's.
    std::vector<std::array<uint8_t, 256>> oneChar(items);
    std::vector<uint8_t> emptyText(items);
    for (int i = 0; i < items; ++i) {
        for (int b = 0; b < 256; ++b) {
            const char ch = static_cast<char>(b);
            oneChar[i][b] = CellOf(std::string_view(&ch, 1), keys[i]).packed();
        }
        emptyText[i] = CellOf(std::string_view(), keys[i]).packed();
    }
    std::array<bool, 256> oneCharInRange{};
    if (findings)
        for (int b = 0; b < 256; ++b) {
            const char ch = static_cast<char>(b);
            oneCharInRange[b] = findings->inRange(std::string_view(&ch, 1));
        }
    // The answers follow the rowid (and the code when it is checked).
    const int firstItem = findings ? 2 : 1;
    std::string cols = findings ? "rowid,Code" : "rowid";
    for (const auto& name : e.itemColumns)
        cols += "," + Quoted(name);
    // Every field but the score goes into the fingerprint, in the table's
    // order (the answers as they are read); those not read already are
    // read after the answers.
    struct Field {
        int column;
        int item; // -1: not an answer
        bool hashed;
    };
    std::vector<Field> fields;
    int nextColumn = firstItem + items;
    for (int j = 0; j < static_cast<int>(e.sheetFields.size()); ++j) {
        const std::string& name = e.sheetFields[j];
        const bool score = SameName(name, schema::kSheetScore);
        if (j >= e.firstItemField && j < e.firstItemField + items) {
            fields.push_back({firstItem + j - e.firstItemField, j - e.firstItemField, !score});
        } else if (score) {
            continue;
        } else if (findings && SameName(name, "Code")) {
            fields.push_back({1, -1, true});
        } else {
            fields.push_back({nextColumn++, -1, true});
            cols += "," + Quoted(name);
        }
    }
    e.sheetsHashSum = 0;
    auto st = e.db->prepare("SELECT " + cols + " FROM " + schema::kSheetsTable + " ORDER BY rowid");
    sqlite3_stmt* raw = st.raw();
    e.answers = ScoringMatrix(items);
    std::vector<uint8_t> row(items);
    std::vector<int> outOfRange;
    long long read = 0;
    while (st.step()) {
        // Told every 256 sheets: often enough for a prompt cancel, rarely
        // enough to cost nothing beside the read.
        if ((++read & 255) == 0) progress.step(read);
        e.rowids.push_back(sqlite3_column_int64(raw, 0));
        RowFingerprint sheet;
        bool anyAnswer = false;
        outOfRange.clear();
        for (const Field& field : fields) {
            if (field.item < 0) {
                sheet.add(st, field.column);
                continue;
            }
            const int i = field.item;
            const int col = field.column;
            // The type before the text: the fingerprint takes a value by
            // its stored type.
            const int type = sqlite3_column_type(raw, col);
            if (type == SQLITE_NULL) {
                row[i] = kNoChoice; // no choice, no point
                if (field.hashed) sheet.addNull();
                continue;
            }
            // A real number has a text of its own in the fingerprint.
            if (field.hashed && type == SQLITE_FLOAT) sheet.add(st, col);
            // The text as the engine gives it (integers in their decimal
            // form).
            auto p = reinterpret_cast<const char*>(sqlite3_column_text(raw, col));
            const int n = sqlite3_column_bytes(raw, col);
            if (field.hashed && type != SQLITE_FLOAT)
                sheet.addText(std::string_view(p ? p : "", static_cast<size_t>(n)));
            if (!p) {
                // An empty blob reads as no text, but is the empty text.
                row[i] = emptyText[i];
                continue;
            }
            if (n == 1) {
                const auto b = static_cast<unsigned char>(p[0]);
                row[i] = oneChar[i][b];
                if (findings && !oneCharInRange[b]) outOfRange.push_back(i + 1);
            } else if (n == 0) {
                row[i] = emptyText[i];
                continue;
            } else {
                row[i] = CellOf(std::string_view(p, n), keys[i]).packed();
                if (findings) outOfRange.push_back(i + 1);
            }
            anyAnswer = true;
        }
        e.sheetsHashSum += sheet.value();
        e.answers.addSheet(row.data());
        if (findings) findings->addSheet(st.columnText(1), anyAnswer, outOfRange);
    }
    progress.step(read);
}

Progress& ProgressOf(const AnalysisContext& c) {
    return c.progress ? *c.progress : NoProgress();
}

// The sheets the views know of, without another pass over the table; 0
// (not known) when the sheets' view is not open.
long long ExpectedSheets(AnalysisContext& c) {
    const RecordSet* sheets = c.views.sheets.Recordset();
    return sheets ? sheets->recordCount() : 0;
}

// Loads the key and the sheets; a file whose fields do not fit the items
// is refused with the structure message.
LoadedExam LoadExam(AnalysisContext& c, std::shared_ptr<Connection> db) {
    LoadedExam e;
    e.db = std::move(db);
    if (!ReadShape(c, e)) FailStructure(c);
    ReadSheets(e);
    return e;
}

// The refusals of a technique, in the order the teacher meets them, all
// before anything is written.
LoadedExam LoadAnalysable(AnalysisContext& c, std::shared_ptr<Connection> db, int percent) {
    LoadedExam e;
    e.db = std::move(db);
    const bool shapeOk = ReadShape(c, e);
    if (shapeOk && c.sheetFindings) {
        std::vector<bool> keyed;
        for (const StoredText& k : e.keys())
            keyed.push_back(IsKeyed(k));
        SheetFindings findings(c.header.nChoice, keyed);
        ReadSheets(e, &findings, ProgressOf(c), ExpectedSheets(c));
        *c.sheetFindings = findings.lines();
    } else if (shapeOk) {
        ReadSheets(e, nullptr, ProgressOf(c), ExpectedSheets(c));
    }
    const long long n = shapeOk ? e.sheets() : CountSheets(c, e);
    if (GroupSize(percent, n) < 1) throw AnalysisError(kTooFewSheets);
    if (c.header.nChoice < 2 || c.header.nChoice > 5) throw AnalysisError(kChoicesOutOfRange);
    if (!shapeOk) FailStructure(c);
    if (CountKeyedItems(e.keys()).keyed == 0) throw AnalysisError(kNoKeyedItem);
    return e;
}

// ---------------------------------------------------------------------------
// Compute

struct Computed {
    KeyCounts keyCounts;
    Scoring scoring;
    TestSummary test;
};

Computed ComputeScores(const LoadedExam& e) {
    Computed r;
    r.keyCounts = CountKeyedItems(e.keys());
    r.scoring = ScoreSheets(e.answers);
    r.test = DescribeTest(r.scoring, r.keyCounts.keyed);
    return r;
}

// ---------------------------------------------------------------------------
// Store

void Run(Connection& db, const std::string& sql, std::initializer_list<Value> binds) {
    auto st = db.prepare(sql);
    int i = 1;
    for (const auto& v : binds)
        st.bind(i++, v);
    st.run();
}

// The new score of a sheet by its rowid, for the one UPDATE that writes
// them; the table is scanned in rowid order, so the search goes on from the
// last sheet found.
struct ScoreLookup {
    const std::vector<long long>& rowids;
    const std::vector<uint16_t>& scores;
    size_t at = 0;
};

void NewScoreOfRow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* lookup = static_cast<ScoreLookup*>(sqlite3_user_data(ctx));
    const long long rowid = sqlite3_value_int64(argv[0]);
    const auto& ids = lookup->rowids;
    if (lookup->at >= ids.size() || ids[lookup->at] != rowid) {
        auto from = lookup->at < ids.size() && ids[lookup->at] < rowid ? ids.begin() + lookup->at
                                                                       : ids.begin();
        lookup->at = static_cast<size_t>(std::lower_bound(from, ids.end(), rowid) - ids.begin());
    }
    if (lookup->at < ids.size() && ids[lookup->at] == rowid)
        sqlite3_result_int(ctx, lookup->scores[lookup->at]);
    else
        sqlite3_result_value(ctx, argv[1]); // not a sheet of this analysis: kept
}

// Writes only the scores that change, in one statement over the table: a
// re-analysis of an unchanged file rewrites no sheet.
void StoreScores(const LoadedExam& e, const Computed& r) {
    Connection& db = *e.db;
    ScoreLookup lookup{e.rowids, r.scoring.scores};
    const char* name = "itemanalysis_new_score";
    sqlite3* h = db.handle();
    if (sqlite3_create_function_v2(h, name, 2, SQLITE_UTF8 | SQLITE_DIRECTONLY, &lookup,
                                   NewScoreOfRow, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw DbError(sqlite3_errcode(h), sqlite3_errmsg(h));
    struct Unregister {
        sqlite3* h;
        const char* name;
        ~Unregister() {
            sqlite3_create_function_v2(h, name, 2, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr,
                                       nullptr);
        }
    } unregister{h, name};
    db.exec(std::string("UPDATE ") + schema::kSheetsTable + " SET Score = " + name +
            "(rowid, Score) WHERE Score IS NOT " + name + "(rowid, Score)");
    // Made after the scores, in one sort, rather than kept up through a
    // million single changes.
    EnsureScoreIndex(db);
    Run(db,
        std::string("UPDATE ") + schema::kKeyTable + " SET " + Quoted(e.keyTotalColumn) +
            "=? WHERE rowid=?",
        {Value(static_cast<long long>(e.itemColumns.size())), Value(e.keyRowid)});
}

void StoreTestStatistics(const LoadedExam& e, const Computed& r) {
    Connection& db = *e.db;
    if (r.test.sheets > 32767) WidenCountFields(db, schema::kStatsTable, {"nCase"});
    Run(db,
        std::string("UPDATE ") + schema::kStatsTable +
            " SET Xbar=?, SD=?, nCase=?, KR20=?, nItem=? , SEmea=? WHERE rowid=(SELECT min(rowid) "
            "FROM " +
            schema::kStatsTable + ")",
        {Value(r.test.meanText), Value(r.test.sdText), Value(r.test.sheets),
         Value(r.test.reliability.kr20Text), Value(r.keyCounts.keyed),
         Value(r.test.reliability.semText)});
}

void KeepInState(AnalysisState& st, const Computed& r) {
    st.KeyedItemCount = static_cast<int16_t>(r.keyCounts.keyed);
    st.UnkeyedItemCount = static_cast<int16_t>(r.keyCounts.unkeyed);
    st.TestMean = r.test.mean;
    st.TestSD = r.test.sd;
    st.TestKR20 = r.test.reliability.kr20;
    st.SheetCount = static_cast<int32_t>(r.test.sheets);
}

// Results of one row beyond its counts, when a technique has computed them.
struct RowTexts {
    RowResult result;
    std::string judgement;
};

// Writes one TOut row per item and choice with its counts and shares;
// returns their rowids.
std::vector<long long> StoreChoiceRows(Connection& db, const std::vector<ChoiceRow>& rows) {
    db.exec(std::string("DELETE FROM ") + schema::kResultsTable);
    const bool wide = std::any_of(rows.begin(), rows.end(), [](const ChoiceRow& r) {
        return r.high > 32767 || r.low > 32767;
    });
    if (wide) WidenCountFields(db, schema::kResultsTable, {"H", "L"});
    auto opt = [](const std::optional<std::string>& t) { return t ? Value(*t) : Value(); };
    auto st = db.prepare(std::string("INSERT INTO ") + schema::kResultsTable +
                         " (ItemNo, IsAns, ChoiceNo, H, L, PH, PL) VALUES (?,?,?,?,?,?,?)");
    std::vector<long long> rowids;
    for (const ChoiceRow& row : rows) {
        st.bind(1, Value(row.item))
            .bind(2, Value(row.isKey ? 1 : 0))
            .bind(3, Value(row.choice))
            .bind(4, Value(row.high))
            .bind(5, Value(row.low))
            .bind(6, opt(row.highShare))
            .bind(7, opt(row.lowShare));
        st.run();
        rowids.push_back(sqlite3_last_insert_rowid(db.handle()));
    }
    return rowids;
}

// p, r and delta of every row, and Zr of the keyed rows.
void StoreRowResults(Connection& db, const std::vector<long long>& rowids,
                     const std::vector<RowTexts>& results) {
    for (size_t k = 0; k < rowids.size(); ++k) {
        const RowResult& r = results[k].result;
        if (r.zr)
            Run(db,
                std::string("UPDATE ") + schema::kResultsTable +
                    " SET P=?, r=?, Delta=?, Zr=? WHERE rowid=?",
                {Value(r.p), Value(r.r), Value(r.delta), Value(*r.zr), Value(rowids[k])});
        else
            Run(db,
                std::string("UPDATE ") + schema::kResultsTable +
                    " SET P=?, r=?, Delta=? WHERE rowid=?",
                {Value(r.p), Value(r.r), Value(r.delta), Value(rowids[k])});
    }
}

void StoreJudgements(Connection& db, const std::vector<long long>& rowids,
                     const std::vector<RowTexts>& results) {
    for (size_t k = 0; k < rowids.size(); ++k)
        Run(db, std::string("UPDATE ") + schema::kResultsTable + " SET Explain=? WHERE rowid=?",
            {Value(results[k].judgement), Value(rowids[k])});
}

void StoreAverages(Connection& db, const Averages& a) {
    Run(db,
        std::string("UPDATE ") + schema::kStatsTable +
            " SET Pav=?, Rav=?, Dav=?, Zrav=? WHERE rowid=(SELECT min(rowid) FROM " +
            schema::kStatsTable + ")",
        {Value(a.p), Value(a.r), Value(a.delta), Value(a.zr)});
}

// RAII for the busy pointer, so that a refusal never leaves the hourglass.
struct Busy {
    AnalysisHost& h;
    explicit Busy(AnalysisHost& host) : h(host) { h.BusyPointer(true); }
    ~Busy() { h.BusyPointer(false); }
};

// A cancel reaches into the long statements of the store too (the one
// UPDATE of a million scores): the engine asks between its steps, the
// statement stops, and the cancel goes on from there as JobCancelled.
class CancellableStatements {
  public:
    CancellableStatements(Connection& db, Progress& progress)
        : db_(db.handle()), progress_(progress) {
        sqlite3_progress_handler(db_, 10000, &CancellableStatements::Ask, this);
    }
    ~CancellableStatements() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }
    CancellableStatements(const CancellableStatements&) = delete;
    CancellableStatements& operator=(const CancellableStatements&) = delete;

    // Runs store; a statement the cancel stopped ends as JobCancelled.
    template <typename Store> void run(Store&& store) {
        try {
            store();
        } catch (const DbError&) {
            if (cancelled_) throw JobCancelled();
            throw;
        }
        if (cancelled_) throw JobCancelled();
    }

  private:
    static int Ask(void* self) {
        auto* s = static_cast<CancellableStatements*>(self);
        try {
            s->progress_.step(s->progress_.done());
        } catch (...) {
            s->cancelled_ = true;
            return 1; // the engine stops the statement
        }
        return 0;
    }
    sqlite3* db_;
    Progress& progress_;
    bool cancelled_ = false;
};

// Load, compute and store one technique; gives the fingerprint of the data
// it read (DataFingerprint()).
std::string AnalyseWith(AnalysisContext& c, Technique technique, const std::string& tableDir) {
    Busy busy(c.host);
    const int percent = technique == Technique::SimpleFormula25 ? 25 : 27;
    // Read and written in one transaction, so that no other program changes
    // the sheets between the two.
    std::shared_ptr<Connection> file = Connection::Shared(c.views.sheets.DatabaseName);
    Transaction tx(*file);
    LoadedExam e = LoadAnalysable(c, file, percent);
    std::string fingerprint = DataFingerprint(*file, e.keyRowHash, e.sheetsHashSum);
    ChungTables tables;
    if (technique == Technique::FanTable27) {
        try {
            LoadFanTables(tableDir, tables); // refuses before anything is written
            VerifyChungTables(tableDir, tables);
        } catch (const std::runtime_error& err) {
            throw AnalysisError(err.what());
        }
    }

    const Computed r = ComputeScores(e);
    const int g = GroupSize(percent, e.sheets());
    const std::vector<StoredText> keys = e.keys();
    const std::vector<ChoiceRow> rows =
        ChoiceRows(CountHighLowGroups(e.answers, r.scoring.scores, g), keys, c.header.nChoice);
    std::vector<RowTexts> results(rows.size());
    std::vector<RowResult> keyRows;
    for (size_t k = 0; k < rows.size(); ++k) {
        const ChoiceRow& row = rows[k];
        RowResult& res = results[k].result;
        if (technique == Technique::SimpleFormula25) {
            res = SimpleFormula25(row.high, row.low, row.isKey, g);
        } else {
            // The table is entered with the shares as stored.
            int ph = static_cast<int>(Hundredths(row.highShare.value_or("")));
            int pl = static_cast<int>(Hundredths(row.lowShare.value_or("")));
            res = FanTable27(row.high, row.low, ph, pl, row.isKey, tables);
        }
        results[k].judgement =
            JudgeRow(row.isKey, Hundredths(res.p), Hundredths(res.r), row.high, row.low);
        if (row.isKey) keyRows.push_back(res);
    }
    const Averages averages = AverageOfStoredTexts(keyRows, r.keyCounts.keyed);

    Connection& db = *e.db;
    Progress& progress = ProgressOf(c);
    progress.stage(kStoringResultsStage, 0);
    CancellableStatements(db, progress).run([&] {
        StoreScores(e, r);
        StoreTestStatistics(e, r);
        const std::vector<long long> rowids = StoreChoiceRows(db, rows);
        StoreRowResults(db, rowids, results);
        StoreAverages(db, averages);
        StoreJudgements(db, rowids, results);
    });
    // The last moment a cancel still leaves the file as it was.
    progress.step(0);
    tx.commit();
    KeepInState(c.state, r);
    c.state.GroupSize = g;
    return fingerprint;
}

} // namespace

std::string StoreSheetScores(AnalysisContext& c) {
    std::shared_ptr<Connection> file = Connection::Shared(c.views.sheets.DatabaseName);
    Transaction tx(*file);
    LoadedExam e = LoadExam(c, file);
    std::string fingerprint = DataFingerprint(*file, e.keyRowHash, e.sheetsHashSum);
    const Computed r = ComputeScores(e);
    StoreScores(e, r);
    StoreTestStatistics(e, r);
    tx.commit();
    KeepInState(c.state, r);
    return fingerprint;
}

GroupCounts StoreHighLowCounts(AnalysisContext& c, int percent) {
    std::shared_ptr<Connection> file = Connection::Shared(c.views.sheets.DatabaseName);
    Transaction tx(*file);
    LoadedExam e = LoadExam(c, file);
    const Computed r = ComputeScores(e);
    const int g = GroupSize(percent, e.sheets());
    GroupCounts counts = CountHighLowGroups(e.answers, r.scoring.scores, g);
    StoreScores(e, r);
    StoreTestStatistics(e, r);
    StoreChoiceRows(*e.db, ChoiceRows(counts, e.keys(), c.header.nChoice));
    tx.commit();
    KeepInState(c.state, r);
    c.state.GroupSize = g;
    return counts;
}

void JudgeStoredRows(AnalysisContext& c) {
    std::shared_ptr<Connection> holder;
    Connection& db = Db(c, holder);
    struct Row {
        long long rowid;
        bool isKey;
        std::string p, r;
        long long high, low;
    };
    std::vector<Row> rows;
    {
        auto st = db.prepare(std::string("SELECT rowid, IsAns, P, r, H, L FROM ") +
                             schema::kResultsTable + " ORDER BY rowid");
        while (st.step())
            rows.push_back({st.columnInt(0), st.column(1).integer() == 1, st.column(2).text(),
                            st.column(3).text(), st.column(4).integer(), st.column(5).integer()});
    }
    Transaction tx(db);
    for (const Row& row : rows)
        Run(db, std::string("UPDATE ") + schema::kResultsTable + " SET Explain=? WHERE rowid=?",
            {Value(JudgeRow(row.isKey, Hundredths(row.p), Hundredths(row.r), row.high, row.low)),
             Value(row.rowid)});
    tx.commit();
}

void AnalyseSimpleFormula25(AnalysisContext& c) {
    AnalyseWith(c, Technique::SimpleFormula25, {});
}

void AnalyseFanTable27(AnalysisContext& c, const std::string& tableDir) {
    AnalyseWith(c, Technique::FanTable27, tableDir);
}

void RunTechnique(AnalysisContext& c, Technique technique, const std::string& tableDir) {
    const int16_t kind = static_cast<int16_t>(technique);
    c.state.AnalysisKind = kind;
    c.state.FirstItemField = 1;
    c.state.LastItemField = c.header.nItem;
    // The 25 % technique reads no table file.
    const std::string fingerprint = AnalyseWith(c, technique, tableDir);
    // The export heads the results with their technique and time.
    RecordAnalysisRun(c.views.results.Recordset()->connection(), kind);
    // Whoever opens the file later, here or elsewhere, can tell whether the
    // key or the sheets changed since.
    RecordResultsFingerprint(c.views.results.Recordset()->connection(), fingerprint);
}

void RereadResultViews(ExamViews& views) {
    views.key.Refresh();
    views.results.Refresh();
    views.stats.Refresh();
}

} // namespace ia
