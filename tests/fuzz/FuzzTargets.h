// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bodies of the fuzz targets, shared by the libFuzzer programs and by the
// regression test that replays every input that once found a fault.
#include <cstddef>
#include <cstdint>

namespace iafuzz {

// Bytes as an exam file: recognise, check, bind, read the header, analyse
// with both techniques and write the report. Must never crash or hang.
void ExamFileBytes(const uint8_t* data, size_t size);

// Bytes as texts for the number formatters and the leading-number rule.
void NumberBytes(const uint8_t* data, size_t size);

// Bytes as an .xlsx workbook: its sheet read within an import's limits and
// planned as answer sheets of a 4-item test. Must never crash, hang or take
// memory out of proportion to the limits.
void XlsxBytes(const uint8_t* data, size_t size);

// Bytes as a delimited text source: decoded in every encoding, parsed
// within an import's limits, planned, and read as fixed-width columns.
void CsvBytes(const uint8_t* data, size_t size);

} // namespace iafuzz
