// The raw exchanges: bytes sent unchanged, line and counted replies, waits and lengths.
#include "LibraryFixture.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

TEST_F(Library, SendOnlyWritesTheBytesUnchangedAndReadsNothing) {
    Open();
    EXPECT_EQ(AxoUsbSendOnly("LS\r", 3), 0);
    EXPECT_EQ(AxoUsbSendOnly("", 0), 0);
    EXPECT_EQ(AxoUsbSendOnly(nullptr, 0), 0);
    EXPECT_EQ(CallLog(), (Strings{"FT_Write 3 -> 0 3", "FT_Write 0 -> 0 0", "FT_Write 0 -> 0 0"}));
    EXPECT_EQ(Writes().front(), "LS\r");
}

TEST_F(Library, SendOnlyReturns0EvenWhenTheWriteFails) {
    Open(R"({"driverErrors": [{"function": "FT_Write", "call": 1}]})");
    EXPECT_EQ(AxoUsbSendOnly("LS\r", 3), 0);
}

// After a failed exchange the next one first purges the receive queue. When that purge
// fails, a send-only exchange still sends and returns 0; a receiving one sends nothing
// and returns the purge status, and the purge is tried again each time.
TEST_F(Library, SendOnlySendsEvenWhenThePurgeAfterAFailureFails) {
    Open(R"({"faults": [{"command": "MV", "action": "silent"}],
             "driverErrors": [{"function": "FT_Purge", "call": 2, "status": 4}]})");
    char reply[8] = {};
    EXPECT_EQ(AxoUsbSendCmd_Adv("MV\r", 3, reply, 0), 99);
    Restart();
    EXPECT_EQ(AxoUsbSendOnly("LS\r", 3), 0);
    EXPECT_EQ(AxoUsbSendCmd_Bin("MW\r", 3, reply, 2), 4);
    EXPECT_EQ(Writes(), Strings{"LS\r"});
    EXPECT_EQ(Count("FT_Purge"), 2);
}

TEST_F(Library, RawLengthsBeyondTheSendBufferAreRefused) {
    Open();
    std::string data(1100, 'A');
    char reply[8] = {};
    EXPECT_EQ(AxoUsbSendOnly(data.c_str(), 101), 81);
    EXPECT_EQ(AxoUsbSendOnly(data.c_str(), -1), 81);
    EXPECT_EQ(AxoUsbSendOnly(nullptr, 3), 81);
    EXPECT_EQ(AxoUsbSendCmd_Adv(data.c_str(), 1026, reply, 1), 81);
    EXPECT_EQ(AxoUsbSendCmd_Adv(data.c_str(), -5, reply, 1), 81);
    EXPECT_EQ(AxoUsbSendCmd_Adv("MV\r", 3, nullptr, 1), 81);
    EXPECT_EQ(AxoUsbSendCmd_Bin(data.c_str(), 1026, reply, 1), 81);
    EXPECT_EQ(AxoUsbSendCmd_Bin(data.c_str(), -5, reply, 1), 81);
    EXPECT_EQ(AxoUsbSendCmd_Bin("MV\r", 3, nullptr, 1), 81);
    EXPECT_EQ(CallLog(), Strings{});

    // The largest lengths that fit go out whole.
    EXPECT_EQ(AxoUsbSendOnly(data.c_str(), 100), 0);
    data[1024] = '\r';
    EXPECT_EQ(AxoUsbSendCmd_Bin(data.c_str(), 1025, reply, 3), 0);
    EXPECT_EQ(Writes(), (Strings{data.substr(0, 100), data.substr(0, 1025)}));
}

TEST_F(Library, AdvReadsThroughTheFirstCarriageReturn) {
    Open(R"({"faults": [{"command": "MV", "action": "reply", "text": "Y\rZ\r"}]})");
    char reply[8];
    std::memset(reply, '~', sizeof reply);
    EXPECT_EQ(AxoUsbSendCmd_Adv("MV\r", 3, reply, 1), 0);
    EXPECT_EQ(Writes(), Strings{"MV\r"});
    EXPECT_EQ(std::string(reply, 3), "Y\r~");
}

TEST_F(Library, AdvWaitLimitFollowsTheLowestByteOfLongWait) {
    Open(R"({"faults": [{"command": "MV", "action": "silent"}]})");
    char reply[8] = {};
    const struct {
        int longWait;
        int polls;
    } cases[] = {{0, 401}, {0x100, 401}, {1, 6001}, {0x1FF, 6001}};
    for (const auto& c : cases) {
        Restart();
        EXPECT_EQ(AxoUsbSendCmd_Adv("MV\r", 3, reply, c.longWait), 99) << c.longWait;
        EXPECT_EQ(ElapsedUs(), c.polls * kPollUs) << c.longWait;
    }
}

TEST_F(Library, AdvPausesTwoSecondsAfterAnMsCommand) {
    Open();
    char reply[8] = {};
    EXPECT_EQ(AxoUsbSendCmd_Adv("MS\r", 3, reply, 0), 0);
    // The reply is queued by the end of the pause: no poll has to wait.
    EXPECT_EQ(ElapsedUs(), 2000000);
    EXPECT_EQ(IndexOf("FT_Write"), 0);

    Restart();
    EXPECT_EQ(AxoUsbSendCmd_Adv("MW\r", 3, reply, 0), 0);
    EXPECT_EQ(ElapsedUs(), kPollUs);
}

TEST_F(Library, BinReadsCountBytesAndAtLeastOne) {
    Open();
    char reply[8] = {};
    EXPECT_EQ(AxoUsbSendCmd_Bin("MV\r", 3, reply, 2), 0);
    EXPECT_EQ(std::string(reply), "Y\r");
    EXPECT_EQ(Count("FT_Read"), 2);

    for (int count : {0, -3}) {
        Open();
        std::memset(reply, 0, sizeof reply);
        EXPECT_EQ(AxoUsbSendCmd_Bin("MV\r", 3, reply, count), 0);
        EXPECT_EQ(std::string(reply), "Y");
        EXPECT_EQ(Count("FT_Read"), 1);
    }
}

TEST_F(Library, BinWaitsUpTo6000PollsPerByte) {
    Open(R"({"faults": [{"command": "MV", "action": "silent"}]})");
    char reply[8] = {};
    EXPECT_EQ(AxoUsbSendCmd_Bin("MV\r", 3, reply, 2), 99);
    EXPECT_EQ(ElapsedUs(), 6001 * kPollUs);
}

} // namespace
