// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A table of texts as a spreadsheet shows a source: rows and columns
// numbered from 1 on the screen, from 0 here.
#include <string>
#include <string_view>
#include <vector>

namespace ia {

using TextRow = std::vector<std::string>;
using TextTable = std::vector<TextRow>;

enum class TextEncoding { Auto, Utf8, Utf16, Cp874 };

// "utf-8", "utf-16" or "cp874" (as the command line takes it); false for
// any other name.
bool ParseEncodingName(std::string_view name, TextEncoding& enc);

// The limits of what an import reads: past them a source is refused with
// the place where it went past, never read into memory without end. The
// command line's help states them.
inline constexpr long long kMaxSourceBytes = 64ll << 20; // a source file, and one
                                                         // member of a workbook unpacked
inline constexpr size_t kMaxLineBytes = 1 << 20;         // one line of text
inline constexpr size_t kMaxCellBytes = 4096;            // one cell
inline constexpr int kMaxLeadingColumns = 64;            // columns besides the answers
inline constexpr long long kMaxTableCells = 16ll << 20;  // the cells of a whole table
inline constexpr size_t kQuotedCellChars = 40;           // of a cell quoted in a message

// The bytes of a text file as UTF-8 without a byte-order mark. Auto: a
// UTF-8 or UTF-16 byte-order mark decides; otherwise text that is valid
// UTF-8 is UTF-8, and text that is valid code page 874 (what Thai
// spreadsheets on Windows save) is that. A byte-order mark must agree with
// the text and the encoding given; a byte that is no character of the
// encoding and a NUL are refused with their row and column. False with the
// Thai message then.
bool DecodeText(std::string_view bytes, TextEncoding enc, std::string& utf8, std::string& error);

// The bytes of a source file, at most kMaxSourceBytes of them: false with
// the Thai message for a file that cannot be opened, is no regular file (a
// device, a pipe, a folder) or is larger.
bool ReadSourceFile(const std::string& path, std::string& bytes, std::string& error);

// A cell's text as a message quotes it: at most kQuotedCellChars
// characters, and control characters and direction overrides shown escaped.
std::string QuotedCell(std::string_view text);

// Control characters (but line breaks and tabs) and the bidirectional
// overrides of text shown as \xNN or \u{NNNN}, so that a message shows
// what a source holds and never steers the terminal.
std::string EscapedForTerminal(std::string_view text, bool keepLineBreaks = true);

// Comma, semicolon or tab: the one that occurs most often outside quotes
// in the first line (comma when none does).
char DetectDelimiter(std::string_view text);

// Records of delimited text: quoted fields may hold the delimiter, doubled
// quotes and line breaks; CRLF and LF both end a record. A last empty line
// gives no record.
TextTable ParseDelimited(std::string_view text, char delimiter);

// The size of a spreadsheet's sheet: references past it name no cell.
inline constexpr long long kSheetRows = 1'048'576;
inline constexpr long long kSheetColumns = 16'384;

// How much of a table an import keeps (see the limits above).
struct TableLimits {
    int columns = static_cast<int>(kSheetColumns);
    long long cells = kMaxTableCells;
    size_t lineBytes = kMaxLineBytes;
    size_t cellBytes = kMaxCellBytes;
};

// "แถว r คอลัมน์ c: what", the place of a message about a source.
std::string AtCell(long long row, long long col, const std::string& what);

// ParseDelimited within limits: false with the Thai message, naming the
// row and column, at the first line, cell or column past them.
bool ParseDelimitedWithin(std::string_view text, char delimiter, const TableLimits& limits,
                          TextTable& table, std::string& error);

// Whether a spreadsheet program would take text as a formula (it begins
// with "=", "+", "-", "@", a tab or a carriage return, and is no plain
// number such as "-2.5"), or as such a text behind the apostrophe that
// guards it.
bool NeedsFormulaGuard(std::string_view text);

// A text as one CSV field: led by an apostrophe when NeedsFormulaGuard (the
// mark spreadsheet programs honour: what follows is text), quoted when it
// holds a comma, a quote or a line break.
std::string CsvText(std::string_view text);

// A CSV field read back: the guarding apostrophe CsvText added is dropped,
// so that an export imported again gives exactly what was exported.
std::string WithoutFormulaGuard(std::string_view field);

// The text without spaces, tabs and line breaks at either end.
std::string Trimmed(std::string_view s);

// A lower-case copy for comparing Latin words (Thai stays as it is).
std::string LowerAscii(std::string_view s);

// The number of characters (not bytes) of UTF-8 text.
int CharCount(std::string_view utf8);

} // namespace ia
