// The configuration file: opening, the default file, lookups and the two fatal ends.
#include "ConfigTestSupport.h"

#include "platform/Ui.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using ConfigFileTest = ConfigDirTest;

TEST_F(ConfigFileTest, MissingFileGetsTheSixDefaultLinesAndReadsThem) {
    CInits config;
    ASSERT_TRUE(config.Open("config.ini"));
    EXPECT_EQ(ReadFile("config.ini"), DefaultFileText);
    EXPECT_TRUE(config.Load());
    EXPECT_TRUE(config.Close());
    const std::vector<Item> defaults = {
        {"listview", "List", 0}, {"output", "win", 0},   {"wait", "on", 0},
        {"time", "25", 0},       {"usbcomm", "sync", 0}, {"debug", "off", 0},
    };
    EXPECT_EQ(config.items, defaults);
    Item entry;
    EXPECT_EQ(config.Lookup("time", entry), 3);
    EXPECT_EQ(entry, (Item{"time", "25", 0}));
}

TEST_F(ConfigFileTest, DefaultTableEndsWithItsEndRow) {
    int rows = 0;
    while (DefaultItems[rows].number >= 0) {
        EXPECT_EQ(DefaultItems[rows].number, 0);
        rows++;
    }
    EXPECT_EQ(rows, 6);
    EXPECT_EQ(DefaultItems[6], (Item{"", "", -1}));
}

TEST_F(ConfigFileTest, ExistingFileIsReadAsItStands) {
    WriteFile("config.ini", "time=25\n");
    CInits config;
    ASSERT_TRUE(config.Open("config.ini"));
    EXPECT_TRUE(config.Load());
    config.Close();
    EXPECT_EQ(ReadFile("config.ini"), "time=25\n");
    Item entry;
    EXPECT_EQ(config.Lookup("time", entry), 0);
    EXPECT_EQ(entry.number, 25);
    EXPECT_EQ(config.Lookup("wait", entry), -1) << "absent keys are not filled from defaults";
}

TEST_F(ConfigFileTest, LookupMissLeavesTheEntryAlone) {
    CInits config;
    LoadText(config, "debug=\"on\"");
    Item entry{"kept", "as it was", 7};
    EXPECT_EQ(config.Lookup("Debug", entry), -1);
    EXPECT_EQ(config.Lookup("", entry), -1);
    EXPECT_EQ(entry, (Item{"kept", "as it was", 7}));
}

TEST_F(ConfigFileTest, WriteDefaultFileReplacesAnExistingFile) {
    WriteFile("config.ini", std::string(500, 'x'));
    CInits config;
    EXPECT_TRUE(config.WriteDefaultFile());
    EXPECT_EQ(ReadFile("config.ini"), DefaultFileText);
}

TEST_F(ConfigFileTest, WriteDefaultFileReportsAFullDiskAndLeavesNoCutOffFile) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    std::filesystem::create_symlink("/dev/full", "config.ini");
    CInits config;
    EXPECT_FALSE(config.WriteDefaultFile());
    EXPECT_FALSE(std::filesystem::is_symlink("config.ini"));
}

TEST_F(ConfigFileTest, LoadWithoutFileAndRepeatedCloseAreHarmless) {
    CInits config;
    EXPECT_FALSE(config.Load());
    EXPECT_TRUE(config.Close());
    EXPECT_TRUE(config.Close());
}

TEST_F(ConfigFileTest, ReadErrorIsNotTheEndOfTheFile) {
    CInits config;
#ifdef _WIN32
    // A folder does not open as a stream here; a stream on a handle that may only write
    // fails to read.
    HANDLE writeOnly = ::CreateFileA("written", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
    config.file = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(writeOnly), _O_RDONLY), "r");
#else
    std::filesystem::create_directory("folder");
    config.file = std::fopen("folder", "r");
#endif
    ASSERT_NE(config.file, nullptr);
    EXPECT_FALSE(config.Load());
    EXPECT_TRUE(config.items.empty());
}

// Shows every box on stderr so that the parent of a death test can see it.
class PrintingUi : public platform::Ui {
public:
    void ProcessMessages() override {}
    void WaitForMessages() override {}
    void Wake() override {}
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        platform::BoxIcon icon) override {
        std::fprintf(stderr, "box caption=%s icon=%s text=%s\n", caption.c_str(),
                     icon == platform::BoxIcon::Error ? "error" : "warning", text.c_str());
    }
};

// Runs Open("config.ini") in the current directory with the printing Ui installed, and
// marks on stderr when the exit handlers run.
void OpenShowingBoxes(const std::string& fileName) {
    static PrintingUi ui;
    platform::InstallUi(&ui);
    std::atexit([] { std::fputs("exit handlers ran\n", stderr); });
    CInits config;
    config.Open(fileName);
    std::fputs("Open returned\n", stderr);
}

