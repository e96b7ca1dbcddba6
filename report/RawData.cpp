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

class ViewSheets final : public RawSheetReader {
  public:
    explicit ViewSheets(RecordSet* sheets) : sheets_(sheets) {}
    size_t count() const override {
        return sheets_ ? static_cast<size_t>(sheets_->recordCount()) : 0;
    }
    RawRecord next() override { return ToRecord(sheets_->rowAt(at_++)); }

  private:
    RecordSet* sheets_;
    int at_ = 0;
};
} // namespace

RawRecord LoadRawKey(ExamViews& views) {
    RecordSet* key = views.key.Recordset();
    if (key && key->recordCount() > 0) return ToRecord(key->rowAt(0));
    return {};
}

std::unique_ptr<RawSheetReader> ReadRawSheets(ExamViews& views) {
    return std::make_unique<ViewSheets>(views.sheets.Recordset());
}

} // namespace ia
