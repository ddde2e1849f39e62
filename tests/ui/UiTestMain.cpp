// The window tests run headless, each process with a lock folder of its own, so the
// single-instance lock of one test run never meets another's.
#include "platform/NamedMutex.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime(QDir::tempPath() + QStringLiteral("/tarvelo-ui-run-XXXXXX"));
    if (!runtime.isValid())
        return 1;
    platform::SetLockFolderForTests(QFile::encodeName(runtime.path()).toStdString());
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
