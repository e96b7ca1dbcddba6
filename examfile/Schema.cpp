// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/Schema.h"

#include <regex>

namespace ia::schema {

std::string AnswerColumn(int item) {
    return "X" + std::to_string(item);
}

std::string SheetsByCodeSql() {
    return std::string("select * from ") + kSheetsTable + " order by val(" + kSheetCode + ")";
}

namespace {

// The index that makes VACUUM keep TAData's rowids (Schema.h).
std::string SheetTieSql() {
    return std::string("; CREATE INDEX IF NOT EXISTS ") + kScoreIndex + " ON " + kSheetsTable +
           " (" + kSheetScore + ")";
}

} // namespace

std::string SheetGroupTableSql() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kSheetGroupTable + " (" + kGroupSheetRowid +
           " INTEGER PRIMARY KEY, " + kGroupLabel + " TEXT NOT NULL CHECK (" + kGroupLabel +
           " <> '' AND length(" + kGroupLabel + ") <= " + std::to_string(kGroupLabelSize) + "))" +
           SheetTieSql();
}

std::string SheetColumnTableSql() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kSheetColumnTable + " (" +
           kColumnSheetRowid + " INTEGER NOT NULL, " + kColumnName + " TEXT NOT NULL, " +
           kColumnValue + " TEXT, PRIMARY KEY (" + kColumnSheetRowid + ", " + kColumnName + "))" +
           SheetTieSql();
}

std::string SheetNameTableSql() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kSheetNameTable + " (" + kNameSheetRowid +
           " INTEGER PRIMARY KEY, " + kSheetName + " TEXT)" + SheetTieSql();
}

std::vector<std::string> SheetTiedTables() {
    return {kSheetNameTable, kSheetGroupTable, kSheetColumnTable};
}

std::string OptionTextTableSql() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kOptionTextTable + " (" + kOptionItem +
           " INTEGER NOT NULL, " + kOptionChoice + " INTEGER NOT NULL, " + kOptionText +
           " TEXT NOT NULL, PRIMARY KEY (" + kOptionItem + ", " + kOptionChoice + "))";
}

namespace {

std::vector<Column> SheetColumns(const char* first, int firstSize, int nItem, const char* total) {
    std::vector<Column> c{{first, Column::Text, firstSize}};
    for (int i = 1; i <= nItem; ++i)
        c.push_back({AnswerColumn(i), Column::Text, 1});
    c.push_back({total, Column::Int16});
    return c;
}

} // namespace

std::vector<Table> ExamTables(int nItem) {
    if (nItem < 0) nItem = 0;
    return {
        {kSheetsTable, SheetColumns(kSheetCode, kSheetCodeSize, nItem, kSheetScore)},
        {kKeyTable, SheetColumns(kKeyLabel, kKeyLabelSize, nItem, kKeyTotal)},
        {kSignatureTable, {{kSignatureColumn, Column::Text, 6, false}}},
        {kHeaderTable,
         {{kSubCode, Column::Text, kSubCodeSize},
          {kSubName, Column::Text, kSubNameSize},
          {kTerm, Column::Text, kTermSize},
          {kYear, Column::Int32},
          {kTeacherName, Column::Text, kTeacherNameSize},
          {kItemCount, Column::Int16},
          {kChoiceCount, Column::Byte},
          {kHeaderCaseCount, Column::Int32}}},
        {kResultsTable,
         {{kItemNo, Column::Int16},
          {kChoiceNo, Column::Byte},
          {kIsAnswer, Column::Byte},
          // Group counts pass 32,767 from about 121,000 sheets at 27 %.
          {kHighCount, Column::Int32},
          {kLowCount, Column::Int32},
          {kHighProportion, Column::Text, kResultTextSize},
          {kLowProportion, Column::Text, kResultTextSize},
          {kDifficulty, Column::Text, kResultTextSize},
          {kDiscrimination, Column::Text, kResultTextSize},
          {kDelta, Column::Text, kResultTextSize},
          {kZr, Column::Text, kResultTextSize},
          {kExplain, Column::Text, kExplainSize}}},
        {kStatsTable,
         {{kCaseCount, Column::Int32},
          {kMaxScore, Column::Int16},
          {kMinScore, Column::Int16},
          {kMean, Column::Text, kStatTextSize},
          {kSd, Column::Text, kStatTextSize},
          {kKr20, Column::Text, kStatTextSize},
          {kSem, Column::Text, kStatTextSize},
          {kAverageP, Column::Text, kAverageTextSize},
          {kAverageR, Column::Text, kAverageTextSize},
          {kAverageDelta, Column::Text, kAverageTextSize},
          {kAverageZr, Column::Text, kAverageTextSize},
          {kStatsItemCount, Column::Int16}}},
    };
}

std::string ColumnSql(const Column& c) {
    const std::string q = "\"" + c.name + "\"";
    std::string s = q + " ";
    switch (c.kind) {
    case Column::Text:
        s += "TEXT(" + std::to_string(c.size) + ") CONSTRAINT ck_" + c.name + "_text" +
             std::to_string(c.size) + " CHECK (" + q + " IS NULL OR length(" + q +
             ") <= " + std::to_string(c.size) + ")";
        if (!c.allowEmpty)
            s += " CONSTRAINT ck_" + c.name + "_notempty CHECK (" + q + " IS NULL OR " + q +
                 " <> '')";
        break;
    case Column::Byte:
        s += "TINYINT CONSTRAINT ck_" + c.name + "_byte CHECK (" + q + " IS NULL OR (typeof(" + q +
             ")='integer' AND " + q + " BETWEEN 0 AND 255))";
        break;
    case Column::Int16:
        s += "SMALLINT CONSTRAINT ck_" + c.name + "_int16 CHECK (" + q + " IS NULL OR (typeof(" +
             q + ")='integer' AND " + q + " BETWEEN -32768 AND 32767))";
        break;
    case Column::Int32:
        s += "INTEGER CONSTRAINT ck_" + c.name + "_int32 CHECK (" + q + " IS NULL OR (typeof(" + q +
             ")='integer' AND " + q + " BETWEEN -2147483648 AND 2147483647))";
        break;
    }
    return s;
}

std::string TableSql(const Table& t) {
    std::string s = "CREATE TABLE \"" + t.name + "\" (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (i) s += ", ";
        s += ColumnSql(t.columns[i]);
    }
    return s + ")";
}

std::string ConstraintMessage(const std::string& engineMessage) {
    static const std::regex re(R"(ck_(\w+?)_(text(\d+)|notempty|byte|int16|int32))");
    std::smatch m;
    if (!std::regex_search(engineMessage, m, re)) return {};
    std::string field = m[1];
    std::string rule = m[2];
    if (rule.rfind("text", 0) == 0)
        return "ข้อความในช่อง " + field + " ยาวเกิน " + std::string(m[3]) + " ตัวอักษร";
    if (rule == "notempty") return "ช่อง " + field + " ต้องไม่เป็นข้อความว่าง";
    if (rule == "byte") return "ช่อง " + field + " ต้องเป็นจำนวนเต็ม 0 ถึง 255";
    if (rule == "int16") return "ช่อง " + field + " ต้องเป็นจำนวนเต็ม -32768 ถึง 32767";
    return "ช่อง " + field + " ต้องเป็นจำนวนเต็ม -2147483648 ถึง 2147483647";
}

} // namespace ia::schema
