// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SheetChecks.h"

#include "examfile/KeyRule.h"
#include "examfile/Schema.h"

#include <algorithm>
#include <numeric>

namespace ia {

const char* const kSheetWarningsHeading = "พบข้อมูลที่ควรตรวจสอบก่อนวิเคราะห์";

namespace {

// How many codes or item numbers a line names before it says "…".
constexpr size_t kNamed = 5;

std::string Named(const std::vector<std::string>& names) {
    std::string s;
    for (size_t i = 0; i < names.size() && i < kNamed; ++i)
        s += (i ? ", " : "") + names[i];
    if (names.size() > kNamed) s += ", ...";
    return s;
}

void NameFirstFew(std::vector<std::string>& names, std::string name) {
    if (names.size() <= kNamed) names.push_back(std::move(name));
}

} // namespace

SheetFindings::SheetFindings(int nChoice, const std::vector<bool>& keyed) : nChoice_(nChoice) {
    for (size_t i = 0; i < keyed.size(); ++i) {
        if (keyed[i])
            ++keyedItems_;
        else
            unkeyed_.push_back(std::to_string(i + 1));
    }
}

void SheetFindings::addSheet(std::optional<std::string_view> code, bool anyAnswer,
                             const std::vector<int>& itemsOutOfRange) {
    const bool blank = !code || code->find_first_not_of(' ') == std::string_view::npos;
    auto shown = [&] { return blank ? std::string("(ไม่มีเลขที่)") : std::string(*code); };
    if (blank) {
        ++emptyCodes_;
    } else {
        codeStart_.push_back(codes_.size());
        codeHash_.push_back(std::hash<std::string_view>{}(*code));
        codes_.append(*code);
    }
    for (int item : itemsOutOfRange) {
        ++outsideCount_;
        if (outside_.size() <= kNamed)
            NameFirstFew(outside_, shown() + " ข้อ " + std::to_string(item));
    }
    if (!anyAnswer) {
        ++noAnswerCount_;
        if (noAnswer_.size() <= kNamed) NameFirstFew(noAnswer_, shown());
    }
}

std::string_view SheetFindings::code(size_t sheet) const {
    const size_t end = sheet + 1 < codeStart_.size() ? codeStart_[sheet + 1] : codes_.size();
    return std::string_view(codes_).substr(codeStart_[sheet], end - codeStart_[sheet]);
}

// The codes given more than once, named in the order their second sheet
// comes in the file.
std::vector<std::string> SheetFindings::repeatedCodes(long long& count) const {
    const size_t n = codeStart_.size();
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (codeHash_[a] != codeHash_[b]) return codeHash_[a] < codeHash_[b];
        const std::string_view ca = code(a), cb = code(b);
        return ca != cb ? ca < cb : a < b;
    });
    std::vector<size_t> secondSheets;
    for (size_t k = 0; k < n;) {
        size_t j = k + 1;
        while (j < n && codeHash_[order[j]] == codeHash_[order[k]] &&
               code(order[j]) == code(order[k]))
            ++j;
        if (j - k >= 2) secondSheets.push_back(order[k + 1]);
        k = j;
    }
    count = static_cast<long long>(secondSheets.size());
    const size_t named = std::min(secondSheets.size(), kNamed + 1);
    std::partial_sort(secondSheets.begin(), secondSheets.begin() + named, secondSheets.end());
    std::vector<std::string> names;
    for (size_t i = 0; i < named; ++i)
        names.emplace_back(code(secondSheets[i]));
    return names;
}

std::vector<std::string> SheetFindings::lines() const {
    long long repeatedCount = 0;
    const std::vector<std::string> repeated = repeatedCodes(repeatedCount);
    std::vector<std::string> lines;
    if (noAnswerCount_ > 0)
        lines.push_back("กระดาษคำตอบที่ไม่มีคำตอบเลย " + std::to_string(noAnswerCount_) +
                        " แผ่น: เลขที่ " + Named(noAnswer_));
    if (repeatedCount > 0)
        lines.push_back("เลขที่ซ้ำกัน " + std::to_string(repeatedCount) + " เลขที่: " + Named(repeated));
    if (emptyCodes_ > 0)
        lines.push_back("กระดาษคำตอบที่ไม่มีเลขที่ " + std::to_string(emptyCodes_) + " แผ่น");
    if (!unkeyed_.empty())
        lines.push_back("ข้อสอบที่ยังไม่มีเฉลย " + std::to_string(unkeyed_.size()) + " ข้อ: ข้อ " +
                        Named(unkeyed_));
    if (outsideCount_ > 0)
        lines.push_back("คำตอบที่ไม่อยู่ในช่วง 0 ถึง " + std::to_string(nChoice_) + " มี " +
                        std::to_string(outsideCount_) + " คำตอบ: เลขที่ " + Named(outside_));
    return lines;
}

std::vector<std::string> SheetWarnings(Connection& db, int nItem, int nChoice, int* keyedItems,
                                       Progress& progress, long long expectedSheets) {
    progress.stage(kCheckingSheetsStage, expectedSheets);
    std::string columns;
    for (int i = 1; i <= nItem; ++i)
        columns += ", \"X" + std::to_string(i) + "\"";

    std::vector<bool> keyed(nItem);
    {
        auto st = db.prepare("SELECT FKey" + columns + " FROM " + schema::kKeyTable +
                             " ORDER BY rowid LIMIT 1");
        const bool hasKey = st.step();
        for (int i = 1; i <= nItem; ++i)
            keyed[i - 1] = hasKey && IsKeyed(st.columnText(i));
    }
    SheetFindings findings(nChoice, keyed);
    if (keyedItems) *keyedItems = findings.keyedItems();

    std::vector<int> outside;
    auto st =
        db.prepare("SELECT Code" + columns + " FROM " + schema::kSheetsTable + " ORDER BY rowid");
    long long read = 0;
    while (st.step()) {
        if ((++read & 255) == 0) progress.step(read);
        bool any = false;
        outside.clear();
        for (int i = 1; i <= nItem; ++i) {
            const std::optional<std::string_view> a = st.columnText(i);
            if (!a || a->empty()) continue;
            any = true;
            if (!findings.inRange(*a)) outside.push_back(i);
        }
        findings.addSheet(st.columnText(0), any, outside);
    }
    return findings.lines();
}

} // namespace ia
