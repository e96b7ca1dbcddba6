#include "examfile/SchoolName.h"

#include "examfile/ExamFile.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <iterator>

namespace ia {

const char* const kSchoolNameFile = "SchoolName.txt";
const char* const kSchoolNameWhenCreated = "โรงเรียน...";

namespace {

// Length of the UTF-8 sequence that begins with the byte c (1 for a stray
// byte, so that a bad input always moves on).
size_t Utf8Length(unsigned char c) {
    if (c >= 0xF0 && c < 0xF8) return 4;
    if (c >= 0xE0) return c < 0xF0 ? 3 : 1;
    if (c >= 0xC0) return 2;
    return 1;
}

std::string Convert(const char* to, const char* from, const std::string& in, bool fromUtf8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return in;
    std::string out;
    out.reserve(in.size() * 3);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: one character without a code in the target.
        size_t skip = fromUtf8 ? Utf8Length(static_cast<unsigned char>(*src)) : 1;
        if (skip > srcLeft) skip = srcLeft;
        src += skip;
        srcLeft -= skip;
        out += '?';
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

} // namespace

std::string Cp874ToUtf8(const std::string& bytes) {
    return Convert("UTF-8", "CP874", bytes, false);
}

std::string Utf8ToCp874(const std::string& text) {
    return Convert("CP874", "UTF-8", text, true);
}

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
    return Cp874ToUtf8(FirstListItem(line));
}

SchoolNameWrite WriteSchoolNameFile(const std::string& path, const std::string& name) {
    // A working directory moved by the open dialog may hold anything under
    // this name; an exam file there is worth more than the school name.
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && IsExamFile(path) == 1)
        return SchoolNameWrite::RefusedExamFile;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return SchoolNameWrite::Failed;
    out << Utf8ToCp874(name) << "\r\n";
    out.close();
    return out ? SchoolNameWrite::Written : SchoolNameWrite::Failed;
}

} // namespace ia
