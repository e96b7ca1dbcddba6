// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzTargets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

void Replay(const std::string& sub, void (*target)(const uint8_t*, size_t)) {
    auto dir = std::filesystem::path(iatest::SourceDir()) / "tests/fuzz/corpus" / sub;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        SCOPED_TRACE(entry.path().filename().string());
        target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
}

} // namespace

// Inputs kept from fuzzing runs (and seeds) are replayed on every test run.
TEST(FuzzRegressions, ExamFiles) {
    Replay("examfile", iafuzz::ExamFileBytes);
}
TEST(FuzzRegressions, NumberTexts) {
    Replay("numbers", iafuzz::NumberBytes);
}
TEST(FuzzRegressions, Workbooks) {
    Replay("xlsx", iafuzz::XlsxBytes);
}
TEST(FuzzRegressions, DelimitedTexts) {
    Replay("csv", iafuzz::CsvBytes);
}
