// The master's Bluetooth module: its command language behind the "MX" frames, the slave
// search and the 42 ID registers.
#pragma once

#include "Scenario.h"
#include "StateFile.h"

#include <array>
#include <string>

const int registerCount = 3 * positionCount;

// What the module makes of one command.
struct ModuleAnswer {
    std::string number;     // the command number as sent, "??" when there is none
    bool ok = true;         // false: an error reply
    std::string data;       // the reply's data
    int expectedBytes = 0;  // reply bytes the command calls for; 0 for any
    std::string violation;  // what the host did wrong, empty when nothing
    bool committed = false; // the committed table was written
};

class CModule {
public:
    void Reset(const Scenario& scenario, const IdTable& committedTable);
    // Carries out one command (the frame's payload) at the given time.
    ModuleAnswer Handle(const std::string& payload, long long nowUs);
    // The error answer to a command that is refused without being carried out.
    static ModuleAnswer Refusal(const std::string& payload);
    const IdTable& Committed() const { return committed; }

private:
    void Update(long long nowUs);
    ModuleAnswer Execute(const std::string& number, bool hasArgument, const std::string& argument,
                         long long nowUs);
    ModuleAnswer Read(const std::string& argument);
    ModuleAnswer Register(const std::string& registerNumber, int index, bool hasArgument,
                          const std::string& argument);
    static ModuleAnswer Error(const std::string& number, const std::string& violation);

    long long searchDurationUs = 0;
    unsigned statusBits = 0;
    bool statusNeverClears = false;
    bool countNeverDrains = false;
    std::string resultSource;

    IdTable committed;
    std::array<std::string, registerCount> working;
    bool accessOpen = false;
    bool searching = false;
    long long searchEndUs = 0;
    std::string result;
    size_t readPosition = 0;
};

// Index 0..41 of a register command number ("A1".."AF", "B1".."BF", "C1".."CC"), or -1.
int RegisterIndex(const std::string& number);
