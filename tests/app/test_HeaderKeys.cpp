// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HeaderKeys.h"

#include <Qt>
#include <gtest/gtest.h>

#include <string>

namespace {

using ia::HeaderMove;

HeaderMove F(int i) {
    return {HeaderMove::Field, i};
}
const HeaderMove kStay{};
const HeaderMove kNewFile{HeaderMove::NewFileButton};
const HeaderMove kOk{HeaderMove::OkButton};
const HeaderMove kKeyGrid{HeaderMove::KeyGrid};

struct Case {
    int index;
    int key;
    bool modifier;
    int first; // 0: new header, 1: file open
    bool okVisible;
    HeaderMove expected;
};

TEST(Text1KeyMove, Table) {
    const Case cases[] = {
        // Left: back one field, never before the first reachable one.
        {3, Qt::Key_Left, false, 0, true, F(2)},
        {1, Qt::Key_Left, false, 0, true, F(0)},
        {1, Qt::Key_Left, false, 1, false, kStay},
        {0, Qt::Key_Left, false, 0, true, kStay},
        // Any modifier with left goes to the new-file button, from any field.
        {0, Qt::Key_Left, true, 0, true, kNewFile},
        {5, Qt::Key_Left, true, 1, false, kNewFile},
        // Right and Enter: on to the next field, from the last to OK if shown.
        {0, Qt::Key_Right, false, 0, true, F(1)},
        {6, Qt::Key_Return, false, 1, false, F(7)},
        {6, Qt::Key_Enter, false, 1, false, F(7)},
        {7, Qt::Key_Return, false, 0, true, kOk},
        {7, Qt::Key_Right, false, 0, true, kOk},
        {7, Qt::Key_Return, false, 1, false, kStay},
        // Page down: the key grid from anywhere.
        {0, Qt::Key_PageDown, false, 0, true, kKeyGrid},
        {7, Qt::Key_PageDown, true, 1, false, kKeyGrid},
        // Up: field 1 to the first reachable field, the lower row to the upper.
        {1, Qt::Key_Up, false, 0, true, F(0)},
        {1, Qt::Key_Up, false, 1, false, F(1)},
        {5, Qt::Key_Up, false, 1, false, F(1)},
        {6, Qt::Key_Up, false, 1, false, F(2)},
        {7, Qt::Key_Up, false, 1, false, F(3)},
        {0, Qt::Key_Up, false, 0, true, kStay},
        {2, Qt::Key_Up, false, 0, true, kStay},
        {3, Qt::Key_Up, false, 0, true, kStay},
        {4, Qt::Key_Up, false, 0, true, kStay},
        // Down: from the file name to the subject code, the upper row to the lower.
        {0, Qt::Key_Down, false, 0, true, F(1)},
        {1, Qt::Key_Down, false, 0, true, F(5)},
        {2, Qt::Key_Down, false, 0, true, F(6)},
        {3, Qt::Key_Down, false, 0, true, F(7)},
        {4, Qt::Key_Down, false, 0, true, F(7)},
        {5, Qt::Key_Down, false, 0, true, kStay},
        {6, Qt::Key_Down, false, 0, true, kStay},
        {7, Qt::Key_Down, false, 0, true, kStay},
        // Home and End.
        {6, Qt::Key_Home, false, 0, true, F(0)},
        {6, Qt::Key_Home, false, 1, false, F(1)},
        {2, Qt::Key_End, false, 1, false, F(7)},
        // Other keys leave the focus where it is.
        {3, Qt::Key_A, false, 0, true, kStay},
        {3, Qt::Key_Tab, false, 0, true, kStay},
        {3, Qt::Key_PageUp, false, 0, true, kStay},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("field " + std::to_string(c.index) + " key " + std::to_string(c.key) +
                     (c.modifier ? " +mod" : "") + " first " + std::to_string(c.first));
        HeaderMove m = ia::Text1KeyMove(c.index, c.key, c.modifier, c.first, c.okVisible);
        EXPECT_EQ(m.target, c.expected.target);
        EXPECT_EQ(m.field, c.expected.field);
    }
}

} // namespace
