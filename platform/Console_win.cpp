#include "Console.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

namespace platform {

void OpenTraceConsole() {
    ::AllocConsole();
    std::FILE* reopened = std::freopen("CONOUT$", "w", stdout);
    (void)reopened;
}

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace platform
