// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>

namespace ia {

// The test header as typed or as read from the exam file.
struct TestHeader {
    std::string SubCode;
    std::string SubName;
    std::string Term;
    int32_t Yearr = 0;
    std::string TeacherName;
    int16_t nItem = 0;
    uint8_t nChoice = 0;
};

// What the exam-file side of the program knows about the file in hand.
struct ExamModule {
    TestHeader header;
    std::string ExamFileName;
    int16_t ExamFileOpen = 0; // 0 while a new header is typed, 1 while a file is open
};

} // namespace ia
