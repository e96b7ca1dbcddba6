// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/ReportText.h"

#include "analysis/Format.h"
#include "examfile/Cp874.h"
#include "examfile/OutputFile.h"
#include "examfile/Val.h"
#include "report/OutputPath.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <optional>
#include <vector>

namespace ia {
namespace {

const std::string kRule(124, '-');
const std::string kShortRule(53, '-');

const char* const kChoiceLetter[] = {"", "ก", "ข", "ค", "ง", "จ"};

// Category labels in the order of QualityCategory: keep 1..3, improve 1..3,
// discard 1..3.
const char* const kCategoryLabel[9] = {
    "   1. ข้อที่ค่อนข้างง่าย อำนาจจำแนกดี มี   ",
    "   2. ข้อที่ยากง่ายปานกลาง อำนาจจำแนกดี มี   ",
    "   3. ข้อที่ค่อนข้างยาก อำนาจจำแนกดี มี   ",
    "   1. ข้อที่ง่ายมาก อำนาจจำแนกดี มี   ",
    "   2. ข้อที่ยากมาก อำนาจจำแนกดี มี   ",
    "   3. ข้อที่ความยากปานกลาง อำนาจจำแนกไม่ดี มี   ",
    "   1. ข้อที่ง่ายมากหรือยากมาก อำนาจจำแนกไม่ดี   ",
    "   2. ข้อที่อำนาจจำแนกเป็น 0 มี   ",
    "   3. ข้อที่อำนาจจำแนกเป็นลบ มี   ",
};
const char* const kGroupHeading[3] = {
    "ข้อสอบที่ดี ควรเก็บไว้ ได้แก่",
    "ข้อสอบที่ควรปรับปรุง ได้แก่",
    "ข้อสอบที่ควรตัดทิ้งได้แก่",
};

// Builds the file in code-page bytes, so that a column is one byte: a Thai
// vowel or tone mark takes a column of its own, which is what the fixed
// column stops were laid out for.
class Lines {
  public:
    Lines& Text(std::string_view utf8) {
        line_ += enc_.Encode(utf8);
        return *this;
    }
    // A NULL stored value writes nothing.
    Lines& Stored(const std::optional<std::string>& utf8) { return utf8 ? Text(*utf8) : *this; }
    // Whole numbers carry a sign position in front and a blank behind.
    Lines& Number(long long n) {
        line_ += n < 0 ? std::to_string(n) : " " + std::to_string(n);
        line_ += ' ';
        return *this;
    }
    Lines& Number(const std::optional<long long>& n) { return n ? Number(*n) : *this; }
    // The next item starts at column `col` (counted from 1); if the line is
    // already past it, at that column of a new line.
    Lines& Tab(size_t col) {
        if (line_.size() + 1 > col) End();
        line_.append(col - 1 - line_.size(), ' ');
        return *this;
    }
    void End() {
        out_ += line_;
        out_ += "\r\n";
        line_.clear();
    }
    void Line(std::string_view utf8) {
        Text(utf8);
        End();
    }
    void Empty(int count = 1) {
        for (int i = 0; i < count; ++i)
            End();
    }
    std::string Finish() {
        if (!line_.empty()) End();
        return std::move(out_);
    }

