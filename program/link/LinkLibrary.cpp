#include "program/link/LinkLibrary.h"
#include "program/link/Axodll.h"

LINKLIBRARY LinkLibrary = {};

#ifdef _WIN32
const char LinkLibraryName[] = "brenvoli.dll";
#else
const char LinkLibraryName[] = "libbrenvoli.so";
#endif

namespace {

// Looks `name` up in `module`; false when it is not exported.
template <typename Fn> bool Bind(platform::LibHandle module, const char* name, Fn& function) {
    function = reinterpret_cast<Fn>(platform::LibSymbol(module, name));
    return function != nullptr;
}

} // namespace

bool LoadLinkLibrary() {
    LINKLIBRARY loaded = {};
    loaded.module = platform::LoadLib(LinkLibraryName);
    if (!loaded.module)
        return false;
    // A library lacking one of the names is not ours: calling through a missing name
    // would crash, so it counts as not found.
    bool complete = Bind(loaded.module, "KestravionUsbOpen", loaded.KestravionUsbOpen) &&
                    Bind(loaded.module, "KestravionUsbClose", loaded.KestravionUsbClose) &&
                    Bind(loaded.module, "KestravionExtInit", loaded.KestravionExtInit) &&
                    Bind(loaded.module, "KestravionExtCon", loaded.KestravionExtCon) &&
                    Bind(loaded.module, "KestravionExtSR", loaded.KestravionExtSR);
    if (!complete) {
        platform::FreeLib(loaded.module);
        return false;
    }
    Bind(loaded.module, "KestravionUsbSelect", loaded.KestravionUsbSelect);
    Bind(loaded.module, "KestravionUsbList", loaded.KestravionUsbList);
    // A binding holds one reference to the library, also when it is loaded again.
    FreeLinkLibrary();
    LinkLibrary = loaded;
    return true;
}

void FreeLinkLibrary() {
    platform::FreeLib(LinkLibrary.module);
    LinkLibrary = LINKLIBRARY{};
}
