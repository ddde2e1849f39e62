#include "program/config/Cinits.h"
#include "program/link/Axodll.h"
#include "program/link/LinkLibrary.h"

#include <cstdio>

bool ListBridges(std::vector<BRIDGE>& bridges) {
    bridges.clear();
    if (!LinkLibrary.module && !LoadLinkLibrary())
        return false;
    if (!LinkLibrary.KestravionUsbList)
        return false;
    int count = 0;
    if (LinkLibrary.KestravionUsbList(-1, &count, nullptr, nullptr) != 0)
        return false;
    for (int index = 0; index < count; ++index) {
        char serial[64] = {};
        char description[64] = {};
        if (LinkLibrary.KestravionUsbList(index, &count, serial, description) != 0)
            return false;
        bridges.push_back(BRIDGE{index, serial, description});
    }
    return true;
}

bool StartLink(CAxoDll* link, const std::string& bridgeSerial, std::vector<BRIDGE>* bridges) {
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
    std::vector<BRIDGE> listed;
    ListBridges(listed);
    if (bridges)
        *bridges = listed;
    // A bridge named by its serial number is opened only where the library can choose it.
    const int chosen = LinkLibrary.KestravionUsbSelect
                           ? LinkLibrary.KestravionUsbSelect(bridgeSerial.c_str())
                           : (bridgeSerial.empty() ? 0 : -1);
    if (chosen != 0 || LinkLibrary.KestravionUsbOpen() != 0) {
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