  private:
    Cp874Encoder enc_;
    std::string line_;
    std::string out_;
};

std::string ItemNumberText(int itemNo) {
    std::string digits = std::to_string(itemNo);
    if (itemNo < 10) return "    " + digits;
    if (itemNo < 100) return "  " + digits;
    return digits;
}

bool IsZero(const std::optional<std::string>& text) {
    return !text || Val(*text) == 0;
}

void WriteItemTable(Lines& out, const TestHeader& header, const std::string& headerLine,
                    const ReportData& data) {
    if (data.AnalysisKind == 1)
        out.Line("       การวิเคราะห์ข้อสอบรายข้อ  โดยใช้สูตรอย่างง่าย กลุ่มสูง กลุ่มต่ำ 25 %");
    else if (data.AnalysisKind == 2)
        out.Line("     การวิเคราะห์ข้อสอบรายข้อ  โดยใช้ตาราง CHUNG TEH FAN กลุ่มสูง กลุ่มต่ำ 27 %");
    out.Line(headerLine);
    out.Line(kRule);
    if (data.AnalysisKind == 1)
        out.Line("  ข้อ ตัวเลือก  H     L     p      r    Delta        วิจารณ์");
    else if (data.AnalysisKind == 2)
        out.Line("  ข้อ ตัวเลือก  H     L    PH    PL      p      r     Delta          วิจารณ์");
    out.Line(kRule);

    for (const OutRow& row : data.rows) {
        bool numbered = row.ChoiceNo == 2;
        std::string itemText = numbered ? ItemNumberText(row.ItemNo) : "";
        size_t choiceCol = !numbered ? 12 : row.ItemNo < 10 ? 11 : 9;
        const char* letter =
            row.ChoiceNo >= 1 && row.ChoiceNo <= 5 ? kChoiceLetter[row.ChoiceNo] : "";
        std::string choiceText = (row.IsAns == 1 ? std::string("*") : std::string("  ")) + letter;
        std::string h = FormatCount(row.H);
        std::string l = FormatCount(row.L);

        if (!KeyIsBlank(data, row.ItemNo)) {
            if (data.AnalysisKind == 1) {
                out.Text(itemText).Tab(choiceCol).Text(choiceText).Text("  ").Text(h);
                out.Text("  ").Text(l).Text("  ").Stored(row.P).Text("  ").Stored(row.r);
                out.Text("  ").Stored(row.Delta).Text("    ").Stored(row.Explain).End();
            } else if (data.AnalysisKind == 2) {
                // A zero proportion leaves its column empty.
                std::optional<std::string> ph = IsZero(row.PH) ? std::nullopt : row.PH;
                std::optional<std::string> pl = IsZero(row.PL) ? std::nullopt : row.PL;
                out.Text(itemText).Tab(choiceCol).Text(choiceText).Text("  ").Text(h);
                out.Text("  ").Text(l).Text("  ").Stored(ph).Text("  ").Stored(pl);
                out.Text("   ").Stored(row.P).Text("   ").Stored(row.r).Text("   ").Stored(
                    row.Delta);
                out.Text("    ").Stored(row.Explain).End();
            }
        }
        if (row.ChoiceNo == header.nChoice) out.Line(kRule);
    }
}

} // namespace

ReportWriteError::ReportWriteError(const std::string& path)
    : std::runtime_error("บันทึกไฟล์รายงานไม่ได้ : " + path), path_(path) {}

std::string ReportPathFor(const std::string& examFileName) {
    return DerivedPath(examFileName, "txt");
}

namespace {

// The whole report replaces the old one only once written, so that a full
// disk or a vanished folder never leaves a truncated report that looks
// complete.
void WriteReplacing(const std::string& path, const std::string& bytes) {
    try {
        WriteFileReplacing(path, "report", bytes);
    } catch (const ReplaceFileError&) {
        throw ReportWriteError(path);
    }
}

} // namespace

std::string CreateOutputFile(const std::string& examFileName, TestHeader& header,
                             const std::string& termBox, const ReportData& data) {
    std::string path = ReportPathFor(examFileName);

    if (header.SubCode.empty()) header.SubCode = std::string(11, ' ');
    if (header.SubName.empty()) header.SubName = std::string(19, ' ');
    header.Term = termBox.empty() ? std::string(7, ' ') : termBox;
    std::string headerLine = "    วิชา " + header.SubCode + "  " + header.SubName + "   เทอม " +
                             header.Term + "/" + std::to_string(header.Yearr) +
                             "    อาจารย์ผู้สอน : " + header.TeacherName;

    Lines out;
    WriteItemTable(out, header, headerLine, data);

    // Summary of p and r, sorting the keyed items into quality categories on
    // the way. A list keeps the item at the slot of its keyed-row count, so
    // the lists come out in item order.
    const int nItem = header.nItem > 0 ? header.nItem : 0;
    std::array<int, 9> count{};
    std::array<std::vector<int>, 9> slots;
    for (auto& s : slots)
        s.assign(static_cast<size_t>(nItem) + 1, 0);

    out.Empty(3);
    out.Line("    สรุป ค่า p ค่า r รายข้อ");
    out.Line(headerLine);
    out.Line(kRule);
    out.Line("   ข้อ      p           r       Delta      Zr");
    out.Line(kShortRule);
    int keyedRows = 0;
    for (const OutRow& row : data.rows) {
        if (row.IsAns != 1 || KeyIsBlank(data, row.ItemNo)) continue;
        ++keyedRows;
        const int category = ItemQualityCategory(row);
        if (category >= 0) {
            ++count[category];
            if (keyedRows <= nItem) slots[category][keyedRows] = row.ItemNo;
        }
        out.Text(FormatInt3(static_cast<int16_t>(row.ItemNo))).Tab(10).Stored(row.P).Tab(20);
        out.Stored(row.r).Tab(30).Stored(row.Delta).Tab(40).Stored(row.Zr).End();
    }
    out.Line(kRule);
    out.Text("เฉลี่ย").Tab(10).Stored(data.stat.Pav).Tab(20).Stored(data.stat.Rav).Tab(30);
    out.Stored(data.stat.Dav).Tab(40).Stored(data.stat.Zrav).End();
    out.Line(kRule);

    // Whole-test results; the label columns are fixed, not measured.
    out.Empty(3);
    out.Line(std::string(44, ' ') + "ผลการวิเคราะห์รายฉบับ");
    out.Line(headerLine);
    out.Line(kRule);
    out.Text("จำนวนข้อสอบที่วิเคราะห์ ").Tab(56).Number(data.stat.nItem).End();
    if (data.UnkeyedItemCount != 0)
        out.Text("จำนวนข้อสอบที่เสีย ").Tab(59).Number(data.UnkeyedItemCount).End();
    out.Text("จำนวนกระดาษคำตอบ").Tab(53).Number(data.SheetCount).End();
    out.Text("คะแนนเฉลี่ย").Tab(61).Stored(data.stat.Xbar).End();
    out.Text("ส่วนเบี่ยงเบนมาตรฐาน").Tab(55).Stored(data.stat.SD).End();
    out.Text("ความเชื่อมั่น KR-20").Tab(57).Stored(data.stat.KR20).End();
    out.Text("ความคลาดเคลื่อนมาตรฐาน").Tab(50).Stored(data.stat.SEmea).End();
    out.Line(kRule);

    out.Line(std::string(44, ' ') + "สรุปคุณภาพของข้อสอบ");
    out.Line(kRule);
    for (int c = 0; c < 9; ++c) {
        if (c % 3 == 0) out.Line(kGroupHeading[c / 3]);
        out.Text(kCategoryLabel[c]).Number(count[c]).Text(" ข้อ").End();
        out.Text(std::string(15, ' '));
        for (int k = 1; k <= nItem; ++k)
            if (slots[c][k] != 0) out.Number(slots[c][k]).Text(" ");
        out.End();
    }
    out.Line(kRule);

    WriteReplacing(path, out.Finish());
    return path;
}

std::string WriteAnalysisReport(ExamViews& views, const AnalysisState& state,
                                const std::string& examFileName, TestHeader& header,
                                const std::string& termBox) {
    return CreateOutputFile(examFileName, header, termBox, LoadReportData(views, state));
}

} // namespace ia
