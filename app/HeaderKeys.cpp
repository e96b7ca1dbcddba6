// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HeaderKeys.h"

#include <Qt>

namespace ia {

HeaderMove Text1KeyMove(int i, int key, bool modifier, int first, bool okVisible) {
    const HeaderMove stay;
    auto field = [](int f) { return HeaderMove{HeaderMove::Field, f}; };
    switch (key) {
    case Qt::Key_Left:
        if (modifier) return {HeaderMove::NewFileButton};
        return i > first ? field(i - 1) : stay;
    case Qt::Key_Right:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (i < 7) return field(i + 1);
        return okVisible ? HeaderMove{HeaderMove::OkButton} : stay;
    case Qt::Key_PageDown:
        return {HeaderMove::KeyGrid};
    case Qt::Key_Up:
        if (i == 1) return field(first);
        if (i >= 5 && i <= 7) return field(i - 4);
        return stay;
    case Qt::Key_Down: {
        static const int below[] = {1, 5, 6, 7, 7};
        return i >= 0 && i <= 4 ? field(below[i]) : stay;
    }
    case Qt::Key_Home:
        return field(first);
    case Qt::Key_End:
        return field(7);
    default:
        return stay;
    }
}

} // namespace ia
