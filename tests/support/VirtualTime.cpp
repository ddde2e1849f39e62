// Virtual time for tests: while the simulator's virtual clock is on, a sleep advances that
// clock and returns at once, and the raw monotonic clock (the one the program and the
// interface library measure their limits by) reads it, so the library's 10 ms polls and
// its 1 s and 60 s limits cost no real time. Otherwise the real functions run.
#include "SimControl.h"

#include <cerrno>
#include <dlfcn.h>
#include <time.h>

namespace {

using NanosleepFn = int (*)(const struct timespec*, struct timespec*);
using ClockNanosleepFn = int (*)(clockid_t, int, const struct timespec*, struct timespec*);
using ClockGettimeFn = int (*)(clockid_t, struct timespec*);

long long DurationUs(const struct timespec* duration) {
    // Round up so that a sleep of a few nanoseconds still moves the clock.
    return static_cast<long long>(duration->tv_sec) * 1000000LL +
           (static_cast<long long>(duration->tv_nsec) + 999) / 1000;
}

bool ValidDuration(const struct timespec* duration) {
    return duration != nullptr && duration->tv_sec >= 0 && duration->tv_nsec >= 0 &&
           duration->tv_nsec < 1000000000L;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int nanosleep(const struct timespec* duration,
                                                                struct timespec* remaining) {
    if (SimVirtualTimeOn()) {
        if (!ValidDuration(duration)) {
            errno = EINVAL;
            return -1;
        }
        SimAdvanceUs(DurationUs(duration));
        if (remaining != nullptr) {
            remaining->tv_sec = 0;
            remaining->tv_nsec = 0;
        }
        return 0;
    }
    static const auto real = reinterpret_cast<NanosleepFn>(dlsym(RTLD_NEXT, "nanosleep"));
    if (real == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return real(duration, remaining);
}

extern "C" __attribute__((visibility("default"))) int
clock_nanosleep(clockid_t clock, int flags, const struct timespec* duration,
                struct timespec* remaining) {
    const bool relative = (flags & TIMER_ABSTIME) == 0;
    const bool steadyOrWall = clock == CLOCK_MONOTONIC || clock == CLOCK_REALTIME;
    if (SimVirtualTimeOn() && relative && steadyOrWall) {
        if (!ValidDuration(duration)) {
            return EINVAL;
        }
        SimAdvanceUs(DurationUs(duration));
        if (remaining != nullptr) {
            remaining->tv_sec = 0;
            remaining->tv_nsec = 0;
        }
        return 0;
    }
    static const auto real =
        reinterpret_cast<ClockNanosleepFn>(dlsym(RTLD_NEXT, "clock_nanosleep"));
    if (real == nullptr) {
        return ENOSYS;
    }
    return real(clock, flags, duration, remaining);
}

extern "C" __attribute__((visibility("default"))) int clock_gettime(clockid_t clock,
                                                                    struct timespec* now) {
    if (clock == CLOCK_MONOTONIC_RAW && SimVirtualTimeOn()) {
        const long long us = SimNowUs();
        now->tv_sec = static_cast<time_t>(us / 1000000);
        now->tv_nsec = static_cast<long>(us % 1000000) * 1000L;
        return 0;
    }
    static const auto real = reinterpret_cast<ClockGettimeFn>(dlsym(RTLD_NEXT, "clock_gettime"));
    if (real == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return real(clock, now);
}
