// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli: the command-line companion of the window, for batch work
// and for tests. Every message is Thai, on standard error; results go to
// standard output. Exit codes: 0 success, 1 refused or failed, 2 usage,
// 130 cancelled by Ctrl+C.

#include "cli/CommandOptions.h"
#include "cli/Exchange.h"
#include "cli/Graphs.h"
#include "cli/PoolCommand.h"
#include "cli/Progress.h"
#include "cli/ScanCommands.h"
#include "cli/SessionOutput.h"
#include "cli/StatsCommand.h"
#include "examfile/ExamFile.h"
#include "examfile/FileErrors.h"
#include "examfile/NewFileRules.h"
#include "examfile/Val.h"
#include "exchange/TextTable.h"
#include "report/PrintReport.h"
#include "report/PrinterPdf.h"
#include "session/PrintInputs.h"

#include <Version.h>

#ifdef ITEMANALYSIS_WITH_QT
#include <QGuiApplication>
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The command lines, shown on a usage error and in --help.
const char* const kCommandLines =
    "  itemanalysis-cli create FILE --items N --choices C [--subject-code T] "
    "[--subject T] [--term T] [--year N] [--teacher T] [--overwrite]\n"
    "  itemanalysis-cli check FILE\n"
    "  itemanalysis-cli analyse FILE --technique 25|27\n"
    "  itemanalysis-cli print FILE --technique 25|27 --pdf OUT.pdf "
    "[--pages all|odd|even|A-B]\n"
    "  itemanalysis-cli raw FILE --pdf OUT.pdf\n"
    "  itemanalysis-cli stats FILE [--json] [--csv DIR]\n"
    "  itemanalysis-cli import FILE SOURCE [ตัวเลือก]\n"
    "  itemanalysis-cli export FILE OUT.xlsx|OUT.csv [--table scores|answers|results|summary]\n"
    "                          [--fresh [--technique 25|27]]\n"
    "  itemanalysis-cli pool OUT.ans A.ans B.ans … [--group-by file | --group-column NAME] "
    "[--key-from FILE] [--overwrite]\n"
    "  itemanalysis-cli compare FILE [--json | --csv DIR] [--reference GROUP] [--focal GROUP] "
    "[--purify]\n"
    "  itemanalysis-cli graphs FILE --technique 25|27 --pdf OUT.pdf [--png DIR] "
    "[--svg DIR] [--school TEXT]\n"
    "  itemanalysis-cli sheets FILE --pdf OUT.pdf [--students LIST.csv|.xlsx] [--blank N] "
    "[--code-digits N] [--key] [--school TEXT]\n"
    "  itemanalysis-cli scan FILE SOURCE... [--review-out DIR] "
    "[--doubtful blank|multiple|refuse] [--decide review.csv] [--replace-key]\n"
    "  itemanalysis-cli scan FILE --redecide|--decide review.csv [--doubtful ...] "
    "[--replace-key]\n";

const std::string kUsageText =
    std::string("วิธีใช้:\n") + kCommandLines + "ดูคำอธิบาย: itemanalysis-cli --help\n";

int Usage() {
    std::cerr << kUsageText;
    return 2;
}

