#include "program/config/Cinits.h"
#include "program/link/Axodll.h"
#include "program/link/LinkLibrary.h"

#include <cstdio>

bool StartLink(CAxoDll* link) {
    if (!link)
        return false;
    // Threaded unless "usbcomm" says otherwise; only the exact value "thread" keeps it.
    link->threaded = true;
    Item entry{};
    if (Inits && Inits->Lookup("usbcomm", entry) >= 0) {
        link->threaded = entry.value == "thread";
        if (link->trace)
            std::fputs(link->threaded ? "Thread ON\n" : "Thread OFF\n", link->trace);
    }
    if (!LoadLinkLibrary())
        return false;
    if (LinkLibrary.KestravionUsbOpen() != 0) {
        FreeLinkLibrary();
        return false;
    }
    if (LinkLibrary.KestravionExtInit() != 0) {
        FreeLinkLibrary();
        return false;
    }
    // A failed connection leaves the library loaded and the device open.
    return LinkLibrary.KestravionExtCon() == 0;
}

bool ReopenLink() {
    if (!LinkLibrary.module)
        return false;
    // The device may be gone already; its close is only there to let go of the handle.
    LinkLibrary.KestravionUsbClose();
    return LinkLibrary.KestravionUsbOpen() == 0 && LinkLibrary.KestravionExtInit() == 0 &&
           LinkLibrary.KestravionExtCon() == 0;
}
