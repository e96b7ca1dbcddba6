// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the focus goes when a key is pressed in a header field.

namespace ia {

struct HeaderMove {
    enum Target { Stay, Field, NewFileButton, OkButton, KeyGrid };
    Target target = Stay;
    int field = -1; // for Field

    bool operator==(const HeaderMove&) const = default;
};

// index: the header field (0 file name .. 7 teacher); key: a Qt key code;
// modifier: Shift, Ctrl or Alt held; firstField: 1 while a file is open (the
// file name cannot be reached), 0 while a new header is typed; okVisible:
// the OK button of the header panel is shown.
HeaderMove Text1KeyMove(int index, int key, bool modifier, int firstField, bool okVisible);

} // namespace ia
