#include "Clock.h"

#include <time.h>

namespace platform {

int64_t SystemMonotonicMs() {
    // The raw monotonic clock: never stepped or slewed. Read through clock_gettime(), which
    // test programs replace for this clock to let virtual time pass inside the interface
    // library, as they replace nanosleep() for its sleeps.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_RAW, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace platform
