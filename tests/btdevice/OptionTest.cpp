// The options the module controller reads when it is built: the trace console and the
// pause. The trace console and the sleep are replaced here by recorders.
#include "platform/Console.h"
#include "platform/Sleep.h"
#include "program/btdevice/Btdevice.h"
#include "program/config/Cinits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <time.h>
#include <vector>

namespace {

int consoleOpens = 0;
std::vector<long long> sleepsUs;

} // namespace

// Stands in for the platform's console: the test only counts the calls.
void platform::OpenTraceConsole() {
    ++consoleOpens;
}

// Stands in for the system's sleep: records the length and returns at once.
extern "C" int nanosleep(const struct timespec* duration, struct timespec* remaining) {
    sleepsUs.push_back(static_cast<long long>(duration->tv_sec) * 1000000LL +
                       duration->tv_nsec / 1000);
    if (remaining != nullptr) {
        remaining->tv_sec = 0;
        remaining->tv_nsec = 0;
    }
    return 0;
}

namespace {

class OptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        consoleOpens = 0;
        sleepsUs.clear();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = (std::filesystem::temp_directory_path() /
                (std::string("btdevice-options-") + info->name() + ".ini"))
                   .string();
    }

    void TearDown() override {
        Inits = nullptr;
        std::filesystem::remove(path);
    }

    // Makes `text` the program's configuration.
    void Configure(const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        ASSERT_TRUE(config.Open(path));
        ASSERT_TRUE(config.Load());
        config.Close();
        Inits = &config;
    }

    std::string path;
    CInits config;
};

TEST_F(OptionTest, DosOpensTheTraceConsole) {
    Configure("output=\"dos\"");
    CBtDevice device;
    EXPECT_EQ(consoleOpens, 1);
}

TEST_F(OptionTest, OtherOutputsOpenNoConsole) {
    for (const char* text : {"output=\"DOS\"", "output=\"win\"", "output=\"dos \"", "x=1"}) {
        SCOPED_TRACE(text);
        CInits fresh;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        ASSERT_TRUE(fresh.Open(path));
        fresh.Load();
        fresh.Close();
        Inits = &fresh;
        CBtDevice device;
        Inits = nullptr;
    }
    EXPECT_EQ(consoleOpens, 0);
}

TEST_F(OptionTest, NoConfigurationMeansNoConsoleAndNoPause) {
    Inits = nullptr;
    CBtDevice device;
    EXPECT_EQ(consoleOpens, 0);
    EXPECT_EQ(device.waitOn, 0);
    EXPECT_EQ(device.waitTime, 0);
}

TEST_F(OptionTest, WaitOnWithABareNumberPausesThatLong) {
    Configure("wait=\"on\" time=25");
    CBtDevice device;
    EXPECT_EQ(device.waitOn, 1);
    EXPECT_EQ(device.waitTime, 25);
    device.Pause();
    EXPECT_EQ(sleepsUs, std::vector<long long>{25000});
}

TEST_F(OptionTest, WaitUpperCaseOnIsAcceptedToo) {
    Configure("time=7 wait=\"ON\"");
    CBtDevice device;
    EXPECT_EQ(device.waitOn, 1);
    EXPECT_EQ(device.waitTime, 7);
}

TEST_F(OptionTest, QuotedTimeGivesNoPause) {
    Configure("wait=\"on\" time=\"25\"");
    CBtDevice device;
    EXPECT_EQ(device.waitOn, 1);
    EXPECT_EQ(device.waitTime, 0);
    device.Pause();
    EXPECT_TRUE(sleepsUs.empty());
}

TEST_F(OptionTest, MissingTimeGivesNoPause) {
    Configure("wait=\"on\"");
    CBtDevice device;
    EXPECT_EQ(device.waitOn, 1);
    EXPECT_EQ(device.waitTime, 0);
    device.Pause();
    EXPECT_TRUE(sleepsUs.empty());
}

TEST_F(OptionTest, OtherWaitValuesLeaveThePauseOff) {
    for (const char* text :
         {"wait=\"On\" time=25", "wait=\"off\" time=25", "time=25", "wait=1 time=25"}) {
        SCOPED_TRACE(text);
        CInits fresh;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        ASSERT_TRUE(fresh.Open(path));
        fresh.Load();
        fresh.Close();
        Inits = &fresh;
        CBtDevice device;
        Inits = nullptr;
        EXPECT_EQ(device.waitOn, 0);
        EXPECT_EQ(device.waitTime, 0);
        device.Pause();
    }
    EXPECT_TRUE(sleepsUs.empty());
}

TEST_F(OptionTest, ThePauseFollowsTheFieldsAsTheyStand) {
    CBtDevice device;
    device.waitOn = 1;
    device.waitTime = 3;
    device.Pause();
    device.waitOn = 0;
    device.Pause();
    device.waitOn = 2;
    device.Pause();
    EXPECT_EQ(sleepsUs, std::vector<long long>{3000});
}

// A wrapped or mistyped "time" must not stall the tool: negative lengths give no pause,
// and a pause never lasts more than a minute.
TEST_F(OptionTest, PauseLengthsOutsideReasonAreBounded) {
    Configure("wait=\"on\" time=4294967295");
    CBtDevice wrapped;
    EXPECT_EQ(wrapped.waitTime, -1);
    wrapped.Pause();
    EXPECT_TRUE(sleepsUs.empty());

    CBtDevice device;
    device.waitOn = 1;
    device.waitTime = INT32_MAX;
    device.Pause();
    EXPECT_EQ(sleepsUs, std::vector<long long>{60000000});
}

} // namespace