// Asked for, so a result: standard output, exit code 0.
int Help() {
    std::cout << "itemanalysis-cli " << ia::kVersion
              << " — วิเคราะห์ข้อสอบแบบเลือกตอบจากบรรทัดคำสั่ง\n\nวิธีใช้:\n"
              << kCommandLines
              << "  itemanalysis-cli --help | --version\n\n"
                 "คำสั่ง:\n"
                 "  create   สร้างไฟล์ข้อมูลใหม่ (.ans) จำนวนข้อ 1–251 ตัวเลือก 2–5\n"
                 "  check    พิมพ์ 1 เมื่อเป็นไฟล์ข้อมูลวิเคราะห์ข้อสอบ มิฉะนั้นพิมพ์ 0\n"
                 "  analyse  วิเคราะห์ เขียนรายงาน .txt ไว้ข้างไฟล์ข้อมูล แล้วพิมพ์ชื่อรายงาน\n"
                 "  print    วิเคราะห์แล้วพิมพ์รายงานลงไฟล์ PDF (ทุกหน้า หน้าคี่ หน้าคู่ หรือช่วงหน้า)\n"
                 "  raw      พิมพ์เฉลยและกระดาษคำตอบทุกแผ่นลงไฟล์ PDF\n"
                 "  stats    สถิติรายข้อจากผู้สอบทุกคน เป็น JSON (ค่าเริ่มต้น) และ/หรือ CSV "
                 "ในโฟลเดอร์ DIR\n"
                 "  import   นำเข้ากระดาษคำตอบจากสเปรดชีต เครื่องตรวจ หรือแบบทดสอบออนไลน์ (SOURCE)\n"
                 "           หน้าที่ของคอลัมน์อ่านจากหัวตาราง หรือกำหนดเองด้วย --columns "
                 "code=D,name=E,group=F,answers=G:P,ignore=H;\n"
                 "           --options MAP.csv (คำถาม,ข้อความตัวเลือก,หมายเลขตัวเลือก) "
                 "ให้ลำดับตัวเลือกที่ไม่มีอักษรนำหน้า ระบุเฉพาะบางข้อได้;\n"
                 "           --keep first|last|all เมื่อรหัสเดียวกันส่งซ้ำ (ค่าเริ่มต้น last); "
                 "--replace-key แทนเฉลยที่มีอยู่แล้ว\n"
                 "  export   ส่งออกคะแนน คำตอบ หรือผลการวิเคราะห์เป็น .xlsx หรือ .csv\n"
                 "  graphs   วิเคราะห์แล้วเขียนรายงานแบบกราฟเป็น PDF (และภาพ PNG/SVG)\n"
                 "  pool     รวมไฟล์ข้อมูลของหลายห้องที่สอบข้อสอบชุดเดียวกันเป็นไฟล์ใหม่ "
                 "แต่ละแผ่นจำกลุ่มไว้ (ชื่อไฟล์ หรือคอลัมน์ NAME)\n"
                 "  compare  เปรียบเทียบกลุ่ม (N ค่าเฉลี่ย SD KR-20, p และ r_it รายข้อ) "
                 "และตรวจการทำหน้าที่ต่างกัน (DIF) แบบ Mantel–Haenszel ระดับ A/B/C\n\n"
                 "  sheets   พิมพ์กระดาษคำตอบลงไฟล์ PDF: แผ่นเปล่ามีช่องระบายรหัส (--blank N) "
                 "แผ่นที่มีชื่อจากรายชื่อ (--students) หรือกระดาษเฉลย (--key)\n"
                 "  scan     อ่านกระดาษคำตอบจากไฟล์ PDF, PNG, JPEG, TIFF หรือโฟลเดอร์ "
                 "แล้วบันทึกทั้งชุด เครื่องหมายที่ไม่ชัดเขียนลง review.csv ให้ตรวจก่อน; "
                 "--decide รับคำตัดสินจาก review.csv, --redecide ตัดสินใหม่จากค่าที่เก็บไว้\n\n"
                 "ตัวอย่าง:\n"
                 "  itemanalysis-cli create ม1.ans --items 40 --choices 4 --subject คณิตศาสตร์ "
                 "--year 2567\n"
                 "  itemanalysis-cli analyse ม1.ans --technique 27\n"
                 "  itemanalysis-cli print ม1.ans --technique 25 --pdf ม1.pdf --pages 1-2\n"
                 "  itemanalysis-cli stats ม1.ans --csv สถิติ-ม1\n"
                 "  itemanalysis-cli pool ม1-รวม.ans ม1-1.ans ม1-2.ans ม1-3.ans\n"
                 "  itemanalysis-cli compare ม1-รวม.ans --reference ม1-1 --focal ม1-2 --purify\n\n"
                 "ผลลัพธ์ออกทางเอาต์พุตมาตรฐาน (stdout) ข้อความแจ้งออกทาง stderr\n"
                 "ความคืบหน้าแสดงหนึ่งบรรทัดทาง stderr เมื่อเป็นจอเทอร์มินัล; --quiet "
                 "(ทุกคำสั่ง ยกเว้น create และ check) ไม่แสดง\n"
                 "Ctrl+C ยกเลิกงานที่กำลังทำ ไฟล์ทุกไฟล์คงเดิม\n"
              << "import อ่านไม่เกิน: ไฟล์ต้นทาง " << (ia::kMaxSourceBytes >> 20)
              << " MB (ส่วนของสมุดงาน .xlsx เมื่อคลายออกก็เช่นกัน) บรรทัดละ " << (ia::kMaxLineBytes >> 20)
              << " MB ช่องละ " << ia::kMaxCellBytes << " ไบต์ คอลัมน์ไม่เกินจำนวนข้อ + "
              << ia::kMaxLeadingColumns << " รวมไม่เกิน " << ia::kMaxTableCells << " ช่อง\n"
              << "รหัสออก: 0 สำเร็จ, 1 ถูกปฏิเสธหรือทำไม่สำเร็จ, 2 ใช้คำสั่งผิดรูปแบบ, "
                 "130 ยกเลิกด้วย Ctrl+C\n";
    return 0;
}

using ia::cli::Fail;

const char* const kResultsNotStored = "คำเตือน : ไฟล์ข้อมูลบันทึกไม่ได้ ผลการวิเคราะห์ที่พิมพ์นี้ไม่ได้ถูกบันทึกลงในไฟล์";

