// SPDX-License-Identifier: GPL-3.0-or-later
// The exam session's flows as the window and the command line call them:
// what comes back (kind and Thai text) and what the file holds afterwards.

#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/NewFileRules.h"
#include "report/OutputPath.h"
#include "session/ExamSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using ia::ExamSession;
using ia::HeaderField;
using ia::SessionErrorKind;

namespace fs = std::filesystem;

namespace ia {
void PrintTo(SessionErrorKind kind, std::ostream* os) {
    *os << "SessionErrorKind(" << static_cast<int>(kind) << ")";
}
} // namespace ia

namespace {

// A value of the header row or of any one-row query.
std::string Stored(const std::string& path, const std::string& sql) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare(sql);
    return st.step() ? st.column(0).text() : "(no row)";
}

// Four items, four choices, keyed 1 2 3 4, with sheets of varied scores.
void MakeGoodFile(const std::string& path) {
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"},
                         {iatest::Sheet("3", "1234"), iatest::Sheet("1", "1233"),
                          iatest::Sheet("10", "1111"), iatest::Sheet("2", "4321"),
                          iatest::Sheet("4", "1244"), iatest::Sheet("5", "2234")});
}

// ---------------------------------------------------------------------------
// Opening

struct OpenCase {
    const char* name;
    std::function<void(const std::string&)> make;
    SessionErrorKind kind;
    std::string messageHas; // part of the refusal text
};

void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class OpenFile : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenFile, RecognisesOrRefusesWithAThaiReason) {
    const OpenCase& c = GetParam();
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    c.make(path);
    ExamSession session;
    const ia::SessionError error = session.open(path);
    EXPECT_EQ(error.kind, c.kind);
    EXPECT_NE(error.message.find(c.messageHas), std::string::npos) << error.message;
    EXPECT_EQ(session.isOpen(), c.kind == SessionErrorKind::None);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFile,
    ::testing::Values(
        OpenCase{"good", MakeGoodFile, SessionErrorKind::None, ""},
        OpenCase{"olderCountFields",
                 [](const std::string& p) {
                     MakeGoodFile(p);
                     iatest::MakeOldCountFields(p);
                 },
                 SessionErrorKind::None, ""},
        OpenCase{"missing", [](const std::string&) {}, SessionErrorKind::NotExamFile, "exam.ans"},
        OpenCase{"text", [](const std::string& p) { iatest::WriteText(p, "not an exam\n"); },
                 SessionErrorKind::NotExamFile, "exam.ans"},
        OpenCase{"signedWithoutOurTables",
                 [](const std::string& p) {
                     ia::Connection db(p, ia::Connection::Mode::Create);
                     db.exec("CREATE TABLE TVTQ (x INTEGER)");
                 },
                 SessionErrorKind::NotExamFile, ia::BadStructureMessage("").substr(0, 20)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenFile, ReadsTheHeaderAndBindsTheViews) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    ia::TestHeader h = iatest::MakeHeader(4, 4);
    h.SubName = "คณิตศาสตร์";
    h.Yearr = 2567;
    iatest::MakeExamFile(path, h, {"1", "2", "3", "4"}, {iatest::Sheet("1", "1234")});
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    EXPECT_EQ(session.fileName(), path);
    EXPECT_EQ(session.header().SubName, "คณิตศาสตร์");
    EXPECT_EQ(session.header().Yearr, 2567);
    EXPECT_EQ(session.header().nItem, 4);
    EXPECT_EQ(session.sheetCount(), 1);
    EXPECT_TRUE(session.views().key.isOpen());
    EXPECT_TRUE(session.resultsStored());
}

TEST(OpenFile, HeaderOnlyLeavesTheSheetsUnlisted) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    ExamSession session;
    ia::OpenOptions headerOnly;
    headerOnly.headerOnly = true;
    ASSERT_FALSE(session.open(path, headerOnly));
    EXPECT_EQ(session.header().nItem, 4);
    EXPECT_FALSE(session.views().sheets.isOpen());
    auto st = session.connection()->prepare("SELECT count(*) FROM TAData");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.columnInt(0), 6);
    // A foreign file is refused the same way.
    const std::string text = dir.file("text.ans");
    iatest::WriteText(text, "not an exam\n");
    EXPECT_EQ(session.open(text, headerOnly).kind, SessionErrorKind::NotExamFile);
}

TEST(OpenFile, ARefusedFileLeavesTheFileInHandBound) {
    iatest::TempDir dir;
    const std::string good = dir.file("good.ans");
    MakeGoodFile(good);
    const std::string bad = dir.file("bad.ans");
    iatest::WriteText(bad, "not an exam\n");
    ExamSession session;
    ASSERT_FALSE(session.open(good));
    int closed = 0;
    session.beforeViewsClosed = [&] { ++closed; };
    EXPECT_TRUE(session.open(bad));
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(session.fileName(), good);
    EXPECT_EQ(session.sheetCount(), 6);
    // Another good file takes its place, and whoever shows the views is told first.
    const std::string other = dir.file("other.ans");
    iatest::MakeExamFile(other, iatest::MakeHeader(2, 3), {"1", "2"}, {});
    ASSERT_FALSE(session.open(other));
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(session.header().nItem, 2);
    EXPECT_EQ(session.sheetCount(), 0);
}

