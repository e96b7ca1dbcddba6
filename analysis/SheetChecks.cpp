// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/SheetChecks.h"

#include "examfile/KeyRule.h"

#include <algorithm>
#include <map>
#include <optional>

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

std::optional<std::string> Text(Statement& st, int column) {
    const Value v = st.column(column);
    if (v.isNull()) return std::nullopt;
    return v.text();
}

bool Blank(const std::optional<std::string>& t) {
    return !t || t->find_first_not_of(' ') == std::string::npos;
}

// An answer a key can match: one digit 0 .. nChoice.
bool AnswerInRange(const std::string& a, int nChoice) {
    return a.size() == 1 && a[0] >= '0' && a[0] <= '0' + nChoice;
}

} // namespace

std::vector<std::string> SheetWarnings(Connection& db, int nItem, int nChoice, int* keyedItems) {
    std::string columns;
    for (int i = 1; i <= nItem; ++i)
        columns += ", \"X" + std::to_string(i) + "\"";
    std::vector<std::string> lines;

    std::vector<std::string> unkeyed;
    {
        auto st = db.prepare("SELECT FKey" + columns + " FROM TKey ORDER BY rowid LIMIT 1");
        const bool hasKey = st.step();
        for (int i = 1; i <= nItem; ++i) {
            const std::optional<std::string> k = hasKey ? Text(st, i) : std::nullopt;
            if (!IsKeyed(k ? std::optional<std::string_view>(*k) : std::nullopt))
                unkeyed.push_back(std::to_string(i));
        }
    }

    if (keyedItems) *keyedItems = nItem - static_cast<int>(unkeyed.size());
    std::vector<std::string> noAnswer, outside;
    long long emptyCodes = 0, outsideCount = 0;
    std::map<std::string, int> seen;
    std::vector<std::string> repeated;
    auto st = db.prepare("SELECT Code" + columns + " FROM TAData ORDER BY rowid");
    while (st.step()) {
        const std::optional<std::string> code = Text(st, 0);
        const std::string shown = Blank(code) ? std::string("(ไม่มีเลขที่)") : *code;
        if (Blank(code))
            ++emptyCodes;
        else if (++seen[*code] == 2)
            repeated.push_back(*code);
        bool any = false;
        for (int i = 1; i <= nItem; ++i) {
            const std::optional<std::string> a = Text(st, i);
            if (!a || a->empty()) continue;
            any = true;
            if (!AnswerInRange(*a, nChoice)) {
                ++outsideCount;
                outside.push_back(shown + " ข้อ " + std::to_string(i));
            }
        }
        if (!any) noAnswer.push_back(shown);
    }

    if (!noAnswer.empty())
        lines.push_back("กระดาษคำตอบที่ไม่มีคำตอบเลย " + std::to_string(noAnswer.size()) +
                        " แผ่น: เลขที่ " + Named(noAnswer));
    if (!repeated.empty())
        lines.push_back("เลขที่ซ้ำกัน " + std::to_string(repeated.size()) +
                        " เลขที่: " + Named(repeated));
    if (emptyCodes > 0)
        lines.push_back("กระดาษคำตอบที่ไม่มีเลขที่ " + std::to_string(emptyCodes) + " แผ่น");
    if (!unkeyed.empty())
        lines.push_back("ข้อสอบที่ยังไม่มีเฉลย " + std::to_string(unkeyed.size()) + " ข้อ: ข้อ " +
                        Named(unkeyed));
    if (outsideCount > 0)
        lines.push_back("คำตอบที่ไม่อยู่ในช่วง 0 ถึง " + std::to_string(nChoice) + " มี " +
                        std::to_string(outsideCount) + " คำตอบ: เลขที่ " + Named(outside));
    return lines;
}

} // namespace ia
