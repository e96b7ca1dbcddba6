// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/TextTable.h"

#include "examfile/Cp874.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <iconv.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace ia {

bool ParseEncodingName(std::string_view name, TextEncoding& enc) {
    const std::string n = LowerAscii(name);
    if (n == "utf-8" || n == "utf8")
        enc = TextEncoding::Utf8;
    else if (n == "utf-16" || n == "utf16")
        enc = TextEncoding::Utf16;
    else if (n == "cp874" || n == "874" || n == "tis-620")
        enc = TextEncoding::Cp874;
    else
        return false;
    return true;
}

namespace {

// The offset of the first byte that starts no valid UTF-8 character
// (overlong forms and surrogates included), npos when there is none.
size_t FirstInvalidUtf8(std::string_view s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra;
        unsigned char lo = 0x80, hi = 0xBF; // the second byte's range
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else
            return i;
        if (extra > 0 && i + extra >= n) return i;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80 || (k == 1 && (b < lo || b > hi))) return i;
        }
        i += extra + 1;
    }
    return std::string_view::npos;
}

bool ValidUtf8(std::string_view s) {
    return FirstInvalidUtf8(s) == std::string_view::npos;
}

// Bytes Windows code page 874 leaves without a character.
bool Cp874Undefined(unsigned char b) {
    return (b >= 0x81 && b <= 0x84) || (b >= 0x86 && b <= 0x90) || (b >= 0x98 && b <= 0x9F) ||
           (b >= 0xDB && b <= 0xDE) || b >= 0xFC;
}

size_t FirstCp874Undefined(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i)
        if (Cp874Undefined(static_cast<unsigned char>(s[i]))) return i;
    return std::string_view::npos;
}

// Where byte `offset` of text lies: its record and field, as the table
// read from it numbers them.
std::string AtOffset(std::string_view text, size_t offset, const std::string& what) {
    const size_t lineEnd = text.find('\n');
    const char delimiter = DetectDelimiter(text.substr(0, lineEnd));
    long long row = 1, col = 1;
    bool quoted = false;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '\n')
            ++row, col = 1;
        else if (!quoted && c == delimiter)
            ++col;
    }
    return AtCell(row, col, what);
}

bool FromUtf16(std::string_view bytes, std::string& out) {
    const char* from = "UTF-16";
    if (bytes.size() >= 2) {
        const unsigned char a = bytes[0], b = bytes[1];
        if (a == 0xFF && b == 0xFE)
            from = "UTF-16LE", bytes.remove_prefix(2);
        else if (a == 0xFE && b == 0xFF)
            from = "UTF-16BE", bytes.remove_prefix(2);
        else
            from = "UTF-16LE"; // told so without a mark: what Windows writes
    }
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(bytes.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    const bool ok = iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return ok && inLeft == 0;
}

} // namespace

