// SPDX-License-Identifier: GPL-3.0-or-later
// Answer sheets printed, filled in by a program, spoiled as scanners and
// phones spoil them, and read back: every mark read as made or sent for
// review, never guessed; pages that are not ours refused with the reason;
// the batch stored all or nothing.

#include "MarkedSheets.h"
#include "TestSupport.h"
#include "cli/CliSupport.h"
#include "exchange/ExchangeFixtures.h"
#include "report/GraphReport.h"
#include "scan/ScanStore.h"
#include "scan/SheetAssembly.h"
#include "scan/SheetPrint.h"
#include "session/ExamSession.h"

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace iatest;
using ia::scan::AssembleSheets;
using ia::scan::DoubtfulPolicy;
using ia::scan::ItemReading;
using ia::scan::PageLevels;

namespace {

constexpr int kItems = 60;
constexpr int kChoices = 4;

std::string ExamIdOf(const std::string& exam) {
    ia::ExamSession session;
    EXPECT_FALSE(session.open(exam));
    return session.answerSheetExamId(true).value;
}

// The sheets PDF of an exam file, as `sheets` prints it.
void PrintSheets(const std::string& exam, const std::string& pdf, int blank,
                 std::vector<ia::scan::Student> students = {}, bool key = false,
                 int codeDigits = 3) {
    ia::ExamSession session;
    ASSERT_FALSE(session.open(exam));
    ia::scan::SheetPrintRequest rq;
    rq.header = session.header();
    rq.examId = session.answerSheetExamId(true).value;
    rq.blankCopies = blank;
    rq.students = std::move(students);
    rq.key = key;
    rq.codeDigits = codeDigits;
    auto pages = ia::PdfGraphPages(pdf);
    ia::scan::DrawAnswerSheets(*pages, rq);
    ASSERT_TRUE(pages->Finish());
}

ia::scan::ReaderSettings Settings(const std::string& exam, int nItem = kItems) {
    ia::scan::ReaderSettings s;
    s.examId = ExamIdOf(exam);
    s.nItem = nItem;
    s.nChoice = kChoices;
    return s;
}

// Fills the code grid of page 1 with the digits of code.
void MarkCode(cv::Mat& page, int dpi, const std::string& code, int columns, std::mt19937& r) {
    const ia::scan::SheetLayout layout(kItems, kChoices, columns);
    const int start = columns - static_cast<int>(code.size());
    for (size_t i = 0; i < code.size(); ++i)
        DrawMark(page, dpi, layout.codeBubble(start + static_cast<int>(i), code[i] - '0'),
                 MarkShape::Full, r);
}

ia::scan::ReadPage Read(const cv::Mat& picture, const ia::scan::ReaderSettings& s,
                        const std::string& name = "page.png") {
    return ia::scan::ReadSheetPage(ToGrayImage(picture), {name, 1}, s);
}

// --- the decisions, from darkness values

struct ItemCase {
    const char* name;
    std::vector<float> darkness;
    ItemReading reading;
    int choice;
};

void PrintTo(const ItemCase& c, std::ostream* os) {
    *os << c.name;
}

class DecideItemTest : public ::testing::TestWithParam<ItemCase> {};

TEST_P(DecideItemTest, ReadsOrFlags) {
    const PageLevels levels{0.03, 0.75};
    const ia::scan::ItemDecision d = ia::scan::DecideItem(GetParam().darkness, levels);
    EXPECT_EQ(d.reading, GetParam().reading);
    if (d.reading == ItemReading::Answer) {
        EXPECT_EQ(d.choice, GetParam().choice);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Marks, DecideItemTest,
    ::testing::Values(
        ItemCase{"blank", {0.02f, 0.04f, 0.03f, 0.05f}, ItemReading::Blank, 0},
        ItemCase{"one", {0.03f, 0.78f, 0.04f, 0.02f}, ItemReading::Answer, 2},
        ItemCase{"one soft", {0.03f, 0.04f, 0.5f, 0.02f}, ItemReading::Answer, 3},
        ItemCase{"two even", {0.74f, 0.03f, 0.70f, 0.02f}, ItemReading::Multiple, 0},
        ItemCase{"two uneven", {0.80f, 0.03f, 0.43f, 0.02f}, ItemReading::Doubtful, 0},
        ItemCase{"light", {0.03f, 0.25f, 0.04f, 0.02f}, ItemReading::Doubtful, 0},
        ItemCase{"erased beside a mark", {0.78f, 0.2f, 0.03f, 0.02f}, ItemReading::Doubtful, 0},
        ItemCase{"faint smudge", {0.03f, 0.15f, 0.04f, 0.02f}, ItemReading::Blank, 0}));

TEST(PageLevelsTest, FollowTheMarksOfThePageAndNotASingleLightOne) {
    // A grey scan: blank 0.1, the marks about 0.5.
    std::vector<float> grey(80, 0.1f);
    for (int i = 0; i < 20; ++i)
        grey[static_cast<size_t>(i * 4)] = 0.5f;
    const PageLevels g = ia::scan::EstimateLevels(grey);
    EXPECT_NEAR(g.blank, 0.1, 0.01);
    EXPECT_NEAR(g.filled, 0.5, 0.01);
    // A page with one light mark and nothing else must not take it for the
    // filled level, or the light mark would read as a firm answer.
    std::vector<float> one(80, 0.03f);
    one[5] = 0.25f;
    const PageLevels o = ia::scan::EstimateLevels(one);
    EXPECT_EQ(ia::scan::DecideItem({0.03f, 0.25f, 0.03f, 0.03f}, o).reading, ItemReading::Doubtful);
}

TEST(DecideCodeTest, OneClearMarkInEveryColumnAfterTheLeadingBlanks) {
    const PageLevels levels{0.03, 0.75};
    auto column = [](int digit, float value = 0.8f) {
        std::vector<float> c(10, 0.03f);
        if (digit >= 0) c[static_cast<size_t>(digit)] = value;
        return c;
    };
    EXPECT_EQ(ia::scan::DecideCode({column(-1), column(0), column(7)}, levels).code, "07");
    std::vector<float> two = column(3);
    two[5] = 0.8f;
    EXPECT_NE(ia::scan::DecideCode({column(1), two}, levels).problem, "");
    EXPECT_NE(ia::scan::DecideCode({column(1), column(-1), column(2)}, levels).problem, "");
    EXPECT_NE(ia::scan::DecideCode({column(1), column(4, 0.3f)}, levels).problem, "");
    EXPECT_NE(ia::scan::DecideCode({column(-1), column(-1)}, levels).problem, "");
}

TEST(IdentityTest, RoundTripsAndRefusesOtherText) {
    ia::scan::SheetIdentity id{"0123abcd", 2, 3, false, 123456789, 5, "ม.1/2-07|x"};
    const auto back = ia::scan::ParseIdentity(ia::scan::EncodeIdentity(id));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->code, id.code);
    EXPECT_EQ(back->copy, id.copy);
    EXPECT_EQ(back->page, 2);
    EXPECT_FALSE(ia::scan::ParseIdentity("https://example.org/"));
    EXPECT_FALSE(ia::scan::ParseIdentity("IASHEET1|x|4|3|S|1|5|"));
}

// review.csv as the teacher gives it back: a settled row is taken, a row
// that cannot be is refused with its row, never a crash or a guess.
TEST(ReviewCsvTest, TakesTheAnswersAndRefusesARowWithItsNumber) {
    struct Case {
        const char* row;     // source,page,item,answer
        const char* answer;  // what the row decides, when it is taken
        const char* refusal; // the start of the refusal, when it is not
    };
    const Case cases[] = {
        {"a.png,1,5,ค", "3", nullptr},
        {"a.png,1,5,-", "", nullptr},
        {"a.png,1,code,0715", "0715", nullptr},
        {"a.png,99999999999,5,ค", nullptr, "แถว 2: เลขหน้าไม่ถูกต้อง"},
        {"a.png,x,5,ค", nullptr, "แถว 2: เลขหน้าไม่ถูกต้อง"},
        {"a.png,1,1000,ค", nullptr, "แถว 2: เลขข้อไม่ถูกต้อง"},
        {"a.png,1,5,ฉ", nullptr, "แถว 2: "},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const std::string path = dir.file("review.csv");
        WriteText(path, std::string("source,page,item,answer\n") + c.row + "\n");
        ia::scan::ReviewDecisions decisions;
        std::string error;
        const bool read = ia::scan::ReadReviewCsv(path, kChoices, decisions, error);
        if (c.refusal) {
            EXPECT_FALSE(read);
            EXPECT_EQ(error.rfind(c.refusal, 0), 0u) << error;
            continue;
        }
        ASSERT_TRUE(read) << error;
        ASSERT_EQ(decisions.size(), 1u);
        EXPECT_EQ(decisions.begin()->second, c.answer);
    }
}

// --- pages printed, marked and read

class PrintedSheets : public ::testing::Test {
  protected:
    void SetUp() override {
        exam_ = dir_.file("exam.ans");
        MakeExamFile(exam_, MakeHeader(kItems, kChoices), {}, {});
        pdf_ = dir_.file("sheets.pdf");
        PrintSheets(exam_, pdf_, 1);
    }
    TempDir dir_;
    std::string exam_, pdf_;
};

// Every kind of mark on one page: each bubble crop judged by the reader as
// what it is, or sent to review.
TEST_F(PrintedSheets, EveryKindOfMarkIsReadOrFlaggedNeverMisread) {
    const int dpi = 200;
    cv::Mat page = RenderSheetPage(pdf_, 1, dpi);
    std::mt19937 r(7);
    const ia::scan::SheetLayout layout(kItems, kChoices, 3);
    const MarkShape shapes[] = {MarkShape::Full, MarkShape::Partial, MarkShape::Light,
                                MarkShape::Tick, MarkShape::Cross,   MarkShape::Erased,
                                MarkShape::Faint};
    std::vector<ItemMarks> marks(kItems);
    for (int item = 1; item <= kItems; ++item) {
        const int kind = (item - 1) % 9; // seven shapes, a blank item and a double mark
        if (kind < 7)
            marks[item - 1].marks = {{1 + item % kChoices, shapes[kind]}};
        else if (kind == 8)
            marks[item - 1].marks = {{1, MarkShape::Full}, {3, MarkShape::Full}};
        for (const auto& [choice, shape] : marks[item - 1].marks)
            DrawMark(page, dpi, layout.bubble(item, choice), shape, r);
    }
    MarkCode(page, dpi, "42", 3, r);
    const ia::scan::ReadPage read = Read(page, Settings(exam_));
    ASSERT_TRUE(read.readable()) << read.refusal;
    std::map<std::string, int> doubtful;
    for (int item = 1; item <= kItems; ++item) {
        const auto d = ia::scan::DecideItem(read.items[item - 1], read.levels);
        const ItemMarks& m = marks[item - 1];
        const std::string shape = m.marks.empty()      ? "blank"
                                  : m.marks.size() > 1 ? "double"
                                                       : MarkShapeName(m.marks[0].second);
        if (d.reading == ItemReading::Doubtful) {
            EXPECT_TRUE(MayBeDoubtful(m)) << "item " << item << " " << shape;
            ++doubtful[shape];
            continue;
        }
        EXPECT_EQ(ia::scan::AnswerText(d), IntendedAnswer(m)) << "item " << item << " " << shape;
    }
    // A mark barely there is neither read nor dropped: a person decides.
    EXPECT_EQ(doubtful["faint"], (kItems + 2) / 9);
    EXPECT_EQ(ia::scan::DecideCode(read.code, read.levels).code, "42");
}

struct RoundTrip {
    const char* name;
    int dpi;
    Distortion distortion;
    int mostFirmDoubtful; // firm marks and blanks sent for review at most
};

void PrintTo(const RoundTrip& c, std::ostream* os) {
    *os << c.name;
}

class RoundTripTest : public PrintedSheets, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(RoundTripTest, ExactlyTheMarksMadeOrFlagged) {
    const RoundTrip& c = GetParam();
    std::mt19937 r(static_cast<unsigned>(c.dpi * 31 + c.distortion.quarterTurns));
    cv::Mat page = RenderSheetPage(pdf_, 1, c.dpi);
    const ia::scan::SheetLayout layout(kItems, kChoices, 3);
    std::vector<ItemMarks> marks(kItems);
    for (int item = 1; item <= kItems; ++item) {
        const int pick = static_cast<int>(r() % 20);
        ItemMarks& m = marks[item - 1];
        const int choice = 1 + static_cast<int>(r() % kChoices);
        if (pick < 14)
            m.marks = {{choice, MarkShape::Full}};
        else if (pick < 16)
            m.marks = {{choice, MarkShape::Partial}};
        else if (pick == 16)
            m.marks = {{choice, MarkShape::Light}};
        else if (pick == 17)
            m.marks = {{choice, MarkShape::Erased}, {1 + choice % kChoices, MarkShape::Full}};
        else if (pick == 18)
            m.marks = {{choice, MarkShape::Full}, {1 + choice % kChoices, MarkShape::Full}};
        for (const auto& [ch, shape] : m.marks)
            DrawMark(page, c.dpi, layout.bubble(item, ch), shape, r);
    }
    MarkCode(page, c.dpi, "907", 3, r);
    const cv::Mat picture = Distort(page, c.distortion, r);
    const ia::scan::ReadPage read = Read(picture, Settings(exam_));
    ASSERT_TRUE(read.readable()) << read.refusal;
    int firmDoubtful = 0;
    for (int item = 1; item <= kItems; ++item) {
        const auto d = ia::scan::DecideItem(read.items[item - 1], read.levels);
        const ItemMarks& m = marks[item - 1];
        if (d.reading == ItemReading::Doubtful) {
            firmDoubtful += MayBeDoubtful(m) ? 0 : 1;
            continue;
        }
        EXPECT_EQ(ia::scan::AnswerText(d), IntendedAnswer(m)) << "item " << item;
    }
    EXPECT_LE(firmDoubtful, c.mostFirmDoubtful);
    const ia::scan::CodeReading code = ia::scan::DecideCode(read.code, read.levels);
    EXPECT_TRUE(code.code == "907" || !code.problem.empty()) << code.code;
}

Distortion Scanner(int turns, double skew, int jpeg) {
    Distortion d;
    d.quarterTurns = turns;
    d.skewDegrees = skew;
    d.jpegQuality = jpeg;
    d.noiseSigma = 3;
    return d;
}

Distortion Phone(int turns, double skew) {
    Distortion d;
    d.quarterTurns = turns;
    d.skewDegrees = skew;
    d.perspective = 0.15;
    d.onTable = true;
    d.blurSigma = 1.2;
    d.noiseSigma = 6;
    d.jpegQuality = 60;
    d.unevenLight = 0.45;
    d.shadowBand = true;
    return d;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RoundTripTest,
    ::testing::Values(RoundTrip{"upright 200 dpi", 200, Scanner(0, 0, 0), 0},
                      RoundTrip{"quarter turn skewed JPEG 75", 200, Scanner(1, 3, 75), 0},
                      RoundTrip{"upside down 150 dpi skew 10", 150, Scanner(2, -10, 90), 1},
                      RoundTrip{"three quarters 300 dpi", 300, Scanner(3, 7, 0), 0},
                      RoundTrip{"phone photo", 200, Phone(0, 4), 2},
                      RoundTrip{"phone photo turned", 200, Phone(3, -8), 2}));

TEST_F(PrintedSheets, RefusesPagesItCannotTrustWithTheReason) {
    const int dpi = 150;
    const cv::Mat page = RenderSheetPage(pdf_, 1, dpi);
    const ia::scan::ReaderSettings settings = Settings(exam_);
    // A page of another exam.
    const std::string other = dir_.file("other.ans");
    MakeExamFile(other, MakeHeader(kItems, kChoices), {}, {});
    PrintSheets(other, dir_.file("other.pdf"), 1);
    EXPECT_EQ(Read(RenderSheetPage(dir_.file("other.pdf"), 1, dpi), settings).refusal,
              ia::scan::kOtherExam);
    // No markers: a page cut so that the corners are gone.
    const cv::Mat cut =
        page(cv::Rect(page.cols / 8, page.rows / 8, page.cols * 3 / 4, page.rows * 3 / 4)).clone();
    EXPECT_EQ(Read(cut, settings).refusal, ia::scan::kNoMarkers);
    // The QR code scribbled over.
    cv::Mat scribbled = page.clone();
    const ia::scan::PageRect qr = ia::scan::QrRect();
    const double s = dpi / 72.0;
    for (int i = 0; i < 12; ++i)
        cv::line(scribbled, {static_cast<int>(qr.x * s), static_cast<int>((qr.y + i * 7) * s)},
                 {static_cast<int>((qr.x + qr.w) * s), static_cast<int>((qr.y + i * 7 + 5) * s)}, 0,
                 static_cast<int>(3 * s));
    EXPECT_EQ(Read(scribbled, settings).refusal, ia::scan::kQrUnreadable);
    // A file never printed for has no identity: nothing of it can be ours.
    ia::scan::ReaderSettings none = settings;
    none.examId.clear();
    EXPECT_EQ(Read(page, none).refusal, ia::scan::kNoExamId);
}

TEST_F(PrintedSheets, TwoMarksInACodeColumnSendTheSheetToReview) {
    const int dpi = 200;
    cv::Mat page = RenderSheetPage(pdf_, 1, dpi);
    std::mt19937 r(3);
    MarkCode(page, dpi, "15", 3, r);
    const ia::scan::SheetLayout layout(kItems, kChoices, 3);
    DrawMark(page, dpi, layout.codeBubble(2, 8), MarkShape::Full, r); // 5 and 8 in the last column
    DrawMark(page, dpi, layout.bubble(1, 2), MarkShape::Full, r);
    const ia::scan::ReadPage read = Read(page, Settings(exam_));
    ASSERT_TRUE(read.readable()) << read.refusal;
    const auto assembly = AssembleSheets({read}, kItems, DoubtfulPolicy::Blank, {});
    ASSERT_EQ(assembly.unsettled, 1);
    EXPECT_EQ(assembly.doubts[0].item, 0);
    EXPECT_FALSE(assembly.sheets[0].settled);
    // The teacher's answer settles it.
    ia::scan::ReviewDecisions decided{{{"page.png", 1, 0}, "15"}};
    const auto settled = AssembleSheets({read}, kItems, DoubtfulPolicy::Refuse, decided);
    EXPECT_EQ(settled.unsettled, 0);
    EXPECT_EQ(settled.sheets[0].code, "15");
    EXPECT_EQ(settled.sheets[0].answers[0], "2");
}

// A sheet of 251 items spans two pages; a feeder may give them in any order
// and between other students' pages.
TEST(LongSheetTest, PagesOfOneCopyGoTogether) {
    TempDir dir;
    const std::string exam = dir.file("long.ans");
    MakeExamFile(exam, MakeHeader(251, kChoices), {}, {});
    const std::string pdf = dir.file("long.pdf");
    PrintSheets(exam, pdf, 0, {{"11", "ก"}, {"12", "ข"}});
    const ia::scan::SheetLayout layout(251, kChoices, 0);
    ASSERT_EQ(layout.pageCount(), 2);
    std::vector<ia::scan::ReadPage> pages;
    std::mt19937 r(5);
    for (int p : {4, 1, 2, 3}) {
        cv::Mat page = RenderSheetPage(pdf, p, 150);
        // Student 11 answers item 251 with ค, student 12 item 1 with ข.
        if (p == 2) DrawMark(page, 150, layout.bubble(251, 3), MarkShape::Full, r);
        if (p == 3) DrawMark(page, 150, layout.bubble(1, 2), MarkShape::Full, r);
        auto read = ia::scan::ReadSheetPage(ToGrayImage(page), {pdf, p}, Settings(exam, 251));
        ASSERT_TRUE(read.readable()) << read.refusal;
        pages.push_back(std::move(read));
    }
    const auto assembly = AssembleSheets(pages, 251, DoubtfulPolicy::Refuse, {});
    ASSERT_EQ(assembly.sheets.size(), 2u);
    std::map<std::string, std::vector<std::string>> byCode;
    for (const auto& s : assembly.sheets)
        byCode[s.code] = s.answers;
    EXPECT_EQ(byCode["11"][250], "3");
    EXPECT_EQ(byCode["12"][0], "2");
    EXPECT_EQ(byCode["12"][250], "");
    // A page missing: the sheet is not stored, and says so.
    pages.erase(pages.begin());
    const auto missing = AssembleSheets(pages, 251, DoubtfulPolicy::Refuse, {});
    EXPECT_EQ(missing.sheets.size(), 1u);
    EXPECT_EQ(missing.problems.size(), 1u);
}

TEST(RepeatedCodesTest, NamesTheScansOfACodeMetTwiceOrAlreadyInTheFile) {
    auto sheet = [](const std::string& code, const std::string& path, int page, bool key = false) {
        ia::scan::AssembledSheet s;
        s.code = code;
        s.key = key;
        ia::scan::ReadPage p;
        p.source = {path, page};
        s.pages.push_back(p);
        return s;
    };
    const std::vector<ia::scan::AssembledSheet> batch = {
        sheet("7", "a.pdf", 1), sheet("8", "a.pdf", 2), sheet("7", "b.png", 1),
        sheet("", "key.png", 1, true), sheet("9", "a.pdf", 3)};
    EXPECT_EQ(ia::scan::RepeatedCodes(batch, {"9", "10"}),
              (std::vector<std::string>{"รหัส 7 ซ้ำกันใน a.pdf หน้า 1, b.png หน้า 1",
                                        "รหัส 9 (a.pdf หน้า 3) มีอยู่แล้วในไฟล์"}));
    EXPECT_TRUE(ia::scan::RepeatedCodes(batch, {}).size() == 1);
}

// --- the command line: storing all or nothing, the key, deciding again

class ScanCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        exam_ = dir_.file("exam.ans");
        MakeExamFile(exam_, MakeHeader(kItems, kChoices), {}, {});
    }
    // One marked sheet as a PNG: answers "1".."4" or "" per item, the code.
    std::string MarkedPage(const std::string& pdf, int page,
                           const std::vector<std::string>& answers, const std::string& code,
                           const std::string& name,
                           std::vector<std::pair<int, MarkShape>> extra = {}) {
        const int dpi = 150;
        cv::Mat picture = RenderSheetPage(pdf, page, dpi);
        std::mt19937 r(static_cast<unsigned>(name.size()));
        const ia::scan::SheetLayout layout(kItems, kChoices, 3);
        for (size_t i = 0; i < answers.size(); ++i)
            if (!answers[i].empty())
                DrawMark(picture, dpi,
                         layout.bubble(static_cast<int>(i) + 1, std::stoi(answers[i])),
                         MarkShape::Full, r);
        for (const auto& [item, shape] : extra)
            DrawMark(picture, dpi, layout.bubble(item, 2), shape, r);
        if (!code.empty()) MarkCode(picture, dpi, code, 3, r);
        const std::string path = dir_.file(name);
        cv::imwrite(path, picture);
        return path;
    }
    std::vector<std::string> Answers(int seed) {
        std::vector<std::string> a(kItems);
        for (int i = 0; i < kItems; ++i)
            a[static_cast<size_t>(i)] =
                (i + seed) % 7 == 0 ? "" : std::to_string(1 + (i * seed) % kChoices);
        return a;
    }
    std::string StoredAnswers(const std::string& code) {
        ia::Connection db(exam_, ia::Connection::Mode::ReadOnly);
        ia::Statement st = db.prepare("SELECT * FROM TAData WHERE Code = ?");
        st.bind(1, ia::Value(code));
        if (!st.step()) return "none";
        std::string s;
        for (int i = 1; i <= kItems; ++i) {
            const auto t = st.columnText(i);
            s += t && !t->empty() ? std::string(*t) : ".";
        }
        return s;
    }
    TempDir dir_;
    std::string exam_;
};

