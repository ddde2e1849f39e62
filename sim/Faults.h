// The fault rules of a scenario and the actions that play them: one row per action, with the
// keys it takes and the handler that plays it on a command the master received. The bottom
// of the simulator: the actions reach the master only through CFaultTarget.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct FaultActionRow;

// A fault applied to commands the master receives.
struct FaultRule {
    std::string command; // "MG", "$A4", "MX"; empty when `frame` is used
    int32_t frame = 0;   // from the n-th frame on; 0 when `command` is used
    int32_t skip = 0;
    int32_t times = -1;                     // -1: unlimited
    const FaultActionRow* action = nullptr; // the action's row
    char reason = '0';
    char letter = 'N';
    std::string text;
    int32_t bytes = 0;
    long long delayUs = 0;
    long long gapUs = -1; // -1: the scenario's byte gap
    long long forUs = -1; // "dead", "unplug": how long the master is gone; -1: until the next load
};

// What a fault action may do to the master that received the command; the device fills it
// in.
class CFaultTarget {
public:
    // Queues a reply: its first byte after the latency and `delayUs`, the rest `gapUs` apart
    // (-1: the scenario's gap), never overtaking bytes queued earlier.
    virtual void QueueReply(const std::string& bytes, long long delayUs, long long gapUs) = 0;
    // The master is gone (unplugged: the bridge with it) for `forUs` from now, or until the
    // next load when `forUs` is negative.
    virtual void GoAway(long long forUs, bool unplug) = 0;

protected:
    ~CFaultTarget() = default;
};

// A command the master received, as its receiver hands it to a fault.
struct ReceivedCommand {
    // Carries the command out; returns its normal reply ("" for none).
    std::function<std::string()> carryOut;
    // The reply refusing it under `rule`; nothing is carried out.
    std::function<std::string(const FaultRule& rule)> refusal;
};

// Plays `rule` on `command`: carries it out or not, and queues what the master answers.
using FaultHandler = void (*)(CFaultTarget& master, const FaultRule& rule,
                              const ReceivedCommand& command);

struct FaultActionRow {
    const char* name;     // as in the scenario file
    const char* keys;     // the argument keys it takes, space-separated
    const char* required; // of those, the ones it must have
    FaultHandler handler;
};

// The row named `name`, or nullptr when there is none.
const FaultActionRow* FindFaultAction(const std::string& name);

// The action names, comma-separated, for error messages.
std::string FaultActionNames();

// True when the space-separated `list` holds `key`.
bool KeyListed(const char* list, const std::string& key);

// Handles a command no rule matched: carried out and answered normally.
void PlayNoFault(CFaultTarget& master, const ReceivedCommand& command);
