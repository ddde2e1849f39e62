#include "Console.h"

#include <cstdio>
#include <windows.h>

namespace platform {

void OpenTraceConsole() {
    ::AllocConsole();
    std::FILE* reopened = std::freopen("CONOUT$", "w", stdout);
    (void)reopened;
}

} // namespace platform
