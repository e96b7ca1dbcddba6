// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli pool OUT.ans A.ans B.ans … [--group-by file | --group-column NAME]
// [--key-from FILE] [--overwrite]: the class files of one test pooled into a
// new exam file, each sheet keeping its group.

#include "cli/PoolCommand.h"
#include "cli/CommandOptions.h"
#include "cli/Fail.h"
#include "cli/Progress.h"
#include "session/Pool.h"

#include <iostream>

namespace ia::cli {

namespace {

const char* const kPoolUsage =
    "วิธีใช้:\n  itemanalysis-cli pool OUT.ans A.ans B.ans … [--group-by file | --group-column "
    "NAME] [--key-from FILE] [--overwrite]\n";

} // namespace

int PoolCommand(int argc, char** argv) {
    CommandOptions options;
    AcceptedOptions accepted{
        3, {"--group-by", "--group-column", "--key-from"}, {"--overwrite"}, {}};
    accepted.morePositional = true;
    if (auto rc = ReadCommandOptions(argc, argv, accepted, options, kPoolUsage)) return *rc;
    PoolRequest request;
    request.output = options.positional[0];
    request.sources.assign(options.positional.begin() + 1, options.positional.end());
    if (options.given("--group-by") && options.given("--group-column")) {
        std::cerr << "ให้ --group-by หรือ --group-column อย่างใดอย่างหนึ่ง\n" << kPoolUsage;
        return 2;
    }
    if (options.given("--group-by") && options.value("--group-by") != "file") {
        std::cerr << "--group-by รับค่า file เท่านั้น (ใช้ --group-column NAME สำหรับคอลัมน์)\n"
                  << kPoolUsage;
        return 2;
    }
    if (options.given("--group-column")) {
        request.grouping = PoolGrouping::ByColumn;
        request.groupColumn = options.value("--group-column");
    }
    request.keyFrom = options.value("--key-from");
    request.replaceExisting = options.has("--overwrite");
    request.progress = &JobProgress();
    const Outcome<PoolReport> pooled = PoolExamFiles(request);
    if (!pooled.ok()) {
        switch (pooled.error.kind) {
        case SessionErrorKind::AlreadyExists:
            return Fail(pooled.error.message + " (ใช้ --overwrite เพื่อเขียนทับ)");
        case SessionErrorKind::KeysDiffer:
            return Fail(pooled.error.message + " (ใช้ --key-from FILE เพื่อใช้เฉลยของไฟล์นั้น)");
        default:
            return Fail(pooled.error.message);
        }
    }
    for (const std::string& line : pooled.value.notices())
        std::cerr << line << "\n";
    std::cout << pooled.value.output << "\n";
    return 0;
}

} // namespace ia::cli
