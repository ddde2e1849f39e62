#include "DynLib.h"

#include <windows.h>

namespace platform {

LibHandle LoadLib(const char* fileName) {
    return reinterpret_cast<LibHandle>(::LoadLibraryA(fileName));
}

void* LibSymbol(LibHandle lib, const char* name) {
    if (!lib)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(lib), name));
}

void FreeLib(LibHandle lib) {
    if (lib)
        ::FreeLibrary(static_cast<HMODULE>(lib));
}

} // namespace platform
