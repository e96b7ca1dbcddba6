// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Analysis.h"

#include "analysis/FanTable.h"
#include "analysis/Format.h"
#include "analysis/Stats.h"
#include "examfile/AnalysisRunLog.h"
#include "examfile/KeyRule.h"
#include "examfile/Val.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace ia {

const char* const kTooFewSheets = "จำนวนกระดาษคำตอบน้อยเกินไป วิเคราะห์ไม่ได้";
const char* const kNoKeyedItem = "ยังไม่มีข้อสอบที่มีเฉลย วิเคราะห์ไม่ได้";

namespace {

// Answers and keys are kept as small codes so that 10,000 sheets of 251
// items fit in a few megabytes: NULL, the empty text, one ASCII character,
// or an index into a table of longer texts (a Thai letter, say).
using AnswerCode = int32_t;
constexpr AnswerCode kNull = -1;
constexpr AnswerCode kEmpty = 0;

class AnswerCodes {
  public:
    AnswerCode encode(const Value& v) {
        if (v.isNull()) return kNull;
        return encode(std::optional<std::string_view>(v.text()));
    }
    AnswerCode encode(std::optional<std::string_view> v) {
        if (!v) return kNull;
        if (v->empty()) return kEmpty;
        if (v->size() == 1) return static_cast<unsigned char>((*v)[0]);
        std::string t(*v);
        auto it = index_.find(t);
        if (it != index_.end()) return it->second;
        AnswerCode code = 256 + static_cast<AnswerCode>(texts_.size());
        texts_.push_back(t);
        index_.emplace(t, code);
        return code;
    }
    // The number with which the answer begins.
    double value(AnswerCode c) const {
        if (c <= 0) return 0;
        if (c < 256) return (c >= '0' && c <= '9') ? c - '0' : 0;
        return Val(texts_[c - 256]);
    }

