#include "Clock.h"

#include <atomic>
#include <chrono>

namespace platform {

namespace {

std::atomic<int64_t (*)()> testClock{nullptr};

} // namespace

int64_t MonotonicMs() {
    if (int64_t(*now)() = testClock.load())
        return now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SetClockForTests(int64_t (*nowMs)()) {
    testClock.store(nowMs);
}

} // namespace platform
