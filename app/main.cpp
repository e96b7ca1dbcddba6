// itemanalysis: the window in which a teacher creates or opens an exam file,
// types the key and the answer sheets, and analyses the test.
//
//     itemanalysis [FILE.ans]
//
// opens FILE.ans at start-up as "เปิดไฟล์" would.

#include "app/FTAData.h"
#include "app/StartUp.h"
#include "app/ThaiDialogs.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("itemanalysis");
    // Qt's own dialogs and buttons speak Thai as the rest of the window does.
    auto* thai = new ia::ThaiQtTexts(&app);
    QApplication::installTranslator(thai);
    // The coloured buttons keep their colour only in a style that draws with
    // the palette.
    if (QStyle* fusion = QStyleFactory::create("Fusion")) QApplication::setStyle(fusion);

    ia::FTAData w;
    ia::ShowMainWindow(w, QApplication::arguments());
    const int result = app.exec();
    ia::RememberMainWindow(w);
    return result;
}
