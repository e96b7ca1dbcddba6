// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The school name file, kept in the Thai code page 874 (examfile/Cp874.h).

#include <optional>
#include <string>

namespace ia {

extern const char* const kSchoolNameFile;        // "SchoolName.txt"
extern const char* const kSchoolNameWhenCreated; // "โรงเรียน..."

// The first item of a line by the list-input rule: leading blanks skipped,
// an item in double quotes taken without them, otherwise the item ends at a
// comma or at the end of the line.
std::string FirstListItem(const std::string& line);

// The school name stored in the file (first line, first list item, decoded
// from code page 874); nullopt when the file does not exist, cannot be read
// or is an exam file.
std::optional<std::string> ReadSchoolNameFile(const std::string& path);

enum class SchoolNameWrite { Written, RefusedExamFile, Failed };

// Writes the name as one line in code page 874 ended by CR LF, replacing the
// file. A file that is an exam file is never overwritten.
SchoolNameWrite WriteSchoolNameFile(const std::string& path, const std::string& name);

} // namespace ia
