// SPDX-License-Identifier: GPL-3.0-or-later
#include "MarkedSheets.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace iatest {

using ia::scan::PagePoint;

namespace {

double Uniform(std::mt19937& r, double a, double b) {
    return std::uniform_real_distribution<double>(a, b)(r);
}

// Pencil lays graphite over what is printed: the darker of the two stays,
// with the grain of the paper in it.
void Ink(cv::Mat& page, const cv::Mat& mask, double level, double grain) {
    cv::Mat noise(page.size(), CV_32F);
    cv::randn(noise, 0, grain);
    for (int y = 0; y < page.rows; ++y) {
        const std::uint8_t* m = mask.ptr<std::uint8_t>(y);
        std::uint8_t* p = page.ptr<std::uint8_t>(y);
        const float* n = noise.ptr<float>(y);
        for (int x = 0; x < page.cols; ++x) {
            if (!m[x]) continue;
            const double cover = m[x] / 255.0;
            const double ink = std::clamp(level + n[x], 0.0, 255.0);
            const double v = p[x] * (1 - cover) + std::min<double>(p[x], ink) * cover;
            p[x] = static_cast<std::uint8_t>(std::lround(v));
        }
    }
}

cv::Point Px(PagePoint p, double scale, int shift) {
    return {static_cast<int>(std::lround(p.x * scale * (1 << shift))),
            static_cast<int>(std::lround(p.y * scale * (1 << shift)))};
}

} // namespace

const char* MarkShapeName(MarkShape shape) {
    switch (shape) {
    case MarkShape::Full:
        return "full";
    case MarkShape::Partial:
        return "partial";
    case MarkShape::Light:
        return "light";
    case MarkShape::Tick:
        return "tick";
    case MarkShape::Cross:
        return "cross";
    case MarkShape::Erased:
        return "erased";
    case MarkShape::Faint:
        return "faint";
    }
    return "?";
}

cv::Mat RenderSheetPage(const std::string& pdf, int page, int dpi) {
    ia::scan::SourcePages pages;
    ia::scan::GrayImage image;
    std::string error;
    if (!pages.load({pdf, page}, image, error, dpi)) throw std::runtime_error(error);
    return cv::Mat(image.height, image.width, CV_8UC1, image.pixels.data()).clone();
}

