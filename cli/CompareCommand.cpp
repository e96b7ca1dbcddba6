// SPDX-License-Identifier: GPL-3.0-or-later
// itemanalysis-cli compare FILE.ans [--json | --csv DIR] [--reference G --focal G]
// [--purify]: the groups of a pooled exam file compared, and each item's DIF.

#include "analysis/Analysis.h"
#include "analysis/Dif.h"
#include "analysis/ExamAnswers.h"
#include "cli/CommandOptions.h"
#include "cli/DataText.h"
#include "cli/Fail.h"
#include "cli/PoolCommand.h"
#include "cli/Progress.h"

#include <cmath>
#include <cstdio>
#include <iostream>

namespace ia::cli {

namespace {

const char* const kCompareUsage =
    "วิธีใช้:\n  itemanalysis-cli compare FILE [--json | --csv DIR] [--reference GROUP] "
    "[--focal GROUP] [--purify]\n";

std::string GroupName(const GroupAnalysis& g, std::optional<int> index) {
    return index ? g.groups.names[static_cast<size_t>(*index)] : std::string();
}

std::string JsonGroup(const GroupAnalysis& g, std::optional<int> index) {
    return index ? JsonString(GroupName(g, index)) : "null";
}

std::string EtsText(std::optional<EtsClass> c) {
    return c ? EtsClassName(*c) : "";
}

} // namespace

std::string GroupComparisonJson(const GroupAnalysis& g) {
    const GroupComparison& c = g.comparison;
    std::string j = "{\"groups\": [";
    for (size_t k = 0; k < c.groups.size(); ++k) {
        const GroupSummary& s = c.groups[k];
        j += std::string(k ? ",\n  " : "\n  ") + "{\"name\": " + JsonString(s.name) +
             ", \"n\": " + std::to_string(s.n) + ", \"mean\": " + Number(s.mean) +
             ", \"sd\": " + Number(s.sd) + ", \"kr20\": " + JsonNumber(s.kr20) +
             ", \"judged\": " + (s.judged ? "true" : "false") + "}";
    }
    j += "],\n \"minimum_group\": " + std::to_string(kGroupMinimumSheets) +
         ", \"p_difference_above\": " + Number(kGroupPDifferenceAbove) +
         ", \"ungrouped_sheets\": " + std::to_string(c.ungroupedSheets) + ",\n \"items\": [";
    for (size_t i = 0; i < c.items.size(); ++i) {
        const ComparedItem& it = c.items[i];
        j += std::string(i ? ",\n  " : "\n  ") + "{\"item\": " + std::to_string(it.item) +
             ", \"pooled_p\": " + Number(it.pooledP) + ", \"by_group\": {";
        for (size_t k = 0; k < it.byGroup.size(); ++k) {
            const GroupItemStatistics& s = it.byGroup[k];
            j += std::string(k ? ", " : "") + JsonString(c.groups[k].name) +
                 ": {\"n\": " + std::to_string(s.n) + ", \"p\": " + JsonNumber(s.p) +
                 ", \"r_it\": " + JsonNumber(s.rit) +
                 ", \"marked\": " + (s.marked ? "true" : "false") + "}";
        }
        j += std::string("}, \"flag\": ") + (it.flag ? "true" : "false") + "}";
    }
    j += "],\n \"dif\": [";
    if (g.dif) {
        const DifResult& d = *g.dif;
        for (size_t i = 0; i < d.items.size(); ++i) {
            const ItemDif& it = d.items[i];
            j += std::string(i ? ",\n  " : "\n  ") + "{\"item\": " + std::to_string(it.item) +
                 ", \"reference\": " + JsonGroup(g, d.reference) +
                 ", \"focal\": " + JsonGroup(g, d.focal) +
                 ", \"alpha_mh\": " + JsonNumber(it.mh.alpha) +
                 ", \"delta_mh\": " + JsonNumber(it.mh.delta) +
                 ", \"chi2_mh\": " + JsonNumber(it.mh.chi2) +
                 ", \"p_value\": " + JsonNumber(it.mh.pValue) +
                 ", \"se_delta\": " + JsonNumber(it.mh.deltaSe) +
                 ", \"ets_class\": " + (it.ets ? JsonString(EtsClassName(*it.ets)) : "null") +
                 ", \"favours\": " + JsonGroup(g, it.favours) +
                 ", \"judgement\": " + JsonString(DifJudgement(it.ets, GroupName(g, it.favours))) +
                 "}";
        }
    }
    j += "],\n \"purified\": ";
    j += g.dif && g.dif->purified ? "true" : "false";
    j += ", \"purified_items\": [";
    if (g.dif)
        for (size_t i = 0; i < g.dif->purifiedItems.size(); ++i)
            j += (i ? ", " : "") + std::to_string(g.dif->purifiedItems[i]);
    j += "]";
    if (g.dif && g.groups.names.size() > 2) {
        j += ",\n \"gmh\": [";
        for (size_t i = 0; i < g.dif->gmh.size(); ++i) {
            const ItemGmh& it = g.dif->gmh[i];
            j += std::string(i ? ",\n  " : "\n  ") + "{\"item\": " + std::to_string(it.item) +
                 ", \"chi2\": " + JsonNumber(it.gmh.chi2) +
                 ", \"df\": " + std::to_string(it.gmh.df) +
                 ", \"p_value\": " + JsonNumber(it.gmh.pValue) + "}";
        }
        j += "]";
    }
    return j + "}\n";
}

std::string WriteGroupComparisonCsv(const GroupAnalysis& g, const std::string& dir) {
    const GroupComparison& c = g.comparison;
    std::string groups = CsvRow({"name", "n", "mean", "sd", "kr20", "judged"});
    for (const GroupSummary& s : c.groups)
        groups += CsvRow({s.name, std::to_string(s.n), Number(s.mean), Number(s.sd),
                          CsvNumber(s.kr20), s.judged ? "true" : "false"});
    std::string items = CsvRow({"item", "group", "n", "p", "r_it", "pooled_p", "marked", "flag"});
    for (const ComparedItem& it : c.items)
        for (size_t k = 0; k < it.byGroup.size(); ++k) {
            const GroupItemStatistics& s = it.byGroup[k];
            items += CsvRow({std::to_string(it.item), c.groups[k].name, std::to_string(s.n),
                             CsvNumber(s.p), CsvNumber(s.rit), Number(it.pooledP),
                             s.marked ? "true" : "false", it.flag ? "true" : "false"});
        }
    std::string dif = CsvRow({"item", "reference", "focal", "alpha_mh", "delta_mh", "chi2_mh",
                              "p_value", "se_delta", "ets_class", "favours", "judgement"});
    std::string gmh = CsvRow({"item", "chi2", "df", "p_value"});
    if (g.dif) {
        for (const ItemDif& it : g.dif->items)
            dif += CsvRow({std::to_string(it.item), GroupName(g, g.dif->reference),
                           GroupName(g, g.dif->focal), CsvNumber(it.mh.alpha),
                           CsvNumber(it.mh.delta), CsvNumber(it.mh.chi2), CsvNumber(it.mh.pValue),
                           CsvNumber(it.mh.deltaSe), EtsText(it.ets), GroupName(g, it.favours),
                           DifJudgement(it.ets, GroupName(g, it.favours))});
        for (const ItemGmh& it : g.dif->gmh)
            gmh += CsvRow({std::to_string(it.item), CsvNumber(it.gmh.chi2),
                           std::to_string(it.gmh.df), CsvNumber(it.gmh.pValue)});
    }
    std::vector<std::pair<std::string, const std::string*>> files{
        {"groups.csv", &groups}, {"items.csv", &items}, {"dif.csv", &dif}};
    if (g.groups.names.size() > 2) files.push_back({"gmh.csv", &gmh});
    return WriteCsvFiles(dir, files);
}

namespace {

std::string Fixed(const std::optional<double>& x, int decimals) {
    if (!x || !std::isfinite(*x)) return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, *x);
    return buf;
}

// The comparison as the teacher reads it on a terminal.
std::string GroupComparisonTable(const GroupAnalysis& g) {
    const GroupComparison& c = g.comparison;
    std::string t = "กลุ่ม\tN\tค่าเฉลี่ย\tSD\tKR-20\n";
    for (const GroupSummary& s : c.groups)
        t += s.name + "\t" + std::to_string(s.n) + "\t" + Fixed(s.mean, 2) + "\t" + Fixed(s.sd, 2) +
             "\t" + Fixed(s.kr20, 2) + (s.judged ? "" : "\t(ไม่ตัดสิน)") + "\n";
    t += "\nค่าความยาก p รายข้อ (* ต่างจาก p รวมเกิน " + Fixed(kGroupPDifferenceAbove, 2) +
         "; กลุ่มที่มีน้อยกว่า " + std::to_string(kGroupMinimumSheets) + " คนแสดงไว้แต่ไม่ตัดสิน)\nข้อ\tp รวม";
    for (const GroupSummary& s : c.groups)
        t += "\t" + s.name;
    t += "\n";
    for (const ComparedItem& it : c.items) {
        t += std::to_string(it.item) + "\t" + Fixed(it.pooledP, 2);
        for (const GroupItemStatistics& s : it.byGroup)
            t += "\t" + Fixed(s.p, 2) + (s.marked ? "*" : "");
        t += "\n";
    }
    if (!g.dif) return t + "\nมีกลุ่มเดียว จึงไม่ตรวจการทำหน้าที่ต่างกัน (DIF)\n";
    const DifResult& d = *g.dif;
    t += "\nการทำหน้าที่ต่างกัน (DIF) แบบ Mantel–Haenszel กลุ่มอ้างอิง " + GroupName(g, d.reference) +
         " กลุ่มเปรียบเทียบ " + GroupName(g, d.focal) + (d.purified ? " (ปรับคะแนนจับคู่แล้ว)" : "") +
         "\nข้อ\tα_MH\tΔ_MH\tχ²_MH\tp\tระดับ\tการแปลผล\n";
    for (const ItemDif& it : d.items)
        t += std::to_string(it.item) + "\t" + Fixed(it.mh.alpha, 3) + "\t" + Fixed(it.mh.delta, 3) +
             "\t" + Fixed(it.mh.chi2, 3) + "\t" + Fixed(it.mh.pValue, 4) + "\t" +
             (it.ets ? EtsClassName(*it.ets) : "-") + "\t" +
             DifJudgement(it.ets, GroupName(g, it.favours)) + "\n";
    if (!d.purifiedItems.empty()) {
        t += "ข้อที่ไม่นำมารวมในคะแนนจับคู่ (ระดับ C ในรอบแรก) :";
        for (int i : d.purifiedItems)
            t += " " + std::to_string(i);
        t += "\n";
    }
    if (!d.gmh.empty()) {
        t += "\nทดสอบทุกกลุ่มพร้อมกัน (generalised Mantel–Haenszel)\nข้อ\tχ²\tdf\tp\n";
        for (const ItemGmh& it : d.gmh)
            t += std::to_string(it.item) + "\t" + Fixed(it.gmh.chi2, 3) + "\t" +
                 std::to_string(it.gmh.df) + "\t" + Fixed(it.gmh.pValue, 4) + "\n";
    }
    return t;
}

} // namespace

