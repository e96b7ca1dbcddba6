// SPDX-License-Identifier: GPL-3.0-or-later
// Progress on a terminal, --quiet, and Ctrl+C: a cancelled run exits with
// 130 and leaves every file as it was. The run interrupts itself at a chosen
// report of its progress (ITEMANALYSIS_TEST_SIGINT_AT_STEP), so the signal
// lands in the middle of the job without any timing.
#include "CliSupport.h"
#include "TestSupport.h"
#include "examfile/Progress.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

using iatest::Cli;
using iatest::Quote;

constexpr int kSheets = 120;

// 120 sheets of 20 items, answers spread so that every choice is taken.
void MakeExam(const std::string& path) {
    std::vector<std::vector<std::string>> sheets;
    for (int s = 1; s <= kSheets; ++s) {
        std::string answers;
        for (int i = 1; i <= 20; ++i)
            answers += static_cast<char>('1' + (s * i + s / 7) % 4);
        sheets.push_back(iatest::Sheet(std::to_string(s), answers));
    }
    iatest::MakeExamFile(path, iatest::MakeHeader(20, 4),
                         {"1", "2", "3", "4", "1", "2", "3", "4", "1", "2",
                          "3", "4", "1", "2", "3", "4", "1", "2", "3", "4"},
                         sheets);
}

// Every file of a folder with its bytes: what a cancelled run must leave.
std::map<std::string, std::string> Folder(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            files[e.path().lexically_relative(dir).string()] = iatest::FileBytes(e.path().string());
    return files;
}

struct CancelCase {
    const char* name;
    // Arguments after the program's name; EXAM and DIR stand for the exam
    // file and its folder.
    std::string args;
    // The report of the job's progress at which the run interrupts itself.
    long long step;
};

void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << c.name << " at report " << c.step;
}

std::string Expand(std::string args, const iatest::TempDir& dir) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"EXAM", dir.file("ม1.ans")},
                                   {"DIR", dir.path().string()}}) {
        for (size_t at = args.find(from); at != std::string::npos; at = args.find(from, at)) {
            args.replace(at, from.size(), Quote(to));
            at += to.size();
        }
    }
    return args;
}

class CancelledRun : public ::testing::TestWithParam<CancelCase> {};

TEST_P(CancelledRun, ExitsWith130AndChangesNoFile) {
    const CancelCase& c = GetParam();
    iatest::TempDir dir;
    MakeExam(dir.file("ม1.ans"));
    iatest::WriteText(
        dir.file("new.csv"), "KEY,1,2,3,4,1,2,3,4,1,2,3,4,1,2,3,4,1,2,3,4\n" + [] {
            std::string rows;
            for (int s = 1; s <= kSheets; ++s)
                rows += "n" + std::to_string(s) + ",1,2,3,4,1,2,3,4,1,2,3,4,1,2,3,4,1,2,3,4\n";
            return rows;
        }());
    // A first whole run leaves what a cancelled one must keep: the
    // previous results, report, PDF or exported file.
    const iatest::CliRun first = Cli(Expand(c.args, dir));
    ASSERT_EQ(first.code, 0) << first.err;
    const auto before = Folder(dir.path());

    const iatest::CliRun r =
        Cli(Expand(c.args, dir), "ITEMANALYSIS_TEST_SIGINT_AT_STEP=" + std::to_string(c.step));
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_EQ(r.out, "");
    // Warnings told before the job may come first.
    const std::string told = std::string(ia::kJobCancelledText) + "\n";
    ASSERT_GE(r.err.size(), told.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - told.size()), told) << r.err;
    EXPECT_TRUE(Folder(dir.path()) == before) << "a file changed, appeared or went";
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, CancelledRun,
    ::testing::Values(
        // The analysis: the reading stage and its last sheet (one report
        // every 256 sheets besides), then the storing stage.
        CancelCase{"AnalyseWhileReading", "analyse EXAM --technique 25", 2},
        CancelCase{"AnalyseWhileStoring", "analyse EXAM --technique 27", 3},
        CancelCase{"PrintWhileAnalysing", "print EXAM --technique 27 --pdf DIR/p.pdf", 3},
        CancelCase{"GraphsWhileAnalysing", "graphs EXAM --technique 25 --pdf DIR/g.pdf", 2},
        // After the analysis, while the pages are made: what the analysis
        // stored (its run in the log, at least) is taken back too.
        CancelCase{"PrintWhileLayingOut", "print EXAM --technique 27 --pdf DIR/p.pdf", 6},
        CancelCase{"GraphsWhileDrawing", "graphs EXAM --technique 25 --pdf DIR/g.pdf", 6},
        // 120 sheets make 4 pages: stage, 3 page breaks, the end.
        CancelCase{"RawPrintout", "raw EXAM --pdf DIR/raw.pdf", 3},
        // The stage, one report per sheet, the end.
        CancelCase{"ImportAppend", "import EXAM DIR/new.csv --append", kSheets / 2},
        CancelCase{"ImportReplace", "import EXAM DIR/new.csv --replace", kSheets},
        CancelCase{"ExportWhileReading", "export EXAM DIR/out.xlsx", kSheets / 2},
        CancelCase{"ExportWhileWriting", "export EXAM DIR/out.xlsx", kSheets + 10},
        CancelCase{"ExportCsv", "export EXAM DIR/out.csv --table answers", kSheets + 10},
        CancelCase{"Statistics", "stats EXAM --csv DIR/stats", kSheets / 2}),
    [](const ::testing::TestParamInfo<CancelCase>& i) { return std::string(i.param.name); });

