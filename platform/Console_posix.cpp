#include "Console.h"

#include <cstdio>

namespace platform {

void OpenTraceConsole() {
    // Standard output is already where the process was started from.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

} // namespace platform
