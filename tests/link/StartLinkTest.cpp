// StartLink against the simulated master: the link mode from "usbcomm" with its trace, the
// start-up calls in order, and which failures unload the library.
#include "LinkFixture.h"

#include <algorithm>

namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

int Count(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.compare(0, prefix.size(), prefix) == 0;
    }));
}

using StartLinkSim = LinkFixture;

TEST_F(StartLinkSim, HealthyMasterIsOpenedInitialisedAndConnected) {
    CAxoDll link(true);
    bool started = false;
    EXPECT_EQ(StartTraced(link, started), "");
    EXPECT_TRUE(started);
    EXPECT_TRUE(link.threaded);
    EXPECT_NE(LinkLibrary.module, nullptr);
    EXPECT_TRUE(LibraryMapped());
    // Open, initialise, connect: "LS" and "MG" first, "XV" last; the device stays open.
    std::vector<std::string> writes = Writes();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_EQ(writes.front(), "LS\r");
    EXPECT_EQ(writes[1], "MG\r");
    EXPECT_EQ(writes.back(), "XV\r");
    // The bridges listed first (their number, then each one's number, serial number and
    // description), then device 0 opened.
    std::vector<std::string> calls = CallLog();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(
        std::vector<std::string>(calls.begin(), calls.begin() + 5),
        (std::vector<std::string>{"FT_ListDevices 80000000 -> 0", "FT_ListDevices 80000000 -> 0",
                                  "FT_ListDevices 40000001 -> 0", "FT_ListDevices 40000002 -> 0",
                                  "FT_Open 0 -> 0"}));
    EXPECT_EQ(Count(calls, "FT_Close"), 0);
    EXPECT_TRUE(Violations().empty());
    // The worker was never resumed during the start-up.
    EXPECT_TRUE(link.Suspended());
}

// The bridge opened: the driver's first unless one is named by its serial number; what the
// driver listed is handed back, and a named bridge that is not attached is not opened.
TEST_F(StartLinkSim, OpensTheBridgeNamedBySerialNumber) {
    LoadScenario(R"({"otherBridges": [{"serial": "FT9ZX1", "description": "FT232R USB UART"}],
                     "masterIndex": 1})");
    const struct {
        const char* serial;
        bool started;
        const char* open;
    } cases[] = {
        {"", false, "FT_Open 0 -> 3"},           // the first bridge is another device's
        {"KM000009", false, "FT_OpenEx 1 -> 2"}, // not attached
        {"KM000001", true, "FT_OpenEx 1 -> 0"},
    };
    for (const auto& c : cases) {
        SimClearLogs();
        CAxoDll link(true);
        std::vector<BRIDGE> bridges;
        EXPECT_EQ(StartLink(&link, c.serial, &bridges), c.started) << c.serial;
        ASSERT_EQ(bridges.size(), 2u) << c.serial;
        EXPECT_EQ(bridges[0].serial, "FT9ZX1");
        EXPECT_EQ(bridges[0].description, "FT232R USB UART");
        EXPECT_EQ(bridges[1].serial, "KM000001");
        EXPECT_TRUE(Contains(CallLog(), c.open)) << c.serial;
    }
}

struct UsbcommCase {
    const char* name;
    const char* value; // nullptr: the key is absent
    bool threaded;
    const char* trace;
};

class StartLinkUsbcomm : public LinkFixture, public ::testing::WithParamInterface<UsbcommCase> {};

TEST_P(StartLinkUsbcomm, ChoosesTheModeAndTracesIt) {
    const UsbcommCase& c = GetParam();
    if (c.value)
        Configure("usbcomm", c.value);
    CAxoDll link(true);
    link.threaded = !c.threaded;
    bool started = false;
    EXPECT_EQ(StartTraced(link, started), c.trace);
    EXPECT_TRUE(started);
    EXPECT_EQ(link.threaded, c.threaded);
}

const UsbcommCase UsbcommCases[] = {
    {"Absent", nullptr, true, ""},
    {"Thread", "thread", true, "Thread ON\n"},
    {"OtherCase", "Thread", false, "Thread OFF\n"},
    {"Sync", "sync", false, "Thread OFF\n"},
    {"Empty", "", false, "Thread OFF\n"},
};

