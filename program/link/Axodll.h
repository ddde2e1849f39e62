// The USB link client: binding of the interface library and the worker thread through
// which every module command is exchanged with the master unit.
#pragma once

#include "program/link/WorkerThread.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CAxoDll : public CWorkerThread {
public:
    static constexpr int32_t ReplySize = 260;

    // The program creates its one link suspended; a link created running starts its
    // worker at once on an empty request, which sends nothing.
    explicit CAxoDll(bool createSuspended);
    ~CAxoDll() override;

    // Sends the first `sendLength` bytes of `command` and returns the reply, read as
    // `replyLength` + 1 bytes and cut at its first zero byte. A failed or timed-out exchange
    // returns what arrived, empty when nothing did. Empty, with nothing sent, when an
    // exchange is already in flight (a call from a message handled during the wait), when
    // the lengths do not fit the command or the reply buffer, when the library is not
    // bound, or when the worker cannot run.
    // Empty, with nothing sent, once linkStopped is set.
    std::string SendRecv(int32_t sendLength, int32_t replyLength, const std::string& command);
    // Closes the bridge and unloads the interface library (CloseLink), so that the kernel's
    // serial driver gets the bridge back. False, nothing closed, while an exchange is in
    // flight; true otherwise, also when nothing was open.
    bool Close();

    std::string command;
    char reply[ReplySize];
    int32_t replyLength;
    int32_t sendLength;
    // Set while an exchange is in flight; cleared by whoever ran it. Read across threads.
    std::atomic<bool> busy;
    // Exchanges run on the worker (true) or on the calling thread (false); set by StartLink.
    bool threaded;
    // Where the module layer writes its trace ("Thread ON", the search's exchanges): the
    // front end's choice; nullptr writes none. Standard output unless the owner says else.
    std::FILE* trace = stdout;
    // The serial number of the bridge StartLink opened: the one named, or else the driver's
    // first as listed just before device 0 was opened; empty for a bridge without one.
    // ReopenLink opens this bridge only.
    std::string openedSerial;

protected:
    void Execute() override;

private:
    bool LengthsFit() const;
    void Exchange();
    std::string ReplyText() const;
};

// Loads the interface library by file name with the ordinary search and binds its five
// link functions. False when it is not found, or when it lacks one of the names (it is
// then unloaded again).
bool LoadLinkLibrary();
// Unloads the interface library and forgets its functions.
void FreeLinkLibrary();
// One USB bridge the driver reports.
struct BRIDGE {
    int index;
    std::string serial;
    std::string description;
};

// Loads the interface library when needed and lists the bridges its driver reports, in the
// driver's order. False when the library cannot be loaded or the driver cannot list them.
bool ListBridges(std::vector<BRIDGE>& bridges);

// Chooses threaded or direct exchanges from "usbcomm", loads the library, opens the bridge
// with serial number `bridgeSerial` (device 0 when empty), initialises and connects the
// master unit. True when the link is ready. `bridges` receives what the driver listed
// before the open (empty when it could not list).
// A start that fails after the open closes the bridge again and unloads the library.
bool StartLink(CAxoDll* link, const std::string& bridgeSerial = std::string(),
               std::vector<BRIDGE>* bridges = nullptr);
// Opens the device anew on the loaded library: closes it, then opens the bridge `link`
// opened at its start (link->openedSerial; device 0 when that is empty), initialises and
// connects the master unit as StartLink does. A bridge that was unplugged and plugged in
// again is a new device to the driver, so an exchange can work again only after this.
// False, nothing called, when the library is not loaded or `link` is null; false when a
// step fails (that bridge not attached among them), or when the library cannot choose a
// bridge by its serial number.
bool ReopenLink(CAxoDll* link);
// Closes the bridge when one is open and unloads the interface library; nothing when it is
// not loaded. No exchange may be in flight.
void CloseLink();

// Set once the program is to end (a signal handler may set it: it is lock-free): no
// exchange starts any more, and the waits for a bridge end.
extern std::atomic<bool> linkStopped;

// How often the waits for a bridge look at the driver's list, and how often they look at
// linkStopped meanwhile.
enum : int64_t { BridgePollMs = 1000, StopPollMs = 100 };
// True when `now` holds a bridge that `before` did not: more bridges, or a serial number
// not listed before.
bool BridgeAppeared(const std::vector<BRIDGE>& before, const std::vector<BRIDGE>& now);
// Waits up to `limitMs` for a bridge to appear that `listed` does not hold, looking at the
// driver's list every BridgePollMs; `listed` receives the last list. True when one
// appeared; false when the time is up or linkStopped is set.
bool WaitForBridge(std::vector<BRIDGE>& listed, int64_t limitMs);
