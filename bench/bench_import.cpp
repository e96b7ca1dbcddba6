// SPDX-License-Identifier: GPL-3.0-or-later
// Importing answer sheets: a CSV source of many sheets read, checked and
// written, against a plain insert of the same rows into the same table
// (stated as the counter x_insert).

#include "TestSupport.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "exchange/SheetImport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sqlite3.h>

namespace {

constexpr int kItems = 100;
constexpr int kChoices = 5;

struct Source {
    std::string csv;
    std::vector<ia::ImportedSheet> rows;
};

iatest::TempDir& Folder() {
    static iatest::TempDir dir;
    return dir;
}

// A CSV of `sheets` rows (Thai codes, answers 0..5 with some blanks), once
// per size.
const Source& MakeSource(int sheets) {
    static std::map<int, Source> made;
    if (auto it = made.find(sheets); it != made.end()) return it->second;
    Source& s = made[sheets];
    s.csv = Folder().file("source" + std::to_string(sheets) + ".csv");
    std::ofstream out(s.csv, std::ios::binary);
    std::mt19937 rng(17);
    out << "รหัส";
    for (int i = 1; i <= kItems; ++i)
        out << ",ข้อ " << i;
    out << "\nเฉลย";
    for (int i = 0; i < kItems; ++i)
        out << "," << 1 + i % kChoices;
    out << "\n";
    for (int r = 0; r < sheets; ++r) {
        ia::ImportedSheet row;
        row.code = "นักเรียน" + std::to_string(r);
        out << row.code;
        for (int i = 0; i < kItems; ++i) {
            const int a = static_cast<int>(rng() % 7);
            row.answers.push_back(a == 6 ? "" : std::to_string(a));
            out << "," << row.answers.back();
        }
        out << "\n";
        s.rows.push_back(std::move(row));
    }
    return s;
}

std::string FreshExamFile() {
    const std::string path = Folder().file("target.ans");
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (ia::CreateExamFile(path, iatest::MakeHeader(kItems, kChoices)) != 0)
        throw std::runtime_error("no exam file");
    return path;
}

// The same rows with one prepared statement in one transaction, nothing
// read or checked.
void PlainInsert(const std::string& exam, const std::vector<ia::ImportedSheet>& rows) {
    ia::Connection db(exam);
    ia::Transaction tx(db);
    std::string sql = "INSERT INTO TAData (Code";
    for (int i = 1; i <= kItems; ++i)
        sql += ",X" + std::to_string(i);
    sql += ") VALUES (?";
    for (int i = 0; i < kItems; ++i)
        sql += ",?";
    sql += ")";
    ia::Statement st = db.prepare(sql);
    sqlite3_stmt* raw = st.raw();
    for (const auto& r : rows) {
        sqlite3_bind_text(raw, 1, r.code.data(), static_cast<int>(r.code.size()), SQLITE_STATIC);
        for (int i = 0; i < kItems; ++i)
            sqlite3_bind_text(raw, i + 2, r.answers[i].data(),
                              static_cast<int>(r.answers[i].size()), SQLITE_STATIC);
        sqlite3_step(raw);
        sqlite3_reset(raw);
    }
    tx.commit();
}

using Clock = std::chrono::steady_clock;

double InsertSeconds(int sheets) {
    static std::map<int, double> known;
    if (auto it = known.find(sheets); it != known.end()) return it->second;
    const Source& s = MakeSource(sheets);
    double best = 1e9;
    for (int i = 0; i < 2; ++i) {
        const std::string exam = FreshExamFile();
        auto t0 = Clock::now();
        PlainInsert(exam, s.rows);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return known[sheets] = best;
}

void BM_PlainInsert(benchmark::State& st) {
    const Source& s = MakeSource(static_cast<int>(st.range(0)));
    for (auto _ : st) {
        st.PauseTiming();
        const std::string exam = FreshExamFile();
        st.ResumeTiming();
        PlainInsert(exam, s.rows);
    }
}
BENCHMARK(BM_PlainInsert)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

// Reading the CSV, checking every cell, looking for duplicate codes and
// writing in one transaction, as the command line does.
void BM_ImportCsv(benchmark::State& st) {
    const int sheets = static_cast<int>(st.range(0));
    const Source& s = MakeSource(sheets);
    const double insert = InsertSeconds(sheets);
    double total = 0;
    for (auto _ : st) {
        st.PauseTiming();
        const std::string exam = FreshExamFile();
        st.ResumeTiming();
        auto t0 = Clock::now();
        ia::ImportPlan plan = ia::ReadImportSource(s.csv, kItems, kChoices, {});
        if (!plan.ok() || plan.sheets.size() != static_cast<size_t>(sheets))
            st.SkipWithError("source refused");
        ia::Connection db(exam);
        ia::FindDuplicateCodes(plan, ia::ExistingCodes(db));
        ia::ApplyImport(db, plan, ia::ImportMode::Append, kItems);
        total += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    st.counters["x_insert"] = total / static_cast<double>(st.iterations()) / insert;
}
BENCHMARK(BM_ImportCsv)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