INSTANTIATE_TEST_SUITE_P(Link, StartLinkUsbcomm, ::testing::ValuesIn(UsbcommCases),
                         [](const ::testing::TestParamInfo<UsbcommCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(StartLinkSim, WithoutAConfigurationTheLinkIsThreaded) {
    Inits = nullptr;
    CAxoDll link(true);
    link.threaded = false;
    bool started = false;
    EXPECT_EQ(StartTraced(link, started), "");
    EXPECT_TRUE(started);
    EXPECT_TRUE(link.threaded);
}

TEST_F(StartLinkSim, OpenFailingUnloadsTheLibrary) {
    LoadScenario(R"({"openStatus": 2})");
    Configure("usbcomm", "sync");
    CAxoDll link(true);
    bool started = true;
    EXPECT_EQ(StartTraced(link, started), "Thread OFF\n");
    EXPECT_FALSE(started);
    EXPECT_EQ(LinkLibrary.module, nullptr);
    EXPECT_EQ(LinkLibrary.KestravionExtSR, nullptr);
    EXPECT_FALSE(LibraryMapped());
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(Count(CallLog(), "FT_Open"), 1);
}

TEST_F(StartLinkSim, PurgeFailingUnloadsTheLibrary) {
    LoadScenario(R"({"purgeFailures": 5})");
    CAxoDll link(true);
    EXPECT_FALSE(StartLink(&link));
    EXPECT_EQ(LinkLibrary.module, nullptr);
    EXPECT_FALSE(LibraryMapped());
    EXPECT_TRUE(Writes().empty());
}

TEST_F(StartLinkSim, InitialisationFailingUnloadsTheLibrary) {
    const char* scenarios[] = {
        R"({"mgState": 6})",
        R"({"faults": [{"command": "MG", "action": "refuse", "reason": "3"}]})",
        R"({"faults": [{"command": "MV", "action": "refuse"}]})",
        R"({"faults": [{"command": "OR", "action": "silent"}]})",
    };
    for (const char* scenario : scenarios) {
        SCOPED_TRACE(scenario);
        LoadScenario(scenario);
        SimClearLogs();
        CAxoDll link(true);
        EXPECT_FALSE(StartLink(&link));
        EXPECT_EQ(LinkLibrary.module, nullptr);
        EXPECT_FALSE(LibraryMapped());
        // Nothing after the initialisation: no "XV", and the device is closed again.
        EXPECT_FALSE(Contains(Writes(), "XV\r"));
        EXPECT_EQ(Count(CallLog(), "FT_Close"), 1);
    }
}

TEST_F(StartLinkSim, ConnectionFailingClosesTheDeviceAndUnloadsTheLibrary) {
    LoadScenario(R"({"xvConnected": false})");
    CAxoDll link(true);
    EXPECT_FALSE(StartLink(&link));
    EXPECT_EQ(LinkLibrary.module, nullptr);
    EXPECT_FALSE(LibraryMapped());
    EXPECT_EQ(Writes().back(), "XV\r");
    EXPECT_EQ(CallLog().back(), "FT_Close -> 0");
}

// Started on the driver's first bridge, a reopen opens that bridge by its serial number,
// never the driver's first: with another master's bridge listed first it reopens the one
// started on, and with that one gone it opens nothing else.
TEST_F(StartLinkSim, ReopenKeepsTheBridgeOpenedAtStartUp) {
    CAxoDll link(true);
    ASSERT_TRUE(StartLink(&link));
    EXPECT_EQ(link.openedSerial, "KM000001");
    const char* other =
        R"("otherBridges": [{"serial": "KM000002", "description": "KESTRAVION MASTER"}])";
    const struct {
        std::string scenario;
        bool reopened;
        const char* open;
    } cases[] = {
        {std::string("{") + other + R"(, "masterIndex": 1})", true, "FT_OpenEx 1 -> 0"},
        {std::string("{") + other + R"(, "openStatus": 2})", false, "FT_OpenEx 1 -> 2"},
    };
    for (const auto& c : cases) {
        LoadScenario(c.scenario.c_str());
        EXPECT_EQ(ReopenLink(&link), c.reopened) << c.scenario;
        EXPECT_TRUE(Contains(CallLog(), c.open)) << c.scenario;
        EXPECT_EQ(Count(CallLog(), "FT_Open "), 0) << c.scenario;
        EXPECT_EQ(Writes().empty(), !c.reopened) << c.scenario;
    }
}

TEST_F(StartLinkSim, StartingAgainHoldsTheLibraryOnce) {
    CAxoDll link(true);
    ASSERT_TRUE(StartLink(&link));
    ASSERT_TRUE(StartLink(&link));
    FreeLinkLibrary();
    EXPECT_FALSE(LibraryMapped());
}

TEST_F(StartLinkSim, NullLinkIsAFailedStart) {
    EXPECT_FALSE(StartLink(nullptr));
    EXPECT_TRUE(Writes().empty());
}

} // namespace
