// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <QIcon>
#include <QStyleFactory>
#include <Version.h>

#include <cstdio>
#include <cstring>
#include <iostream>

namespace {

// Qt's own warnings are for developers: a teacher who started the window
// from a terminal sees none of them unless ITEMANALYSIS_DEBUG=1 asks for them.
void QtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    static const bool debug = qgetenv("ITEMANALYSIS_DEBUG") == "1";
    if (debug) std::cerr << qFormatLogMessage(type, context, text).toStdString() << "\n";
}

} // namespace

int main(int argc, char** argv) {
    // Before QApplication: its own start-up speaks too (XDG_RUNTIME_DIR).
    qInstallMessageHandler(QtMessages);
    // Answered before any window system is needed, so that they work in a
    // terminal without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("itemanalysis %s\n", ia::kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("itemanalysis %s — โปรแกรมวิเคราะห์ข้อสอบ\n\n"
                        "วิธีใช้:\n"
                        "  itemanalysis [FILE.ans]   เปิดหน้าต่างโปรแกรม (และเปิดไฟล์ข้อมูลที่ระบุ)\n"
                        "  itemanalysis --help | --version\n\n"
                        "ตัวอย่าง:\n"
                        "  itemanalysis ม1.ans\n\n"
                        "งานจากบรรทัดคำสั่ง: itemanalysis-cli --help\n",
                        ia::kVersion);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("itemanalysis");
    QApplication::setApplicationVersion(ia::kVersion);
    QApplication::setDesktopFileName("org.itemanalysis.ItemAnalysis");
    QApplication::setWindowIcon(QIcon::fromTheme("org.itemanalysis.ItemAnalysis"));
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
