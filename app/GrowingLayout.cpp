// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GrowingLayout.h"

#include <algorithm>

namespace ia {

void GrowingLayout::add(QWidget* w, unsigned anchors) {
    entries_.insert(w, Entry{w, w->geometry(), anchors});
    w->setGeometry(placed(entries_[w]));
}

void GrowingLayout::place(QWidget* w, const QRect& designRect) {
    auto it = entries_.find(w);
    if (it == entries_.end()) {
        w->setGeometry(designRect);
        return;
    }
    it->design = designRect;
    w->setGeometry(placed(*it));
}

QRect GrowingLayout::placed(const Entry& e) const {
    QRect r = e.design;
    if (e.anchors & MoveRight) r.translate(extra_.width(), 0);
    if (e.anchors & MoveDown) r.translate(0, extra_.height());
    if (e.anchors & GrowWidth) r.setWidth(r.width() + extra_.width());
    if (e.anchors & GrowHeight) r.setHeight(r.height() + extra_.height());
    return r;
}

void GrowingLayout::apply(QSize size) {
    extra_ = QSize(std::max(0, size.width() - design_.width()),
                   std::max(-spareHeight_, size.height() - design_.height()));
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->widget) it->widget->setGeometry(placed(*it));
}

} // namespace ia
