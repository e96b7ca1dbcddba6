// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FieldCaption.h"

#include <QPainter>
#include <QStringList>

#include <algorithm>

namespace ia {

FieldCaption::FieldCaption(const QString& caption, QWidget* parent) : QLabel(caption, parent) {}

void FieldCaption::setWordEnds(const QVector<int>& ends) {
    ends_ = ends;
    update();
}

void FieldCaption::setFirstWordEnd(int end) {
    firstEnd_ = end;
    update();
}

QVector<QRect> FieldCaption::wordRects() const {
    const QFontMetrics fm = fontMetrics();
    const QStringList words = text().split(' ', Qt::SkipEmptyParts);
    const int gap = fm.horizontalAdvance(' ');
    QVector<QRect> rects;
    int x = 0;
    for (int i = 0; i < words.size(); ++i) {
        const int w = fm.horizontalAdvance(words[i]);
        if (i == 0 && firstEnd_ > 0 && w > firstEnd_) {
            // The first word starts at the caption's left and would run
            // under the first field: the wide Thai face is narrowed to fit.
            rects << QRect(0, 0, std::max(int(w * 0.6), firstEnd_), height());
            x = rects.back().right() + 1;
            continue;
        }
        // Never over the word before, whatever the anchors say.
        if (i > 0) x = std::max(x + gap, i - 1 < ends_.size() ? ends_[i - 1] - w : x + gap);
        rects << QRect(x, 0, w, height());
        x += w;
    }
    return rects;
}

void FieldCaption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm = fontMetrics();
    const QStringList words = text().split(' ', Qt::SkipEmptyParts);
    const QVector<QRect> rects = wordRects();
    for (int i = 0; i < words.size(); ++i) {
        const int w = fm.horizontalAdvance(words[i]);
        p.save();
        if (rects[i].width() < w) {
            p.scale(double(rects[i].width()) / w, 1.0);
            p.drawText(QRect(0, 0, w, height()), Qt::AlignLeft | Qt::AlignVCenter, words[i]);
        } else {
            p.drawText(rects[i], Qt::AlignLeft | Qt::AlignVCenter, words[i]);
        }
        p.restore();
    }
}

} // namespace ia
