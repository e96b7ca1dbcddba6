// SPDX-License-Identifier: GPL-3.0-or-later
// An analysis cancelled at any report of its progress, while it reads the
// sheets or while it stores the results (inside the one long UPDATE of the
// scores too), leaves the exam file byte for byte as it was.
#include "BoundExam.h"
#include "TestSupport.h"
#include "analysis/Analysis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Enough sheets that the reading reports several times and the engine
// asks about the cancel inside the statement that stores the scores.
constexpr int kSheets = 3000;

void MakeExam(const std::string& path) {
    std::vector<std::vector<std::string>> sheets;
    for (int s = 1; s <= kSheets; ++s) {
        std::string answers;
        for (int i = 1; i <= 10; ++i)
            answers += static_cast<char>('1' + (s * (i + 3) / 7 + i) % 4);
        sheets.push_back(iatest::Sheet(std::to_string(s), answers));
    }
    iatest::MakeExamFile(path, iatest::MakeHeader(10, 4),
                         {"1", "2", "3", "4", "1", "2", "3", "4", "1", "2"}, sheets);
}

void RunTechnique(const std::string& path, int kind, ia::Progress* progress) {
    iatest::BoundExam exam(path);
    exam.ctx.progress = progress;
    ia::RunTechnique(exam.ctx, static_cast<ia::Technique>(kind), iatest::BinDir());
}

TEST(CancelledAnalysis, LeavesTheFileAsItWasAtEveryReport) {
    iatest::TempDir dir;
    const std::string path = dir.file("ม1.ans");
    MakeExam(path);
    for (int kind : {1, 2}) {
        // The previous results, which a cancelled run must keep.
        RunTechnique(path, kind == 1 ? 2 : 1, nullptr);
        const std::string before = iatest::FileBytes(path);

        iatest::CancelAtStep counting;
        {
            iatest::TempDir scratch;
            const std::string copy = scratch.file("copy.ans");
            iatest::WriteText(copy, before);
            RunTechnique(copy, kind, &counting);
        }
        EXPECT_EQ(counting.stages(),
                  (std::vector<std::string>{ia::kReadingSheetsStage, ia::kStoringResultsStage}));
        // Stage, a report every 256 sheets, the last sheet.
        EXPECT_EQ(counting.reportsIn(ia::kReadingSheetsStage), 1 + kSheets / 256 + 1);
        // Stage, the engine asking within the statements, the last moment.
        EXPECT_GT(counting.reportsIn(ia::kStoringResultsStage), 2);

        for (long long k = 1; k <= counting.reports(); ++k) {
            iatest::CancelAtStep cancelling(k);
            EXPECT_THROW(RunTechnique(path, kind, &cancelling), ia::JobCancelled)
                << "technique " << kind << ", report " << k;
            EXPECT_EQ(iatest::FileBytes(path), before) << "technique " << kind << ", report " << k;
        }
        // And once not cancelled, the run goes through.
        iatest::CancelAtStep never;
        RunTechnique(path, kind, &never);
        EXPECT_NE(iatest::FileBytes(path), before);
    }
}

} // namespace
