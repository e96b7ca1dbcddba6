// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzTargets.h"

#include "TestSupport.h"
#include "analysis/Analysis.h"
#include "analysis/FanTable.h"
#include "analysis/Format.h"
#include "analysis/Stats.h"
#include "examfile/DataView.h"
#include "examfile/ExamFile.h"
#include "examfile/Val.h"
#include "exchange/SheetImport.h"
#include "exchange/XlsxReader.h"
#include "report/ReportModel.h"
#include "report/ReportText.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace iafuzz {

void ExamFileBytes(const uint8_t* data, size_t size) {
    iatest::TempDir dir;
    std::string path = dir.file("f.ans");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    if (!ia::ExamFileRefusal(path).empty()) return;
    ia::ExamViews views;
    ia::TestHeader header;
    ia::AnalysisState state;
    ia::AnalysisHost host;
    ia::AnalysisContext ctx{views, header, state, host};
    try {
        ia::BindExamFile(views, path);
        ia::ReadHeader(views.header, header);
    } catch (const std::exception&) {
        return;
    }
    std::string tables;
    if (const char* env = std::getenv("ITEMANALYSIS_BIN_DIR")) {
        tables = env;
    } else {
        tables = ia::ProgramDir();
    }
    for (ia::Technique technique : {ia::Technique::SimpleFormula25, ia::Technique::FanTable27}) {
        try {
            ia::RunTechnique(ctx, technique, tables);
            ia::RereadResultViews(views);
            const std::string term = header.Term;
            ia::WriteAnalysisReport(views, state, path, header, term);
        } catch (const std::exception&) {
            // Refusals and engine errors are fine; crashes are not.
        }
    }
}

void NumberBytes(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    double v = ia::Val(text);
    (void)ia::IsNumeric(text);
    (void)ia::Hundredths(text);
    (void)ia::RoundHalfEven(v);
    float f = 0;
    if (size >= sizeof f) std::memcpy(&f, data, sizeof f);
    for (float x : {f, static_cast<float>(v)}) {
        for (const std::string& s : {ia::FormatDec2(x), ia::FormatDec1(x), ia::FormatDec4(x)}) {
            if (s.find_first_of("naif#") != std::string::npos) std::abort();
        }
        (void)ia::InvNormal(x);
        if (!std::isfinite(ia::FisherZ(x)) && std::isfinite(x)) std::abort();
        (void)ia::FisherR(x);
    }
    (void)ia::FormatInt3(static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v));
}

namespace {

constexpr int kFuzzItems = 4;
constexpr int kFuzzChoices = 4;

ia::TableLimits FuzzLimits() {
    ia::TableLimits limits;
    limits.columns = kFuzzItems + ia::kMaxLeadingColumns;
    return limits;
}

} // namespace

void XlsxBytes(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names;
    std::string error;
    ia::XlsxSheetNames(bytes, names, error);
    ia::TextTable table;
    if (!ia::ReadXlsxSheet(bytes, "", FuzzLimits(), table, error)) return;
    ia::PlanFromTable(table, ia::SourceKind::Xlsx, kFuzzItems, kFuzzChoices, {});
}

void CsvBytes(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (ia::TextEncoding enc : {ia::TextEncoding::Auto, ia::TextEncoding::Utf8,
                                 ia::TextEncoding::Utf16, ia::TextEncoding::Cp874}) {
        std::string text, error;
        if (!ia::DecodeText(bytes, enc, text, error)) continue;
        ia::TextTable table;
        if (ia::ParseDelimitedWithin(text, ia::DetectDelimiter(text), FuzzLimits(), table, error)) {
            for (ia::TextRow& row : table)
                for (std::string& cell : row) {
                    cell = ia::WithoutFormulaGuard(cell);
                    ia::QuotedCell(cell);
                }
            ia::PlanFromTable(table, ia::SourceKind::Delimited, kFuzzItems, kFuzzChoices, {});
        }
        ia::ImportOptions fixed;
        fixed.fixed = true;
        fixed.codeFrom = 1;
        fixed.codeTo = 3;
        fixed.answersFrom = 4;
        ia::PlanFromFixedWidth(text, kFuzzItems, kFuzzChoices, fixed);
    }
}

} // namespace iafuzz
