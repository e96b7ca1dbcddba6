// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/Printer.h"

namespace ia {

const char* const kPdfFailedNotice = "พิมพ์ไม่ได้ ไม่สามารถบันทึกไฟล์ PDF : ";

void OutputPrinter::AddNotice(const std::string& text) {
    if (text.empty()) return;
    if (!notice_.empty()) notice_ += "\n";
    notice_ += text;
}

} // namespace ia
