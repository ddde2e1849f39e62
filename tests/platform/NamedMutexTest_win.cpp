// The single-instance mutex on Windows between real processes. The program runs copies of
// itself as the other processes, each exiting with the number of its outcome (Taken 0,
// HeldElsewhere 1, Refused 2): "--take-mutex NAME" takes the mutex and ends at once;
// "--hold-mutex NAME" takes it, counts itself on the semaphore "NAME taken" and holds on
// until the event "NAME quit" is set, starting only when the event "NAME go" is set.
// This process itself never takes a mutex: it would then hold one for every later name.
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
    ::WaitForSingleObject(Event(name + " go"), kWaitMs);
    std::string why;
    platform::InstanceLock outcome = platform::TakeNamedMutex(name, why);
    ::ReleaseSemaphore(::CreateSemaphoreA(nullptr, 0, 16, (name + " taken").c_str()), 1, nullptr);
    ::WaitForSingleObject(Event(name + " quit"), kWaitMs);
    return static_cast<int>(outcome);
}

int TakeMutex(const std::string& name) {
    std::string why;
    return static_cast<int>(platform::TakeNamedMutex(name, why));
}

// Copies started at the same moment: exactly one takes the mutex, the others find it held
// until that one ends.
TEST(NamedMutex, OfCopiesStartedAtTheSameMomentExactlyOneTakesIt) {
    const std::string name = UniqueName();
    HANDLE go = Event(name + " go");
    HANDLE quit = Event(name + " quit");
    HANDLE taken = ::CreateSemaphoreA(nullptr, 0, 16, (name + " taken").c_str());
    constexpr int kCopies = 3;
    HANDLE copies[kCopies] = {};
    for (HANDLE& copy : copies) {
        copy = StartCopy("--hold-mutex \"" + name + "\"");
        ASSERT_NE(copy, nullptr);
    }
    ::SetEvent(go);
    for (int i = 0; i < kCopies; ++i)
        ASSERT_EQ(::WaitForSingleObject(taken, kWaitMs), WAIT_OBJECT_0);

    // Asking keeps nothing of the mutex: a later copy still finds it held.
    EXPECT_EQ(EndOf(StartCopy("--take-mutex \"" + name + "\"")), 1);
    ::SetEvent(quit);
    int outcomes[3] = {};
    for (HANDLE copy : copies) {
        int code = EndOf(copy);
        ASSERT_TRUE(code >= 0 && code <= 2) << code;
        ++outcomes[code];
    }
    EXPECT_EQ(outcomes[0], 1) << "Taken";
    EXPECT_EQ(outcomes[1], kCopies - 1) << "HeldElsewhere";
    // The system released it with its holder.
    EXPECT_EQ(EndOf(StartCopy("--take-mutex \"" + name + "\"")), 0);
    for (HANDLE handle : {go, quit, taken})
        ::CloseHandle(handle);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold-mutex") == 0)
        return HoldMutex(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--take-mutex") == 0)
        return TakeMutex(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
