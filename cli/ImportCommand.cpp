// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli import EXAM.ans SOURCE [options]: answer sheets from a
// spreadsheet, a scanner or an online quiz, all or nothing.

#include "cli/CommandOptions.h"
#include "cli/ExamFileHeader.h"
#include "cli/Exchange.h"
#include "cli/Fail.h"
#include "cli/Progress.h"
#include "exchange/SheetImport.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kImportUsage =
    "วิธีใช้: itemanalysis-cli import EXAM.ans SOURCE [--append|--replace|--key-only] "
    "[--strict] [--encoding utf-8|utf-16|cp874] [--sheet NAME] "
    "[--header yes|no|auto] [--code-column NAME|NUMBER] "
    "[--columns code=D,name=E,group=F,answers=G:P,ignore=H] [--options MAP.csv] "
    "[--keep first|last|all] [--replace-key] "
    "[--fixed] [--code-columns A-B] [--answers-from C]\n";

// A refusal told on standard error, exit code 1.
const auto Refuse = ia::cli::Fail;

bool PositiveNumber(const std::string& s, int& n) {
    if (s.empty() || s.size() > 6 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    n = std::atoi(s.c_str());
    return n >= 1;
}

} // namespace

int RunImportCommand(int argc, char** argv) {
    const ia::cli::AcceptedOptions accepted{
        2,
        {"--encoding", "--sheet", "--header", "--code-column", "--options", "--code-columns",
         "--answers-from", "--columns", "--keep"},
        {"--append", "--replace", "--key-only", "--strict", "--fixed", "--replace-key"},
        {}};
    ia::cli::CommandOptions parsed;
    if (auto rc = ia::cli::ReadCommandOptions(argc, argv, accepted, parsed, kImportUsage))
        return *rc;
    const std::vector<std::string>& positional = parsed.positional;
    const std::set<std::string>& given = parsed.flags;
    std::map<std::string, std::string> values = parsed.values;
    if (values.count("--columns") && (values.count("--code-column") ||
                                      values.count("--answers-from") || values.count("--header"))) {
        std::cerr << "--columns ใช้ร่วมกับ --code-column --answers-from หรือ --header ไม่ได้\n"
                  << kImportUsage;
        return 2;
    }
    if (given.count("--append") + given.count("--replace") + given.count("--key-only") > 1)
        return Refuse("เลือกได้อย่างเดียวจาก --append --replace --key-only");
    const ia::ImportMode mode = given.count("--replace")    ? ia::ImportMode::Replace
                                : given.count("--key-only") ? ia::ImportMode::KeyOnly
                                                            : ia::ImportMode::Append;
    ia::ImportOptions options;
    if (values.count("--encoding") &&
        !ia::ParseEncodingName(values["--encoding"], options.encoding))
        return Refuse("--encoding ต้องเป็น utf-8 utf-16 หรือ cp874");
    options.sheet = values["--sheet"];
    if (values.count("--header")) {
        const std::string& h = values["--header"];
        if (h == "yes")
            options.header = ia::HeaderMode::Yes;
        else if (h == "no")
            options.header = ia::HeaderMode::No;
        else if (h != "auto")
            return Refuse("--header ต้องเป็น yes no หรือ auto");
    }
    options.codeColumn = values["--code-column"];
    options.columns = values["--columns"];
    if (parsed.given("--columns") && options.columns.empty())
        return Refuse("--columns ต้องระบุหน้าที่ของคอลัมน์ เช่น code=D,answers=G:P");
    if (values.count("--keep")) {
        const std::string& k = values["--keep"];
        if (k == "first")
            options.keep = ia::KeepRows::First;
        else if (k == "all")
            options.keep = ia::KeepRows::All;
        else if (k != "last")
            return Refuse("--keep ต้องเป็น first last หรือ all");
    }
    options.fixed = given.count("--fixed") > 0;
    if (values.count("--code-columns")) {
        const std::string& r = values["--code-columns"];
        const auto dash = r.find('-');
        if (dash == std::string::npos || !PositiveNumber(r.substr(0, dash), options.codeFrom) ||
            !PositiveNumber(r.substr(dash + 1), options.codeTo) ||
            options.codeTo < options.codeFrom)
            return Refuse("--code-columns ต้องเป็นช่วงตำแหน่งอักขระ เช่น 1-10");
    }
    if (values.count("--answers-from") &&
        !PositiveNumber(values["--answers-from"], options.answersFrom))
        return Refuse("--answers-from ต้องเป็นตำแหน่งอักขระ (ตั้งแต่ 1)");
    std::string error;
    if (values.count("--options") &&
        !ia::ReadQuizOptionMap(values["--options"], options.quizOptions, error))
        return Refuse(error);

    const std::string& examPath = positional[0];
    OpenedExam exam;
    if (!OpenExamForExchange(examPath, true, exam, error)) return Refuse(error);
    ia::ImportPlan plan = ia::ReadImportSource(positional[1], exam.nItem, exam.nChoice, options,
                                               ia::cli::JobProgress());
    // Told whenever the columns are more than our own code-then-answers
    // layout, so that a column taken wrongly is seen before it is trusted.
    if (!plan.roles.empty() && (!ia::OwnLayout(plan) || !options.columns.empty()))
        std::cerr << "คอลัมน์ที่ใช้: " << ia::RolesLine(plan.roles) << "\n";
    if (!plan.ok())
        return Refuse("นำเข้าไม่ได้ ไม่ได้นำเข้าข้อมูลใดเลย:\n" + ia::ErrorSummary(plan.errors));
    if (std::string refusal = ia::ImportRefusal(plan, mode); !refusal.empty())
        return Refuse(refusal);
    try {
        if (mode == ia::ImportMode::Append)
            ia::FindDuplicateCodes(plan, ia::ExistingCodes(*exam.db));
        else if (mode == ia::ImportMode::Replace)
            ia::FindDuplicateCodes(plan, {});
    } catch (const std::exception& e) {
        return Refuse(e.what());
    }
    for (const auto& w : plan.warnings)
        ia::cli::Warn(w);
    for (const auto& s : plan.skipped)
        ia::cli::Warn(s);
    for (const auto& d : plan.dropped)
        ia::cli::Warn(d);
    // A key already typed is never overwritten unasked.
    try {
        if (plan.hasKey && mode != ia::ImportMode::KeyOnly && !given.count("--replace-key") &&
            ia::HasTypedKey(*exam.db, exam.nItem)) {
            plan.hasKey = false;
            ia::cli::Warn("ไฟล์มีเฉลยอยู่แล้ว ไม่ได้แทนที่ด้วยเฉลยจากแหล่งข้อมูล (ใช้ --replace-key เพื่อแทนที่)");
        }
    } catch (const std::exception& e) {
        return Refuse(e.what());
    }
    for (const auto& d : plan.duplicates)
        ia::cli::Warn(d);
    if (!plan.duplicates.empty() && given.count("--strict"))
        return Refuse("มีรหัสซ้ำ ไม่ได้นำเข้าข้อมูลใดเลย (--strict)");
    ia::ImportBackup backup;
    if (mode == ia::ImportMode::Replace) {
        if (!backup.take(examPath, error)) return Refuse(error);
    }
    try {
        // The sheets are replaced only once their backup is in its place.
        ia::ApplyImport(*exam.db, plan, mode, exam.nItem, ia::cli::JobProgress(), [&] {
            if (mode == ia::ImportMode::Replace && !backup.keep(error))
                throw std::runtime_error(error);
        });
    } catch (const std::exception& e) {
        return Refuse(e.what());
    }
    // Told only once the copy is whole and in its place.
    if (mode == ia::ImportMode::Replace) std::cerr << "สำรองไฟล์เดิมไว้ที่ " << backup.path() << "\n";
    const size_t sheets = mode == ia::ImportMode::KeyOnly ? 0 : plan.sheets.size();
    std::cout << "นำเข้ากระดาษคำตอบ " << sheets << " แผ่น" << (plan.hasKey ? " และเฉลย" : "") << "\n";
    return 0;
}
