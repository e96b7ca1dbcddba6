// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ColumnRoles.h"

#include "exchange/TextTable.h"

#include <algorithm>
#include <cstdlib>

namespace ia {
namespace {

// Lower case, trimmed, runs of spaces made one: headers are typed by hand.
std::string Folded(std::string_view text) {
    const std::string t = LowerAscii(Trimmed(text));
    std::string out;
    bool space = false;
    for (char c : t) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            space = true;
            continue;
        }
        if (space && !out.empty()) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

bool OneOf(const std::string& t, std::initializer_list<const char*> words) {
    return std::any_of(words.begin(), words.end(), [&](const char* w) { return t == w; });
}

bool StartsWith(const std::string& t, std::string_view prefix) {
    return t.size() >= prefix.size() && t.compare(0, prefix.size(), prefix) == 0;
}

// The number after a prefix ("response 12" → 12), 0 when the rest is no
// whole number.
int NumberAfter(const std::string& t, std::string_view prefix) {
    if (!StartsWith(t, prefix)) return 0;
    std::string rest = Trimmed(std::string_view(t).substr(prefix.size()));
    if (rest.empty() || rest.size() > 4 ||
        rest.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return std::atoi(rest.c_str());
}

bool IsCodeWord(const std::string& t, SourceLayout layout) {
    if (t == "id") return layout != SourceLayout::MicrosoftForms; // a response number there
    return OneOf(t, {"เลขที่", "รหัส", "รหัสนักเรียน", "รหัสประจำตัว", "เลขประจำตัว", "เลขประจำตัวนักเรียน",
                     "เลขที่นั่งสอบ", "code", "student id", "studentid", "student code", "id number"});
}

bool IsNameWord(const std::string& t) {
    return OneOf(t, {"ชื่อ", "ชื่อ-สกุล", "ชื่อ-นามสกุล", "ชื่อ - นามสกุล", "ชื่อ นามสกุล", "ชื่อ - สกุล", "ชื่อสกุล",
                     "นามสกุล", "สกุล", "ชื่อนักเรียน", "name", "full name", "first name", "surname",
                     "last name", "firstname", "lastname"});
}

bool IsGroupWord(const std::string& t) {
    return OneOf(t, {"ห้อง", "ห้องเรียน", "ชั้น", "ระดับชั้น", "โรงเรียน", "เพศ", "กลุ่ม", "class", "room",
                     "school", "sex", "gender", "group", "quizclass", "section"});
}

bool IsScoreWord(const std::string& t) {
    return OneOf(t, {"score", "คะแนน", "total score", "total points", "คะแนนรวม", "รวม", "total",
                     "earned points", "คะแนนที่ได้", "รวมคะแนน"}) ||
           StartsWith(t, "grade/") || StartsWith(t, "คะแนน/") || StartsWith(t, "คะแนน (");
}

bool IsOtherWord(const std::string& t) {
    return OneOf(t, {"email",
                     "email address",
                     "e-mail",
                     "อีเมล",
                     "ที่อยู่อีเมล",
                     "start time",
                     "started on",
                     "last modified time",
                     "time taken",
                     "quiz feedback",
                     "quizname",
                     "quizcreated",
                     "dataexported",
                     "key version",
                     "possible points",
                     "percentcorrect",
                     "customid",
                     "ลำดับ",
                     "ลำดับที่",
                     "ที่",
                     "no.",
                     "no",
                     "ร้อยละ",
                     "percent",
                     "เกรด",
                     "grade",
                     "หมายเหตุ",
                     "ผลการสอบ",
                     "institution",
                     "department",
                     "เวลาที่ใช้",
                     "เริ่มเมื่อ"}) ||
           StartsWith(t, "feedback - ") || NumberAfter(t, "points") > 0 ||
           NumberAfter(t, "mark") > 0 || StartsWith(t, "q. ");
}

// "ข้อ 3", "ข้อที่ 3", "Q3", "question 3", "item 3": a teacher's question
// header, 0 when it is none.
int QuestionNumber(const std::string& t) {
    for (std::string_view p : {"ข้อที่", "ข้อ", "question", "item", "q"})
        if (int n = NumberAfter(t, p)) return n;
    return 0;
}

} // namespace

std::string ColumnLetters(int column) {
    std::string s;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (n - 1) % 26));
    return s;
}

