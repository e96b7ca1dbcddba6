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

void FieldCaption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm = fontMetrics();
    const QStringList words = text().split(' ', Qt::SkipEmptyParts);
    const int gap = fm.horizontalAdvance(' ');
    int x = 0;
    for (int i = 0; i < words.size(); ++i) {
        const int w = fm.horizontalAdvance(words[i]);
        if (i == 0 && firstEnd_ > 0 && w > firstEnd_) {
            // The first word starts at the caption's left and would run
            // under the first field: the wide Thai face is narrowed to fit.
            p.save();
            p.scale(std::max(0.6, double(firstEnd_) / w), 1.0);
            p.drawText(QRect(0, 0, w, height()), Qt::AlignLeft | Qt::AlignVCenter, words[i]);
            p.restore();
            x = firstEnd_;
            continue;
        }
        // Never over the word before, whatever the anchors say.
        if (i > 0) x = std::max(x + gap, i - 1 < ends_.size() ? ends_[i - 1] - w : x + gap);
        p.drawText(QRect(x, 0, w, height()), Qt::AlignLeft | Qt::AlignVCenter, words[i]);
        x += w;
    }
}

} // namespace ia