// Reads the subcommand's command line; anything it does not declare ends
// the run with the usage text (exit 2).
std::optional<int> ReadOptions(int argc, char** argv, const ia::cli::AcceptedOptions& accepted,
                               ia::cli::CommandOptions& a) {
    return ia::cli::ReadCommandOptions(argc, argv, accepted, a, kUsageText);
}

int Create(int argc, char** argv) {
    ia::cli::CommandOptions a;
    const ia::cli::AcceptedOptions accepted{
        1,
        {"--items", "--choices", "--subject-code", "--subject", "--term", "--year", "--teacher"},
        {"--overwrite"},
        {}};
    if (auto rc = ReadOptions(argc, argv, accepted, a)) return *rc;
    const std::string& file = a.positional[0];
    // The same checks as the header panel, in the same order, with the same
    // words; only a year that is no number at all is refused here, where no
    // field shows what was typed.
    const bool yearGiven = a.given("--year");
    ia::NewHeaderCheck check = ia::CheckNewHeader(
        {file, a.value("--subject-code"), a.value("--subject"), a.value("--term"),
         a.value("--year"), a.value("--items"), a.value("--choices"), a.value("--teacher")});
    if (!check.ok) return Fail(check.message);
    if (yearGiven && !ia::IsNumeric(ia::WithAsciiDigits(a.value("--year"))))
        return Fail(ia::kYearInvalid);
    ia::ExamSession session;
    const ia::Outcome<ia::CreatedFile> created =
        session.create(file, check.header, a.has("--overwrite"));
    if (!created.ok()) {
        const bool exists = created.error.kind == ia::SessionErrorKind::AlreadyExists ||
                            created.error.kind == ia::SessionErrorKind::FolderInTheWay;
        return Fail(exists ? created.error.message + " (ใช้ --overwrite เพื่อเขียนทับ)"
                           : created.error.message);
    }
    if (!created.value.backupNotice.empty()) std::cerr << created.value.backupNotice << "\n";
    std::cout << file << "\n";
    return 0;
}

int Check(int argc, char** argv) {
    ia::cli::CommandOptions a;
    if (auto rc = ReadOptions(argc, argv, {1, {}, {}, {}}, a)) return *rc;
    const std::string& file = a.positional[0];
    const ia::ExamFileProblem problem = ia::DiagnoseExamFile(file);
    // Standard output stays what scripts read (1 or 0); a file that is
    // there but cannot be looked at says why on the error stream.
    switch (problem) {
    case ia::ExamFileProblem::NotFound:
    case ia::ExamFileProblem::NameTooLong:
    case ia::ExamFileProblem::InUse:
    case ia::ExamFileProblem::Damaged:
        std::cerr << ia::ExamFileProblemMessage(problem, file) << "\n";
        break;
    default:
        break;
    }
    const bool signed_ =
        problem == ia::ExamFileProblem::None || problem == ia::ExamFileProblem::BadStructure;
    std::cout << (signed_ ? ia::IsExamFile(file) : 0) << "\n";
    return 0;
}

int Analyse(int argc, char** argv) {
    ia::cli::CommandOptions a;
    if (auto rc = ReadOptions(argc, argv, {1, {"--technique"}, {}, {"--technique"}}, a)) return *rc;
    ia::ExamSession session;
    if (ia::SessionError error = session.open(a.positional[0])) return Fail(error.message);
    if (int rc = ia::cli::AnalyseTellingChecks(session, a.value("--technique"), true)) return rc;
    std::cout << session.state().ReportFileName << "\n";
    return 0;
}

// The page selection as the print options panel takes it: all, odd, even or
// a range "A-B".
ia::Outcome<ia::PrintJob> PrintJobOf(const std::string& pages) {
    if (pages.empty() || pages == "all") return ia::PrintJobFor(ia::PageSelection::All);
    if (pages == "odd") return ia::PrintJobFor(ia::PageSelection::Odd);
    if (pages == "even") return ia::PrintJobFor(ia::PageSelection::Even);
    auto dash = pages.find('-', 1);
    std::string from = pages.substr(0, dash);
    std::string to = dash == std::string::npos ? "" : pages.substr(dash + 1);
    return ia::PrintJobFor(ia::PageSelection::Range, from, to);
}

