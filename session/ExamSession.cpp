// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/ExamSession.h"

#include "examfile/SheetTies.h"

#include "analysis/FanTable.h"
#include "analysis/SheetChecks.h"
#include "examfile/AnalysisRunLog.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/NewFileRules.h"
#include "examfile/Schema.h"
#include "report/ReportText.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>
#include <utility>

namespace ia {

namespace fs = std::filesystem;

const char* const kTechniqueInvalid = "เทคนิคต้องเป็น 25 หรือ 27";

namespace {

const char* const kNoSheetsToAnalyse = "ยังไม่มีกระดาษคำตอบ วิเคราะห์ไม่ได้";
const char* const kNoSheetsToPrint = "ยังไม่มีกระดาษคำตอบ ไม่มีข้อมูลให้พิมพ์";
const char* const kInUseByAnother = "ไฟล์ถูกใช้งานอยู่โดยโปรแกรมอื่น";

SessionError Error(SessionErrorKind kind, std::string message) {
    return {kind, std::move(message)};
}

std::string CannotCreate(const std::string& path, const std::string& why) {
    return "สร้างไฟล์ไม่ได้ : " + path + (why.empty() ? "" : " (" + why + ")");
}

// How each header field reaches the file: its column and the rule its text
// is taken by. The file name and the number of items are never written: the
// answer fields were made for that many items when the file was.
enum class FieldRule { Fixed, Text, Year, Choices };
struct HeaderColumn {
    const char* column;
    FieldRule rule;
};
constexpr std::array<HeaderColumn, 8> kHeaderColumns{{
    {nullptr, FieldRule::Fixed},      // FileName
    {"SubCode", FieldRule::Text},     // SubjectCode
    {"SubName", FieldRule::Text},     // Subject
    {"Term", FieldRule::Text},        // Term
    {"Yearr", FieldRule::Year},       // Year
    {"nItem", FieldRule::Fixed},      // Items
    {"nChoice", FieldRule::Choices},  // Choices
    {"TeacherName", FieldRule::Text}, // Teacher
}};

// As the header panel names the fields, for the steps of the edit history.
constexpr std::array<const char*, 8> kHeaderFieldNames{
    "ชื่อไฟล์", "รหัสวิชา", "ชื่อวิชา", "เทอม", "ปีการศึกษา", "จำนวนข้อสอบ", "จำนวนตัวเลือก", "ชื่ออาจารย์ผู้สอน",
};

std::string* HeaderTextOf(TestHeader& h, HeaderField field) {
    switch (field) {
    case HeaderField::SubjectCode:
        return &h.SubCode;
    case HeaderField::Subject:
        return &h.SubName;
    case HeaderField::Term:
        return &h.Term;
    case HeaderField::Teacher:
        return &h.TeacherName;
    default:
        return nullptr;
    }
}

// Whether the exam file and its folder (where the engine keeps its journal)
// take writes.
bool ExamFileWritable(const std::string& file) {
    fs::path folder = fs::path(file).parent_path();
    if (folder.empty()) folder = ".";
    return ::access(file.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0 &&
           !OnReadOnlyMedium(file);
}

std::string SheetSource(SheetOrder order) {
    switch (order) {
    case SheetOrder::ByCode:
        return schema::SheetsByCodeSql();
    case SheetOrder::ByScore:
        return "select * from TAData order by Score";
    case SheetOrder::AsStored:
        break;
    }
    return "Select * from TAData";
}

} // namespace

void OrderSheets(DataView& sheets, SheetOrder order) {
    sheets.RecordSource = SheetSource(order);
    sheets.Refresh();
}

std::optional<Technique> TechniqueFromText(const std::string& text) {
    if (text == "25") return Technique::SimpleFormula25;
    if (text == "27") return Technique::FanTable27;
    return std::nullopt;
}

std::string TotalSheets(AnalysisContext& ctx) {
    ctx.state.FirstItemField = 1;
    ctx.state.LastItemField = ctx.header.nItem;
    std::string fingerprint = StoreSheetScores(ctx);
    ctx.views.sheets.Refresh();
    ctx.views.key.Refresh();
    ctx.views.stats.Refresh();
    return fingerprint;
}

ExamSession::ExamSession() = default;

ExamSession::~ExamSession() {
    // The views hold the copy's file open: they go first.
    views_.CloseAll();
}

void ExamSession::setAnalysisHost(AnalysisHost* host) {
    host_ = host ? host : &quietHost_;
}

AnalysisContext ExamSession::context() {
    return {views_, header_, state_, *host_};
}

int ExamSession::sheetCount() const {
    const RecordSet* rs = views_.sheets.Recordset();
    return rs ? rs->recordCount() : 0;
}

std::shared_ptr<Connection> ExamSession::connection() const {
    return Connection::Shared(views_.header.DatabaseName);
}

void ExamSession::releaseFile(const std::string& path) {
    std::error_code ec;
    const bool bound = views_.sheets.isOpen() || views_.key.isOpen() || views_.header.isOpen();
    if (bound && fs::equivalent(path, views_.header.DatabaseName, ec) && !ec) {
        detachHistory();
        if (beforeViewsClosed) beforeViewsClosed();
        views_.CloseAll();
        Connection::ForgetShared(views_.header.DatabaseName);
        open_ = false;
    }
    Connection::ForgetShared(path);
}

void ExamSession::close() {
    detachHistory();
    if (beforeViewsClosed) beforeViewsClosed();
    views_.CloseAll();
    if (!views_.header.DatabaseName.empty()) Connection::ForgetShared(views_.header.DatabaseName);
    copy_.reset();
    lock_.release();
    open_ = false;
    fileName_.clear();
    header_ = {};
    state_ = {};
}

Outcome<CreatedFile> ExamSession::create(const std::string& path, const TestHeader& header,
                                         bool replaceExisting) {
    Outcome<CreatedFile> out;
    out.value.path = path;
    // The folder is looked up as every later command will look it up, so
    // that a name like "missing/../x.ans" is refused here too.
    if (std::string why = NewFileProblem(path); !why.empty()) {
        out.error = Error(SessionErrorKind::CreateFailed, CannotCreate(path, why));
        return out;
    }
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    WriterLock replacing;
    if (fs::exists(status)) {
        if (!replaceExisting) {
            out.error = Error(fs::is_directory(status) ? SessionErrorKind::FolderInTheWay
                                                       : SessionErrorKind::AlreadyExists,
                              "ไฟล์ " + path + "  มีอยู่แล้ว");
            return out;
        }
        // Never replaced under another window that works on it; held while
        // it is replaced unless this session holds it already.
        if (!lock_.holds(path) && !replacing.take(path)) {
            out.error = Error(SessionErrorKind::BackupRefused, OpenElsewhereMessage(path));
            return out;
        }
        releaseFile(path);
        if (DiagnoseExamFile(path) == ExamFileProblem::InUse) {
            out.error = Error(SessionErrorKind::BackupRefused, CannotCreate(path, kInUseByAnother));
            return out;
        }
        const ExamBackup backup = BackUpExamFile(path);
        if (!backup.kept) {
            out.error = Error(SessionErrorKind::BackupRefused, backup.refusal);
            return out;
        }
        out.value.backupPath = backup.backupPath;
        out.value.backupNotice = BackupNotice(backup.backupPath);
    }
    std::string why;
    if (CreateExamFile(path, header, &why) != 0)
        out.error = Error(SessionErrorKind::CreateFailed, CannotCreate(path, why));
    return out;
}

SessionError ExamSession::open(const std::string& path, OpenOptions options) {
    // A signed file whose tables are not ours would be read out of range.
    if (std::string refusal = ExamFileRefusal(path); !refusal.empty())
        return Error(SessionErrorKind::NotExamFile, refusal);
    std::unique_ptr<PrivateCopy> copy;
    if (options.privateCopyWhenReadOnly && !ExamFileWritable(path)) {
        try {
            copy = std::make_unique<PrivateCopy>(path);
        } catch (const std::exception& e) {
            return Error(SessionErrorKind::OpenFailed, e.what());
        }
    }
    // The file this session already holds keeps its lock; another one is
    // taken aside and kept only once the file is bound.
    WriterLock lock;
    const bool keepLock = lock_.holds(path);
    if (options.takeWriterLock && !copy && !keepLock && !lock.take(path))
        return Error(SessionErrorKind::OpenElsewhere, OpenElsewhereMessage(path));
    // Bound aside first: a locked or damaged file leaves the file in hand
    // bound and shown.
    ExamViews fresh;
    TestHeader header;
    try {
        const std::string& bound = copy ? copy->path() : path;
        if (options.headerOnly) {
            fresh.header.DatabaseName = bound;
            fresh.header.RecordSource = "Select * from Tinit";
            fresh.header.Refresh();
        } else {
            BindExamFile(fresh, bound);
        }
        ReadHeader(fresh.header, header);
    } catch (const std::exception& e) {
        fresh.CloseAll();
        return Error(SessionErrorKind::OpenFailed, e.what());
    }
    detachHistory();
    if (beforeViewsClosed) beforeViewsClosed();
    std::swap(views_, fresh);
    fresh.CloseAll();
    // The previous copy's file is let go of only now that no view reads it.
    std::swap(copy_, copy);
    if (!keepLock) lock_ = std::move(lock);
    header_ = header;
    state_ = {};
    fileName_ = path;
    open_ = true;
    resultsTechnique_.reset();
    keyOfResults_ = keyRow();
    if (!options.headerOnly) attachHistory();
    return {};
}

SessionError ExamSession::reopen() {
    const std::string path = fileName_;
    if (std::string refusal = ExamFileRefusal(path); !refusal.empty())
        return Error(SessionErrorKind::NotExamFile, refusal);
    // The engine would hand the views the connection to the replaced file.
    detachHistory();
    if (beforeViewsClosed) beforeViewsClosed();
    views_.CloseAll();
    Connection::ForgetShared(path);
    return open(path);
}

std::string ChoicesChangeQuestion(const ChoicesOutOfRange& outOfRange) {
    std::string counted;
    if (outOfRange.answerCells > 0)
        counted = "คำตอบ " + std::to_string(outOfRange.answerCells) + " ช่อง";
    if (outOfRange.keyCells > 0)
        counted +=
            (counted.empty() ? "เฉลย " : "และเฉลย ") + std::to_string(outOfRange.keyCells) + " ข้อ";
    const std::string choices = std::to_string(outOfRange.newChoices);
    return counted + "จะเกินจำนวนตัวเลือกใหม่ (" + choices + " ตัวเลือก)\nเปลี่ยนจำนวนตัวเลือกเป็น " +
           choices + " หรือไม่";
}

Outcome<ChoicesOutOfRange> ExamSession::countOutOfRange(int newChoices) {
    Outcome<ChoicesOutOfRange> out;
    out.value.newChoices = newChoices;
    if (!open_) {
        out.error = Error(SessionErrorKind::NoFileOpen, {});
        return out;
    }
    const int oldChoices = header_.nChoice;
    if (newChoices >= oldChoices || header_.nItem <= 0) return out;
    // The digits a key can match now and no longer could (SheetFindings::inRange).
    std::string digits;
    for (int d = std::max(newChoices + 1, 0); d <= oldChoices && d <= 9; ++d)
        digits += std::string(digits.empty() ? "" : ",") + "'" + std::to_string(d) + "'";
    std::string cells;
    for (int item = 1; item <= header_.nItem; ++item)
        cells += std::string(item == 1 ? "" : " + ") + "coalesce(" + schema::AnswerColumn(item) +
                 " IN (" + digits + "), 0)";
    try {
        Connection& db = *connection();
        auto answers = db.prepare("SELECT coalesce(sum(" + cells + "), 0) FROM " +
                                  std::string(schema::kSheetsTable));
        if (answers.step()) out.value.answerCells = answers.column(0).integer();
        auto key = db.prepare("SELECT " + cells + " FROM " + std::string(schema::kKeyTable) +
                              " WHERE rowid = (SELECT min(rowid) FROM " + schema::kKeyTable + ")");
        if (key.step()) out.value.keyCells = key.column(0).integer();
    } catch (const DbError& e) {
        out.error = Error(SessionErrorKind::Failed, Connection::ErrorText(e.code(), e.what()));
    }
    return out;
}

SessionError
ExamSession::writeHeaderField(HeaderField field, const std::string& text,
                              const std::function<bool(const ChoicesOutOfRange&)>& goOnOutOfRange) {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    const HeaderColumn& target = kHeaderColumns.at(static_cast<size_t>(field));
    if (target.rule == FieldRule::Fixed) return {};
    RecordSet* rs = views_.header.Recordset();
    if (!rs || rs->recordCount() == 0) return {};
    std::string* stored = HeaderTextOf(header_, field);
    std::optional<int32_t> year;
    std::optional<uint8_t> choices;
    Value value;
    switch (target.rule) {
    case FieldRule::Text:
        if (std::string tooLong = HeaderTextTooLong(static_cast<int>(field), text);
            !tooLong.empty())
            return Error(SessionErrorKind::TextTooLong, tooLong);
        value = Value(text);
        break;
    case FieldRule::Year:
        year = YearForWriteBack(text);
        if (!year) return Error(SessionErrorKind::InvalidValue, kYearInvalid);
        value = Value(static_cast<long long>(*year));
        break;
    case FieldRule::Choices:
        choices = ChoicesForWriteBack(text);
        if (!choices) return Error(SessionErrorKind::InvalidValue, kChoicesOutOfRange);
        if (goOnOutOfRange) {
            const Outcome<ChoicesOutOfRange> outOfRange = countOutOfRange(*choices);
            if (!outOfRange.ok()) return outOfRange.error;
            if (outOfRange.value.any() && !goOnOutOfRange(outOfRange.value))
                return Error(SessionErrorKind::Declined, "ไม่ได้เปลี่ยนจำนวนตัวเลือก");
        }
        value = Value(static_cast<long long>(*choices));
        break;
    case FieldRule::Fixed:
        return {};
    }
    try {
        rs->moveFirst();
        rs->edit();
        rs->setField(target.column, value);
        rs->update();
    } catch (const std::exception& e) {
        if (rs->editing()) rs->cancelUpdate();
        return Error(SessionErrorKind::StoreFailed, std::string("บันทึกข้อมูลส่วนหัวไม่ได้\n") + e.what());
    }
    // The header changes only once the file holds the value.
    if (stored) *stored = text;
    if (year) header_.Yearr = *year;
    if (choices) header_.nChoice = *choices;
    recordStep(std::string("แก้") + kHeaderFieldNames.at(static_cast<size_t>(field)));
    return {};
}

std::string ExamSession::headerFieldText(HeaderField field) const {
    switch (field) {
    case HeaderField::FileName:
        return fileName_;
    case HeaderField::Year:
        return std::to_string(header_.Yearr);
    case HeaderField::Items:
        return std::to_string(header_.nItem);
    case HeaderField::Choices:
        return std::to_string(header_.nChoice);
    default:
        return *HeaderTextOf(const_cast<TestHeader&>(header_), field);
    }
}

void ExamSession::rereadAfterFailedAnalysis(bool analysed) {
    // What the file holds now (the previous results after a rollback, the
    // new ones when only the report failed) is what the views show.
    try {
        if (!analysed) views_.sheets.Refresh();
        views_.key.Refresh();
        views_.results.Refresh();
        views_.stats.Refresh();
    } catch (const std::exception&) {}
}

Outcome<std::string> ExamSession::analyse(const AnalysisRequest& request) {
    Outcome<std::string> out;
    if (!open_ || !views_.sheets.isOpen()) {
        out.error = Error(SessionErrorKind::NoFileOpen, {});
        return out;
    }
    // The results follow the data: no step of the edit history.
    EditHistory::Pause notAStep(history_);
    if (sheetCount() == 0) {
        out.error = Error(SessionErrorKind::NoSheets, kNoSheetsToAnalyse);
        return out;
    }
    if (request.goOnAfterChecks) {
        // Asked before the analysis: the checks need a read of their own.
        CheckFindings findings;
        try {
            findings.lines =
                SheetWarnings(views_.sheets.Recordset()->connection(), header_.nItem,
                              header_.nChoice, &findings.keyedItems,
                              request.progress ? *request.progress : NoProgress(), sheetCount());
        } catch (const JobCancelled& e) {
            out.error = Error(SessionErrorKind::Cancelled, e.what());
            return out;
        } catch (const std::exception&) {
            findings = {}; // the analysis reports what is wrong with the file
        }
        // Without any key the analysis refuses anyway, and says why.
        if (!findings.lines.empty() && findings.keyedItems > 0 &&
            !request.goOnAfterChecks(findings)) {
            out.error = Error(SessionErrorKind::Declined, {});
            return out;
        }
    }
    std::vector<std::string> found;
    auto tellFound = [&] {
        if (request.tellFindings && !found.empty()) request.tellFindings(found);
        found.clear();
    };
    if (request.startingRun) request.startingRun();
    state_.AnalysisKind = static_cast<int16_t>(request.technique);
    AnalysisContext ctx = context();
    if (!request.goOnAfterChecks && request.tellFindings) ctx.sheetFindings = &found;
    ctx.progress = request.progress;
    try {
        RunTechnique(ctx, request.technique, FanTableDir(ProgramDir()));
    } catch (const JobCancelled& e) {
        tellFound();
        rereadAfterFailedAnalysis(false);
        out.error = Error(SessionErrorKind::Cancelled, e.what());
        return out;
    } catch (const AnalysisError& e) {
        tellFound();
        rereadAfterFailedAnalysis(false);
        out.error = Error(SessionErrorKind::AnalysisRefused, e.what());
        return out;
    } catch (const std::exception& e) {
        tellFound();
        rereadAfterFailedAnalysis(false);
        out.error = Error(SessionErrorKind::Failed, e.what());
        return out;
    }
    tellFound();
    resultsTechnique_ = request.technique;
    keyOfResults_ = keyRow();
    try {
        if (request.sheetOrderAfter) {
            OrderSheets(views_.sheets, *request.sheetOrderAfter);
        }
        RereadResultViews(views_);
        if (request.writeReport) {
            state_.ReportFileName = WriteAnalysisReport(views_, state_, fileName_, header_,
                                                        request.reportTerm.value_or(header_.Term));
            out.value = state_.ReportFileName;
        }
    } catch (const std::exception& e) {
        rereadAfterFailedAnalysis(true);
        out.error = Error(SessionErrorKind::ReportFailed, e.what());
    }
    return out;
}

std::vector<Value> ExamSession::keyRow() {
    std::vector<Value> key;
    if (!views_.key.isOpen()) return key;
    try {
        Connection& db = views_.key.Recordset()->connection();
        auto st = db.prepare("SELECT * FROM TKey ORDER BY rowid LIMIT 1");
        if (st.step())
            for (int i = 0; i < st.columnCount(); ++i)
                key.push_back(st.column(i));
    } catch (const std::exception&) {}
    return key;
}

const char* const kResultsOutdatedNotice =
    "ผลการวิเคราะห์นี้ไม่ตรงกับข้อมูลปัจจุบัน เฉลย จำนวนตัวเลือก หรือกระดาษคำตอบเปลี่ยนหลังวิเคราะห์";
const char* const kResultsUnknownNotice =
    "ไม่ทราบว่าผลการวิเคราะห์นี้ตรงกับข้อมูลปัจจุบันหรือไม่ ไฟล์ไม่ได้บันทึกข้อมูลที่ใช้วิเคราะห์ไว้";

std::string ResultsCurrencyNotice(ResultsCurrency currency) {
    switch (currency) {
    case ResultsCurrency::Outdated:
        return kResultsOutdatedNotice;
    case ResultsCurrency::Unknown:
        return kResultsUnknownNotice;
    case ResultsCurrency::NoResults:
    case ResultsCurrency::Current:
        break;
    }
    return {};
}

namespace {

// The key row's answer fields, X1..Xn, by item (index 0 unused).
std::vector<std::string> KeyTexts(Connection& db) {
    std::vector<std::string> key;
    auto st =
        db.prepare(std::string("SELECT * FROM ") + schema::kKeyTable + " ORDER BY rowid LIMIT 1");
    if (!st.step()) return key;
    key.push_back({});
    for (int item = 1;; ++item) {
        int column = -1;
        for (int i = 0; i < st.columnCount(); ++i)
            if (SameName(st.columnName(i), schema::AnswerColumn(item))) column = i;
        if (column < 0) break;
        key.push_back(st.column(column).text());
    }
    return key;
}

// What StoredResultsCurrency() tells, with the fingerprint of the data as
// it is now asked for only when the file recorded one.
ResultsCurrency StoredCurrency(Connection& db, const std::function<std::string()>& dataNow) {
    try {
        // Nothing stored yet: nothing to be out of date.
        auto count = db.prepare(std::string("SELECT count(*) FROM ") + schema::kResultsTable);
        if (!count.step() || count.columnInt(0) == 0) return ResultsCurrency::NoResults;
        if (const std::optional<std::string> recorded = ResultsFingerprint(db))
            return *recorded == dataNow() ? ResultsCurrency::Current : ResultsCurrency::Outdated;
        // Without the record the keyed choices the results marked still
        // tell a key changed since.
        const std::vector<std::string> key = KeyTexts(db);
        auto marks =
            db.prepare(std::string("SELECT ItemNo, ChoiceNo, IsAns FROM ") + schema::kResultsTable);
        while (marks.step()) {
            const long long item = marks.columnInt(0);
            if (item < 1 || item >= static_cast<long long>(key.size())) continue;
            const bool keyed = key[static_cast<size_t>(item)] == std::to_string(marks.columnInt(1));
            if (keyed != (marks.columnInt(2) == 1)) return ResultsCurrency::Outdated;
        }
    } catch (const std::exception&) {}
    return ResultsCurrency::Unknown;
}

} // namespace

ResultsCurrency StoredResultsCurrency(Connection& db) {
    return StoredCurrency(db, [&db] { return DataFingerprint(db); });
}

std::string ExamSession::dataFingerprint(const std::shared_ptr<Connection>& db) {
    // Any write through this connection counts a change; one through
    // another, in this program or another, moves the data version; a field
    // added or widened moves the schema version.
    auto pragma = [&db](const char* name) {
        Statement st = db->prepare(std::string("PRAGMA ") + name);
        return st.step() ? st.columnInt(0) : -1;
    };
    const FingerprintOf now{db,
                            sqlite3_total_changes64(db->handle()),
                            pragma("data_version"),
                            pragma("schema_version"),
                            {}};
    FingerprintOf& last = fingerprint_;
    if (last.db.lock() != db || last.changes != now.changes ||
        last.dataVersion != now.dataVersion || last.schemaVersion != now.schemaVersion) {
        last = now;
        last.fingerprint = DataFingerprint(*db);
    }
    return last.fingerprint;
}

ResultsCurrency ExamSession::resultsCurrency() {
    if (!views_.results.isOpen()) return ResultsCurrency::NoResults;
    const std::vector<Value> now = keyRow();
    if (now.empty()) return ResultsCurrency::NoResults;
    const std::shared_ptr<Connection> db = connection();
    const ResultsCurrency stored = StoredCurrency(*db, [&] { return dataFingerprint(db); });
    // Without the record, a key typed in this session since the analysis
    // (the total field is the scoring's to write, not part of the key).
    if (stored == ResultsCurrency::Unknown && now.size() == keyOfResults_.size() &&
        !std::equal(now.begin(), now.end() - 1, keyOfResults_.begin()))
        return ResultsCurrency::Outdated;
    return stored;
}

bool ExamSession::scoresOutdated() {
    if (!views_.sheets.isOpen()) return false;
    try {
        const std::shared_ptr<Connection> db = connection();
        const std::optional<std::string> recorded = ScoresFingerprint(*db);
        return recorded && *recorded != dataFingerprint(db);
    } catch (const std::exception&) {
        return false;
    }
}

SessionError ExamSession::totalSheets() {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    if (sheetCount() == 0) return {};
    AnalysisContext ctx = context();
    EditHistory::Pause notAStep(history_);
    try {
        const std::string fingerprint = TotalSheets(ctx);
        RecordScoresFingerprint(*connection(), fingerprint);
    } catch (const std::exception& e) {
        return Error(SessionErrorKind::Failed, e.what());
    }
    return {};
}

Outcome<std::string> ExamSession::sheetGroup(long long rowid) {
    Outcome<std::string> out;
    if (!open_) {
        out.error = Error(SessionErrorKind::NoFileOpen, {});
        return out;
    }
    try {
        Connection& db = *connection();
        bool hasTable = false;
        for (const std::string& t : db.tableNames())
            hasTable = hasTable || SameName(t, schema::kSheetGroupTable);
        if (!hasTable) return out;
        auto st =
            db.prepare(std::string("SELECT ") + schema::kGroupLabel + " FROM " +
                       schema::kSheetGroupTable + " WHERE " + schema::kGroupSheetRowid + " = ?");
        st.bind(1, rowid);
        if (st.step()) out.value = st.column(0).text();
    } catch (const std::exception& e) {
        out.error = Error(SessionErrorKind::Failed, e.what());
    }
    return out;
}

namespace {

// Characters, as the engine's length() counts them in a UTF-8 text.
size_t CharacterCount(const std::string& s) {
    return static_cast<size_t>(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace

SessionError ExamSession::setSheetGroup(long long rowid, const std::string& label) {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    if (CharacterCount(label) > static_cast<size_t>(schema::kGroupLabelSize))
        return Error(SessionErrorKind::TextTooLong,
                     "ชื่อกลุ่มยาวเกิน " + std::to_string(schema::kGroupLabelSize) + " ตัวอักษร");
    return writeTiedTexts(schema::SheetGroupTableSql(), schema::kSheetGroupTable,
                          schema::kGroupSheetRowid, schema::kGroupLabel, {{rowid, label}});
}

SessionError
ExamSession::writeTiedTexts(const std::string& tableSql, const char* table, const char* rowidColumn,
                            const char* textColumn,
                            const std::vector<std::pair<long long, std::string>>& rows) {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    try {
        Connection& db = *connection();
        db.requireSameFile();
        {
            Transaction tx(db);
            db.exec(tableSql);
            tx.commit();
        }
        // Before the texts are written, so that they are recorded.
        history_.followTiedTables();
        Transaction tx(db);
        auto remove =
            db.prepare(std::string("DELETE FROM ") + table + " WHERE " + rowidColumn + " = ?");
        // An update of a sheet's row, not a replace: the engine deletes the
        // replaced row without telling the history.
        auto write = db.prepare(std::string("INSERT INTO ") + table + " (" + rowidColumn + ", " +
                                textColumn + ") VALUES (?, ?) ON CONFLICT(" + rowidColumn +
                                ") DO UPDATE SET " + textColumn + " = excluded." + textColumn);
        for (const auto& [rowid, text] : rows) {
            Statement& st = text.empty() ? remove : write;
            st.bind(1, rowid);
            if (!text.empty()) st.bind(2, text);
            st.run();
        }
        tx.commit();
    } catch (const DbError& e) {
        return Error(SessionErrorKind::StoreFailed, Connection::ErrorText(e.code(), e.what()));
    } catch (const std::exception& e) {
        return Error(SessionErrorKind::Failed, e.what());
    }
    return {};
}

Outcome<std::map<long long, std::string>> ExamSession::sheetNames() {
    Outcome<std::map<long long, std::string>> out;
    if (!open_) {
        out.error = Error(SessionErrorKind::NoFileOpen, {});
        return out;
    }
    try {
        out.value = LoadSheetNames(*connection());
    } catch (const std::exception& e) {
        out.error = Error(SessionErrorKind::Failed, e.what());
    }
    return out;
}

SessionError
ExamSession::setSheetNames(const std::vector<std::pair<long long, std::string>>& names) {
    return writeTiedTexts(schema::SheetNameTableSql(), schema::kSheetNameTable,
                          schema::kNameSheetRowid, schema::kSheetName, names);
}

SessionError ExamSession::deleteCurrentSheet() {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    RecordSet* rs = views_.sheets.Recordset();
    if (!rs) return Error(SessionErrorKind::NoFileOpen, {});
    try {
        Connection& db = rs->connection();
        const long long rowid = rs->bookmark();
        Transaction tx(db);
        // The sheet's own rows first: a rowid used again by a later sheet
        // must find none of them.
        RemoveTiedRows(db, rowid);
        rs->deleteCurrent();
        tx.commit();
    } catch (const DbError& e) {
        return Error(SessionErrorKind::StoreFailed, Connection::ErrorText(e.code(), e.what()));
    } catch (const std::exception& e) {
        return Error(SessionErrorKind::Failed, e.what());
    }
    return {};
}

SessionError ExamSession::orderSheets(SheetOrder order) {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    try {
        OrderSheets(views_.sheets, order);
    } catch (const std::exception& e) {
        return Error(SessionErrorKind::Failed, e.what());
    }
    return {};
}

Outcome<ReportData> ExamSession::reportData() {
    Outcome<ReportData> out;
    try {
        out.value = LoadReportData(views_, state_);
    } catch (const std::exception& e) {
        out.error = Error(SessionErrorKind::Failed, e.what());
    }
    return out;
}

Outcome<RawData> ExamSession::rawData() {
    Outcome<RawSheetsInOrder> sheets = rawSheets();
    Outcome<RawData> out;
    out.error = sheets.error;
    if (!sheets.ok()) return out;
    try {
        out.value.key = std::move(sheets.value.key);
        for (size_t i = 0, n = sheets.value.sheets->count(); i < n; ++i)
            out.value.sheets.push_back(sheets.value.sheets->next());
    } catch (const std::exception& e) {
        out.error = Error(SessionErrorKind::Failed, e.what());
    }
    return out;
}

Outcome<RawSheetsInOrder> ExamSession::rawSheets() {
    Outcome<RawSheetsInOrder> out;
    if (!open_) {
        out.error = Error(SessionErrorKind::NoFileOpen, {});
        return out;
    }
    try {
        OrderSheets(views_.sheets, SheetOrder::ByCode);
        if (sheetCount() == 0) {
            out.error = Error(SessionErrorKind::NoSheets, kNoSheetsToPrint);
            return out;
        }
        out.value.key = LoadRawKey(views_);
        out.value.sheets = ReadRawSheets(views_);
    } catch (const std::exception& e) {
        out.error = Error(SessionErrorKind::Failed, e.what());
    }
    return out;
}

} // namespace ia

namespace ia {

void ExamSession::attachHistory() {
    if (!keepHistory_ || copy_) return;
    history_.attach(connection());
    if (onHistoryCleared) onHistoryCleared();
}

void ExamSession::detachHistory() {
    if (!history_.attached()) return;
    history_.detach();
    if (onHistoryCleared) onHistoryCleared();
}

void ExamSession::recordStep(const std::string& description) {
    std::optional<EditStep> step;
    try {
        step = history_.takeStep(description);
    } catch (const DbError&) {
        return; // the change stays; only its undo is lost
    }
    if (step && onStepRecorded) onStepRecorded(*step);
}

SessionError ExamSession::swapStep(long long stepId) {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    try {
        history_.swap(stepId);
    } catch (const DbError& e) {
        return Error(SessionErrorKind::StoreFailed, Connection::ErrorText(e.code(), e.what()));
    }
    try {
        views_.sheets.Refresh();
        views_.key.Refresh();
        views_.header.Refresh();
        ReadHeader(views_.header, header_);
    } catch (const std::exception& e) {
        return Error(SessionErrorKind::Failed, e.what());
    }
    return {};
}

SessionError ExamSession::undoStep(long long stepId) {
    return swapStep(stepId);
}

SessionError ExamSession::redoStep(long long stepId) {
    return swapStep(stepId);
}

void ExamSession::forgetStep(long long stepId) {
    history_.forget(stepId);
}

Outcome<PasteOutcome>
ExamSession::pasteBlock(int position, int column, const std::string& text,
                        const std::function<bool(int overwritten)>& goOnOverwriting) {
    Outcome<PasteOutcome> out;
    RecordSet* rs = views_.sheets.Recordset();
    if (!open_ || !rs) {
        out.error = Error(SessionErrorKind::NoFileOpen, {});
        return out;
    }
    std::vector<long long> rowids;
    for (int i = 0; i < rs->recordCount(); ++i)
        rowids.push_back(rs->rowidAt(i));
    try {
        out.value = PasteBlock(rs->connection(), rowids, position, column, text, header_.nItem,
                               header_.nChoice, goOnOverwriting);
        if (out.value.declined || !out.value.errors.empty()) return out;
        recordStep("วางข้อมูลจากตาราง");
        views_.sheets.Refresh();
    } catch (const std::exception& e) {
        out.error = Error(SessionErrorKind::Failed, e.what());
    }
    return out;
}

SessionError ExamSession::rereadAfterImport() {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    recordStep("นำเข้ากระดาษคำตอบ");
    try {
        views_.key.Refresh();
        views_.sheets.Refresh();
    } catch (const std::exception& e) {
        return Error(SessionErrorKind::Failed, e.what());
    }
    return {};
}

SessionError ExamSession::changeKey(int item, const Value& key) {
    if (!open_) return Error(SessionErrorKind::NoFileOpen, {});
    if (item < 1 || item > header_.nItem)
        return Error(SessionErrorKind::InvalidValue, "แก้เฉลยไม่ได้: ไม่มีข้อ " + std::to_string(item));
    try {
        // The views' connection: the one whose history records the change.
        RecordSet* rs = views_.key.Recordset();
        if (!rs) return Error(SessionErrorKind::NoFileOpen, {});
        Connection& db = rs->connection();
        Transaction tx(db);
        db.prepare(std::string("UPDATE ") + schema::kKeyTable + " SET " +
                   schema::AnswerColumn(item) + " = ? WHERE rowid = (SELECT min(rowid) FROM " +
                   schema::kKeyTable + ")")
            .bind(1, key)
            .run();
        tx.commit();
    } catch (const DbError& e) {
        return Error(SessionErrorKind::StoreFailed,
                     "แก้เฉลยไม่ได้\n" + Connection::ErrorText(e.code(), e.what()));
    }
    recordStep("เปลี่ยนเฉลยข้อ " + std::to_string(item));
    try {
        views_.key.Refresh();
    } catch (const std::exception&) {}
    return {};
}

} // namespace ia
