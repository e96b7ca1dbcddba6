// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/RawData.h"

#include "examfile/DataView.h"

namespace ia {

namespace {
RawRecord ToRecord(const std::vector<Value>& row) {
    RawRecord r;
    r.reserve(row.size());
    for (const auto& v : row) {
        if (v.isNull())
            r.push_back(std::nullopt);
        else
            r.push_back(v.text());
    }
    return r;
}
} // namespace

RawData LoadRawData(ExamViews& views) {
    RawData d;
    RecordSet* key = views.Data2.Recordset();
    if (key && key->recordCount() > 0) d.key = ToRecord(key->rowAt(0));
    RecordSet* sheets = views.Data1.Recordset();
    if (sheets)
        for (int i = 0; i < sheets->recordCount(); ++i)
            d.sheets.push_back(ToRecord(sheets->rowAt(i)));
    return d;
}

} // namespace ia
