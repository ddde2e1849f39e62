// Initialisation and connection of the master unit.
#include "LibraryFixture.h"

#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

const std::string kMo = "MO000000000\r";
const std::string kOt = "OT000000\r";
constexpr long long kSecondUs = 1000000;
constexpr long long kLineWaitUs = 1001 * kPollUs;

TEST_F(Library, InitSkipsMwWhenTheMasterReportsState1) {
    Open();
    EXPECT_EQ(KestravionExtInit(), 0);
    EXPECT_EQ(Writes(), (Strings{"LS\r", "MG\r", "MV\r", kMo, kOt, "OR\r"}));
    // One second after "LS", then one poll for each of the five replies.
    EXPECT_EQ(ElapsedUs(), kSecondUs + 5 * kPollUs);
    EXPECT_EQ(Count("FT_Purge"), 0);
    EXPECT_EQ(Violations(), Strings{});
}

TEST_F(Library, InitSendsMwForAnyOtherState) {
    for (int state : {0, 2, 9}) {
        Open(R"({"mgState": )" + std::to_string(state) + "}");
        EXPECT_EQ(KestravionExtInit(), 0) << state;
        EXPECT_EQ(Writes(), (Strings{"LS\r", "MG\r", "MW\r", "MV\r", kMo, kOt, "OR\r"})) << state;
    }
}

TEST_F(Library, InitStopsWith60ForState6) {
    Open(R"({"mgState": 6})");
    EXPECT_EQ(KestravionExtInit(), 60);
    EXPECT_EQ(Writes(), (Strings{"LS\r", "MG\r"}));
}

TEST_F(Library, InitGives80ForAnMgAcknowledgementWithoutDigit) {
    Open(R"({"mgState": "X"})");
    EXPECT_EQ(KestravionExtInit(), 80);
    EXPECT_EQ(Writes(), (Strings{"LS\r", "MG\r"}));
}

TEST_F(Library, RefusalsGive70PlusTheReasonDigit) {
    const struct {
        const char* command;
        const char* reason;
        int status;
        size_t writes;
    } cases[] = {{"MG", "5", 75, 2}, {"MO", "0", 70, 4}, {"MO", "3", 73, 4},
                 {"OT", "9", 79, 5}, {"OR", "4", 74, 6}, {"OR", "A", 80, 6}};
    for (const auto& c : cases) {
        Open(std::string(R"({"faults": [{"command": ")") + c.command +
             R"(", "action": "refuse", "reason": ")" + c.reason + "\"}]}");
        EXPECT_EQ(KestravionExtInit(), c.status) << c.command << c.reason;
        EXPECT_EQ(Writes().size(), c.writes) << c.command << c.reason;
    }
    Open(R"({"mgState": 2, "faults": [{"command": "MW", "action": "refuse", "reason": "1"}]})");
    EXPECT_EQ(KestravionExtInit(), 71);
    EXPECT_EQ(Writes(), (Strings{"LS\r", "MG\r", "MW\r"}));
}

TEST_F(Library, MvIsRetriedWithHalfSecondPauses) {
    Open(R"({"faults": [{"command": "MV", "action": "refuse", "reason": "3", "times": 4}]})");
    EXPECT_EQ(KestravionExtInit(), 0);
    EXPECT_EQ(Writes(),
              (Strings{"LS\r", "MG\r", "MV\r", "MV\r", "MV\r", "MV\r", "MV\r", kMo, kOt, "OR\r"}));
    EXPECT_EQ(ElapsedUs(), kSecondUs + 9 * kPollUs + 4 * 500000);
}

TEST_F(Library, MvRefusedFiveTimesGives82) {
    Open(R"({"faults": [{"command": "MV", "action": "refuse", "letter": "N", "reason": "B"}]})");
    EXPECT_EQ(KestravionExtInit(), 82);
    EXPECT_EQ(Writes(), (Strings{"LS\r", "MG\r", "MV\r", "MV\r", "MV\r", "MV\r", "MV\r"}));
    EXPECT_EQ(ElapsedUs(), kSecondUs + 6 * kPollUs + 5 * 500000);
}

