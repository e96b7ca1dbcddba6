// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#ifdef ITEMANALYSIS_TEST_QT_APPLICATION
#include <QGuiApplication>
#endif

int main(int argc, char** argv) {
#ifdef ITEMANALYSIS_TEST_QT_APPLICATION
    // Printing measures text with Qt's font metrics where Qt is built, and
    // they need an application object; the tests run with the offscreen
    // platform. The programs of the other folders link no Qt.
    QGuiApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
