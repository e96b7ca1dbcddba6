// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/SheetReader.h"

#include "examfile/OutputFile.h"
#include "scan/SheetLayout.h"

#include <ZXing/ReadBarcode.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <optional>

namespace ia::scan {

namespace {

// The page is measured straightened at this many pixels a point (144 dpi):
// a bubble's measured disc then holds some 190 pixels.
constexpr double kPageScale = 2.0;
// The QR code is straightened finer, for its small modules.
constexpr double kQrScale = 3.0;
// The marker search works on a picture of this size (its longer side).
constexpr double kSearchSide = 1000;
// Where the paper around a bubble is sampled, clear of its ring and of the
// next bubble's.
constexpr double kOutsideRadius = 7.0;

struct Marker {
    cv::Point2d centre;
    double area = 0;
};

// Whether most of the 3x3 pixels around p are set in the binary picture.
bool DarkAround(const cv::Mat& bin, cv::Point2d p) {
    const int cx = static_cast<int>(std::lround(p.x)), cy = static_cast<int>(std::lround(p.y));
    int dark = 0;
    for (int y = cy - 1; y <= cy + 1; ++y)
        for (int x = cx - 1; x <= cx + 1; ++x)
            if (x >= 0 && y >= 0 && x < bin.cols && y < bin.rows && bin.at<std::uint8_t>(y, x))
                ++dark;
    return dark >= 5;
}

// Solid, square-ish blobs: the corner markers and, at most, a few solid
// things of the same kind; the QR's finder patterns have a hole and fail.
std::vector<Marker> MarkerCandidates(const cv::Mat& small) {
    cv::Mat bin;
    const int block = (static_cast<int>(std::max(small.cols, small.rows) / 15) | 1);
    cv::adaptiveThreshold(small, bin, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, block,
                          12);
    std::vector<std::vector<cv::Point>> contours;
    // Every contour, not only the outermost: a photo's dark table around the
    // paper makes one ring that holds everything on the page.
    cv::findContours(bin, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    const double side = std::min(small.cols, small.rows);
    const double least = std::pow(side * 0.012, 2), most = std::pow(side * 0.12, 2);
    std::vector<Marker> found;
    for (const auto& contour : contours) {
        const double area = cv::contourArea(contour);
        if (area < least || area > most) continue;
        const cv::RotatedRect box = cv::minAreaRect(contour);
        const double w = box.size.width, h = box.size.height;
        if (w <= 0 || h <= 0 || std::max(w, h) / std::min(w, h) > 2.0) continue;
        if (area / (w * h) < 0.7) continue;
        const cv::Moments m = cv::moments(contour);
        if (m.m00 <= 0) continue;
        const cv::Point2d centre(m.m10 / m.m00, m.m01 / m.m00);
        // A ring (a blank bubble, the edge of its hole) is light at its
        // centre: told at a glance, before the costlier count below.
        if (!DarkAround(bin, centre)) continue;
        // Solid inside: the pixels within the contour are nearly all dark.
        const cv::Rect r = cv::boundingRect(contour) & cv::Rect(0, 0, bin.cols, bin.rows);
        cv::Mat mask = cv::Mat::zeros(r.size(), CV_8U);
        cv::drawContours(mask, std::vector<std::vector<cv::Point>>{contour}, 0, 255, cv::FILLED,
                         cv::LINE_8, cv::noArray(), 0, -r.tl());
        const double inside = cv::countNonZero(mask);
        cv::Mat both;
        cv::bitwise_and(bin(r), mask, both);
        if (inside <= 0 || cv::countNonZero(both) / inside < 0.9) continue;
        found.push_back({centre, area});
    }
    return found;
}

// The picture reduced to about kSearchSide for the marker search: halved
// by 2x2 averages while it stays larger (OpenCV's fast path), the rest by
// bilinear step of less than half. A sixth of the time of one INTER_AREA
// step by a fraction, which OpenCV does the slow way, to nearly the same
// picture. `f` is the reduction made.
cv::Mat Reduced(const cv::Mat& gray, double& f) {
    const double side = std::max(gray.cols, gray.rows);
    f = std::min(1.0, kSearchSide / side);
    if (f >= 1) return gray;
    cv::Mat small = gray;
    int whole = 1;
    while (side / (whole * 2) >= kSearchSide) {
        // Cut to an even size, so that OpenCV sees a whole factor; the
        // last column or row holds no marker.
        const cv::Mat even = small(cv::Rect(0, 0, small.cols / 2 * 2, small.rows / 2 * 2));
        cv::Mat half;
        cv::resize(even, half, cv::Size(even.cols / 2, even.rows / 2), 0, 0, cv::INTER_AREA);
        small = half;
        whole *= 2;
    }
    if (f * whole < 1) {
        cv::Mat rest;
        cv::resize(small, rest, cv::Size(), f * whole, f * whole, cv::INTER_LINEAR);
        small = rest;
    } else {
        f = 1.0 / whole;
    }
    return small;
}

// The four markers in the picture's own corners: top left, top right,
// bottom right, bottom left as the picture shows them.
std::optional<std::array<cv::Point2d, 4>> FindMarkers(const cv::Mat& small) {
    std::vector<Marker> all = MarkerCandidates(small);
    if (all.size() < 4) return std::nullopt;
    double largest = 0;
    for (const Marker& m : all)
        largest = std::max(largest, m.area);
    std::vector<Marker> big;
    for (const Marker& m : all)
        if (m.area >= 0.2 * largest) big.push_back(m);
    if (big.size() < 4) return std::nullopt;
    auto pick = [&](auto score) {
        return *std::max_element(big.begin(), big.end(), [&](const Marker& a, const Marker& b) {
            return score(a.centre) < score(b.centre);
        });
    };
    const std::array<Marker, 4> corners{pick([](cv::Point2d p) { return -p.x - p.y; }),
                                        pick([](cv::Point2d p) { return p.x - p.y; }),
                                        pick([](cv::Point2d p) { return p.x + p.y; }),
                                        pick([](cv::Point2d p) { return p.y - p.x; })};
    std::array<cv::Point2d, 4> points;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < i; ++j)
            if (cv::norm(corners[i].centre - corners[j].centre) < 1e-6) return std::nullopt;
        points[i] = corners[i].centre;
    }
    // A convex quadrilateral, wound one way.
    double sign = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2d a = points[(i + 1) % 4] - points[i],
                          b = points[(i + 2) % 4] - points[(i + 1) % 4];
        const double cross = a.x * b.y - a.y * b.x;
        if (sign == 0) sign = cross;
        if (cross * sign <= 0) return std::nullopt;
    }
    return points;
}

