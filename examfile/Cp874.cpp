// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/Cp874.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace ia {
namespace {

// glibc knows the code page as CP874 (an alias of its IBM874 table, which
// is the Windows variant with the euro sign and typographic quotes).
constexpr const char* kCodePage = "CP874";

// Length of the UTF-8 sequence at s, or 1 when it is not a valid one, so
// that an unmappable character is replaced by exactly one "?".
size_t SequenceLength(const unsigned char* s, size_t left) {
    unsigned char c = s[0];
    size_t n = c >= 0xC2 && c <= 0xDF   ? 2
               : c >= 0xE0 && c <= 0xEF ? 3
               : c >= 0xF0 && c <= 0xF4 ? 4
                                        : 1;
    if (n > left) return 1;
    for (size_t i = 1; i < n; ++i)
        if ((s[i] & 0xC0) != 0x80) return 1;
    return n;
}

} // namespace

Cp874Encoder::Cp874Encoder() {
    iconv_t cd = iconv_open(kCodePage, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("code page 874 is not available");
    cd_ = cd;
}

Cp874Encoder::~Cp874Encoder() {
    iconv_close(static_cast<iconv_t>(cd_));
}

std::string Cp874Encoder::Encode(std::string_view utf8) {
    iconv_t cd = static_cast<iconv_t>(cd_);
    // Every character takes at least one byte in UTF-8 and exactly one in
    // the code page, so the result never outgrows the input.
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) break;
        size_t skip = SequenceLength(reinterpret_cast<const unsigned char*>(in), inLeft);
        in += skip;
        inLeft -= skip;
        *dst++ = '?';
        --outLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string ToCp874(std::string_view utf8) {
    Cp874Encoder encoder;
    return encoder.Encode(utf8);
}

} // namespace ia

namespace ia {

std::string FromCp874(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-8", kCodePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
    // A Thai byte becomes three UTF-8 bytes at most.
    std::string out(bytes.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) break;
        // A byte the code page leaves undefined shows as "?".
        ++in;
        --inLeft;
        *dst++ = '?';
        --outLeft;
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace ia