// ---------------------------------------------------------------------------
// Header fields written back

struct HeaderCase {
    const char* name;
    HeaderField field;
    std::string typed;
    SessionErrorKind kind;
    const char* column; // what the header row holds afterwards
    const char* stored;
    const char* shown; // headerFieldText afterwards
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class WriteHeaderField : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(WriteHeaderField, StoresOrKeepsTheStoredValue) {
    const HeaderCase& c = GetParam();
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    ia::TestHeader h = iatest::MakeHeader(4, 4);
    h.SubCode = "ค21101";
    h.SubName = "คณิตศาสตร์";
    h.Term = "1";
    h.Yearr = 2566;
    h.TeacherName = "ครูสมศรี";
    iatest::MakeExamFile(path, h, {"1", "2", "3", "4"}, {});
    ExamSession session;
    ASSERT_FALSE(session.open(path));

    const ia::SessionError error = session.writeHeaderField(c.field, c.typed);
    EXPECT_EQ(error.kind, c.kind) << error.message;
    if (c.kind == SessionErrorKind::InvalidValue) {
        EXPECT_EQ(error.message,
                  c.field == HeaderField::Year ? ia::kYearInvalid : ia::kChoicesOutOfRange);
    }
    if (c.kind == SessionErrorKind::TextTooLong) {
        EXPECT_NE(error.message.find("ยาวเกิน"), std::string::npos) << error.message;
    }
    EXPECT_EQ(Stored(path, std::string("SELECT ") + c.column + " FROM Tinit"), c.stored);
    EXPECT_EQ(session.headerFieldText(c.field), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, WriteHeaderField,
    ::testing::Values(
        HeaderCase{"subject", HeaderField::Subject, "วิทยาศาสตร์", SessionErrorKind::None, "SubName",
                   "วิทยาศาสตร์", "วิทยาศาสตร์"},
        HeaderCase{"subjectCodeTooLong", HeaderField::SubjectCode, "ABCDEFGHIJKLMNOPQRSTU",
                   SessionErrorKind::TextTooLong, "SubCode", "ค21101", "ค21101"},
        HeaderCase{"codeOfTwentyThaiCharacters", HeaderField::SubjectCode, "กขคฆงจฉชซฌญฎฏฐฑฒณดตถ",
                   SessionErrorKind::None, "SubCode", "กขคฆงจฉชซฌญฎฏฐฑฒณดตถ",
                   "กขคฆงจฉชซฌญฎฏฐฑฒณดตถ"},
        HeaderCase{"termAsTyped", HeaderField::Term, "2/๒๕๖๗", SessionErrorKind::None, "Term",
                   "2/๒๕๖๗", "2/๒๕๖๗"},
        HeaderCase{"teacherTooLong", HeaderField::Teacher, std::string(51, 'x'),
                   SessionErrorKind::TextTooLong, "TeacherName", "ครูสมศรี", "ครูสมศรี"},
        HeaderCase{"yearInThaiDigits", HeaderField::Year, "๒๕๖๗", SessionErrorKind::None, "Yearr",
                   "2567", "2567"},
        HeaderCase{"yearOfLetters", HeaderField::Year, "สองพัน", SessionErrorKind::InvalidValue,
                   "Yearr", "2566", "2566"},
        HeaderCase{"emptyYear", HeaderField::Year, "", SessionErrorKind::None, "Yearr", "0", "0"},
        HeaderCase{"choicesInThaiDigits", HeaderField::Choices, "๕", SessionErrorKind::None,
                   "nChoice", "5", "5"},
        HeaderCase{"sixChoices", HeaderField::Choices, "6", SessionErrorKind::InvalidValue,
                   "nChoice", "4", "4"},
        HeaderCase{"itemsAreFixed", HeaderField::Items, "10", SessionErrorKind::None, "nItem", "4",
                   "4"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WriteHeaderField, NeedsAnOpenFile) {
    ExamSession session;
    EXPECT_EQ(session.writeHeaderField(HeaderField::Subject, "x").kind,
              SessionErrorKind::NoFileOpen);
}

TEST(WriteHeaderField, AFullDiskKeepsTheStoredValue) {
    iatest::DiskFull::Install();
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    ia::TestHeader h = iatest::MakeHeader(4, 4);
    h.SubName = "เดิม";
    iatest::MakeExamFile(path, h, {"1", "2", "3", "4"}, {});
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    {
        iatest::DiskFull full;
        const ia::SessionError error = session.writeHeaderField(HeaderField::Subject, "ใหม่");
        EXPECT_EQ(error.kind, SessionErrorKind::StoreFailed);
        EXPECT_EQ(error.message.rfind("บันทึกข้อมูลส่วนหัวไม่ได้\n", 0), 0u) << error.message;
    }
    EXPECT_EQ(session.headerFieldText(HeaderField::Subject), "เดิม");
    EXPECT_EQ(Stored(path, "SELECT SubName FROM Tinit"), "เดิม");
    // With room again the same text is stored.
    EXPECT_FALSE(session.writeHeaderField(HeaderField::Subject, "ใหม่"));
    EXPECT_EQ(Stored(path, "SELECT SubName FROM Tinit"), "ใหม่");
}

// ---------------------------------------------------------------------------
// A smaller number of choices on a file with sheets or a key: counted and asked

struct ChoicesCase {
    const char* name;
    std::vector<std::string> key;
    std::vector<std::vector<std::string>> sheets;
    std::string typed;     // the new number of choices (the file has 4)
    bool goOn;             // the answer to the question
    bool asked;            // whether the question comes
    long long answerCells; // what it counts
    long long keyCells;
    SessionErrorKind kind;
    std::string stored; // nChoice afterwards
};

void PrintTo(const ChoicesCase& c, std::ostream* os) {
    *os << c.name;
}

class ChangeChoices : public ::testing::TestWithParam<ChoicesCase> {};

TEST_P(ChangeChoices, CountsWhatFallsOutOfRangeAndAsks) {
    const ChoicesCase& c = GetParam();
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), c.key, c.sheets);
    const std::string before = iatest::FileBytes(path);
    ExamSession session;
    std::vector<ia::EditStep> steps;
    session.keepEditHistory();
    session.onStepRecorded = [&](const ia::EditStep& s) { steps.push_back(s); };
    ASSERT_FALSE(session.open(path));

    int asked = 0;
    ia::ChoicesOutOfRange told;
    const ia::SessionError error = session.writeHeaderField(HeaderField::Choices, c.typed,
                                                            [&](const ia::ChoicesOutOfRange& o) {
                                                                ++asked;
                                                                told = o;
                                                                return c.goOn;
                                                            });
    EXPECT_EQ(error.kind, c.kind) << error.message;
    EXPECT_EQ(asked, c.asked ? 1 : 0);
    if (c.asked) {
        EXPECT_EQ(told.answerCells, c.answerCells);
        EXPECT_EQ(told.keyCells, c.keyCells);
        EXPECT_EQ(told.newChoices, std::stoi(ia::WithAsciiDigits(c.typed)));
    }
    EXPECT_EQ(Stored(path, "SELECT nChoice FROM Tinit"), c.stored);
    EXPECT_EQ(session.headerFieldText(HeaderField::Choices), c.stored);
    if (c.stored == "4") {
        session.close();
        EXPECT_EQ(iatest::FileBytes(path), before) << "a declined change leaves the file as it was";
        EXPECT_TRUE(steps.empty());
    } else {
        // The change is one step, and its undo gives the number back.
        ASSERT_EQ(steps.size(), 1u);
        ASSERT_FALSE(session.undoStep(steps[0].id));
        EXPECT_EQ(Stored(path, "SELECT nChoice FROM Tinit"), "4");
        EXPECT_EQ(session.headerFieldText(HeaderField::Choices), "4");
    }
}

const std::vector<std::string> kKey1212{"1", "2", "1", "2"};

INSTANTIATE_TEST_SUITE_P(Cases, ChangeChoices,
                         ::testing::Values(
                             // Answers 3 and 4 of two sheets with 4 → 2; blanks, 0 and a value
                             // already out of range ("7") are not counted.
                             ChoicesCase{"answersThreeAndFour",
                                         kKey1212,
                                         {iatest::Sheet("1", "1234"),
                                          iatest::Sheet("2", "3.40"),
                                          iatest::Sheet("3", "7..1"),
                                          {"4", "\x01", "3", "\x01", "\x01"}},
                                         "2",
                                         true,
                                         true,
                                         5,
                                         0,
                                         SessionErrorKind::None,
                                         "2"},
                             ChoicesCase{"keyOfThree",
                                         {"1", "2", "3", ""},
                                         {iatest::Sheet("1", "1212")},
                                         "2",
                                         true,
                                         true,
                                         0,
                                         1,
                                         SessionErrorKind::None,
                                         "2"},
                             ChoicesCase{"answersAndKeyToThree",
                                         {"4", "4", "1", "3"},
                                         {iatest::Sheet("1", "4444"), iatest::Sheet("2", "3333")},
                                         "3",
                                         true,
                                         true,
                                         4,
                                         2,
                                         SessionErrorKind::None,
                                         "3"},
                             ChoicesCase{"declinedKeepsTheFile",
                                         {"1", "2", "3", "4"},
                                         {iatest::Sheet("1", "1234"), iatest::Sheet("2", "4321")},
                                         "2",
                                         false,
                                         true,
                                         4,
                                         2,
                                         SessionErrorKind::Declined,
                                         "4"},
                             ChoicesCase{"nothingOutOfRangeIsNotAsked",
                                         kKey1212,
                                         {iatest::Sheet("1", "1212"), iatest::Sheet("2", "..0.")},
                                         "2",
                                         false,
                                         false,
                                         0,
                                         0,
                                         SessionErrorKind::None,
                                         "2"},
                             ChoicesCase{"moreChoicesIsNotAsked",
                                         {"1", "2", "3", "4"},
                                         {iatest::Sheet("1", "4444")},
                                         "5",
                                         false,
                                         false,
                                         0,
                                         0,
                                         SessionErrorKind::None,
                                         "5"},
                             ChoicesCase{"noSheetsButAKey",
                                         {"4", "", "", ""},
                                         {},
                                         "๓",
                                         false,
                                         true,
                                         0,
                                         1,
                                         SessionErrorKind::Declined,
                                         "4"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ChangeChoices, TheQuestionNamesOnlyWhatFallsOutOfRange) {
    EXPECT_EQ(ia::ChoicesChangeQuestion({2, 6, 2}),
              "คำตอบ 6 ช่องและเฉลย 2 ข้อจะเกินจำนวนตัวเลือกใหม่ (2 ตัวเลือก)\n"
              "เปลี่ยนจำนวนตัวเลือกเป็น 2 หรือไม่");
    EXPECT_EQ(ia::ChoicesChangeQuestion({3, 5, 0}),
              "คำตอบ 5 ช่องจะเกินจำนวนตัวเลือกใหม่ (3 ตัวเลือก)\nเปลี่ยนจำนวนตัวเลือกเป็น 3 หรือไม่");
    EXPECT_EQ(ia::ChoicesChangeQuestion({2, 0, 1}),
              "เฉลย 1 ข้อจะเกินจำนวนตัวเลือกใหม่ (2 ตัวเลือก)\nเปลี่ยนจำนวนตัวเลือกเป็น 2 หรือไม่");
}

// ---------------------------------------------------------------------------
// Analysis

struct AnalysisCase {
    const char* name;
    std::vector<std::string> key;
    std::vector<std::vector<std::string>> sheets;
    ia::Technique technique;
    SessionErrorKind kind;
    std::string message;
};

void PrintTo(const AnalysisCase& c, std::ostream* os) {
    *os << c.name;
}

class Analyse : public ::testing::TestWithParam<AnalysisCase> {};

TEST_P(Analyse, RefusesWithoutChangingTheFile) {
    const AnalysisCase& c = GetParam();
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), c.key, c.sheets);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    const std::string before = iatest::FileBytes(path);
    ia::AnalysisRequest request;
    request.technique = c.technique;
    const ia::Outcome<std::string> out = session.analyse(request);
    EXPECT_EQ(out.error.kind, c.kind);
    EXPECT_EQ(out.error.message, c.message);
    session.close();
    EXPECT_EQ(iatest::FileBytes(path), before);
    EXPECT_FALSE(fs::exists(ia::DerivedPath(path, "txt")));
}

const std::vector<std::vector<std::string>> kSixSheets{
    iatest::Sheet("1", "1234"), iatest::Sheet("2", "1233"), iatest::Sheet("3", "1111"),
    iatest::Sheet("4", "4321"), iatest::Sheet("5", "1244"), iatest::Sheet("6", "2234")};

INSTANTIATE_TEST_SUITE_P(Refusals, Analyse,
                         ::testing::Values(AnalysisCase{"noSheets",
                                                        {"1", "2", "3", "4"},
                                                        {},
                                                        ia::Technique::SimpleFormula25,
                                                        SessionErrorKind::NoSheets,
                                                        "ยังไม่มีกระดาษคำตอบ วิเคราะห์ไม่ได้"},
                                           AnalysisCase{"noKeyedItem",
                                                        {"", "", "", ""},
                                                        kSixSheets,
                                                        ia::Technique::FanTable27,
                                                        SessionErrorKind::AnalysisRefused,
                                                        ia::kNoKeyedItem},
                                           AnalysisCase{"tooFewSheetsForGroups",
                                                        {"1", "2", "3", "4"},
                                                        {iatest::Sheet("1", "1234")},
                                                        ia::Technique::SimpleFormula25,
                                                        SessionErrorKind::AnalysisRefused,
                                                        ia::kTooFewSheets}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Analyse, StoresTheResultsAndWritesTheReport) {
    for (ia::Technique technique : {ia::Technique::SimpleFormula25, ia::Technique::FanTable27}) {
        iatest::TempDir dir;
        const std::string path = dir.file("exam.ans");
        MakeGoodFile(path);
        ExamSession session;
        ASSERT_FALSE(session.open(path));
        ia::AnalysisRequest request;
        request.technique = technique;
        request.sheetOrderAfter = ia::SheetOrder::ByScore;
        int asked = 0;
        request.goOnAfterChecks = [&](const ia::CheckFindings&) { return ++asked, true; };
        const ia::Outcome<std::string> out = session.analyse(request);
        ASSERT_TRUE(out.ok()) << out.error.message;
        EXPECT_EQ(asked, 0); // nothing to ask about
        EXPECT_EQ(out.value, session.state().ReportFileName);
        EXPECT_TRUE(fs::exists(out.value));
        EXPECT_EQ(session.state().AnalysisKind, static_cast<int>(technique));
        EXPECT_EQ(Stored(path, "SELECT count(*) FROM TOut"), "16");
        EXPECT_EQ(session.views().sheets.RecordSource, "select * from TAData order by Score");
    }
}

TEST(Analyse, AskedAboutTheFindingsAndDeclinedChangesNothing) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    // A repeated code and an unkeyed item are what the teacher is asked about.
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"1", "2", "3", ""},
                         {iatest::Sheet("1", "1234"), iatest::Sheet("1", "1233"),
                          iatest::Sheet("3", "1111"), iatest::Sheet("4", "4321")});
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    const std::string before = iatest::FileBytes(path);
    ia::CheckFindings seen;
    ia::AnalysisRequest request;
    request.goOnAfterChecks = [&](const ia::CheckFindings& f) {
        seen = f;
        return false;
    };
    EXPECT_EQ(session.analyse(request).error.kind, SessionErrorKind::Declined);
    EXPECT_EQ(seen.keyedItems, 3);
    EXPECT_EQ(seen.lines.size(), 2u);
    EXPECT_EQ(iatest::FileBytes(path), before);

