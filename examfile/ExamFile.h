#pragma once
#include "examfile/ExamState.h"

#include <string>
#include <vector>

namespace ia {

constexpr int kMaxItems = 251;

// Creates a new exam file at path (which must not exist) with the full schema
// and its first rows, the header row taken from header. Returns 0 on success
// and 1 on any failure; a failed creation removes the file it had begun and
// never touches a file it did not create.
int CreateExamFile(const std::string& path, const TestHeader& header);

// 1 when the file opens as a database holding a table named exactly "TVTQ",
// 0 otherwise (missing, locked, not a database). Never creates or changes
// the file.
int IsExamFile(const std::string& path);

// The CREATE TABLE statements of an exam file with nItem answer fields, in
// the order the tables are created.
std::vector<std::string> ExamSchemaSql(int nItem);

} // namespace ia
