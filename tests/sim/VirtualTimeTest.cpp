// The tests' virtual time: sleeps in this executable and in libraries loaded later move the
// simulator's clock instead of passing real time.
#include "SimFixture.h"

#include <cerrno>
#include <chrono>
#include <time.h>

#ifdef _WIN32
#include <algorithm>
#include <string>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using SleepFn = int (*)(long);

#ifdef _WIN32
// The test loads the library as the program loads its own, through its import table.
void* LoadSleeper() {
    std::string path = KSIM_SLEEPER;
    std::replace(path.begin(), path.end(), '/', '\\');
    return ::LoadLibraryA(path.c_str());
}
void* Symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}
void Unload(void* library) {
    ::FreeLibrary(static_cast<HMODULE>(library));
}
#else
void* LoadSleeper() {
    return dlopen(KSIM_SLEEPER, RTLD_NOW | RTLD_LOCAL);
}
void* Symbol(void* library, const char* name) {
    return dlsym(library, name);
}
void Unload(void* library) {
    dlclose(library);
}
#endif

class VirtualTimeTest : public SimFixture {
protected:
    void* library = nullptr;
    SleepFn sleepInLibrary = nullptr;
    SleepFn clockSleepInLibrary = nullptr;

    void SetUp() override {
        SimFixture::SetUp();
        library = LoadSleeper();
        ASSERT_NE(library, nullptr) << KSIM_SLEEPER;
        sleepInLibrary = reinterpret_cast<SleepFn>(Symbol(library, "SleepInLibrary"));
        ASSERT_NE(sleepInLibrary, nullptr);
#ifndef _WIN32
        clockSleepInLibrary = reinterpret_cast<SleepFn>(Symbol(library, "ClockSleepInLibrary"));
        ASSERT_NE(clockSleepInLibrary, nullptr);
#endif
    }

    void TearDown() override {
        if (library != nullptr) {
            Unload(library);
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
#ifndef _WIN32
    EXPECT_EQ(clockSleepInLibrary(1000), 0);
    EXPECT_EQ(SimNowUs() - before, 61000000);
#endif
    // Well below the minute that was slept.
    EXPECT_LT(RealMs() - realStart, 30000);
}

// Windows has no replacement of clock_nanosleep(): nothing of the build sleeps with it there.
#ifndef _WIN32
TEST_F(VirtualTimeTest, AbsoluteClockSleepIsNotVirtual) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long before = SimNowUs();
    EXPECT_EQ(clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &now, nullptr), 0);
    EXPECT_EQ(SimNowUs(), before);
}
#endif

TEST_F(VirtualTimeTest, InvalidDurationIsRefused) {
    const timespec bad{0, 1000000000L};
    errno = 0;
    EXPECT_EQ(nanosleep(&bad, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
#ifndef _WIN32
    EXPECT_EQ(clock_nanosleep(CLOCK_MONOTONIC, 0, &bad, nullptr), EINVAL);
#endif
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