    // Going on analyses the same sheets.
    request.goOnAfterChecks = [](const ia::CheckFindings&) { return true; };
    EXPECT_TRUE(session.analyse(request).ok());
    EXPECT_NE(Stored(path, "SELECT count(*) FROM TOut"), "0");

    // Without any key nothing is asked: the refusal says why.
    const std::string unkeyed = dir.file("unkeyed.ans");
    iatest::MakeExamFile(unkeyed, iatest::MakeHeader(4, 4), {"", "", "", ""}, kSixSheets);
    ASSERT_FALSE(session.open(unkeyed));
    int asked = 0;
    request.goOnAfterChecks = [&](const ia::CheckFindings&) { return ++asked, false; };
    const ia::Outcome<std::string> refused = session.analyse(request);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(refused.error.kind, SessionErrorKind::AnalysisRefused);
    EXPECT_EQ(refused.error.message, ia::kNoKeyedItem);
}

TEST(Analyse, FindingsToldFromTheAnalysisReadEvenWhenRefused) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    // No key at all: every item is unkeyed, and the analysis refuses.
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"", "", "", ""}, kSixSheets);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    std::vector<std::string> told;
    ia::AnalysisRequest request;
    request.tellFindings = [&](const std::vector<std::string>& lines) { told = lines; };
    const ia::Outcome<std::string> out = session.analyse(request);
    EXPECT_EQ(out.error.kind, SessionErrorKind::AnalysisRefused);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("1, 2, 3, 4"), std::string::npos) << told[0];
}

