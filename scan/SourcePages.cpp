// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/SheetReader.h"

#include "exchange/TextTable.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace ia::scan {

namespace {

std::string Extension(const std::string& path) {
    return LowerAscii(fs::path(path).extension().string());
}

bool IsPdf(const std::string& path) {
    return Extension(path) == ".pdf";
}
bool IsTiff(const std::string& path) {
    const std::string e = Extension(path);
    return e == ".tif" || e == ".tiff";
}
bool IsPicture(const std::string& path) {
    static const std::set<std::string> kinds{".png", ".jpg", ".jpeg", ".tif", ".tiff"};
    return kinds.count(Extension(path)) > 0;
}

bool ToGray(const cv::Mat& m, GrayImage& image) {
    if (m.empty()) return false;
    cv::Mat g;
    if (m.channels() == 1)
        g = m;
    else
        cv::cvtColor(m, g, m.channels() == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY);
    if (g.depth() != CV_8U) g.convertTo(g, CV_8U, g.depth() == CV_16U ? 1 / 257.0 : 1.0);
    image.width = g.cols;
    image.height = g.rows;
    image.pixels.resize(static_cast<size_t>(g.cols) * g.rows);
    for (int y = 0; y < g.rows; ++y)
        std::memcpy(image.pixels.data() + static_cast<size_t>(y) * g.cols, g.ptr(y),
                    static_cast<size_t>(g.cols));
    return true;
}

// A PNG file's size from its header (the IHDR chunk comes first), so that
// the page can be decoded straight into the caller's pixels.
bool PngSize(const std::vector<char>& file, int& width, int& height) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 24 || std::memcmp(file.data(), kSignature, 8) != 0 ||
        std::memcmp(file.data() + 12, "IHDR", 4) != 0)
        return false;
    auto big = [&](size_t at) {
        const auto* b = reinterpret_cast<const unsigned char*>(file.data() + at);
        return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
               (static_cast<uint32_t>(b[2]) << 8) | b[3];
    };
    const uint32_t w = big(16), h = big(20);
    if (w == 0 || h == 0 || w > 1u << 15 || h > 1u << 15) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<char>& bytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size <= 0) return false;
    bytes.resize(static_cast<size_t>(size));
    in.seekg(0);
    return static_cast<bool>(in.read(bytes.data(), size));
}

} // namespace

struct SourcePages::Cache {
    // The last file's bytes, kept so that the next page needs no new buffer.
    std::vector<char> fileBytes;
    std::string pdfPath;
    std::unique_ptr<poppler::document> pdf;
    std::string tiffPath;
    std::vector<cv::Mat> tiffPages;

    poppler::document* document(const std::string& path) {
        if (pdfPath != path) {
            pdf.reset(poppler::document::load_from_file(path));
            pdfPath = path;
        }
        return pdf && !pdf->is_locked() ? pdf.get() : nullptr;
    }
    const std::vector<cv::Mat>& tiff(const std::string& path) {
        if (tiffPath != path) {
            tiffPages.clear();
            cv::imreadmulti(path, tiffPages, cv::IMREAD_GRAYSCALE);
            tiffPath = path;
        }
        return tiffPages;
    }
};

SourcePages::SourcePages() : cache_(std::make_unique<Cache>()) {}
SourcePages::~SourcePages() = default;

