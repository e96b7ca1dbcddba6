// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/RawPrint.h"

#include "report/PrintState.h"
#include "report/Printer.h"

namespace ia {

namespace {

constexpr float kAnswerOffset = 1.5f;
constexpr int kWideTest = 70; // more items than this need landscape paper

std::string Field(const RawRecord& r, size_t i) {
    return i < r.size() && r[i] ? *r[i] : std::string();
}

std::string AnswerText(const RawRecord& r, int nItem) {
    std::string s;
    for (int i = 1; i <= nItem; ++i) {
        std::string a = Field(r, static_cast<size_t>(i));
        s += a.empty() ? "  " : a;
    }
    std::string score = Field(r, static_cast<size_t>(nItem) + 1);
    if (!score.empty()) s += "   " + score;
    return s;
}

class RawLayout {
  public:
    RawLayout(Printer& prn, const RawRecord& key, RawSheetReader& sheets, int nItem,
              std::string school, std::string header, Progress& progress)
        : prn_(prn), key_(key), sheets_(sheets), nItem_(nItem), school_(std::move(school)),
          header_(std::move(header)), progress_(progress) {
        for (int i = 1; i <= nItem_; ++i) {
            tens_ += i < 10 ? "  " : std::to_string(i / 10);
            units_ += std::to_string(i % 10);
        }
        units_ += "   คะแนน";
    }

    void Run() {
        if (nItem_ > kWideTest) {
            prn_.SetOrientation(Orientation::Landscape);
            margin_ = 3.0f;
            perPage_ = 20;
        }
        const size_t n = sheets_.count();
        const size_t perPage = static_cast<size_t>(perPage_);
        progress_.stage(kLayingOutPagesStage, static_cast<long long>(n / perPage + 1));
        PageHeader();
        for (size_t i = 0; i < n; ++i) {
            y_ += kLineStep;
            const RawRecord sheet = sheets_.next();
            std::string code = Field(sheet, 0);
            if (!code.empty()) Put(margin_, code);
            Put(margin_ + kAnswerOffset, AnswerText(sheet, nItem_));
            // A full page always turns, so the key row heads the next page
            // even when no sheet follows (35 sheets: the second page holds
            // the header and the key alone, as teachers know the printout).
            if ((i + 1) % perPage == 0) {
                progress_.step(page_);
                PageHeader();
            }
        }
        progress_.step(page_);
        prn_.EndDoc();
        // The next job, whatever it is, starts upright.
        prn_.SetOrientation(Orientation::Portrait);
    }

  private:
    void Put(float x, const std::string& text) { PrintAt(prn_, job_, 1, x, y_, text); }
    void Centre(const std::string& text) {
        Put(margin_ + (kCentreWidth - static_cast<float>(prn_.TextWidth(text))) / 2, text);
    }

    void PageHeader() {
        if (page_ > 0) prn_.NewPage();
        ++page_;
        y_ = kPageTop;
        Centre(std::to_string(page_));
        y_ += 1.0f;
        if (!school_.empty()) Centre(school_);
        y_ += kLineStep;
        Centre(header_);
        y_ += kLineStep;
        Put(margin_, std::string(135, '-'));
        y_ += kLineStep;
        Put(margin_ + kAnswerOffset, tens_);
        y_ += 0.5f;
        Put(margin_, "ข้อ");
        Put(margin_ + kAnswerOffset, units_);
        y_ += kLineStep;
        Put(margin_, Field(key_, 0));
        Put(margin_ + kAnswerOffset, AnswerText(key_, nItem_));
        y_ += 0.8f;
    }

    Printer& prn_;
    const RawRecord& key_;
    RawSheetReader& sheets_;
    int nItem_;
    std::string school_;
    std::string header_;
    std::string tens_;
    std::string units_;
    Progress& progress_;
    PrintJob job_; // every page, whatever the report's selection
    float margin_ = 2.0f;
    int perPage_ = 35;
    int page_ = 0;
    float y_ = kPageTop;
};

class SheetsInHand final : public RawSheetReader {
  public:
    explicit SheetsInHand(const std::vector<RawRecord>& sheets) : sheets_(sheets) {}
    size_t count() const override { return sheets_.size(); }
    RawRecord next() override { return sheets_.at(at_++); }

  private:
    const std::vector<RawRecord>& sheets_;
    size_t at_ = 0;
};

} // namespace

bool RawPrint(Printer& prn, TestHeader& header, const std::string& schoolName, const RawRecord& key,
              RawSheetReader& sheets, Progress& progress) {
    if (sheets.count() == 0) return false;
    if (header.SubCode.empty()) header.SubCode = std::string(11, ' ');
    if (header.SubName.empty()) header.SubName = std::string(19, ' ');
    if (header.Term.empty()) header.Term = std::string(7, ' ');
    SetupPrinter(prn);
    const std::string h = "วิชา " + header.SubCode + "  " + header.SubName + "   เทอม " +
                          header.Term + "/" + std::to_string(header.Yearr) +
                          "    อาจารย์ผู้สอน :  " + header.TeacherName;
    RawLayout(prn, key, sheets, header.nItem, schoolName, h, progress).Run();
    return true;
}

bool RawPrint(Printer& prn, TestHeader& header, const std::string& schoolName, const RawData& data,
              Progress& progress) {
    SheetsInHand sheets(data.sheets);
    return RawPrint(prn, header, schoolName, data.key, sheets, progress);
}

} // namespace ia
