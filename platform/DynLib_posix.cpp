#include "DynLib.h"

#include <dlfcn.h>

namespace platform {

LibHandle LoadLib(const char* fileName) {
    return ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

void* LibSymbol(LibHandle lib, const char* name) {
    return lib ? ::dlsym(lib, name) : nullptr;
}

void FreeLib(LibHandle lib) {
    if (lib)
        ::dlclose(lib);
}

} // namespace platform
