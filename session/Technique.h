// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A technique as the command line names it; the type itself belongs to the
// analysis (analysis/AnalysisState.h).

#include "analysis/AnalysisState.h"

#include <optional>
#include <string>

namespace ia {

// "25" or "27"; nullopt for anything else.
std::optional<Technique> TechniqueFromText(const std::string& text);
extern const char* const kTechniqueInvalid; // "เทคนิคต้องเป็น 25 หรือ 27"

} // namespace ia
