// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/NewFileRules.h"

#include "examfile/ExamFile.h"
#include "examfile/Val.h"

#include <cstdint>

namespace ia {

const char* const kNeedFileName = "กรุณาใส่ชื่อไฟล์ข้อมูลด้วย";
const char* const kNeedItemsChoices = "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก";
const char* const kItemsChoicesNotNumbers = "กรุณาใส่จำนวนข้อสอบ และ จำนวนตัวเลือก เป็นตัวเลข";
const char* const kItemsOutOfRange = "จำนวนข้อสอบต้องอยู่ระหว่าง 1 ถึง 251 ข้อ";
const char* const kChoicesOutOfRange = "จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก";
const char* const kYearInvalid = "ปีการศึกษาไม่ถูกต้อง";

std::string WithAsciiDigits(const std::string& text) {
    // Thai digits ๐..๙ are U+0E50..U+0E59: E0 B9 90..99 in UTF-8.
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
        if (i + 2 < text.size() && b(i) == 0xE0 && b(i + 1) == 0xB9 && b(i + 2) >= 0x90 &&
            b(i + 2) <= 0x99) {
            out += static_cast<char>('0' + (b(i + 2) - 0x90));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<long long> HeaderNumber(const std::string& typed, long long lo, long long hi) {
    const std::string text = WithAsciiDigits(typed);
    double v = Val(text);
    // Compare before rounding to a long long, which saturates far out.
    if (v < static_cast<double>(lo) - 0.5 || v > static_cast<double>(hi) + 0.5) return std::nullopt;
    long long n = RoundHalfEven(v);
    if (n < lo || n > hi) return std::nullopt;
    return n;
}

std::string HeaderTextTooLong(int field, const std::string& text) {
    static const char* const names[8] = {"", "รหัสวิชา", "ชื่อวิชา", "เทอม", "", "", "", "ชื่ออาจารย์ผู้สอน"};
    if (field < 0 || field >= 8 || kHeaderTextSizes[field] == 0) return {};
    size_t characters = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++characters;
    if (characters <= static_cast<size_t>(kHeaderTextSizes[field])) return {};
    return std::string(names[field]) + "ยาวเกิน " + std::to_string(kHeaderTextSizes[field]) +
           " ตัวอักษร";
}

std::string WithExamExtension(const std::string& name) {
    return name.find('.') == std::string::npos ? name + ".ans" : name;
}

std::string ExamPathIn(const std::string& name, const std::string& workingDir) {
    if (!name.empty() && name[0] == '/') return name;
    return workingDir + "/" + name;
}

NewHeaderCheck CheckNewHeader(const HeaderTexts& f) {
    NewHeaderCheck r;
    auto refuse = [&r](const char* message, int focus) {
        r.message = message;
        r.focus = focus;
        return r;
    };
    if (f[0].empty()) return refuse(kNeedFileName, 0);
    if (f[5].empty() || f[6].empty()) return refuse(kNeedItemsChoices, 5);
    if (!IsNumeric(WithAsciiDigits(f[5])) || !IsNumeric(WithAsciiDigits(f[6])))
        return refuse(kItemsChoicesNotNumbers, 5);
    auto items = HeaderNumber(f[5], 1, kMaxItems);
    if (!items) return refuse(kItemsOutOfRange, 5);
    auto choices = HeaderNumber(f[6], kMinChoices, kMaxChoices);
    if (!choices) return refuse(kChoicesOutOfRange, 6);
    auto year = YearForWriteBack(f[4]);
    if (!year) return refuse(kYearInvalid, 4);
    // The engine would refuse the header row, and the file with it.
    for (int i : {1, 2, 3, 7}) {
        std::string tooLong = HeaderTextTooLong(i, f[i]);
        if (!tooLong.empty()) {
            r.message = tooLong;
            r.focus = i;
            return r;
        }
    }

    r.ok = true;
    r.fileName = WithExamExtension(f[0]);
    r.header.SubCode = f[1];
    r.header.SubName = f[2];
    r.header.Term = f[3];
    r.header.Yearr = static_cast<int32_t>(*year);
    r.header.TeacherName = f[7];
    r.header.nItem = static_cast<int16_t>(*items);
    r.header.nChoice = static_cast<uint8_t>(*choices);
    return r;
}

std::optional<int32_t> YearForWriteBack(const std::string& text) {
    // Empty stays allowed (no year); any other text must begin with one.
    const std::string ascii = WithAsciiDigits(text);
    if (ascii.find_first_not_of(" \t") != std::string::npos && !BeginsWithNumber(ascii))
        return std::nullopt;
    auto y = HeaderNumber(text, INT32_MIN, INT32_MAX);
    if (!y) return std::nullopt;
    return static_cast<int32_t>(*y);
}

std::optional<uint8_t> ChoicesForWriteBack(const std::string& text) {
    auto c = HeaderNumber(text, kMinChoices, kMaxChoices);
    if (!c) return std::nullopt;
    return static_cast<uint8_t>(*c);
}

} // namespace ia
