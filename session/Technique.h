// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two techniques of an analysis, as AnalysisState::AnalysisKind counts
// them; one type for the window, the command line and the session.

#include <cstdint>
#include <optional>
#include <string>

namespace ia {

enum class Technique : int16_t { SimpleFormula25 = 1, FanTable27 = 2 };

// "25" or "27"; nullopt for anything else.
std::optional<Technique> TechniqueFromText(const std::string& text);
extern const char* const kTechniqueInvalid; // "เทคนิคต้องเป็น 25 หรือ 27"

} // namespace ia
