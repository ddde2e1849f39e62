// The D2XX surface of the simulated bridge: statuses, the call log, reply timing and the
// driver errors a scenario injects.
#include "SimHost.h"

#include <cstring>
#include <vector>

namespace {

using D2xxTest = SimHostTest;

TEST_F(D2xxTest, EveryCallIsLoggedWithItsArgumentsAndResults) {
    LoadScenario("{}");
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    EXPECT_EQ(FT_Purge(handle, 3), FT_OK);
    EXPECT_EQ(FT_SetTimeouts(handle, 60000, 1000), FT_OK);
    EXPECT_EQ(FT_SetUSBParameters(handle, 63360, 0), FT_OK);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_OK);
    EXPECT_EQ(FT_ResetDevice(handle), FT_OK);
    Write("MG\r");
    SleepMs(10);
    DWORD waiting = 0;
    ASSERT_EQ(FT_GetQueueStatus(handle, &waiting), FT_OK);
    char byte = 0;
    DWORD got = 0;
    ASSERT_EQ(FT_Read(handle, &byte, 1, &got), FT_OK);
    EXPECT_EQ(FT_Close(handle), FT_OK);
    EXPECT_EQ(CallLog(), (std::vector<std::string>{
                             "FT_Open 0 -> 0", "FT_Purge 3 -> 0", "FT_SetTimeouts 60000 1000 -> 0",
                             "FT_SetUSBParameters 63360 0 -> 0", "FT_SetLatencyTimer 2 -> 0",
                             "FT_ResetDevice -> 0", "FT_Write 3 -> 0 3", "FT_GetQueueStatus -> 0 3",
                             "FT_Read 1 -> 0 1", "FT_Close -> 0"}));
    EXPECT_EQ(Writes(), std::vector<std::string>{"MG\r"});
}

