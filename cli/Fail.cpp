// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Fail.h"

#include <iostream>

namespace ia::cli {

int Fail(const std::string& msg) {
    std::cerr << msg;
    if (msg.empty() || msg.back() != '\n') std::cerr << "\n";
    return 1;
}

void Warn(const std::string& line) {
    std::cerr << "คำเตือน: " << line << "\n";
}

} // namespace ia::cli
