// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scanning's own tables in the exam file (examfile/Schema.h): the exam's
// identity and the pages read. Both are made on first use; a file without
// them is as valid as before. Called inside the session's flows only.

#include "scan/SheetAssembly.h"

#include <optional>
#include <string>
#include <vector>

namespace ia {
class Connection;
}

namespace ia::scan {

// The exam's identity, none while no sheets have been printed.
std::optional<std::string> ReadExamId(Connection& db);
// The identity, made (a random text) and stored when there is none yet.
std::string ExamIdMadeOnFirstUse(Connection& db);

// A page kept with the sheet it went into.
struct KeptPage {
    long long sheetRow = 0; // rowid in TAData; 0 for the key sheet
    ReadPage page;
    std::map<int, std::string> decisions;
};

void KeepPages(Connection& db, const std::vector<KeptPage>& pages);
// Every page kept, in the order stored; none in a file without the table.
std::vector<KeptPage> ReadKeptPages(Connection& db);
// Replaces the decisions kept with the pages of a sheet.
void UpdateKeptDecisions(Connection& db, long long sheetRow, bool key,
                         const std::map<int, std::string>& decisions);

} // namespace ia::scan
