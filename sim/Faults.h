// The fault actions a scenario's "faults" rules name: one row per action, with the keys it
// takes and the handler that plays it on a command the master received.
#pragma once

#include <functional>
#include <string>

class CSimDevice;
struct FaultRule;

// A command the master received, as its receiver hands it to a fault.
struct ReceivedCommand {
    // Carries the command out; returns its normal reply ("" for none).
    std::function<std::string()> carryOut;
    // The reply refusing it under `rule`; nothing is carried out.
    std::function<std::string(const FaultRule& rule)> refusal;
};

// Plays `rule` on `command`: carries it out or not, and queues what the master answers.
using FaultHandler = void (*)(CSimDevice& device, const FaultRule& rule,
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
void PlayNoFault(CSimDevice& device, const ReceivedCommand& command);
