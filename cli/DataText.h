// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers and texts as the subcommands write them for other programs: JSON
// values and CSV cells, and the CSV files themselves.

#include <optional>
#include <string>
#include <vector>

namespace ia::cli {

// Shortest text that reads back as the same double.
std::string Number(double x);
// The number, or null when there is none (or it is not finite).
std::string JsonNumber(const std::optional<double>& x);
std::string JsonString(const std::string& s);
// The number, or an empty cell.
std::string CsvNumber(const std::optional<double>& x);
// The cells as one CSV row ending in CR LF (each through CsvText).
std::string CsvRow(const std::vector<std::string>& cells);
// Writes files (name, body) into dir (created if missing), UTF-8 with a byte
// order mark. Returns a Thai text for the user on failure, empty on success.
std::string WriteCsvFiles(const std::string& dir,
                          const std::vector<std::pair<std::string, const std::string*>>& files);

} // namespace ia::cli
