// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli scan EXAM.ans SOURCE...: answer sheets read from scans and
// photos, stored all or nothing; doubtful marks go to review.csv first.

#include "cli/CommandOptions.h"
#include "cli/Fail.h"
#include "cli/Progress.h"
#include "cli/ScanCommands.h"
#include "examfile/OutputFile.h"
#include "scan/ScanStore.h"
#include "scan/SheetAssembly.h"
#include "scan/SheetReader.h"
#include "session/ExamSession.h"

#include <filesystem>
#include <iostream>
#include <map>

namespace fs = std::filesystem;

namespace {

using ia::cli::Fail;
using ia::cli::Warn;
namespace scan = ia::scan;

const char* const kScanUsage =
    "วิธีใช้: itemanalysis-cli scan FILE.ans SOURCE... [--review-out DIR] "
    "[--doubtful blank|multiple|refuse] [--decide review.csv] [--replace-key]\n"
    "        itemanalysis-cli scan FILE.ans --redecide|--decide review.csv "
    "[--doubtful blank|multiple|refuse] [--replace-key]\n";
const char* const kReadingPagesStage = "กำลังอ่านภาพกระดาษคำตอบ";

// The folder of review.csv: the one asked for, or one beside the exam file.
std::string ReviewFolder(const ia::cli::CommandOptions& a) {
    if (a.given("--review-out")) return a.value("--review-out");
    const fs::path exam(a.positional[0]);
    return (exam.parent_path() / (exam.stem().string() + "-review")).string();
}

// review.csv written in the folder; the Thai reason when it could not be.
std::string WriteReview(const std::string& folder, const std::vector<scan::Doubt>& doubts,
                        std::string& written) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    written = (fs::path(folder) / "review.csv").string();
    try {
        ia::WriteFileReplacing(written, "csv", scan::ReviewCsv(doubts));
    } catch (const ia::ReplaceFileError& e) {
        const std::string why = e.what();
        return why.rfind("จะไม่เขียนทับ", 0) == 0 ? why : "เขียนไฟล์ " + written + " ไม่ได้";
    }
    return "";
}

// Tells what is left to settle and where; true when nothing is.
bool TellDoubts(const ia::cli::CommandOptions& a, const scan::Assembly& assembly) {
    for (const std::string& p : assembly.problems)
        Warn(p);
    if (assembly.doubts.empty()) return true;
    std::string written;
    if (const std::string failed = WriteReview(ReviewFolder(a), assembly.doubts, written);
        !failed.empty()) {
        Fail(failed);
        return false;
    }
    if (assembly.unsettled > 0) {
        Fail("มีเครื่องหมายหรือรหัสที่ต้องตรวจ " + std::to_string(assembly.unsettled) +
             " รายการ ไม่ได้บันทึกสิ่งใด ดูรายการใน " + written +
             " เติมคอลัมน์ answer แล้วใช้ --decide (หรือ --doubtful blank|multiple)");
        return false;
    }
    Warn("บันทึกเครื่องหมายที่ไม่ชัด " + std::to_string(assembly.doubts.size()) +
         " รายการตาม --doubtful รายการอยู่ใน " + written);
    return true;
}

ia::ScanStoreRequest StoreRequest(const ia::cli::CommandOptions& a) {
    ia::ScanStoreRequest request;
    request.progress = &ia::cli::JobProgress();
    if (a.has("--replace-key")) request.replaceTypedKey = [] { return true; };
    return request;
}

void TellKey(bool typedKeyKept) {
    if (typedKeyKept) Warn("ไฟล์มีเฉลยที่พิมพ์ไว้แล้ว เก็บเฉลยเดิมไว้ (ใช้ --replace-key เพื่อใช้เฉลยจากกระดาษ)");
}

// Decides the kept pages again: from their darkness, the teacher's earlier
// answers and the new ones.
int Redecide(ia::ExamSession& session, const ia::cli::CommandOptions& a, int nItem,
             scan::DoubtfulPolicy policy, const scan::ReviewDecisions& newDecisions) {
    const auto kept = session.keptScanPages();
    if (!kept.ok()) return Fail(kept.error.message);
    if (kept.value.empty()) return Fail("ไฟล์นี้ยังไม่มีกระดาษคำตอบที่อ่านและบันทึกไว้");
    // Each stored sheet is a copy of its own here, whatever its printed
    // number: the same sheet scanned in two batches is two stored sheets.
    std::map<std::pair<long long, bool>, int> copyOf;
    std::vector<std::pair<long long, bool>> rowOf;
    std::vector<scan::ReadPage> pages;
    scan::ReviewDecisions decisions;
    for (const scan::KeptPage& k : kept.value) {
        const auto key = std::make_pair(k.sheetRow, k.page.identity.key);
        if (!copyOf.count(key)) {
            copyOf[key] = static_cast<int>(rowOf.size());
            rowOf.push_back(key);
        }
        scan::ReadPage p = k.page;
        p.identity.copy = copyOf[key];
        const int last = p.firstItem + static_cast<int>(p.items.size());
        for (const auto& [item, answer] : k.decisions)
            if ((item == 0 && p.identity.page == 1) || (item >= p.firstItem && item < last))
                decisions[{p.source.path, p.source.page, item}] = answer;
        pages.push_back(std::move(p));
    }
    for (const auto& [key, answer] : newDecisions)
        decisions[key] = answer;
    const scan::Assembly assembly = scan::AssembleSheets(pages, nItem, policy, decisions);
    if (!TellDoubts(a, assembly)) return 1;
    std::vector<ia::RedecidedSheet> sheets;
    for (const scan::AssembledSheet& s : assembly.sheets) {
        const auto& [row, key] = rowOf[static_cast<size_t>(s.copy)];
        sheets.push_back({row, key, s.code, s.answers, s.decisions});
    }
    const auto stored = session.storeRedecidedSheets(sheets, StoreRequest(a));
    if (!stored.ok()) return Fail(stored.error.message);
    std::cout << "ตัดสินกระดาษคำตอบที่อ่านไว้ใหม่ " << stored.value << " แผ่น\n";
    return 0;
}

} // namespace

