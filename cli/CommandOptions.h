// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options of one subcommand of itemanalysis-cli. Each subcommand
// declares what it takes; anything else on its command line (an option it
// does not know, an option given twice, a missing or extra file name) is a
// mistake the teacher must hear about, never silently ignored: a misspelt
// --page would otherwise print every page.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ia::cli {

struct AcceptedOptions {
    int positional = 1;                // file names the subcommand takes
    std::vector<std::string> valued;   // options followed by a value
    std::vector<std::string> flags;    // options standing alone
    std::vector<std::string> required; // valued options that must be given
    bool morePositional = false;       // positional is the least number, not the exact one
};

struct CommandOptions {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    bool has(const std::string& flag) const { return flags.count(flag) > 0; }
    bool given(const std::string& option) const { return values.count(option) > 0; }
    // The option's value, empty when it was not given.
    std::string value(const std::string& option) const;
};

enum class ParseOutcome {
    Ok,
    Usage,        // unknown, repeated or missing option, or wrong file count
    MissingValue, // an option that takes a value ends the line
};

// Reads args (the words after the subcommand's name) against what the subcommand accepts. On an
// unknown, repeated or valueless option `error` names it, so the teacher
// sees which word to fix above the usage text; otherwise it is left empty.
ParseOutcome ParseCommandOptions(const std::vector<std::string>& args,
                                 const AcceptedOptions& accepted, CommandOptions& out,
                                 std::string& error);

// Reads argv after the subcommand's name. Every mistake in the command line
// itself ends the run the same way in every subcommand: the offending option
// (when there is one) and `usage` on standard error, exit code 2.
std::optional<int> ReadCommandOptions(int argc, char** argv, const AcceptedOptions& accepted,
                                      CommandOptions& out, const std::string& usage);

} // namespace ia::cli
