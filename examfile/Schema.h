// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exam file's tables and columns: their names, sizes and meaning, in one
// place. Other programs read these files, so the tables, their columns and
// the columns' order stay exactly as they are; data of our own goes into new
// tables (or indexes) whose names start with "itemanalysis_", and a file
// without them stays valid. SQL elsewhere is built from these names, so that
// its text (and what is stored) is the same as when it was written out.
//
// Every column may be NULL. Each has a CHECK constraint named
// ck_<column>_<rule> (rule: text<size>, notempty, byte, int16, int32); when
// the engine refuses a value, ConstraintMessage() gives the Thai text.

#include <string>
#include <vector>

namespace ia::schema {

// --- TVTQ: the signature. One row whose VTQ is "vtq108"; a database holding
// a table of exactly this name is taken for an exam file.
inline constexpr const char* kSignatureTable = "TVTQ";
inline constexpr const char* kSignatureColumn = "VTQ"; // text(6), never ''
inline constexpr const char* kSignatureValue = "vtq108";

// --- TAData: the answer sheets, one row each, in the order typed.
inline constexpr const char* kSheetsTable = "TAData";
inline constexpr const char* kSheetCode = "Code"; // text(20): the student's code
inline constexpr int kSheetCodeSize = 20;
// Then X1..Xn (AnswerColumn): the answer to item i, one character, NULL or
// '' when left empty; n is Tinit.nItem.
inline constexpr const char* kSheetScore = "Score"; // int16: number right, set by the analysis

// --- TKey: the key row (the first row), laid out like a sheet.
inline constexpr const char* kKeyTable = "TKey";
inline constexpr const char* kKeyLabel = "FKey"; // text(5): "KEY"
inline constexpr int kKeyLabelSize = 5;
inline constexpr const char* kKeyLabelValue = "KEY";
// Then X1..Xn: the key of item i; NULL or '' is an unkeyed item (KeyRule.h).
// int16: the number of answer columns (items), set by the analysis.
inline constexpr const char* kKeyTotal = "Tot";

// --- Tinit: the test header, one row.
inline constexpr const char* kHeaderTable = "Tinit";
inline constexpr const char* kSubCode = "SubCode";         // text(20): subject code
inline constexpr const char* kSubName = "SubName";         // text(100): subject name
inline constexpr const char* kTerm = "Term";               // text(10): term, as typed
inline constexpr const char* kYear = "Yearr";              // int32: academic year (Buddhist era)
inline constexpr const char* kTeacherName = "TeacherName"; // text(50)
inline constexpr const char* kItemCount = "nItem";         // int16: items on the test, 0..251
inline constexpr const char* kChoiceCount = "nChoice";     // byte: choices per item
inline constexpr const char* kHeaderCaseCount = "nCase";   // int32: not written by this program
inline constexpr int kSubCodeSize = 20;
inline constexpr int kSubNameSize = 100;
inline constexpr int kTermSize = 10;
inline constexpr int kTeacherNameSize = 50;

// --- TOut: the results of the last analysis, one row per item and choice,
// item by item in choice order.
inline constexpr const char* kResultsTable = "TOut";
inline constexpr const char* kItemNo = "ItemNo";     // int16: item, from 1
inline constexpr const char* kChoiceNo = "ChoiceNo"; // byte: choice, from 1
inline constexpr const char* kIsAnswer = "IsAns";    // byte: 1 on the keyed choice
// int32 in new files, int16 in older ones (WidenCountFields widens them
// when a count does not fit): how many of the high and low group chose it.
inline constexpr const char* kHighCount = "H";
inline constexpr const char* kLowCount = "L";
// text(10) each, as printed: proportions of the high and low group, then
// (keyed choice) difficulty p, discrimination r, delta and Fisher's Zr (27 %
// only), or (distractor) the distractor's p and r.
inline constexpr const char* kHighProportion = "PH";
inline constexpr const char* kLowProportion = "PL";
inline constexpr const char* kDifficulty = "P";
inline constexpr const char* kDiscrimination = "r";
inline constexpr const char* kDelta = "Delta";
inline constexpr const char* kZr = "Zr";
inline constexpr const char* kExplain = "Explain"; // text(100): the judgement, Thai
inline constexpr int kResultTextSize = 10;
inline constexpr int kExplainSize = 100;

// --- TStat: the whole-test statistics of the last analysis, one row.
inline constexpr const char* kStatsTable = "TStat";
// int32 in new files, int16 in older ones (widened by the analysis when the
// number of sheets passes 32,767): the number of answer sheets analysed.
inline constexpr const char* kCaseCount = "nCase";
inline constexpr const char* kMaxScore = "MaxScore"; // int16
inline constexpr const char* kMinScore = "MinScore"; // int16
// text(20) each, as printed: mean, standard deviation, KR-20, standard
// error of measurement.
inline constexpr const char* kMean = "Xbar";
inline constexpr const char* kSd = "SD";
inline constexpr const char* kKr20 = "KR20";
inline constexpr const char* kSem = "SEmea";
// text(10) each: averages of p, r, delta and Zr over the keyed items.
inline constexpr const char* kAverageP = "Pav";
inline constexpr const char* kAverageR = "Rav";
inline constexpr const char* kAverageDelta = "Dav";
inline constexpr const char* kAverageZr = "Zrav";
// int16: the number of KEYED items the statistics are over, which is
// Tinit.nItem less the unkeyed items (not the header's number of items).
inline constexpr const char* kStatsItemCount = "nItem";
inline constexpr int kStatTextSize = 20;
inline constexpr int kAverageTextSize = 10;

// --- Our own: the index of the sheets by score that the score-ordered sheet
// view reads.
inline constexpr const char* kScoreIndex = "itemanalysis_TAData_Score";
// The edit history of the window (temporary tables, gone with the
// connection; never in the file): the statements that turn each change back,
// by step, and whether changes are being recorded.
inline constexpr const char* kUndoLogTable = "itemanalysis_undo_log";
inline constexpr const char* kUndoStateTable = "itemanalysis_undo_state";

// --- Our own: what the stored results were computed from, one row written
// by each analysis: a fingerprint of the header's number of items and
// choices, the key and every sheet (AnalysisRunLog.h). A file without it
// (older, or analysed by another program) cannot tell whether its results
// are current.
inline constexpr const char* kResultsBasisTable = "itemanalysis_ResultsBasis";
inline constexpr const char* kResultsFingerprint = "Fingerprint"; // text: 16 hex digits
// The same of the data the stored scores (TAData.Score) were last totalled
// from, by the analysis or by "รวมคะแนน".
inline constexpr const char* kScoresFingerprint = "ScoresFingerprint";

// --- Our own tables tied to an answer sheet by its rowid in TAData. Sorting
// and editing keep a sheet's rowid, and so do a backup copy (VACUUM INTO,
// the engine's backup) and an undone delete. VACUUM keeps the rowids of a
// table only while an index holds them (TAData has no INTEGER PRIMARY KEY;
// without an index the engine numbers the rows anew and closes the gaps
// deleted sheets left), so each table's SQL below also makes the score
// index on TAData (kScoreIndex): whoever makes a tied table makes its tie
// last. Run it with Connection::exec (more than one statement).
//
// The group of each answer sheet (its class, school, sex ...). Written when class
// files are pooled and when a label is edited; a sheet without a row here
// belongs to no group.
inline constexpr const char* kSheetGroupTable = "itemanalysis_SheetGroup";
inline constexpr const char* kGroupSheetRowid = "SheetRowid"; // INTEGER PRIMARY KEY: TAData.rowid
inline constexpr const char* kGroupLabel = "GroupLabel";      // TEXT, never ''
inline constexpr int kGroupLabelSize = 100;
// --- Our own: further named columns of a sheet kept beside it (ห้อง,
// โรงเรียน, เพศ ...), from which pooling may take the group label.
inline constexpr const char* kSheetColumnTable = "itemanalysis_SheetColumn";
inline constexpr const char* kColumnSheetRowid = "SheetRowid"; // TAData.rowid
inline constexpr const char* kColumnName = "ColumnName";       // TEXT
inline constexpr const char* kColumnValue = "ColumnValue";     // TEXT
// --- Our own: the student's name of an answer sheet, as a source brought
// it in; a sheet without a row here has no name.
inline constexpr const char* kSheetNameTable = "itemanalysis_SheetName";
inline constexpr const char* kNameSheetRowid = "SheetRowid"; // INTEGER PRIMARY KEY: TAData.rowid
inline constexpr const char* kSheetName = "Name";            // TEXT
// CREATE TABLE IF NOT EXISTS of each, with the index that ties it (above).
std::string SheetGroupTableSql();
std::string SheetColumnTableSql();
std::string SheetNameTableSql();
// The tables above, in the order a sheet's rows are removed with it.
std::vector<std::string> SheetTiedTables();

// --- Our own: the text of each option of a question as an imported form
// showed it, so that the statistics can name the option beside its number.
inline constexpr const char* kOptionTextTable = "itemanalysis_OptionText";
inline constexpr const char* kOptionItem = "Item";     // INTEGER: item, from 1
inline constexpr const char* kOptionChoice = "Choice"; // INTEGER: choice, from 1
inline constexpr const char* kOptionText = "Text";     // TEXT
std::string OptionTextTableSql();

// --- Our own: the answer sheets the program prints and reads back. The
// exam's identity, printed in every sheet's QR code so that a page of
// another exam is refused: one row, made when the first sheets are printed.
inline constexpr const char* kScanExamTable = "itemanalysis_scan_exam";
inline constexpr const char* kScanExamId = "ExamId";
// Every page read and stored: where it came from and every bubble's
// darkness, so that it can be decided again without the image.
inline constexpr const char* kScanPageTable = "itemanalysis_scan_page";
inline constexpr const char* kScanSheetRow = "SheetRow"; // rowid in TAData; 0 for the key sheet
inline constexpr const char* kScanSourcePath = "SourcePath";
inline constexpr const char* kScanSourcePage = "SourcePage";
inline constexpr const char* kScanSheetPage = "SheetPage";
inline constexpr const char* kScanCopy = "Copy";
inline constexpr const char* kScanIsKey = "IsKey";
inline constexpr const char* kScanCode = "Code";
inline constexpr const char* kScanFirstItem = "FirstItem";
inline constexpr const char* kScanDarkness = "Darkness";         // items ";", choices "/"
inline constexpr const char* kScanCodeDarkness = "CodeDarkness"; // columns ";", digits "/"
inline constexpr const char* kScanDecisions = "Decisions";       // "item=answer;…", 0 the code

// "X1".."Xn": the answer (TAData) or key (TKey) column of item i (from 1).
std::string AnswerColumn(int item);

// The sheets in the order of their codes read as numbers (the record
// source of the "เรียงตามเลขที่" order).
std::string SheetsByCodeSql();

// A column as the schema declares it.
struct Column {
    std::string name;
    enum Kind { Text, Byte, Int16, Int32 } kind;
    int size = 0;           // characters, for Text
    bool allowEmpty = true; // '' allowed (Text)
};

struct Table {
    std::string name;
    std::vector<Column> columns;
};

// The six tables of an exam file with nItem answer fields, in the order they
// are created. Both the creation and the structure check read it.
std::vector<Table> ExamTables(int nItem);

// The column's definition inside CREATE TABLE, its constraints included.
std::string ColumnSql(const Column& c);
// CREATE TABLE for the table.
std::string TableSql(const Table& t);

// The Thai text for the engine's message about one of the schema's named
// CHECK constraints ("ck_<column>_<rule>" anywhere in it); empty when the
// message names none.
std::string ConstraintMessage(const std::string& engineMessage);

} // namespace ia::schema