int Print(int argc, char** argv) {
    ia::cli::CommandOptions a;
    if (auto rc = ReadOptions(
            argc, argv, {1, {"--technique", "--pdf", "--pages"}, {}, {"--technique", "--pdf"}}, a))
        return *rc;
    const ia::Outcome<ia::PrintJob> job = PrintJobOf(a.value("--pages"));
    if (!job.ok()) return Fail(job.error.message);
    const std::string& file = a.positional[0];
    const std::string pdf = a.value("--pdf");
    ia::ExamSession session;
    ia::OpenOptions options;
    options.privateCopyWhenReadOnly = true;
    if (ia::SessionError error = session.open(file, options)) return Fail(error.message);
    auto printReport = [&]() -> int {
        try {
            const ia::Outcome<ia::ReportPrintInput> input =
                ia::ReportPrintInputFor(session, job.value);
            if (!input.ok()) return Fail(input.error.message);
            ia::PrintJob printing = input.value.job;
            ia::TestHeader h = session.header(); // the printout pads its texts
            auto prn = std::make_unique<ia::PdfPrinter>(pdf);
            // Analysed just before, they are current; said all the same should
            // the analysis ever leave them otherwise.
            if (!input.value.outdatedNotice.empty()) ia::cli::Warn(input.value.outdatedNotice);
            ia::PrintOutput(*prn, printing, h, "", input.value.data, h.nChoice, h.nItem,
                            ia::cli::JobProgress(), input.value.outdatedNotice);
            if (prn->Failed()) return Fail(prn->Notice());
        } catch (const std::exception& e) {
            return Fail(e.what());
        }
        return 0;
    };
    if (int rc = ia::cli::AnalyseThenOutput(session, a.value("--technique"), printReport))
        return rc;
    if (!session.resultsStored()) std::cerr << kResultsNotStored << "\n";
    std::cout << pdf << "\n";
    return 0;
}

int Raw(int argc, char** argv) {
    ia::cli::CommandOptions a;
    if (auto rc = ReadOptions(argc, argv, {1, {"--pdf"}, {}, {"--pdf"}}, a)) return *rc;
    ia::ExamSession session;
    // The raw printout only reads: a file open in a window prints as it is.
    ia::OpenOptions options;
    options.takeWriterLock = false;
    if (ia::SessionError error = session.open(a.positional[0], options)) return Fail(error.message);
    const std::string pdf = a.value("--pdf");
    const ia::Outcome<ia::RawSheetsInOrder> sheets = session.rawSheets();
    if (!sheets.ok()) return Fail(sheets.error.message);
    try {
        auto prn = std::make_unique<ia::PdfPrinter>(pdf);
        ia::TestHeader header = session.header(); // the printout pads its texts
        ia::RawPrint(*prn, header, "", sheets.value.key, *sheets.value.sheets,
                     ia::cli::JobProgress());
        if (prn->Failed()) return Fail(prn->Notice());
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    std::cout << pdf << "\n";
    return 0;
}

#ifdef ITEMANALYSIS_WITH_QT
// Qt's own warnings are for developers: a teacher sees only the program's
// Thai messages unless ITEMANALYSIS_DEBUG=1 asks for them.
void QtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    static const bool debug = qgetenv("ITEMANALYSIS_DEBUG") == "1";
    if (debug) std::cerr << qFormatLogMessage(type, context, text).toStdString() << "\n";
}
#endif

// The subcommands that run a job: they show progress and can be cancelled.
int RunJob(const std::string& cmd, int argc, char** argv) {
    try {
        if (cmd == "analyse") return Analyse(argc, argv);
        if (cmd == "stats") return ia::StatsCommand(argc, argv);
        if (cmd == "import") return RunImportCommand(argc, argv);
        if (cmd == "export") return RunExportCommand(argc, argv);
        if (cmd == "pool") return ia::cli::PoolCommand(argc, argv);
        if (cmd == "compare") return ia::cli::CompareCommand(argc, argv);
        if (cmd == "sheets") return RunSheetsCommand(argc, argv);
        if (cmd == "scan") return RunScanCommand(argc, argv);
        if (cmd == "print" || cmd == "raw" || cmd == "graphs") {
#ifdef ITEMANALYSIS_WITH_QT
            // Printing measures text with Qt's fonts; no window is ever shown.
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
#endif
            if (cmd == "graphs") return ia::cli::Graphs(argc, argv);
            return cmd == "print" ? Print(argc, argv) : Raw(argc, argv);
        }
    } catch (const ia::JobCancelled& e) {
        return Fail(e.what());
    } catch (const std::bad_alloc&) {
        // Nothing was made final: every writer commits only at its end.
        return Fail(ia::cli::kOutOfMemoryText);
    }
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
#ifdef ITEMANALYSIS_WITH_QT
    qInstallMessageHandler(QtMessages);
#endif
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return Help();
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "itemanalysis-cli " << ia::kVersion << "\n";
        return 0;
    }
    if (argc < 2) return Usage();
    std::string cmd = argv[1];
    if (cmd == "create") return Create(argc, argv);
    if (cmd == "check") return Check(argc, argv);
    ia::cli::StartJobProgress(ia::cli::TakeQuietOption(argc, argv));
    const int rc = RunJob(cmd, argc, argv);
    ia::cli::EndJobProgress();
    // The job told why it stopped; the exit code says it was the user.
    return ia::cli::JobWasCancelled() && rc != 0 ? ia::cli::kCancelledExitCode : rc;
}
