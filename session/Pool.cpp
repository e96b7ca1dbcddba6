// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Pool.h"

#include "analysis/ExamAnswers.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/Schema.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

namespace ia {

namespace fs = std::filesystem;

namespace {

constexpr const char* kReadingSourcesStage = "กำลังอ่านไฟล์ที่จะรวม";
constexpr const char* kWritingPoolStage = "กำลังเขียนไฟล์รวม";

// Cells kept compactly while every source is read before anything is
// written: a length of two bytes (kNullCell for NULL), then the bytes.
constexpr uint16_t kNullCell = 0xFFFF;

void PutCell(std::string& out, std::optional<std::string_view> v) {
    const uint16_t n = v ? static_cast<uint16_t>(std::min<size_t>(v->size(), 0xFFFE)) : kNullCell;
    out.push_back(static_cast<char>(n & 0xFF));
    out.push_back(static_cast<char>(n >> 8));
    if (v) out.append(v->data(), n);
}

std::optional<std::string_view> TakeCell(const std::string& in, size_t& at) {
    const uint16_t n = static_cast<uint16_t>(static_cast<unsigned char>(in[at]) |
                                             static_cast<unsigned char>(in[at + 1]) << 8);
    at += 2;
    if (n == kNullCell) return std::nullopt;
    std::string_view v(in.data() + at, n);
    at += n;
    return v;
}

struct Source {
    std::string path;
    TestHeader header;
    std::vector<std::optional<std::string>> key; // per item
    int sheets = 0;
    std::string cells;               // per sheet: code, answers, score as text
    std::vector<Value> scores;       // per sheet
    std::vector<std::string> labels; // per sheet, ByColumn only
    // Kept columns: sheet index, name, value.
    std::vector<std::tuple<int, std::string, std::optional<std::string>>> columns;
};

// A kept cell bound as it is, without the copies a Value makes: the
// cells stay put until the row is inserted, and a pool binds millions.
void BindCell(Connection& db, Statement& st, int index, std::optional<std::string_view> v) {
    const int rc = v ? sqlite3_bind_text(st.raw(), index, v->data(), static_cast<int>(v->size()),
                                         SQLITE_STATIC)
                     : sqlite3_bind_null(st.raw(), index);
    if (rc != SQLITE_OK) throw DbError(rc, Connection::ErrorText(rc, sqlite3_errmsg(db.handle())));
}

SessionError Refuse(SessionErrorKind kind, std::string message) {
    return {kind, std::move(message)};
}

bool HasTable(Connection& db, const char* name) {
    for (const std::string& t : db.tableNames())
        if (SameName(t, name)) return true;
    return false;
}

// Reads a source through a read-only connection: no journal and no lock
// file are ever made beside it.
std::optional<SessionError> ReadSource(const std::string& path, bool sheetsToo,
                                       const PoolRequest& request, Source& out) {
    out.path = path;
    std::error_code ec;
    if (fs::exists(path + "-journal", ec))
        // A read-only look cannot play the journal back, and playing it back
        // would write to a source.
        return Refuse(SessionErrorKind::NotExamFile,
                      "ไฟล์ " + path + " ค้างการบันทึกไว้ไม่เสร็จ กรุณาเปิดไฟล์นี้ในโปรแกรมก่อนแล้วรวมใหม่");
    // The checks and the reading share one read-only connection.
    std::optional<Connection> reader;
    if (std::string refusal = ExamFileRefusal(path, reader); !refusal.empty())
        return Refuse(SessionErrorKind::NotExamFile, refusal);
    try {
        Connection& db = *reader;
        ReadSnapshot snapshot(db);
        using namespace schema;
        // The header, key and sheets are read through the statements the
        // structure check prepared (their columns in the order it checked):
        // a pool opens thousands of files, and parsing is most of the cost
        // of each beyond its opening.
        {
            auto st = db.prepare(AllRowsSql(kHeaderTable));
            if (!st.step()) return Refuse(SessionErrorKind::NotExamFile, BadStructureMessage(path));
            TestHeader& h = out.header;
            h.SubCode = st.column(0).text();
            h.SubName = st.column(1).text();
            h.Term = st.column(2).text();
            h.Yearr = static_cast<int32_t>(st.column(3).integer());
            h.TeacherName = st.column(4).text();
            h.nItem = static_cast<int16_t>(st.columnInt(5));
            h.nChoice = static_cast<uint8_t>(st.columnInt(6));
        }
        {
            // The label first, then the items.
            auto st = db.prepare(AllRowsSql(kKeyTable));
            const bool row = st.step();
            for (int i = 1; i <= out.header.nItem; ++i) {
                std::optional<std::string> k;
                if (row)
                    if (auto t = st.columnText(i)) k = std::string(*t);
                out.key.push_back(k);
            }
        }
        if (!sheetsToo) return std::nullopt;
        const bool byColumn = request.grouping == PoolGrouping::ByColumn;
        const bool hasColumns = HasTable(db, kSheetColumnTable);
        if (byColumn && !hasColumns)
            return Refuse(SessionErrorKind::NotExamFile,
                          "ไฟล์ " + path + " ไม่มีคอลัมน์ " + request.groupColumn);
        std::map<long long, int> indexOfRowid;
        // The code, the answers, the score; the rowid before them only where
        // kept columns name their sheets by it.
        std::string cols;
        for (int i = 1; i <= out.header.nItem; ++i)
            cols += ",\"" + AnswerColumn(i) + "\"";
        auto st = hasColumns ? db.prepare(std::string("SELECT rowid, \"") + kSheetCode + "\"" +
                                          cols + ", \"" + kSheetScore + "\" FROM " + kSheetsTable +
                                          " ORDER BY rowid")
                             : db.prepare(AllRowsSql(kSheetsTable));
        const int first = hasColumns ? 1 : 0;
        const int n = out.header.nItem;
        while (st.step()) {
            if (hasColumns) indexOfRowid[st.columnInt(0)] = out.sheets;
            for (int i = first; i <= first + n; ++i)
                PutCell(out.cells, st.columnText(i));
            out.scores.push_back(st.column(first + n + 1));
            ++out.sheets;
        }
        if (hasColumns) {
            out.labels.assign(static_cast<size_t>(out.sheets), std::string());
            auto c = db.prepare(std::string("SELECT ") + kColumnSheetRowid + ", " + kColumnName +
                                ", " + kColumnValue + " FROM " + kSheetColumnTable + " ORDER BY " +
                                kColumnSheetRowid + ", " + kColumnName);
            while (c.step()) {
                auto it = indexOfRowid.find(c.columnInt(0));
                if (it == indexOfRowid.end()) continue; // the sheet was deleted since
                const std::string name(c.columnText(1).value_or(""));
                const auto value = c.columnText(2);
                out.columns.emplace_back(it->second, name,
                                         value ? std::optional<std::string>(*value) : std::nullopt);
                if (byColumn && name == request.groupColumn && value)
                    out.labels[static_cast<size_t>(it->second)] = std::string(*value);
            }
            if (byColumn)
                for (int s = 0; s < out.sheets; ++s)
                    if (out.labels[static_cast<size_t>(s)].empty())
                        return Refuse(SessionErrorKind::NotExamFile,
                                      "ไฟล์ " + path + " กระดาษคำตอบแผ่นที่ " + std::to_string(s + 1) +
                                          " ไม่มีค่าในคอลัมน์ " + request.groupColumn);
        }
    } catch (const DbError& e) {
        return Refuse(SessionErrorKind::NotExamFile,
                      "ไฟล์ " + path + " อ่านไม่ได้ : " + Connection::ErrorText(e.code(), e.what()));
    }
    return std::nullopt;
}

// The items whose keys differ, as the scoring reads a key (NULL, "" and "0"
// alike mean no key).
std::vector<int> ItemsWithOtherKeys(const Source& a, const Source& b, int choices) {
    std::vector<int> out;
    for (size_t i = 0; i < a.key.size(); ++i) {
        auto view = [](const std::optional<std::string>& k) {
            return k ? std::optional<std::string_view>(*k) : std::nullopt;
        };
        const AnswerCode x = KeyCodeOf(view(a.key[i]), choices);
        const AnswerCode y = KeyCodeOf(view(b.key[i]), choices);
        if (x != y || (x == kOtherKey && *a.key[i] != *b.key[i]))
            out.push_back(static_cast<int>(i) + 1);
    }
    return out;
}

std::string ItemList(const std::vector<int>& items) {
    std::string s;
    for (size_t i = 0; i < items.size(); ++i)
        s += (i ? ", " : "") + std::to_string(items[i]);
    return s;
}

using FileIdentity = std::pair<unsigned long long, unsigned long long>; // device, inode

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{static_cast<unsigned long long>(st.st_dev),
                        static_cast<unsigned long long>(st.st_ino)};
}

} // namespace

