// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PrintReport.h"

#include "analysis/Format.h"
#include "examfile/Val.h"
#include "report/Printer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace ia {

namespace {

constexpr float kLeft = 3.0f;
// The lowest line top the fixed layout of the tables ever reaches (the
// closing rule under 35 summary rows). The quality lists of a long test can
// run further; they go on to another page instead of off the paper.
constexpr float kLowestLine = 27.8f;
constexpr int kSummaryPerPage = 35;
constexpr int kListPerLine = 16;

const std::string kRule(124, '-');
const std::string kShortRule(53, '-');

const char* const kLetters[] = {"", "ก", "ข", "ค", "ง", "จ"};

enum class Section { Items, Summary, Results };

const char* SectionTitle(Section s, int kind) {
    if (kind == 1) {
        switch (s) {
        case Section::Items:
            return "การวิเคราะห์ข้อสอบรายข้อ  โดยใช้สูตรอย่างง่าย กลุ่มสูง กลุ่มต่ำ 25 %";
        case Section::Summary:
            return "สรุป ค่า p ค่า r รายข้อ โดยสูตรอย่างง่าย   กลุ่มสูง กลุ่มต่ำ 25 %";
        case Section::Results:
            return "ผลการวิเคราะห์รายฉบับ โดยสูตรอย่างง่าย   กลุ่มสูง กลุ่มต่ำ 25 %";
        }
    }
    if (kind == 2) {
        switch (s) {
        case Section::Items:
            return "การวิเคราะห์ข้อสอบรายข้อ  โดยใช้ตาราง CHUNG TEH FAN กลุ่มสูง กลุ่มต่ำ 27 %";
        case Section::Summary:
            return "สรุป ค่า p ค่า r รายข้อ โดยใช้ตาราง CHUNG TEH FAN กลุ่มสูง กลุ่มต่ำ 27 %";
        case Section::Results:
            return "ผลการวิเคราะห์รายฉบับ โดยใช้ตาราง CHUNG TEH FAN กลุ่มสูง กลุ่มต่ำ 27 %";
        }
    }
    return nullptr;
}

const char* const kGroupHeadings[3] = {"ข้อสอบที่ดี ควรเก็บไว้ ได้แก่", "ข้อที่ควรปรับปรุงได้แก่",
                                       "ข้อสอบที่ควรตัดทิ้งได้แก่"};
// In the order of QualityCategory(): keep 1..3, improve 1..3, discard 1..3.
const char* const kCategoryLabels[9] = {
    "   1. ข้อที่ค่อนข้างง่าย อำนาจจำแนกดี",
    "   2. ข้อที่ยากง่ายปานกลาง อำนาจจำแนกดี",
    "   3. ข้อที่ค่อนข้างยาก อำนาจจำแนกดี",
    "   1. ข้อที่ง่ายมาก อำนาจจำแนกดี",
    "   2. ข้อที่ยากมาก อำนาจจำแนกดี",
    "   3. ข้อที่ความยากปานกลาง อำนาจจำแนกไม่ดี",
    "   1. ข้อที่ยากมากหรือง่ายมาก  อำนาจจำแนกไม่ดี",
    "   2. ข้อที่ไม่มีอำนาจจำแนก (อำนาจจำแนกเป็น 0)",
    "   3. ข้อที่อำนาจจำแนกเป็นลบ",
};

std::string ItemNumberText(const OutRow& row) {
    if (row.ChoiceNo != 2) return std::string(9, ' ');
    const int n = row.ItemNo;
    std::string pad = n < 10 ? "      " : n < 100 ? "    " : n < 1000 ? "  " : "";
    return pad + std::to_string(n);
}

std::string ChoiceText(const OutRow& row) {
    const char* letter = row.ChoiceNo >= 1 && row.ChoiceNo <= 5 ? kLetters[row.ChoiceNo] : "";
    return (row.IsAns == 1 ? std::string("*") : std::string("  ")) + letter;
}

std::string CountText(int n) {
    return n == 0 ? " -" : std::to_string(n);
}

// A stored result: nothing when absent or empty, a dash for zero.
std::string ValueText(const std::optional<std::string>& v) {
    if (!v || v->empty()) return "";
    if (Val(*v) == 0) return "  -";
    return *v;
}

std::string Stored(const std::optional<std::string>& v) {
    return v ? *v : std::string();
}

// Lays the report out page by page. Without a printer it only counts the
// pages; with one it prints every text through PrintAt. A page is opened (page
// break, page number, page header) only when something is about to be laid
// out on it, so no page ever carries its header alone.
class ReportLayout {
  public:
    ReportLayout(Printer* prn, PrintJob& job, const ReportData& d, int nChoice, int nItem,
                 std::string school, std::string headerLine, Progress& progress,
                 std::string outdatedNotice = {})
        : prn_(prn), job_(job), d_(d), nChoice_(nChoice), nItem_(nItem), school_(std::move(school)),
          headerLine_(std::move(headerLine)), outdatedNotice_(std::move(outdatedNotice)),
          progress_(progress) {}