// Every file and folder under dir, with the bytes of each file.
std::map<std::string, std::string> Tree(const std::filesystem::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = e.path().lexically_relative(dir).string();
        entries[name] = e.is_regular_file() ? iatest::FileBytes(e.path().string()) : "(folder)";
    }
    return entries;
}

// Ctrl+C while the files of a job are being written, the PDF, a chart file
// or a statistics file among several: the run interrupts itself once its
// Nth temporary file is made (ITEMANALYSIS_TEST_SIGINT_AT_OUTPUT). Not one
// file is replaced, no temporary stays, and no folder the job made is left.
TEST(CancelledRun, WhileWritingItsFilesChangesNoFileOrFolder) {
    struct Case {
        const char* name;
        std::string args;
        int output;             // the temporary made when Ctrl+C comes
        std::string first = {}; // the whole run before, when not args itself
    };
    // 20 keyed items: a histogram, a scatter plot and 20 item charts per
    // format after the PDF.
    const std::string graphs =
        "graphs EXAM --technique 25 --pdf DIR/g.pdf --png DIR/png --svg DIR/svg";
    const Case cases[] = {
        {"the graph report's PDF", graphs, 1},
        {"the first chart file", graphs, 2},
        {"the last SVG", graphs, 45},
        {"a chart into a folder still to be made",
         "graphs EXAM --technique 25 --pdf DIR/g.pdf --png DIR/new/deeper", 3,
         "graphs EXAM --technique 25 --pdf DIR/g.pdf"},
        {"the first statistics file", "stats EXAM --csv DIR/stats", 1},
        {"the last statistics file", "stats EXAM --csv DIR/stats", 4},
        {"statistics into a folder still to be made", "stats EXAM --csv DIR/new/stats", 2,
         "stats EXAM --csv DIR/stats"},
        {"the printed report", "print EXAM --technique 27 --pdf DIR/p.pdf", 1},
        {"the raw printout", "raw EXAM --pdf DIR/raw.pdf", 1},
        {"the workbook", "export EXAM DIR/out.xlsx", 1},
        {"the CSV export", "export EXAM DIR/out.csv --table answers", 1},
        {"the backup of a replace", "import EXAM DIR/new.csv --replace", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        iatest::TempDir dir;
        MakeExam(dir.file("ม1.ans"));
        iatest::WriteText(dir.file("new.csv"), "n1,1,2,3,4,1,2,3,4,1,2,3,4,1,2,3,4,1,2,3,4\n");
        // What a first whole run left is what the cancelled one must keep.
        const iatest::CliRun first = Cli(Expand(c.first.empty() ? c.args : c.first, dir));
        ASSERT_EQ(first.code, 0) << first.err;
        // Told apart from anything a run would write again.
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            if (e.is_regular_file() && e.path().extension() != ".ans" &&
                e.path().filename() != "new.csv")
                iatest::WriteText(e.path().string(), "earlier");
        const auto before = Tree(dir.path());
        const iatest::CliRun r = Cli(Expand(c.args, dir), "ITEMANALYSIS_TEST_SIGINT_AT_OUTPUT=" +
                                                              std::to_string(c.output));
        EXPECT_EQ(r.code, 130) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(ia::kJobCancelledText), std::string::npos) << r.err;
        const auto after = Tree(dir.path());
        for (const auto& [name, bytes] : after)
            EXPECT_TRUE(before.count(name) && before.at(name) == bytes)
                << name << " changed or new";
        for (const auto& [name, bytes] : before)
            EXPECT_TRUE(after.count(name)) << name << " went";
    }
}

