// The program-wide binding of the interface library, shared by the link start-up and the
// exchanges.
#pragma once

#include "brenvoli/brenvoli.h"
#include "platform/DynLib.h"

// Every field is null while the library is not loaded.
struct LINKLIBRARY {
    platform::LibHandle module;
    KestravionUsbOpenFn KestravionUsbOpen;
    KestravionUsbCloseFn KestravionUsbClose;
    KestravionExtInitFn KestravionExtInit;
    KestravionExtConFn KestravionExtCon;
    KestravionExtSRFn KestravionExtSR;
    // Bound when the library has them; a library without them opens device 0 only.
    KestravionUsbSelectFn KestravionUsbSelect;
    KestravionUsbListFn KestravionUsbList;
};

extern LINKLIBRARY LinkLibrary;

// The file name the program loads.
extern const char LinkLibraryName[];
