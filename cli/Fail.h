// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One way for every subcommand to tell a failure, and one to tell a warning.

#include <string>

namespace ia::cli {

inline constexpr const char* kOutOfMemoryText =
    "หน่วยความจำไม่พอสำหรับงานนี้ จึงหยุดไว้ ไฟล์ไม่มีการเปลี่ยนแปลง";

// Tells msg on standard error (one line, control characters shown escaped)
// and gives the exit code 1.
int Fail(const std::string& msg);

// Tells what the window would warn about, on standard error, and goes on.
void Warn(const std::string& line);

} // namespace ia::cli
