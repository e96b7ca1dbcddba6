// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/PrinterRecording.h"

namespace ia {

void RecordingPrinter::SetFont(const std::string& name, double points) {
    fontName_ = name;
    fontPoints_ = points;
}

double RecordingPrinter::TextWidth(const std::string& text) const {
    return MeasureTextCm(fontName_, fontPoints_, dpi_, text);
}

void RecordingPrinter::Print(const std::string& text) {
    if (!text.empty() && !started_) {
        started_ = true;
        sheetOrientation_ = orientation_;
    }
    texts_.push_back({sheet_, x_, y_, text, sheetOrientation_});
    x_ = 0;
    y_ += MeasureLineCm(fontName_, fontPoints_, dpi_);
}

void RecordingPrinter::NewPage() {
    if (!started_) sheetOrientation_ = orientation_;
    started_ = true;
    ++newPages_;
    ++sheet_;
    sheetOrientation_ = orientation_;
    x_ = 0;
    y_ = 0;
}

void RecordingPrinter::EndDoc() {
    ++endDocs_;
    x_ = 0;
    y_ = 0;
}

void RecordingPrinter::SetOrientation(Orientation o) {
    orientation_ = o;
    if (!started_) sheetOrientation_ = o;
}

} // namespace ia
