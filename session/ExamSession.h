// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exam file in hand and everything done to it, without any widget: the
// window and the command line both go through it, so that each flow (create
// or replace, open, a header field written back, the analysis, the inputs of
// the printouts, totalling, sorting) exists once. Nothing here asks the user
// or prints: a refusal or failure comes back as a value with its Thai text,
// and the caller decides how to show it.

#include "analysis/Analysis.h"
#include "analysis/AnalysisState.h"
#include "examfile/DataView.h"
#include "examfile/ExamState.h"
#include "examfile/FileErrors.h"
#include "examfile/WriterLock.h"
#include "exchange/BlockPaste.h"
#include "report/RawData.h"
#include "report/ReportModel.h"
#include "session/EditHistory.h"
#include "session/Technique.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ia {

namespace scan {
struct AssembledSheet;
struct KeptPage;
} // namespace scan

enum class SessionErrorKind {
    None,
    NotExamFile,     // refused before anything reads it (missing, locked, foreign, damaged)
    OpenFailed,      // recognised, but binding or reading it failed
    NoFileOpen,      // the flow needs an open file
    AlreadyExists,   // create without replace: a file has the name
    FolderInTheWay,  // create without replace: a folder has the name
    BackupRefused,   // the file to be replaced is in use or cannot be moved aside: both stay
    CreateFailed,    // the folder, or the creation itself
    TextTooLong,     // a header text longer than its field
    InvalidValue,    // a header number the file cannot take; the stored one stays
    StoreFailed,     // the engine refused to store a header field
    NoSheets,        // nothing to analyse or print
    Declined,        // the caller did not go on after the checks
    AnalysisRefused, // no keyed item, too few sheets: the file is unchanged
    Failed,          // the engine failed while working
    Cancelled,       // the user stopped the job: everything is as it was
    ReportFailed,    // the results are stored but the report file is not written
    PageRangeInvalid,
    NoPageSelected,
    OpenElsewhere, // another window of the program (or a writing command) has the file
    SourcesDiffer, // files to be pooled are not the same test (items or choices)
    KeysDiffer,    // files to be pooled hold different keys
};

struct SessionError {
    SessionErrorKind kind = SessionErrorKind::None;
    std::string message; // Thai, for the user; empty only for None

    explicit operator bool() const { return kind != SessionErrorKind::None; }
};

// A value, or why there is none.
template <typename T> struct Outcome {
    T value{};
    SessionError error;

    bool ok() const { return !error; }
};

// The order the answer sheets are read in (the grid, the raw printout).
enum class SheetOrder {
    AsStored, // as a freshly opened file reads them
    ByCode, // by the number the code begins with: the raw printout, "เรียงตามเลขที่"
    ByScore, // after an analysis
};

// The header panel's fields, in the panel's order.
enum class HeaderField { FileName, SubjectCode, Subject, Term, Year, Items, Choices, Teacher };

// The stored values a smaller number of choices would put out of range:
// answers and key cells a key can match now (one digit up to the file's
// number of choices) that it no longer could.
struct ChoicesOutOfRange {
    int newChoices = 0;
    long long answerCells = 0;
    long long keyCells = 0;

    bool any() const { return answerCells > 0 || keyCells > 0; }
};

// The question before such a change: how many answers and key cells fall
// out of range, and whether to change the number all the same.
std::string ChoicesChangeQuestion(const ChoicesOutOfRange& outOfRange);

// What the checks before an analysis found: one Thai line per kind of
// finding (empty sheets, empty or repeated codes, unkeyed items, answers out
// of range), and the number of keyed items.
// Whether the stored results still belong to the file's data.
enum class ResultsCurrency {
    NoResults, // nothing analysed is stored
    Current,   // computed from the key and sheets the file holds now
    Outdated,  // the key, the choices or the sheets changed since
    Unknown,   // the file does not record what they were computed from
};

// What every surface showing stored results says of them: empty for
// current results (and none), otherwise one Thai line.
std::string ResultsCurrencyNotice(ResultsCurrency currency);
extern const char* const kResultsOutdatedNotice;
extern const char* const kResultsUnknownNotice;

// The currency of the results stored in an exam file, as far as the file
// itself tells it (ExamSession::resultsCurrency() also knows the key as it
// was when the file was opened): for the work that reads the tables
// without a session (export).
ResultsCurrency StoredResultsCurrency(Connection& db);

struct CheckFindings {
    std::vector<std::string> lines;
    int keyedItems = 0;
};

