// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the command-line program as a teacher's script would and keeps what
// it printed.
#include <string>

namespace iatest {

struct CliRun {
    int code;
    std::string out, err;
};

// Single-quotes a word for the shell.
std::string Quote(const std::string& s);
// itemanalysis-cli with the given (already quoted) arguments; `before` is
// shell text run first in the same shell (limits, traps, variables).
CliRun Cli(const std::string& args, const std::string& before = "");

} // namespace iatest