void DrawMark(cv::Mat& whole, double dpi, PagePoint c, MarkShape shape, std::mt19937& r) {
    const double scale = dpi / 72.0;
    // Only the bubble's neighbourhood is drawn on: a page has hundreds of marks.
    const double reach = ia::scan::kBubbleRadius * 2.5;
    const cv::Rect area =
        cv::Rect(static_cast<int>((c.x - reach) * scale), static_cast<int>((c.y - reach) * scale),
                 static_cast<int>(2 * reach * scale), static_cast<int>(2 * reach * scale)) &
        cv::Rect(0, 0, whole.cols, whole.rows);
    cv::Mat page = whole(area);
    c.x -= area.x / scale;
    c.y -= area.y / scale;
    const int shift = 4;
    const double R = ia::scan::kBubbleRadius;
    // A hand is never exactly on the centre.
    c.x += Uniform(r, -0.6, 0.6);
    c.y += Uniform(r, -0.6, 0.6);
    cv::Mat mask = cv::Mat::zeros(page.size(), CV_8U);
    auto radius = [&](double pt) {
        return static_cast<int>(std::lround(pt * scale * (1 << shift)));
    };
    auto stroke = [&](double pt) { return std::max(1, static_cast<int>(std::lround(pt * scale))); };
    double level = Uniform(r, 50, 110);
    switch (shape) {
    case MarkShape::Full:
        cv::circle(mask, Px(c, scale, shift), radius(R * Uniform(r, 0.9, 1.1)), 255, cv::FILLED,
                   cv::LINE_AA, shift);
        break;
    case MarkShape::Partial: {
        // Most of the disc: a smaller fill off the centre.
        const double k = Uniform(r, 0.75, 0.88);
        const double a = Uniform(r, 0, 2 * M_PI);
        const PagePoint off{c.x + std::cos(a) * R * (1 - k) * 0.8,
                            c.y + std::sin(a) * R * (1 - k) * 0.8};
        cv::circle(mask, Px(off, scale, shift), radius(R * k), 255, cv::FILLED, cv::LINE_AA, shift);
        break;
    }
    case MarkShape::Faint:
    case MarkShape::Light:
        level = shape == MarkShape::Light ? Uniform(r, 140, 175) : Uniform(r, 188, 194);
        cv::circle(mask, Px(c, scale, shift), radius(R * Uniform(r, 0.9, 1.05)), 255, cv::FILLED,
                   cv::LINE_AA, shift);
        break;
    case MarkShape::Tick: {
        const PagePoint a{c.x - R * 0.7, c.y}, b{c.x - R * 0.15, c.y + R * 0.7},
            e{c.x + R * 0.8, c.y - R * 0.8};
        cv::line(mask, Px(a, scale, shift), Px(b, scale, shift), 255, stroke(Uniform(r, 0.6, 1.1)),
                 cv::LINE_AA, shift);
        cv::line(mask, Px(b, scale, shift), Px(e, scale, shift), 255, stroke(Uniform(r, 0.6, 1.1)),
                 cv::LINE_AA, shift);
        break;
    }
    case MarkShape::Cross: {
        const double h = R * 0.75;
        const int w = stroke(Uniform(r, 0.6, 1.1));
        cv::line(mask, Px({c.x - h, c.y - h}, scale, shift), Px({c.x + h, c.y + h}, scale, shift),
                 255, w, cv::LINE_AA, shift);
        cv::line(mask, Px({c.x + h, c.y - h}, scale, shift), Px({c.x - h, c.y + h}, scale, shift),
                 255, w, cv::LINE_AA, shift);
        break;
    }
    case MarkShape::Erased: {
        // What is left of a rubbed-out fill, and the smudge the rubber spread.
        cv::Mat smudge = cv::Mat::zeros(page.size(), CV_8U);
        cv::circle(smudge, Px(c, scale, shift), radius(R * 1.8), 255, cv::FILLED, cv::LINE_AA,
                   shift);
        const int k = std::max(3, static_cast<int>(R * scale)) | 1;
        cv::GaussianBlur(smudge, smudge, cv::Size(k, k), 0);
        Ink(page, smudge, Uniform(r, 225, 240), 4);
        level = Uniform(r, 200, 225);
        cv::circle(mask, Px(c, scale, shift), radius(R), 255, cv::FILLED, cv::LINE_AA, shift);
        break;
    }
    }
    Ink(page, mask, level, 12);
}