struct AnalysisRequest {
    Technique technique = Technique::SimpleFormula25;
    // For a caller that asks before anything changes (the window): the
    // checks read the sheets first and, when they find anything and some
    // item is keyed (without a key the analysis refuses anyway), this is
    // asked; false ends the run (Declined) with the file unchanged.
    std::function<bool(const CheckFindings&)> goOnAfterChecks;
    // For a caller that only tells (the command line): the analysis checks
    // the sheets in the same read that scores them, and the findings are
    // told here before the run's outcome comes back, refusal or not.
    // Used only when goOnAfterChecks is unset.
    std::function<void(const std::vector<std::string>&)> tellFindings;
    // Called once the checks are passed, just before the technique runs (the
    // window shows from then on that it is busy).
    std::function<void()> startingRun;
    // The report file beside the exam file, as the analysis buttons write it.
    bool writeReport = true;
    // The term the report names, when the one typed differs from the stored.
    std::optional<std::string> reportTerm;
    // The order the sheets are read in afterwards (the window shows them by score).
    std::optional<SheetOrder> sheetOrderAfter;
    // Told the checks' and the technique's progress; a cancel ends the run
    // (Cancelled) with the file unchanged. None: nobody watches.
    Progress* progress = nullptr;
};

// How answer sheets read back are stored.
struct ScanStoreRequest {
    // Asked when a key sheet is among them and the file already holds a
    // typed key: true replaces it. None: the typed key stays.
    std::function<bool()> replaceTypedKey;
    Progress* progress = nullptr;
};

struct ScanStoreResult {
    int sheetsStored = 0;
    bool keySet = false;
    bool typedKeyKept = false; // a key sheet was read but the typed key stayed
    // Codes met twice (in the batch, or already in the file), as the import
    // tells them: stored all the same.
    std::vector<std::string> duplicates;
};

// A stored sheet decided again from its kept darkness.
struct RedecidedSheet {
    long long sheetRow = 0; // 0: the key sheet
    bool key = false;
    std::string code;
    std::vector<std::string> answers;
    std::map<int, std::string> decisions;
};

// The raw printout's input, read as the printout reaches each sheet.
struct RawSheetsInOrder {
    RawRecord key;
    std::unique_ptr<RawSheetReader> sheets;
};

struct CreatedFile {
    std::string path;
    std::string backupPath; // where the replaced file is kept; empty when none was
    std::string backupNotice; // "เก็บไฟล์เดิมไว้ที่ …", empty when none was kept
};

struct OpenOptions {
    // A file on a medium that takes no writes is worked on in a private
    // copy: the printout needs the results, not their storing.
    bool privateCopyWhenReadOnly = false;
    // Only the header is bound, for work that reads and writes the tables
    // itself (import, export): a large file's sheets are not listed for it.
    bool headerOnly = false;
    // The file stays this session's alone while it is open: a file another
    // window holds is refused (OpenElsewhere). Off only for work that never
    // writes the file.
    bool takeWriterLock = true;
};

// Reads the sheets in the order; the order stays until the file is opened
// again. Throws on an engine failure; the record bar's "เรียงเลขที่" runs it
// through the session.
void OrderSheets(DataView& sheets, SheetOrder order);

// Totals every sheet (Score and the key row's total, the statistics row) and
// re-reads the views that show them. Throws on an engine failure; the record
// bar's "รวมคะแนน" runs it through the session. Gives the fingerprint of
// the data totalled (DataFingerprint()), from the same read.
std::string TotalSheets(AnalysisContext& ctx);

class ExamSession {
  public:
    ExamSession();
    ~ExamSession();
    ExamSession(const ExamSession&) = delete;
    ExamSession& operator=(const ExamSession&) = delete;

    // Called before the session lets go of its views (another file opened,
    // the file in hand replaced), so that whoever shows them lets go first.
    std::function<void()> beforeViewsClosed;
    // The analysis shows the busy pointer through it; none by default.
    void setAnalysisHost(AnalysisHost* host);

    // --- the file

    // Makes a new exam file at path with the header (checked beforehand
    // with CheckNewHeader). A file or folder of that name is refused
    // (AlreadyExists, FolderInTheWay) unless replaceExisting; replaced, the
    // old one is kept as path + ".bak". The new file is not opened.
    Outcome<CreatedFile> create(const std::string& path, const TestHeader& header,
                                bool replaceExisting);

