// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AnalysisSession.h"

#include "analysis/FanTable.h"
#include "examfile/ExamFile.h"
#include "report/ReportText.h"

#include <exception>
#include <iostream>

namespace ia::cli {

int Fail(const std::string& msg) {
    std::cerr << msg;
    if (msg.empty() || msg.back() != '\n') std::cerr << "\n";
    return 1;
}

bool OpenAnalysisSession(AnalysisSession& s, const std::string& file, std::string& error) {
    error = ExamFileRefusal(file);
    if (!error.empty()) return false;
    try {
        BindExamFile(s.views, file);
        ReadHeader(s.views.Data3, s.exam.header);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    s.exam.ExamFileName = file;
    s.exam.ExamFileOpen = 1;
    return true;
}

int RunAnalysis(AnalysisSession& s, const std::string& technique, bool writeReport) {
    if (technique != "25" && technique != "27") return Fail("เทคนิคต้องเป็น 25 หรือ 27");
    if (s.views.Data1.Recordset()->recordCount() == 0) return Fail("ยังไม่มีกระดาษคำตอบ วิเคราะห์ไม่ได้");
    // What the window would ask about is told, and the work goes on; the
    // analysis finds it while reading the sheets, before any refusal.
    std::vector<std::string> findings;
    s.ctx.sheetFindings = &findings;
    auto tellFindings = [&] {
        for (const std::string& line : findings)
            std::cerr << "คำเตือน: " << line << "\n";
        findings.clear();
    };
    try {
        RunTechnique(s.ctx, technique == "25" ? 1 : 2, FanTableDir(ProgramDir()));
        tellFindings();
        RereadResultViews(s.views);
        if (writeReport) {
            const std::string term = s.exam.header.Term;
            s.state.ReportFileName =
                WriteAnalysisReport(s.views, s.state, s.exam.ExamFileName, s.exam.header, term);
        }
    } catch (const std::exception& e) {
        tellFindings();
        return Fail(e.what());
    }
    return 0;
}

} // namespace ia::cli
