#include "Clock.h"

#include <windows.h>

namespace platform {

int64_t SystemMonotonicMs() {
    // kernel32's tick count, which test programs route through the import tables to let
    // virtual time pass inside the interface library, as they route its sleeps.
    return static_cast<int64_t>(::GetTickCount64());
}

} // namespace platform