  private:
    std::vector<std::string> texts_;
    std::unordered_map<std::string, AnswerCode> index_;
};

// One read of the answer sheets, shared by the scoring and the grouping.
struct SheetTable {
    AnswerCodes codes;
    int first = 1, last = 0;
    std::vector<long long> rowids;         // in table order
    std::vector<AnswerCode> answers;       // rowids.size() x (last - first + 1)
    std::vector<int> scores;               // per sheet, same order
    std::unordered_map<long long, int> at; // rowid -> index
    int width() const { return last - first + 1; }
    AnswerCode answer(int sheet, int item) const {
        return answers[static_cast<size_t>(sheet) * width() + (item - first)];
    }
};

void CheckStructure(AnalysisContext& c, RecordSet& sheets, RecordSet& key) {
    int need = c.state.LastItemField + 2;
    if (c.state.LastItemField < 0 || c.state.LastItemField > 251 || c.state.FirstItemField < 1 ||
        sheets.fieldCount() < need || key.fieldCount() < need || key.recordCount() < 1)
        throw AnalysisError(c.views.Data1.DatabaseName + "  โครงสร้างไฟล์ไม่ถูกต้อง");
}

void ReadSheets(RecordSet& sheets, SheetTable& t) {
    Connection& db = sheets.connection();
    std::string cols = "rowid";
    for (int i = t.first; i <= t.last; ++i)
        cols += ",\"" + sheets.fields()[i].name + "\"";
    auto st = db.prepare("SELECT " + cols + " FROM \"" + sheets.table() + "\" ORDER BY rowid");
    const int w = t.width();
    while (st.step()) {
        t.at.emplace(st.columnInt(0), static_cast<int>(t.rowids.size()));
        t.rowids.push_back(st.columnInt(0));
        for (int k = 0; k < w; ++k)
            t.answers.push_back(t.codes.encode(st.columnText(k + 1)));
    }
    t.scores.assign(t.rowids.size(), 0);
}

// An item without a key, whatever its key field holds (see IsKeyed).
constexpr AnswerCode kNoKey = kEmpty;

bool KeyedValue(const Value& v) {
    if (v.isNull()) return IsKeyed(std::nullopt);
    const std::string text = v.text();
    return IsKeyed(text);
}

// Keys of items first..last as codes; index 0 = item `first`.
std::vector<AnswerCode> ReadKey(RecordSet& key, SheetTable& t) {
    key.moveFirst();
    std::vector<AnswerCode> k;
    for (int i = t.first; i <= t.last; ++i) {
        const Value v = key.field(i);
        k.push_back(KeyedValue(v) ? t.codes.encode(v) : kNoKey);
    }
    return k;
}

bool Unkeyed(AnswerCode k) {
    return k == kNoKey;
}

void Store(Connection& db, const std::string& sql, std::initializer_list<Value> binds) {
    auto st = db.prepare(sql);
    int i = 1;
    for (const auto& v : binds)
        st.bind(i++, v);
    st.run();
}

// Scoring and statistics; fills t.scores when t is given.
void ScoreAll(AnalysisContext& c, SheetTable& t) {
    ExamViews& v = c.views;
    v.Data1.Refresh();
    v.Data2.Refresh();
    c.host.SetDbGrid2();
    RecordSet& sheets = *v.Data1.Recordset();
    RecordSet& key = *v.Data2.Recordset();
    CheckStructure(c, sheets, key);
    t.first = c.state.FirstItemField;
    t.last = c.state.LastItemField;
    if (t.rowids.empty()) ReadSheets(sheets, t);
    std::vector<AnswerCode> keys = ReadKey(key, t);

    Connection& db = sheets.connection();
    Transaction tx(db);
    std::vector<float> itemCounts(252, 0.0f);
    double s1 = 0, s2 = 0;
    long long n = 0;
    int16_t keyed = 0, unkeyed = 0;
    const std::string updateScore = "UPDATE \"" + sheets.table() + "\" SET Score=? WHERE rowid=?";
    auto upd = [&](long long rowid, int score) {
        Store(db, updateScore, {Value(score), Value(rowid)});
    };
    // Sheets in the order of the data view.
    for (int pos = 0; pos < sheets.recordCount(); ++pos) {
        auto it = t.at.find(sheets.rowidAt(pos));
        if (it == t.at.end()) continue;
        int s = it->second;
        int score = 0;
        keyed = 0;
        unkeyed = 0;
        for (int i = t.first; i <= t.last; ++i) {
            AnswerCode k = keys[i - t.first];
            if (Unkeyed(k)) {
                ++unkeyed;
                continue;
            }
            ++keyed;
            if (t.answer(s, i) == k) {
                ++score;
                itemCounts[i] += 1.0f;
            }
        }
        t.scores[s] = score;
        upd(t.rowids[s], score);
        s1 += score;
        s2 += static_cast<double>(score) * score;
        ++n;
    }
    if (n == 0) {
        // Counts of the key alone, as the loop would leave them.
        for (int i = t.first; i <= t.last; ++i)
            (Unkeyed(keys[i - t.first]) ? unkeyed : keyed)++;
    }
    key.moveFirst();
    key.edit();
    key.setField(t.last + 1, Value(t.last - t.first + 1));
    key.update();

    AnalysisState& st = c.state;
    st.KeyedItemCount = keyed;
    st.UnkeyedItemCount = unkeyed;
    double variance = 0;
    if (n > 0) {
        st.TestMean = s1 / n;
        variance = (s2 - s1 * s1 / n) / n;
        if (variance < 0) variance = 0; // rounding of equal scores
        st.TestSD = std::sqrt(variance);
    } else {
        st.TestMean = 0;
        st.TestSD = 0;
    }
    double sumpq = 0;
    long long sumCountsSpread = 0; // sum over items of c * (N - c), c answered correctly
    for (int i = t.first; i <= t.last; ++i) {
        const auto c = static_cast<long long>(itemCounts[i]);
        sumCountsSpread += c * (n - c);
        if (n > 0) itemCounts[i] = itemCounts[i] / static_cast<float>(n);
        float pq = itemCounts[i] * (1.0f - itemCounts[i]);
        sumpq += pq;
    }
    // KR-20 and its standard error need two keyed items and some spread of
    // scores; otherwise they are left empty rather than stored as garbage.
    bool reliable = keyed >= 2 && variance > 0;
    std::string kr20Text, semText;
    if (reliable) {
        double k = keyed;
        st.TestKR20 = static_cast<float>((k / (k - 1)) * (1 - sumpq / variance));
        // N² times the sum of p·q and N² times the variance, both in whole
        // numbers: when they are equal KR-20 is exactly 0, which the
        // floating-point sums would leave as a tiny negative ("-.0000").
        const auto sumScores = static_cast<long long>(s1), sumSquares = static_cast<long long>(s2);
        if (sumCountsSpread == n * sumSquares - sumScores * sumScores) st.TestKR20 = 0;
        kr20Text = FormatDec4(st.TestKR20);
        double semArg = 1 - static_cast<double>(st.TestKR20);
        double sem = semArg >= 0 ? st.TestSD * std::sqrt(semArg) : 0;
        semText = semArg >= 0 ? FormatDec4(static_cast<float>(sem)) : "";
    } else {
        st.TestKR20 = 0;
    }
    Store(db,
          "UPDATE TStat SET Xbar=?, SD=?, nCase=?, KR20=?, nItem=? , SEmea=? WHERE rowid=(SELECT "
          "min(rowid) FROM TStat)",
          {Value(FormatDec4(static_cast<float>(st.TestMean))),
           Value(FormatDec4(static_cast<float>(st.TestSD))), Value(n), Value(kr20Text),
           Value(static_cast<long long>(keyed)), Value(semText)});
    st.SheetCount = static_cast<int32_t>(n);
    tx.commit();
    v.Data5.Refresh();
}

int KeyedCountOfKeyRow(AnalysisContext& c) {
    ExamViews& v = c.views;
    v.Data2.Refresh();
    RecordSet& key = *v.Data2.Recordset();
    CheckStructure(c, *v.Data1.Recordset(), key);
    // The same reading of the key as the scoring's.
    SheetTable t;
    t.first = c.state.FirstItemField;
    t.last = c.state.LastItemField;
    const std::vector<AnswerCode> keys = ReadKey(key, t);
    return static_cast<int>(
        std::count_if(keys.begin(), keys.end(), [](AnswerCode k) { return !Unkeyed(k); }));
}

// Refusals that must come before anything is written.
void CheckAnalysable(AnalysisContext& c, int percent) {
    c.views.Data1.Refresh();
    int n = c.views.Data1.Recordset()->recordCount();
    if (RoundHalfEven(percent * static_cast<double>(n) / 100.0) < 1)
        throw AnalysisError(kTooFewSheets);
    if (c.header.nChoice < 2 || c.header.nChoice > 5)
        throw AnalysisError("จำนวนตัวเลือกต้องอยู่ระหว่าง 2 ถึง 5 ตัวเลือก");
    if (KeyedCountOfKeyRow(c) == 0) throw AnalysisError(kNoKeyedItem);
}

void RunCalHL(AnalysisContext& c, int percent, SheetTable& t) {
    ExamViews& v = c.views;
    AnalysisState& st = c.state;
    if (!v.Data4.Recordset()) v.Data4.Refresh();
    Connection& db = v.Data4.Recordset()->connection();
    Transaction tx(db);
    db.exec("DELETE FROM TOut");
    for (auto& row : st.HCount)
        row.fill(0);
    for (auto& row : st.LCount)
        row.fill(0);
    v.Data1.Refresh();
    const int nSheets = v.Data1.Recordset()->recordCount();
    st.GroupSize =
        static_cast<int16_t>(RoundHalfEven(percent * static_cast<double>(nSheets) / 100.0));

    ScoreAll(c, t);

    v.Data1.RecordSource = "select * from TAData order by Score";
    v.Data1.Refresh();
    RecordSet& sheets = *v.Data1.Recordset();
    const int n = sheets.recordCount();
    const int g = st.GroupSize;
    const int nChoice = c.header.nChoice;
    for (int pos = 0; pos < n; ++pos) {
        bool low = pos < g;
        bool high = pos > n - g - 1;
        if (!low && !high) continue;
        auto it = t.at.find(sheets.rowidAt(pos));
        if (it == t.at.end()) continue;
        for (int i = t.first; i <= t.last; ++i) {
            AnswerCode a = t.answer(it->second, i);
            if (a == kNull) continue;
            double val = t.codes.value(a);
            if (val < 0 || val > 6 || val != std::floor(val)) continue;
            int vi = static_cast<int>(val);
            if (low) st.LCount[i][vi]++;
            if (high) st.HCount[i][vi]++;
        }
    }

    RecordSet& key = *v.Data2.Recordset();
    key.moveFirst();
    for (int i = t.first; i <= t.last; ++i) {
        int sumH = 0, sumL = 0;
        for (int j = 1; j <= nChoice; ++j)
            sumH += st.HCount[i][j], sumL += st.LCount[i][j];
        Value k = key.field(i);
        for (int j = 1; j <= nChoice; ++j) {
            int isAns = (KeyedValue(k) && k.text() == std::to_string(j)) ? 1 : 0;
            // Shares are divided in double precision and narrowed for the text.
            Value ph = sumH ? Value(FormatDec2(
                                  static_cast<float>(static_cast<double>(st.HCount[i][j]) / sumH)))
                            : Value();
            Value pl = sumL ? Value(FormatDec2(
                                  static_cast<float>(static_cast<double>(st.LCount[i][j]) / sumL)))
                            : Value();
            Store(db,
                  "INSERT INTO TOut (ItemNo, IsAns, ChoiceNo, H, L, PH, PL) VALUES "
                  "(?,?,?,?,?,?,?)",
                  {Value(i), Value(isAns), Value(j), Value(st.HCount[i][j]), Value(st.LCount[i][j]),
                   ph, pl});
        }
    }
    tx.commit();
    v.Data4.Refresh();
}

struct Sums {
    double sp = 0, sd = 0, sz = 0;
};

// Stores one row's p, r and delta, and Zr on the keyed row, whose stored
// (rounded) texts also enter the averages.
void StoreRowResult(Connection& db, long long rowid, bool isAns, const std::string& pText,
                    const std::string& rText, const std::string& dText, float r, Sums& sums) {
    if (!isAns) {
        Store(db, "UPDATE TOut SET P=?, r=?, Delta=? WHERE rowid=?",
              {Value(pText), Value(rText), Value(dText), Value(rowid)});
        return;
    }
    std::string zText = FormatDec2(FisherZ(r));
    Store(db, "UPDATE TOut SET P=?, r=?, Delta=?, Zr=? WHERE rowid=?",
          {Value(pText), Value(rText), Value(dText), Value(zText), Value(rowid)});
    sums.sp += Val(pText);
    sums.sd += Val(dText);
    sums.sz += Val(zText);
}

void StoreAverages(AnalysisContext& c, const Sums& s) {
    Connection& db = c.views.Data5.Recordset()->connection();
    int k = c.state.KeyedItemCount;
    double pav = k ? s.sp / k : 0, dav = k ? s.sd / k : 0, zrav = k ? s.sz / k : 0;
    float rav = FisherR(static_cast<float>(zrav));
    Store(db,
          "UPDATE TStat SET Pav=?, Rav=?, Dav=?, Zrav=? WHERE rowid=(SELECT min(rowid) FROM "
          "TStat)",
          {Value(FormatDec2(static_cast<float>(pav))), Value(FormatDec2(rav)),
           Value(FormatDec1(static_cast<float>(dav))),
           Value(FormatDec2(static_cast<float>(zrav)))});
    c.views.Data5.Refresh();
}

std::string TwoDigits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

// RAII for the busy pointer, so that a refusal never leaves the hourglass.
struct Busy {
    AnalysisHost& h;
    explicit Busy(AnalysisHost& host) : h(host) { h.BusyPointer(true); }
    ~Busy() { h.BusyPointer(false); }
};

void RunExplain(AnalysisContext& c) {
    RecordSet& out = *c.views.Data4.Recordset();
    Connection& db = out.connection();
    Transaction tx(db);
    int fIsAns = out.fieldIndex("IsAns"), fP = out.fieldIndex("P"), fR = out.fieldIndex("r"),
        fH = out.fieldIndex("H"), fL = out.fieldIndex("L");
    for (int pos = 0; pos < out.recordCount(); ++pos) {
        std::vector<Value> row = out.rowAt(pos);
        long long h = row[fH].integer(), l = row[fL].integer();
        std::string d, r;
        if (row[fIsAns].integer() == 1) {
            long long p100 = Hundredths(row[fP].text());
            long long r100 = Hundredths(row[fR].text());
            if (p100 <= 19)
                d = "ยากมาก";
            else if (p100 <= 39)
                d = "ค่อนข้างยาก";
            else if (p100 <= 59)
                d = "ยากง่ายปานกลาง";
            else if (p100 <= 79)
                d = "ค่อนข้างง่าย";
            else
                d = "ง่ายมาก";
            if (r100 >= 40)
                r = "  อำนาจจำแนกดีมาก";
            else if (r100 >= 30)
                r = "  อำนาจจำแนกดี";
            else if (r100 >= 20)
                r = "  อำนาจจำแนกพอใช้ได้";
            else if (r100 >= 1)
                r = "  อำนาจจำแนกไม่ดี";
            else if (r100 == 0)
                r = "  ไม่มีอำนาจจำแนก";
            else
                r = "  ไม่ดี คนเก่งหลงทำผิด";
            if (h == l) r = "  ไม่มีอำนาจจำแนก";
            if (h == 0 && l == 0) {
                d = "ยากมาก  ไม่มีใครตอบได้";
                r.clear();
            }
        } else {
            if (h > l)
                d = "ไม่ดี คนเก่งหลงตอบมากกว่า";
            else if (h == l)
                d = "ไม่ดี ไม่มีอำนาจจำแนก";
            else
                d = "ดี คนอ่อนหลงตอบมากกว่า";
            if (h == 0 && l == 0) d = "ไม่ดี ไม่มีคนเลือก";
        }
        Store(db, "UPDATE TOut SET Explain=? WHERE rowid=?",
              {Value(d + r), Value(out.rowidAt(pos))});
    }
    tx.commit();
}

// The whole of one technique as one transaction on the exam file.
template <typename Body> void AsOneTransaction(AnalysisContext& c, Body body) {
    if (!c.views.Data4.Recordset()) c.views.Data4.Refresh();
    Connection& db = c.views.Data4.Recordset()->connection();
    Transaction tx(db);
    body();
    tx.commit();
}

} // namespace

