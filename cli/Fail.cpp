// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Fail.h"

#include "exchange/TextTable.h"

#include <iostream>

namespace ia::cli {

int Fail(const std::string& msg) {
    // A job that ran out of memory tells it in the words every message has;
    // a catch of std::exception anywhere hands over only the library's.
    const std::string shown = msg == "std::bad_alloc" ? kOutOfMemoryText : msg;
    // Texts from a source or an exam file may hold escape sequences: shown,
    // never obeyed by the terminal.
    std::cerr << EscapedForTerminal(shown);
    if (shown.empty() || shown.back() != '\n') std::cerr << "\n";
    return 1;
}

void Warn(const std::string& line) {
    std::cerr << "คำเตือน: " << EscapedForTerminal(line) << "\n";
}

} // namespace ia::cli