TEST(Analyse, ResultsOutdatedOnceTheKeyChanges) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    {
        ExamSession session;
        ASSERT_FALSE(session.open(path));
        EXPECT_FALSE(session.resultsOutdated()); // nothing stored yet
        ia::AnalysisRequest fan;
        fan.technique = ia::Technique::FanTable27;
        ASSERT_TRUE(session.analyse(fan).ok());
        EXPECT_EQ(session.resultsTechnique(), ia::Technique::FanTable27);
        EXPECT_FALSE(session.resultsOutdated());
        // A key typed in this session, even one the results never marked.
        session.connection()->exec("UPDATE TKey SET X4 = '1'");
        EXPECT_TRUE(session.resultsOutdated());
        ASSERT_TRUE(session.analyse({}).ok());
        EXPECT_FALSE(session.resultsOutdated());
    }
    // A key changed elsewhere since the results were stored.
    {
        ia::Connection db(path);
        db.exec("UPDATE TKey SET X2 = '3'");
    }
    ExamSession later;
    ASSERT_FALSE(later.open(path));
    EXPECT_EQ(later.resultsTechnique(), std::nullopt);
    EXPECT_TRUE(later.resultsOutdated());
}

struct CurrencyCase {
    const char* name;
    // Done to the analysed file by another program, between two sessions.
    const char* elsewhere;
    ia::ResultsCurrency want;
};

