// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli sheets EXAM.ans --pdf OUT.pdf: answer sheets to print,
// blank (with a code grid), personalised from a class list, or the key sheet.

#include "cli/CommandOptions.h"
#include "cli/Fail.h"
#include "cli/Progress.h"
#include "cli/ScanCommands.h"
#include "examfile/OutputFile.h"
#include "examfile/SchoolName.h"
#include "exchange/SheetImport.h"
#include "exchange/TextTable.h"
#include "exchange/XlsxReader.h"
#include "report/AtomicFile.h"
#include "report/GraphReport.h"
#include "scan/SheetLayout.h"
#include "scan/SheetPrint.h"
#include "session/ExamSession.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace {

using ia::cli::Fail;

const char* const kSheetsUsage =
    "วิธีใช้: itemanalysis-cli sheets FILE.ans --pdf OUT.pdf [--students LIST.csv|LIST.xlsx] "
    "[--blank N] [--code-digits N] [--key] [--school TEXT]\n";

bool Count(const std::string& s, int most, int& n) {
    if (s.empty() || s.size() > 4 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    n = std::stoi(s);
    return n <= most;
}

bool AllDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// The class list: a code and a name a row, a header row allowed.
bool ReadStudents(const std::string& path, std::vector<ia::scan::Student>& students,
                  std::string& error) {
    ia::TextTable table;
    if (ia::LowerAscii(fs::path(path).extension().string()) == ".xlsx") {
        if (!ia::ReadXlsxSheet(path, "", table, error)) return false;
    } else {
        std::string bytes, text;
        if (!ia::ReadSourceFile(path, bytes, error) ||
            !ia::DecodeText(bytes, ia::TextEncoding::Auto, text, error) ||
            !ia::ParseDelimitedWithin(text, ia::DetectDelimiter(text), ia::TableLimits{}, table,
                                      error))
            return false;
    }
    for (size_t r = 0; r < table.size(); ++r) {
        const auto& row = table[r];
        const std::string code = row.empty() ? "" : ia::Trimmed(row[0]);
        if (r == 0 && ia::IsCodeHeader(code)) continue;
        std::string name;
        for (size_t c = 1; c < row.size(); ++c) {
            const std::string part = ia::Trimmed(row[c]);
            if (!part.empty()) name += (name.empty() ? "" : " ") + part;
        }
        if (code.empty() && name.empty()) continue;
        if (code.empty()) {
            error = path + " แถว " + std::to_string(r + 1) + ": ไม่มีรหัสนักเรียน";
            return false;
        }
        if (ia::CharCount(code) > 20) {
            error = path + " แถว " + std::to_string(r + 1) + ": รหัสนักเรียนยาวเกิน 20 ตัวอักษร";
            return false;
        }
        students.push_back({code, name});
    }
    if (students.empty()) {
        error = path + ": ไม่มีรายชื่อนักเรียน";
        return false;
    }
    return true;
}

} // namespace

int RunSheetsCommand(int argc, char** argv) {
    const ia::cli::AcceptedOptions accepted{
        1, {"--pdf", "--students", "--blank", "--code-digits", "--school"}, {"--key"}, {"--pdf"}};
    ia::cli::CommandOptions a;
    if (auto rc = ia::cli::ReadCommandOptions(argc, argv, accepted, a, kSheetsUsage)) return *rc;
    ia::scan::SheetPrintRequest request;
    request.key = a.has("--key");
    if (request.key && (a.given("--students") || a.given("--blank")))
        return Fail("--key พิมพ์เฉพาะกระดาษเฉลย ใช้ร่วมกับ --students หรือ --blank ไม่ได้");
    if (a.given("--blank") && !Count(a.value("--blank"), 2000, request.blankCopies))
        return Fail("--blank ต้องเป็นจำนวนแผ่น 0–2000");
    int digits = 0;
    if (a.given("--code-digits") &&
        (!Count(a.value("--code-digits"), ia::scan::kMaxCodeDigits, digits) || digits < 1))
        return Fail("--code-digits ต้องเป็นจำนวนหลัก 1–" + std::to_string(ia::scan::kMaxCodeDigits));
    std::string error;
    if (a.given("--students") && !ReadStudents(a.value("--students"), request.students, error))
        return Fail(error);
    if (!request.key && request.students.empty() && !a.given("--blank")) request.blankCopies = 1;

    ia::ExamSession session;
    ia::OpenOptions open;
    open.headerOnly = true;
    if (ia::SessionError e = session.open(a.positional[0], open)) return Fail(e.message);
    request.header = session.header();
    if (request.header.nItem < 1 || request.header.nChoice < 2 || request.header.nChoice > 5)
        return Fail("ไฟล์ข้อมูลต้องมีจำนวนข้อตั้งแต่ 1 และตัวเลือก 2–5 จึงพิมพ์กระดาษคำตอบได้");
    if (digits == 0 && request.blankCopies > 0) {
        digits = 5;
        try {
            size_t longest = 0;
            bool other = false;
            for (const std::string& code : ia::ExistingCodes(*session.connection())) {
                longest = std::max(longest, code.size());
                other = other || (!code.empty() && !AllDigits(code));
            }
            if (longest > 0)
                digits = static_cast<int>(std::min<size_t>(longest, ia::scan::kMaxCodeDigits));
            if (other)
                ia::cli::Warn("บางรหัสในไฟล์มีอักขระอื่นนอกจากตัวเลข กระดาษเปล่าระบายได้เฉพาะตัวเลข "
                              "ใช้ --students พิมพ์กระดาษที่มีชื่อแทน");
        } catch (const std::exception& e) {
            return Fail(e.what());
        }
    }
    request.codeDigits = digits;
    if (a.given("--school")) {
        request.school = a.value("--school");
    } else {
        std::error_code ec;
        if (auto name =
                ia::ReadSchoolNameFile((fs::current_path(ec) / ia::kSchoolNameFile).string()))
            request.school = *name;
    }
    const ia::Outcome<std::string> id = session.answerSheetExamId(true);
    if (!id.ok()) return Fail(id.error.message);
    request.examId = id.value;
    const std::string pdf = a.value("--pdf");
    int pages = 0;
    try {
        auto out = ia::PdfGraphPages(pdf);
        pages = ia::scan::DrawAnswerSheets(*out, request, ia::cli::JobProgress());
        if (!out->Finish()) {
            // A target refused (a link, the exam file) is named as the other
            // printouts name it.
            const std::string why = out->FailureReason();
            return Fail(ia::IsRefusedTargetMessage(why) ? ia::PdfWriteFailedMessage(pdf, why)
                                                        : "เขียนไฟล์ " + pdf + " ไม่ได้");
        }
    } catch (const ia::JobCancelled&) {
        throw;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    std::cerr << "พิมพ์กระดาษคำตอบ " << pages << " หน้า (หน้าแรกมีได้ "
              << ia::scan::SheetLayout::ItemsOnFirstPage() << " ข้อ หน้าต่อไปหน้าละ "
              << ia::scan::SheetLayout::ItemsOnFollowingPage() << " ข้อ)\n";
    std::cout << pdf << "\n";
    return 0;
}