void CalScore(AnalysisContext& c) {
    SheetTable t;
    ScoreAll(c, t);
}

void CalHL(AnalysisContext& c, int percent) {
    SheetTable t;
    RunCalHL(c, percent, t);
}

void Explain(AnalysisContext& c) {
    RunExplain(c);
}

void Analy25(AnalysisContext& c) {
    Busy busy(c.host);
    CheckAnalysable(c, 25);
    AsOneTransaction(c, [&] {
        SheetTable t;
        RunCalHL(c, 25, t);
        RecordSet& out = *c.views.Data4.Recordset();
        Connection& db = out.connection();
        const double g = c.state.GroupSize;
        int fIsAns = out.fieldIndex("IsAns"), fH = out.fieldIndex("H"), fL = out.fieldIndex("L");
        Sums sums;
        for (int pos = 0; pos < out.recordCount(); ++pos) {
            std::vector<Value> row = out.rowAt(pos);
            double h = static_cast<double>(row[fH].integer());
            double l = static_cast<double>(row[fL].integer());
            bool isAns = row[fIsAns].integer() == 1;
            double p = (h + l) / (2 * g);
            double r = isAns ? (h - l) / g : (l - h) / g;
            float delta = 13.0f + 4.0f * InvNormal(static_cast<float>(1 - p));
            std::string pText = FormatDec2(static_cast<float>(p));
            std::string rText = FormatDec2(static_cast<float>(r));
            std::string dText = FormatDec1(delta);
            StoreRowResult(db, out.rowidAt(pos), isAns, pText, rText, dText, static_cast<float>(r),
                           sums);
        }
        StoreAverages(c, sums);
        RunExplain(c);
    });
}

