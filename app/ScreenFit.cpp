// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ia {

void FitToScreen(QWidget* dialog, QSize wanted) {
    QScreen* screen = dialog->parentWidget() ? dialog->parentWidget()->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        // The window frame and title bar take some of the screen too.
        const QSize room = screen->availableGeometry().size() - QSize(16, 40);
        wanted = wanted.boundedTo(room);
    }
    dialog->resize(wanted);
}

} // namespace ia
