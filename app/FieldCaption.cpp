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

void FieldCaption::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm = fontMetrics();
    const QStringList words = text().split(' ', Qt::SkipEmptyParts);
    const int gap = fm.horizontalAdvance(' ');
    int x = 0;
    for (int i = 0; i < words.size(); ++i) {
        const int w = fm.horizontalAdvance(words[i]);
        // Never over the word before, whatever the anchors say.
        if (i > 0) x = std::max(x + gap, i - 1 < ends_.size() ? ends_[i - 1] - w : x + gap);
        p.drawText(QRect(x, 0, w, height()), Qt::AlignLeft | Qt::AlignVCenter, words[i]);
        x += w;
    }
}

} // namespace ia
