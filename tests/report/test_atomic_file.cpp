// SPDX-License-Identifier: GPL-3.0-or-later
// Output files are whole or not there: the replacing write, the PDF check,
// the removal of what a killed run left, and the window's printer on a disk
// that fills up during the write.
#include "SyncOrder.h"
#include "TestSupport.h"
#include "report/AtomicFile.h"
#include "report/GraphReport.h"
#include "report/PrintState.h"
#include "report/PrinterPdf.h"
#include "report/ReportText.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;

const std::string kWholePdf = "%PDF-1.4\nbody\n%%EOF\n";

} // namespace

TEST(ReplaceFileAtomically, OnlyACompleteWriteReplacesThePreviousFile) {
    struct Case {
        const char* what;
        std::function<bool(const std::string&)> write;
        bool replaced;
    } cases[] = {
        {"whole", [](const std::string& t) { return iatest::WriteText(t, kWholePdf), true; }, true},
        {"writer reports failure",
         [](const std::string& t) { return iatest::WriteText(t, kWholePdf), false; }, false},
        {"cut short",
         [](const std::string& t) { return iatest::WriteText(t, "%PDF-1.4\nbo"), true; }, false},
        {"empty", [](const std::string&) { return true; }, false},
        {"not a pdf",
         [](const std::string& t) { return iatest::WriteText(t, "hello %%EOF"), true; }, false},
    };
    for (const auto& c : cases) {
        iatest::TempDir dir;
        const std::string target = dir.file("o.pdf");
        iatest::WriteText(target, "previous");
        bool threw = false;
        try {
            ia::WritePdfReplacing(target, c.write);
        } catch (const ia::ReplaceFileError& e) {
            threw = true;
            EXPECT_EQ(std::string(e.what()).rfind("บันทึกไฟล์ PDF ไม่ได้ : " + target + " (", 0), 0u)
                << c.what;
        }
        EXPECT_EQ(threw, !c.replaced) << c.what;
        EXPECT_EQ(iatest::FileBytes(target), c.replaced ? kWholePdf : "previous") << c.what;
        EXPECT_EQ(iatest::FolderEntries(dir.path()), std::vector<std::string>{"o.pdf"}) << c.what;
    }
}

TEST(ReplaceFileAtomically, AWriterThatThrowsLeavesNothingBehind) {
    iatest::TempDir dir;
    const std::string target = dir.file("o.pdf");
    iatest::WriteText(target, "previous");
    EXPECT_THROW(ia::WritePdfReplacing(target,
                                       [](const std::string& t) -> bool {
                                           iatest::WriteText(t, "%PDF-");
                                           throw std::runtime_error("stop");
                                       }),
                 std::runtime_error);
    EXPECT_EQ(iatest::FileBytes(target), "previous");
    EXPECT_EQ(iatest::FolderEntries(dir.path()), std::vector<std::string>{"o.pdf"});
}

TEST(ReplaceFileAtomically, AFolderThatTakesNoFileSaysWhy) {
    iatest::TempDir dir;
    iatest::WriteText(dir.file("plain"), "x");
    struct Case {
        std::string target, reason;
    } cases[] = {
        {dir.file("none/o.pdf"), "ไม่พบโฟลเดอร์"},
        {dir.file("plain/o.pdf"), "ส่วนหนึ่งของชื่อโฟลเดอร์ไม่ใช่โฟลเดอร์"},
        {dir.file(std::string(300, 'n') + ".pdf"), "ชื่อไฟล์ยาวเกินกว่าที่ระบบไฟล์รองรับ"},
    };
    for (const auto& c : cases) {
        bool called = false;
        try {
            ia::WritePdfReplacing(c.target, [&](const std::string&) { return called = true; });
            ADD_FAILURE() << c.target;
        } catch (const ia::ReplaceFileError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "บันทึกไฟล์ PDF ไม่ได้ : " + c.target + " (" + c.reason + ")");
        }
        EXPECT_FALSE(called);
    }
    // A folder standing where the PDF should go: the rename is refused.
    fs::create_directory(dir.file("busy.pdf"));
    EXPECT_THROW(ia::WritePdfReplacing(
                     dir.file("busy.pdf"),
                     [](const std::string& t) { return iatest::WriteText(t, kWholePdf), true; }),
                 ia::ReplaceFileError);
    EXPECT_TRUE(fs::is_directory(dir.file("busy.pdf")));
    EXPECT_EQ(iatest::FolderEntries(dir.path()), (std::vector<std::string>{"busy.pdf", "plain"}));
}

TEST(PdfFileIsComplete, OnlyAWholePdfCounts) {
    iatest::TempDir dir;
    struct Case {
        std::string bytes;
        bool whole;
    } cases[] = {
        {kWholePdf, true},
        {"%PDF-1.4\nbody\n%%EOF", true},
        {"%PDF-1.4\nbody\n%%EOF\r\n", true},
        {"%PDF-1.4\nbody\n%%EO", false},
        {"%PDF-1.4\nbody\n", false},
        {"", false},
        {"%PDF-", false},
        {"body\n%%EOF\n", false},
    };
    for (const auto& c : cases) {
        iatest::WriteText(dir.file("p.pdf"), c.bytes);
        EXPECT_EQ(ia::PdfFileIsComplete(dir.file("p.pdf")), c.whole) << c.bytes;
    }
    EXPECT_FALSE(ia::PdfFileIsComplete(dir.file("missing.pdf")));
}