int RunScanCommand(int argc, char** argv) {
    ia::cli::AcceptedOptions accepted{
        1, {"--review-out", "--doubtful", "--decide"}, {"--redecide", "--replace-key"}, {}};
    accepted.morePositional = true;
    ia::cli::CommandOptions a;
    if (auto rc = ia::cli::ReadCommandOptions(argc, argv, accepted, a, kScanUsage)) return *rc;
    scan::DoubtfulPolicy policy = scan::DoubtfulPolicy::Refuse;
    if (a.given("--doubtful")) {
        const std::string d = a.value("--doubtful");
        if (d == "blank")
            policy = scan::DoubtfulPolicy::Blank;
        else if (d == "multiple")
            policy = scan::DoubtfulPolicy::Multiple;
        else if (d != "refuse")
            return Fail("--doubtful ต้องเป็น blank multiple หรือ refuse");
    }
    const std::vector<std::string> sources(a.positional.begin() + 1, a.positional.end());
    const bool kept = sources.empty();
    if (kept && !a.has("--redecide") && !a.given("--decide")) {
        std::cerr << kScanUsage;
        return 2;
    }
    if (!kept && a.has("--redecide"))
        return Fail("--redecide ตัดสินใหม่จากค่าที่เก็บไว้ในไฟล์ ไม่ต้องระบุไฟล์ภาพ");

    ia::ExamSession session;
    ia::OpenOptions open;
    open.headerOnly = true;
    if (ia::SessionError e = session.open(a.positional[0], open)) return Fail(e.message);
    const int nItem = session.header().nItem, nChoice = session.header().nChoice;
    scan::ReviewDecisions decisions;
    std::string error;
    if (a.given("--decide") && !scan::ReadReviewCsv(a.value("--decide"), nChoice, decisions, error))
        return Fail(error);
    if (kept) return Redecide(session, a, nItem, policy, decisions);

    const ia::Outcome<std::string> id = session.answerSheetExamId(false);
    if (!id.ok()) return Fail(id.error.message);
    scan::ReaderSettings settings;
    settings.examId = id.value;
    settings.nItem = nItem;
    settings.nChoice = nChoice;
    if (a.given("--review-out")) {
        settings.reviewFolder = a.value("--review-out");
        std::error_code ec;
        fs::create_directories(settings.reviewFolder, ec);
    }
    scan::SourcePages source;
    std::vector<std::string> problems;
    const std::vector<scan::PageSource> list = source.list(sources, problems);
    for (const std::string& p : problems)
        Warn(p);
    ia::Progress& progress = ia::cli::JobProgress();
    progress.stage(kReadingPagesStage, static_cast<long long>(list.size()));
    std::vector<scan::ReadPage> pages;
    int unreadable = 0;
    // One image for every page: a page's pixels are megabytes, fresh memory
    // for each would cost as much as a tenth of its reading.
    scan::GrayImage image;
    for (size_t i = 0; i < list.size(); ++i) {
        progress.step(static_cast<long long>(i));
        scan::ReadPage page;
        if (!source.load(list[i], image, error)) {
            page.source = list[i];
            page.refusal = error;
        } else {
            page = scan::ReadSheetPage(image, list[i], settings);
        }
        if (!page.readable()) {
            ++unreadable;
            Warn(list[i].path + " หน้า " + std::to_string(list[i].page) + ": " + page.refusal);
        }
        pages.push_back(std::move(page));
    }
    progress.step(static_cast<long long>(list.size()));
    const scan::Assembly assembly = scan::AssembleSheets(pages, nItem, policy, decisions);
    if (assembly.sheets.empty() && assembly.unsettled == 0) {
        for (const std::string& p : assembly.problems)
            Warn(p);
        return Fail("ไม่มีหน้าใดอ่านได้ ไม่ได้บันทึกสิ่งใด");
    }
    if (!TellDoubts(a, assembly)) return 1;
    const auto stored = session.storeScannedSheets(assembly.sheets, StoreRequest(a));
    if (!stored.ok()) return Fail(stored.error.message);
    for (const std::string& d : stored.value.duplicates)
        Warn(d);
    TellKey(stored.value.typedKeyKept);
    std::cout << "บันทึกกระดาษคำตอบ " << stored.value.sheetsStored << " แผ่น"
              << (stored.value.keySet ? " และเฉลย" : "") << " จาก " << list.size() - unreadable
              << " หน้าที่อ่านได้";
    if (unreadable > 0) std::cout << " (อ่านไม่ได้ " << unreadable << " หน้า)";
    std::cout << "\n";
    return 0;
}