// The progress line is drawn only on a terminal, redrawn in place and
// cleared at the end; --quiet, taken by every subcommand that runs a job,
// turns it off.
TEST(CliProgress, OnATerminalOnlyAndNotWhenQuiet) {
    iatest::TempDir dir;
    MakeExam(dir.file("ม1.ans"));
    const std::string raw = Expand("raw EXAM --pdf DIR/raw.pdf", dir);
    // `script` gives the program a terminal and copies what it shows.
    auto onTerminal = [&](const std::string& args) {
        const std::string command = Quote(iatest::BinDir() + "/itemanalysis-cli") + " " + args;
        return Cli("", "script -qec " + Quote(command) + " /dev/null; true #");
    };
    const iatest::CliRun shown = onTerminal(raw);
    const std::string stage = std::string(ia::kLayingOutPagesStage);
    EXPECT_NE(shown.out.find("\r\x1b[K0% " + stage), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\r\x1b[K100% " + stage), std::string::npos) << shown.out;
    const size_t cleared = shown.out.rfind("\r\x1b[K");
    ASSERT_NE(cleared, std::string::npos);
    EXPECT_EQ(shown.out.substr(cleared + 4), dir.file("raw.pdf") + "\r\n");

    const iatest::CliRun quiet = onTerminal(raw + " --quiet");
    EXPECT_EQ(quiet.out, dir.file("raw.pdf") + "\r\n");

    // Not a terminal: nothing but the result.
    const iatest::CliRun piped = Cli(raw);
    EXPECT_EQ(piped.code, 0);
    EXPECT_EQ(piped.err, "");

    for (const std::string& args : {raw, Expand("analyse EXAM --technique 25", dir),
                                    Expand("print EXAM --technique 27 --pdf DIR/p.pdf", dir),
                                    Expand("stats EXAM", dir), Expand("export EXAM DIR/e.csv", dir),
                                    Expand("graphs EXAM --technique 25 --pdf DIR/g.pdf", dir)}) {
        const iatest::CliRun r = Cli(args + " --quiet");
        EXPECT_EQ(r.code, 0) << args << ": " << r.err;
    }
    // Commands that run no job take no --quiet.
    EXPECT_EQ(Cli(Expand("check EXAM --quiet", dir)).code, 2);

    // Both the help and the manual page tell of --quiet and of 130.
    const std::string help = Cli("--help").out;
    const std::string manual =
        iatest::FileBytes(iatest::SourceDir() + "/dist/man/itemanalysis-cli.1.in");
    for (const std::string& text : {help, manual}) {
        EXPECT_NE(text.find("quiet"), std::string::npos);
        EXPECT_NE(text.find("130"), std::string::npos);
        EXPECT_NE(text.find("Ctrl+C"), std::string::npos);
    }
}

} // namespace
