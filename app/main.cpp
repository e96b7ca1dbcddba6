// itemanalysis: the window in which a teacher creates or opens an exam file,
// types the key and the answer sheets, and analyses the test.

#include "app/FTAData.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("itemanalysis");
    // The coloured buttons keep their colour only in a style that draws with
    // the palette.
    if (QStyle* fusion = QStyleFactory::create("Fusion")) QApplication::setStyle(fusion);

    ia::FTAData w;
    // Without a window manager maximising does nothing; the window then
    // still covers the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w.setGeometry(screen->availableGeometry());
    w.showMaximized();
    return app.exec();
}
