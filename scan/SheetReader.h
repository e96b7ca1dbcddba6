// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads answer sheet pages: scans from a sheet feeder, photos from a phone.
// Its interface has no image library in it, so a program can load the
// reading (OpenCV, ZXing, poppler) only when it reads.

#include "examfile/Progress.h"
#include "scan/ScanTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ia::scan {

// A grey page, one byte a pixel, 0 black.
struct GrayImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // row after row, no padding
};

struct ReaderSettings {
    std::string examId; // the exam file's; a page with another is refused
    int nItem = 0;
    int nChoice = 0;
    // Pictures of the doubtful rows go here (PNG), when not empty.
    std::string reviewFolder;
};

// Finds the corner markers (any quarter turn, a skew, a photo's
// perspective), reads the QR code, and measures every bubble. A page that
// cannot be read comes back with the reason.
ReadPage ReadSheetPage(const GrayImage& image, const PageSource& source,
                       const ReaderSettings& settings);

// Thai reasons a page is refused, shared with the tests.
inline constexpr const char* kNoMarkers = "ไม่พบเครื่องหมายมุมกระดาษ";
inline constexpr const char* kQrUnreadable = "QR อ่านไม่ได้";
inline constexpr const char* kNotOurSheet = "ไม่ใช่กระดาษคำตอบที่โปรแกรมนี้พิมพ์";
inline constexpr const char* kOtherExam = "เป็นกระดาษคำตอบของข้อสอบชุดอื่น";
inline constexpr const char* kNoExamId = "ไฟล์ข้อมูลนี้ยังไม่เคยพิมพ์กระดาษคำตอบ";

// The pages of the sources: every page of a PDF or a TIFF, an image file
// (PNG, JPEG, TIFF), the image and PDF files of a folder (in name order).
// A source that is none of these is told in problems, with its reason.
class SourcePages {
  public:
    SourcePages();
    ~SourcePages();
    SourcePages(const SourcePages&) = delete;
    SourcePages& operator=(const SourcePages&) = delete;

    std::vector<PageSource> list(const std::vector<std::string>& sources,
                                 std::vector<std::string>& problems);
    // The page as grey pixels; PDF pages are drawn at dpi. False with the
    // reason when it cannot be had.
    bool load(const PageSource& page, GrayImage& image, std::string& error, int dpi = 200);

  private:
    struct Cache;
    std::unique_ptr<Cache> cache_;
};

} // namespace ia::scan
