#include "Console.h"

#include <cstdio>
#include <unistd.h>

namespace platform {

void OpenTraceConsole() {
    // Standard output is already where the process was started from.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace platform
