// Millisecond sleep used by the library and the program for every pause and poll.
#pragma once

namespace platform {

// Blocks the calling thread for at least `ms` milliseconds.
// On POSIX this goes through nanosleep(), so a test executable that defines its own
// nanosleep() can let virtual time pass instead (see tests/support/VirtualTime.h).
void SleepMs(unsigned ms);

} // namespace platform
