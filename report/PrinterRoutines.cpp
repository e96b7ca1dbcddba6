#include "report/PrintState.h"
#include "report/Printer.h"

namespace ia {

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
