// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/ExamAnswers.h"

#include "analysis/Analysis.h"
#include "examfile/Engine.h"
#include "examfile/ExamFile.h"
#include "examfile/KeyRule.h"
#include "examfile/NewFileRules.h"
#include "examfile/Schema.h"

namespace ia {

namespace {

// "1" .. "9" as the choice, 0 otherwise.
int ChoiceOf(std::string_view t, int choices) {
    if (t.size() != 1 || t[0] < '1' || t[0] > '9') return 0;
    const int c = t[0] - '0';
    return c <= choices ? c : 0;
}

bool NoAnswerText(std::optional<std::string_view> t) {
    return !t || t->empty() || *t == "0";
}

} // namespace

AnswerCode AnswerCodeOf(std::optional<std::string_view> text, int choices,
                        std::string_view keyText) {
    if (NoAnswerText(text)) return kNoAnswer;
    if (int c = ChoiceOf(*text, choices)) return static_cast<AnswerCode>(c);
    return *text == keyText ? kOtherKey : kOtherAnswer;
}

AnswerCode KeyCodeOf(std::optional<std::string_view> text, int choices) {
    if (!IsKeyed(text)) return kNoAnswer;
    if (int c = ChoiceOf(*text, choices)) return static_cast<AnswerCode>(c);
    return kOtherKey;
}

ExamAnswers LoadExamAnswers(const std::string& path, Progress& progress) {
    std::optional<Connection> reader;
    if (std::string refusal = ExamFileRefusal(path, reader); !refusal.empty())
        throw AnalysisError(refusal);
    return LoadExamAnswers(*reader, progress);
}

ExamAnswers LoadExamAnswers(Connection& db, Progress& progress) {
    const std::string& path = db.path();
    ExamAnswers out;
    AnswerMatrix& m = out.matrix;
    try {
        ReadSnapshot snapshot(db);
        {
            auto st = db.prepare(std::string("SELECT ") + schema::kItemCount + ", " +
                                 schema::kChoiceCount + " FROM " + schema::kHeaderTable +
                                 " ORDER BY rowid LIMIT 1");
            if (!st.step()) throw AnalysisError(BadStructureMessage(path));
            m.items = static_cast<int>(st.columnInt(0));
            m.choices = static_cast<int>(st.columnInt(1));
        }
        if (m.choices < 2 || m.choices > 5) throw AnalysisError(kChoicesOutOfRange);
        std::string cols;
        for (int i = 1; i <= m.items; ++i)
            cols += (i > 1 ? ",\"" : "\"") + schema::AnswerColumn(i) + "\"";
        if (cols.empty()) cols = "NULL"; // a test of no items still has its sheets
        {
            auto st = db.prepare("SELECT " + cols + " FROM " + schema::kKeyTable +
                                 " ORDER BY rowid LIMIT 1");
            const bool row = st.step();
            for (int i = 0; i < m.items; ++i) {
                std::optional<std::string_view> v;
                if (row) v = st.columnText(i);
                m.keys.push_back(KeyCodeOf(v, m.choices));
                out.keyTexts.push_back(v ? std::string(*v) : std::string());
            }
        }
        long long total = 0;
        {
            auto count = db.prepare(std::string("SELECT count(*) FROM ") + schema::kSheetsTable);
            if (count.step()) total = count.columnInt(0);
        }
        progress.stage(kReadingSheetsStage, total);
        auto st =
            db.prepare("SELECT " + cols + " FROM " + schema::kSheetsTable + " ORDER BY rowid");
        while (st.step()) {
            progress.step(m.sheets);
            for (int i = 0; i < m.items; ++i)
                m.answers.push_back(AnswerCodeOf(st.columnText(i), m.choices,
                                                 m.keys[i] == kOtherKey ? out.keyTexts[i] : ""));
            ++m.sheets;
        }
        progress.step(m.sheets);
    } catch (const DbError& e) {
        throw AnalysisError(Connection::ErrorText(e.code(), e.what()));
    }
    return out;
}

std::vector<std::string> LoadGroupLabels(const std::string& path) {
    std::optional<Connection> reader;
    if (std::string refusal = ExamFileRefusal(path, reader); !refusal.empty())
        throw AnalysisError(refusal);
    return LoadGroupLabels(*reader);
}

std::vector<std::string> LoadGroupLabels(Connection& db) {
    std::vector<std::string> out;
    try {
        bool hasGroups = false;
        for (const std::string& t : db.tableNames())
            hasGroups = hasGroups || t == schema::kSheetGroupTable;
        using namespace schema;
        const std::string sql =
            hasGroups ? std::string("SELECT g.") + kGroupLabel + " FROM " + kSheetsTable +
                            " s LEFT JOIN " + kSheetGroupTable + " g ON g." + kGroupSheetRowid +
                            " = s.rowid ORDER BY s.rowid"
                      : std::string("SELECT NULL FROM ") + kSheetsTable + " ORDER BY rowid";
        auto st = db.prepare(sql);
        while (st.step()) {
            const auto label = st.columnText(0);
            out.emplace_back(label ? std::string(*label) : std::string());
        }
    } catch (const DbError& e) {
        throw AnalysisError(Connection::ErrorText(e.code(), e.what()));
    }
    return out;
}

GroupedAnswers LoadGroupedAnswers(const std::string& path, Progress& progress) {
    std::optional<Connection> reader;
    if (std::string refusal = ExamFileRefusal(path, reader); !refusal.empty())
        throw AnalysisError(refusal);
    GroupedAnswers out;
    try {
        ReadSnapshot snapshot(*reader);
        out.answers = LoadExamAnswers(*reader, progress);
        out.labels = LoadGroupLabels(*reader);
    } catch (const DbError& e) {
        throw AnalysisError(Connection::ErrorText(e.code(), e.what()));
    }
    return out;
}

} // namespace ia
