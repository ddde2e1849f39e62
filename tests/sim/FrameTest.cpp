// The master's receiver: line commands, "MX" frames checked byte for byte, replies of exactly
// the length asked, and the command faults of a scenario.
#include "SimHost.h"

#include <vector>

namespace {

using LineTest = SimHostTest;
using FrameTest = SimHostTest;

TEST_F(LineTest, InitialisationCommandsAreAcknowledgedAndLsIsNot) {
    Start();
    Write("LS\r");
    SleepMs(1000);
    EXPECT_EQ(SimPendingBytes(), 0);
    EXPECT_EQ(Line("MG"), "Y1\r");
    EXPECT_EQ(Line("MW"), "Y\r");
    EXPECT_EQ(Line("MV"), "Y\r");
    EXPECT_EQ(Line("MO000000000"), "Y\r");
    EXPECT_EQ(Line("OT000000"), "Y\r");
    EXPECT_EQ(Line("OR"), "Y\r");
    EXPECT_EQ(Line("XV"), "Y1\r");
    EXPECT_EQ(SimViolations(), std::string());
}

TEST_F(LineTest, WrongArgumentAndUnknownCommandsAreRefusedAsViolations) {
    Start();
    EXPECT_EQ(Line("MO00000000"), "N1\r");
    EXPECT_EQ(Line("OR1"), "N1\r");
    EXPECT_EQ(Line("ZZ"), "N2\r");
    EXPECT_EQ(Line(""), "N2\r");
    EXPECT_EQ(Violations().size(), 4u);
}

TEST_F(LineTest, MgStateAndXvConnectionComeFromTheScenario) {
    Start(R"({"mgState": 6, "xvConnected": false})");
    EXPECT_EQ(Line("MG"), "Y6\r");
    EXPECT_EQ(Line("XV"), "Y0\r");
    Start(R"({"mgState": "X"})");
    EXPECT_EQ(Line("MG"), "YX\r");
}

TEST_F(LineTest, RefusalRepeatsTheGivenTimesThenTheCommandIsAcknowledged) {
    Start(R"({"faults": [{"command": "MV", "action": "refuse", "times": 4, "reason": "3"},
                         {"command": "OR", "action": "refuse", "reason": "Q", "letter": "E"}]})");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Line("MV"), "N3\r");
    }
    EXPECT_EQ(Line("MV"), "Y\r");
    EXPECT_EQ(Line("OR"), "EQ\r");
}

TEST_F(LineTest, SkipLetsTheFirstMatchesPass) {
    Start(R"({"faults": [{"command": "MV", "action": "silent", "skip": 1, "times": 1}]})");
    EXPECT_EQ(Line("MV"), "Y\r");
    EXPECT_EQ(Line("MV"), "");
    EXPECT_EQ(Line("MV"), "Y\r");
}

TEST_F(LineTest, SilentCommandGetsNoReplyAndTheHostWaitsItsLimit) {
    Start(R"({"faults": [{"command": "MG", "action": "silent"}]})");
    const long long before = SimNowUs();
    EXPECT_EQ(Line("MG"), "");
    EXPECT_GE(SimNowUs() - before, 10000000);
    EXPECT_EQ(Line("MG"), "");
    EXPECT_EQ(Line("MV"), "Y\r");
}

TEST_F(LineTest, ReplyTextReplacesTheReplyAndShortCutsIt) {
    Start(R"({"faults": [{"command": "MG", "action": "reply", "text": "Y1234567890123\r"},
                         {"command": "XV", "action": "short", "bytes": 1}]})");
    EXPECT_EQ(Line("MG"), "Y1234567890123\r");
    EXPECT_EQ(Line("XV"), "Y");
}

TEST_F(LineTest, DeadMasterAnswersNothingMore) {
    Start(R"({"faults": [{"command": "MV", "action": "dead"}]})");
    EXPECT_EQ(Line("MW"), "Y\r");
    EXPECT_EQ(Line("MV"), "");
    EXPECT_EQ(Line("MW"), "");
    EXPECT_EQ(Module("$03", 9), "");
}