void PrintTo(const CurrencyCase& c, std::ostream* os) {
    *os << c.name;
}

class ResultsCurrencyAfter : public ::testing::TestWithParam<CurrencyCase> {};

// What the analysis recorded of its data tells a later session, of this
// program or after another one, whether the stored results still belong to
// the file; a file that never recorded it cannot tell.
TEST_P(ResultsCurrencyAfter, AChangeMadeElsewhere) {
    const CurrencyCase& c = GetParam();
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    {
        ExamSession session;
        ASSERT_FALSE(session.open(path));
        EXPECT_EQ(session.resultsCurrency(), ia::ResultsCurrency::NoResults);
        ASSERT_TRUE(session.analyse({}).ok());
        EXPECT_EQ(session.resultsCurrency(), ia::ResultsCurrency::Current);
        EXPECT_EQ(session.resultsNotice(), "");
    }
    if (*c.elsewhere) {
        ia::Connection db(path);
        db.exec(c.elsewhere);
    }
    ExamSession later;
    ASSERT_FALSE(later.open(path));
    EXPECT_EQ(later.resultsCurrency(), c.want);
    EXPECT_EQ(later.resultsNotice(), ia::ResultsCurrencyNotice(c.want));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ResultsCurrencyAfter,
    ::testing::Values(
        CurrencyCase{"nothing", "", ia::ResultsCurrency::Current},
        CurrencyCase{"an_answer", "UPDATE TAData SET X3 = '4' WHERE Code = '10'",
                     ia::ResultsCurrency::Outdated},
        CurrencyCase{"an_answer_emptied", "UPDATE TAData SET X1 = NULL WHERE Code = '10'",
                     ia::ResultsCurrency::Outdated},
        CurrencyCase{"a_sheet_added",
                     "INSERT INTO TAData (Code, X1, X2, X3, X4) VALUES ('6', '1', '2', '3', '4')",
                     ia::ResultsCurrency::Outdated},
        CurrencyCase{"a_sheet_deleted", "DELETE FROM TAData WHERE Code = '4'",
                     ia::ResultsCurrency::Outdated},
        CurrencyCase{"a_code", "UPDATE TAData SET Code = '11' WHERE Code = '10'",
                     ia::ResultsCurrency::Outdated},
        CurrencyCase{"the_key", "UPDATE TKey SET X2 = '3'", ia::ResultsCurrency::Outdated},
        CurrencyCase{"the_choices", "UPDATE Tinit SET nChoice = 5", ia::ResultsCurrency::Outdated},
        // What the analysis writes itself, or totalling rewrites, is no change.
        CurrencyCase{"the_scores", "UPDATE TAData SET Score = 0", ia::ResultsCurrency::Current},
        CurrencyCase{"the_key_total", "UPDATE TKey SET Tot = 0", ia::ResultsCurrency::Current},
        CurrencyCase{"the_header_text", "UPDATE Tinit SET SubName = 'อื่น'",
                     ia::ResultsCurrency::Current},
        CurrencyCase{"no_record", "DROP TABLE itemanalysis_ResultsBasis",
                     ia::ResultsCurrency::Unknown},
        // Without the record a key the results no longer mark still shows.
        CurrencyCase{"no_record_and_the_key",
                     "DROP TABLE itemanalysis_ResultsBasis; UPDATE TKey SET X2 = '3'",
                     ia::ResultsCurrency::Outdated}),
    [](const auto& info) { return std::string(info.param.name); });

