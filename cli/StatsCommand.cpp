// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StatsCommand.h"
#include "cli/DataText.h"
#include "cli/Fail.h"
#include "cli/Progress.h"

#include "analysis/Analysis.h"
#include "cli/CommandOptions.h"
#include "examfile/OutputFile.h"
#include "exchange/TextTable.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <vector>

namespace ia {

namespace {

std::string KeyText(const ItemStatistics& it, const ExamAnswers& a) {
    return a.keyTexts.at(static_cast<size_t>(it.item - 1));
}

std::string ChoiceName(const ChoiceStatistics& ch) {
    return ch.choice == 0 ? "none" : std::to_string(ch.choice);
}

const char* const kStatsUsage = "วิธีใช้:\n  itemanalysis-cli stats FILE [--json] [--csv DIR]\n";

using cli::CsvNumber;
using cli::CsvRow;
using cli::Fail;
using cli::JsonNumber;
using cli::JsonString;
using cli::Number;

} // namespace

std::string ItemStatisticsJson(const TestStatistics& t, const ExamAnswers& a) {
    std::string j = "{\"sheets\": " + std::to_string(t.sheets) +
                    ", \"keyed_items\": " + std::to_string(t.keyedItems) +
                    ", \"mean\": " + Number(t.mean) + ", \"sd\": " + Number(t.sd) +
                    ", \"kr20\": " + JsonNumber(t.kr20) + ", \"kr21\": " + JsonNumber(t.kr21) +
                    ", \"sem\": " + JsonNumber(t.sem) +
                    ",\n \"split_half\": " + JsonNumber(t.splitHalf) + ",\n \"distribution\": [";
    for (size_t i = 0; i < t.distribution.size(); ++i) {
        const ScoreCount& d = t.distribution[i];
        j += std::string(i ? ",\n  " : "\n  ") + "{\"score\": " + std::to_string(d.score) +
             ", \"count\": " + std::to_string(d.count) +
             ", \"percentile_rank\": " + Number(d.percentileRank) + "}";
    }
    j += "],\n \"items\": [";
    for (size_t i = 0; i < t.items.size(); ++i) {
        const ItemStatistics& it = t.items[i];
        j += std::string(i ? ",\n  " : "\n  ") + "{\"item\": " + std::to_string(it.item) +
             ", \"key\": " + JsonString(KeyText(it, a)) + ", \"p\": " + Number(it.p) +
             ", \"r_it\": " + JsonNumber(it.rit) +
             ", \"alpha_if_deleted\": " + JsonNumber(it.alphaIfDeleted) +
             ", \"omitted\": " + std::to_string(it.omitted) +
             ", \"invalid\": " + std::to_string(it.invalid) + ",\n   \"choices\": [";
        for (size_t c = 0; c < it.choices.size(); ++c) {
            const ChoiceStatistics& ch = it.choices[c];
            j += std::string(c ? ",\n    " : "\n    ") +
                 "{\"choice\": " + JsonString(ChoiceName(ch)) +
                 ", \"count\": " + std::to_string(ch.count) +
                 ", \"proportion\": " + Number(ch.proportion) +
                 ", \"mean_score\": " + JsonNumber(ch.meanScore) +
                 ", \"r_pb\": " + JsonNumber(ch.rpb) + ", \"groups\": [";
            for (int g = 0; g < kScoreGroups; ++g)
                j += (g ? ", " : "") + JsonNumber(ch.groups[g]);
            j += "]}";
        }
        j += "],\n   \"flags\": [";
        for (size_t f = 0; f < it.flags.size(); ++f) {
            const ItemFlag& fl = it.flags[f];
            j += std::string(f ? ", " : "") + "{\"code\": " + JsonString(FlagName(fl.code)) +
                 ", \"choice\": " + (fl.choice ? JsonString(std::to_string(fl.choice)) : "null") +
                 ", \"text\": " + JsonString(fl.text) + "}";
        }
        j += "]}";
    }
    return j + "]}\n";
}

std::string WriteItemStatisticsCsv(const TestStatistics& t, const ExamAnswers& a,
                                   const std::string& dir) {
    std::string test =
        CsvRow({"sheets", "keyed_items", "mean", "sd", "kr20", "kr21", "sem", "split_half"});
    test += CsvRow({std::to_string(t.sheets), std::to_string(t.keyedItems), Number(t.mean),
                    Number(t.sd), CsvNumber(t.kr20), CsvNumber(t.kr21), CsvNumber(t.sem),
                    CsvNumber(t.splitHalf)});
    std::string items =
        CsvRow({"item", "key", "p", "r_it", "alpha_if_deleted", "omitted", "invalid", "flags"});
    std::string choices = CsvRow({"item", "choice", "count", "proportion", "mean_score", "r_pb",
                                  "group1", "group2", "group3", "group4", "group5"});
    for (const ItemStatistics& it : t.items) {
        std::string flags;
        for (const ItemFlag& f : it.flags)
            flags += (flags.empty() ? "" : ";") + std::string(FlagName(f.code));
        items += CsvRow({std::to_string(it.item), KeyText(it, a), Number(it.p), CsvNumber(it.rit),
                         CsvNumber(it.alphaIfDeleted), std::to_string(it.omitted),
                         std::to_string(it.invalid), flags});
        for (const ChoiceStatistics& ch : it.choices) {
            std::vector<std::string> row{std::to_string(it.item),  ChoiceName(ch),
                                         std::to_string(ch.count), Number(ch.proportion),
                                         CsvNumber(ch.meanScore),  CsvNumber(ch.rpb)};
            for (const auto& g : ch.groups)
                row.push_back(CsvNumber(g));
            choices += CsvRow(row);
        }
    }
    std::string distribution = CsvRow({"score", "count", "percentile_rank"});
    for (const ScoreCount& d : t.distribution)
        distribution +=
            CsvRow({std::to_string(d.score), std::to_string(d.count), Number(d.percentileRank)});
    return cli::WriteCsvFiles(dir, {{"test.csv", &test},
                                    {"items.csv", &items},
                                    {"choices.csv", &choices},
                                    {"distribution.csv", &distribution}});
}

int StatsCommand(int argc, char** argv) {
    cli::CommandOptions options;
    if (auto rc = cli::ReadCommandOptions(argc, argv, {1, {"--csv"}, {"--json"}, {}}, options,
                                          kStatsUsage))
        return *rc;
    const std::string& file = options.positional[0];
    const std::string csvDir = options.value("--csv");
    const bool csv = options.given("--csv");
    bool json = options.has("--json");
    if (!csv) json = true;
    try {
        // The exam file is closed again once read; a file of the same name
        // in DIR is still never written over.
        const ProtectedFile exam(file);
        const ExamAnswers a = LoadExamAnswers(file, cli::JobProgress());
        if (a.matrix.sheets < 2) return Fail(kTooFewSheets);
        const TestStatistics t = ComputeItemStatistics(a.matrix);
        if (t.keyedItems == 0) return Fail(kNoKeyedItem);
        if (csv)
            if (std::string err = WriteItemStatisticsCsv(t, a, csvDir); !err.empty())
                return Fail(err);
        if (json)
            std::cout << ItemStatisticsJson(t, a);
        else
            std::cout << csvDir << "\n";
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}

} // namespace ia