// From page points to picture pixels, with the picture's corner `start`
// taken for the page's top left.
cv::Matx33d PageToPicture(const std::array<cv::Point2d, 4>& picture, int start) {
    std::vector<cv::Point2f> from, to;
    const std::array<Corner, 4> order{Corner::TopLeft, Corner::TopRight, Corner::BottomRight,
                                      Corner::BottomLeft};
    for (int i = 0; i < 4; ++i) {
        const PagePoint p = MarkerCentre(order[i]);
        from.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        const cv::Point2d q = picture[(start + i) % 4];
        to.emplace_back(static_cast<float>(q.x), static_cast<float>(q.y));
    }
    return cv::Matx33d(cv::getPerspectiveTransform(from, to));
}

// The straightened picture of a page rectangle at `scale` pixels a point.
cv::Mat Straightened(const cv::Mat& gray, const cv::Matx33d& toPicture, const PageRect& r,
                     double scale) {
    const cv::Matx33d fromOut(1 / scale, 0, r.x, 0, 1 / scale, r.y, 0, 0, 1);
    cv::Mat out;
    cv::warpPerspective(gray, out, cv::Mat(toPicture * fromOut),
                        cv::Size(static_cast<int>(r.w * scale), static_cast<int>(r.h * scale)),
                        cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT, 255);
    return out;
}

enum class QrOutcome { None, Foreign, Ours };

QrOutcome ReadQr(const cv::Mat& gray, const cv::Matx33d& toPicture, SheetIdentity& id) {
    PageRect r = QrRect();
    r.x -= 8;
    r.y -= 8;
    r.w += 16;
    r.h += 16;
    const cv::Mat qr = Straightened(gray, toPicture, r, kQrScale);
    ZXing::ImageView view(qr.data, qr.cols, qr.rows, ZXing::ImageFormat::Lum,
                          static_cast<int>(qr.step));
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    hints.setTryRotate(false);
    // The quick look first; the thorough one only for a hard page.
    hints.setTryHarder(false);
    ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) {
        hints.setTryHarder(true);
        result = ZXing::ReadBarcode(view, hints);
    }
    if (!result.isValid()) return QrOutcome::None;
    // The bytes as printed: our text is UTF-8 already, no guessing of its set.
    const ZXing::ByteArray& bytes = result.bytes();
    const auto parsed = ParseIdentity(std::string(bytes.begin(), bytes.end()));
    if (!parsed) return QrOutcome::Foreign;
    id = *parsed;
    return QrOutcome::Ours;
}

