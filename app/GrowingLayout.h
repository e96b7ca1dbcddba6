// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Lets a window drawn for one size use a larger one: every control keeps the
// place it was drawn at, and the room a larger window adds goes to the
// controls that show data, while the bars below them follow their bottom edge.

#include <QHash>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace ia {

class GrowingLayout {
  public:
    // How a control takes the window's extra width and height.
    enum Anchor : unsigned {
        Fixed = 0,
        MoveRight = 1,  // keeps its distance to the right edge
        MoveDown = 2,   // keeps its distance to the bottom edge
        GrowWidth = 4,  // takes the extra width
        GrowHeight = 8, // takes the extra height
    };

    // The size the layout was drawn for; extra room is measured from it.
    void setDesignSize(QSize size) { design_ = size; }
    QSize designSize() const { return design_; }
    // How much lower than the design size the window may be: the controls
    // that take extra height give it back, the ones below them move up.
    void setSpareHeight(int pixels) { spareHeight_ = pixels; }
    QSize minimumSize() const { return design_ - QSize(0, spareHeight_); }

    // Takes the control's present geometry as the one drawn for the design
    // size (the control's parent must be laid out with the same extra room).
    void add(QWidget* w, unsigned anchors);
    // Places the control at `designRect` as drawn for the design size and
    // applies the present extra room.
    void place(QWidget* w, const QRect& designRect);
    QRect designRect(QWidget* w) const { return entries_.value(w).design; }

    // Applies the extra room of a window of `size` to every control (less
    // room, down to the spare height, for a lower window).
    void apply(QSize size);

  private:
    struct Entry {
        QPointer<QWidget> widget;
        QRect design;
        unsigned anchors = Fixed;
    };
    QRect placed(const Entry& e) const;

    QSize design_;
    int spareHeight_ = 0;
    QSize extra_{0, 0};
    QHash<QWidget*, Entry> entries_;
};

} // namespace ia
