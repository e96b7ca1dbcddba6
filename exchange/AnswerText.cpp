// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/AnswerText.h"

#include "exchange/TextTable.h"

#include <vector>

namespace ia {
namespace {

// The choice a label stands for (0..9), -1 when the text at the start is no
// label; len receives the label's length in bytes.
int Label(std::string_view s, size_t& len) {
    if (s.empty()) return -1;
    const unsigned char c = static_cast<unsigned char>(s[0]);
    len = 1;
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'E') return c - 'A' + 1;
    if (c >= 'a' && c <= 'e') return c - 'a' + 1;
    static const char* const thaiLetters[] = {"ก", "ข", "ค", "ง", "จ"};
    len = 3;
    for (int i = 0; i < 5; ++i)
        if (s.substr(0, 3) == thaiLetters[i]) return i + 1;
    // Thai digits ๐..๙ are U+0E50..U+0E59: E0 B9 90..99.
    if (s.size() >= 3 && s.substr(0, 2) == "\xE0\xB9" && static_cast<unsigned char>(s[2]) >= 0x90 &&
        static_cast<unsigned char>(s[2]) <= 0x99)
        return static_cast<unsigned char>(s[2]) - 0x90;
    return -1;
}

// What joins the labels of a cell with several answers ("A, C", "ก,ค").
bool IsSeparator(char c) {
    return c == ' ' || c == ',' || c == ';' || c == '/';
}

// The pieces of a text between separators.
std::vector<std::string_view> Tokens(std::string_view s) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsSeparator(s[i]))
            ++i;
        size_t j = i;
        while (j < s.size() && !IsSeparator(s[j]))
            ++j;
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

} // namespace

bool ReadAnswerCell(std::string_view cell, int nChoice, std::string& answer, std::string& error) {
    // Most cells of a large source are one digit: no copies for them.
    if (cell.size() == 1 && cell[0] >= '0' && cell[0] - '0' <= nChoice) {
        answer.assign(1, cell[0]);
        return true;
    }
    const std::string t = Trimmed(cell);
    answer.clear();
    if (t.empty()) return true;
    if (t == "*") {
        // The mark of a double mark (scanners, our own export): an answer
        // that matches no key.
        answer = t;
        return true;
    }
    size_t len = 0;
    const int choice = Label(t, len);
    const bool alone = len == t.size();
    const bool led =
        !alone && choice >= 0 && (t[len] == '.' || t[len] == ')' || t[len] == ':' || t[len] == ' ');
    if (!alone) {
        // "A, C" or "ก,ค": two options ticked, a multiple mark that matches
        // no key. A digit inside an option's text ("C: 9") is no second
        // answer: only labels standing alone count.
        std::vector<std::string_view> tokens = Tokens(t);
        bool allLabels = tokens.size() >= 2;
        for (std::string_view tok : tokens) {
            size_t l = 0;
            const int c = Label(tok, l);
            allLabels = allLabels && c >= 1 && c <= nChoice && l == tok.size();
        }
        if (allLabels) {
            answer = "*";
            return true;
        }
    }
    if (choice < 0 || (!alone && !led)) {
        error = QuotedCell(t) + " ไม่ใช่คำตอบ (ไม่มีตัวเลือกนำหน้า)";
        return false;
    }
    if (choice > nChoice) {
        error = QuotedCell(t) + " เกินจำนวนตัวเลือก (" + std::to_string(nChoice) + ")";
        return false;
    }
    answer = std::to_string(choice);
    return true;
}

bool IsAnswerCell(std::string_view cell, int nChoice) {
    std::string a, e;
    return ReadAnswerCell(cell, nChoice, a, e);
}

} // namespace ia
