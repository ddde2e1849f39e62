// The window tests run headless, each process with a runtime folder of its own, so the
// single-instance lock of one test run never meets another's.
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
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(runtime);
    return result;
}
