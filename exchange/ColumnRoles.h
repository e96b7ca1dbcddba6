// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each column of an imported table holds, told from its header text
// (Thai and English, as the tools teachers use write them) or given by the
// teacher as "code=D,name=E,answers=G:P".
#include <string>
#include <string_view>
#include <vector>

namespace ia {

enum class ColumnRole {
    Ignored,   // timestamps, e-mail, totals, grades, feedback, metadata
    Code,      // the student's code
    Name,      // the student's name (kept beside the sheet)
    Group,     // room, school, sex ... (kept beside the sheet)
    Answer,    // the answer to one question
    KeyAnswer, // the key of one question, in every row (PriKey, Right answer)
    KeyPoints, // points of one question's answer: 1 marks the key (Points - Q)
    Submitted, // when the row was sent
    State,     // whether the attempt was finished
    Score,     // the total score ("7 / 10")
};

// The tool a table comes from, told by its header row.
enum class SourceLayout { Plain, GoogleForms, MicrosoftForms, Moodle, ZipGrade };

struct ColumnUse {
    ColumnRole role = ColumnRole::Ignored;
    int question = 0; // from 1, for Answer, KeyAnswer and KeyPoints
};

// "A", "B", ... "Z", "AA": a 0-based column as a spreadsheet names it.
std::string ColumnLetters(int column);

// A column given as letters ("H", "aa") or a number from 1; false for
// anything else.
bool ParseColumnReference(std::string_view text, int& column);

// The layout a header row shows; Plain when it is no tool's.
SourceLayout LayoutOfHeader(const std::vector<std::string>& header);

// The role a header text names in a layout; Answer (question 0, numbered by
// the caller) for a question of a form; Ignored for a text known as no
// answer. `known` is false when the text names nothing the import knows.
ColumnUse RoleOfHeader(std::string_view header, SourceLayout layout, bool& known);

// Whether a row is a header row of a teacher's own sheet: some cell names a
// code, a name or question 1.
bool LooksLikeHeaderRow(const std::vector<std::string>& row);

// The teacher's roles from "code=D,name=E,group=F,answers=G:P,ignore=H"
// (letters or numbers; answers numbered in column order from 1). Columns
// not named are ignored. False with the Thai reason for a bad text.
bool ParseColumnRoles(std::string_view given, std::vector<ColumnUse>& roles, std::string& error);

// The role as the command line prints it and the preview shows it:
// "รหัส", "ชื่อ", "กลุ่ม", "ข้อ 3", "เฉลยข้อ 3", "คะแนนข้อ 3", "เวลาส่ง",
// "สถานะ", "คะแนนรวม", "ไม่ใช้".
std::string RoleText(const ColumnUse& use);

// "A=รหัส B=ชื่อ C:L=ข้อ 1-10 M=ไม่ใช้": the roles of a table in one line.
std::string RolesLine(const std::vector<ColumnUse>& roles);

} // namespace ia
