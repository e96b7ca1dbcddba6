// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A caption over a row of fields, its words separated by runs of blanks. The
// blanks were counted for a narrower face than the Thai faces at hand, so each
// word after the first is drawn to end just before the field it names; the
// caption text itself stays as it is.

#include <QLabel>
#include <QVector>

namespace ia {

class FieldCaption : public QLabel {
    Q_OBJECT
  public:
    FieldCaption(const QString& caption, QWidget* parent);
    // Right edges, in this label's pixels, of the second, third, ... word.
    void setWordEnds(const QVector<int>& ends);
    // Right edge, in this label's pixels, that the first word must not pass.
    void setFirstWordEnd(int end);
    // Where each word is drawn, in this label's pixels.
    QVector<QRect> wordRects() const;

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QVector<int> ends_;
    int firstEnd_ = -1;
};

} // namespace ia
