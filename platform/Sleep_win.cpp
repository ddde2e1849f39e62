#include "Sleep.h"

#include <windows.h>

namespace platform {

void SleepMs(unsigned ms) {
    // Through the import table's Sleep, which test programs route to let virtual time pass.
    ::Sleep(ms);
}

} // namespace platform
