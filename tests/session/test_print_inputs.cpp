// SPDX-License-Identifier: GPL-3.0-or-later
// What the printouts take from the exam session: the page choice and the
// report's pages. Apart from the other session tests because counting pages
// measures text as the printer does.

#include "TestSupport.h"
#include "report/PrintState.h"
#include "session/ExamSession.h"
#include "session/PrintInputs.h"

#include <gtest/gtest.h>

#include <string>

using ia::ExamSession;
using ia::SessionErrorKind;

namespace {

TEST(PageSelection, ModesAndRanges) {
    EXPECT_EQ(ia::PrintJobFor(ia::PageSelection::Odd).value.PrintMode, 2);
    EXPECT_EQ(ia::PrintJobFor(ia::PageSelection::Even).value.PrintMode, 3);
    const ia::Outcome<ia::PrintJob> range = ia::PrintJobFor(ia::PageSelection::Range, "2", "๓");
    ASSERT_TRUE(range.ok());
    EXPECT_EQ(range.value.PrintMode, 4);
    EXPECT_EQ(range.value.PageFrom, 2);
    const ia::Outcome<ia::PrintJob> bad = ia::PrintJobFor(ia::PageSelection::Range, "ก", "3");
    EXPECT_EQ(bad.error.kind, SessionErrorKind::PageRangeInvalid);
    EXPECT_EQ(bad.error.message, "หน้าแรกต้องเป็นตัวเลข");
}

TEST(PageSelection, ARangeBeyondTheReportIsRefused) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"},
                         {iatest::Sheet("3", "1234"), iatest::Sheet("1", "1233"),
                          iatest::Sheet("10", "1111"), iatest::Sheet("2", "4321")});
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    ASSERT_TRUE(session.analyse({}).ok());
    const int pages = ia::ReportPageCount(session);
    ASSERT_GT(pages, 0);
    const ia::Outcome<ia::ReportPrintInput> all =
        ia::ReportPrintInputFor(session, ia::PrintJobFor(ia::PageSelection::All).value);
    ASSERT_TRUE(all.ok()) << all.error.message;
    EXPECT_EQ(all.value.pages, pages);
    const std::string past = std::to_string(pages + 1);
    const ia::Outcome<ia::ReportPrintInput> beyond = ia::ReportPrintInputFor(
        session, ia::PrintJobFor(ia::PageSelection::Range, past, past + "0").value);
    EXPECT_EQ(beyond.error.kind, SessionErrorKind::NoPageSelected);
    EXPECT_EQ(beyond.error.message, ia::kNoPageSelected);
}

} // namespace
