// itemanalysis: the window in which a teacher creates or opens an exam file,
// types the key and the answer sheets, and analyses the test.
//
//     itemanalysis [FILE.ans]
//
// opens FILE.ans at start-up as "เปิดไฟล์" would.

#include "app/FTAData.h"
#include "app/RecentFiles.h"
#include "app/ReportView.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("itemanalysis");
    // The coloured buttons keep their colour only in a style that draws with
    // the palette.
    if (QStyle* fusion = QStyleFactory::create("Fusion")) QApplication::setStyle(fusion);

    ia::FTAData w;
    w.reportView()->setZoom(ia::UserSettings::reportZoom());
    if (!w.restoreGeometry(ia::UserSettings::windowGeometry())) {
        // Without a window manager maximising does nothing; the window then
        // still covers the screen.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            w.setGeometry(screen->availableGeometry());
        w.showMaximized();
    } else {
        w.show();
    }
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        // Once the window is up, so that a message box has its window.
        const QString file = args.at(1);
        QTimer::singleShot(0, &w, [&w, file] { w.OpenExamFile(file); });
    }
    const int result = app.exec();
    ia::UserSettings::setWindowGeometry(w.saveGeometry());
    ia::UserSettings::setReportZoom(w.reportView()->zoom());
    return result;
}