bool ParseColumnReference(std::string_view text, int& column) {
    const std::string t = Trimmed(text);
    if (t.empty() || t.size() > 5) return false;
    if (t.find_first_not_of("0123456789") == std::string::npos) {
        column = std::atoi(t.c_str()) - 1;
        return column >= 0 && column < kSheetColumns;
    }
    long long n = 0;
    for (char c : t) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') return false;
        n = n * 26 + (c - 'A' + 1);
    }
    if (n < 1 || n > kSheetColumns) return false;
    column = static_cast<int>(n - 1);
    return true;
}

SourceLayout LayoutOfHeader(const std::vector<std::string>& header) {
    bool timestamp = false, moodle = false;
    for (size_t i = 0; i < header.size(); ++i) {
        const std::string t = Folded(header[i]);
        if (StartsWith(t, "points - ")) return SourceLayout::MicrosoftForms;
        if (NumberAfter(t, "prikey") > 0 || NumberAfter(t, "stu") > 0)
            return SourceLayout::ZipGrade;
        if (NumberAfter(t, "response") > 0 || NumberAfter(t, "right answer") > 0) moodle = true;
        if (i == 0 && OneOf(t, {"timestamp", "ประทับเวลา"})) timestamp = true;
    }
    if (moodle) return SourceLayout::Moodle;
    return timestamp ? SourceLayout::GoogleForms : SourceLayout::Plain;
}

ColumnUse RoleOfHeader(std::string_view header, SourceLayout layout, bool& known) {
    const std::string t = Folded(header);
    known = true;
    if (layout == SourceLayout::Moodle) {
        if (int n = NumberAfter(t, "response")) return {ColumnRole::Answer, n};
        if (int n = NumberAfter(t, "right answer")) return {ColumnRole::KeyAnswer, n};
        if (t == "completed") return {ColumnRole::Submitted, 0};
    }
    if (layout == SourceLayout::ZipGrade) {
        if (int n = NumberAfter(t, "stu")) return {ColumnRole::Answer, n};
        if (int n = NumberAfter(t, "prikey")) return {ColumnRole::KeyAnswer, n};
        if (t == "firstname" || t == "lastname") return {ColumnRole::Name, 0};
    }
    if (layout == SourceLayout::MicrosoftForms && StartsWith(t, "points - "))
        return {ColumnRole::KeyPoints, 0};
    if (IsCodeWord(t, layout)) return {ColumnRole::Code, 0};
    if (IsNameWord(t)) return {ColumnRole::Name, 0};
    if (IsGroupWord(t)) return {ColumnRole::Group, 0};
    if (OneOf(t, {"timestamp", "ประทับเวลา", "completion time", "submitted", "เวลาที่ส่ง"}))
        return {ColumnRole::Submitted, 0};
    if (OneOf(t, {"state", "สถานะ"})) return {ColumnRole::State, 0};
    if (IsScoreWord(t)) return {ColumnRole::Score, 0};
    if (IsOtherWord(t)) return {ColumnRole::Ignored, 0};
    if (layout == SourceLayout::Plain || layout == SourceLayout::GoogleForms) {
        if (int n = QuestionNumber(t)) return {ColumnRole::Answer, n};
    }
    known = false;
    return {layout == SourceLayout::GoogleForms ? ColumnRole::Answer : ColumnRole::Ignored, 0};
}

bool LooksLikeHeaderRow(const std::vector<std::string>& row) {
    for (const std::string& cell : row) {
        const std::string t = Folded(cell);
        if (IsCodeWord(t, SourceLayout::Plain) || IsNameWord(t) || QuestionNumber(t) == 1)
            return true;
    }
    return false;
}

