// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DataNavBar.h"

#include <QLabel>
#include <QToolButton>

namespace ia {

namespace {
QToolButton* NavButton(QWidget* parent, const QString& text, const char* name) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setObjectName(name);
    // Reached by Tab like every button, but a click leaves the focus in the
    // grid where the teacher types.
    b->setFocusPolicy(Qt::TabFocus);
    b->setAutoRaise(false);
    return b;
}
} // namespace

DataNavBar::DataNavBar(QWidget* parent) : QWidget(parent) {
    first_ = NavButton(this, QStringLiteral("|◀"), "Data1First");
    previous_ = NavButton(this, QStringLiteral("◀"), "Data1Previous");
    next_ = NavButton(this, QStringLiteral("▶"), "Data1Next");
    last_ = NavButton(this, QStringLiteral("▶|"), "Data1Last");
    caption_ = new QLabel(this);
    caption_->setObjectName("Data1Caption");
    caption_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    caption_->setAutoFillBackground(true);
    caption_->setFrameShape(QFrame::Panel);
    caption_->setFrameShadow(QFrame::Sunken);
    connect(first_, &QToolButton::clicked, this, &DataNavBar::moveFirst);
    connect(previous_, &QToolButton::clicked, this, &DataNavBar::movePrevious);
    connect(next_, &QToolButton::clicked, this, &DataNavBar::moveNext);
    connect(last_, &QToolButton::clicked, this, &DataNavBar::moveLast);
}

QString DataNavBar::caption() const {
    return caption_->text();
}
QString RecordCaption(int position, int count) {
    if (position < 0) return QString("ระเบียนใหม่ (มีอยู่ %1 ระเบียน)").arg(count);
    return QString("ระเบียนที่ %1 จาก %2").arg(position + 1).arg(count);
}

void DataNavBar::setCaption(const QString& text) {
    fullCaption_ = text;
    caption_->setText(text);
    caption_->setToolTip(text);
    layOut();
}

void DataNavBar::resizeEvent(QResizeEvent*) {
    layOut();
}

void DataNavBar::layOut() {
    const int h = height();
    // A caption too long for the bar even with the narrowest arrows keeps
    // its numbers and drops its words ("1000000/1000000").
    caption_->setText(fullCaption_);
    auto needFor = [this](const QString& t) {
        return caption_->fontMetrics().horizontalAdvance(t) + 2 * caption_->frameWidth() +
               caption_->margin() * 2 + 4;
    };
    if (width() - 4 * (h / 2) < needFor(fullCaption_)) {
        QString shortText = fullCaption_;
        shortText.remove("ระเบียนที่ ").replace(" จาก ", "/");
        caption_->setText(shortText);
    }
    // Narrow arrows leave the caption room for "ระเบียนที่ n จาก m"; the
    // seven digits of a district's millionth sheet take them narrower still
    // (down to half the bar's height) rather than cut the number.
    const int need = caption_->fontMetrics().horizontalAdvance(caption_->text()) +
                     2 * caption_->frameWidth() + caption_->margin() * 2 + 4;
    const int usual = qMin(h * 3 / 4, width() / 8);
    const int bw = qBound(qMin(h / 2, usual), (width() - need) / 4, usual);
    first_->setGeometry(0, 0, bw, h);
    previous_->setGeometry(bw, 0, bw, h);
    caption_->setGeometry(2 * bw, 0, qMax(0, width() - 4 * bw), h);
    next_->setGeometry(width() - 2 * bw, 0, bw, h);
    last_->setGeometry(width() - bw, 0, bw, h);
}

} // namespace ia
