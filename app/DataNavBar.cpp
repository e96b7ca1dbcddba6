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
void DataNavBar::setCaption(const QString& text) {
    caption_->setText(text);
    layOut();
}

void DataNavBar::setLargestPosition(int position) {
    if (position == largest_) return;
    largest_ = position;
    resizeEvent(nullptr);
}

int DataNavBar::captionWidthNeeded() const {
    const QString widest = "Record: " + QString::number(largest_);
    return caption_->fontMetrics().horizontalAdvance(widest) + 2 * caption_->frameWidth() +
           caption_->margin() * 2 + 4;
}

int DataNavBar::captionWidth() const {
    return caption_->width();
}

void DataNavBar::resizeEvent(QResizeEvent*) {
    layOut();
}

void DataNavBar::layOut() {
    const int h = height();
    // Narrow arrows leave the caption room for "Record: " and the largest
    // position; they get narrower still before a digit is cut.
    const int room = (width() - captionWidthNeeded()) / 4;
    const int bw = qMax(qMin(h * 3 / 4, qMin(width() / 8, room)), qMin(12, width() / 8));
    first_->setGeometry(0, 0, bw, h);
    previous_->setGeometry(bw, 0, bw, h);
    caption_->setGeometry(2 * bw, 0, qMax(0, width() - 4 * bw), h);
    next_->setGeometry(width() - 2 * bw, 0, bw, h);
    last_->setGeometry(width() - bw, 0, bw, h);
}

} // namespace ia