std::string Dotted(const std::vector<std::string>& answers) {
    std::string s;
    for (const auto& a : answers)
        s += a.empty() ? "." : a;
    return s;
}

TEST_F(ScanCommand, StoresEveryReadablePageAndListsTheOthers) {
    const std::string pdf = dir_.file("sheets.pdf");
    ASSERT_EQ(
        Cli("sheets " + Quote(exam_) + " --pdf " + Quote(pdf) + " --blank 2 --code-digits 3").code,
        0);
    const std::string a = MarkedPage(pdf, 1, Answers(1), "21", "a.png");
    const std::string b = MarkedPage(pdf, 2, Answers(2), "22", "b.png");
    cv::imwrite(dir_.file("white.png"), cv::Mat(800, 600, CV_8UC1, cv::Scalar(255)));
    const CliRun run = Cli("scan " + Quote(exam_) + " " + Quote(a) + " " + Quote(b) + " " +
                           Quote(dir_.file("white.png")));
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("white.png หน้า 1: ไม่พบเครื่องหมายมุมกระดาษ"), std::string::npos) << run.err;
    EXPECT_EQ(StoredAnswers("21"), Dotted(Answers(1)));
    EXPECT_EQ(StoredAnswers("22"), Dotted(Answers(2)));
    // The same page again: stored, and the repeated code named by its scan.
    const CliRun again = Cli("scan " + Quote(exam_) + " " + Quote(a));
    EXPECT_EQ(again.code, 0);
    EXPECT_NE(again.err.find("รหัส 21 (" + a + " หน้า 1) มีอยู่แล้วในไฟล์"), std::string::npos)
        << again.err;
    EXPECT_EQ(SheetCount(exam_), 3);
}

