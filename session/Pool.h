// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pooling the exam files of several classes that sat the same test into one
// new exam file, each sheet keeping the group it came from (its file, or a
// column kept beside its sheets), so that the classes can be compared and
// the items checked for differential functioning. The sources are only read;
// nothing is written until every one of them has been read and checked.

#include "examfile/Progress.h"
#include "session/ExamSession.h"

#include <string>
#include <vector>

namespace ia {

enum class PoolGrouping {
    ByFile,   // the label is the source file's name without its folder and extension
    ByColumn, // the label is the sheet's value of a named column kept beside it
};

struct PoolRequest {
    std::vector<std::string> sources;
    std::string output;
    PoolGrouping grouping = PoolGrouping::ByFile;
    std::string groupColumn; // ByColumn: the column's name (ห้อง, โรงเรียน, เพศ ...)
    // Empty: every source must hold the same key. Otherwise the key (and the
    // header) of this exam file is the pool's, and the sources' keys may differ.
    std::string keyFrom;
    bool replaceExisting = false; // an existing output is kept as output + ".bak"
    Progress* progress = nullptr;
};

// A code met in more than one source file: kept on every sheet, and told.
struct RepeatedCode {
    std::string code;
    std::vector<std::string> files;
};

struct PoolReport {
    std::string output;
    int sheets = 0;
    std::vector<std::pair<std::string, int>> groups; // label, sheets; in the labels' order
    std::vector<RepeatedCode> repeatedCodes;
    std::string backupNotice; // "เก็บไฟล์เดิมไว้ที่ …" when an output was replaced
    // The Thai lines the teacher is told afterwards (groups, repeated codes).
    std::vector<std::string> notices() const;
};

// Checks every source (an exam file of sound structure, not held by another
// program, the same number of items and choices, the same key unless
// keyFrom) and reads all their sheets, then writes the new file in one go.
// A refusal names the file (and, for a key, the items that differ); on any
// error, and on a cancel, no file has been written or changed.
Outcome<PoolReport> PoolExamFiles(const PoolRequest& request);

// The group label of a pooled file's source: its name without folder or
// extension.
std::string GroupLabelOfFile(const std::string& path);

} // namespace ia