// The page straightened, with the paper's own brightness divided out
// (uneven light, a shadow across it): white paper becomes 255 everywhere.
// Only the band of rows from top to bottom (points) is straightened, the
// rest of the page left white: straightening is the costliest step of the
// reading, and the header above the bubbles holds nothing to measure. The
// band is cut at even pixel rows, so that its halving below takes the same
// pairs of rows as the whole page's would.
cv::Mat EvenPage(const cv::Mat& gray, const cv::Matx33d& toPicture, double top, double bottom) {
    const int width = static_cast<int>(kPageWidth * kPageScale),
              height = static_cast<int>(kPageHeight * kPageScale);
    const int first = std::clamp(static_cast<int>(std::floor(top * kPageScale / 2)) * 2, 0, height);
    const int last =
        std::clamp(static_cast<int>(std::ceil(bottom * kPageScale / 2)) * 2, first, height);
    cv::Mat even(height, width, CV_8UC1, cv::Scalar(255));
    if (last <= first) return even;
    const cv::Mat band =
        Straightened(gray, toPicture,
                     {0, first / kPageScale, static_cast<double>(width) / kPageScale,
                      (last - first) / kPageScale},
                     kPageScale);
    cv::Mat small, paper;
    cv::resize(band, small, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    // The brightest nearby is the paper: a window wider than a filled
    // bubble, so a mark never counts as paper, and no wider, so that the
    // edge of a shadow stays sharp.
    cv::dilate(small, small, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(15, 15)));
    cv::blur(small, small, cv::Size(7, 7));
    cv::resize(small, paper, band.size(), 0, 0, cv::INTER_LINEAR);
    cv::Mat into = even.rowRange(first, first + band.rows);
    cv::divide(band, cv::max(paper, 1), into, 255.0);
    return even;
}

