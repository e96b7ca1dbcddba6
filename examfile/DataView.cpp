// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/DataView.h"

#include "examfile/ExamState.h"
#include "examfile/Schema.h"

#include <sqlite3.h>

namespace ia {

void DataView::Refresh() {
    auto conn = Connection::Shared(DatabaseName);
    try {
        rs_ = std::make_unique<RecordSet>(conn, RecordSource);
    } catch (const DbError& e) {
        rs_.reset();
        Connection::Fail(e);
    }
}

void DataView::Close() {
    rs_.reset();
}

void ExamViews::CloseAll() {
    sheets.Close();
    key.Close();
    header.Close();
    results.Close();
    stats.Close();
}

void BindExamFile(ExamViews& views, const std::string& path) {
    struct Binding {
        DataView* view;
        std::string source;
    } bindings[] = {
        {&views.key, std::string("Select * from ") + schema::kKeyTable},
        {&views.header, std::string("Select * from ") + schema::kHeaderTable},
        {&views.results, std::string("Select * from ") + schema::kResultsTable},
        {&views.stats, std::string("Select * from ") + schema::kStatsTable},
        {&views.sheets, std::string("Select * from ") + schema::kSheetsTable},
    };
    try {
        for (auto& b : bindings) {
            b.view->DatabaseName = path;
            b.view->RecordSource = b.source;
            b.view->Refresh();
        }
    } catch (...) {
        views.CloseAll();
        throw;
    }
}

namespace {
template <typename T> T Clamp(long long v, long long lo, long long hi) {
    return static_cast<T>(v < lo ? lo : (v > hi ? hi : v));
}
} // namespace

bool ReadHeader(DataView& data3, TestHeader& h) {
    RecordSet* rs = data3.Recordset();
    if (!rs || rs->recordCount() == 0) return false;
    rs->moveFirst();
    h.SubCode = rs->field("SubCode").text();
    h.SubName = rs->field("SubName").text();
    h.Term = rs->field("Term").text();
    h.TeacherName = rs->field("TeacherName").text();
    h.Yearr = Clamp<int32_t>(rs->field("Yearr").integer(), INT32_MIN, INT32_MAX);
    h.nItem = Clamp<int16_t>(rs->field("nItem").integer(), INT16_MIN, INT16_MAX);
    h.nChoice = Clamp<uint8_t>(rs->field("nChoice").integer(), 0, 255);
    return true;
}

} // namespace ia