TEST_F(LineTest, DeadMasterForAWhileComesBackAndAnswersAgain) {
    Start(R"({"faults": [{"command": "MV", "action": "dead", "forMs": 1000}]})");
    Write("MV\r");
    SleepMs(990);
    Write("MW\r");
    SleepMs(10);
    EXPECT_EQ(Line("MW"), "Y\r");
    EXPECT_EQ(SimPendingBytes(), 0);
}

TEST_F(FrameTest, PulledCableForAWhileLeavesTheModuleAsItWas) {
    Start(R"({"committedIds": {"1": "0123456789AB"},
              "faults": [{"command": "$A4", "action": "unplug", "forMs": 5000, "times": 1}]})");
    EXPECT_EQ(Module("$A0H1", 4), "#A0:K");
    EXPECT_EQ(Module("$A1H1111", 4), "#A1:K");
    const std::string frame = Frame("$A4H2222\r", 4);
    DWORD count = 0;
    EXPECT_EQ(
        FT_Write(handle, const_cast<char*>(frame.data()), static_cast<DWORD>(frame.size()), &count),
        FT_IO_ERROR);
    SleepMs(4990);
    const std::string commit = Frame("$CDH1\r", 4);
    EXPECT_EQ(FT_Write(handle, const_cast<char*>(commit.data()), static_cast<DWORD>(commit.size()),
                       &count),
              FT_IO_ERROR);
    EXPECT_EQ(FT_GetQueueStatus(handle, &count), FT_IO_ERROR);
    SleepMs(10);
    // Plugged in again it is a new device: the old handle stays dead until it is closed and
    // the bridge opened anew.
    EXPECT_EQ(FT_GetQueueStatus(handle, &count), FT_IO_ERROR);
    EXPECT_EQ(FT_Close(handle), FT_IO_ERROR);
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    // Back: access still open, the set before the pull kept, the pulled set not carried out.
    EXPECT_EQ(Module("$A4", 9), "#A4:K0000\r");
    EXPECT_EQ(Module("$A4H2222", 4), "#A4:K");
    EXPECT_STREQ(SimCommittedId(1), "0123456789AB");
    EXPECT_EQ(Module("$CDH1", 4), "#CD:K");
    EXPECT_STREQ(SimCommittedId(1), "1111456789AB");
    EXPECT_STREQ(SimCommittedId(2), "222200000000");
    EXPECT_EQ(SimViolations(), std::string());
}

TEST_F(FrameTest, FrameIsAnsweredWithExactlyTheAskedLength) {
    Start();
    EXPECT_EQ(Module("$00H0", 4), "#00:K");
    EXPECT_EQ(Module("$03", 9), "#03:K0000\r");
    EXPECT_EQ(Writes()[0], "MX0B05$00H0\r\r");
    EXPECT_EQ(Writes()[1], "MX090A$03\r\r");
    EXPECT_EQ(SimViolations(), std::string());
}

TEST_F(FrameTest, WrongReplyLengthIsFittedAndRecorded) {
    Start();
    EXPECT_EQ(Module("$03", 12), "#03:K0000   \r");
    EXPECT_EQ(Module("$03", 7), "#03:K00\r");
    EXPECT_EQ(Module("$03", 3), "#03:");
    EXPECT_EQ(Module("$00H0", 9), "#00:K    \r");
    EXPECT_EQ(Violations(),
              (std::vector<std::string>{"frame asks 13 reply bytes for $03, which answers 10",
                                        "frame asks 8 reply bytes for $03, which answers 10",
                                        "frame asks 4 reply bytes for $03, which answers 10",
                                        "frame asks 10 reply bytes for $00, which answers 5"}));
}