TEST(SelectsAnyPage, ARangeOutsideThePrintoutSelectsNothing) {
    struct Case {
        std::string from, to;
        bool any;
    } cases[] = {
        {"1", "", true},   {"3", "", true},           {"4", "", false},   {"0", "", false},
        {"-3", "", false}, {"5", "2", false},         {"0", "0", false},  {"2", "9", true},
        {"4", "9", false}, {"4294967297", "", false}, {"0.4", "", false}, {"2.6", "3", true},
        {"3", "1", false}, {"1", "4294967297", true},
    };
    for (const auto& c : cases) {
        ia::PrintJob job;
        ASSERT_TRUE(ia::SetPageRange(job, c.from, c.to));
        EXPECT_EQ(ia::SelectsAnyPage(job, 3), c.any) << c.from << "-" << c.to;
    }
    ia::PrintJob odd;
    odd.PrintMode = 2;
    EXPECT_TRUE(ia::SelectsAnyPage(odd, 1));
    ia::PrintJob even;
    even.PrintMode = 3;
    EXPECT_FALSE(ia::SelectsAnyPage(even, 1));
    EXPECT_TRUE(ia::SelectsAnyPage(even, 2));
}

// The PDF printer (the command line's, and the window's when there is no
// printer or it refuses the job) writes the same way: a write refused half
// way (here the file size limit, which binds root as a full disk would)
// keeps the previous PDF and says why.
TEST(PdfPrinter, APdfCutShortKeepsThePreviousOne) {
    iatest::TempDir dir;
    const std::string path = dir.file("ม1.pdf");
    iatest::WriteText(path, "previous");
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 2000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    auto prn = std::make_unique<ia::PdfPrinter>(path);
    ia::SetupPrinter(*prn);
    for (int i = 0; i < 3; ++i) {
        prn->Print("ข้อสอบข้อที่ " + std::to_string(i));
        prn->NewPage();
    }
    prn->EndDoc();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(prn->Failed());
    EXPECT_EQ(prn->Notice().rfind("บันทึกไฟล์ PDF ไม่ได้ : " + path + " (", 0), 0u) << prn->Notice();
    EXPECT_EQ(iatest::FileBytes(path), "previous");
    EXPECT_EQ(iatest::FolderEntries(dir.path()), std::vector<std::string>{"ม1.pdf"});
}

TEST(PdfPrinter, AJobAbandonedBeforeItsEndLeavesThePreviousPdf) {
    iatest::TempDir dir;
    const std::string path = dir.file("o.pdf");
    iatest::WriteText(path, "previous");
    {
        auto prn = std::make_unique<ia::PdfPrinter>(path);
        ia::SetupPrinter(*prn);
        prn->Print("ข้อ");
        // An exception while laying out pages: the printer goes away unended.
    }
    EXPECT_EQ(iatest::FileBytes(path), "previous");
    EXPECT_EQ(iatest::FolderEntries(dir.path()), std::vector<std::string>{"o.pdf"});
}

// Every printout file is synced before it takes its name, and its folder
// after (the order of the calls is seen through tests/SyncOrder.h).
TEST(ReplaceFileAtomically, EveryPrintoutFileIsSyncedBeforeItIsRenamed) {
    iatest::TempDir dir;
    const std::vector<iatest::SyncedWrite> cases = {
        {"the report text", "ม1.txt", "report",
         [&dir](const std::string&) {
             ia::TestHeader h = iatest::MakeHeader(1, 2);
             ia::ReportData d;
             d.SheetCount = 1;
             EXPECT_EQ(ia::CreateOutputFile(dir.file("ม1.ans"), h, "1", d), dir.file("ม1.txt"));
         }},
        {"the printer's PDF", "ผล.pdf", "pdf",
         [](const std::string& target) {
             ia::PdfPrinter prn(target);
             ia::SetupPrinter(prn);
             prn.Print("ผลการวิเคราะห์");
             prn.EndDoc();
             EXPECT_FALSE(prn.Failed()) << prn.Notice();
         }},
        {"the graph pages", "กราฟ.pdf", "pdf",
         [](const std::string& target) {
             std::unique_ptr<ia::GraphPages> pages = ia::PdfGraphPages(target);
             pages->NewPage().FillRect({10, 10, 100, 50}, {0, 0, 0});
             EXPECT_TRUE(pages->Finish()) << pages->FailureReason();
         }},
        {"a PDF a library writes by path", "ภายนอก.pdf", "pdf",
         [](const std::string& target) {
             ia::WritePdfReplacing(target, [](const std::string& t) {
                 return iatest::WriteText(t, kWholePdf), true;
             });
         }},
    };
    iatest::ExpectSyncedBeforeRenamed(dir.path(), cases);
}