bool DecodeText(std::string_view bytes, TextEncoding enc, std::string& utf8, std::string& error) {
    static const std::string kMismatch = "ข้อความไม่ตรงกับรหัสอักขระที่ระบุ";
    const bool utf8Bom = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
    const bool utf16Bom = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                                (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
    if (enc == TextEncoding::Auto) {
        if (utf8Bom)
            enc = TextEncoding::Utf8;
        else if (utf16Bom)
            enc = TextEncoding::Utf16;
        else if (ValidUtf8(bytes))
            enc = TextEncoding::Utf8;
        else if (FirstCp874Undefined(bytes) == std::string_view::npos)
            enc = TextEncoding::Cp874;
        else {
            error = AtOffset(bytes, FirstInvalidUtf8(bytes),
                             "ไม่ใช่ข้อความ UTF-8 (ไฟล์รหัส cp874 ให้ระบุ --encoding cp874)");
            return false;
        }
    }
    // A mark that names another encoding than the one given, or than the
    // text that follows it, would only read garbage.
    if ((utf8Bom && enc != TextEncoding::Utf8) || (utf16Bom && enc != TextEncoding::Utf16)) {
        error = kMismatch;
        return false;
    }
    switch (enc) {
    case TextEncoding::Utf8: {
        if (utf8Bom) bytes.remove_prefix(3);
        const size_t bad = FirstInvalidUtf8(bytes);
        if (bad != std::string_view::npos) {
            error = utf8Bom ? kMismatch : AtOffset(bytes, bad, "ไฟล์ไม่ใช่ข้อความ UTF-8");
            return false;
        }
        utf8.assign(bytes);
        break;
    }
    case TextEncoding::Utf16:
        // Text in UTF-16 holds a zero byte in every character below U+0100
        // (digits, delimiters, line ends); behind the mark without one is
        // text in some other encoding.
        if (utf16Bom &&
            (bytes.size() % 2 != 0 ||
             (bytes.size() > 2 && bytes.substr(2).find('\0') == std::string_view::npos))) {
            error = kMismatch;
            return false;
        }
        if (!FromUtf16(bytes, utf8)) {
            error = "ไฟล์ไม่ใช่ข้อความ UTF-16";
            return false;
        }
        break;
    default:
        if (const size_t bad = FirstCp874Undefined(bytes); bad != std::string_view::npos) {
            error = AtOffset(bytes, bad, "ไม่ใช่อักขระในรหัส cp874");
            return false;
        }
        utf8 = FromCp874(bytes);
        break;
    }
    if (const size_t nul = utf8.find('\0'); nul != std::string::npos) {
        error = AtOffset(utf8, nul, "มีอักขระ NUL ซึ่งไม่ใช่ข้อความ");
        utf8.clear();
        return false;
    }
    return true;
}

std::string EscapedForTerminal(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    char buf[16];
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && !(keepLineBreaks && (c == '\n' || c == '\t'))) || c == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
            continue;
        }
        // C1 controls (U+0080..U+009F) and the bidirectional marks,
        // embeddings, overrides and isolates.
        if (c == 0xC2 && i + 1 < text.size()) {
            const unsigned char d = static_cast<unsigned char>(text[i + 1]);
            if (d >= 0x80 && d <= 0x9F) {
                std::snprintf(buf, sizeof buf, "\\u{%04x}", d);
                out += buf;
                ++i;
                continue;
            }
        }
        if (c == 0xE2 && i + 2 < text.size()) {
            const unsigned char d = static_cast<unsigned char>(text[i + 1]);
            const unsigned char e = static_cast<unsigned char>(text[i + 2]);
            const unsigned cp = 0x2000u | ((d & 0x3Fu) << 6) | (e & 0x3Fu);
            if ((d & 0xC0) == 0x80 && (e & 0xC0) == 0x80 &&
                ((cp >= 0x200E && cp <= 0x200F) || (cp >= 0x202A && cp <= 0x202E) ||
                 (cp >= 0x2066 && cp <= 0x2069))) {
                std::snprintf(buf, sizeof buf, "\\u{%04x}", cp);
                out += buf;
                i += 2;
                continue;
            }
        }
        out += static_cast<char>(c);
    }
    return out;
}

bool ReadSourceFile(const std::string& path, std::string& bytes, std::string& error) {
    const std::string cannotOpen = "เปิดไฟล์ " + path + " ไม่ได้";
    const std::string tooLarge =
        "ไฟล์ " + path + " ใหญ่เกิน " + std::to_string(kMaxSourceBytes >> 20) + " MB ที่นำเข้าได้";
    // Not blocking: a pipe with no writer must not hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = cannotOpen;
        return false;
    }
    // The reason the file cannot be taken, empty once it is read whole.
    auto read = [&]() -> std::string {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return cannotOpen;
        if (!S_ISREG(st.st_mode))
            return path + " ไม่ใช่ไฟล์ข้อมูลธรรมดา (เป็นอุปกรณ์ ท่อ หรือโฟลเดอร์) จึงไม่อ่าน";
        if (st.st_size > kMaxSourceBytes) return tooLarge;
        // The size may change while it is read: never more than the limit.
        bytes.clear();
        char buf[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return "อ่านไฟล์ " + path + " ไม่ได้";
            if (n == 0) return {};
            if (static_cast<long long>(bytes.size()) + n > kMaxSourceBytes) return tooLarge;
            bytes.append(buf, static_cast<size_t>(n));
        }
    };
    const std::string refusal = read();
    ::close(fd);
    if (refusal.empty()) return true;
    error = refusal;
    bytes.clear();
    return false;
}

std::string QuotedCell(std::string_view text) {
    size_t end = 0;
    size_t chars = 0;
    while (end < text.size() && chars < kQuotedCellChars) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
        ++chars;
    }
    std::string shown = EscapedForTerminal(text.substr(0, end), false);
    if (end < text.size()) shown += "…";
    return "\"" + shown + "\"";
}