// The session keeps what it read of the data until the file changes: a
// change made while the file is open, through the session's connection or
// another one, shows at once.
TEST(Analyse, AChangeWhileTheFileIsOpenShowsAtOnce) {
    for (const bool sessionsConnection : {true, false}) {
        SCOPED_TRACE(sessionsConnection ? "the session's connection" : "another connection");
        iatest::TempDir dir;
        const std::string path = dir.file("exam.ans");
        MakeGoodFile(path);
        ExamSession session;
        ASSERT_FALSE(session.open(path));
        ASSERT_TRUE(session.analyse({}).ok());
        ASSERT_EQ(session.resultsCurrency(), ia::ResultsCurrency::Current);
        ASSERT_FALSE(session.scoresOutdated());
        const std::string change = "UPDATE TAData SET X3 = '4' WHERE Code = '10'";
        if (sessionsConnection) {
            session.connection()->exec(change);
        } else {
            ia::Connection other(path);
            other.exec(change);
        }
        EXPECT_EQ(session.resultsCurrency(), ia::ResultsCurrency::Outdated);
        EXPECT_TRUE(session.scoresOutdated());
    }
}

TEST(Analyse, SortingTheSheetsLeavesTheResultsCurrent) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    ASSERT_TRUE(session.analyse({}).ok());
    ASSERT_FALSE(session.orderSheets(ia::SheetOrder::ByCode));
    ASSERT_FALSE(session.totalSheets());
    EXPECT_EQ(session.resultsCurrency(), ia::ResultsCurrency::Current);
    EXPECT_NE(ia::ResultsCurrencyNotice(ia::ResultsCurrency::Unknown).find("ไม่ทราบ"),
              std::string::npos);
}

TEST(Analyse, TechniqueFromTheCommandLine) {
    EXPECT_EQ(ia::TechniqueFromText("25"), ia::Technique::SimpleFormula25);
    EXPECT_EQ(ia::TechniqueFromText("27"), ia::Technique::FanTable27);
    for (const char* text : {"", "26", "25 ", "๒๕"})
        EXPECT_EQ(ia::TechniqueFromText(text), std::nullopt) << text;
}

// ---------------------------------------------------------------------------
// Totalling and sorting

