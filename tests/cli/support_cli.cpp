// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliSupport.h"

#include "TestSupport.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace iatest {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliRun Cli(const std::string& args, const std::string& before) {
    TempDir tmp;
    const std::string errFile = tmp.file("err");
    const std::string cmd =
        before + " " + Quote(BinDir() + "/itemanalysis-cli") + " " + args + " 2>" + Quote(errFile);
    CliRun r;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = FileBytes(errFile);
    return r;
}

} // namespace iatest
