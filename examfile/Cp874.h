// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The files teachers read outside the program (the report, the school
// name) are in the Thai Windows code page 874, one byte per character;
// texts in memory are UTF-8.
#include <string>
#include <string_view>

namespace ia {

class Cp874Encoder {
  public:
    Cp874Encoder();
    ~Cp874Encoder();
    Cp874Encoder(const Cp874Encoder&) = delete;
    Cp874Encoder& operator=(const Cp874Encoder&) = delete;

    // A character the code page cannot hold, and any byte that is not
    // valid UTF-8, comes out as "?": a stray emoji in a teacher's name must
    // not cost the teacher the whole report.
    std::string Encode(std::string_view utf8);

  private:
    void* cd_;
};

std::string ToCp874(std::string_view utf8);

// Code-page-874 bytes back to UTF-8 (for showing the report file).
std::string FromCp874(std::string_view bytes);

} // namespace ia
