// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartUp.h"

#include "app/FTAData.h"
#include "app/RecentFiles.h"
#include "app/ReportView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace ia {

void ShowMainWindow(FTAData& w, const QStringList& arguments) {
    w.reportView()->setZoom(UserSettings::reportZoom());
    if (w.restoreGeometry(UserSettings::windowGeometry())) {
        w.show();
    } else {
        // Without a window manager maximising does nothing; the window then
        // still covers the screen.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            w.setGeometry(screen->availableGeometry());
        w.showMaximized();
    }
    if (arguments.size() > 1) {
        // Once the window is up, so that a message box has its window.
        const QString file = arguments.at(1);
        QTimer::singleShot(0, &w, [&w, file] { w.OpenExamFile(file); });
    }
}

void RememberMainWindow(const FTAData& w) {
    UserSettings::setWindowGeometry(w.saveGeometry());
    UserSettings::setReportZoom(w.reportView()->zoom());
}

} // namespace ia
