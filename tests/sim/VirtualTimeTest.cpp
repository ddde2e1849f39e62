// The tests' virtual time: sleeps in this executable and in libraries loaded later move the
// simulator's clock instead of passing real time.
#include "SimFixture.h"

#include <cerrno>
#include <chrono>
#include <dlfcn.h>
#include <time.h>

namespace {

using SleepFn = int (*)(long);

class VirtualTimeTest : public SimFixture {
protected:
    void* library = nullptr;
    SleepFn sleepInLibrary = nullptr;
    SleepFn clockSleepInLibrary = nullptr;

    void SetUp() override {
        SimFixture::SetUp();
        library = dlopen(KSIM_SLEEPER, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        sleepInLibrary = reinterpret_cast<SleepFn>(dlsym(library, "SleepInLibrary"));
        clockSleepInLibrary = reinterpret_cast<SleepFn>(dlsym(library, "ClockSleepInLibrary"));
        ASSERT_NE(sleepInLibrary, nullptr);
        ASSERT_NE(clockSleepInLibrary, nullptr);
    }

    void TearDown() override {
        if (library != nullptr) {
            dlclose(library);
        }
        SimFixture::TearDown();
    }

    static long long RealMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

TEST_F(VirtualTimeTest, SleepsInALoadedLibraryAdvanceTheSimulatorClock) {
    const long long realStart = RealMs();
    const long long before = SimNowUs();
    EXPECT_EQ(sleepInLibrary(60000), 0);
    EXPECT_EQ(SimNowUs() - before, 60000000);
    EXPECT_EQ(clockSleepInLibrary(1000), 0);
    EXPECT_EQ(SimNowUs() - before, 61000000);
    // Well below the minute that was slept.
    EXPECT_LT(RealMs() - realStart, 30000);
}

TEST_F(VirtualTimeTest, AbsoluteClockSleepIsNotVirtual) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long before = SimNowUs();
    EXPECT_EQ(clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &now, nullptr), 0);
    EXPECT_EQ(SimNowUs(), before);
}

TEST_F(VirtualTimeTest, InvalidDurationIsRefused) {
    const timespec bad{0, 1000000000L};
    errno = 0;
    EXPECT_EQ(nanosleep(&bad, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(clock_nanosleep(CLOCK_MONOTONIC, 0, &bad, nullptr), EINVAL);
    EXPECT_EQ(nanosleep(nullptr, nullptr), -1);
}

TEST_F(VirtualTimeTest, WithVirtualTimeOffSleepsAreReal) {
    SimUseVirtualTime(0);
    const long long realStart = RealMs();
    const long long before = SimNowUs();
    EXPECT_EQ(sleepInLibrary(20), 0);
    EXPECT_GE(RealMs() - realStart, 20);
    EXPECT_GE(SimNowUs() - before, 20000);
}

TEST_F(VirtualTimeTest, SwitchingModesNeverMovesTheClockBack) {
    SimAdvanceUs(5000000);
    const long long virtualNow = SimNowUs();
    SimUseVirtualTime(0);
    const long long realNow = SimNowUs();
    EXPECT_GE(realNow, virtualNow);
    SimAdvanceUs(1000000);
    EXPECT_GE(SimNowUs(), realNow + 1000000);
    SimUseVirtualTime(1);
    const long long again = SimNowUs();
    EXPECT_GE(again, realNow + 1000000);
    SimAdvanceUs(-5);
    EXPECT_EQ(SimNowUs(), again);
}

} // namespace
