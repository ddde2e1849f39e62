#include "platform/Clock.h"
#include "platform/Sleep.h"
#include "program/config/Cinits.h"
#include "program/link/Axodll.h"
#include "program/link/LinkLibrary.h"

#include <algorithm>
#include <cstdio>

std::atomic<bool> linkStopped{false};
static_assert(std::atomic<bool>::is_always_lock_free, "linkStopped is set by signal handlers");

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
    link->openedSerial = bridgeSerial.empty() && !listed.empty() ? listed[0].serial : bridgeSerial;
    // A bridge named by its serial number is opened only where the library can choose it.
    const int chosen = LinkLibrary.KestravionUsbSelect
                           ? LinkLibrary.KestravionUsbSelect(bridgeSerial.c_str())
                           : (bridgeSerial.empty() ? 0 : -1);
    if (chosen != 0 || LinkLibrary.KestravionUsbOpen() != 0) {
        FreeLinkLibrary();
        return false;
    }
    // A bridge opened for a master that does not answer goes back to the kernel's serial
    // driver at once: it may be another device's, such as a serial console cable.
    if (LinkLibrary.KestravionExtInit() != 0 || LinkLibrary.KestravionExtCon() != 0) {
        CloseLink();
        return false;
    }
    return true;
}

bool ReopenLink(CAxoDll* link) {
    if (!link || !LinkLibrary.module)
        return false;
    const std::string& bridgeSerial = link->openedSerial;
    // The device may be gone already; its close is only there to let go of the handle.
    LinkLibrary.KestravionUsbClose();
    const int chosen = LinkLibrary.KestravionUsbSelect
                           ? LinkLibrary.KestravionUsbSelect(bridgeSerial.c_str())
                           : (bridgeSerial.empty() ? 0 : -1);
    return chosen == 0 && LinkLibrary.KestravionUsbOpen() == 0 &&
           LinkLibrary.KestravionExtInit() == 0 && LinkLibrary.KestravionExtCon() == 0;
}

void CloseLink() {
    if (!LinkLibrary.module)
        return;
    LinkLibrary.KestravionUsbClose();
    FreeLinkLibrary();
}

bool BridgeAppeared(const std::vector<BRIDGE>& before, const std::vector<BRIDGE>& now) {
    if (now.size() > before.size())
        return true;
    return std::any_of(now.begin(), now.end(), [&before](const BRIDGE& bridge) {
        return std::none_of(before.begin(), before.end(), [&bridge](const BRIDGE& earlier) {
            return earlier.serial == bridge.serial;
        });
    });
}

bool WaitForBridge(std::vector<BRIDGE>& listed, int64_t limitMs) {
    const int64_t start = platform::MonotonicMs();
    int64_t lookedMs = start;
    while (!linkStopped) {
        const int64_t now = platform::MonotonicMs();
        if (now - start >= limitMs)
            return false;
        if (now - lookedMs >= BridgePollMs) {
            lookedMs = now;
            std::vector<BRIDGE> current;
            ListBridges(current);
            const bool appeared = BridgeAppeared(listed, current);
            listed = current;
            if (appeared)
                return true;
        }
        // Short steps, so that a stop is seen at once; the list is read once a second.
        platform::SleepMs(
            static_cast<unsigned>(std::min<int64_t>(StopPollMs, limitMs - (now - start))));
    }
    return false;
}
