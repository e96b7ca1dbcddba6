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

// The bytes of a text file as UTF-8 without a byte-order mark. Auto: a
// UTF-8 or UTF-16 byte-order mark decides; otherwise text that is valid
// UTF-8 is UTF-8 and anything else code page 874 (what Thai spreadsheets
// on Windows save). False with a Thai message when the bytes cannot be
// read in the given encoding.
bool DecodeText(std::string_view bytes, TextEncoding enc, std::string& utf8, std::string& error);

// Comma, semicolon or tab: the one that occurs most often outside quotes
// in the first line (comma when none does).
char DetectDelimiter(std::string_view text);

// Records of delimited text: quoted fields may hold the delimiter, doubled
// quotes and line breaks; CRLF and LF both end a record. A last empty line
// gives no record.
TextTable ParseDelimited(std::string_view text, char delimiter);

// The text without spaces, tabs and line breaks at either end.
std::string Trimmed(std::string_view s);

// A lower-case copy for comparing Latin words (Thai stays as it is).
std::string LowerAscii(std::string_view s);

// The number of characters (not bytes) of UTF-8 text.
int CharCount(std::string_view utf8);

} // namespace ia
