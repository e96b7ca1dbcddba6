// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/SessionOutput.h"

#include "cli/Progress.h"

#include <iostream>

namespace ia::cli {

int AnalyseTellingChecks(ExamSession& session, const std::string& technique, bool writeReport) {
    const std::optional<Technique> chosen = TechniqueFromText(technique);
    if (!chosen) return Fail(kTechniqueInvalid);
    AnalysisRequest request;
    request.technique = *chosen;
    request.writeReport = writeReport;
    request.progress = &JobProgress();
    // What the window would ask about is told, and the work goes on; the
    // analysis finds it while reading the sheets, before any refusal.
    request.tellFindings = [](const std::vector<std::string>& findings) {
        for (const std::string& line : findings)
            std::cerr << "คำเตือน: " << line << "\n";
    };
    const Outcome<std::string> analysed = session.analyse(request);
    return analysed.ok() ? 0 : Fail(analysed.error.message);
}

} // namespace ia::cli
