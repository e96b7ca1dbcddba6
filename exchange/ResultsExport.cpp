// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ResultsExport.h"

#include "analysis/Dif.h"
#include "analysis/ExamAnswers.h"
#include "analysis/ItemStatistics.h"
#include "examfile/AnalysisRunLog.h"
#include "examfile/Engine.h"
#include "examfile/OutputFile.h"
#include "examfile/Schema.h"
#include "examfile/SheetTies.h"
#include "exchange/TextTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>
#include <xlsxwriter.h>

namespace ia {

std::vector<SheetScore> ComputeScores(const std::vector<std::string>& key,
                                      const std::vector<bool>& keyNull,
                                      const std::vector<std::string>& codes,
                                      const std::vector<std::vector<std::string>>& answers) {
    // The percent is of the items a student could score: a key never typed
    // (NULL) is counted by the analysis but can give nobody a point.
    int keyed = 0;
    for (size_t i = 0; i < key.size(); ++i)
        keyed += !keyNull[i] && !key[i].empty() && key[i] != "0";
    const size_t n = codes.size();
    std::vector<SheetScore> out(n);
    double sum = 0, sum2 = 0;
    for (size_t s = 0; s < n; ++s) {
        int score = 0;
        for (size_t i = 0; i < key.size() && i < answers[s].size(); ++i)
            score += !keyNull[i] && !key[i].empty() && key[i] != "0" && answers[s][i] == key[i];
        out[s].code = codes[s];
        out[s].score = score;
        out[s].hasPercent = keyed > 0;
        out[s].percent = keyed > 0 ? 100.0 * score / keyed : 0;
        sum += score;
        sum2 += static_cast<double>(score) * score;
    }
    if (n == 0) return out;
    const double mean = sum / n;
    const double variance = std::max(0.0, sum2 / n - mean * mean);
    const double sd = std::sqrt(variance);
    std::vector<int> sorted;
    sorted.reserve(n);
    for (const auto& s : out)
        sorted.push_back(s.score);
    std::sort(sorted.begin(), sorted.end());
    for (auto& s : out) {
        const auto lo = std::lower_bound(sorted.begin(), sorted.end(), s.score);
        const auto hi = std::upper_bound(sorted.begin(), sorted.end(), s.score);
        const double below = static_cast<double>(lo - sorted.begin());
        const double equal = static_cast<double>(hi - lo);
        s.percentileRank = (below + equal / 2) / n * 100;
        s.rank = static_cast<int>(sorted.end() - hi) + 1;
        s.hasZ = sd > 1e-12;
        if (s.hasZ) {
            s.z = (s.score - mean) / sd;
            s.t = 50 + 10 * s.z;
        }
    }
    return out;
}

namespace {

SpreadsheetRow Texts(std::initializer_list<const char*> texts) {
    SpreadsheetRow r;
    for (const char* t : texts)
        r.push_back(OutCell::Of(std::string(t)));
    return r;
}

// A stored statistic (a formatted text such as "  12.5000") as a number;
// a text that is no number stays a text, an empty one an empty cell.
OutCell StoredNumber(const Value& v) {
    if (v.isNull()) return {};
    if (v.isInt() || v.isReal()) return OutCell::Of(v.number());
    const std::string t = Trimmed(v.text());
    if (t.empty()) return {};
    char* end = nullptr;
    const double d = std::strtod(t.c_str(), &end);
    if (end != t.c_str() && *end == '\0') return OutCell::Of(d);
    return OutCell::Of(t);
}

OutCell TextOrEmpty(const Value& v) {
    const std::string t = Trimmed(v.text());
    return t.empty() ? OutCell{} : OutCell::Of(t);
}

// An answer as a number where it is a digit, so that a spreadsheet can
// count it; other marks as text.
OutCell AnswerCell(const std::string& a) {
    if (a.empty()) return {};
    if (a.size() == 1 && a[0] >= '0' && a[0] <= '9') return OutCell::Of(double(a[0] - '0'));
    return OutCell::Of(a);
}

OutCell Maybe(const std::optional<double>& v) {
    return v ? OutCell::Of(*v) : OutCell{};
}

const char* const kGroupsSheet = "กลุ่ม";
const char* const kGroupItemsSheet = "เปรียบเทียบกลุ่ม";

// The columns of the summary table. One row per source of figures (the
// results the analysis stored, the statistics of the answers now), so that
// every column holds one kind of value: R and a spreadsheet type each
// column by itself, and the summaries of several files stack into one
// table. A name/value pair per row would mix the technique's name, the
// time and the notice with the numbers and leave every value a text.
enum SummaryColumn {
    SumSource,
    SumTechnique,
    SumAnalysedAt,
    SumNote,
    SumSheets,
    SumKeyedItems,
    SumMaxScore,
    SumMinScore,
    SumMean,
    SumSd,
    SumKr20,
    SumKr21,
    SumSem,
    SumSplitHalf,
    SumAverageP,
    SumAverageR,
    SumAverageDelta,
    SumAverageZr,
    SumColumns
};
const char* const kSummaryHeader[SumColumns] = {"ที่มา",
                                                "เทคนิค",
                                                "วิเคราะห์เมื่อ",
                                                "หมายเหตุ",
                                                "จำนวนกระดาษคำตอบ",
                                                "จำนวนข้อที่มีเฉลย",
                                                "คะแนนสูงสุด",
                                                "คะแนนต่ำสุด",
                                                "ค่าเฉลี่ย",
                                                "ส่วนเบี่ยงเบนมาตรฐาน",
                                                "KR-20",
                                                "KR-21",
                                                "ความคลาดเคลื่อนมาตรฐานของการวัด",
                                                "ความเที่ยงแบบแบ่งครึ่ง",
                                                "p เฉลี่ย",
                                                "r เฉลี่ย",
                                                "delta เฉลี่ย",
                                                "Zr เฉลี่ย"};
const char* const kStoredSource = "ผลวิเคราะห์ที่บันทึกไว้";
const char* const kCurrentSource = "สถิติรายข้อจากคำตอบปัจจุบัน";

SpreadsheetRow SummaryRow(const char* source) {
    SpreadsheetRow r(SumColumns);
    r[SumSource] = OutCell::Of(std::string(source));
    return r;
}

// The sheet "เปรียบเทียบกลุ่ม", only for a file whose sheets have groups (a
// pooled one): the groups, p by group with the far ones marked, and the
// DIF of the default pair.
void AddGroupComparison(Connection& db, const ExamAnswers& exam, std::vector<OutSheet>& out) {
    GroupAnalysis g;
    try {
        const std::vector<std::string> labels = LoadGroupLabels(db);
        bool grouped = false;
        for (const std::string& l : labels)
            grouped = grouped || !l.empty();
        if (!grouped) return;
        g = AnalyseGroups(exam.matrix, labels, "", "", false);
    } catch (const std::exception&) {
        return;
    }
    // Two tables, each on its own sheet: the groups, and the items by group.
    OutSheet groups{kGroupsSheet, {}, 1};
    groups.rows.push_back(Texts({"กลุ่ม", "N", "ค่าเฉลี่ย", "SD", "KR-20", "หมายเหตุ"}));
    for (const GroupSummary& s : g.comparison.groups)
        groups.rows.push_back(
            {OutCell::Of(s.name), OutCell::Of(double(s.n)), OutCell::Of(s.mean), OutCell::Of(s.sd),
             Maybe(s.kr20),
             s.judged
                 ? OutCell{}
                 : OutCell::Of("น้อยกว่า " + std::to_string(kGroupMinimumSheets) + " คน ไม่ตัดสิน")});
    OutSheet sheet{kGroupItemsSheet, {}, 1};
    SpreadsheetRow head = Texts({"ข้อ", "p รวม"});
    for (const GroupSummary& s : g.comparison.groups)
        head.push_back(OutCell::Of("p " + s.name));
    head.push_back(OutCell::Of(std::string("ต่างจาก p รวมเกิน 0.20")));
    // The pair the DIF compares goes on every row, as a reader filtering
    // the table by item still sees which groups it is of.
    if (g.dif)
        for (const char* h : {"α_MH", "Δ_MH", "χ²_MH", "p-value", "ระดับ ETS", "เอื้อต่อกลุ่ม",
                              "การแปลผล", "กลุ่มอ้างอิง", "กลุ่มเปรียบเทียบ"})
            head.push_back(OutCell::Of(std::string(h)));
    sheet.rows.push_back(std::move(head));
    for (size_t i = 0; i < g.comparison.items.size(); ++i) {
        const ComparedItem& it = g.comparison.items[i];
        SpreadsheetRow r{OutCell::Of(double(it.item)), OutCell::Of(it.pooledP)};
        std::string marked;
        for (size_t k = 0; k < it.byGroup.size(); ++k) {
            r.push_back(Maybe(it.byGroup[k].p));
            if (it.byGroup[k].marked)
                marked += (marked.empty() ? "" : ", ") + g.comparison.groups[k].name;
        }
        r.push_back(marked.empty() ? OutCell{} : OutCell::Of(marked));
        if (g.dif) {
            const ItemDif& d = g.dif->items[i];
            const std::string favoured =
                d.favours ? g.groups.names[static_cast<size_t>(*d.favours)] : std::string();
            r.push_back(Maybe(d.mh.alpha));
            r.push_back(Maybe(d.mh.delta));
            r.push_back(Maybe(d.mh.chi2));
            r.push_back(Maybe(d.mh.pValue));
            r.push_back(d.ets ? OutCell::Of(std::string(EtsClassName(*d.ets))) : OutCell{});
            r.push_back(favoured.empty() ? OutCell{} : OutCell::Of(favoured));
            r.push_back(OutCell::Of(DifJudgement(d.ets, favoured)));
            r.push_back(OutCell::Of(g.groups.names[static_cast<size_t>(g.dif->reference)]));
            r.push_back(OutCell::Of(g.groups.names[static_cast<size_t>(g.dif->focal)]));
        }
        sheet.rows.push_back(std::move(r));
    }
    out.push_back(std::move(groups));
    out.push_back(std::move(sheet));
}

// The whole-test item statistics of the answers as they are now, read the
// way the statistics panel reads them: one row per keyed item, and one per
// choice of it; the whole-test figures go to `summary`. exam is null when
// the answers cannot be read; the summary then says why (`unreadable`).
void AddItemStatistics(const ExamAnswers* exam, const std::string& unreadable,
                       std::vector<OutSheet>& out, SpreadsheetRow& summary) {
    OutSheet items{"สถิติรายข้อ", {}, 1};
    OutSheet choices{"ตัวเลือก", {}, 1};
    items.rows.push_back(
        Texts({"ข้อ", "เฉลย", "p", "r_it", "KR-20 เมื่อตัดข้อนี้", "ไม่ตอบ", "ตอบนอกตัวเลือก", "ข้อสังเกต"}));
    choices.rows.push_back(
        Texts({"ข้อ", "ตัวเลือก", "เฉลย", "จำนวน", "สัดส่วน", "คะแนนเฉลี่ยของผู้เลือก", "r_pb",
               "กลุ่ม 1 (ต่ำสุด)", "กลุ่ม 2", "กลุ่ม 3", "กลุ่ม 4", "กลุ่ม 5 (สูงสุด)"}));
    if (!exam) {
        summary[SumNote] = OutCell::Of(unreadable);
        out.push_back(std::move(items));
        out.push_back(std::move(choices));
        return;
    }
    const AnswerMatrix& m = exam->matrix;
    const TestStatistics t = ComputeItemStatistics(m);
    for (const ItemStatistics& it : t.items) {
        std::string flags;
        for (const ItemFlag& f : it.flags)
            flags += (flags.empty() ? "" : "; ") + f.text;
        items.rows.push_back({OutCell::Of(double(it.item)),
                              it.key >= 1 && it.key <= 9 ? OutCell::Of(double(it.key))
                                                         : OutCell::Of(exam->keyTexts[it.item - 1]),
                              OutCell::Of(it.p), Maybe(it.rit), Maybe(it.alphaIfDeleted),
                              OutCell::Of(double(it.omitted)), OutCell::Of(double(it.invalid)),
                              flags.empty() ? OutCell{} : OutCell::Of(flags)});
        for (const ChoiceStatistics& c : it.choices) {
            SpreadsheetRow r{
                OutCell::Of(double(it.item)),
                c.choice ? OutCell::Of(double(c.choice)) : OutCell::Of(std::string("ไม่ตอบ")),
                c.choice && c.choice == it.key ? OutCell::Of(std::string("*")) : OutCell{},
                OutCell::Of(double(c.count)),
                OutCell::Of(c.proportion),
                Maybe(c.meanScore),
                Maybe(c.rpb)};
            for (const auto& g : c.groups)
                r.push_back(Maybe(g));
            choices.rows.push_back(std::move(r));
        }
    }
    summary[SumSheets] = OutCell::Of(double(t.sheets));
    summary[SumKeyedItems] = OutCell::Of(double(t.keyedItems));
    summary[SumMean] = OutCell::Of(t.mean);
    summary[SumSd] = OutCell::Of(t.sd);
    summary[SumKr20] = Maybe(t.kr20);
    summary[SumKr21] = Maybe(t.kr21);
    summary[SumSem] = Maybe(t.sem);
    summary[SumSplitHalf] = Maybe(t.splitHalf);
    out.push_back(std::move(items));
    out.push_back(std::move(choices));
}

std::string TechniqueName(int technique) {
    return technique == 1 ? "เทคนิค 25%" : technique == 2 ? "เทคนิค 27%" : "เทคนิคไม่ทราบ";
}

} // namespace

std::vector<OutSheet> BuildExportSheets(Connection& db, int nItem, Progress& progress) {
    // Every sheet of the workbook from one state of the file, even while
    // another program imports into it.
    ReadSnapshot snapshot(db);
    std::vector<std::string> key(nItem);
    std::vector<bool> keyNull(nItem, false);
    {
        std::string sql = "SELECT ";
        for (int i = 1; i <= nItem; ++i)
            sql += std::string(i > 1 ? ", " : "") + schema::AnswerColumn(i);
        if (nItem == 0) sql += "1";
        Statement st = db.prepare(sql + " FROM " + schema::kKeyTable);
        if (st.step())
            for (int i = 0; i < nItem; ++i) {
                auto t = st.columnText(i);
                keyNull[i] = !t;
                key[i] = t ? std::string(*t) : "";
            }
    }
    std::vector<std::string> codes;
    std::vector<long long> rowids;
    std::vector<std::vector<std::string>> answers;
    {
        std::string sql = std::string("SELECT ") + schema::kSheetCode;
        for (int i = 1; i <= nItem; ++i)
            sql += ", " + schema::AnswerColumn(i);
        long long total = 0;
        {
            Statement count =
                db.prepare(std::string("SELECT count(*) FROM ") + schema::kSheetsTable);
            if (count.step()) total = count.columnInt(0);
        }
        progress.stage(kReadingSheetsStage, total);
        Statement st = db.prepare(sql + ", rowid FROM " + schema::kSheetsTable + " ORDER BY rowid");
        while (st.step()) {
            progress.step(static_cast<long long>(codes.size()));
            rowids.push_back(st.columnInt(nItem + 1));
            auto c = st.columnText(0);
            codes.emplace_back(c ? *c : std::string_view());
            std::vector<std::string> a(nItem);
            for (int i = 0; i < nItem; ++i)
                if (auto t = st.columnText(i + 1)) a[i] = *t;
            answers.push_back(std::move(a));
        }
    }

    // The students' names, beside the code, in a file that keeps them.
    const std::map<long long, std::string> names = LoadSheetNames(db);
    const bool named = !names.empty();
    auto nameOf = [&](size_t sheet) {
        const auto it = names.find(rowids[sheet]);
        return it == names.end() || it->second.empty() ? OutCell{} : OutCell::Of(it->second);
    };
    auto codeHeader = [&] { return named ? Texts({"รหัส", "ชื่อ"}) : Texts({"รหัส"}); };

    OutSheet scores{kScoresSheet, {}, 1};
    scores.rows.push_back(codeHeader());
    for (const char* h : {"คะแนน", "ร้อยละ", "ตำแหน่งเปอร์เซ็นไทล์", "z", "T", "อันดับ"})
        scores.rows[0].push_back(OutCell::Of(std::string(h)));
    const std::vector<SheetScore> scored = ComputeScores(key, keyNull, codes, answers);
    for (size_t i = 0; i < scored.size(); ++i) {
        const SheetScore& s = scored[i];
        SpreadsheetRow r{OutCell::Of(s.code)};
        if (named) r.push_back(nameOf(i));
        r.push_back(OutCell::Of(double(s.score)));
        r.push_back(s.hasPercent ? OutCell::Of(s.percent) : OutCell{});
        r.push_back(OutCell::Of(s.percentileRank));
        r.push_back(s.hasZ ? OutCell::Of(s.z) : OutCell{});
        r.push_back(s.hasZ ? OutCell::Of(s.t) : OutCell{});
        r.push_back(OutCell::Of(double(s.rank)));
        scores.rows.push_back(std::move(r));
    }

    // The key stays in the table, as the row "เฉลย" the import takes for the
    // key: what is exported imports back whole. Frozen with the header.
    OutSheet sheetAnswers{kAnswersSheet, {}, 2};
    SpreadsheetRow head = codeHeader();
    for (int i = 1; i <= nItem; ++i)
        head.push_back(OutCell::Of("ข้อ " + std::to_string(i)));
    sheetAnswers.rows.push_back(std::move(head));
    SpreadsheetRow keyRow{OutCell::Of(std::string("เฉลย"))};
    if (named) keyRow.push_back({});
    for (int i = 0; i < nItem; ++i)
        keyRow.push_back(AnswerCell(key[i]));
    sheetAnswers.rows.push_back(std::move(keyRow));
    for (size_t s = 0; s < codes.size(); ++s) {
        SpreadsheetRow r{OutCell::Of(codes[s])};
        if (named) r.push_back(nameOf(s));
        for (int i = 0; i < nItem; ++i)
            r.push_back(AnswerCell(answers[s][i]));
        sheetAnswers.rows.push_back(std::move(r));
    }

    OutSheet results{kResultsSheet, {}, 1};
    results.rows.push_back(
        Texts({"ข้อ", "ตัวเลือก", "เฉลย", "H", "L", "p", "r", "delta", "ความหมาย"}));
    {
        using namespace schema;
        Statement st = db.prepare(std::string("SELECT ") + kItemNo + ", " + kChoiceNo + ", " +
                                  kIsAnswer + ", " + kHighCount + ", " + kLowCount + ", " +
                                  kDifficulty + ", " + kDiscrimination + ", " + kDelta + ", " +
                                  kExplain + " FROM " + kResultsTable + " ORDER BY rowid");
        while (st.step()) {
            SpreadsheetRow r{StoredNumber(st.column(0)), StoredNumber(st.column(1))};
            r.push_back(st.column(2).integer() == 1 ? OutCell::Of(std::string("*")) : OutCell{});
            for (int c = 3; c <= 7; ++c)
                r.push_back(StoredNumber(st.column(c)));
            r.push_back(TextOrEmpty(st.column(8)));
            results.rows.push_back(std::move(r));
        }
    }
    OutSheet summary{kSummarySheet, {}, 1};
    {
        SpreadsheetRow head;
        for (const char* h : kSummaryHeader)
            head.push_back(OutCell::Of(std::string(h)));
        summary.rows.push_back(std::move(head));
    }
    {
        using namespace schema;
        Statement st =
            db.prepare(std::string("SELECT ") + kCaseCount + ", " + kMaxScore + ", " + kMinScore +
                       ", " + kMean + ", " + kSd + ", " + kKr20 + ", " + kSem + ", " + kAverageP +
                       ", " + kAverageR + ", " + kAverageDelta + ", " + kAverageZr + ", " +
                       kStatsItemCount + " FROM " + kStatsTable);
        const auto run = LastAnalysisRun(db);
        const bool stored = st.step();
        if (stored || run) {
            SpreadsheetRow r = SummaryRow(kStoredSource);
            if (run) {
                r[SumTechnique] = OutCell::Of(TechniqueName(run->technique));
                r[SumAnalysedAt] = OutCell::Of(run->time);
            }
            if (stored) {
                const SummaryColumn columns[] = {SumSheets,       SumMaxScore,  SumMinScore,
                                                 SumMean,         SumSd,        SumKr20,
                                                 SumSem,          SumAverageP,  SumAverageR,
                                                 SumAverageDelta, SumAverageZr, SumKeyedItems};
                for (int c = 0; c < 12; ++c)
                    r[columns[c]] = StoredNumber(st.column(c));
            }
            summary.rows.push_back(std::move(r));
        }
    }
    std::vector<OutSheet> out{scores, sheetAnswers, results};
    // The answers are read once, inside the snapshot, for both sheets of
    // statistics.
    std::optional<ExamAnswers> exam;
    std::string unreadable;
    try {
        exam = LoadExamAnswers(db);
    } catch (const std::exception& e) {
        unreadable = e.what();
    }
    SpreadsheetRow current = SummaryRow(kCurrentSource);
    AddItemStatistics(exam ? &*exam : nullptr, unreadable, out, current);
    if (exam) AddGroupComparison(db, *exam, out);
    summary.rows.push_back(std::move(current));
    out.push_back(std::move(summary));
    return out;
}

void NoteResultsCurrency(std::vector<OutSheet>& sheets, const std::string& notice) {
    if (notice.empty()) return;
    for (OutSheet& sheet : sheets) {
        if (sheet.name != kSummarySheet) continue;
        for (SpreadsheetRow& r : sheet.rows)
            if (r.size() > SumNote && r[SumSource].text == kStoredSource) {
                r[SumNote] = OutCell::Of(notice);
                return;
            }
        // Results told of without a row of their own (no statistics row).
        SpreadsheetRow r = SummaryRow(kStoredSource);
        r[SumNote] = OutCell::Of(notice);
        sheet.rows.insert(sheet.rows.begin() + std::min<size_t>(1, sheet.rows.size()),
                          std::move(r));
        return;
    }
}

bool ParseCsvTable(const std::string& name, CsvTable& table) {
    if (name == "scores")
        table = CsvTable::Scores;
    else if (name == "answers")
        table = CsvTable::Answers;
    else if (name == "results")
        table = CsvTable::Results;
    else if (name == "summary")
        table = CsvTable::Summary;
    else
        return false;
    return true;
}

OutSheet CsvSheet(const std::vector<OutSheet>& sheets, CsvTable table) {
    const char* name = table == CsvTable::Scores    ? kScoresSheet
                       : table == CsvTable::Answers ? kAnswersSheet
                       : table == CsvTable::Results ? kResultsSheet
                                                    : kSummarySheet;
    for (const OutSheet& s : sheets)
        if (s.name == name) return s;
    throw std::logic_error(std::string("no sheet ") + name);
}

std::string ExportTargetRefusal(const std::string& examPath, const std::string& out) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const bool same = fs::exists(out, ec)
                          ? fs::equivalent(examPath, out, ec)
                          : fs::weakly_canonical(examPath, ec) == fs::weakly_canonical(out, ec);
    if (same) return "ไฟล์ที่ส่งออกต้องไม่ใช่ไฟล์ข้อสอบ " + examPath;
    return {};
}

