// A library loaded at run time that sleeps through its own PLT, as the interface library
// does, to show that the tests' virtual time reaches such libraries. On Windows it sleeps
// as the interface library does there, with kernel32's Sleep.
#ifdef _WIN32
#include <windows.h>

extern "C" __declspec(dllexport) int SleepInLibrary(long ms) {
    ::Sleep(static_cast<DWORD>(ms));
    return 0;
}
#else
#include <time.h>

extern "C" __attribute__((visibility("default"))) int SleepInLibrary(long ms) {
    const timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    return nanosleep(&pause, nullptr);
}

extern "C" __attribute__((visibility("default"))) int ClockSleepInLibrary(long ms) {
    const timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    return clock_nanosleep(CLOCK_MONOTONIC, 0, &pause, nullptr);
}
#endif
