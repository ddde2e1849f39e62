// The one simulated device: the master's state, the bridge's receive queue, the logs. Every
// exported function takes `mutex` before it touches anything here.
#pragma once

#include "Clock.h"
#include "Faults.h"
#include "Module.h"
#include "Scenario.h"

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct QueuedByte {
    char byte;
    long long dueUs; // when the byte reaches the host's receive queue
};

// A text log of lines that keeps its most recent part when it grows large.
class CLog {
public:
    void Add(const std::string& line);
    void Clear() { text.clear(); }
    const std::string& Text() const { return text; }

private:
    std::string text;
};

struct RuleUse {
    int32_t seen = 0;
    int32_t applied = 0;
};

struct DriverErrorUse {
    bool armed = false;
    int32_t failed = 0;
};

class CSimDevice final : public CFaultTarget {
public:
    CSimDevice();

    // Replaces the master's whole state with the scenario; the device is closed, the logs
    // are cleared, and the committed table comes from the state file when there is one.
    void Load(const Scenario& next);

    void LogCall(const std::string& line) { callLog.Add(line); }
    // Keeps the host's write; past a million, the older half goes, as the logs do.
    void KeepWrite(const std::string& bytes);
    void Violation(const std::string& what);
    void LogWire(const std::string& line);
    void SetWireLogFile(const std::string& path);
    void SetStateFile(const std::string& path) { statePath = path; }
    // Writes the committed table to the state file, when one is set.
    void SaveState();

    // The status an injected driver error gives this call of `function`, 0 for none.
    uint32_t InjectedError(const std::string& function);
    // The master has received the command `key` ("MG", "$03"): arms driver errors.
    void CommandReceived(const std::string& key);
    // The fault rule that applies to a received command, or nullptr.
    const FaultRule* MatchFault(const std::string& key, bool frame);

    void QueueReply(const std::string& bytes, long long delayUs, long long gapUs) override;
    size_t ArrivedBytes() const;

    // Starts a "dead" or "unplug" fault; a pulled bridge loses the bytes it held.
    void GoAway(long long forUs, bool unplug) override;
    // True while the master is gone; a fault whose time is up ends here, with the module's
    // state as it was.
    bool Gone();
    // True while the bridge is unplugged: it is not on the bus.
    bool Unplugged() { return Gone() && unplugged; }
    // True while calls on the open handle fail: the bridge is unplugged, or it was and has
    // not been opened again since. Plugged in again it is a new device to the driver, and
    // the handle of the one pulled out stays dead.
    bool HandleLost() { return Unplugged() || handleLost; }

    std::mutex mutex;
    CSimClock clock;
    Scenario scenario;
    CModule module;
    bool open = false;
    bool handleLost = false; // set when the bridge is pulled, cleared when it is opened
    bool timeoutsSet = false;
    uint32_t readTimeoutMs = 0;
    std::deque<QueuedByte> receiveQueue;
    std::deque<std::string> writes;
    CLog callLog;
    CLog wireLog;
    CLog violations;
    std::string lastError;
    int32_t frameCount = 0;

private:
    bool gone = false;
    bool unplugged = false;
    long long backUs = -1; // when the master comes back; -1: not before the next load
    std::string statePath;
    std::FILE* wireLogFile = nullptr;
    std::vector<RuleUse> faultUse;
    std::vector<DriverErrorUse> driverErrorUse;
    std::map<std::string, int32_t> callCounts;
};

// The device, created on first use and never destroyed: the program's worker thread may
// still call the driver while the process exits.
CSimDevice& Device();