namespace {

bool PlainNumber(std::string_view s) {
    size_t i = s.size() > 1 && (s[0] == '-' || s[0] == '+') ? 1 : 0;
    const size_t digits = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    if (i == digits) return false;
    if (i < s.size() && s[i] == '.') {
        const size_t fraction = ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        if (i == fraction) return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
        const size_t exponent = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        if (i == exponent) return false;
    }
    return i == s.size();
}

} // namespace

bool NeedsFormulaGuard(std::string_view text) {
    size_t quotes = 0;
    while (quotes < text.size() && text[quotes] == '\'')
        ++quotes;
    const std::string_view rest = text.substr(quotes);
    if (rest.empty()) return false;
    const char c = rest[0];
    return (c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r') &&
           !PlainNumber(rest);
}

std::string CsvText(std::string_view text) {
    std::string t = NeedsFormulaGuard(text) ? "'" + std::string(text) : std::string(text);
    if (t.find_first_of(",\"\r\n") == std::string::npos) return t;
    std::string q = "\"";
    for (char ch : t)
        q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return q + "\"";
}

std::string WithoutFormulaGuard(std::string_view field) {
    if (!field.empty() && field[0] == '\'' && NeedsFormulaGuard(field.substr(1)))
        field.remove_prefix(1);
    return std::string(field);
}

char DetectDelimiter(std::string_view text) {
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\n' || c == '\r') break;
        comma += c == ',';
        semicolon += c == ';';
        tab += c == '\t';
    }
    if (tab > comma && tab >= semicolon) return '\t';
    if (semicolon > comma) return ';';
    return ',';
}

std::string AtCell(long long row, long long col, const std::string& what) {
    return "แถว " + std::to_string(row) + " คอลัมน์ " + std::to_string(col) + ": " + what;
}

TextTable ParseDelimited(std::string_view text, char delimiter) {
    TableLimits none;
    none.columns = std::numeric_limits<int>::max();
    none.cells = std::numeric_limits<long long>::max();
    none.lineBytes = std::numeric_limits<size_t>::max();
    none.cellBytes = std::numeric_limits<size_t>::max();
    TextTable table;
    std::string unused;
    ParseDelimitedWithin(text, delimiter, none, table, unused);
    return table;
}

bool ParseDelimitedWithin(std::string_view text, char delimiter, const TableLimits& limits,
                          TextTable& table, std::string& error) {
    table.clear();
    TextRow row;
    std::string field;
    bool quoted = false, any = false;
    long long cells = 0;
    size_t lineStart = 0;
    auto here = [&](const std::string& what) {
        error = AtCell(static_cast<long long>(table.size()) + 1,
                       static_cast<long long>(row.size()) + 1, what);
        return false;
    };
    auto endField = [&] {
        if (row.size() >= static_cast<size_t>(limits.columns)) {
            // Empty cells past the last column a sheet can have cost nothing.
            if (!Trimmed(field).empty())
                return here("อยู่เลยคอลัมน์สุดท้ายที่นำเข้าได้ (" + std::to_string(limits.columns) +
                            " คอลัมน์)");
            field.clear();
            return true;
        }
        if (++cells > limits.cells)
            return here("แหล่งข้อมูลมีช่องมากเกินกว่าที่นำเข้าได้ (" + std::to_string(limits.cells) + " ช่อง)");
        row.push_back(std::move(field));
        field.clear();
        return true;
    };
    auto endRow = [&] {
        if (!endField()) return false;
        table.push_back(std::move(row));
        row.clear();
        any = false;
        return true;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') lineStart = i + 1;
        if (i >= lineStart && i - lineStart >= limits.lineBytes)
            return here("บรรทัดยาวเกิน " + std::to_string(limits.lineBytes) + " ไบต์");
        if (field.size() >= limits.cellBytes)
            return here("ข้อความในช่องยาวเกิน " + std::to_string(limits.cellBytes) + " ไบต์");
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"' && field.empty()) {
            quoted = true;
            any = true;
        } else if (c == delimiter) {
            if (!endField()) return false;
            any = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lineStart = i + 1;
            if (!endRow()) return false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.empty() || !row.empty()) return endRow();
    return true;
}

std::string Trimmed(std::string_view s) {
    const char* ws = " \t\r\n";
    const size_t a = s.find_first_not_of(ws);
    if (a == std::string_view::npos) return {};
    const size_t b = s.find_last_not_of(ws);
    return std::string(s.substr(a, b - a + 1));
}

std::string LowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

int CharCount(std::string_view utf8) {
    int n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

} // namespace ia
