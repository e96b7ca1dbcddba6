// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads the cells of one sheet of an .xlsx workbook as texts: shared and
// inline strings as they are, numbers as stored (a whole number as an
// integer: "3", not "3.0"), booleans and formula results as their stored
// value.
#include "exchange/TextTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace ia {

// The sheet names of a workbook in their order; false with a Thai message
// when the file is no readable workbook.
bool XlsxSheetNames(const std::string& path, std::vector<std::string>& names, std::string& error);

// The sheet named sheetName (the first sheet when empty) with every row and
// column at the place the workbook gives it, so that row and column
// numbers match what a spreadsheet shows. Trailing empty cells of a row
// are dropped.
bool ReadXlsxSheet(const std::string& path, const std::string& sheetName, TextTable& table,
                   std::string& error);

// The same over the bytes of a workbook already read, within limits: every
// member inflated up to kMaxSourceBytes (what comes out counts, not what the
// archive declares); a cell past limits.columns, a reference past the
// sheet's own limits, a shared-string index that is no whole number of the
// table, a NUL and a cell past limits.cellBytes are refused with their row
// and column.
bool XlsxSheetNames(std::string_view bytes, std::vector<std::string>& names, std::string& error);
bool ReadXlsxSheet(std::string_view bytes, const std::string& sheetName, const TableLimits& limits,
                   TextTable& table, std::string& error);

// Whether the bytes are an OpenDocument spreadsheet (LibreOffice's .ods).
bool IsOdsArchive(std::string_view bytes);

// A sheet of an .ods (the first when sheetName is empty), read as
// ReadXlsxSheet reads a workbook's: the same limits, the same messages.
bool ReadOdsSheet(std::string_view bytes, const std::string& sheetName, const TableLimits& limits,
                  TextTable& table, std::string& error);

} // namespace ia
