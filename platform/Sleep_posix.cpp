#include "Sleep.h"

#include <cerrno>
#include <time.h>

namespace platform {

void SleepMs(unsigned ms) {
    // Through nanosleep(), which test programs replace to let virtual time pass.
    timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

} // namespace platform