class BubbleMeter {
  public:
    explicit BubbleMeter(const cv::Mat& page) : page_(page) {
        const int r = static_cast<int>(std::ceil(kMeasuredRadius * kPageScale));
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx)
                if (dx * dx + dy * dy <= std::pow(kMeasuredRadius * kPageScale, 2))
                    disc_.emplace_back(dx, dy);
        for (int i = 0; i < 24; ++i) {
            const double a = i * 2 * M_PI / 24;
            ring_.emplace_back(std::cos(a), std::sin(a));
        }
    }

    // How much darker the printed rings are than the paper just outside
    // them, for bubbles at these centres moved by (dx, dy) pixels.
    double ringContrast(const std::vector<PagePoint>& centres, int dx, int dy) const {
        double sum = 0;
        for (const PagePoint& p : centres) {
            const double cx = p.x * kPageScale + dx, cy = p.y * kPageScale + dy;
            for (const cv::Point2d& u : ring_) {
                sum += at(cx + u.x * kBubbleRadius * kPageScale,
                          cy + u.y * kBubbleRadius * kPageScale) -
                       at(cx + u.x * kOutsideRadius * kPageScale,
                          cy + u.y * kOutsideRadius * kPageScale);
            }
        }
        return -sum;
    }

    // The best shift (pixels) for a row of bubbles, within a small reach:
    // a photo's lens and a curled page move the rows a little.
    cv::Point shiftFor(const std::vector<PagePoint>& centres) const {
        // Coarse steps first, then the neighbours of the best: a sixth of
        // the work of trying every shift, for the same result on a smooth
        // contrast.
        cv::Point best(0, 0);
        double bestScore = ringContrast(centres, 0, 0);
        auto tryAround = [&](cv::Point from, int step) {
            const cv::Point centre = from;
            for (int dy = -step; dy <= step; dy += step)
                for (int dx = -step; dx <= step; dx += step) {
                    const cv::Point at(centre.x + dx, centre.y + dy);
                    if ((dx == 0 && dy == 0) || std::abs(at.x) > 3 || std::abs(at.y) > 3) continue;
                    const double s = ringContrast(centres, at.x, at.y);
                    if (s > bestScore + 1e-9) {
                        bestScore = s;
                        best = at;
                    }
                }
        };
        tryAround({0, 0}, 2);
        tryAround(best, 1);
        return best;
    }

    // The share of light the darker half of the bubble's inside takes away
    // from the paper right around it. The darker half: a tick or a cross
    // darkens only part of a bubble and must not fade into the paper, while
    // a full fill, a light one or an erasure's smudge is even anyway. The
    // paper around it: what is left of a shadow's edge is there on both.
    float darkness(PagePoint p, cv::Point shift) const {
        const double fx = p.x * kPageScale + shift.x, fy = p.y * kPageScale + shift.y;
        const int cx = static_cast<int>(std::lround(fx)), cy = static_cast<int>(std::lround(fy));
        std::vector<std::uint8_t>& values = values_;
        values.clear();
        for (const cv::Point& d : disc_) {
            const int x = cx + d.x, y = cy + d.y;
            if (x < 0 || y < 0 || x >= page_.cols || y >= page_.rows) continue;
            values.push_back(page_.at<std::uint8_t>(y, x));
        }
        if (values.empty()) return 0;
        const auto half = values.begin() + static_cast<long>(values.size() / 2);
        std::nth_element(values.begin(), half, values.end());
        long sum = 0;
        for (auto v = values.begin(); v != half + 1; ++v)
            sum += *v;
        const long n = half + 1 - values.begin();
        std::array<double, 24> around{};
        for (size_t i = 0; i < ring_.size() && i < around.size(); ++i)
            around[i] = at(fx + ring_[i].x * kOutsideRadius * kPageScale,
                           fy + ring_[i].y * kOutsideRadius * kPageScale);
        // The median: a neighbour's mark may cover some of the samples.
        std::nth_element(around.begin(), around.begin() + 12, around.end());
        const double paper = std::max(around[12], 1.0);
        const double inside = static_cast<double>(sum) / n;
        // Rounded as the exam file keeps it, so that deciding again from the
        // kept values gives exactly what the first reading gave.
        const double darkness = std::clamp(1.0 - inside / paper, 0.0, 1.0);
        return static_cast<float>(std::round(darkness * 1000) / 1000);
    }

  private:
    double at(double x, double y) const {
        // Rounded as lround rounds (what lies below 0 is clamped to 0
        // anyway), without its call: this runs some 500,000 times a page.
        const int ix = std::clamp(static_cast<int>(x + 0.5), 0, page_.cols - 1);
        const int iy = std::clamp(static_cast<int>(y + 0.5), 0, page_.rows - 1);
        return page_.at<std::uint8_t>(iy, ix);
    }
    const cv::Mat& page_;
    std::vector<cv::Point> disc_;
    mutable std::vector<std::uint8_t> values_;
    std::vector<cv::Point2d> ring_;
};

void SavePicture(const cv::Mat& page, const PageRect& r, const std::string& path) {
    const cv::Rect box =
        cv::Rect(static_cast<int>(r.x * kPageScale), static_cast<int>(r.y * kPageScale),
                 static_cast<int>(r.w * kPageScale), static_cast<int>(r.h * kPageScale)) &
        cv::Rect(0, 0, page.cols, page.rows);
    std::vector<std::uint8_t> png;
    if (box.area() <= 0 || !cv::imencode(".png", page(box), png)) return;
    try {
        WriteFileReplacing(path, "export",
                           std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
    } catch (const ReplaceFileError&) {
        // A picture only helps the review: review.csv lists the mark either way.
    }
}

std::string PictureName(const PageSource& source, const std::string& what) {
    return std::filesystem::path(source.path).stem().string() + "-p" + std::to_string(source.page) +
           "-" + what + ".png";
}

} // namespace

