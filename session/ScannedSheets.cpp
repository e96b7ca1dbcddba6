// SPDX-License-Identifier: GPL-3.0-or-later
// The session's flows for answer sheets printed and read back.

#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "exchange/SheetImport.h"
#include "scan/ScanStore.h"
#include "session/ExamSession.h"

#include <sqlite3.h>

namespace ia {

namespace sc = ia::schema;

namespace {

const char* const kScanStoringStage = "กำลังบันทึกกระดาษคำตอบที่อ่านได้";
const char* const kSheetGone = "กระดาษคำตอบที่อ่านไว้บางแผ่นถูกลบหรือเปลี่ยนรหัสไปแล้ว ไม่ได้บันทึกสิ่งใด";

bool TypedKeyPresent(Connection& db, int nItem) {
    std::string columns;
    for (int item = 1; item <= nItem; ++item)
        columns += (item > 1 ? ", " : "") + sc::AnswerColumn(item);
    if (columns.empty()) return false;
    Statement st =
        db.prepare("SELECT " + columns + " FROM " + sc::kKeyTable + " ORDER BY rowid LIMIT 1");
    if (!st.step()) return false;
    for (int i = 0; i < nItem; ++i) {
        const auto text = st.columnText(i);
        if (text && !text->empty()) return true;
    }
    return false;
}

void WriteKey(Connection& db, const std::vector<std::string>& answers) {
    std::string sql = std::string("UPDATE ") + sc::kKeyTable + " SET ";
    for (size_t i = 0; i < answers.size(); ++i)
        sql += std::string(i ? ", " : "") + sc::AnswerColumn(static_cast<int>(i) + 1) + " = ?";
    Statement st = db.prepare(sql);
    for (size_t i = 0; i < answers.size(); ++i)
        st.bind(static_cast<int>(i) + 1, Value(answers[i]));
    st.run();
}

// Whether the key goes in: none typed yet, or the caller says to replace it.
bool KeyGoesIn(Connection& db, int nItem, const ScanStoreRequest& request, ScanStoreResult& r) {
    if (!TypedKeyPresent(db, nItem) || (request.replaceTypedKey && request.replaceTypedKey()))
        return true;
    r.typedKeyKept = true;
    return false;
}

void RefreshViews(ExamViews& views) {
    for (DataView* v : {&views.sheets, &views.key})
        if (v->isOpen()) v->Refresh();
}

} // namespace

Outcome<std::string> ExamSession::answerSheetExamId(bool makeWhenMissing) {
    Outcome<std::string> out;
    if (!open_) {
        out.error = {SessionErrorKind::NoFileOpen, {}};
        return out;
    }
    try {
        Connection& db = *connection();
        if (makeWhenMissing) {
            db.requireSameFile();
            out.value = scan::ExamIdMadeOnFirstUse(db);
        } else {
            out.value = scan::ReadExamId(db).value_or("");
        }
    } catch (const std::exception& e) {
        out.error = {SessionErrorKind::Failed, e.what()};
    }
    return out;
}

Outcome<ScanStoreResult>
ExamSession::storeScannedSheets(const std::vector<scan::AssembledSheet>& sheets,
                                const ScanStoreRequest& request) {
    Outcome<ScanStoreResult> out;
    if (!open_) {
        out.error = {SessionErrorKind::NoFileOpen, {}};
        return out;
    }
    Progress& progress = request.progress ? *request.progress : NoProgress();
    const int nItem = header_.nItem;
    try {
        Connection& db = *connection();
        db.requireSameFile();
        ImportPlan plan;
        for (const scan::AssembledSheet& s : sheets)
            if (!s.key) { // only the codes are compared
                ImportedSheet compared;
                compared.code = s.code;
                plan.sheets.push_back(std::move(compared));
            }
        FindDuplicateCodes(plan, ExistingCodes(db));
        out.value.duplicates = plan.duplicates;
        Transaction tx(db);
        progress.stage(kScanStoringStage, static_cast<long long>(sheets.size()));
        std::string sql = std::string("INSERT INTO ") + sc::kSheetsTable + " (" + sc::kSheetCode;
        for (int i = 1; i <= nItem; ++i)
            sql += ", " + sc::AnswerColumn(i);
        sql += ") VALUES (?";
        for (int i = 1; i <= nItem; ++i)
            sql += ", ?";
        sql += ")";
        Statement insert = db.prepare(sql);
        std::vector<scan::KeptPage> kept;
        long long done = 0;
        for (const scan::AssembledSheet& s : sheets) {
            progress.step(done++);
            long long row = 0;
            if (s.key) {
                if (!KeyGoesIn(db, nItem, request, out.value)) continue;
                WriteKey(db, s.answers);
                out.value.keySet = true;
            } else {
                insert.bind(1, Value(s.code));
                for (int i = 0; i < nItem; ++i) {
                    const std::string& a = s.answers[static_cast<size_t>(i)];
                    insert.bind(i + 2, a.empty() ? Value() : Value(a));
                }
                insert.run();
                row = sqlite3_last_insert_rowid(db.handle());
                ++out.value.sheetsStored;
            }
            for (const scan::ReadPage& p : s.pages)
                kept.push_back({row, p, s.decisions});
        }
        scan::KeepPages(db, kept);
        // The last moment a cancel still undoes everything.
        progress.step(static_cast<long long>(sheets.size()));
        tx.commit();
        RefreshViews(views_);
    } catch (const JobCancelled&) {
        throw;
    } catch (const std::exception& e) {
        out.error = {SessionErrorKind::Failed, e.what()};
    }
    return out;
}

Outcome<std::vector<scan::KeptPage>> ExamSession::keptScanPages() {
    Outcome<std::vector<scan::KeptPage>> out;
    if (!open_) {
        out.error = {SessionErrorKind::NoFileOpen, {}};
        return out;
    }
    try {
        out.value = scan::ReadKeptPages(*connection());
    } catch (const std::exception& e) {
        out.error = {SessionErrorKind::Failed, e.what()};
    }
    return out;
}

Outcome<int> ExamSession::storeRedecidedSheets(const std::vector<RedecidedSheet>& sheets,
                                               const ScanStoreRequest& request) {
    Outcome<int> out;
    if (!open_) {
        out.error = {SessionErrorKind::NoFileOpen, {}};
        return out;
    }
    Progress& progress = request.progress ? *request.progress : NoProgress();
    const int nItem = header_.nItem;
    try {
        Connection& db = *connection();
        db.requireSameFile();
        Transaction tx(db);
        progress.stage(kScanStoringStage, static_cast<long long>(sheets.size()));
        std::string sql = std::string("UPDATE ") + sc::kSheetsTable + " SET ";
        for (int i = 1; i <= nItem; ++i)
            sql += std::string(i > 1 ? ", " : "") + sc::AnswerColumn(i) + " = ?";
        sql += std::string(" WHERE rowid = ? AND ") + sc::kSheetCode + " = ?";
        Statement update = db.prepare(sql);
        ScanStoreResult told;
        long long done = 0;
        for (const RedecidedSheet& s : sheets) {
            progress.step(done++);
            if (s.key) {
                if (!KeyGoesIn(db, nItem, request, told)) continue;
                WriteKey(db, s.answers);
            } else {
                for (int i = 0; i < nItem; ++i) {
                    const std::string& a = s.answers[static_cast<size_t>(i)];
                    update.bind(i + 1, a.empty() ? Value() : Value(a));
                }
                update.bind(nItem + 1, Value(s.sheetRow));
                update.bind(nItem + 2, Value(s.code));
                update.run();
                if (sqlite3_changes(db.handle()) != 1) {
                    out.error = {SessionErrorKind::Failed, kSheetGone};
                    return out;
                }
            }
            scan::UpdateKeptDecisions(db, s.sheetRow, s.key, s.decisions);
            ++out.value;
        }
        progress.step(static_cast<long long>(sheets.size()));
        tx.commit();
        RefreshViews(views_);
    } catch (const JobCancelled&) {
        throw;
    } catch (const std::exception& e) {
        out.error = {SessionErrorKind::Failed, e.what()};
    }
    return out;
}

} // namespace ia
