// The single-instance mutex on Windows: OpenMutexA and CreateMutexA between real processes.
// The program runs copies of itself as the other processes: "--hold-mutex NAME" creates the
// mutex and holds it until told to end, "--probe-mutex NAME" exits with 1 when it finds the
// mutex held by another process, else 0.
#include "platform/NamedMutex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <windows.h>

namespace {

constexpr DWORD kWaitMs = 20000;

// A name of its own for each test, with blanks as in the family's name.
std::string UniqueName() {
    static int counter = 0;
    return "KESTRAVION test " + std::to_string(::GetCurrentProcessId()) + " " +
           std::to_string(++counter);
}

HANDLE Event(const std::string& name) {
    return ::CreateEventA(nullptr, TRUE, FALSE, name.c_str());
}

// Starts this program again with `arguments`; returns its process handle, or nullptr.
HANDLE StartCopy(const std::string& arguments) {
    char self[MAX_PATH] = {};
    if (!::GetModuleFileNameA(nullptr, self, MAX_PATH))
        return nullptr;
    std::string command = "\"" + std::string(self) + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return nullptr;
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

// Waits for the copy to end; its exit code, or -1 when it did not end in time.
int EndOf(HANDLE process) {
    DWORD code = 0;
    bool ended = ::WaitForSingleObject(process, kWaitMs) == WAIT_OBJECT_0 &&
                 ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return ended ? static_cast<int>(code) : -1;
}

int HoldMutex(const std::string& name) {
    platform::CreateNamedMutex(name);
    ::SetEvent(Event(name + " ready"));
    return ::WaitForSingleObject(Event(name + " quit"), kWaitMs) == WAIT_OBJECT_0 ? 0 : 2;
}

int ProbeMutex(const std::string& name) {
    return platform::OpenNamedMutex(name) ? 1 : 0;
}

TEST(NamedMutex, NoneBeforeItIsCreated) {
    EXPECT_FALSE(platform::OpenNamedMutex(UniqueName()));
}

TEST(NamedMutex, HeldByAnotherProcessUntilThatProcessEnds) {
    const std::string name = UniqueName();
    HANDLE ready = Event(name + " ready");
    HANDLE quit = Event(name + " quit");
    HANDLE holder = StartCopy("--hold-mutex \"" + name + "\"");
    ASSERT_NE(holder, nullptr);
    ASSERT_EQ(::WaitForSingleObject(ready, kWaitMs), WAIT_OBJECT_0);

    EXPECT_TRUE(platform::OpenNamedMutex(name));
    // Asking again finds it again: asking keeps nothing of it here.
    EXPECT_TRUE(platform::OpenNamedMutex(name));

    ::SetEvent(quit);
    EXPECT_EQ(EndOf(holder), 0);
    // The system released it with its holder; the handles opened here to ask are closed.
    EXPECT_FALSE(platform::OpenNamedMutex(name));
    ::CloseHandle(ready);
    ::CloseHandle(quit);
}

TEST(NamedMutex, CreatedHereIsHeldForOthersButNotAnotherInstanceHere) {
    const std::string name = UniqueName();
    platform::CreateNamedMutex(name);
    EXPECT_FALSE(platform::OpenNamedMutex(name));
    HANDLE probe = StartCopy("--probe-mutex \"" + name + "\"");
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(EndOf(probe), 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold-mutex") == 0)
        return HoldMutex(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--probe-mutex") == 0)
        return ProbeMutex(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
