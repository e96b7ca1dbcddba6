// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "examfile/ExamState.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace ia {

constexpr int kMaxItems = 251;

// Creates a new exam file at path (which must not exist) with the full schema
// and its first rows, the header row taken from header. Returns 0 on success
// and 1 on any failure, with its Thai reason in *reason when given; a failed
// creation removes the file it had begun and never touches a file it did
// not create.
int CreateExamFile(const std::string& path, const TestHeader& header,
                   std::string* reason = nullptr);

// 1 when the file opens as a database holding a table named exactly "TVTQ",
// 0 otherwise (missing, locked, not a database). Never creates or changes
// the file.
int IsExamFile(const std::string& path);

// Whether a file that IsExamFile recognises has the structure the program
// reads: the header row with nItem 0..251 and nChoice, answer fields X1..Xn
// and the total in both sheet tables, the key row, the results and
// statistics tables, and nothing that runs by itself: no trigger, no view,
// and the known tables real tables. Checked before a file is bound, so that
// a damaged, foreign or crafted file is refused before anything reads it.
bool ExamStructureOk(const std::string& path);

// Refusal text for a file whose structure is not that of an exam file.
std::string BadStructureMessage(const std::string& path);

// What stands between a chosen file and the program, told apart so that
// the teacher knows whether to wait, look elsewhere or find a backup.
enum class ExamFileProblem {
    None,         // an exam file that can be bound
    NotFound,     // no file of that name
    NameTooLong,  // a name the file system cannot hold
    InUse,        // another program holds it locked (past the busy wait)
    Damaged,      // a database of ours, or one that says it is, that cannot be read
    NotExamFile,  // some other file
    BadStructure, // signed as an exam file, but not its tables, or holding code
};
ExamFileProblem DiagnoseExamFile(const std::string& path);
// The words the teacher is shown for a problem with path (empty for None).
std::string ExamFileProblemMessage(ExamFileProblem problem, const std::string& path);

// Why a chosen file cannot be bound, in the words the teacher is shown;
// empty when it can be.
std::string ExamFileRefusal(const std::string& path);

class Connection;

// The same, for a reader that goes on to read the file: every check is made
// through one read-only connection, left open in `reader` when the file can
// be bound (an empty refusal) and emptied otherwise, rather than through
// connections of their own that the reader would then open again.
std::string ExamFileRefusal(const std::string& path, std::optional<Connection>& reader);

// Every row of an exam table, in stored order, as the structure check reads
// the table's columns: a reader that prepares this same text on the checked
// connection is handed the statement from the connection's cache instead of
// parsing it again.
std::string AllRowsSql(const std::string& table);

// What became of an exam file about to be replaced.
struct ExamBackup {
    bool kept = false;      // the old file is now at backupPath
    std::string backupPath; // path + ".bak"
    std::string refusal;    // why it could not be kept (Thai), when not kept
};

// Keeps the file at path as path + ".bak" before a new file takes its name,
// replacing an older backup (one generation). A journal left beside it by a
// program that stopped while writing is played back into it first; one that
// cannot be played back goes along with it, so that it never reaches the new
// file. When the file cannot be renamed, nothing has changed. The caller has
// let go of every handle on the file first.
ExamBackup BackUpExamFile(const std::string& path);

// The message that tells where the replaced file was kept.
std::string BackupNotice(const std::string& backupPath);

// Files made before the group counts and the statistics row's nCase were
// 32-bit hold them as 16-bit fields. Widens the named fields of the table
// to 32 bits (every other field, the order of the fields, the rows and their
// rowids kept), inside the caller's transaction when there is one. Fields
// already wide are left alone.
void WidenCountFields(Connection& db, const std::string& table,
                      std::initializer_list<const char*> columns);

// Creates, when it is missing, the index of the sheets by score that the
// score-ordered sheet view reads (and the table-ordered one, being smaller
// than the table). It belongs to this program; the tables stay as they are.
void EnsureScoreIndex(Connection& db);

// The CREATE TABLE statements of an exam file with nItem answer fields, in
// the order the tables are created.
std::vector<std::string> ExamSchemaSql(int nItem);

} // namespace ia
