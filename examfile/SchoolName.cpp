// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/SchoolName.h"

#include "examfile/Cp874.h"
#include "examfile/ExamFile.h"
#include "examfile/OutputFile.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace ia {

const char* const kSchoolNameFile = "SchoolName.txt";
const char* const kSchoolNameWhenCreated = "โรงเรียน...";

std::string FirstListItem(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i < line.size() && line[i] == '"') {
        size_t end = line.find('"', i + 1);
        return line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
    }
    size_t end = line.find(',', i);
    return line.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

std::optional<std::string> ReadSchoolNameFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
    // Its first line would be the database signature, not a school.
    if (IsExamFile(path) == 1) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return FromCp874(FirstListItem(line));
}

SchoolNameWrite WriteSchoolNameFile(const std::string& path, const std::string& name) {
    // A working directory moved by the open dialog may hold anything under
    // this name; an exam file there is worth more than the school name.
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && IsExamFile(path) == 1)
        return SchoolNameWrite::RefusedExamFile;
    try {
        WriteFileReplacing(path, "report", ToCp874(name) + "\r\n");
    } catch (const ReplaceFileError&) {
        return SchoolNameWrite::Failed;
    }
    return SchoolNameWrite::Written;
}

} // namespace ia
