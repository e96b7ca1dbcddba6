#pragma once
// The school name file and the Thai code page 874 in which it is kept.

#include <optional>
#include <string>

namespace ia {

extern const char* const kSchoolNameFile;        // "SchoolName.txt"
extern const char* const kSchoolNameWhenCreated; // "โรงเรียน..."

// Code page 874 <-> UTF-8 through the C library's iconv. A character that
// has no code in the other encoding becomes "?".
std::string Cp874ToUtf8(const std::string& bytes);
std::string Utf8ToCp874(const std::string& text);

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
