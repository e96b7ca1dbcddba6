// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PrintState.h"
#include "report/Printer.h"

#include "examfile/Val.h"

namespace ia {

bool SetPageRange(PrintJob& job, const std::string& fromText, const std::string& toText) {
    if (!IsNumeric(fromText)) return false;
    job.PrintMode = 4;
    if (toText.empty() || !IsNumeric(toText)) {
        job.PageTo = 0;
    } else {
        // A last page beyond what a page number can hold means "to the end".
        const double v = Val(toText);
        job.PageTo = static_cast<int16_t>(v >= 32767    ? 32767
                                          : v <= -32768 ? -32768
                                                        : RoundHalfEven(v));
    }
    job.PageFrom = Val(fromText);
    return true;
}

bool PageSelected(const PrintJob& job, int mode, int page) {
    switch (mode) {
    case 1:
        return true;
    case 2:
        return page % 2 != 0;
    case 3:
        return page % 2 == 0;
    case 4:
        if (job.PageTo != 0) return page <= job.PageTo && page >= job.PageFrom;
        return page == job.PageFrom;
    default:
        return false;
    }
}

bool SelectsAnyPage(const PrintJob& job, int pageCount) {
    PrintJob held = job;
    if (held.PageTo > pageCount) held.PageTo = static_cast<int16_t>(pageCount);
    for (int page = 1; page <= pageCount; ++page)
        if (PageSelected(held, held.PrintMode, page)) return true;
    return false;
}

void SetupPrinter(Printer& prn) {
    // A job never inherits the landscape of a wide raw-data printout.
    prn.SetOrientation(Orientation::Portrait);
    prn.Print("");
    prn.SetFont(kReportFontName, kReportFontPoints);
}

void PrintAt(Printer& prn, const PrintJob& job, int mode, float x, float y,
             const std::string& text) {
    prn.SetCurrentY(y);
    prn.SetCurrentX(x);
    if (PageSelected(job, mode, job.PageNo)) prn.Print(text);
}

} // namespace ia