std::string GroupLabelOfFile(const std::string& path) {
    return fs::path(path).stem().string();
}

std::vector<std::string> PoolReport::notices() const {
    std::vector<std::string> lines;
    std::string g =
        "รวม " + std::to_string(sheets) + " แผ่น จาก " + std::to_string(groups.size()) + " กลุ่ม :";
    for (const auto& [label, n] : groups)
        g += " " + label + " (" + std::to_string(n) + ")";
    lines.push_back(g);
    if (!repeatedCodes.empty()) {
        lines.push_back("รหัสซ้ำกันในหลายไฟล์ " + std::to_string(repeatedCodes.size()) +
                        " รหัส (เก็บไว้ทุกแผ่น) :");
        for (const RepeatedCode& r : repeatedCodes) {
            std::string l = "  " + r.code + " :";
            for (const std::string& f : r.files)
                l += " " + f;
            lines.push_back(l);
        }
    }
    if (!backupNotice.empty()) lines.push_back(backupNotice);
    return lines;
}

namespace {

Outcome<PoolReport> Pool(const PoolRequest& request) {
    Outcome<PoolReport> out;
    Progress& progress = request.progress ? *request.progress : NoProgress();
    auto fail = [&](SessionError e) {
        out.error = std::move(e);
        return out;
    };
    if (request.sources.empty()) return fail(Refuse(SessionErrorKind::NoSheets, "ไม่มีไฟล์ที่จะรวม"));
    std::error_code ec;
    const bool outputExists = fs::exists(fs::symlink_status(request.output, ec));
    if (outputExists && fs::is_directory(request.output, ec))
        return fail(
            Refuse(SessionErrorKind::FolderInTheWay, "มีโฟลเดอร์ชื่อ " + request.output + " อยู่แล้ว"));
    if (outputExists && !request.replaceExisting)
        return fail(Refuse(SessionErrorKind::AlreadyExists, "มีไฟล์ " + request.output + " อยู่แล้ว"));
    // The same file twice (under two names, too) would only repeat every
    // code; one look at each file's identity, not one per pair.
    const std::optional<FileIdentity> outputId =
        outputExists ? IdentityOf(request.output) : std::nullopt;
    std::set<FileIdentity> seen;
    for (const std::string& source : request.sources) {
        const std::optional<FileIdentity> id = IdentityOf(source);
        if (!id) continue; // missing: refused by name when read
        if (outputId && *id == *outputId)
            return fail(Refuse(SessionErrorKind::AlreadyExists,
                               "ไฟล์รวม " + request.output + " เป็นไฟล์เดียวกับไฟล์ที่จะรวม"));
        if (!seen.insert(*id).second)
            return fail(Refuse(SessionErrorKind::Declined, "ให้ไฟล์ " + source + " ซ้ำ"));
    }

    // --- read and check everything first
    std::optional<Source> keySource;
    if (!request.keyFrom.empty()) {
        keySource.emplace();
        if (auto e = ReadSource(request.keyFrom, false, request, *keySource)) return fail(*e);
    }
    std::vector<Source> sources(request.sources.size());
    progress.stage(kReadingSourcesStage, static_cast<long long>(sources.size()));
    for (size_t i = 0; i < sources.size(); ++i) {
        progress.step(static_cast<long long>(i));
        if (auto e = ReadSource(request.sources[i], true, request, sources[i])) return fail(*e);
        const Source& first = keySource ? *keySource : sources.front();
        const Source& s = sources[i];
        if (s.header.nItem != first.header.nItem || s.header.nChoice != first.header.nChoice)
            return fail(Refuse(SessionErrorKind::SourcesDiffer,
                               "ไฟล์ " + s.path + " มี " + std::to_string(s.header.nItem) + " ข้อ " +
                                   std::to_string(s.header.nChoice) + " ตัวเลือก ต่างจากไฟล์ " +
                                   first.path + " ที่มี " + std::to_string(first.header.nItem) +
                                   " ข้อ " + std::to_string(first.header.nChoice) + " ตัวเลือก"));
        if (!keySource)
            if (auto items = ItemsWithOtherKeys(first, s, first.header.nChoice); !items.empty())
                return fail(Refuse(SessionErrorKind::KeysDiffer, "เฉลยของไฟล์ " + s.path +
                                                                     " ต่างจากไฟล์ " + first.path +
                                                                     " ในข้อ " + ItemList(items)));
    }
    progress.step(static_cast<long long>(sources.size()));
    const Source& keyOf = keySource ? *keySource : sources.front();
    const int nItem = keyOf.header.nItem;

    PoolReport& report = out.value;
    report.output = request.output;
    std::map<std::string, int> groupSizes;
    std::map<std::string, std::vector<size_t>> filesOfCode;
    long long total = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        const Source& s = sources[i];
        size_t at = 0;
        for (int k = 0; k < s.sheets; ++k) {
            const auto code = TakeCell(s.cells, at);
            for (int c = 0; c < nItem; ++c)
                TakeCell(s.cells, at);
            if (code && !code->empty()) {
                auto& files = filesOfCode[std::string(*code)];
                if (files.empty() || files.back() != i) files.push_back(i);
            }
            const std::string label = request.grouping == PoolGrouping::ByFile
                                          ? GroupLabelOfFile(s.path)
                                          : s.labels[static_cast<size_t>(k)];
            ++groupSizes[label];
        }
        total += s.sheets;
    }
    for (auto& [code, files] : filesOfCode)
        if (files.size() > 1) {
            RepeatedCode r{code, {}};
            for (size_t f : files)
                r.files.push_back(fs::path(sources[f].path).filename().string());
            report.repeatedCodes.push_back(std::move(r));
        }
    report.groups.assign(groupSizes.begin(), groupSizes.end());
    report.sheets = static_cast<int>(total);