    // Recognises the file, checks its structure, binds the views and reads
    // the header. On failure the file in hand stays bound and shown. A file
    // open in another window is refused (OpenElsewhere); the lock taken on
    // it is held until the session closes it or opens another.
    SessionError open(const std::string& path, OpenOptions options = {});
    void close();
    // The file in hand is put aside while the header of a new one is typed:
    // its views stay bound (they are let go of once another file is opened
    // or the same one replaced), but no flow works on it any more.
    void putAside() { open_ = false; }
    // The file at the name in hand was replaced or deleted by another
    // program: the views let go of the old file, and what now has its name is
    // opened. A refusal leaves the views as they were.
    SessionError reopen();

    bool isOpen() const { return open_; }
    const std::string& fileName() const { return fileName_; }
    // False while a private copy of a read-only file is worked on.
    bool resultsStored() const { return !copy_; }
    const TestHeader& header() const { return header_; }
    ExamViews& views() { return views_; }
    AnalysisState& state() { return state_; }
    int sheetCount() const;
    // The engine's connection to the file in hand, shared with the views.
    std::shared_ptr<Connection> connection() const;

    // --- header fields

    // Writes a header field back to the file (the file name and the number
    // of items are fixed once the file exists: nothing is written). On a
    // refusal the stored value stays; headerFieldText tells it. A number of
    // choices that would put stored answers or key cells out of range is
    // first put to goOnOutOfRange with their count: false keeps the stored
    // number (Declined). None given: the change goes on. A change that puts
    // nothing out of range is not asked about.
    SessionError
    writeHeaderField(HeaderField field, const std::string& text,
                     const std::function<bool(const ChoicesOutOfRange&)>& goOnOutOfRange = {});
    // What a number of choices (1..5) would put out of range in the file in
    // hand; nothing when it is not smaller than the stored one.
    Outcome<ChoicesOutOfRange> countOutOfRange(int newChoices);
    // The field as the file holds it, as the header panel shows it.
    std::string headerFieldText(HeaderField field) const;

    // --- analysis

    // The checks, then the technique, storing its results in one
    // transaction; with writeReport also the report file, whose path comes
    // back. The file is unchanged by any error but ReportFailed.
    Outcome<std::string> analyse(const AnalysisRequest& request);

    // The technique of the results analysed since the file was opened;
    // none before the first analysis (the file may hold older results).
    std::optional<Technique> resultsTechnique() const { return resultsTechnique_; }
    // Whether the stored results still belong to the data: the fingerprint
    // the analysis recorded (AnalysisRunLog.h) against the data now, so that
    // a change made elsewhere shows too. Without one, the key changed since
    // the file was opened or the keyed choices the results marked no longer
    // being the key's still tell Outdated; otherwise it is Unknown.
    ResultsCurrency resultsCurrency();
    bool resultsOutdated() { return resultsCurrency() == ResultsCurrency::Outdated; }
    // ResultsCurrencyNotice() of resultsCurrency().
    std::string resultsNotice() { return ResultsCurrencyNotice(resultsCurrency()); }
    // Whether the sheets' stored scores were totalled (by the analysis or
    // totalSheets()) from another key or other answers than the file holds
    // now; false when the file does not record it.
    bool scoresOutdated();

    // --- totalling and sorting

    SessionError totalSheets();
    SessionError orderSheets(SheetOrder order);

    // --- groups of the sheets (pooled class files; edited in the grid)

    // The group label of the sheet of that rowid, "" when it has none.
    Outcome<std::string> sheetGroup(long long rowid);
    // Gives the sheet a group ("" takes it out of every group). The group
    // table is made on first use; a label longer than its field is refused
    // (TextTooLong) and the stored one stays.
    SessionError setSheetGroup(long long rowid, const std::string& label);

    // --- students' names (brought in with the sheets; shown, never typed)

    // The name of each sheet by its rowid; empty when the file keeps none.
    Outcome<std::map<long long, std::string>> sheetNames();
    // Names sheets, in one transaction (rowid, name; "" takes the name
    // away). The name table is made on first use. The caller records the
    // step (recordStep), as for any change.
    SessionError setSheetNames(const std::vector<std::pair<long long, std::string>>& names);

    // --- deleting a sheet

    // Deletes the current sheet of the sheets view with what the file keeps
    // beside it (its name, its group), in one transaction; the view's record
    // set is left after the deleted record, as RecordSet::deleteCurrent()
    // leaves it. The caller records the step.
    SessionError deleteCurrentSheet();

    // --- inputs of the printouts

    // (page counts and the charts' input: session/PrintInputs.h)
    Outcome<ReportData> reportData();
    // The key and every sheet in code order, as the raw printout lists them
    // (the sheets stay in that order afterwards).
    Outcome<RawData> rawData();
    // The same, the sheets read one at a time: what a printout of any
    // size holds. The session must stay open and unchanged meanwhile.
    Outcome<RawSheetsInOrder> rawSheets();

