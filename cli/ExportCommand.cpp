// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli export EXAM.ans OUT.xlsx|OUT.csv [--table scores|answers|results]:
// scores, answers and results for a spreadsheet.

#include "cli/CommandOptions.h"
#include "cli/ExamFileHeader.h"
#include "cli/Exchange.h"
#include "cli/Fail.h"
#include "cli/Progress.h"
#include "exchange/ResultsExport.h"
#include "exchange/TextTable.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kExportUsage = "วิธีใช้: itemanalysis-cli export EXAM.ans OUT.xlsx|OUT.csv "
                                 "[--table scores|answers|results]\n";

// A refusal told on standard error, exit code 1.
const auto Refuse = ia::cli::Fail;

} // namespace

int RunExportCommand(int argc, char** argv) {
    ia::cli::CommandOptions options;
    if (auto rc = ia::cli::ReadCommandOptions(argc, argv, {2, {"--table"}, {}, {}}, options,
                                              kExportUsage))
        return *rc;
    const bool tableGiven = options.given("--table");
    const std::string tableName = tableGiven ? options.value("--table") : "scores";
    const std::string& examPath = options.positional[0];
    const std::string& out = options.positional[1];
    const std::string ext = ia::LowerAscii(std::filesystem::path(out).extension().string());
    if (ext != ".xlsx" && ext != ".csv") return Refuse("ไฟล์ที่ส่งออกต้องเป็น .xlsx หรือ .csv");
    ia::CsvTable table = ia::CsvTable::Scores;
    if (!ia::ParseCsvTable(tableName, table))
        return Refuse("--table ต้องเป็น scores answers หรือ results");
    if (tableGiven && ext == ".xlsx") return Refuse("--table ใช้กับไฟล์ .csv เท่านั้น");
    std::string error;
    OpenedExam exam;
    if (!OpenExamForExchange(examPath, false, exam, error)) return Refuse(error);
    error = ia::ExportTargetRefusal(examPath, out);
    if (!error.empty()) return Refuse(error);
    std::vector<ia::OutSheet> sheets;
    try {
        sheets = ia::BuildExportSheets(*exam.db, exam.nItem, ia::cli::JobProgress());
    } catch (const std::exception& e) {
        return Refuse(e.what());
    }
    ia::Progress& progress = ia::cli::JobProgress();
    const bool ok = ext == ".xlsx"
                        ? ia::WriteXlsx(sheets, out, error, progress)
                        : ia::WriteCsv(ia::CsvSheet(sheets, table), out, error, progress);
    if (!ok) return Refuse(error);
    std::cout << out << "\n";
    return 0;
}
