// SPDX-License-Identifier: GPL-3.0-or-later
// The answer-sheet reader's accuracy on a synthetic set, run by hand (not
// under ctest): our own sheets PDF rendered at 150 to 600 dpi, filled by a
// program with marks of every kind, spoiled as scanners and phones spoil
// pages, and read back. For each kind of spoiling it counts the answers
// stored wrong without a flag, the answers sent to review, the student codes
// read wrong without a flag, and the pages refused (each with its reason;
// none is ever dropped without one).
//
//   scan-accuracy [PAGES_PER_KIND] [SEED]

#include "MarkedSheets.h"
#include "TestSupport.h"
#include "report/GraphReport.h"
#include "scan/SheetPrint.h"
#include "session/ExamSession.h"

#include <opencv2/core.hpp>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

using namespace iatest;

namespace {

constexpr int kItems = 140; // a full first page
constexpr int kChoices = 4;
constexpr int kCodeDigits = 3;

struct Kind {
    std::string column; // "scanner" or "phone"
    std::string name;
    std::vector<int> dpis;
    // Draws this kind's spoiling for one page.
    Distortion (*make)(std::mt19937&);
};

double U(std::mt19937& r, double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(r);
}
int Turn(std::mt19937& r) {
    return static_cast<int>(r() % 4);
}

Distortion ScannerBase(std::mt19937& r) {
    Distortion d;
    d.quarterTurns = Turn(r);
    d.skewDegrees = U(r, -1, 1);
    d.noiseSigma = U(r, 1, 3);
    return d;
}

// A photo: held any way round, up to 10 degrees off.
Distortion PhoneBase(std::mt19937& r) {
    Distortion d;
    d.quarterTurns = Turn(r);
    d.skewDegrees = U(r, -10, 10);
    return d;
}

// The page on a table, photographed from an angle of up to `most`.
void OnTable(Distortion& d, std::mt19937& r, double least, double most) {
    d.perspective = U(r, least, most);
    d.onTable = true;
}

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds{
        {"scanner",
         "plain, turned 0/90/180/270",
         {200, 300, 600},
         [](std::mt19937& r) { return ScannerBase(r); }},
        {"scanner",
         "skew up to 3 degrees",
         {200, 300},
         [](std::mt19937& r) {
             Distortion d = ScannerBase(r);
             d.skewDegrees = U(r, -3, 3);
             return d;
         }},
        {"scanner",
         "JPEG 75-95",
         {200, 300},
         [](std::mt19937& r) {
             Distortion d = ScannerBase(r);
             d.skewDegrees = U(r, -3, 3);
             d.jpegQuality = 75 + static_cast<int>(r() % 21);
             return d;
         }},
        {"scanner",
         "blur and noise",
         {200, 300},
         [](std::mt19937& r) {
             Distortion d = ScannerBase(r);
             d.blurSigma = U(r, 0.5, 1.2);
             d.noiseSigma = U(r, 4, 8);
             return d;
         }},
        {"phone",
         "perspective up to 20 degrees",
         {150, 200, 300},
         [](std::mt19937& r) {
             Distortion d = PhoneBase(r);
             OnTable(d, r, 0.05, 0.2);
             d.noiseSigma = 4;
             return d;
         }},
        {"phone",
         "skew up to 10 degrees, 150 dpi",
         {150},
         [](std::mt19937& r) {
             Distortion d = PhoneBase(r);
             d.noiseSigma = 4;
             return d;
         }},
        {"phone",
         "JPEG 40-75",
         {150, 200},
         [](std::mt19937& r) {
             Distortion d = PhoneBase(r);
             OnTable(d, r, 0, 0.1);
             d.jpegQuality = 40 + static_cast<int>(r() % 36);
             return d;
         }},
        {"phone",
         "uneven light and a shadow band",
         {200, 300},
         [](std::mt19937& r) {
             Distortion d = PhoneBase(r);
             OnTable(d, r, 0, 0.1);
             d.unevenLight = U(r, 0.2, 0.5);
             d.shadowBand = true;
             d.noiseSigma = 4;
             return d;
         }},
        {"phone",
         "everything at once",
         {150, 200, 300},
         [](std::mt19937& r) {
             Distortion d = PhoneBase(r);
             OnTable(d, r, 0.05, 0.2);
             d.blurSigma = U(r, 0.5, 1.5);
             d.noiseSigma = U(r, 3, 8);
             d.jpegQuality = 40 + static_cast<int>(r() % 56);
             d.unevenLight = U(r, 0, 0.5);
             d.shadowBand = r() % 2 == 0;
             return d;
         }},
    };
    return kinds;
}

