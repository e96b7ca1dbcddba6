// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ExamFileHeader.h"

#include "session/ExamSession.h"

bool OpenExamForExchange(const std::string& path, bool forWriting, OpenedExam& exam,
                         std::string& error) {
    ia::ExamSession session;
    ia::OpenOptions options;
    options.headerOnly = true;
    // The session ends here; the import's lock must outlive it.
    options.takeWriterLock = false;
    if (ia::SessionError refused = session.open(path, options)) {
        error = refused.message;
        return false;
    }
    try {
        exam.db = session.connection();
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    if (forWriting && !exam.lock.take(path)) {
        error = ia::OpenElsewhereMessage(path);
        return false;
    }
    exam.nItem = session.header().nItem;
    exam.nChoice = session.header().nChoice;
    return true;
}
