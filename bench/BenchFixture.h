#pragma once
#include <string>

namespace iabench {

// An exam file of the given size with answers that follow each examinee's
// ability, made once per run in a temporary folder and reused.
std::string Fixture(int sheets, int items, int choices);

} // namespace iabench
