// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/SheetAssembly.h"

#include "exchange/AnswerText.h"
#include "exchange/TextTable.h"
#include "scan/SheetLayout.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace ia::scan {

namespace {

std::string PageName(const PageSource& s) {
    return std::filesystem::path(s.path).filename().string() + " หน้า " + std::to_string(s.page);
}

std::string Proposal(const std::vector<float>& darkness, const PageLevels& levels) {
    // The strongest bubble, as the one a person would most likely see.
    if (darkness.empty()) return "";
    const auto it = std::max_element(darkness.begin(), darkness.end());
    if (JudgeBubble(*it, levels) == BubbleKind::Empty) return "-";
    return ChoiceLabel(static_cast<int>(it - darkness.begin()) + 1);
}

// A number of at most `digits` digits and nothing else, so that it always
// fits an int.
bool ReadCount(const std::string& text, size_t digits, int& n) {
    if (text.empty() || text.size() > digits ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    n = std::stoi(text);
    return true;
}

} // namespace

bool ReadReviewAnswer(const std::string& cell, int nChoice, std::string& answer,
                      std::string& error) {
    const std::string t = Trimmed(cell);
    if (t == "-") {
        answer.clear();
        return true;
    }
    if (t.empty()) {
        error = "ช่อง answer ว่าง";
        return false;
    }
    return ReadAnswerCell(t, nChoice, answer, error);
}

Assembly AssembleSheets(const std::vector<ReadPage>& pages, int nItem, DoubtfulPolicy policy,
                        const ReviewDecisions& decisions) {
    Assembly out;
    // Pages of one printed copy, in page order.
    std::map<std::pair<bool, int>, std::vector<const ReadPage*>> copies;
    std::vector<std::pair<bool, int>> order;
    for (const ReadPage& p : pages) {
        if (!p.readable()) continue;
        const auto key = std::make_pair(p.identity.key, p.identity.copy);
        if (!copies.count(key)) order.push_back(key);
        copies[key].push_back(&p);
    }
    for (const auto& key : order) {
        std::vector<const ReadPage*>& group = copies[key];
        std::sort(group.begin(), group.end(), [](const ReadPage* a, const ReadPage* b) {
            return a->identity.page < b->identity.page;
        });
        const int expected = group.front()->identity.pageCount;
        bool whole = static_cast<int>(group.size()) == expected;
        for (int i = 0; whole && i < expected; ++i)
            whole = group[i]->identity.page == i + 1;
        if (!whole) {
            std::string listed;
            for (const ReadPage* p : group)
                listed += (listed.empty() ? "" : ", ") + PageName(p->source);
            out.problems.push_back("กระดาษคำตอบชุดที่ " + std::to_string(key.second) +
                                   " ได้หน้าไม่ครบหรือหน้าซ้ำ (" + listed + ") ไม่ได้บันทึก");
            continue;
        }
        AssembledSheet sheet;
        sheet.key = key.first;
        sheet.copy = key.second;
        sheet.answers.assign(static_cast<size_t>(std::max(nItem, 0)), "");
        const ReadPage& first = *group.front();
        sheet.code = first.identity.code;
        if (!sheet.key && sheet.code.empty()) {
            const CodeReading code = DecideCode(first.code, first.levels);
            const ReviewKey rk{first.source.path, first.source.page, 0};
            if (auto d = decisions.find(rk); d != decisions.end()) {
                sheet.code = d->second;
                sheet.decisions[0] = d->second;
            } else if (code.problem.empty()) {
                sheet.code = code.code;
            } else {
                sheet.settled = false;
                ++out.unsettled;
                out.doubts.push_back(
                    {first.source, "", 0, DarknessRowsText(first.code), "", code.problem});
            }
        }
        for (const ReadPage* p : group) {
            for (size_t i = 0; i < p->items.size(); ++i) {
                const int item = p->firstItem + static_cast<int>(i);
                if (item < 1 || item > nItem) continue;
                const ItemDecision d = DecideItem(p->items[i], p->levels);
                std::string& answer = sheet.answers[static_cast<size_t>(item - 1)];
                const ReviewKey rk{p->source.path, p->source.page, item};
                if (auto taken = decisions.find(rk); taken != decisions.end()) {
                    answer = taken->second;
                    sheet.decisions[item] = taken->second;
                    continue;
                }
                if (d.reading != ItemReading::Doubtful) {
                    answer = AnswerText(d);
                    continue;
                }
                Doubt doubt{p->source,
                            sheet.code,
                            item,
                            DarknessText(p->items[i]),
                            Proposal(p->items[i], p->levels),
                            "ระบายไม่ชัดหรือมีรอยลบ"};
                if (policy == DoubtfulPolicy::Refuse) {
                    sheet.settled = false;
                    ++out.unsettled;
                } else {
                    answer = policy == DoubtfulPolicy::Multiple ? "*" : "";
                }
                out.doubts.push_back(std::move(doubt));
            }
        }
        for (const ReadPage* p : group)
            sheet.pages.push_back(*p);
        out.sheets.push_back(std::move(sheet));
    }
    return out;
}

std::string ReviewCsv(const std::vector<Doubt>& doubts) {
    std::ostringstream csv;
    csv << "source,page,code,item,darkness,proposal,reason,answer\n";
    for (const Doubt& d : doubts)
        // The proposal is ours alone (ก..จ, or "-" for none), never a formula:
        // it stays as the teacher types an answer.
        csv << CsvText(d.source.path) << ',' << d.source.page << ',' << CsvText(d.code) << ','
            << (d.item == 0 ? std::string("code") : std::to_string(d.item)) << ','
            << CsvText(d.darkness) << ',' << d.proposal << ',' << CsvText(d.reason) << ",\n";
    return csv.str();
}

bool ReadReviewCsv(const std::string& path, int nChoice, ReviewDecisions& decisions,
                   std::string& error) {
    std::string bytes, text;
    TextTable table;
    if (!ReadSourceFile(path, bytes, error) ||
        !DecodeText(bytes, TextEncoding::Auto, text, error) ||
        !ParseDelimitedWithin(text, ',', TableLimits{}, table, error))
        return false;
    if (table.empty()) {
        error = "ไฟล์ " + path + " ว่าง";
        return false;
    }
    std::map<std::string, size_t> column;
    for (size_t c = 0; c < table[0].size(); ++c)
        column[LowerAscii(Trimmed(table[0][c]))] = c;
    for (const char* name : {"source", "page", "item", "answer"})
        if (!column.count(name)) {
            error = "ไฟล์ " + path + " ไม่มีคอลัมน์ " + name;
            return false;
        }
    auto cell = [&](const std::vector<std::string>& row, const char* name) {
        const size_t c = column[name];
        return c < row.size() ? Trimmed(row[c]) : std::string();
    };
    for (size_t r = 1; r < table.size(); ++r) {
        const auto& row = table[r];
        const std::string answerCell = cell(row, "answer");
        if (answerCell.empty()) continue;
        const std::string where = "แถว " + std::to_string(r + 1) + ": ";
        ReviewKey key;
        key.path = WithoutFormulaGuard(cell(row, "source"));
        const std::string page = cell(row, "page"), item = cell(row, "item");
        if (!ReadCount(page, 9, key.page)) {
            error = where + "เลขหน้าไม่ถูกต้อง";
            return false;
        }
        std::string answer, why;
        if (item == "code") {
            key.item = 0;
            if (answerCell.find_first_of(",;|") != std::string::npos) {
                error = where + "รหัสนักเรียนไม่ถูกต้อง";
                return false;
            }
            answer = answerCell;
        } else {
            if (!ReadCount(item, 3, key.item)) {
                error = where + "เลขข้อไม่ถูกต้อง";
                return false;
            }
            if (!ReadReviewAnswer(answerCell, nChoice, answer, why)) {
                error = where + why;
                return false;
            }
        }
        decisions[key] = answer;
    }
    return true;
}

std::vector<std::string> RepeatedCodes(const std::vector<AssembledSheet>& sheets,
                                       const std::vector<std::string>& existingCodes) {
    std::map<std::string, std::vector<std::string>> scansOf; // code -> where, in batch order
    std::vector<std::string> order;
    for (const AssembledSheet& s : sheets) {
        if (s.key || s.code.empty()) continue;
        std::string where = "?";
        if (!s.pages.empty()) {
            const PageSource& from = s.pages.front().source;
            where = from.path + " หน้า " + std::to_string(from.page);
        }
        auto [it, first] = scansOf.try_emplace(s.code);
        if (first) order.push_back(s.code);
        it->second.push_back(where);
    }
    const std::set<std::string> existing(existingCodes.begin(), existingCodes.end());
    std::vector<std::string> notes;
    for (const std::string& code : order) {
        const std::vector<std::string>& at = scansOf[code];
        std::string list;
        for (const std::string& w : at)
            list += (list.empty() ? "" : ", ") + w;
        if (at.size() > 1) notes.push_back("รหัส " + code + " ซ้ำกันใน " + list);
        if (existing.count(code)) notes.push_back("รหัส " + code + " (" + list + ") มีอยู่แล้วในไฟล์");
    }
    return notes;
}

std::string DecisionsText(const std::map<int, std::string>& decisions) {
    std::string text;
    for (const auto& [item, answer] : decisions)
        text += (text.empty() ? "" : ";") + std::to_string(item) + "=" + answer;
    return text;
}

std::map<int, std::string> ParseDecisionsText(const std::string& text) {
    std::map<int, std::string> decisions;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ';')) {
        const size_t eq = part.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        decisions[std::atoi(part.substr(0, eq).c_str())] = part.substr(eq + 1);
    }
    return decisions;
}

} // namespace ia::scan
