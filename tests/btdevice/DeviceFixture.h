// The module controller against the simulated master through the real link and interface
// library, in virtual time: a fresh configuration and a fresh controller per test.
#pragma once

#include "SimFixture.h"
#include "platform/Clock.h"
#include "program/btdevice/Btdevice.h"
#include "program/config/Cinits.h"
#include "program/link/Axodll.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class DeviceFixture : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        Inits = &inits;
        // The time limits of the module's loops read the simulator's virtual time.
        platform::SetClockForTests([]() -> int64_t { return SimNowUs() / 1000; });
    }

    void TearDown() override {
        device.reset();
        platform::SetClockForTests(nullptr);
        FreeLinkLibrary();
        Inits = nullptr;
        SimFixture::TearDown();
    }

    // Adds the statement key="value" (or key=number) to the configuration.
    void Configure(const std::string& key, const std::string& value, int32_t number = 0) {
        inits.items.push_back(Item{key, value, number});
    }

    // Loads the scenario, builds and opens the controller and clears the logs, so that the
    // logs hold only what the test sends afterwards.
    void Start(const std::string& scenario = "{}") {
        LoadScenario(scenario);
        device = std::make_unique<CBtDevice>();
        ASSERT_TRUE(device->Open()) << SimViolations();
        SimClearLogs();
    }

    // The frame that carries `command` (with its CR) for a reply of `replyLength`.
    static std::string Frame(const std::string& command, int replyLength) {
        char header[8];
        std::snprintf(header, sizeof header, "MX%02X%02X",
                      static_cast<unsigned>(command.size() + 5),
                      static_cast<unsigned>(replyLength + 1));
        return header + command + "\r";
    }

    // How many of the host's writes are exactly `frame`.
    static int CountWrites(const std::vector<std::string>& writes, const std::string& frame) {
        int count = 0;
        for (const std::string& write : writes) {
            count += write == frame ? 1 : 0;
        }
        return count;
    }

    CInits inits;
    std::unique_ptr<CBtDevice> device;
};