    // Returns the number of pages laid out.
    int Run() {
        ItemTable();
        Summary();
        Results();
        return pages_;
    }

  private:
    void Put(float x, const std::string& text) {
        if (prn_) PrintAt(*prn_, job_, job_.PrintMode, x, y_, text);
    }
    void Centre(const std::string& text) {
        if (!prn_) return;
        Put(kLeft + (kCentreWidth - static_cast<float>(prn_->TextWidth(text))) / 2, text);
    }

    void OpenPage() {
        if (open_) return;
        if (pages_ > 0 && prn_ && BreakWanted()) prn_->NewPage();
        if (pages_ > 0) progress_.step(pages_);
        ++pages_;
        job_.PageNo = static_cast<int16_t>(pages_);
        open_ = true;
        PageHeader();
    }
    void ClosePage() { open_ = false; }

    // A new sheet only when this page went on paper and a later one will.
    bool BreakWanted() const {
        const int mode = job_.PrintMode;
        if (!PageSelected(job_, mode, job_.PageNo)) return false;
        for (int q = job_.PageNo + 1; q <= job_.PageCount; ++q)
            if (PageSelected(job_, mode, q)) return true;
        return false;
    }

    // Moves one line step down on the current page, opening a page first.
    void NextLine(float step = kLineStep) {
        OpenPage();
        if (section_ == Section::Results && y_ + step > kLowestLine) {
            ClosePage();
            OpenPage();
            step = kLineStep;
        }
        y_ += step;
    }

    void PageHeader() {
        const int kind = d_.AnalysisKind;
        // Results that no longer match the data say so on every page, above
        // the page number, so that the pages themselves lie as they would.
        if (!outdatedNotice_.empty()) {
            y_ = kPageTop - kLineStep;
            Put(kLeft, outdatedNotice_);
        }
        y_ = kPageTop;
        Centre(std::to_string(job_.PageNo));
        y_ += 1.0f;
        if (!school_.empty()) Centre(school_);
        y_ += kLineStep;
        if (const char* title = SectionTitle(section_, kind)) Centre(title);
        y_ += kLineStep;
        Centre(headerLine_);
        y_ += kLineStep;
        Put(kLeft, kRule);
        if (section_ == Section::Items) {
            y_ += kLineStep;
            if (kind == 1) {
                Put(3.0f, "    ข้อ ตัวเลือก");
                Put(5.5f, "H");
                Put(6.5f, "L");
                Put(7.7f, "p");
                Put(8.7f, "r");
                Put(9.7f, "Delta          วิจารณ์");
            } else if (kind == 2) {
                Put(3.0f, "    ข้อ ตัวเลือก");
                Put(5.5f, "H");
                Put(6.5f, "L");
                Put(7.5f, "PH");
                Put(8.5f, "PL");
                Put(9.7f, "p");
                Put(10.8f, "r");
                Put(11.6f, firstItemPage_ ? "Delta         วิจารณ์" : "Delta          วิจารณ์");
            }
            firstItemPage_ = false;
            y_ += kLineStep;
            Put(kLeft, kRule);
        } else if (section_ == Section::Summary) {
            y_ += kLineStep;
            Put(8.4f, "ข้อ");
            Put(9.5f, "p");
            Put(10.5f, "r");
            Put(11.2f, "Delta");
            Put(12.9f, "Zr");
            y_ += kLineStep;
            Put(7.5f, kShortRule);
        }
    }

