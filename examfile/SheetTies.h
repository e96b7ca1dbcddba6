// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows our own tables keep beside an answer sheet, tied to it by its
// rowid (Schema.h: names, groups, further columns): read, and removed with
// the sheet so that a rowid used again never finds another sheet's rows.

#include <map>
#include <string>

namespace ia {

class Connection;

// Each sheet's name by its rowid; none when the file keeps no names.
std::map<long long, std::string> LoadSheetNames(Connection& db);
// Whether the file keeps a name for any sheet.
bool HasSheetNames(Connection& db);

// Removes the rows of the sheet of that rowid from every tied table the
// file has. Throws DbError.
void RemoveTiedRows(Connection& db, long long rowid);
// Removes the rows whose sheet is gone (deleted by an undo, or by another
// program). Throws DbError.
void RemoveOrphanedTiedRows(Connection& db);

} // namespace ia
