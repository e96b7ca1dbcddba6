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

} // namespace

struct SourcePages::Cache {
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
    if (!ToGray(cv::imread(page.path, cv::IMREAD_GRAYSCALE), image)) {
        error = "เปิดไฟล์ภาพไม่ได้";
        return false;
    }
    return true;
}

} // namespace ia::scan
