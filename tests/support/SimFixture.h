// A gtest fixture on the simulated master unit: each test starts from the default scenario
// with virtual time on. Link the object library `virtual_time` and `sim_fixture`.
#pragma once

#include "SimControl.h"

#include <gtest/gtest.h>

#include <string>
#include <time.h>
#include <vector>

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SimReset();
        SimUseVirtualTime(1);
        // Without the virtual_time objects in the executable a sleep would really sleep.
        const long long before = SimNowUs();
        const timespec second{1, 0};
        nanosleep(&second, nullptr);
        ASSERT_GE(SimNowUs() - before, 1000000LL) << "link the object library virtual_time";
        SimClearLogs();
    }

    void TearDown() override {
        SimUseVirtualTime(0);
        SimReset();
    }

    // Loads a scenario (JSON text); fails the test when it is refused.
    static void LoadScenario(const std::string& json) {
        ASSERT_EQ(SimLoadScenario(json.c_str()), 0) << SimLastError();
        SimUseVirtualTime(1);
    }

    // The host's writes since the last clear, each as it went out.
    static std::vector<std::string> Writes() {
        std::vector<std::string> writes;
        const int count = SimWriteCount();
        for (int i = 0; i < count; ++i) {
            const int length = SimWriteData(i, nullptr, 0);
            std::string data(static_cast<size_t>(length > 0 ? length : 0), '\0');
            SimWriteData(i, data.data(), length);
            writes.push_back(data);
        }
        return writes;
    }

    static std::vector<std::string> CallLog() { return Lines(SimCallLog()); }
    static std::vector<std::string> WireLog() { return Lines(SimWireLog()); }
    static std::vector<std::string> Violations() { return Lines(SimViolations()); }

    // Splits a log into its lines, without the line feeds.
    static std::vector<std::string> Lines(const char* log) {
        std::vector<std::string> lines;
        std::string text = log != nullptr ? log : "";
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                end = text.size();
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }
};
