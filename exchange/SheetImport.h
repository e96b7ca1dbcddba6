// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answer sheets from delimited text, .xlsx workbooks, online quiz exports
// and fixed-width scanner output. The whole source is read and checked
// before anything is written: a source with any bad cell imports nothing.
#include "examfile/OutputFile.h"
#include "examfile/Progress.h"
#include "exchange/ColumnRoles.h"
#include "exchange/TextTable.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ia {

class Connection;

enum class SourceKind { Delimited, Xlsx, Quiz, Fixed };
enum class HeaderMode { Auto, Yes, No };
enum class ImportMode { Append, Replace, KeyOnly };
// Which of two sends of one code a source with submission times keeps.
enum class KeepRows { Last, First, All };

// Choice numbers of a quiz's option texts: (question, option text), the
// question as its header text, its number or "ข้อ n".
using QuizOptionMap = std::map<std::pair<std::string, std::string>, int>;

struct ImportOptions {
    TextEncoding encoding = TextEncoding::Auto;
    std::string sheet; // workbook sheet; empty: the first (or "คำตอบ" of our own export)
    HeaderMode header = HeaderMode::Auto;
    std::string codeColumn; // header text or 1-based number; empty: the default
    QuizOptionMap quizOptions;
    std::string columns; // the teacher's roles, "code=D,answers=G:P" (ParseColumnRoles)
    KeepRows keep = KeepRows::Last;
    bool fixed = false;                            // a .txt file read as fixed-width columns
    int codeFrom = 0, codeTo = 0, answersFrom = 0; // character positions, 1-based
};

struct ImportedSheet {
    std::string code;
    std::vector<std::string> answers; // nItem texts, "" for no answer
    int row = 0;                      // as a spreadsheet numbers it
    std::string name;                 // from the name columns, "" when none
    std::string group; // from the group columns (ห้อง, โรงเรียน ...)
    std::string score; // the source's total, as written ("7 / 10")
    // Cells of the columns that carry the key (column, text), read once
    // every row is in.
    std::vector<std::pair<int, std::string>> keyCells;
};

// The text of one option of a form's question, by its choice number (0
// when the teacher has not numbered it).
struct OptionText {
    int item = 0;
    int choice = 0;
    std::string text;
};

// A question of a quiz export, with the option texts that carry no label
// (for the teacher to number), numbered already or not.
struct QuizQuestion {
    std::string header;
    int column = 0; // 1-based
    std::vector<std::string> unlabelled;
};

struct ImportPlan {
    SourceKind kind = SourceKind::Delimited;
    std::vector<ImportedSheet> sheets;
    bool hasKey = false;
    ImportedSheet key;
    bool hasHeader = false;
    int codeColumn = 0; // 1-based, 0 in a fixed-width file
    int headerRow = 0;  // 1-based, 0 when none
    SourceLayout layout = SourceLayout::Plain;
    std::vector<ColumnUse> roles; // of each column of a table
    std::vector<QuizQuestion> questions;
    std::vector<OptionText> optionTexts; // of the form's questions, numbered
    std::vector<std::string> skipped;    // attempts not finished, not imported
    std::vector<std::string> dropped;    // a code's other sends, not imported
    std::vector<std::string> errors; // "แถว r คอลัมน์ c: …", or one text for the whole source
    std::vector<std::string> warnings;   // imported anyway
    std::vector<std::string> duplicates; // codes met twice: the window asks, --strict refuses
    bool ok() const { return errors.empty(); }
};

// Whether the plan's columns are our own simple layout: the code (or a
// name standing for it) first, then only answers; anything else is worth
// showing to the teacher before it is trusted.
bool OwnLayout(const ImportPlan& plan);

// Whether a trimmed header text names the code column (เลขที่, รหัส, name,
// email, ...), letter case ignored.
bool IsCodeHeader(std::string_view text);

// Reads and checks a source file for an exam file of nItem items with
// nChoice choices; the kind comes from the content and the extension.
// Reports the rows checked to `progress`; a cancel throws JobCancelled.
ImportPlan ReadImportSource(const std::string& path, int nItem, int nChoice,
                            const ImportOptions& options, Progress& progress = NoProgress());

// The same over a table already read (delimited text or a workbook sheet);
// a first cell "Timestamp" or "ประทับเวลา" makes it a quiz export.
ImportPlan PlanFromTable(const TextTable& table, SourceKind kind, int nItem, int nChoice,
                         const ImportOptions& options, Progress& progress = NoProgress());

// The same over fixed-width text.
ImportPlan PlanFromFixedWidth(std::string_view text, int nItem, int nChoice,
                              const ImportOptions& options, Progress& progress = NoProgress());

// Reads a --options file: question header, option text, choice number.
bool ReadQuizOptionMap(const std::string& path, QuizOptionMap& map, std::string& error);

// The message for a refused source: up to 20 errors, then how many more.
std::string ErrorSummary(const std::vector<std::string>& errors);

// Fills plan.duplicates: codes twice in the source, and (for an append)
// codes already in the file. Empty codes are never duplicates.
void FindDuplicateCodes(ImportPlan& plan, const std::vector<std::string>& existingCodes);

// Whether the file's key has any item keyed.
bool HasTypedKey(Connection& db, int nItem);

// The codes of the sheets in the file.
std::vector<std::string> ExistingCodes(Connection& db);

// Why the plan may not be written in this mode, empty when it may: a
// replace by a source without a single sheet would only empty the file.
std::string ImportRefusal(const ImportPlan& plan, ImportMode mode);

// Writes a checked plan in one transaction: the sheets after the existing
// ones (append), instead of them (replace) or none (key only), and the key
// row when the source holds one. Throws DbError (nothing written then).
// Reports the sheets written to `progress`; a cancel throws JobCancelled
// and rolls the whole import back. `beforeCommit` runs once everything is
// written, right before the commit; what it throws rolls the import back
// too (a replace puts its backup in place there, so that the sheets are
// never replaced without it).
void ApplyImport(Connection& db, const ImportPlan& plan, ImportMode mode, int nItem,
                 Progress& progress = NoProgress(), const std::function<void()>& beforeCommit = {});

// The copy of the exam file beside itself (x.ans → x.ans.bak) taken before
// its sheets are replaced. The copy is made whole in a temporary file beside
// the backup first; it takes the backup's place, replacing the older backup,
// only when keep() is called once the import is written, right before it is
// committed (ApplyImport's beforeCommit): an import that is refused,
// cancelled or fails before leaves the backup that was there before it (if
// any) as it was, and a backup that cannot be put in place stops the import.
class ImportBackup {
  public:
    ImportBackup();
    ImportBackup(const ImportBackup&) = delete;
    ImportBackup& operator=(const ImportBackup&) = delete;
    // Not kept: the copy goes, the backup before it stays.
    ~ImportBackup();

    // False with the Thai reason in error when no copy could be taken (the
    // backup's name is a link or no regular file, the disk is full, ...);
    // the older backup is then as it was.
    bool take(const std::string& examPath, std::string& error);
    // The import is done: the copy replaces the older backup. False with the
    // Thai reason when it could not be put in place.
    bool keep(std::string& error);
    bool keep() {
        std::string ignored;
        return keep(ignored);
    }
    const std::string& path() const { return backupPath_; }

  private:
    std::string backupPath_;
    std::unique_ptr<OutputFile> copy_;
};

} // namespace ia
