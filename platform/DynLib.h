// Loading a shared library by file name with the platform's ordinary search.
#pragma once

namespace platform {

using LibHandle = void*;

// Returns nullptr when the library cannot be found or loaded.
LibHandle LoadLib(const char* fileName);
// Returns nullptr when the name is not exported (or `lib` is null).
void* LibSymbol(LibHandle lib, const char* name);
void FreeLib(LibHandle lib);

} // namespace platform
