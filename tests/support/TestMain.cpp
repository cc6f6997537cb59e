#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

// One application object for every test; widgets render offscreen.
int main(int argc, char** argv) {
    // ctest lists the cases before it runs them, whatever display the shell has: never on one.
    const bool listing = std::any_of(argv + 1, argv + argc, [](const char* arg) {
        return std::strcmp(arg, "--gtest_list_tests") == 0;
    });
    qputenv("QT_QPA_PLATFORM", listing || qgetenv("QT_QPA_PLATFORM").isEmpty()
                                   ? "offscreen"
                                   : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    // Settings a test writes by mistake land in a test folder, never in the user's own.
    QStandardPaths::setTestModeEnabled(true);
    // ctest runs each case as a process of its own, side by side: each gets settings of its
    // own, so one case's remembered port or required classes never reach another.
    const QTemporaryDir settings;
    if (settings.isValid())
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, settings.path());
    // Downloads a test makes, in the process or by the programs it starts, go into an archive
    // of the case's own, never into the user's.
    if (settings.isValid())
        qputenv("LOGDUMP_ARCHIVE", QFile::encodeName(settings.filePath("archive.sqlite")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
