// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ExamFileHeader.h"

#include "examfile/ExamFile.h"

bool OpenExamForExchange(const std::string& path, OpenedExam& exam, std::string& error) {
    error = ia::ExamFileRefusal(path);
    if (!error.empty()) return false;
    try {
        exam.db = std::make_shared<ia::Connection>(path);
        ia::Statement st = exam.db->prepare("SELECT nItem, nChoice FROM Tinit");
        if (!st.step()) {
            error = ia::BadStructureMessage(path);
            return false;
        }
        exam.nItem = static_cast<int>(st.columnInt(0));
        exam.nChoice = static_cast<int>(st.columnInt(1));
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}
