// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/BlockPaste.h"

#include "examfile/Engine.h"
#include "examfile/Schema.h"
#include "exchange/AnswerText.h"
#include "exchange/TextTable.h"

#include <sqlite3.h>

#include <algorithm>

namespace ia {

PasteOutcome PasteBlock(Connection& db, const std::vector<long long>& rowids, int position,
                        int column, std::string_view text, int nItem, int nChoice,
                        const std::function<bool(int overwritten)>& goOnOverwriting) {
    PasteOutcome out;
    // Spreadsheets end the copied block with a line break.
    TextTable block = ParseDelimited(text, '\t');
    auto at = [](size_t r, size_t c, const std::string& why) {
        return "แถว " + std::to_string(r + 1) + " คอลัมน์ " + std::to_string(c + 1) + ": " + why;
    };
    // The texts to write, by block row and column; checked before anything
    // is written.
    std::vector<std::vector<std::string>> values(block.size());
    for (size_t r = 0; r < block.size(); ++r) {
        for (size_t c = 0; c < block[r].size(); ++c) {
            const int field = column + static_cast<int>(c);
            std::string value;
            if (field > nItem) {
                if (Trimmed(block[r][c]).empty()) continue;
                out.errors.push_back(
                    at(r, c, "เกินจำนวนข้อของไฟล์ (" + std::to_string(nItem) + " ข้อ)"));
                break;
            }
            if (field == 0) {
                value = Trimmed(block[r][c]);
                if (CharCount(value) > 20) out.errors.push_back(at(r, c, "รหัสยาวเกิน 20 ตัวอักษร"));
            } else {
                std::string error;
                if (!ReadAnswerCell(block[r][c], nChoice, value, error))
                    out.errors.push_back(at(r, c, error));
            }
            values[r].push_back(std::move(value));
        }
    }
    if (!out.errors.empty() || block.empty()) return out;
    auto name = [](int field) {
        return field == 0 ? std::string(schema::kSheetCode) : schema::AnswerColumn(field);
    };
    // Counted and asked before the transaction: no lock is held while the
    // teacher reads the question.
    if (goOnOverwriting) {
        // One read of each sheet the block reaches, for all its fields.
        size_t width = 0;
        for (const auto& v : values)
            width = std::max(width, v.size());
        std::string fields;
        for (size_t c = 0; c < width; ++c)
            fields += (c ? ", " : "") + name(column + static_cast<int>(c));
        int overwritten = 0;
        if (width > 0) {
            Statement st = db.prepare("SELECT " + fields + " FROM " + schema::kSheetsTable +
                                      " WHERE rowid = ?");
            for (size_t r = 0; r < values.size(); ++r) {
                const size_t row = static_cast<size_t>(position) + r;
                if (row >= rowids.size()) break;
                st.bind(1, Value(rowids[row]));
                if (st.step())
                    for (size_t c = 0; c < values[r].size(); ++c) {
                        const std::string stored = Trimmed(st.column(static_cast<int>(c)).text());
                        if (!stored.empty() && stored != values[r][c]) ++overwritten;
                    }
                st.run(); // ready for the next sheet
            }
        }
        if (overwritten > 0 && !goOnOverwriting(overwritten)) {
            out.declined = true;
            return out;
        }
    }
    Transaction tx(db);
    for (size_t r = 0; r < values.size(); ++r) {
        const size_t row = static_cast<size_t>(position) + r;
        long long rowid;
        if (row < rowids.size()) {
            rowid = rowids[row];
        } else {
            db.exec(std::string("INSERT INTO ") + schema::kSheetsTable + " (" + schema::kSheetCode +
                    ") VALUES (NULL)");
            rowid = sqlite3_last_insert_rowid(db.handle());
            ++out.rowsAdded;
        }
        for (size_t c = 0; c < values[r].size(); ++c) {
            const int field = column + static_cast<int>(c);
            Statement st = db.prepare(std::string("UPDATE ") + schema::kSheetsTable + " SET " +
                                      name(field) + " = ? WHERE rowid = ?");
            st.bind(1, values[r][c].empty() ? Value() : Value(values[r][c]));
            st.bind(2, Value(rowid));
            st.run();
        }
    }
    tx.commit();
    return out;
}

} // namespace ia
