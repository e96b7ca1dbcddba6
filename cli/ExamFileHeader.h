// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opens an exam file for the import and export subcommands through the exam
// session (its header only): refused in the window's words when it is not
// one, the item and choice counts read.
#include "examfile/Engine.h"
#include "examfile/WriterLock.h"

#include <memory>
#include <string>

struct OpenedExam {
    std::shared_ptr<ia::Connection> db;
    int nItem = 0;
    int nChoice = 0;
    ia::WriterLock lock; // held while an import writes
};

// forWriting: the file is refused while a window has it open.
bool OpenExamForExchange(const std::string& path, bool forWriting, OpenedExam& exam,
                         std::string& error);
