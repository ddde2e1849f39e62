#include "Sleep.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <time.h>
#endif

namespace platform {

void SleepMs(unsigned ms) {
#ifdef _WIN32
    ::Sleep(ms);
#else
    timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
#endif
}

} // namespace platform
