// The window tests run headless, each process with a lock folder of its own, so the
// single-instance lock of one test run never meets another's.
#include "platform/NamedMutex.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char runtime[] = "/tmp/tarvelo-ui-run-XXXXXX";
    if (!mkdtemp(runtime))
        return 1;
    platform::SetLockFolderForTests(runtime);
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(runtime);
    return result;
}
