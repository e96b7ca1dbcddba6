// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli export EXAM.ans OUT.xlsx|OUT.csv [--table scores|answers|results|summary]:
// scores, answers, results and the whole-test summary for a spreadsheet or R,
// each a plain table under the workbook's Thai headers.

#include "cli/CommandOptions.h"
#include "cli/ExamFileHeader.h"
#include "cli/Exchange.h"
#include "cli/Fail.h"
#include "cli/Progress.h"
#include "cli/SessionOutput.h"
#include "examfile/AnalysisRunLog.h"
#include "exchange/ResultsExport.h"
#include "exchange/TextTable.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kExportUsage =
    "วิธีใช้: itemanalysis-cli export EXAM.ans OUT.xlsx|OUT.csv "
    "[--table scores|answers|results|summary] [--fresh [--technique 25|27]]\n";

// A refusal told on standard error, exit code 1.
const auto Refuse = ia::cli::Fail;

} // namespace

int RunExportCommand(int argc, char** argv) {
    ia::cli::CommandOptions options;
    if (auto rc = ia::cli::ReadCommandOptions(
            argc, argv, {2, {"--table", "--technique"}, {"--fresh"}, {}}, options, kExportUsage))
        return *rc;
    if (options.given("--technique") && !options.has("--fresh"))
        return Refuse("--technique ใช้กับ --fresh เท่านั้น");
    const bool tableGiven = options.given("--table");
    const std::string tableName = tableGiven ? options.value("--table") : "scores";
    const std::string& examPath = options.positional[0];
    const std::string& out = options.positional[1];
    const std::string ext = ia::LowerAscii(std::filesystem::path(out).extension().string());
    if (ext != ".xlsx" && ext != ".csv") return Refuse("ไฟล์ที่ส่งออกต้องเป็น .xlsx หรือ .csv");
    ia::CsvTable table = ia::CsvTable::Scores;
    if (!ia::ParseCsvTable(tableName, table))
        return Refuse("--table ต้องเป็น scores answers results หรือ summary");
    if (tableGiven && ext == ".xlsx") return Refuse("--table ใช้กับไฟล์ .csv เท่านั้น");
    std::string error;
    OpenedExam exam;
    if (!OpenExamForExchange(examPath, false, exam, error)) return Refuse(error);
    error = ia::ExportTargetRefusal(examPath, out);
    if (!error.empty()) return Refuse(error);
    if (options.has("--fresh")) {
        exam = {};
        // Analysed first, as print and graphs do, with the technique of the
        // stored results unless another is given.
        ia::ExamSession session;
        if (ia::SessionError refused = session.open(examPath)) return Refuse(refused.message);
        std::string technique = options.value("--technique");
        if (technique.empty()) {
            const auto run = ia::LastAnalysisRun(*session.connection());
            technique = run && run->technique == 2 ? "27" : "25";
        }
        if (int rc = ia::cli::AnalyseTellingChecks(session, technique, false)) return rc;
        session.close();
        if (!OpenExamForExchange(examPath, false, exam, error)) return Refuse(error);
    }
    std::vector<ia::OutSheet> sheets;
    try {
        sheets = ia::BuildExportSheets(*exam.db, exam.nItem, ia::cli::JobProgress());
    } catch (const std::exception& e) {
        return Refuse(e.what());
    }
    // The results the file holds, told for what they are: on standard error
    // whenever they go out, and in the summary's row of them.
    const std::string notice = ia::ResultsCurrencyNotice(ia::StoredResultsCurrency(*exam.db));
    const bool resultsGo =
        ext == ".xlsx" || table == ia::CsvTable::Results || table == ia::CsvTable::Summary;
    if (resultsGo && !notice.empty()) ia::cli::Warn(notice + " (--fresh วิเคราะห์ใหม่ก่อนส่งออก)");
    ia::NoteResultsCurrency(sheets, notice);
    ia::Progress& progress = ia::cli::JobProgress();
    const bool ok = ext == ".xlsx"
                        ? ia::WriteXlsx(sheets, out, error, progress)
                        : ia::WriteCsv(ia::CsvSheet(sheets, table), out, error, progress);
    if (!ok) return Refuse(error);
    std::cout << out << "\n";
    return 0;
}