namespace {

// A refusal to write over the target says itself; any other failure keeps
// the one sentence the export has always given.
std::string WriteFailed(const std::string& path, const std::string& reason = {}) {
    if (IsRefusedTargetMessage(reason) || IsChangedTemporaryMessage(reason)) return reason;
    return "เขียนไฟล์ " + path + " ไม่ได้";
}

std::string NumberText(double v) {
    char buf[40];
    if (v == std::floor(v) && std::fabs(v) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", v);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string CsvField(const OutCell& c) {
    if (c.kind == OutCell::Number) return NumberText(c.number);
    if (c.kind == OutCell::Empty) return {};
    return CsvText(c.text);
}

} // namespace

bool WriteXlsx(const std::vector<OutSheet>& sheets, const std::string& path, std::string& error,
               Progress& progress) {
    std::unique_ptr<OutputFile> file;
    try {
        file = std::make_unique<OutputFile>(path, "export");
    } catch (const ReplaceFileError& e) {
        error = WriteFailed(path, e.what());
        return false;
    }
    // The writer takes a path only: the descriptor's own, which leads to
    // the temporary whatever happens to names in the folder.
    lxw_workbook* wb = workbook_new(file->descriptorPath().c_str());
    if (!wb) {
        error = WriteFailed(path);
        return false;
    }
    // A cancelled export leaves neither the workbook's memory nor its
    // temporary file behind (the OutputFile removes the file).
    struct Unfinished {
        lxw_workbook*& wb;
        ~Unfinished() {
            if (wb) lxw_workbook_free(wb);
        }
    } unfinished{wb};
    long long total = 0, written = 0;
    for (const OutSheet& s : sheets)
        total += static_cast<long long>(s.rows.size());
    progress.stage(kExportingStage, total);
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format* decimals = workbook_add_format(wb);
    format_set_num_format(decimals, "0.00##");
    for (const OutSheet& s : sheets) {
        lxw_worksheet* ws = workbook_add_worksheet(wb, s.name.c_str());
        std::vector<int> widths;
        for (size_t r = 0; r < s.rows.size(); ++r) {
            progress.step(written++);
            const bool head = static_cast<int>(r) < s.frozenRows;
            for (size_t c = 0; c < s.rows[r].size(); ++c) {
                const OutCell& cell = s.rows[r][c];
                int w = 0;
                if (cell.kind == OutCell::Text) {
                    worksheet_write_string(ws, r, c, cell.text.c_str(), head ? bold : nullptr);
                    w = CharCount(cell.text);
                } else if (cell.kind == OutCell::Number) {
                    const bool whole = cell.number == std::floor(cell.number);
                    worksheet_write_number(ws, r, c, cell.number, whole ? nullptr : decimals);
                    w = whole ? static_cast<int>(NumberText(cell.number).size()) : 8;
                }
                // A title above the table spans the columns; it sets no width.
                if (head && s.rows[r].size() == 1 && s.frozenRows > 1) continue;
                if (widths.size() <= c) widths.resize(c + 1, 0);
                widths[c] = std::max(widths[c], w);
            }
        }
        for (size_t c = 0; c < widths.size(); ++c)
            worksheet_set_column(ws, c, c, std::clamp(widths[c] + 2, 6, 60), nullptr);
        worksheet_freeze_panes(ws, s.frozenRows, 0);
    }
    progress.step(total);
    lxw_workbook* closing = wb;
    wb = nullptr; // closed, whatever it returns
    const bool closed = workbook_close(closing) == LXW_NO_ERROR;
    try {
        file->commit(closed, [](int fd) {
            char head[4] = {};
            return ::pread(fd, head, 4, 0) == 4 && std::string_view(head, 4) == "PK\x03\x04";
        });
    } catch (const ReplaceFileError& e) {
        error = WriteFailed(path, e.what());
        return false;
    }
    return true;
}

bool WriteCsv(const OutSheet& sheet, const std::string& path, std::string& error,
              Progress& progress) {
    std::unique_ptr<OutputFile> file;
    try {
        file = std::make_unique<OutputFile>(path, "csv");
    } catch (const ReplaceFileError& e) {
        error = WriteFailed(path, e.what());
        return false;
    }
    progress.stage(kExportingStage, static_cast<long long>(sheet.rows.size()));
    std::string out = "\xEF\xBB\xBF";
    long long written = 0;
    bool ok = true;
    for (const SpreadsheetRow& r : sheet.rows) {
        progress.step(written++);
        for (size_t c = 0; c < r.size(); ++c)
            out += (c ? "," : "") + CsvField(r[c]);
        out += "\r\n";
        if (out.size() >= (1 << 16)) {
            ok = ok && file->write(out);
            out.clear();
        }
    }
    ok = ok && file->write(out);
    progress.step(written);
    try {
        file->commit(ok);
    } catch (const ReplaceFileError& e) {
        error = WriteFailed(path, e.what());
        return false;
    }
    return true;
}

} // namespace ia