void analy27(AnalysisContext& c, const std::string& tableDir) {
    Busy busy(c.host);
    CheckAnalysable(c, 27);
    ChungTables tables;
    try {
        PullChungTable(tableDir, tables); // refuses before anything is written
    } catch (const std::runtime_error& e) {
        throw AnalysisError(e.what());
    }
    AsOneTransaction(c, [&] {
        SheetTable t;
        RunCalHL(c, 27, t);
        RecordSet& out = *c.views.Data4.Recordset();
        Connection& db = out.connection();
        int fIsAns = out.fieldIndex("IsAns"), fH = out.fieldIndex("H"), fL = out.fieldIndex("L"),
            fPH = out.fieldIndex("PH"), fPL = out.fieldIndex("PL");
        Sums sums;
        for (int pos = 0; pos < out.recordCount(); ++pos) {
            std::vector<Value> row = out.rowAt(pos);
            bool isAns = row[fIsAns].integer() == 1;
            int ph = static_cast<int>(Hundredths(row[fPH].text()));
            int pl = static_cast<int>(Hundredths(row[fPL].text()));
            std::string pText, rText, dText;
            float r = 0;
            if (row[fH].integer() == 0 && row[fL].integer() == 0) {
                pText = " .00";
                rText = " .00";
                dText = "    .0";
            } else {
                ChungCell cell = LocateChungCell(ph, pl, isAns);
                int cp = tables.P[cell.position], cr = tables.R[cell.position],
                    cd = tables.D[cell.position];
                pText = " ." + TwoDigits(cp);
                rText = std::string(cell.negative ? "-" : " ") + "." + TwoDigits(cr);
                dText = FormatDec1(static_cast<float>(cd / 10.0));
                r = static_cast<float>(cr / 100.0);
                if (cell.negative) r = -r;
            }
            StoreRowResult(db, out.rowidAt(pos), isAns, pText, rText, dText, r, sums);
        }
        StoreAverages(c, sums);
        RunExplain(c);
    });
}

void RunTechnique(AnalysisContext& c, int kind, const std::string& tableDir) {
    c.state.AnalysisKind = static_cast<int16_t>(kind);
    c.state.FirstItemField = 1;
    c.state.LastItemField = c.header.nItem;
    if (kind == 1)
        Analy25(c);
    else
        analy27(c, tableDir);
    // The export heads the results with their technique and time.
    RecordAnalysisRun(c.views.Data4.Recordset()->connection(), kind);
}

} // namespace ia
