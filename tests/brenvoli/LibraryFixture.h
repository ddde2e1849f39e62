// The library on the simulated master unit, in virtual time.
#pragma once

#include "SimFixture.h"
#include "brenvoli/brenvoli.h"

#include <string>

class Library : public SimFixture {
protected:
    void TearDown() override {
        KestravionUsbClose();
        SimFixture::TearDown();
    }

    // Loads the scenario, opens the device, then starts the logs and the clock afresh.
    // Loading a scenario closes the simulated device, so the library closes first.
    void Open(const std::string& scenario = "{}") {
        KestravionUsbClose();
        LoadScenario(scenario);
        ASSERT_EQ(KestravionUsbOpen(), 0);
        Restart();
    }

    void Restart() {
        SimClearLogs();
        start = SimNowUs();
    }

    // Virtual time since the last restart.
    long long ElapsedUs() const { return SimNowUs() - start; }

    // Driver calls in the call log that begin with `prefix`.
    static int Count(const std::string& prefix) {
        int count = 0;
        for (const std::string& line : CallLog())
            count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

    // The index of the first call-log line that begins with `prefix`, or -1.
    static int IndexOf(const std::string& prefix) {
        std::vector<std::string> log = CallLog();
        for (size_t i = 0; i < log.size(); ++i)
            if (log[i].rfind(prefix, 0) == 0)
                return static_cast<int>(i);
        return -1;
    }

    long long start = 0;
};

// One 10 ms poll of the receive queue, in microseconds.
constexpr long long kPollUs = 10000;
