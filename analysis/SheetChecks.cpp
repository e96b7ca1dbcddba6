// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SheetChecks.h"

#include "examfile/KeyRule.h"

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
        auto it = seen_.find(*code);
        if (it == seen_.end()) it = seen_.emplace(std::string(*code), 0).first;
        if (++it->second == 2) {
            ++repeatedCount_;
            NameFirstFew(repeated_, it->first);
        }
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

std::vector<std::string> SheetFindings::lines() const {
    std::vector<std::string> lines;
    if (noAnswerCount_ > 0)
        lines.push_back("กระดาษคำตอบที่ไม่มีคำตอบเลย " + std::to_string(noAnswerCount_) +
                        " แผ่น: เลขที่ " + Named(noAnswer_));
    if (repeatedCount_ > 0)
        lines.push_back("เลขที่ซ้ำกัน " + std::to_string(repeatedCount_) +
                        " เลขที่: " + Named(repeated_));
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

std::vector<std::string> SheetWarnings(Connection& db, int nItem, int nChoice, int* keyedItems) {
    std::string columns;
    for (int i = 1; i <= nItem; ++i)
        columns += ", \"X" + std::to_string(i) + "\"";

    std::vector<bool> keyed(nItem);
    {
        auto st = db.prepare("SELECT FKey" + columns + " FROM TKey ORDER BY rowid LIMIT 1");
        const bool hasKey = st.step();
        for (int i = 1; i <= nItem; ++i)
            keyed[i - 1] = hasKey && IsKeyed(st.columnText(i));
    }
    SheetFindings findings(nChoice, keyed);
    if (keyedItems) *keyedItems = findings.keyedItems();

    std::vector<int> outside;
    auto st = db.prepare("SELECT Code" + columns + " FROM TAData ORDER BY rowid");
    while (st.step()) {
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
