// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <string>

namespace ia {

// The path of a file written beside the exam file: the exam file's name with
// its extension (the part after the last "." of the file name, never of a
// folder) replaced by newExt, or ".newExt" appended when the name has no
// dot. Should that path be the exam file itself (an exam file named x.txt,
// or a case-insensitive folder where x.TXT and x.txt are one file), newExt
// is appended to the whole name instead, so that the exam file is never
// overwritten.
std::string DerivedPath(const std::string& examFileName, const std::string& newExt);

} // namespace ia
