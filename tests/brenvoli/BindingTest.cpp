// The driver binding against fake drivers that lack one entry point, and without any
// driver at all. Each case loads its variant by path; the library's load of
// "libftd2xx.so" then finds that object by its SONAME (on Windows, the loaded
// "ftd2xx.dll" by its module name).
#include "FakeD2xx.h"
#include "brenvoli/brenvoli.h"

#include <gtest/gtest.h>
#include <string>

// The library's sleeps pass at once here, each only adding to this total, which is also
// the clock its time limits read (virtual time).
static long long sleptMs;

#ifdef _WIN32
#include "SleepHook.h"

#include <algorithm>
#include <windows.h>
#else
#include <dlfcn.h>
#include <time.h>

extern "C" int nanosleep(const struct timespec* duration, struct timespec*) {
    sleptMs += duration->tv_sec * 1000LL + duration->tv_nsec / 1000000;
    return 0;
}

extern "C" int clock_gettime(clockid_t clock, struct timespec* now) {
    if (clock == CLOCK_MONOTONIC_RAW) {
        now->tv_sec = static_cast<time_t>(sleptMs / 1000);
        now->tv_nsec = static_cast<long>(sleptMs % 1000) * 1000000L;
        return 0;
    }
    using ClockGettimeFn = int (*)(clockid_t, struct timespec*);
    static const auto real = reinterpret_cast<ClockGettimeFn>(dlsym(RTLD_NEXT, "clock_gettime"));
    return real(clock, now);
}
#endif

namespace {

#ifdef _WIN32
void WINAPI NoSleep(DWORD ms) {
    sleptMs += ms;
}
ULONGLONG SleptClock() {
    return static_cast<ULONGLONG>(sleptMs);
}
const bool sleepsRouted = (sleephook::RouteClock(SleptClock), sleephook::RouteSleep(NoSleep), true);

void* LoadByPath(const std::string& path) {
    std::string windowsPath = path;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    return ::LoadLibraryA(windowsPath.c_str());
}
void* Symbol(void* module, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}
void Unload(void* module) {
    ::FreeLibrary(static_cast<HMODULE>(module));
}
bool StillLoaded(const std::string&) {
    return ::GetModuleHandleA("ftd2xx.dll") != nullptr;
}
#else
void* LoadByPath(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
}
void* Symbol(void* module, const char* name) {
    return dlsym(module, name);
}
void Unload(void* module) {
    dlclose(module);
}
bool StillLoaded(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD) != nullptr;
}
#endif

class Binding : public ::testing::Test {
protected:
    void TearDown() override {
        KestravionUsbClose();
        if (driver) {
            Unload(driver);
            EXPECT_FALSE(StillLoaded(path)) << "the fake driver stayed loaded";
        }
    }

    void LoadDriver(const char* variantPath) {
        path = variantPath;
        driver = LoadByPath(variantPath);
        ASSERT_NE(driver, nullptr) << variantPath;
        callLog = reinterpret_cast<FakeCallLogFn>(Symbol(driver, "FakeCallLog"));
        queue = reinterpret_cast<FakeQueueFn>(Symbol(driver, "FakeQueue"));
        reset = reinterpret_cast<FakeResetFn>(Symbol(driver, "FakeReset"));
        phantom = reinterpret_cast<FakePhantomFn>(Symbol(driver, "FakePhantom"));
        blockingRead = reinterpret_cast<FakeBlockingReadFn>(Symbol(driver, "FakeBlockingRead"));
        ASSERT_TRUE(callLog && queue && reset && phantom && blockingRead);
        reset();
    }

    std::string Calls() {
        std::string log = callLog();
        reset();
        return log;
    }

    std::string path;
    void* driver = nullptr;
    FakeCallLogFn callLog = nullptr;
    FakeQueueFn queue = nullptr;
    FakeResetFn reset = nullptr;
    FakePhantomFn phantom = nullptr;
    FakeBlockingReadFn blockingRead = nullptr;
};

TEST_F(Binding, MissingDriverGivesStatus1AndTheNextOpenLoadsAgain) {
    // Each failed load names the driver and where to get it, in one line.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(KestravionUsbOpen(), 1);
    std::string said = ::testing::internal::GetCapturedStderr();
#ifdef _WIN32
    const char* driverName = " ftd2xx.dll ";
#else
    const char* driverName = " libftd2xx.so ";
#endif
    EXPECT_NE(said.find(driverName), std::string::npos) << said;
    EXPECT_NE(said.find(" https://ftdichip.com/drivers/d2xx-drivers/ "), std::string::npos);
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    EXPECT_EQ(KestravionUsbOpen(), 1);
    char reply[8] = {};
    EXPECT_EQ(KestravionExtSR(1, 1, "x", reply), 1);
    EXPECT_EQ(KestravionExtInit(), 91);

    LoadDriver(FAKE_FULL);
    EXPECT_EQ(KestravionUsbOpen(), 0);
    EXPECT_EQ(Calls(), "FT_Open 0\n"
                       "FT_Purge 3\n"
                       "FT_SetTimeouts 60000 1000\n"
                       "FT_SetUSBParameters 63360 0\n"
                       "FT_SetLatencyTimer 2\n");
}