ReadPage ReadSheetPage(const GrayImage& image, const PageSource& source,
                       const ReaderSettings& settings) {
    ReadPage out;
    out.source = source;
    if (image.width <= 0 || image.height <= 0) {
        out.refusal = kNoMarkers;
        return out;
    }
    const cv::Mat gray(image.height, image.width, CV_8UC1,
                       const_cast<std::uint8_t*>(image.pixels.data()));
    double f = 1;
    const cv::Mat small = Reduced(gray, f);
    const auto found = FindMarkers(small);
    if (!found) {
        out.refusal = kNoMarkers;
        return out;
    }
    std::array<cv::Point2d, 4> markers;
    for (int i = 0; i < 4; ++i)
        markers[i] = (*found)[i] / f;
    // An upright page's top edge is its short one; try those turns first.
    const double top = cv::norm(markers[1] - markers[0]), left = cv::norm(markers[3] - markers[0]);
    const std::array<int, 4> starts =
        top < left ? std::array<int, 4>{0, 2, 1, 3} : std::array<int, 4>{1, 3, 0, 2};
    std::optional<cv::Matx33d> toPicture;
    bool foreign = false;
    for (int start : starts) {
        const cv::Matx33d h = PageToPicture(markers, start);
        const QrOutcome qr = ReadQr(gray, h, out.identity);
        if (qr == QrOutcome::Ours) {
            toPicture = h;
            break;
        }
        foreign = foreign || qr == QrOutcome::Foreign;
    }
    if (!toPicture) {
        out.refusal = foreign ? kNotOurSheet : kQrUnreadable;
        return out;
    }
    if (settings.examId.empty()) {
        out.refusal = kNoExamId;
        return out;
    }
    if (out.identity.examId != settings.examId) {
        out.refusal = kOtherExam;
        return out;
    }
    const SheetLayout layout(settings.nItem, settings.nChoice, out.identity.codeDigits);
    if (layout.pageCount() != out.identity.pageCount) {
        out.refusal = kOtherExam;
        return out;
    }
    const int p = out.identity.page;
    out.firstItem = layout.firstItem(p);
    const bool codeGrid = p == 1 && !out.identity.key && out.identity.code.empty();
    // The rows measured: every bubble with the paper around it, and the
    // pictures of the review.
    double bandTop = kPageHeight, bandBottom = 0;
    auto cover = [&](const PageRect& r) {
        bandTop = std::min(bandTop, r.y);
        bandBottom = std::max(bandBottom, r.y + r.h);
    };
    for (int item = out.firstItem; item < out.firstItem + layout.itemsOnPage(p); ++item)
        cover(layout.itemRow(item));
    if (codeGrid) cover(layout.codeGrid());
    // Beyond the rows: the paper sampled around a bubble reaches a point
    // past its row (with the shift found for it), the estimate of that
    // paper's brightness 11 points further; 30 leaves room to spare.
    constexpr double kBandMargin = 30;
    const cv::Mat page =
        EvenPage(gray, *toPicture, bandTop - kBandMargin, bandBottom + kBandMargin);
    const BubbleMeter meter(page);
    std::vector<float> all;
    for (int item = out.firstItem; item < out.firstItem + layout.itemsOnPage(p); ++item) {
        std::vector<PagePoint> centres;
        for (int k = 1; k <= settings.nChoice; ++k)
            centres.push_back(layout.bubble(item, k));
        const cv::Point shift = meter.shiftFor(centres);
        std::vector<float> row;
        for (const PagePoint& c : centres)
            row.push_back(meter.darkness(c, shift));
        all.insert(all.end(), row.begin(), row.end());
        out.items.push_back(std::move(row));
    }
    if (codeGrid) {
        for (int c = 0; c < layout.codeDigits(); ++c) {
            std::vector<PagePoint> centres;
            for (int d = 0; d <= 9; ++d)
                centres.push_back(layout.codeBubble(c, d));
            const cv::Point shift = meter.shiftFor(centres);
            std::vector<float> column;
            for (const PagePoint& centre : centres)
                column.push_back(meter.darkness(centre, shift));
            all.insert(all.end(), column.begin(), column.end());
            out.code.push_back(std::move(column));
        }
    }
    out.levels = EstimateLevels(all);
    if (!settings.reviewFolder.empty()) {
        const std::filesystem::path folder(settings.reviewFolder);
        for (size_t i = 0; i < out.items.size(); ++i)
            if (DecideItem(out.items[i], out.levels).reading == ItemReading::Doubtful) {
                const int item = out.firstItem + static_cast<int>(i);
                SavePicture(page, layout.itemRow(item),
                            (folder / PictureName(source, "item" + std::to_string(item))).string());
            }
        if (!out.code.empty() && !DecideCode(out.code, out.levels).problem.empty())
            SavePicture(page, layout.codeGrid(), (folder / PictureName(source, "code")).string());
    }
    return out;
}

} // namespace ia::scan
