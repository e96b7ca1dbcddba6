// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers and texts as the subcommands write them for other programs: JSON
// values and CSV cells, and the CSV files themselves.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ia::cli {

// The folder a job writes its files into, made (with any missing parents)
// when it is not there. A job that does not end well takes away again what
// it made, so that a cancelled or refused run leaves the folder tree as it
// found it; a folder that holds anything stays.
class OutputFolder {
  public:
    explicit OutputFolder(const std::string& dir);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Whether dir is a folder now.
    bool ready() const { return ready_; }
    // The job ended well: what was made stays.
    void keep() { kept_ = true; }

  private:
    std::vector<std::filesystem::path> made_; // the deepest first
    bool ready_ = false;
    bool kept_ = false;
};

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
// order mark: all of them are written whole before any replaces what its
// name held, and a Ctrl+C meanwhile leaves every one as it was (throws
// JobCancelled). Returns a Thai text for the user on failure, empty on
// success.
std::string WriteCsvFiles(const std::string& dir,
                          const std::vector<std::pair<std::string, const std::string*>>& files);

} // namespace ia::cli
