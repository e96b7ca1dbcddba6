// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answer sheets filled in and spoiled by a program, as pencils, scanners and
// phones do it: the tests' round trips and the accuracy benchmark both make
// their pages here, so both measure the same kinds of pages.

#include "scan/ScanTypes.h"
#include "scan/SheetLayout.h"
#include "scan/SheetReader.h"

#include <opencv2/core.hpp>

#include <random>
#include <string>
#include <vector>

namespace iatest {

enum class MarkShape {
    Full,    // a bubble filled with a soft pencil
    Partial, // most of the bubble, not all
    Light,   // filled with a light hand
    Tick,    // a check mark
    Cross,   // an X
    Erased,  // filled, then rubbed out: a grey smudge
    Faint,   // barely there: between a smudge and a light fill, for review
};
const char* MarkShapeName(MarkShape shape);

// The page as grey pixels at dpi, as the sheets PDF draws it.
cv::Mat RenderSheetPage(const std::string& pdf, int page, int dpi);

// Draws a mark on bubble `centre` (page points) of a page rendered at dpi.
void DrawMark(cv::Mat& page, double dpi, ia::scan::PagePoint centre, MarkShape shape,
              std::mt19937& random);

// What is done to a page between the pencil and the reader.
struct Distortion {
    int quarterTurns = 0;   // 0..3, clockwise
    double skewDegrees = 0; // added to the turn
    double perspective = 0; // share of the page's size the corners move, up to 0.2
    bool onTable = false;   // a photo: the page on a dark surface, with a margin
    double blurSigma = 0;   // pixels
    double noiseSigma = 0;  // grey levels
    int jpegQuality = 0;    // 0: no JPEG
    double unevenLight = 0; // how much darker the dimmest corner is, 0..0.6
    bool shadowBand = false;
};

cv::Mat Distort(const cv::Mat& page, const Distortion& d, std::mt19937& random);

ia::scan::GrayImage ToGrayImage(const cv::Mat& m);

// The marks made on one item: none, one or two bubbles.
struct ItemMarks {
    std::vector<std::pair<int, MarkShape>> marks; // choice (1-based), shape
};

// The answer a mark stands for when read: a firm mark is the choice, an
// erasure is no mark, two firm marks are "*". A tick, a cross or a light mark
// is the choice too, but a reader may send it for review instead.
std::string IntendedAnswer(const ItemMarks& marks);
// Whether the reader may send this item for review rather than read it.
bool MayBeDoubtful(const ItemMarks& marks);

} // namespace iatest