    void ItemTable() {
        section_ = Section::Items;
        const int kind = d_.AnalysisKind;
        const int perPage = ItemsPerPage(nChoice_);
        for (const OutRow& row : d_.rows) {
            if (!KeyIsBlank(d_, row.ItemNo) && (kind == 1 || kind == 2)) {
                NextLine();
                Put(3.0f, ItemNumberText(row));
                Put(4.5f, ChoiceText(row));
                Put(5.5f, CountText(row.H));
                Put(6.5f, CountText(row.L));
                const float shift = kind == 2 ? 2.0f : 0.0f;
                if (kind == 2) {
                    Put(7.5f, ValueText(row.PH));
                    Put(8.5f, ValueText(row.PL));
                }
                Put(7.5f + shift, ValueText(row.P));
                Put(8.5f + shift, ValueText(row.r));
                Put(9.7f + shift, ValueText(row.Delta));
                Put(kind == 2 ? 12.8f : 11.0f, Stored(row.Explain));
            }
            if (row.ChoiceNo == nChoice_) {
                NextLine();
                Put(kLeft, kRule);
                if (row.ItemNo % perPage == 0) ClosePage();
            }
        }
        ClosePage();
    }

    void Summary() {
        section_ = Section::Summary;
        int slot = 0;
        for (const OutRow& row : d_.rows) {
            if (row.IsAns != 1) continue;
            ++slot;
            const int cat = ItemQualityCategory(row);
            if (cat >= 0 && slot <= nItem_) lists_[cat].push_back(row.ItemNo);
            NextLine();
            Put(8.2f, FormatInt3(static_cast<int16_t>(row.ItemNo)));
            Put(9.2f, ValueText(row.P));
            Put(10.2f, ValueText(row.r));
            Put(11.3f, ValueText(row.Delta));
            Put(12.7f, ValueText(row.Zr));
            if (row.ItemNo % kSummaryPerPage == 0) ClosePage();
        }
        NextLine();
        Put(7.5f, kShortRule);
        NextLine();
        Put(8.0f, "เฉลี่ย");
        Put(9.2f, Stored(d_.stat.Pav));
        Put(10.2f, Stored(d_.stat.Rav));
        Put(11.3f, Stored(d_.stat.Dav));
        Put(12.7f, Stored(d_.stat.Zrav));
        NextLine();
        Put(7.5f, kShortRule);
        ClosePage();
    }