TEST(TotalSheets, WritesEveryScore) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    EXPECT_FALSE(session.totalSheets());
    EXPECT_EQ(
        Stored(path,
               "SELECT group_concat(Score, ' ') FROM (SELECT Score FROM TAData ORDER BY rowid)"),
        "4 3 1 0 3 3");
    EXPECT_EQ(session.views().sheets.Recordset()->rowAt(0).back().text(), "4");
}

// A cancel during the checks or the technique comes back as Cancelled,
// with the file as it was; the checks and the analysis report their reading.
TEST(Analyse, CancelledLeavesTheFileAsItWas) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"}, kSixSheets);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    const std::string before = iatest::FileBytes(path);
    for (bool asking : {false, true}) {
        ia::AnalysisRequest request;
        if (asking) request.goOnAfterChecks = [](const ia::CheckFindings&) { return true; };
        iatest::CancelAtStep counting;
        {
            ExamSession scratch;
            const std::string copy = dir.file("copy.ans");
            iatest::WriteText(copy, before);
            ASSERT_FALSE(scratch.open(copy));
            request.progress = &counting;
            ASSERT_TRUE(scratch.analyse(request).ok());
        }
        std::vector<std::string> stages{ia::kReadingSheetsStage, ia::kStoringResultsStage};
        if (asking) stages.insert(stages.begin(), ia::kCheckingSheetsStage);
        EXPECT_EQ(counting.stages(), stages);
        for (long long k = 1; k <= counting.reports(); ++k) {
            iatest::CancelAtStep cancelling(k);
            request.progress = &cancelling;
            const ia::Outcome<std::string> out = session.analyse(request);
            EXPECT_EQ(out.error.kind, SessionErrorKind::Cancelled) << "report " << k;
            EXPECT_EQ(out.error.message, ia::kJobCancelledText);
            EXPECT_EQ(iatest::FileBytes(path), before) << "report " << k;
        }
    }
    EXPECT_FALSE(fs::exists(ia::DerivedPath(path, "txt")));
}

TEST(RawData, ListsTheSheetsInCodeOrder) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    const ia::Outcome<ia::RawData> raw = session.rawData();
    ASSERT_TRUE(raw.ok()) << raw.error.message;
    std::vector<std::string> codes;
    ia::RecordSet* rs = session.views().sheets.Recordset();
    for (int i = 0; i < rs->recordCount(); ++i)
        codes.push_back(rs->rowAt(i).front().text());
    EXPECT_EQ(codes, (std::vector<std::string>{"1", "2", "3", "4", "5", "10"}));
    // Read one at a time, the same records in the same order.
    const ia::Outcome<ia::RawSheetsInOrder> streamed = session.rawSheets();
    ASSERT_TRUE(streamed.ok()) << streamed.error.message;
    EXPECT_EQ(streamed.value.key, raw.value.key);
    ASSERT_EQ(streamed.value.sheets->count(), raw.value.sheets.size());
    for (const ia::RawRecord& sheet : raw.value.sheets)
        EXPECT_EQ(streamed.value.sheets->next(), sheet);

    const std::string empty = dir.file("empty.ans");
    iatest::MakeExamFile(empty, iatest::MakeHeader(4, 4), {"1", "2", "3", "4"}, {});
    ASSERT_FALSE(session.open(empty));
    const ia::Outcome<ia::RawData> none = session.rawData();
    EXPECT_EQ(none.error.kind, SessionErrorKind::NoSheets);
    EXPECT_EQ(none.error.message, "ยังไม่มีกระดาษคำตอบ ไม่มีข้อมูลให้พิมพ์");
    EXPECT_EQ(session.rawSheets().error.kind, SessionErrorKind::NoSheets);
}

// ---------------------------------------------------------------------------
// Creating and replacing

struct CreateCase {
    const char* name;
    std::function<void(const std::string& path)> before;
    bool replace;
    SessionErrorKind kind;
    const char* messageHas;
    bool backupKept;
};

void PrintTo(const CreateCase& c, std::ostream* os) {
    *os << c.name;
}

class Create : public ::testing::TestWithParam<CreateCase> {};