TEST_F(FrameTest, LongestFrameIsTaken) {
    Start();
    Write(Frame("$03" + std::string(246, 'A') + "\r", 254));
    const std::string reply = Receive(255);
    ASSERT_EQ(reply.size(), 255u);
    EXPECT_EQ(reply.substr(0, 5), "#03:E");
    EXPECT_EQ(Writes()[0].substr(0, 6), "MXFFFF");
}

struct BadFrame {
    const char* bytes;
    const char* violation;
};

TEST_F(FrameTest, MalformedFramesAreNotAnswered) {
    const BadFrame frames[] = {
        {"MX0905$03\r", "frame longer than the transfer"},
        {"MX0705$03\r\r", "frame without CR where its length puts it"},
        {"MX0a0A$03\r\r", "frame length fields are not upper-case hex"},
        {"MX0G0A$03\r\r", "frame length fields are not upper-case hex"},
        {"MX050A\r", "frame length fields out of range"},
        {"MX0901$03\r\r", "frame length fields out of range"},
        {"MX09", "frame header incomplete"},
        {"MX0A0A$03\r\rX", "frame without CR where its length puts it"},
        {"MG", "line command without CR dropped"},
        {nullptr, nullptr},
    };
    for (const BadFrame* frame = frames; frame->bytes != nullptr; ++frame) {
        SCOPED_TRACE(frame->bytes);
        Start();
        Write(frame->bytes);
        SleepMs(1000);
        EXPECT_EQ(SimPendingBytes(), 0);
        const std::vector<std::string> violations = Violations();
        ASSERT_EQ(violations.size(), 1u);
        EXPECT_EQ(violations[0].rfind(frame->violation, 0), 0u) << violations[0];
    }
}

TEST_F(FrameTest, BadFrameDropsTheRestOfItsTransfer) {
    Start();
    Write("MX0B05$00H0\r\rMX0705$03\r\rMX090A$03\r\r");
    EXPECT_EQ(Receive(5), "#00:K");
    SleepMs(1000);
    EXPECT_EQ(SimPendingBytes(), 0);
    EXPECT_EQ(Violations().size(), 1u);
}

TEST_F(FrameTest, TwoCommandsInOneTransferAreBothAnswered) {
    Start();
    Write("OR\rMX090A$03\r\r");
    EXPECT_EQ(Receive(12), "Y\r#03:K0000\r");
}

TEST_F(FrameTest, CarriageReturnInsideTheReplyDoesNotEndIt) {
    Start(R"({"slaves": [{"id": "1", "name": "A"}]})");
    Module("$02H1", 4);
    SleepMs(300);
    EXPECT_EQ(Module("$05H04", 9), "#05:K\r\n1,\r");
}

TEST_F(FrameTest, FaultsMatchModuleCommandsByTheirPrefix) {
    Start(R"({"faults": [{"command": "$A5", "action": "short", "bytes": 7},
                         {"command": "$A4", "action": "silent"}]})");
    Module("$A0H1", 4);
    EXPECT_EQ(Module("$A4", 9), "");
    EXPECT_EQ(Module("$A5", 9), "#A5:K00");
    EXPECT_EQ(Module("$A6", 9), "#A6:K0000\r");
}

TEST_F(FrameTest, FrameRulesCountFramesAndMxMatchesEveryFrame) {
    Start(R"({"faults": [{"command": "MX", "action": "refuse", "times": 1},
                         {"frame": 3, "action": "dead"}]})");
    EXPECT_EQ(Module("$03", 9), "#03:E????\r");
    EXPECT_EQ(Module("$04", 9), "#04:K0000\r");
    EXPECT_EQ(Module("$03", 9), "");
    EXPECT_EQ(Line("OR"), "");
}

TEST_F(FrameTest, ReplyFaultOnAFrameSendsTheTextInsteadAndLateBytesQueue) {
    Start(R"({"faults": [{"command": "$04", "action": "reply", "text": "#04:K01F4\r",
                          "delayMs": 61000}]})");
    EXPECT_EQ(Module("$04", 9), "");
    EXPECT_EQ(Module("$03", 9), "#04:K01F4\r");
}

} // namespace
