// A monotonic millisecond clock for the time limits of the program's loops.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary fixed point; never goes backwards.
int64_t MonotonicMs();
// The system's own monotonic clock, which MonotonicMs() reads unless a test set its own.
int64_t SystemMonotonicMs();

// Test seam: tests that let virtual time pass through their sleeps read the same virtual
// time here. nullptr restores the system clock. The program never calls it.
void SetClockForTests(int64_t (*nowMs)());

} // namespace platform