// The class list for personalised sheets, as a CSV or a workbook: one page
// per student in the list's order, each with its code and name; a list that
// cannot be trusted prints nothing.
TEST_F(ScanCommand, PrintsOneSheetPerStudentOfAClassListOrRefusesIt) {
    const Rows good = {
        {"รหัส", "ชื่อ", "นามสกุล"}, {"101", "สมชาย", "ใจดี"}, {"", "", ""}, {"102", "สมหญิง", "รักเรียน"}};
    const std::string csv = dir_.file("class.csv");
    WriteText(csv, "รหัส,ชื่อ,นามสกุล\n101,สมชาย,ใจดี\n,,\n102,สมหญิง,รักเรียน\n");
    const std::string xlsx = dir_.file("class.xlsx");
    WriteWorkbook(xlsx, "Sheet1", good, false);
    for (const std::string& list : {csv, xlsx}) {
        SCOPED_TRACE(list);
        const std::string pdf = dir_.file("named.pdf");
        const CliRun run =
            Cli("sheets " + Quote(exam_) + " --pdf " + Quote(pdf) + " --students " + Quote(list));
        ASSERT_EQ(run.code, 0) << run.err;
        const std::vector<std::string> pages = PdfPageTexts(pdf);
        ASSERT_EQ(pages.size(), 2u);
        EXPECT_NE(pages[0].find("101"), std::string::npos) << pages[0];
        EXPECT_NE(pages[0].find("สมชาย ใจดี"), std::string::npos) << pages[0];
        EXPECT_NE(pages[1].find("102"), std::string::npos) << pages[1];
        EXPECT_NE(pages[1].find("สมหญิง รักเรียน"), std::string::npos) << pages[1];
    }
    struct Bad {
        const char* what;
        Rows rows;
        std::string message;
    };
    const std::vector<Bad> bad = {
        {"a name without a code", {{"101", "ก"}, {"", "สมศรี"}}, "แถว 2: ไม่มีรหัสนักเรียน"},
        {"a code too long", {{std::string(21, '1'), "ก"}}, "แถว 1: รหัสนักเรียนยาวเกิน 20 ตัวอักษร"},
        {"no student", {{"รหัส", "ชื่อ"}}, "ไม่มีรายชื่อนักเรียน"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        const std::string list = dir_.file("bad.xlsx");
        fs::remove(list);
        WriteWorkbook(list, "Sheet1", b.rows, false);
        const std::string pdf = dir_.file("bad.pdf");
        const CliRun run =
            Cli("sheets " + Quote(exam_) + " --pdf " + Quote(pdf) + " --students " + Quote(list));
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find(b.message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(pdf));
    }
}

TEST_F(ScanCommand, ARefusedBatchLeavesTheFileByteForByte) {
    const std::string pdf = dir_.file("sheets.pdf");
    ASSERT_EQ(
        Cli("sheets " + Quote(exam_) + " --pdf " + Quote(pdf) + " --blank 2 --code-digits 3").code,
        0);
    const std::string good = MarkedPage(pdf, 1, Answers(1), "31", "good.png");
    const std::string light = MarkedPage(pdf, 2, Answers(3), "32", "light.png",
                                         {{5, MarkShape::Faint}, {9, MarkShape::Erased}});
    const std::string before = FileBytes(exam_);
    const std::string review = dir_.file("review");
    const CliRun run = Cli("scan " + Quote(exam_) + " " + Quote(good) + " " + Quote(light) +
                           " --review-out " + Quote(review));
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_EQ(FileBytes(exam_), before);
    const std::string csv = FileBytes(review + "/review.csv");
    EXPECT_NE(csv.find("light.png,1,32,5,"), std::string::npos) << csv;
    EXPECT_TRUE(fs::exists(review + "/light-p1-item5.png"));
    // Settled in review.csv, the batch goes in.
    std::string decided;
    std::istringstream lines(csv);
    std::string line;
    while (std::getline(lines, line))
        decided +=
            line +
            (line.rfind("source", 0) == 0 ? ""
                                          : (line.find(",5,") != std::string::npos ? "ค" : "-")) +
            "\n";
    WriteText(dir_.file("decided.csv"), decided);
    const CliRun settled = Cli("scan " + Quote(exam_) + " " + Quote(good) + " " + Quote(light) +
                               " --decide " + Quote(dir_.file("decided.csv")));
    ASSERT_EQ(settled.code, 0) << settled.err;
    EXPECT_EQ(StoredAnswers("32")[4], '3');
    EXPECT_EQ(SheetCount(exam_), 2);
}

TEST_F(ScanCommand, ACancelledStoreLeavesTheFileAsItWas) {
    const std::string pdf = dir_.file("sheets.pdf");
    PrintSheets(exam_, pdf, 1);
    const std::string page = MarkedPage(pdf, 1, Answers(1), "41", "p.png");
    ia::scan::SourcePages source;
    ia::scan::GrayImage image;
    std::string error;
    ASSERT_TRUE(source.load({page, 1}, image, error));
    const auto read = ia::scan::ReadSheetPage(image, {page, 1}, Settings(exam_));
    const auto assembly = AssembleSheets({read}, kItems, DoubtfulPolicy::Refuse, {});
    const std::string before = FileBytes(exam_);
    {
        ia::ExamSession session;
        ASSERT_FALSE(session.open(exam_));
        CancelAtStep cancel(3);
        ia::ScanStoreRequest request;
        request.progress = &cancel;
        EXPECT_THROW(session.storeScannedSheets(assembly.sheets, request), ia::JobCancelled);
    }
    EXPECT_EQ(FileBytes(exam_), before);
}

TEST_F(ScanCommand, TheKeySheetSetsTheKeyButKeepsATypedOneUnlessAsked) {
    const std::string pdf = dir_.file("key.pdf");
    ASSERT_EQ(Cli("sheets " + Quote(exam_) + " --pdf " + Quote(pdf) + " --key").code, 0);
    const std::string key = MarkedPage(pdf, 1, Answers(4), "", "key.png");
    ASSERT_EQ(Cli("scan " + Quote(exam_) + " " + Quote(key)).code, 0);
    auto storedKey = [&] {
        ia::Connection db(exam_, ia::Connection::Mode::ReadOnly);
        ia::Statement st = db.prepare("SELECT X1, X2, X3 FROM TKey");
        st.step();
        std::string s;
        for (int i = 0; i < 3; ++i) {
            const auto t = st.columnText(i);
            s += t && !t->empty() ? std::string(*t) : ".";
        }
        return s;
    };
    EXPECT_EQ(storedKey(), Dotted(Answers(4)).substr(0, 3));
    const std::string other = MarkedPage(pdf, 1, Answers(5), "", "key2.png");
    const CliRun kept = Cli("scan " + Quote(exam_) + " " + Quote(other));
    EXPECT_EQ(kept.code, 0);
    EXPECT_NE(kept.err.find("--replace-key"), std::string::npos);
    EXPECT_EQ(storedKey(), Dotted(Answers(4)).substr(0, 3));
    ASSERT_EQ(Cli("scan " + Quote(exam_) + " " + Quote(other) + " --replace-key").code, 0);
    EXPECT_EQ(storedKey(), Dotted(Answers(5)).substr(0, 3));
}

TEST_F(ScanCommand, DecidesAgainFromTheKeptDarknessWithoutTheImages) {
    const std::string pdf = dir_.file("sheets.pdf");
    ASSERT_EQ(
        Cli("sheets " + Quote(exam_) + " --pdf " + Quote(pdf) + " --blank 1 --code-digits 3").code,
        0);
    const std::string page = MarkedPage(pdf, 1, Answers(1), "51", "p.png", {{7, MarkShape::Faint}});
    const std::string review = dir_.file("review");
    ASSERT_EQ(Cli("scan " + Quote(exam_) + " " + Quote(page) + " --doubtful blank --review-out " +
                  Quote(review))
                  .code,
              0);
    EXPECT_EQ(StoredAnswers("51")[6], '.');
    fs::remove(page); // the image is gone
    // Re-deciding alone changes nothing: the same darkness, the same rules.
    const std::string stored = StoredAnswers("51");
    ASSERT_EQ(Cli("scan " + Quote(exam_) + " --redecide --doubtful blank").code, 0);
    EXPECT_EQ(StoredAnswers("51"), stored);
    // Without a policy the doubtful mark is unsettled again: nothing changes.
    const std::string before = FileBytes(exam_);
    EXPECT_EQ(Cli("scan " + Quote(exam_) + " --redecide --review-out " + Quote(review)).code, 1);
    EXPECT_EQ(FileBytes(exam_), before);
    // The teacher's answer, kept with the page, holds for later re-decisions.
    std::string csv = FileBytes(review + "/review.csv");
    ASSERT_NE(csv.find(",7,"), std::string::npos) << csv;
    csv.insert(csv.size() - 1, "ข");
    WriteText(dir_.file("decided.csv"), csv);
    ASSERT_EQ(Cli("scan " + Quote(exam_) + " --decide " + Quote(dir_.file("decided.csv"))).code, 0);
    EXPECT_EQ(StoredAnswers("51")[6], '2');
    ASSERT_EQ(Cli("scan " + Quote(exam_) + " --redecide").code, 0);
    EXPECT_EQ(StoredAnswers("51")[6], '2');
}

TEST(ScanTablesTest, AFileWithoutThemStaysValidAndPrintingMakesOnlyTheIdentity) {
    TempDir dir;
    const std::string exam = dir.file("e.ans");
    MakeExamFile(exam, MakeHeader(10, 4), {}, {});
    ia::ExamSession session;
    ASSERT_FALSE(session.open(exam));
    EXPECT_EQ(session.answerSheetExamId(false).value, "");
    EXPECT_TRUE(session.keptScanPages().value.empty());
    const std::string id = session.answerSheetExamId(true).value;
    EXPECT_EQ(id.size(), 16u);
    EXPECT_EQ(session.answerSheetExamId(false).value, id);
    session.close();
    EXPECT_EQ(Cli("check " + Quote(exam)).out, "1\n");
}

} // namespace