TEST_P(Create, MakesReplacesOrRefuses) {
    const CreateCase& c = GetParam();
    iatest::TempDir dir;
    const std::string path = dir.file("new.ans");
    c.before(path);
    const bool wasFile = fs::is_regular_file(path);
    const std::string oldBytes = wasFile ? iatest::FileBytes(path) : "";
    ExamSession session;
    const ia::Outcome<ia::CreatedFile> out =
        session.create(path, iatest::MakeHeader(3, 5), c.replace);
    EXPECT_EQ(out.error.kind, c.kind);
    EXPECT_NE(out.error.message.find(c.messageHas), std::string::npos) << out.error.message;
    if (out.ok()) {
        EXPECT_EQ(ia::IsExamFile(path), 1);
        EXPECT_EQ(Stored(path, "SELECT nChoice FROM Tinit"), "5");
    } else if (wasFile) {
        EXPECT_EQ(iatest::FileBytes(path), oldBytes); // what was there stays
    }
    EXPECT_EQ(!out.value.backupPath.empty(), c.backupKept);
    if (c.backupKept) {
        EXPECT_EQ(out.value.backupPath, path + ".bak");
        EXPECT_EQ(out.value.backupNotice, ia::BackupNotice(path + ".bak"));
        EXPECT_EQ(iatest::SheetCount(path + ".bak"), 6);
        EXPECT_EQ(iatest::SheetCount(path), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, Create,
    ::testing::Values(
        CreateCase{"fresh", [](const std::string&) {}, false, SessionErrorKind::None, "", false},
        CreateCase{"existingKept", MakeGoodFile, false, SessionErrorKind::AlreadyExists, "มีอยู่แล้ว",
                   false},
        CreateCase{"existingReplacedWithBackup", MakeGoodFile, true, SessionErrorKind::None, "",
                   true},
        CreateCase{"folderOfThatName", [](const std::string& p) { fs::create_directory(p); }, false,
                   SessionErrorKind::FolderInTheWay, "มีอยู่แล้ว", false},
        CreateCase{"backupCannotBeKept",
                   [](const std::string& p) {
                       MakeGoodFile(p);
                       // A folder at the backup's name stops even root's rename.
                       fs::create_directories(p + ".bak/x");
                   },
                   true, SessionErrorKind::BackupRefused, "", false},
        CreateCase{"missingFolder",
                   [](const std::string& p) { fs::remove_all(fs::path(p).parent_path()); }, false,
                   SessionErrorKind::CreateFailed, "สร้างไฟล์ไม่ได้ : ", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Create, ReplacingTheFileInHandLetsGoOfItFirst) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    ExamSession session;
    ASSERT_FALSE(session.open(path));
    int closed = 0;
    session.beforeViewsClosed = [&] { ++closed; };
    const ia::Outcome<ia::CreatedFile> out = session.create(path, iatest::MakeHeader(3, 5), true);
    ASSERT_TRUE(out.ok()) << out.error.message;
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(session.isOpen());
    EXPECT_EQ(iatest::SheetCount(path + ".bak"), 6);
    // The new file opens in its place.
    ASSERT_FALSE(session.open(path));
    EXPECT_EQ(session.header().nItem, 3);
    EXPECT_EQ(session.sheetCount(), 0);
}

// ---------------------------------------------------------------------------
// One writer per file

TEST(OneWriter, ASecondSessionIsRefusedUntilTheFirstLetsGo) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    const std::string other = dir.file("other.ans");
    iatest::MakeExamFile(other, iatest::MakeHeader(2, 3), {"1", "2"}, {});
    ExamSession first, second;
    ASSERT_FALSE(first.open(path));
    ASSERT_FALSE(second.open(other));
    const ia::SessionError refused = second.open(path);
    EXPECT_EQ(refused.kind, SessionErrorKind::OpenElsewhere);
    EXPECT_EQ(refused.message, ia::OpenElsewhereMessage(path));
    EXPECT_NE(refused.message.find("หน้าต่างอื่น"), std::string::npos);
    // The refused one keeps its own file; the first is untouched.
    EXPECT_EQ(second.fileName(), other);
    EXPECT_EQ(first.sheetCount(), 6);
    // Nor may it replace the file under the first.
    const ia::Outcome<ia::CreatedFile> replaced =
        second.create(path, iatest::MakeHeader(3, 5), true);
    EXPECT_EQ(replaced.error.kind, SessionErrorKind::BackupRefused);
    EXPECT_EQ(replaced.error.message, ia::OpenElsewhereMessage(path));
    EXPECT_EQ(iatest::SheetCount(path), 6);
    EXPECT_FALSE(fs::exists(path + ".bak"));
    // Opening the file again in the same session keeps its lock.
    ASSERT_FALSE(first.open(path));
    EXPECT_EQ(second.open(path).kind, SessionErrorKind::OpenElsewhere);
    // Another file, or closing, lets go of it.
    const std::string third = dir.file("third.ans");
    iatest::MakeExamFile(third, iatest::MakeHeader(2, 3), {"1", "2"}, {});
    ASSERT_FALSE(first.open(third));
    ASSERT_FALSE(second.open(path));
    EXPECT_EQ(first.open(path).kind, SessionErrorKind::OpenElsewhere);
    second.close();
    EXPECT_FALSE(first.open(path));
}

TEST(OneWriter, ReadingWorkNeedsNoLock) {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    MakeGoodFile(path);
    ExamSession window, reader;
    ASSERT_FALSE(window.open(path));
    ia::OpenOptions reading;
    reading.takeWriterLock = false;
    ASSERT_FALSE(reader.open(path, reading));
    EXPECT_EQ(reader.sheetCount(), 6);
    // It takes nothing from the window either.
    reader.close();
    EXPECT_TRUE(ia::WriterLockHeldElsewhere(path));
}

} // namespace