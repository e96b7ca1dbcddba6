// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An exam file bound as the window binds it, ready for an analysis.
#include "analysis/Analysis.h"
#include "analysis/AnalysisState.h"
#include "examfile/DataView.h"
#include "examfile/ExamState.h"

#include <string>

namespace iatest {

struct BoundExam {
    ia::ExamViews views;
    ia::TestHeader header;
    ia::AnalysisState state;
    ia::AnalysisHost host;
    ia::AnalysisContext ctx{views, header, state, host};
    explicit BoundExam(const std::string& path) {
        ia::BindExamFile(views, path);
        ia::ReadHeader(views.header, header);
        state.LastItemField = header.nItem;
    }
};

} // namespace iatest
