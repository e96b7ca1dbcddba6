// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sources made in the tests, and the sheets of an exam file as rows.
#include <string>
#include <vector>

namespace iatest {

using Rows = std::vector<std::vector<std::string>>;

// Writes bytes to a file.
void WriteBytes(const std::string& path, const std::string& bytes);

// UTF-8 text as UTF-16 little-endian with its byte-order mark.
std::string Utf16WithBom(const std::string& utf8);

// The key row and then every sheet (code, answers), NULL read as "".
Rows ExamRows(const std::string& examPath, int nItem);

// A workbook whose first sheet holds rows; texts written as shared
// strings, or as inline strings (the writer's streaming mode) when
// inlineStrings; a cell that reads as a whole or decimal number is
// written as a number. A second sheet "อื่น" holds otherRows.
void WriteWorkbook(const std::string& path, const std::string& firstName, const Rows& rows,
                   bool inlineStrings, const Rows& otherRows = {});

} // namespace iatest