using ConfigFatalTest = ConfigDirTest;

#ifndef _WIN32
// A working directory that no longer exists: nothing can be created in it, even by root.
void LeaveNoRoomForTheDefaultFile() {
    std::filesystem::create_directory("gone");
    std::filesystem::current_path("gone");
    std::filesystem::remove(std::filesystem::current_path());
}

TEST_F(ConfigFatalTest, DirectoryWithoutRoomForTheDefaultFile) {
    EXPECT_EXIT(
        {
            LeaveNoRoomForTheDefaultFile();
            OpenShowingBoxes("config.ini");
        },
        ::testing::ExitedWithCode(0),
        "^box caption=error icon=error text=Could not make default ini file\\.\n"
        "exit handlers ran\n$");
}

TEST_F(ConfigFatalTest, HeadlessBoxGoesToStandardError) {
    EXPECT_EXIT(
        {
            LeaveNoRoomForTheDefaultFile();
            CInits config;
            config.Open("config.ini");
        },
        ::testing::ExitedWithCode(0), "^error: Could not make default ini file\\.\n$");
}
#endif

// Whatever stands under the name but cannot be opened or read keeps the user's settings
// (or is theirs to mend): it is never replaced by the defaults, the message names it and
// the process ends with status 0.
TEST_F(ConfigFatalTest, ExistingButUnreadableConfigIniIsLeftUntouched) {
#ifdef _WIN32
    // A file that another handle holds open without sharing can be neither read nor
    // replaced.
    EXPECT_EXIT(
        {
            HANDLE held = ::CreateFileA("config.ini", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (held != INVALID_HANDLE_VALUE) {
                OpenShowingBoxes("config.ini");
            }
        },
        ::testing::ExitedWithCode(0),
        "^box caption=error icon=error text=Could not open the ini file again\\.\n"
        ".*config\\.ini\nexit handlers ran\n$");
#else
    const struct {
        const char* what;
        void (*make)();
        bool (*untouched)();
    } cases[] = {
        {"a folder",
         [] {
             std::filesystem::create_directory("config.ini");
             WriteFile("config.ini/kept", "x");
         },
         [] { return ReadFile("config.ini/kept") == "x"; }},
        {"a dangling link", [] { std::filesystem::create_symlink("settings", "config.ini"); },
         [] {
             return std::filesystem::read_symlink("config.ini") == "settings" &&
                    !std::filesystem::exists(std::filesystem::symlink_status("settings"));
         }},
        // Reading a process's memory from offset 0 fails, even for root.
        {"a read error", [] { std::filesystem::create_symlink("/proc/self/mem", "config.ini"); },
         [] { return std::filesystem::read_symlink("config.ini") == "/proc/self/mem"; }},
        // Opening a named pipe would wait for a writer for ever.
        {"a named pipe", [] { ::mkfifo("config.ini", 0600); },
         [] { return std::filesystem::is_fifo("config.ini"); }},
        // Permission bits do not stop root, so this case runs only for other users.
        {"no read permission",
         [] {
             WriteFile("config.ini", "time=25\n");
             std::filesystem::permissions("config.ini", std::filesystem::perms::owner_write);
         },
         [] {
             std::filesystem::permissions("config.ini", std::filesystem::perms::owner_read,
                                          std::filesystem::perm_options::add);
             return ReadFile("config.ini") == "time=25\n";
         }},
    };
    for (const auto& c : cases) {
        if (std::string(c.what) == "no read permission" && ::geteuid() == 0) {
            continue;
        }
        std::filesystem::create_directory(c.what);
        std::filesystem::current_path(c.what);
        c.make();
        EXPECT_EXIT(OpenShowingBoxes("config.ini"), ::testing::ExitedWithCode(0),
                    "^box caption=error icon=error text=Could not open the ini file again\\.\n" +
                        dir + "/" + c.what + "/config\\.ini\nexit handlers ran\n$")
            << c.what;
        EXPECT_TRUE(c.untouched()) << c.what;
        std::filesystem::current_path(dir);
    }
#endif
}

// The default file always goes to the working directory; a file named elsewhere is then
// still missing.
TEST_F(ConfigFatalTest, FileStillMissingAfterTheDefaultsWereWritten) {
    EXPECT_EXIT(OpenShowingBoxes("nowhere/config.ini"), ::testing::ExitedWithCode(0),
                "^box caption=error icon=error text=Could not open the ini file again\\.\n"
                "exit handlers ran\n$");
#ifndef _WIN32
    // Windows runs the statement in a new process with a working directory of its own.
    EXPECT_EQ(ReadFile("config.ini"), DefaultFileText);
#endif
}

} // namespace
