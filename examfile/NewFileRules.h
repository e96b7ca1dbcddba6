// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules of a new exam file typed into the header panel, and of header
// values edited in an open file, without any widget.

#include "examfile/ExamState.h"

#include <array>
#include <optional>
#include <string>

namespace ia {

extern const char* const kNeedFileName; // "กรุณาใส่ชื่อไฟล์ข้อมูลด้วย"
extern const char* const kNeedItemsChoices; // "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก"
extern const char* const kItemsChoicesNotNumbers; // "... เป็นตัวเลข"
extern const char* const kItemsOutOfRange; // "จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ"
extern const char* const kChoicesOutOfRange; // "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก"
extern const char* const kYearInvalid; // "ปีการศึกษาไม่ถูกต้อง"

constexpr int kMinChoices = 2;
constexpr int kMaxChoices = 5;

// The eight header fields: 0 file name, 1 subject code, 2 subject, 3 term,
// 4 year, 5 number of items, 6 number of choices, 7 teacher.
using HeaderTexts = std::array<std::string, 8>;

struct NewHeaderCheck {
    bool ok = false;
    std::string message;  // for the message line when refused
    int focus = 0;        // the field to correct when refused
    TestHeader header;    // the typed header when accepted
    std::string fileName; // the typed name, ".ans" added when it has no dot
};

// The most characters each header field can hold in the exam file, by field
// index; 0 for the fields that are not stored as text.
constexpr std::array<int, 8> kHeaderTextSizes{0, 20, 100, 10, 0, 0, 0, 50};

// The refusal of a header text longer than its field can hold ("รหัสวิชายาว
// เกิน 20 ตัวอักษร"), or the empty text when it fits. Characters are counted
// as the engine counts them, not bytes.
std::string HeaderTextTooLong(int field, const std::string& text);

// Checks the typed header in the order the user is told about it: file
// name, presence of the two counts, counts as numbers, then the ranges,
// the year and the lengths of the texts.
NewHeaderCheck CheckNewHeader(const HeaderTexts& fields);

// The name with ".ans" appended when it contains no dot anywhere.
std::string WithExamExtension(const std::string& name);

// A name starting with "/" is used as it is; any other name is taken in the
// working directory (a backslash is an ordinary character).
std::string ExamPathIn(const std::string& name, const std::string& workingDir);

// The text with every Thai digit (๐..๙) replaced by its ASCII digit.
std::string WithAsciiDigits(const std::string& text);

// The whole number a header text stands for (Thai digits read as theirs): the number it begins
// with, halves to the even neighbour; nullopt outside [lo, hi].
std::optional<long long> HeaderNumber(const std::string& text, long long lo, long long hi);

// Write-back values of an open file's year and number of choices; nullopt
// when the value is refused and the stored one is kept. An empty year is 0;
// a year must otherwise begin with a number, which it keeps.
std::optional<int32_t> YearForWriteBack(const std::string& text);
std::optional<uint8_t> ChoicesForWriteBack(const std::string& text);

} // namespace ia