TEST_F(D2xxTest, OnlyDeviceZeroOpensAndOnlyOnce) {
    LoadScenario("{}");
    FT_HANDLE other = nullptr;
    EXPECT_EQ(FT_Open(1, &other), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(FT_Open(0, nullptr), FT_INVALID_PARAMETER);
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    EXPECT_EQ(FT_Open(0, &other), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(FT_Close(handle), FT_OK);
    EXPECT_EQ(FT_Close(handle), FT_INVALID_HANDLE);
    ASSERT_EQ(FT_Open(0, &other), FT_OK);
    EXPECT_EQ(other, handle);
}

TEST_F(D2xxTest, OpenFailsWithTheScenarioStatus) {
    LoadScenario(R"({"openStatus": 2})");
    EXPECT_EQ(FT_Open(0, &handle), FT_DEVICE_NOT_FOUND);
    LoadScenario(R"({"openStatus": 3})");
    EXPECT_EQ(FT_Open(0, &handle), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(CallLog(), std::vector<std::string>{"FT_Open 0 -> 3"});
}

TEST_F(D2xxTest, CallsWithoutAnOpenHandleOrWithNullPointersAreRefused) {
    LoadScenario("{}");
    char byte = 0;
    DWORD count = 7;
    EXPECT_EQ(FT_Write(&byte, &byte, 1, &count), FT_INVALID_HANDLE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FT_Read(nullptr, &byte, 1, &count), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_GetQueueStatus(nullptr, &count), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_Purge(nullptr, 3), FT_INVALID_HANDLE);
    Open();
    EXPECT_EQ(FT_Write(handle, nullptr, 4, &count), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_Write(handle, &byte, 1, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_Read(handle, nullptr, 1, &count), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_GetQueueStatus(handle, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 1), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_SetUSBParameters(handle, 100, 0), FT_INVALID_PARAMETER);
    EXPECT_EQ(FT_SetUSBParameters(handle, 64, 63), FT_INVALID_PARAMETER);
    EXPECT_EQ(SimWriteCount(), 0);
}

TEST_F(D2xxTest, DeviceIsListedAndOpensBySerialNumberOrDescription) {
    LoadScenario("{}");
    DWORD count = 0;
    ASSERT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);
    char name[64] = {};
    ASSERT_EQ(FT_ListDevices(nullptr, name, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_STREQ(name, "KESTRAVION MASTER");
    EXPECT_EQ(FT_ListDevices(nullptr, nullptr, 0), FT_INVALID_PARAMETER);
    char wrong[] = "KM000002";
    EXPECT_EQ(FT_OpenEx(wrong, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
    char serial[] = "KM000001";
    EXPECT_EQ(FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
}

TEST_F(D2xxTest, ReplyBytesAreInvisibleUntilTheirTimeHasCome) {
    Start(R"({"replyLatencyMs": 5, "byteGapMs": 1})");
    Write("OR\r");
    DWORD waiting = 9;
    ASSERT_EQ(FT_GetQueueStatus(handle, &waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    SimAdvanceUs(5000);
    ASSERT_EQ(FT_GetQueueStatus(handle, &waiting), FT_OK);
    EXPECT_EQ(waiting, 1u);
    SimAdvanceUs(1000);
    ASSERT_EQ(FT_GetQueueStatus(handle, &waiting), FT_OK);
    EXPECT_EQ(waiting, 2u);

    Start(R"({"replyLatencyMs": 0})");
    Write("MV\r");
    ASSERT_EQ(FT_GetQueueStatus(handle, &waiting), FT_OK);
    EXPECT_EQ(waiting, 2u);
}

TEST_F(D2xxTest, ReadWaitsForMissingBytesUpToTheReadTimeout) {
    Start(R"({"byteGapMs": 100})");
    Write("OR\r");
    long long before = SimNowUs();
    char buffer[4] = {};
    DWORD got = 0;
    ASSERT_EQ(FT_Read(handle, buffer, 4, &got), FT_OK);
    EXPECT_EQ(std::string(buffer, got), "Y\r");
    EXPECT_EQ(SimNowUs() - before, 60000000);

    // Before any FT_SetTimeouts a read does not wait.
    LoadScenario("{}");
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    before = SimNowUs();
    ASSERT_EQ(FT_Read(handle, buffer, 1, &got), FT_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(SimNowUs(), before);
}

TEST_F(D2xxTest, RealTimeRepliesArriveAsTheRealClockRuns) {
    Start(R"({"byteGapMs": 5})");
    SimUseVirtualTime(0);
    EXPECT_EQ(Line("OR"), "Y\r");
    Write("MV\r");
    char buffer[2] = {};
    DWORD got = 0;
    ASSERT_EQ(FT_Read(handle, buffer, 2, &got), FT_OK);
    EXPECT_EQ(std::string(buffer, got), "Y\r");
}

TEST_F(D2xxTest, PurgeDropsArrivedBytesButNotThoseStillOnTheirWay) {
    Start(R"({"faults": [{"command": "MW", "action": "delay", "delayMs": 500}]})");
    Write("OR\r");
    Write("MW\r");
    SleepMs(10);
    ASSERT_EQ(FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    EXPECT_EQ(SimPendingBytes(), 2);
    EXPECT_EQ(Receive(2), "Y\r");
}

TEST_F(D2xxTest, LateReplySitsInTheQueueForTheNextExchange) {
    Start(R"({"faults": [{"command": "MG", "action": "delay", "delayMs": 70000}]})");
    EXPECT_EQ(Line("MG"), "");
    SleepMs(61000);
    EXPECT_EQ(Line("OR"), "Y1\r");
    EXPECT_EQ(Receive(2), "Y\r");
}

TEST_F(D2xxTest, TrickledReplyArrivesByteByByteWithItsGaps) {
    Start(R"({"faults": [{"command": "XV", "action": "trickle", "gapMs": 9000}]})");
    const long long before = SimNowUs();
    EXPECT_EQ(Line("XV"), "Y1\r");
    EXPECT_GE(SimNowUs() - before, 18000000);
}

TEST_F(D2xxTest, PurgeFailsTheScenarioNumberOfTimes) {
    LoadScenario(R"({"purgeFailures": 2, "purgeStatus": 5})");
    Open();
    EXPECT_EQ(FT_Purge(handle, 3), 5u);
    EXPECT_EQ(FT_Purge(handle, 3), 5u);
    EXPECT_EQ(FT_Purge(handle, 3), FT_OK);
}

TEST_F(D2xxTest, DriverErrorsFromTheNthCallOrAfterACommand) {
    Start(R"({"driverErrors": [{"function": "FT_GetQueueStatus", "call": 2, "times": 1},
                               {"function": "FT_Read", "afterCommand": "MV"},
                               {"function": "FT_Write", "call": 3, "status": 5}]})");
    DWORD count = 0;
    EXPECT_EQ(FT_GetQueueStatus(handle, &count), FT_OK);
    EXPECT_EQ(FT_GetQueueStatus(handle, &count), FT_IO_ERROR);
    EXPECT_EQ(Line("MW"), "Y\r");
    Write("MV\r");
    SleepMs(10);
    char byte = 0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(FT_Read(handle, &byte, 1, &count), FT_IO_ERROR);
        EXPECT_EQ(count, 0u);
    }
    EXPECT_EQ(SimPendingBytes(), 2);
    EXPECT_EQ(FT_Write(handle, &byte, 1, &count), 5u);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(SimWriteCount(), 2);
}

TEST_F(D2xxTest, PulledCableFailsEveryCallUntilTheNextLoad) {
    Start(R"({"faults": [{"command": "$A4", "action": "unplug"}]})");
    EXPECT_EQ(Module("$A0H1", 4), "#A0:K");
    // The write that carries the command fails with it; nothing of it is answered.
    const std::string frame = Frame("$A4H1234\r", 4);
    DWORD count = 7;
    EXPECT_EQ(
        FT_Write(handle, const_cast<char*>(frame.data()), static_cast<DWORD>(frame.size()), &count),
        FT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    SleepMs(600000);
    char byte = 0;
    EXPECT_EQ(FT_Write(handle, &byte, 1, &count), FT_IO_ERROR);
    EXPECT_EQ(FT_GetQueueStatus(handle, &count), FT_IO_ERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FT_Read(handle, &byte, 1, &count), FT_IO_ERROR);
    EXPECT_EQ(FT_Purge(handle, 3), FT_IO_ERROR);
    EXPECT_EQ(FT_SetTimeouts(handle, 60000, 1000), FT_IO_ERROR);
    EXPECT_EQ(FT_SetUSBParameters(handle, 63360, 0), FT_IO_ERROR);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_IO_ERROR);
    EXPECT_EQ(FT_ResetDevice(handle), FT_IO_ERROR);
    EXPECT_EQ(FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
    // The handle of a pulled bridge is gone; the bridge is not there to open again.
    EXPECT_EQ(FT_Close(handle), FT_IO_ERROR);
    EXPECT_EQ(FT_Close(handle), FT_INVALID_HANDLE);
    EXPECT_EQ(FT_Open(0, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(Writes(), (std::vector<std::string>{Frame("$A0H1\r", 4), frame}));
    EXPECT_EQ(SimPendingBytes(), 0);
    LoadScenario("{}");
    Open();
    EXPECT_EQ(Line("OR"), "Y\r");
}

TEST_F(D2xxTest, WireLogEscapesEveryByteThatIsNotPrintable) {
    Start();
    Write(std::string("\x01Z\\\n\xff\0\r", 7));
    EXPECT_EQ(WireLog(), (std::vector<std::string>{"> \\x01Z\\\\\\n\\xFF\\x00\\r", "< N2\\r"}));
}

TEST_F(D2xxTest, WireLogFileGetsWritesRepliesAndViolations) {
    const std::string path = ScratchPath("wirelog_test.txt");
    std::remove(path.c_str());
    SimSetWireLogFile(path.c_str());
    Start();
    Line("OR");
    Write("XX\r");
    SimSetWireLogFile(nullptr);
    std::FILE* file = std::fopen(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char text[256] = {};
    const size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    EXPECT_EQ(std::string(text, length),
              "> OR\\r\n< Y\\r\n> XX\\r\n! unknown line command \"XX\"\n< N2\\r\n");
    std::remove(path.c_str());
}

} // namespace