    void Results() {
        section_ = Section::Results;
        auto line = [&](const char* label, float x, const std::string& value) {
            NextLine();
            Put(kLeft, label);
            Put(x, value);
        };
        line("จำนวนข้อสอบที่วิเคราะห์   ", 9.4f, std::to_string(d_.KeyedItemCount));
        if (d_.UnkeyedItemCount != 0)
            line("จำนวนข้อสอบที่เสีย   ", 9.4f, std::to_string(d_.UnkeyedItemCount));
        line("จำนวนกระดาษคำตอบ", 9.4f, std::to_string(d_.SheetCount));
        line("คะแนนเฉลี่ย", 9.0f, Stored(d_.stat.Xbar));
        line("ส่วนเบี่ยงเบนมาตรฐาน", 9.0f, Stored(d_.stat.SD));
        line("ความเชื่อมั่น KR-20", 9.0f, Stored(d_.stat.KR20));
        line("ความคลาดเคลื่อนมาตรฐาน", 9.0f, Stored(d_.stat.SEmea));
        NextLine();
        Put(kLeft, kRule);

        NextLine(1.2f);
        Centre("สรุปคุณภาพของข้อสอบ");
        NextLine();
        Put(kLeft, kRule);
        for (int cat = 0; cat < 9; ++cat) {
            if (cat % 3 == 0) {
                NextLine();
                Put(kLeft, kGroupHeadings[cat / 3]);
            }
            const std::vector<int>& items = lists_[cat];
            NextLine();
            Put(kLeft, kCategoryLabels[cat]);
            Put(11.0f, items.empty() ? std::string("ไม่มี")
                                     : "มี   " + std::to_string(items.size()) + "  ข้อ  ได้แก่ข้อ");
            if (items.empty()) NextLine();
            for (size_t j = 0; j < items.size(); ++j) {
                if (j % kListPerLine == 0) NextLine();
                Put(4.0f + static_cast<float>(j % kListPerLine), " " + std::to_string(items[j]));
            }
        }
        NextLine();
        Put(kLeft, kRule);
        ClosePage();
    }

    Printer* prn_;
    PrintJob& job_;
    const ReportData& d_;
    int nChoice_;
    int nItem_;
    std::string school_;
    std::string headerLine_;
    std::string outdatedNotice_;
    Progress& progress_;
    Section section_ = Section::Items;
    float y_ = kPageTop;
    int pages_ = 0;
    bool open_ = false;
    bool firstItemPage_ = true;
    std::array<std::vector<int>, 9> lists_;
};

int CountPages(const ReportData& data, int nChoice, int nItem) {
    PrintJob scratch;
    return ReportLayout(nullptr, scratch, data, nChoice, nItem, "", "", NoProgress()).Run();
}

} // namespace

int ItemsPerPage(int nChoice) {
    switch (nChoice) {
    case 2:
        return 12;
    case 3:
        return 9;
    case 4:
        return 7;
    case 5:
        return 6;
    default:
        // About 36 lines of rows and rules fit under the page header.
        return nChoice >= 0 ? std::max(1, 36 / (nChoice + 1)) : 36;
    }
}

std::string PrintedHeaderLine(TestHeader& header) {
    if (header.SubCode.empty()) header.SubCode = std::string(11, ' ');
    if (header.SubName.empty()) header.SubName = std::string(19, ' ');
    if (header.Term.empty()) header.Term = std::string(7, ' ');
    return "วิชา " + header.SubCode + "  " + header.SubName + "   เทอม " + header.Term + "/" +
           std::to_string(header.Yearr) + "    อาจารย์ผู้สอน : " + header.TeacherName;
}

int16_t NumPage(PrintJob& job, const ReportData& data, int nChoice, int nItem) {
    job.PageCount = static_cast<int16_t>(CountPages(data, nChoice, nItem));
    return job.PageCount;
}

void PrintOutput(Printer& prn, PrintJob& job, TestHeader& header, const std::string& schoolName,
                 const ReportData& data, int nChoice, int nItem, Progress& progress,
                 const std::string& outdatedNotice) {
    const std::string headerLine = PrintedHeaderLine(header);

    SetupPrinter(prn);
    job.PageNo = 0;
    NumPage(job, data, nChoice, nItem);
    if (job.PageTo > job.PageCount) job.PageTo = job.PageCount;
    progress.stage(kLayingOutPagesStage, job.PageCount);

    const int pages = ReportLayout(&prn, job, data, nChoice, nItem, schoolName, headerLine,
                                   progress, outdatedNotice)
                          .Run();
    progress.step(pages);
    prn.EndDoc();
}

} // namespace ia