// The mix of marks, per item (percent): what a class's pencils leave.
ItemMarks DrawItem(std::mt19937& r) {
    const int p = static_cast<int>(r() % 1000);
    const int choice = 1 + static_cast<int>(r() % kChoices);
    const int other = 1 + (choice + static_cast<int>(r() % (kChoices - 1))) % kChoices;
    ItemMarks m;
    if (p < 850)
        m.marks = {{choice, MarkShape::Full}};
    else if (p < 900)
        m.marks = {{choice, MarkShape::Partial}};
    else if (p < 930)
        m.marks = {{choice, MarkShape::Light}};
    else if (p < 950)
        m.marks = {{other, MarkShape::Erased}, {choice, MarkShape::Full}};
    else if (p < 960)
        m.marks = {{choice, MarkShape::Erased}};
    else if (p < 970)
        m.marks = {{choice, MarkShape::Tick}};
    else if (p < 980)
        m.marks = {{choice, MarkShape::Cross}};
    else if (p < 990)
        m.marks = {{choice, MarkShape::Full}, {other, MarkShape::Full}};
    // else: left blank
    return m;
}

std::string MarkKindName(const ItemMarks& m) {
    if (m.marks.empty()) return "blank";
    if (m.marks.size() == 2)
        return m.marks[0].second == MarkShape::Erased ? "erased+full" : "double";
    return MarkShapeName(m.marks[0].second);
}

struct Tally {
    long answers = 0, wrong = 0, review = 0, answersNoErasure = 0, reviewNoErasure = 0;
    long codes = 0, codesWrong = 0, codesFlagged = 0, pages = 0, refused = 0;
    std::map<std::string, long> wrongByMark, reviewByMark, itemsByMark;
    void add(const Tally& t) {
        answers += t.answers;
        wrong += t.wrong;
        review += t.review;
        answersNoErasure += t.answersNoErasure;
        reviewNoErasure += t.reviewNoErasure;
        codes += t.codes;
        codesWrong += t.codesWrong;
        codesFlagged += t.codesFlagged;
        pages += t.pages;
        refused += t.refused;
        for (const auto& [k, v] : t.wrongByMark)
            wrongByMark[k] += v;
        for (const auto& [k, v] : t.reviewByMark)
            reviewByMark[k] += v;
        for (const auto& [k, v] : t.itemsByMark)
            itemsByMark[k] += v;
    }
};

void Print(const std::string& name, const Tally& t) {
    std::printf("| %-34s | %5ld | %6ld | %4ld (%.2f/10k) | %5.2f %% | %5.2f %% | %ld/%ld wrong, "
                "%ld flagged | %ld |\n",
                name.c_str(), t.pages, t.answers, t.wrong,
                t.answers ? 1e4 * t.wrong / t.answers : 0.0,
                t.answers ? 100.0 * t.review / t.answers : 0.0,
                t.answersNoErasure ? 100.0 * t.reviewNoErasure / t.answersNoErasure : 0.0,
                t.codesWrong, t.codes, t.codesFlagged, t.refused);
}

} // namespace