int CompareCommand(int argc, char** argv) {
    CommandOptions options;
    if (auto rc = ReadCommandOptions(
            argc, argv, {1, {"--csv", "--reference", "--focal"}, {"--json", "--purify"}, {}},
            options, kCompareUsage))
        return *rc;
    const std::string& file = options.positional[0];
    try {
        const GroupedAnswers a = LoadGroupedAnswers(file, JobProgress());
        if (a.answers.matrix.sheets < 2) return Fail(kTooFewSheets);
        const GroupAnalysis g =
            AnalyseGroups(a.answers.matrix, a.labels, options.value("--reference"),
                          options.value("--focal"), options.has("--purify"));
        if (g.comparison.ungroupedSheets > 0)
            Warn(std::to_string(g.comparison.ungroupedSheets) + " แผ่นไม่มีกลุ่ม จึงไม่นำมาเปรียบเทียบ");
        if (options.given("--csv"))
            if (std::string err = WriteGroupComparisonCsv(g, options.value("--csv")); !err.empty())
                return Fail(err);
        if (options.has("--json"))
            std::cout << GroupComparisonJson(g);
        else if (options.given("--csv"))
            std::cout << options.value("--csv") << "\n";
        else
            std::cout << GroupComparisonTable(g);
    } catch (const JobCancelled&) {
        throw;
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return 0;
}

} // namespace ia::cli
