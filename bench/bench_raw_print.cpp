// SPDX-License-Identifier: GPL-3.0-or-later
// The raw-data printout of many sheets into a PDF file, page by page: its
// pages per second (counter pages_per_s, which stays the same as the sheets
// grow tenfold) and the memory it keeps (rss_growth_MB: resident memory
// after the printout less before, which stays flat because a sheet is read
// only when its line is laid out).

#include "TestSupport.h"
#include "report/PrinterPdf.h"
#include "report/RawPrint.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <fstream>
#include <string>

namespace {

constexpr int kItems = 251;

// Sheets made as the printout asks for them, never all at once.
class MadeSheets final : public ia::RawSheetReader {
  public:
    explicit MadeSheets(size_t n) : n_(n) {}
    size_t count() const override { return n_; }
    ia::RawRecord next() override {
        ia::RawRecord r{std::to_string(++made_)};
        for (int i = 1; i <= kItems; ++i)
            r.push_back(std::to_string(1 + (made_ * 7 + static_cast<size_t>(i)) % 5));
        r.push_back(std::to_string(made_ % kItems));
        return r;
    }

  private:
    size_t n_;
    size_t made_ = 0;
};

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

void BM_RawPrintoutToPdf(benchmark::State& st) {
    iatest::TempDir dir;
    const size_t sheets = static_cast<size_t>(st.range(0));
    ia::RawRecord key{"เฉลย"};
    for (int i = 1; i <= kItems; ++i)
        key.push_back(std::to_string(1 + i % 5));
    key.push_back(std::to_string(kItems));
    double growth = 0;
    for (auto _ : st) {
        const double before = ResidentMegabytes();
        ia::PdfPrinter prn(dir.file("raw.pdf"));
        ia::TestHeader header = iatest::MakeHeader(kItems, 5);
        MadeSheets reader(sheets);
        ia::RawPrint(prn, header, "โรงเรียนบ้านหนองบัว", key, reader);
        growth = ResidentMegabytes() - before;
    }
    const double pages = static_cast<double>(sheets / 20 + 1);
    st.counters["pages"] = pages;
    st.counters["pages_per_s"] =
        benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate);
    st.counters["rss_growth_MB"] = growth;
}

BENCHMARK(BM_RawPrintoutToPdf)->Arg(2000)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
