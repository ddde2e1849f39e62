// Virtual time for tests on Windows: while the simulator's virtual clock is on, a sleep
// advances that clock and returns at once, so the interface library's 10 ms polls and its
// 1 s and 60 s limits cost no real time. Otherwise the real sleeps run.
//
// The library sleeps with kernel32's Sleep and reads kernel32's GetTickCount64, routed here through
// the import tables (SleepHook.h); the tests' own nanosleep() calls reach the definition below,
// which takes the place of the threads library's.
#include "SimControl.h"
#include "SleepHook.h"

#include <cerrno>
#include <time.h>

namespace {

long long DurationUs(const struct timespec* duration) {
    // Round up so that a sleep of a few nanoseconds still moves the clock.
    return static_cast<long long>(duration->tv_sec) * 1000000LL +
           (static_cast<long long>(duration->tv_nsec) + 999) / 1000;
}

bool ValidDuration(const struct timespec* duration) {
    return duration != nullptr && duration->tv_sec >= 0 && duration->tv_nsec >= 0 &&
           duration->tv_nsec < 1000000000L;
}

// A zero sleep only yields the processor; it is passed on so that spinning waits still
// let other threads run.
void WINAPI VirtualSleep(DWORD ms) {
    if (ms > 0 && SimVirtualTimeOn())
        SimAdvanceUs(static_cast<long long>(ms) * 1000LL);
    else
        sleephook::RealSleep(ms);
}

// The clock the library's time limits read: the virtual one while it is on.
ULONGLONG VirtualTickCount() {
    if (SimVirtualTimeOn())
        return static_cast<ULONGLONG>(SimNowUs() / 1000);
    return sleephook::RealTickCount();
}

// Before main, and so before any test: the library linked to the test is loaded by then.
const bool routed =
    (sleephook::RouteClock(VirtualTickCount), sleephook::RouteSleep(VirtualSleep), true);

} // namespace

extern "C" int nanosleep(const struct timespec* duration, struct timespec* remaining) {
    if (!ValidDuration(duration)) {
        errno = EINVAL;
        return -1;
    }
    const long long us = DurationUs(duration);
    if (SimVirtualTimeOn())
        SimAdvanceUs(us);
    else
        sleephook::RealSleep(static_cast<DWORD>((us + 999) / 1000));
    if (remaining != nullptr) {
        remaining->tv_sec = 0;
        remaining->tv_nsec = 0;
    }
    return 0;
}
