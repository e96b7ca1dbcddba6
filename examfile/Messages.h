// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Texts every part of the program shows the same way.

namespace ia {

// The title of every warning box, the window's and the printer's.
inline constexpr const char* kWarningTitle = "คำเตือน";

} // namespace ia