std::vector<PageSource> SourcePages::list(const std::vector<std::string>& sources,
                                          std::vector<std::string>& problems) {
    std::vector<PageSource> pages;
    auto add = [&](const std::string& path) {
        if (IsPdf(path)) {
            poppler::document* doc = cache_->document(path);
            if (!doc) {
                problems.push_back(path + ": เปิดไฟล์ PDF ไม่ได้");
                return;
            }
            for (int p = 1; p <= doc->pages(); ++p)
                pages.push_back({path, p});
        } else if (IsTiff(path)) {
            // Counted from the page headers: the pages are decoded once,
            // when read, not here as well.
            const size_t n = cv::imcount(path, cv::IMREAD_GRAYSCALE);
            if (n == 0) problems.push_back(path + ": เปิดไฟล์ภาพไม่ได้");
            for (size_t p = 1; p <= n; ++p)
                pages.push_back({path, static_cast<int>(p)});
        } else if (IsPicture(path)) {
            pages.push_back({path, 1});
        } else {
            problems.push_back(path + ": ไม่ใช่ไฟล์ PDF, PNG, JPEG หรือ TIFF");
        }
    };
    for (const std::string& source : sources) {
        std::error_code ec;
        const std::string path = fs::absolute(source, ec).lexically_normal().string();
        if (fs::is_directory(path, ec)) {
            std::vector<std::string> inside;
            for (const auto& entry : fs::directory_iterator(path, ec))
                if (entry.is_regular_file() &&
                    (IsPdf(entry.path().string()) || IsPicture(entry.path().string())))
                    inside.push_back(entry.path().string());
            std::sort(inside.begin(), inside.end());
            for (const std::string& file : inside)
                add(file);
        } else if (!fs::exists(path, ec)) {
            problems.push_back(source + ": ไม่พบไฟล์");
        } else {
            add(path);
        }
    }
    return pages;
}

bool SourcePages::load(const PageSource& page, GrayImage& image, std::string& error, int dpi) {
    error.clear();
    if (IsPdf(page.path)) {
        poppler::document* doc = cache_->document(page.path);
        std::unique_ptr<poppler::page> p(doc ? doc->create_page(page.page - 1) : nullptr);
        if (!p) {
            error = "เปิดหน้า PDF ไม่ได้";
            return false;
        }
        poppler::page_renderer renderer;
        renderer.set_image_format(poppler::image::format_gray8);
        renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
        const poppler::image img = renderer.render_page(p.get(), dpi, dpi);
        if (!img.is_valid()) {
            error = "วาดหน้า PDF ไม่ได้";
            return false;
        }
        image.width = img.width();
        image.height = img.height();
        image.pixels.resize(static_cast<size_t>(image.width) * image.height);
        for (int y = 0; y < image.height; ++y)
            std::memcpy(image.pixels.data() + static_cast<size_t>(y) * image.width,
                        img.const_data() + static_cast<size_t>(y) * img.bytes_per_row(),
                        static_cast<size_t>(image.width));
        return true;
    }
    if (IsTiff(page.path)) {
        const auto& pages = cache_->tiff(page.path);
        if (page.page < 1 || page.page > static_cast<int>(pages.size()) ||
            !ToGray(pages[static_cast<size_t>(page.page - 1)], image)) {
            error = "เปิดไฟล์ภาพไม่ได้";
            return false;
        }
        return true;
    }
    // A PNG is decoded straight into the page's pixels: a scanned page is
    // megabytes, and a copy of it (and the fresh memory for one)
    // costs a tenth of the reading.
    std::vector<char>& bytes = cache_->fileBytes;
    int width = 0, height = 0;
    if (ReadWholeFile(page.path, bytes) && PngSize(bytes, width, height)) {
        image.width = width;
        image.height = height;
        image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        cv::Mat into(height, width, CV_8UC1, image.pixels.data());
        const cv::Mat got =
            cv::imdecode(cv::Mat(1, static_cast<int>(bytes.size()), CV_8UC1, bytes.data()),
                         cv::IMREAD_GRAYSCALE, &into);
        if (!got.empty() && got.data == image.pixels.data()) return true;
        if (ToGray(got, image)) return true;
        error = "เปิดไฟล์ภาพไม่ได้";
        return false;
    }
    if (!ToGray(cv::imread(page.path, cv::IMREAD_GRAYSCALE), image)) {
        error = "เปิดไฟล์ภาพไม่ได้";
        return false;
    }
    return true;
}

} // namespace ia::scan
