// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/PrintInputs.h"

#include "examfile/Engine.h"
#include "report/PrintReport.h"

#include <exception>
#include <utility>

namespace ia {

const char* const kFirstPageNotNumber = "หน้าแรกต้องเป็นตัวเลข";

Outcome<PrintJob> PrintJobFor(PageSelection selection, const std::string& fromText,
                              const std::string& toText) {
    Outcome<PrintJob> out;
    out.value.PrintMode = static_cast<int16_t>(selection);
    if (selection == PageSelection::Range && !SetPageRange(out.value, fromText, toText))
        out.error = SessionError{SessionErrorKind::PageRangeInvalid, kFirstPageNotNumber};
    return out;
}

int ReportPageCount(ExamSession& session) {
    Outcome<ReportData> data = session.reportData();
    if (!data.ok()) return 0;
    PrintJob counted;
    return NumPage(counted, data.value, session.header().nChoice, session.header().nItem);
}

Outcome<ReportPrintInput> ReportPrintInputFor(ExamSession& session, const PrintJob& job) {
    Outcome<ReportPrintInput> out;
    Outcome<ReportData> data = session.reportData();
    if (!data.ok()) {
        out.error = data.error;
        return out;
    }
    out.value.job = job;
    // Counting lays the pages out on a copy: the job itself starts afresh.
    PrintJob counted = job;
    out.value.pages =
        NumPage(counted, data.value, session.header().nChoice, session.header().nItem);
    out.value.data = std::move(data.value);
    out.value.outdatedNotice = session.resultsNotice();
    // A selection without a page would print nothing and look done.
    if (!SelectsAnyPage(job, out.value.pages))
        out.error = SessionError{SessionErrorKind::NoPageSelected, kNoPageSelected};
    return out;
}

Outcome<GraphReportInput> GraphInputFor(ExamSession& session, const std::string& school,
                                        Progress& progress) {
    Outcome<GraphReportInput> out;
    try {
        // The results, the scores and the statistics of one state of the file.
        ReadSnapshot snapshot(*session.connection());
        out.value.header = session.header();
        out.value.school = school;
        out.value.data = LoadReportData(session.views(), session.state());
        out.value.scores = LoadScores(session.views());
        const ResultsCurrency currency = session.resultsCurrency();
        out.value.outdatedNotice = ResultsCurrencyNotice(currency);
        // The whole-test statistics are computed from the sheets as they are
        // now: beside results of other data they would mix two tests.
        if (currency == ResultsCurrency::Current)
            out.value.stats = LoadTestStatistics(*session.connection(), progress);
        out.value.groups = LoadGroupAnalysis(*session.connection());
    } catch (const JobCancelled& e) {
        out.error = SessionError{SessionErrorKind::Cancelled, e.what()};
    } catch (const std::exception& e) {
        out.error = SessionError{SessionErrorKind::Failed, e.what()};
    }
    return out;
}

} // namespace ia