int main(int argc, char** argv) {
    const int perKind = argc > 1 ? std::atoi(argv[1]) : 60;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1;
    cv::setNumThreads(1);
    TempDir dir;
    const std::string exam = dir.file("bench.ans");
    MakeExamFile(exam, MakeHeader(kItems, kChoices), {}, {});
    ia::ExamSession session;
    if (session.open(exam)) return 1;
    ia::scan::SheetPrintRequest rq;
    rq.header = session.header();
    rq.examId = session.answerSheetExamId(true).value;
    rq.blankCopies = 1;
    rq.codeDigits = kCodeDigits;
    const std::string pdf = dir.file("sheets.pdf");
    {
        auto pages = ia::PdfGraphPages(pdf);
        ia::scan::DrawAnswerSheets(*pages, rq);
        if (!pages->Finish()) return 1;
    }
    ia::scan::ReaderSettings settings{rq.examId, kItems, kChoices, ""};
    const ia::scan::SheetLayout layout(kItems, kChoices, kCodeDigits);
    std::map<int, cv::Mat> rendered;
    std::mt19937 r(seed);
    std::map<std::string, Tally> columns;
    std::printf("| distortion | pages | answers | stored wrong, no flag | to review | to review "
                "(no erasures) | codes | pages refused |\n|---|---|---|---|---|---|---|---|\n");
    for (const Kind& kind : Kinds()) {
        Tally t;
        for (int n = 0; n < perKind; ++n) {
            const int dpi = kind.dpis[static_cast<size_t>(n) % kind.dpis.size()];
            if (!rendered.count(dpi)) rendered[dpi] = RenderSheetPage(pdf, 1, dpi);
            cv::Mat page = rendered[dpi].clone();
            std::vector<ItemMarks> marks;
            for (int item = 1; item <= kItems; ++item) {
                marks.push_back(DrawItem(r));
                for (const auto& [choice, shape] : marks.back().marks)
                    DrawMark(page, dpi, layout.bubble(item, choice), shape, r);
            }
            std::string code;
            for (int c = 0; c < kCodeDigits; ++c) {
                const int digit = static_cast<int>(r() % 10);
                code += static_cast<char>('0' + digit);
                DrawMark(page, dpi, layout.codeBubble(c, digit), MarkShape::Full, r);
            }
            const cv::Mat picture = Distort(page, kind.make(r), r);
            const ia::scan::ReadPage read =
                ia::scan::ReadSheetPage(ToGrayImage(picture), {"bench", n + 1}, settings);
            ++t.pages;
            if (!read.readable()) {
                ++t.refused;
                std::fprintf(stderr, "%s, page %d (%d dpi): %s\n", kind.name.c_str(), n + 1, dpi,
                             read.refusal.c_str());
                continue;
            }
            for (int item = 1; item <= kItems; ++item) {
                const ItemMarks& m = marks[static_cast<size_t>(item - 1)];
                const auto d =
                    ia::scan::DecideItem(read.items[static_cast<size_t>(item - 1)], read.levels);
                const std::string k = MarkKindName(m);
                const bool erasure = k == "erased" || k == "erased+full";
                ++t.answers;
                ++t.itemsByMark[k];
                if (!erasure) ++t.answersNoErasure;
                if (d.reading == ia::scan::ItemReading::Doubtful) {
                    ++t.review;
                    ++t.reviewByMark[k];
                    if (!erasure) ++t.reviewNoErasure;
                } else if (ia::scan::AnswerText(d) != IntendedAnswer(m)) {
                    ++t.wrong;
                    ++t.wrongByMark[k];
                }
            }
            const ia::scan::CodeReading c = ia::scan::DecideCode(read.code, read.levels);
            ++t.codes;
            if (!c.problem.empty())
                ++t.codesFlagged;
            else if (c.code != code)
                ++t.codesWrong;
        }
        Print(kind.column + ": " + kind.name, t);
        std::fflush(stdout);
        columns[kind.column].add(t);
    }
    for (const auto& [name, t] : columns) {
        Print("all " + name + " pages", t);
        std::printf("  %s marks (items / sent to review / stored wrong):", name.c_str());
        for (const auto& [k, v] : t.itemsByMark)
            std::printf(" %s %ld/%ld/%ld;", k.c_str(), v,
                        t.reviewByMark.count(k) ? t.reviewByMark.at(k) : 0L,
                        t.wrongByMark.count(k) ? t.wrongByMark.at(k) : 0L);
        std::printf("\n");
    }
    return 0;
}
