// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/OutputPath.h"

#include <filesystem>
#include <system_error>

namespace ia {

std::string DerivedPath(const std::string& examFileName, const std::string& newExt) {
    size_t nameStart = examFileName.rfind('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = examFileName.rfind('.');
    std::string derived = dot != std::string::npos && dot >= nameStart
                              ? examFileName.substr(0, dot + 1) + newExt
                              : examFileName + "." + newExt;
    // Compare files, not texts: on FAT or exFAT two spellings of a name are
    // one file. Either file missing means they cannot be the same.
    std::error_code ec;
    bool same =
        derived == examFileName || (std::filesystem::equivalent(derived, examFileName, ec) && !ec);
    if (same) derived = examFileName + "." + newExt;
    return derived;
}

} // namespace ia
