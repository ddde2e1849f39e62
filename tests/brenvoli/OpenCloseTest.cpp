// Opening and closing the device: the exact driver calls and every failure of an open.
#include "LibraryFixture.h"

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const Strings kSettings = {"FT_SetTimeouts 60000 1000 -> 0", "FT_SetUSBParameters 63360 0 -> 0",
                           "FT_SetLatencyTimer 2 -> 0"};

Strings Join(Strings head, const Strings& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Strings Repeat(const std::string& line, int times) {
    return Strings(static_cast<size_t>(times), line);
}

TEST_F(Library, OpenCallsOpenPurgeAndTheThreeSettingsInOrder) {
    EXPECT_EQ(KestravionUsbOpen(), 0);
    EXPECT_EQ(CallLog(), (Join({"FT_Open 0 -> 0", "FT_Purge 3 -> 0"}, kSettings)));
    EXPECT_EQ(Writes().size(), 0u);
}

TEST_F(Library, OpenRetriesThePurgeWithoutPause) {
    LoadScenario(R"({"purgeFailures": 4})");
    Restart();
    EXPECT_EQ(KestravionUsbOpen(), 0);
    EXPECT_EQ(CallLog(), (Join(Join({"FT_Open 0 -> 0"}, Repeat("FT_Purge 3 -> 4", 4)),
                               Join({"FT_Purge 3 -> 0"}, kSettings))));
    EXPECT_EQ(ElapsedUs(), 0);
}

TEST_F(Library, OpenGivesUpAfterFivePurgesClosesAndStaysUsable) {
    LoadScenario(R"({"purgeFailures": 5, "purgeStatus": 4})");
    EXPECT_EQ(KestravionUsbOpen(), 92);
    EXPECT_EQ(CallLog(),
              (Join(Join({"FT_Open 0 -> 0"}, Repeat("FT_Purge 3 -> 4", 5)), {"FT_Close -> 0"})));
    SimClearLogs();
    char reply[4] = {};
    EXPECT_EQ(KestravionExtSR(1, 1, "x", reply), 1);
    EXPECT_EQ(KestravionExtInit(), 91);
    EXPECT_EQ(CallLog(), (Strings{}));

    // The library went back to idle: the next open binds and opens afresh.
    EXPECT_EQ(KestravionUsbOpen(), 0);
    EXPECT_EQ(CallLog(), (Join({"FT_Open 0 -> 0", "FT_Purge 3 -> 0"}, kSettings)));
}

TEST_F(Library, OpenPassesTheDriverOpenStatusOnAndTriesAgainNextTime) {
    LoadScenario(R"({"openStatus": 2})");
    EXPECT_EQ(KestravionUsbOpen(), 2);
    EXPECT_EQ(KestravionUsbOpen(), 2);
    EXPECT_EQ(CallLog(), (Strings{"FT_Open 0 -> 2", "FT_Open 0 -> 2"}));
    SimClearLogs();
    char reply[4] = {};
    EXPECT_EQ(KestravionExtSR(1, 1, "x", reply), 1);
    EXPECT_EQ(AxoUsbSendOnly("LS\r", 3), 1);
    EXPECT_EQ(AxoUsbSendCmd_Adv("MV\r", 3, reply, 1), 1);
    EXPECT_EQ(AxoUsbSendCmd_Bin("MV\r", 3, reply, 2), 1);
    EXPECT_EQ(KestravionExtInit(), 91);
    EXPECT_EQ(KestravionExtCon(), 1);
    EXPECT_EQ(CallLog(), (Strings{}));
    EXPECT_EQ(KestravionUsbClose(), 0);
}

TEST_F(Library, SecondOpenKeepsTheDeviceAndPurgesAndSetsAgain) {
    Open();
    EXPECT_EQ(KestravionUsbOpen(), 0);
    EXPECT_EQ(CallLog(), (Join({"FT_Purge 3 -> 0"}, kSettings)));
}

TEST_F(Library, SecondOpenWhosePurgesFailClosesTheDevice) {
    Open(R"({"driverErrors": [{"function": "FT_Purge", "call": 2, "status": 5}]})");
    EXPECT_EQ(KestravionUsbOpen(), 92);
    EXPECT_EQ(CallLog(), (Join(Repeat("FT_Purge 3 -> 5", 5), {"FT_Close -> 0"})));
    char reply[4] = {};
    EXPECT_EQ(KestravionExtSR(1, 1, "x", reply), 1);
}

TEST_F(Library, FailingSettingsAreNotReported) {
    LoadScenario(R"({"driverErrors": [{"function": "FT_SetTimeouts", "call": 1},
                                       {"function": "FT_SetUSBParameters", "call": 1},
                                       {"function": "FT_SetLatencyTimer", "call": 1}]})");
    EXPECT_EQ(KestravionUsbOpen(), 0);
    EXPECT_EQ(CallLog(),
              (Strings{"FT_Open 0 -> 0", "FT_Purge 3 -> 0", "FT_SetTimeouts 60000 1000 -> 4",
                       "FT_SetUSBParameters 63360 0 -> 4", "FT_SetLatencyTimer 2 -> 4"}));
}

TEST_F(Library, CloseBeforeOpenAndTwiceDoesNothing) {
    EXPECT_EQ(KestravionUsbClose(), 0);
    EXPECT_EQ(CallLog(), (Strings{}));
    Open();
    EXPECT_EQ(KestravionUsbClose(), 0);
    EXPECT_EQ(KestravionUsbClose(), 0);
    EXPECT_EQ(CallLog(), (Strings{"FT_Close -> 0"}));
    SimClearLogs();
    char reply[4] = {};
    EXPECT_EQ(KestravionExtSR(1, 1, "x", reply), 1);
    EXPECT_EQ(KestravionExtInit(), 91);
    EXPECT_EQ(CallLog(), (Strings{}));
    // Opening after a close binds and opens afresh.
    EXPECT_EQ(KestravionUsbOpen(), 0);
    EXPECT_EQ(CallLog().front(), "FT_Open 0 -> 0");
}

TEST_F(Library, CloseIgnoresAFailingDriverClose) {
    Open(R"({"driverErrors": [{"function": "FT_Close", "call": 1}]})");
    EXPECT_EQ(KestravionUsbClose(), 0);
    EXPECT_EQ(CallLog(), (Strings{"FT_Close -> 4"}));
    EXPECT_EQ(KestravionExtInit(), 91);
}

} // namespace
