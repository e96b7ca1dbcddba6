// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include "examfile/Engine.h"

#include <functional>
#include <memory>
#include <string>

namespace ia {

// A data view binds one record set of the open exam file to whoever shows it
// (a grid, the header fields, the analysis). It opens the file through the
// shared connection of its path.
class DataView {
  public:
    std::string DatabaseName;
    std::string RecordSource;
    std::string Caption;
    bool Visible = false;

    // Re-reads: reopens the record set on the current source. Throws DbError.
    void Refresh();
    // Lets go of the record set and of the connection.
    void Close();
    bool isOpen() const { return rs_ != nullptr; }
    RecordSet* Recordset() { return rs_.get(); }
    const RecordSet* Recordset() const { return rs_.get(); }

    // Raised after the current record changed.
    std::function<void()> onReposition;
    // Raised for a data error outside program code; response 0 means the
    // receiver reported it and the view shows nothing of its own.
    std::function<void(int error, const std::string& text, int& response)> onError;

    void NotifyReposition() {
        if (onReposition) onReposition();
    }
    // Returns the response (1: the view should report the error itself).
    int NotifyError(const DbError& e) {
        int response = 1;
        if (onError) onError(e.code(), e.what(), response);
        return response;
    }

  private:
    std::unique_ptr<RecordSet> rs_;
};

// The five views of the open exam file.
struct ExamViews {
    DataView sheets;  // TAData, the answer sheets
    DataView key;     // TKey, the key row
    DataView header;  // Tinit, the exam header
    DataView results; // TOut, a row per item and choice
    DataView stats;   // TStat, the whole-test statistics

    void CloseAll();
};

struct TestHeader;

// Points the five views at the exam file, in the order key, header, results,
// stats, sheets, with the record sources of a freshly opened file. Throws
// DbError; on failure every view is closed again.
void BindExamFile(ExamViews& views, const std::string& path);

// Copies the header row (the first row of the header view) into the header; false when
// the header table has no row (the header then keeps its values).
bool ReadHeader(DataView& data3, TestHeader& header);

} // namespace ia