TEST_F(Library, SilentMvGives82AfterFiveWaitsAndFivePauses) {
    Open(R"({"faults": [{"command": "MV", "action": "silent"}]})");
    EXPECT_EQ(KestravionExtInit(), 82);
    EXPECT_EQ(ElapsedUs(), kSecondUs + kPollUs + 5 * (kLineWaitUs + 500000));
    EXPECT_EQ(Count("FT_Write"), 7);
    // Each attempt after a silent one first drops what may have come late.
    EXPECT_EQ(Count("FT_Purge 1 -> 0"), 4);
}

TEST_F(Library, SilenceAfterMgGives99AfterAboutTenSeconds) {
    Open(R"({"faults": [{"command": "MG", "action": "silent", "times": 1}]})");
    EXPECT_EQ(KestravionExtInit(), 99);
    EXPECT_EQ(Writes(), (Strings{"LS\r", "MG\r"}));
    EXPECT_EQ(ElapsedUs(), kSecondUs + kLineWaitUs);
    // The library stays usable.
    EXPECT_EQ(KestravionExtInit(), 0);
}

TEST_F(Library, LineWaitIsExactly1000Polls) {
    Open(R"({"replyLatencyMs": 0,
             "faults": [{"command": "MG", "action": "delay", "delayMs": 10000, "times": 1},
                        {"command": "MG", "action": "delay", "delayMs": 10010}]})");
    EXPECT_EQ(KestravionExtInit(), 0);
    EXPECT_EQ(KestravionExtInit(), 99);
}

TEST_F(Library, DriverStatusDuringInitIsReturned) {
    Open(R"({"driverErrors": [{"function": "FT_Read", "afterCommand": "OT", "status": 7}]})");
    EXPECT_EQ(KestravionExtInit(), 7);
    Open(R"({"driverErrors": [{"function": "FT_GetQueueStatus", "afterCommand": "MG"}]})");
    EXPECT_EQ(KestravionExtInit(), 4);
}

TEST_F(Library, InitNeedsAnOpenDevice) {
    EXPECT_EQ(KestravionExtInit(), 91);
    EXPECT_EQ(CallLog(), Strings{});
}

// A reply longer than a step's 10-byte buffer is never stored past it; it counts as a
// refusal without a digit, and its rest is not taken as the next reply.
TEST_F(Library, OverlongReplyGives80AndItsRestIsDropped) {
    Open(R"({"faults": [{"command": "MG", "action": "reply", "text": "Y1234567890XX\r"}]})");
    EXPECT_EQ(KestravionExtInit(), 80);
    EXPECT_EQ(Writes(), (Strings{"LS\r", "MG\r"}));
    SimClearLogs();
    EXPECT_EQ(KestravionExtCon(), 0);
    EXPECT_EQ(IndexOf("FT_Purge 1 -> 0"), 0);
}

TEST_F(Library, ReplyOfExactlyTenBytesFits) {
    Open(R"({"faults": [{"command": "MV", "action": "reply", "text": "Y12345678\r"}]})");
    EXPECT_EQ(KestravionExtInit(), 0);
}

TEST_F(Library, ConnectionNeedsA1AsSecondCharacter) {
    const struct {
        const char* scenario;
        int status;
    } cases[] = {
        {R"({})", 0},
        {R"({"xvConnected": false})", 93},
        {R"({"faults": [{"command": "XV", "action": "reply", "text": "N1\r"}]})", 0},
        {R"({"faults": [{"command": "XV", "action": "reply", "text": "Y\r"}]})", 93},
        {R"({"faults": [{"command": "XV", "action": "reply", "text": "\r"}]})", 93},
        {R"({"faults": [{"command": "XV", "action": "reply", "text": "Y1XXXXXXXXXX\r"}]})", 93},
    };
    for (const auto& c : cases) {
        Open(c.scenario);
        EXPECT_EQ(KestravionExtCon(), c.status) << c.scenario;
        EXPECT_EQ(Writes(), Strings{"XV\r"}) << c.scenario;
    }
}

TEST_F(Library, SilentConnectionGives99) {
    Open(R"({"faults": [{"command": "XV", "action": "silent"}]})");
    EXPECT_EQ(KestravionExtCon(), 99);
    EXPECT_EQ(ElapsedUs(), kLineWaitUs);
}

} // namespace
