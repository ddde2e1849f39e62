// A library loaded at run time that sleeps through its own PLT, as the interface library
// does, to show that the tests' virtual time reaches such libraries.
#include <time.h>

extern "C" __attribute__((visibility("default"))) int SleepInLibrary(long ms) {
    const timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    return nanosleep(&pause, nullptr);
}

extern "C" __attribute__((visibility("default"))) int ClockSleepInLibrary(long ms) {
    const timespec pause{ms / 1000, (ms % 1000) * 1000000L};
    return clock_nanosleep(CLOCK_MONOTONIC, 0, &pause, nullptr);
}
