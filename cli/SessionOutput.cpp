// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/SessionOutput.h"

#include "cli/Progress.h"

#include <iostream>
#include <optional>

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
            Warn(line);
    };
    const Outcome<std::string> analysed = session.analyse(request);
    return analysed.ok() ? 0 : Fail(analysed.error.message);
}

int AnalyseThenOutput(ExamSession& session, const std::string& technique,
                      const std::function<int()>& output) {
    std::optional<Transaction> whole;
    try {
        whole.emplace(*session.connection());
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    if (int rc = AnalyseTellingChecks(session, technique, false)) return rc;
    int rc = 0;
    try {
        rc = output();
    } catch (const JobCancelled&) {
        throw; // rolled back with whole
    } catch (const std::exception& e) {
        rc = Fail(e.what()); // the results stay stored, as the output failed on its own
    }
    if (JobWasCancelled()) return rc;
    try {
        whole->commit();
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
    return rc;
}

} // namespace ia::cli
