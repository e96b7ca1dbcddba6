// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandOptions.h"

#include <algorithm>
#include <iostream>

namespace ia::cli {

std::string CommandOptions::value(const std::string& option) const {
    auto it = values.find(option);
    return it == values.end() ? std::string() : it->second;
}

ParseOutcome ParseCommandOptions(const std::vector<std::string>& args,
                                 const AcceptedOptions& accepted, CommandOptions& out,
                                 std::string& error) {
    auto listed = [](const std::vector<std::string>& names, const std::string& s) {
        return std::find(names.begin(), names.end(), s) != names.end();
    };
    out = {};
    error.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        if (s.rfind("--", 0) != 0) {
            out.positional.push_back(s);
        } else if (listed(accepted.flags, s)) {
            if (!out.flags.insert(s).second) {
                error = "ให้ตัวเลือก " + s + " ซ้ำ";
                return ParseOutcome::Usage;
            }
        } else if (listed(accepted.valued, s)) {
            if (out.given(s)) {
                error = "ให้ตัวเลือก " + s + " ซ้ำ";
                return ParseOutcome::Usage;
            }
            if (i + 1 >= args.size()) {
                error = "ตัวเลือก " + s + " ต้องมีค่า";
                return ParseOutcome::MissingValue;
            }
            out.values[s] = args[++i];
        } else {
            error = "ไม่รู้จักตัวเลือก " + s;
            return ParseOutcome::Usage;
        }
    }
    const int files = static_cast<int>(out.positional.size());
    if (accepted.morePositional ? files < accepted.positional : files != accepted.positional)
        return ParseOutcome::Usage;
    for (const auto& r : accepted.required)
        if (!out.given(r)) return ParseOutcome::Usage;
    return ParseOutcome::Ok;
}

std::optional<int> ReadCommandOptions(int argc, char** argv, const AcceptedOptions& accepted,
                                      CommandOptions& out, const std::string& usage) {
    std::string error;
    const std::vector<std::string> args(argv + std::min(argc, 2), argv + argc);
    if (ParseCommandOptions(args, accepted, out, error) == ParseOutcome::Ok) return std::nullopt;
    if (!error.empty()) std::cerr << error << "\n";
    std::cerr << usage;
    return 2;
}

} // namespace ia::cli
