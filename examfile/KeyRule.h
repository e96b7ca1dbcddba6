// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which items of the key row take part in scoring, the analysis and the
// report.

#include <optional>
#include <string_view>

namespace ia {

// An item is keyed only when its key holds an answer. A key never typed
// (NULL, as a new file holds it), left empty or "0" leaves the item out: it
// is not scored, not analysed, and the report shows it as an unkeyed item.
inline bool IsKeyed(std::optional<std::string_view> key) {
    return key && !key->empty() && *key != "0";
}

} // namespace ia