TEST_F(Binding, CompleteDriverNeverCallsTheNamesOnlyLookedUp) {
    LoadDriver(FAKE_FULL);
    ASSERT_EQ(KestravionUsbOpen(), 0);
    queue("YZ\r", 3);
    char reply[8] = {};
    EXPECT_EQ(KestravionExtSR(2, 2, "ab", reply), 0);
    EXPECT_STREQ(reply, "YZ\r");
    EXPECT_EQ(KestravionUsbClose(), 0);
    std::string log = Calls();
    EXPECT_EQ(log.find("FT_OpenEx"), std::string::npos);
    EXPECT_EQ(log.find("FT_ListDevices"), std::string::npos);
    EXPECT_EQ(log.find("FT_ResetDevice"), std::string::npos);
    EXPECT_NE(log.find("FT_Close\n"), std::string::npos);
}

TEST_F(Binding, LackingTheFirstNameBindsNothing) {
    LoadDriver(FAKE_NO_WRITE);
    EXPECT_EQ(KestravionUsbOpen(), 1);
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(KestravionExtInit(), 91);
}

TEST_F(Binding, LackingResetDeviceOpensThenClosesWith92) {
    LoadDriver(FAKE_NO_RESET);
    EXPECT_EQ(KestravionUsbOpen(), 92);
    // Purge is bound after the missing name: every attempt fails without a call.
    EXPECT_EQ(Calls(), "FT_Open 0\nFT_Close\n");
    char reply[8] = {};
    EXPECT_EQ(KestravionExtSR(1, 1, "x", reply), 1);
    EXPECT_EQ(KestravionExtInit(), 91);
    EXPECT_EQ(Calls(), "");
}

TEST_F(Binding, LackingPurgeOpensThenClosesWith92) {
    LoadDriver(FAKE_NO_PURGE);
    EXPECT_EQ(KestravionUsbOpen(), 92);
    EXPECT_EQ(Calls(), "FT_Open 0\nFT_Close\n");
    // The failed open left the library idle: the next open binds and opens afresh.
    EXPECT_EQ(KestravionUsbOpen(), 92);
    EXPECT_EQ(Calls(), "FT_Open 0\nFT_Close\n");
}

TEST_F(Binding, LackingANameAfterPurgeOpensAndExchangesGive1) {
    LoadDriver(FAKE_NO_TIMEOUTS);
    EXPECT_EQ(KestravionUsbOpen(), 0);
    // The three settings are all bound after the missing name and skipped.
    EXPECT_EQ(Calls(), "FT_Open 0\nFT_Purge 3\n");

    char reply[8] = {};
    EXPECT_EQ(KestravionExtSR(1, 1, "x", reply), 1);
    EXPECT_EQ(Calls(), "FT_Write 8 MX0602x\r\n");
    // The failed exchange makes the next one drop the receive queue first.
    EXPECT_EQ(AxoUsbSendCmd_Bin("ab", 2, reply, 1), 1);
    EXPECT_EQ(Calls(), "FT_Purge 1\nFT_Write 2 ab\n");
    EXPECT_EQ(AxoUsbSendCmd_Adv("ab\r", 3, reply, 1), 1);
    EXPECT_EQ(KestravionExtInit(), 1);
    EXPECT_EQ(KestravionExtCon(), 1);
    EXPECT_EQ(AxoUsbSendOnly("ab", 2), 0);
}

TEST_F(Binding, LackingLatencyTimerSkipsTheLastSettingsAndExchangesWork) {
    LoadDriver(FAKE_NO_LATENCY);
    EXPECT_EQ(KestravionUsbOpen(), 0);
    EXPECT_EQ(Calls(), "FT_Open 0\nFT_Purge 3\nFT_SetTimeouts 60000 1000\n");
    queue("OK\r", 3);
    char reply[8] = {};
    EXPECT_EQ(AxoUsbSendCmd_Adv("ab\r", 3, reply, 0), 0);
    EXPECT_STREQ(reply, "OK\r");
}

// A driver that keeps reporting bytes waiting but hands out none is a silent master: the
// wait ends with 99 after the same elapsed time, sleeping 10 ms after each try, also when
// each read first blocks for a second (a driver waiting out its own read timeout).
TEST_F(Binding, BytesReportedButNeverHandedOutEndTheWaitAsATimeout) {
    LoadDriver(FAKE_FULL);
    ASSERT_EQ(KestravionUsbOpen(), 0);
    phantom(1);
    char reply[8] = {};
    const struct {
        int longWait;
        int readBlockMs;
        long long ms;
    } cases[] = {{0, 0, 401 * 10}, {1, 0, 6001 * 10}, {1, 1000, 60 * 1010}, {0, 1000, 4 * 1010}};
    for (const auto& c : cases) {
        blockingRead(c.readBlockMs);
        sleptMs = 0;
        EXPECT_EQ(AxoUsbSendCmd_Adv("ab\r", 3, reply, c.longWait), 99) << c.longWait;
        EXPECT_EQ(sleptMs, c.ms) << c.longWait << " " << c.readBlockMs;
    }
    // The reads were tried: the fake reported bytes on every poll.
    std::string log = Calls();
    EXPECT_NE(log.find("FT_Read 1\n"), std::string::npos);
}

} // namespace
