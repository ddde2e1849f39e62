#include "Console.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

void OpenTraceConsole() {
#ifdef _WIN32
    ::AllocConsole();
    std::FILE* reopened = std::freopen("CONOUT$", "w", stdout);
    (void)reopened;
#else
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
#endif
}

} // namespace platform