    // --- the edit history (the window's undo and redo)

    // From now on every file opened keeps the history of its changes until
    // it is closed (the window; the command line keeps none).
    void keepEditHistory() { keepHistory_ = true; }
    // Told each step as it is recorded, to be put on the window's stack.
    std::function<void(const EditStep&)> onStepRecorded;
    // Told when the history starts anew (a file opened or closed): every
    // step told before is gone.
    std::function<void()> onHistoryCleared;
    // The changes made since the last step (a cell typed, a sheet deleted)
    // become a step; nothing happens when there are none.
    void recordStep(const std::string& description);
    // Turns a recorded step back, or forward again, in one transaction, and
    // re-reads the views and the header. On an error the file is as it was.
    SessionError undoStep(long long stepId);
    SessionError redoStep(long long stepId);
    // The step will not be asked for again (its redo was dropped).
    void forgetStep(long long stepId);

    // --- edits the window makes

    // A block copied from a spreadsheet, pasted from the grid row `position`
    // (the sheets in the view's order; sheetCount(): the new-record row) and
    // `column`, all or nothing; one step. goOnOverwriting is asked with the
    // number of stored values it would replace (see PasteBlock).
    Outcome<PasteOutcome> pasteBlock(int position, int column, const std::string& text,
                                     const std::function<bool(int overwritten)>& goOnOverwriting);
    // An import has written into the file: it is one step, and the views
    // show what the file now holds.
    SessionError rereadAfterImport();
    // The key of an item (1..nItem) replaced, as the item statistics do it;
    // one step.
    SessionError changeKey(int item, const Value& key);
    // --- answer sheets printed and read back (session/ScannedSheets.cpp,
    // library session_scan, so that only the programs that scan link it)

    // The exam's identity printed in its sheets' QR codes; with
    // makeWhenMissing it is made and stored on first use, otherwise an
    // empty text means none was ever printed.
    Outcome<std::string> answerSheetExamId(bool makeWhenMissing);
    // Stores the sheets in one transaction, all or nothing: the student
    // sheets after the existing ones, the key by the key sheet (see
    // ScanStoreRequest), and every page's darkness and source with them.
    // A cancel or a failure leaves the file as it was.
    Outcome<ScanStoreResult> storeScannedSheets(const std::vector<scan::AssembledSheet>& sheets,
                                                const ScanStoreRequest& request);
    // The pages kept by earlier scans; none in a file that has never been scanned.
    Outcome<std::vector<scan::KeptPage>> keptScanPages();
    // Writes the answers of stored sheets decided again, in one transaction
    // (their codes stay). A sheet deleted or given another code since is
    // told in the error, and nothing is written.
    Outcome<int> storeRedecidedSheets(const std::vector<RedecidedSheet>& sheets,
                                      const ScanStoreRequest& request);

  private:
    // Writes each (sheet rowid, text) into one of the tables tied to the
    // sheets, made first if missing; an empty text removes the sheet's row.
    // Recorded by the edit history as one step.
    SessionError writeTiedTexts(const std::string& tableSql, const char* table,
                                const char* rowidColumn, const char* textColumn,
                                const std::vector<std::pair<long long, std::string>>& rows);
    SessionError swapStep(long long stepId);
    std::string dataFingerprint(const std::shared_ptr<Connection>& db);
    void attachHistory();
    void detachHistory();
    AnalysisContext context();
    void releaseFile(const std::string& path);
    void rereadAfterFailedAnalysis(bool analysed);

    std::vector<Value> keyRow();

    ExamViews views_;
    TestHeader header_;
    AnalysisState state_;
    AnalysisHost quietHost_;
    AnalysisHost* host_ = &quietHost_;
    std::string fileName_;
    bool open_ = false;
    std::unique_ptr<PrivateCopy> copy_;
    WriterLock lock_;
    std::optional<Technique> resultsTechnique_;
    std::vector<Value> keyOfResults_; // the key row when the results were last known current
    EditHistory history_;
    bool keepHistory_ = false;
    // The last DataFingerprint() read, with what tells whether the file
    // changed since: the notices of every panel after a burst of edits read
    // the sheets once.
    struct FingerprintOf {
        std::weak_ptr<Connection> db;
        long long changes = -1;
        long long dataVersion = -1;
        long long schemaVersion = -1;
        std::string fingerprint;
    };
    FingerprintOf fingerprint_;
};

} // namespace ia
