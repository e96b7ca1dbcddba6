// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Dialogs on small screens.

#include <QSize>

class QWidget;

namespace ia {

// Gives a dialog the size it was drawn for, or less where the screen it
// opens on is smaller, so that its buttons stay on screen (its long parts
// then scroll).
void FitToScreen(QWidget* dialog, QSize wanted);

} // namespace ia