cv::Mat Distort(const cv::Mat& input, const Distortion& d, std::mt19937& r) {
    cv::Mat page = input.clone();
    // The light first: it falls on the paper, before the camera sees it.
    if (d.unevenLight > 0 || d.shadowBand) {
        cv::Mat gain(page.size(), CV_32F);
        const double ax = Uniform(r, -1, 1), ay = Uniform(r, -1, 1);
        const double bandAt = Uniform(r, 0.2, 0.8), bandWidth = Uniform(r, 0.05, 0.12);
        const double bandAngle = Uniform(r, -0.5, 0.5);
        for (int y = 0; y < page.rows; ++y)
            for (int x = 0; x < page.cols; ++x) {
                const double u = static_cast<double>(x) / page.cols,
                             v = static_cast<double>(y) / page.rows;
                double g = 1 - d.unevenLight * (0.5 + 0.25 * (ax * (2 * u - 1) + ay * (2 * v - 1)));
                if (d.shadowBand) {
                    const double t = v + bandAngle * (u - 0.5) - bandAt;
                    if (std::abs(t) < bandWidth)
                        g *= 0.6;
                    else if (std::abs(t) < bandWidth * 1.3)
                        g *= 0.6 + 0.4 * (std::abs(t) - bandWidth) / (bandWidth * 0.3);
                }
                gain.at<float>(y, x) = static_cast<float>(g);
            }
        cv::Mat f;
        page.convertTo(f, CV_32F);
        f = f.mul(gain);
        f.convertTo(page, CV_8U);
    }
    const double w = page.cols, h = page.rows;
    const double margin = d.onTable ? 0.08 * std::max(w, h) : 0.02 * std::max(w, h);
    std::vector<cv::Point2f> from{{0, 0},
                                  {static_cast<float>(w), 0},
                                  {static_cast<float>(w), static_cast<float>(h)},
                                  {0, static_cast<float>(h)}};
    std::vector<cv::Point2f> to;
    for (const cv::Point2f& p : from) {
        const double jx = Uniform(r, -1, 1) * d.perspective * w * 0.5;
        const double jy = Uniform(r, -1, 1) * d.perspective * h * 0.5;
        to.emplace_back(static_cast<float>(p.x + jx), static_cast<float>(p.y + jy));
    }
    // Turn and skew about the centre.
    const double angle = (d.quarterTurns * 90 + d.skewDegrees) * M_PI / 180;
    const cv::Point2f centre(static_cast<float>(w / 2), static_cast<float>(h / 2));
    for (cv::Point2f& p : to) {
        const double x = p.x - centre.x, y = p.y - centre.y;
        p = {static_cast<float>(x * std::cos(angle) - y * std::sin(angle)),
             static_cast<float>(x * std::sin(angle) + y * std::cos(angle))};
    }
    float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
    for (const cv::Point2f& p : to) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    for (cv::Point2f& p : to)
        p += cv::Point2f(static_cast<float>(margin - minX), static_cast<float>(margin - minY));
    const cv::Size size(static_cast<int>(maxX - minX + 2 * margin),
                        static_cast<int>(maxY - minY + 2 * margin));
    cv::Mat out;
    const int background = d.onTable ? static_cast<int>(Uniform(r, 40, 90)) : 255;
    cv::warpPerspective(page, out, cv::getPerspectiveTransform(from, to), size, cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, background);
    if (d.blurSigma > 0) cv::GaussianBlur(out, out, cv::Size(), d.blurSigma);
    if (d.noiseSigma > 0) {
        cv::Mat noise(out.size(), CV_16S);
        cv::randn(noise, 0, d.noiseSigma);
        cv::Mat wide;
        out.convertTo(wide, CV_16S);
        wide += noise;
        wide.convertTo(out, CV_8U);
    }
    if (d.jpegQuality > 0) {
        std::vector<std::uint8_t> bytes;
        cv::imencode(".jpg", out, bytes, {cv::IMWRITE_JPEG_QUALITY, d.jpegQuality});
        out = cv::imdecode(bytes, cv::IMREAD_GRAYSCALE);
    }
    return out;
}

ia::scan::GrayImage ToGrayImage(const cv::Mat& m) {
    ia::scan::GrayImage image;
    image.width = m.cols;
    image.height = m.rows;
    image.pixels.resize(static_cast<size_t>(m.cols) * m.rows);
    for (int y = 0; y < m.rows; ++y)
        std::copy(m.ptr<std::uint8_t>(y), m.ptr<std::uint8_t>(y) + m.cols,
                  image.pixels.begin() + static_cast<long>(y) * m.cols);
    return image;
}

std::string IntendedAnswer(const ItemMarks& item) {
    std::vector<int> chosen;
    for (const auto& [choice, shape] : item.marks)
        if (shape != MarkShape::Erased) chosen.push_back(choice);
    if (chosen.empty()) return "";
    if (chosen.size() > 1) return "*";
    return std::to_string(chosen[0]);
}

bool MayBeDoubtful(const ItemMarks& item) {
    for (const auto& [choice, shape] : item.marks)
        if (shape != MarkShape::Full && shape != MarkShape::Partial) return true;
    return false;
}

} // namespace iatest