    // --- write: a new file beside the output, renamed into place whole
    const std::string building = request.output + ".pooling";
    fs::remove(building, ec);
    std::string why;
    if (CreateExamFile(building, keyOf.header, &why) != 0)
        return fail(Refuse(SessionErrorKind::CreateFailed, "สร้างไฟล์ " + request.output + " ไม่ได้" +
                                                               (why.empty() ? "" : " : " + why)));
    try {
        {
            Connection db(building);
            Transaction tx(db);
            using namespace schema;
            {
                std::string set;
                for (int i = 1; i <= nItem; ++i)
                    set += std::string(i > 1 ? "," : "") + "\"" + AnswerColumn(i) + "\"=?";
                if (!set.empty()) {
                    auto st =
                        db.prepare(std::string("UPDATE ") + kKeyTable + " SET " + set +
                                   " WHERE rowid = (SELECT min(rowid) FROM " + kKeyTable + ")");
                    for (int i = 0; i < nItem; ++i)
                        st.bind(i + 1, keyOf.key[static_cast<size_t>(i)]
                                           ? Value(*keyOf.key[static_cast<size_t>(i)])
                                           : Value());
                    st.run();
                }
            }
            db.exec(SheetGroupTableSql());
            db.exec(SheetColumnTableSql());
            std::string names = std::string("\"") + kSheetCode + "\"", marks = "?";
            for (int i = 1; i <= nItem; ++i) {
                names += ",\"" + AnswerColumn(i) + "\"";
                marks += ",?";
            }
            names += std::string(",\"") + kSheetScore + "\"";
            marks += ",?";
            auto insertSheet = db.prepare(std::string("INSERT INTO ") + kSheetsTable + " (" +
                                          names + ") VALUES (" + marks + ")");
            auto insertGroup =
                db.prepare(std::string("INSERT INTO ") + kSheetGroupTable + " (" +
                           kGroupSheetRowid + ", " + kGroupLabel + ") VALUES (?, ?)");
            auto insertColumn = db.prepare(std::string("INSERT INTO ") + kSheetColumnTable + " (" +
                                           kColumnSheetRowid + ", " + kColumnName + ", " +
                                           kColumnValue + ") VALUES (?, ?, ?)");
            progress.stage(kWritingPoolStage, total);
            long long done = 0;
            for (const Source& s : sources) {
                // A score stays only where it was totalled against the pool's key.
                const bool sameKey = ItemsWithOtherKeys(keyOf, s, keyOf.header.nChoice).empty();
                const std::string fileLabel = GroupLabelOfFile(s.path);
                std::vector<long long> rowids;
                size_t at = 0;
                for (int k = 0; k < s.sheets; ++k) {
                    if (done % 1024 == 0) progress.step(done);
                    for (int c = 0; c <= nItem; ++c)
                        BindCell(db, insertSheet, c + 1, TakeCell(s.cells, at));
                    insertSheet.bind(nItem + 2,
                                     sameKey ? s.scores[static_cast<size_t>(k)] : Value());
                    insertSheet.run();
                    const long long rowid = sqlite3_last_insert_rowid(db.handle());
                    rowids.push_back(rowid);
                    insertGroup.bind(1, rowid);
                    insertGroup.bind(2, request.grouping == PoolGrouping::ByFile
                                            ? fileLabel
                                            : s.labels[static_cast<size_t>(k)]);
                    insertGroup.run();
                    ++done;
                }
                for (const auto& [sheet, name, value] : s.columns) {
                    insertColumn.bind(1, rowids[static_cast<size_t>(sheet)]);
                    insertColumn.bind(2, name);
                    insertColumn.bind(3, value ? Value(*value) : Value());
                    insertColumn.run();
                }
            }
            progress.step(done);
            tx.commit();
        }
        if (outputExists) {
            const ExamBackup backup = BackUpExamFile(request.output);
            if (!backup.kept) {
                fs::remove(building, ec);
                return fail(Refuse(SessionErrorKind::BackupRefused, backup.refusal));
            }
            report.backupNotice = BackupNotice(backup.backupPath);
        }
        fs::rename(building, request.output);
    } catch (const JobCancelled& e) {
        fs::remove(building, ec);
        return fail(Refuse(SessionErrorKind::Cancelled, e.what()));
    } catch (const DbError& e) {
        fs::remove(building, ec);
        return fail(Refuse(SessionErrorKind::Failed,
                           "เขียนไฟล์ " + request.output +
                               " ไม่ได้ : " + Connection::ErrorText(e.code(), e.what())));
    } catch (const std::exception& e) {
        fs::remove(building, ec);
        return fail(
            Refuse(SessionErrorKind::Failed, "เขียนไฟล์ " + request.output + " ไม่ได้ : " + e.what()));
    }
    return out;
}

} // namespace

Outcome<PoolReport> PoolExamFiles(const PoolRequest& request) {
    try {
        return Pool(request);
    } catch (const JobCancelled& e) {
        // Stopped while reading: nothing was written yet.
        Outcome<PoolReport> out;
        out.error = Refuse(SessionErrorKind::Cancelled, e.what());
        return out;
    }
}

} // namespace ia
