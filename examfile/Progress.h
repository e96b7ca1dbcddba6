// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a long job (an analysis, a printout, an import, an export, the
// whole-test statistics) tells whoever runs it what it is doing and how far
// it has come, and learns that the user wants it stopped. The window shows
// a dialog, the command line a line on a terminal; tests cancel at a chosen
// step. Nothing here knows about either.
//
// A cancelled job leaves everything as it was: a job reports its steps only
// before its work becomes final (its transaction committed, its file
// renamed into place), so that the JobCancelled thrown from step() rolls it
// back on its way out.

#include <stdexcept>
#include <string>

namespace ia {

// What the user is told once a job has been cancelled.
inline constexpr const char* kJobCancelledText = "ยกเลิกแล้ว ไฟล์ไม่มีการเปลี่ยนแปลง";

// The end of a job the user cancelled: not a failure, nothing else to tell.
class JobCancelled : public std::runtime_error {
  public:
    JobCancelled() : std::runtime_error(kJobCancelledText) {}
};

class Progress {
  public:
    virtual ~Progress() = default;

    // A new stage of the job: what it does (Thai, for the user) and how
    // many steps it takes (0 when not known).
    void stage(const std::string& what, long long total);
    // `done` steps of the current stage are done. Throws JobCancelled once
    // the user asked the job to stop.
    void step(long long done);

    const std::string& what() const { return what_; }
    long long done() const { return done_; }
    long long total() const { return total_; }
    // Share of the current stage that is done, 0 to 100.
    int percent() const;

  protected:
    // Shows the state (what(), done(), total()); false stops the job.
    // Called at every stage and step, so it must be cheap or keep its own
    // pace.
    virtual bool show() = 0;

  private:
    std::string what_;
    long long done_ = 0;
    long long total_ = 0;
};

// How much of a stage `done` of `total` steps is, in parts of `whole` (100
// for the terminal's percentage, 1000 for the window's bar), rounded down:
// 0 for a stage of unknown length (total 0) or a count below 0, `whole` once
// the count reaches the total or goes past it. Never overflows.
long long ShareDone(long long done, long long total, long long whole);

// The progress of a job nobody watches: it never stops the job.
Progress& NoProgress();

// Texts of the stages, shared by the jobs and the tests that look for them.
inline constexpr const char* kReadingSheetsStage = "กำลังอ่านกระดาษคำตอบ";
inline constexpr const char* kCheckingSheetsStage = "กำลังตรวจกระดาษคำตอบ";
inline constexpr const char* kStoringResultsStage = "กำลังบันทึกผลการวิเคราะห์";
inline constexpr const char* kLayingOutPagesStage = "กำลังจัดหน้าพิมพ์";
inline constexpr const char* kImportingSheetsStage = "กำลังนำเข้ากระดาษคำตอบ";
inline constexpr const char* kReadingImportStage = "กำลังอ่านไฟล์ที่จะนำเข้า";
inline constexpr const char* kCheckingImportStage = "กำลังตรวจข้อมูลที่จะนำเข้า";
inline constexpr const char* kExportingStage = "กำลังส่งออกข้อมูล";
inline constexpr const char* kCountingItemsStage = "กำลังคำนวณสถิติรายข้อ";
inline constexpr const char* kDrawingGraphsStage = "กำลังวาดกราฟ";

} // namespace ia