bool ParseColumnRoles(std::string_view given, std::vector<ColumnUse>& roles, std::string& error) {
    roles.clear();
    int question = 0;
    const std::string text(given);
    size_t pos = 0;
    auto fail = [&](const std::string& part) {
        error = "--columns อ่านไม่ได้ที่ " + QuotedCell(part) +
                " (เช่น code=D,name=E,group=F,answers=G:P,ignore=H)";
        return false;
    };
    while (pos <= text.size()) {
        size_t end = text.find(',', pos);
        if (end == std::string::npos) end = text.size();
        const std::string part = Trimmed(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (part.empty()) {
            if (end == text.size()) break;
            continue;
        }
        const size_t eq = part.find('=');
        if (eq == std::string::npos) return fail(part);
        const std::string name = LowerAscii(Trimmed(std::string_view(part).substr(0, eq)));
        const std::string where = Trimmed(std::string_view(part).substr(eq + 1));
        int from = 0, to = 0;
        const size_t colon = where.find(':');
        if (colon == std::string::npos) {
            if (!ParseColumnReference(where, from)) return fail(part);
            to = from;
        } else if (!ParseColumnReference(std::string_view(where).substr(0, colon), from) ||
                   !ParseColumnReference(std::string_view(where).substr(colon + 1), to) ||
                   to < from) {
            return fail(part);
        }
        ColumnRole role;
        if (name == "code")
            role = ColumnRole::Code;
        else if (name == "name")
            role = ColumnRole::Name;
        else if (name == "group")
            role = ColumnRole::Group;
        else if (name == "answers" || name == "answer")
            role = ColumnRole::Answer;
        else if (name == "ignore")
            role = ColumnRole::Ignored;
        else
            return fail(part);
        if ((role == ColumnRole::Code) && to != from) return fail(part);
        if (static_cast<size_t>(to) >= roles.size()) roles.resize(to + 1);
        for (int c = from; c <= to; ++c) {
            if (roles[c].role != ColumnRole::Ignored) {
                error = "--columns ให้คอลัมน์ " + ColumnLetters(c) + " มากกว่าหนึ่งหน้าที่";
                return false;
            }
            roles[c] = {role, role == ColumnRole::Answer ? ++question : 0};
        }
        if (end == text.size()) break;
    }
    if (std::count_if(roles.begin(), roles.end(),
                      [](const ColumnUse& u) { return u.role == ColumnRole::Code; }) > 1) {
        error = "--columns ระบุคอลัมน์รหัสได้คอลัมน์เดียว";
        return false;
    }
    return true;
}

std::string RoleText(const ColumnUse& use) {
    const std::string n = std::to_string(use.question);
    switch (use.role) {
    case ColumnRole::Code:
        return "รหัส";
    case ColumnRole::Name:
        return "ชื่อ";
    case ColumnRole::Group:
        return "กลุ่ม";
    case ColumnRole::Answer:
        return "ข้อ " + n;
    case ColumnRole::KeyAnswer:
        return "เฉลยข้อ " + n;
    case ColumnRole::KeyPoints:
        return "คะแนนข้อ " + n;
    case ColumnRole::Submitted:
        return "เวลาส่ง";
    case ColumnRole::State:
        return "สถานะ";
    case ColumnRole::Score:
        return "คะแนนรวม";
    case ColumnRole::Ignored:
        break;
    }
    return "ไม่ใช้";
}

std::string RolesLine(const std::vector<ColumnUse>& roles) {
    std::string line;
    for (size_t c = 0; c < roles.size();) {
        size_t end = c + 1;
        // A run of answers to questions in order, or of ignored columns, is
        // one entry.
        while (end < roles.size() && roles[end].role == roles[c].role &&
               (roles[c].role == ColumnRole::Ignored ||
                (roles[c].role == ColumnRole::Answer &&
                 roles[end].question == roles[end - 1].question + 1)))
            ++end;
        std::string where = ColumnLetters(static_cast<int>(c));
        std::string what = RoleText(roles[c]);
        if (end - c > 1) {
            where += ":" + ColumnLetters(static_cast<int>(end - 1));
            if (roles[c].role == ColumnRole::Answer)
                what += "-" + std::to_string(roles[end - 1].question);
        }
        line += (line.empty() ? "" : " ") + where + "=" + what;
        c = end;
    }
    return line;
}

} // namespace ia
