#include "Clock.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<int64_t (*)()> testClock{nullptr};

} // namespace

int64_t MonotonicMs() {
    if (int64_t(*now)() = testClock.load())
        return now();
    return SystemMonotonicMs();
}

void SetClockForTests(int64_t (*nowMs)()) {
    testClock.store(nowMs);
}

} // namespace platform
