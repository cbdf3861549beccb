// Test main of the terminal's GUI tests: one application object, offscreen
// unless a display is asked for, a fixed locale, and a private home so that
// no test touches the user's files or another test's ports.ini.

#include "TKxApplication.h"

#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    TKxApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
