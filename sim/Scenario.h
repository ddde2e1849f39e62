// What a scenario file describes: the master's timing, its Bluetooth module's slaves and
// ID table, and the faults to play.
#pragma once

#include "Faults.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

const int positionCount = 14;

// The module's ID table, one ID per position.
using IdTable = std::array<std::string, positionCount>;

// A D2XX call that fails.
struct DriverErrorRule {
    std::string function;
    uint32_t status = 4;
    int32_t call = 0;         // from the n-th call on; 0 when `afterCommand` is used
    std::string afterCommand; // from the first call after this command
    int32_t times = -1;       // -1: unlimited
};

struct SlaveEntry {
    std::string id;
    std::string name;
    std::string detail;
};

// Another FTDI bridge on the bus: listed, but held by another program.
struct BridgeEntry {
    std::string serial;
    std::string description;
};

struct Scenario {
    Scenario();

    uint32_t openStatus = 0;
    long long replyLatencyUs = 2000;
    long long byteGapUs = 0;
    char mgState = '1';
    bool xvConnected = true;
    std::vector<SlaveEntry> slaves;
    IdTable committedIds;
    long long searchDurationUs = 200000;
    uint32_t statusBits = 0;
    bool statusNeverClears = false;
    bool countNeverDrains = false;
    bool hasResultText = false;
    std::string resultText;
    std::vector<FaultRule> faults;
    std::vector<DriverErrorRule> driverErrors;
    // The bridges besides the master's, in the driver's order, and the master's place among
    // them (its device index).
    std::vector<BridgeEntry> otherBridges;
    uint32_t masterIndex = 0;
};

// The result text the module reports for the scenario's slaves.
std::string BuildResultText(const Scenario& scenario);

// True for 12 upper-case hexadecimal digits.
bool IsDeviceId(const std::string& text);

// Fills `scenario` from JSON text. On false, `error` says why and `scenario` is unspecified.
bool ParseScenario(const std::string& json, Scenario& scenario, std::string& error);
