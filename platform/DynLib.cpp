#include "DynLib.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace platform {

#ifdef _WIN32
LibHandle LoadLib(const char* fileName) { return reinterpret_cast<LibHandle>(::LoadLibraryA(fileName)); }

void* LibSymbol(LibHandle lib, const char* name) {
    if (!lib)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(lib), name));
}

void FreeLib(LibHandle lib) {
    if (lib)
        ::FreeLibrary(static_cast<HMODULE>(lib));
}
#else
LibHandle LoadLib(const char* fileName) { return ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL); }

void* LibSymbol(LibHandle lib, const char* name) { return lib ? ::dlsym(lib, name) : nullptr; }

void FreeLib(LibHandle lib) {
    if (lib)
        ::dlclose(lib);
}
#endif

} // namespace platform
