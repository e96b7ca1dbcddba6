// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/OptionNumbers.h"

#include "exchange/TextTable.h"

#include <algorithm>
#include <set>

namespace ia {
namespace {

// The pieces of a text split at `separator`, trimmed; empty pieces dropped.
std::vector<std::string> Pieces(std::string_view text, std::string_view separator) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(separator, pos);
        if (end == std::string_view::npos) end = text.size();
        std::string piece = Trimmed(text.substr(pos, end - pos));
        if (!piece.empty()) out.push_back(std::move(piece));
        pos = end + separator.size();
    }
    return out;
}

std::string Listed(const std::vector<std::string>& texts) {
    std::string s;
    for (const std::string& t : texts)
        s += (s.empty() ? "" : ", ") + QuotedCell(t);
    return s;
}

} // namespace

int OptionLabel(std::string_view t) {
    if (t.empty()) return 0;
    int choice = 0;
    size_t len = 1;
    const unsigned char c = static_cast<unsigned char>(t[0]);
    if (c >= '1' && c <= '5')
        choice = c - '0';
    else if (c >= 'A' && c <= 'E')
        choice = c - 'A' + 1;
    else if (c >= 'a' && c <= 'e')
        choice = c - 'a' + 1;
    else {
        static const char* const thaiLetters[] = {"ก", "ข", "ค", "ง", "จ"};
        for (int i = 0; i < 5 && choice == 0; ++i)
            if (t.substr(0, 3) == thaiLetters[i]) choice = i + 1;
        len = 3;
    }
    if (choice == 0 || t.size() < len + 2) return 0;
    const char mark = t[len];
    if ((mark != '.' && mark != ')' && mark != ':') || t[len + 1] != ' ') return 0;
    return choice;
}

OptionNumbering NumberOptions(const std::vector<std::string>& texts, int nChoice,
                              const std::map<std::string, int>& listed,
                              const std::string& question) {
    OptionNumbering out;
    const std::set<std::string> all(texts.begin(), texts.end());
    auto known = [&](const std::string& piece) {
        return all.count(piece) || listed.count(piece) || OptionLabel(piece) > 0;
    };
    std::vector<std::string> single;
    for (const std::string& t : texts) {
        bool several = false;
        for (std::string_view separator : {";", ", "}) {
            const std::vector<std::string> pieces = Pieces(t, separator);
            if (pieces.size() >= 2 && std::all_of(pieces.begin(), pieces.end(), known)) {
                several = true;
                break;
            }
        }
        if (several)
            out.answers[t] = "*";
        else
            single.push_back(t);
    }
    if (static_cast<int>(single.size()) > nChoice) {
        out.error = question + ": มีตัวเลือก " + std::to_string(single.size()) +
                    " แบบ มากกว่าจำนวนตัวเลือกของไฟล์ (" + std::to_string(nChoice) +
                    "): " + Listed(single);
        return out;
    }
    // Labels decide only when every option has one and no two share it.
    std::set<int> labels;
    bool labelled = !single.empty();
    for (const std::string& t : single) {
        const int label = OptionLabel(t);
        labelled = labelled && label > 0 && labels.insert(label).second;
    }
    std::vector<std::string> missing;
    std::map<int, std::string> taken;
    for (const std::string& t : single) {
        int choice = 0;
        if (labelled) {
            choice = OptionLabel(t);
        } else if (auto it = listed.find(t); it != listed.end()) {
            choice = it->second;
        } else {
            missing.push_back(t);
            out.options.emplace_back(t, 0);
            continue;
        }
        out.options.emplace_back(t, choice);
        if (choice < 1 || choice > nChoice) {
            out.error = question + ": " + QuotedCell(t) + " เป็นตัวเลือกที่ " + std::to_string(choice) +
                        (choice < 1 ? " ตัวเลือกต้องเป็น 1–" + std::to_string(nChoice)
                                    : " เกินจำนวนตัวเลือก (" + std::to_string(nChoice) + ")");
            return out;
        }
        if (auto [it, fresh] = taken.emplace(choice, t); !fresh) {
            out.error = question + ": " + QuotedCell(it->second) + " และ " + QuotedCell(t) +
                        " ได้ตัวเลือกที่ " + std::to_string(choice) + " เหมือนกัน";
            return out;
        }
        out.answers[t] = std::to_string(choice);
    }
    out.labelled = labelled;
    if (!missing.empty())
        out.error = question + ": ตัวเลือกไม่มีอักษรนำหน้า ต้องระบุลำดับตัวเลือก (--options)";
    return out;
}

} // namespace ia
