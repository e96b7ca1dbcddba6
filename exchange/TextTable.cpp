// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/TextTable.h"

#include "examfile/Cp874.h"

#include <cerrno>
#include <iconv.h>

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

bool ValidUtf8(std::string_view s) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra;
        if (c < 0x80)
            extra = 0;
        else if ((c & 0xE0) == 0xC0 && c >= 0xC2)
            extra = 1;
        else if ((c & 0xF0) == 0xE0)
            extra = 2;
        else if ((c & 0xF8) == 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return false;
        if (i + extra >= n) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
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
    const bool utf8Bom = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
    const bool utf16Bom = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                                (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
    if (enc == TextEncoding::Auto) {
        if (utf8Bom)
            enc = TextEncoding::Utf8;
        else if (utf16Bom)
            enc = TextEncoding::Utf16;
        else
            enc = ValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Cp874;
    }
    switch (enc) {
    case TextEncoding::Utf8:
        if (utf8Bom) bytes.remove_prefix(3);
        if (!ValidUtf8(bytes)) {
            error = "ไฟล์ไม่ใช่ข้อความ UTF-8";
            return false;
        }
        utf8.assign(bytes);
        return true;
    case TextEncoding::Utf16:
        if (!FromUtf16(bytes, utf8)) {
            error = "ไฟล์ไม่ใช่ข้อความ UTF-16";
            return false;
        }
        return true;
    default:
        utf8 = FromCp874(bytes);
        return true;
    }
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

TextTable ParseDelimited(std::string_view text, char delimiter) {
    TextTable table;
    TextRow row;
    std::string field;
    bool quoted = false, any = false;
    auto endField = [&] {
        row.push_back(std::move(field));
        field.clear();
    };
    auto endRow = [&] {
        endField();
        table.push_back(std::move(row));
        row.clear();
        any = false;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
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
            endField();
            any = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            endRow();
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.empty() || !row.empty()) endRow();
    return table;
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
