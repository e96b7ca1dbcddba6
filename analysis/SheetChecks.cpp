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

// An answer a key can match: one digit 0 .. nChoice.
bool AnswerInRange(std::string_view a, int nChoice) {
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
    // Only the first few sheets of each kind are named, so only they are
    // kept; the cells are read without copies (this pass runs before every
    // analysis, over every sheet).
    std::vector<std::string> noAnswer, outside, repeated;
    long long noAnswerCount = 0, emptyCodes = 0, outsideCount = 0, repeatedCount = 0;
    auto name = [](std::vector<std::string>& v, const std::string& s) {
        if (v.size() <= kNamed) v.push_back(s);
    };
    std::map<std::string, int, std::less<>> seen;
    auto st = db.prepare("SELECT Code" + columns + " FROM TAData ORDER BY rowid");
    while (st.step()) {
        const std::optional<std::string_view> code = st.columnText(0);
        const bool blank = !code || code->find_first_not_of(' ') == std::string_view::npos;
        auto shown = [&] { return blank ? std::string("(ไม่มีเลขที่)") : std::string(*code); };
        if (blank) {
            ++emptyCodes;
        } else {
            auto it = seen.find(*code);
            if (it == seen.end()) it = seen.emplace(std::string(*code), 0).first;
            if (++it->second == 2) {
                ++repeatedCount;
                name(repeated, it->first);
            }
        }
        bool any = false;
        for (int i = 1; i <= nItem; ++i) {
            const std::optional<std::string_view> a = st.columnText(i);
            if (!a || a->empty()) continue;
            any = true;
            if (!AnswerInRange(*a, nChoice)) {
                ++outsideCount;
                name(outside, shown() + " ข้อ " + std::to_string(i));
            }
        }
        if (!any) {
            ++noAnswerCount;
            name(noAnswer, shown());
        }
    }

    if (noAnswerCount > 0)
        lines.push_back("กระดาษคำตอบที่ไม่มีคำตอบเลย " + std::to_string(noAnswerCount) + " แผ่น: เลขที่ " +
                        Named(noAnswer));
    if (repeatedCount > 0)
        lines.push_back("เลขที่ซ้ำกัน " + std::to_string(repeatedCount) + " เลขที่: " + Named(repeated));
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
