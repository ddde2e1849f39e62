// The options the module controller reads when it is built: the trace console and the
// pause. The trace console and the sleep are replaced here by recorders.
#include "platform/Console.h"
#include "program/btdevice/Btdevice.h"
#include "program/config/Cinits.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>
#include <vector>

#ifdef _WIN32
#include "SleepHook.h"
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace {

int consoleOpens = 0;
std::vector<long long> sleepsUs;

} // namespace

// Stands in for the platform's console: the test only counts the calls.
void platform::OpenTraceConsole() {
    ++consoleOpens;
}

#ifdef _WIN32
namespace {

// Stands in for the system's sleep: records the length and returns at once.
void WINAPI RecordSleep(DWORD ms) {
    sleepsUs.push_back(static_cast<long long>(ms) * 1000LL);
}

const bool sleepsRouted = (sleephook::RouteSleep(RecordSleep), true);

} // namespace
#else
// Stands in for the system's sleep: records the length and returns at once.
extern "C" int nanosleep(const struct timespec* duration, struct timespec* remaining) {
    sleepsUs.push_back(static_cast<long long>(duration->tv_sec) * 1000000LL +
                       duration->tv_nsec / 1000);
    if (remaining != nullptr) {
        *remaining = timespec{0, 0};
    }
    return 0;
}
#endif

namespace {

struct OptionCase {
    const char* config;
    int consoleOpens;
    int waitOn;
    int32_t waitTime;
    std::vector<long long> pauseUs;
};

class OptionTest : public ::testing::TestWithParam<OptionCase> {
protected:
    void SetUp() override {
        consoleOpens = 0;
        sleepsUs.clear();
        // ctest runs the cases in parallel processes: each gets a file of its own.
        path = (std::filesystem::temp_directory_path() /
                ("btdevice-options-" + std::to_string(getpid()) + ".ini"))
                   .string();
    }

    void TearDown() override {
        Inits = nullptr;
        std::filesystem::remove(path);
    }

    std::string path;
};

TEST_P(OptionTest, ConsoleAndPauseFollowTheConfiguration) {
    const OptionCase& c = GetParam();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.config;
    CInits config;
    ASSERT_TRUE(config.Open(path));
    config.Load();
    config.Close();
    Inits = &config;
    CBtDevice device;
    EXPECT_EQ(consoleOpens, c.consoleOpens);
    EXPECT_EQ(device.waitOn, c.waitOn);
    EXPECT_EQ(device.waitTime, c.waitTime);
    device.Pause();
    EXPECT_EQ(sleepsUs, c.pauseUs);
}

const OptionCase OptionCases[] = {
    {"output=\"dos\"", 1, 0, 0, {}},
    {"output=\"DOS\"", 0, 0, 0, {}},
    {"output=\"win\"", 0, 0, 0, {}},
    {"", 0, 0, 0, {}},
    {"wait=\"on\" time=25", 0, 1, 25, {25000}},
    {"time=7 wait=\"ON\"", 0, 1, 7, {7000}},
    {"wait=\"on\" time=\"25\"", 0, 1, 0, {}},
    {"wait=\"on\"", 0, 1, 0, {}},
    {"wait=\"On\" time=25", 0, 0, 0, {}},
    {"wait=\"off\" time=25", 0, 0, 0, {}},
    {"wait=1 time=25", 0, 0, 0, {}},
    // A wrapped "time" gives no pause rather than one of 49 days.
    {"wait=\"on\" time=4294967295", 0, 1, -1, {}},
    // A pause never lasts more than a minute.
    {"wait=\"on\" time=2147483647", 0, 1, 2147483647, {60000000}},
};

INSTANTIATE_TEST_SUITE_P(Options, OptionTest, ::testing::ValuesIn(OptionCases));

TEST(OptionNoConfiguration, NoConsoleAndNoPause) {
    consoleOpens = 0;
    Inits = nullptr;
    CBtDevice device;
    EXPECT_EQ(consoleOpens, 0);
    EXPECT_EQ(device.waitOn, 0);
    EXPECT_EQ(device.waitTime, 0);
}

} // namespace
