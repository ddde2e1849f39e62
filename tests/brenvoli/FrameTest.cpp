// The framed exchange: frame bytes, byte-by-byte reading, lengths, limits and failures.
#include "LibraryFixture.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

constexpr char kUnwritten = '~';

// A reply buffer whose bytes past the reply show whether the library wrote there.
struct Reply {
    Reply() { std::memset(bytes, kUnwritten, sizeof bytes); }
    std::string Text(size_t length) const { return std::string(bytes, length); }
    char bytes[300];
};

TEST_F(Library, FrameCarriesHeaderPayloadAndCarriageReturn) {
    Open();
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 0);
    EXPECT_EQ(Writes(), Strings{"MX090A$03\r\r"});
    EXPECT_EQ(reply.Text(11), std::string("#03:K0000\r") + kUnwritten);
    EXPECT_EQ(Violations(), Strings{});

    SimClearLogs();
    Reply shortReply;
    EXPECT_EQ(KestravionExtSR(5, 3, "ABCDE", shortReply.bytes), 0);
    EXPECT_EQ(Writes(), Strings{"MX0A04ABCDE\r"});
    EXPECT_NE(shortReply.bytes[3], kUnwritten);
    EXPECT_EQ(shortReply.bytes[4], kUnwritten);
}

TEST_F(Library, ReplyIsReadOneByteAfterEachQueuePoll) {
    Open();
    Reply reply;
    ASSERT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 0);
    // The reply is on its way when the first poll comes, queued whole at the second.
    Strings expected = {"FT_Write 11 -> 0 11", "FT_GetQueueStatus -> 0 0"};
    for (int waiting = 10; waiting > 0; --waiting) {
        expected.push_back("FT_GetQueueStatus -> 0 " + std::to_string(waiting));
        expected.push_back("FT_Read 1 -> 0 1");
    }
    EXPECT_EQ(CallLog(), expected);
    EXPECT_EQ(ElapsedUs(), kPollUs);
}

TEST_F(Library, LongestFrameAndReply) {
    Open();
    std::string payload(250, 'A');
    Reply reply;
    EXPECT_EQ(KestravionExtSR(250, 254, payload.c_str(), reply.bytes), 0);
    EXPECT_EQ(Writes(), Strings{"MXFFFF" + payload + "\r"});
    EXPECT_EQ(Count("FT_Read 1 -> 0 1"), 255);
    EXPECT_EQ(reply.bytes[254], '\r');
    EXPECT_EQ(reply.bytes[255], kUnwritten);
}

TEST_F(Library, ShortestFrame) {
    Open(R"({"faults": [{"command": "MX", "action": "reply", "text": "ok"}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(1, 1, "?", reply.bytes), 0);
    EXPECT_EQ(Writes(), Strings{"MX0602?\r"});
    EXPECT_EQ(reply.Text(3), std::string("ok") + kUnwritten);
}

TEST_F(Library, LengthsOutOfRangeAreRefusedWithoutTouchingTheDevice) {
    Open();
    const int lengths[][2] = {{0, 1},  {251, 1}, {1, 0},       {1, 255},
                              {-1, 1}, {1, -1},  {INT_MIN, 1}, {1, INT_MAX}};
    std::string payload(300, 'A');
    Reply reply;
    for (const auto& pair : lengths)
        EXPECT_EQ(KestravionExtSR(pair[0], pair[1], payload.c_str(), reply.bytes), 81)
            << pair[0] << " " << pair[1];
    EXPECT_EQ(KestravionExtSR(1, 1, nullptr, reply.bytes), 81);
    EXPECT_EQ(KestravionExtSR(1, 1, "x", nullptr), 81);
    EXPECT_EQ(CallLog(), Strings{});
    EXPECT_EQ(reply.bytes[0], kUnwritten);
}

TEST_F(Library, CarriageReturnInsideAFramedReplyDoesNotEndIt) {
    Open(R"({"faults": [{"command": "$03", "action": "reply", "text": "AB\rCD\rEF\r\r"}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 0);
    EXPECT_EQ(reply.Text(11), std::string("AB\rCD\rEF\r\r") + kUnwritten);
}

TEST_F(Library, SilenceEndsTheExchangeAfter6001EmptyPolls) {
    Open(R"({"faults": [{"command": "$03", "action": "silent"}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 99);
    EXPECT_EQ(Count("FT_GetQueueStatus -> 0 0"), 6001);
    EXPECT_EQ(Count("FT_Read"), 0);
    EXPECT_EQ(ElapsedUs(), 6001 * kPollUs);
}

TEST_F(Library, PollLimitIsExactly6000Polls) {
    Open(R"({"replyLatencyMs": 0,
             "faults": [{"command": "$03", "action": "delay", "delayMs": 60000, "times": 1},
                        {"command": "$03", "action": "delay", "delayMs": 60010}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 0);
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 99);
}

TEST_F(Library, ShortReplyKeepsTheBytesStored) {
    Open(R"({"faults": [{"command": "$03", "action": "short", "bytes": 4}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 99);
    EXPECT_EQ(reply.Text(5), std::string("#03:") + kUnwritten);
}

TEST_F(Library, TricklingReplyNeverTimesOut) {
    Open(R"({"faults": [{"command": "$03", "action": "trickle", "gapMs": 59000, "times": 1},
                        {"command": "$03", "action": "trickle", "gapMs": 60500}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 0);
    EXPECT_EQ(reply.Text(10), "#03:K0000\r");
    EXPECT_GT(ElapsedUs(), 9 * 59000000LL);

    // A gap longer than the limit ends it after the first byte.
    Reply second;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", second.bytes), 99);
    EXPECT_EQ(second.Text(2), std::string("#") + kUnwritten);
}

TEST_F(Library, DriverStatusEndsTheExchangeAtOnce) {
    Open(R"({"driverErrors": [{"function": "FT_GetQueueStatus", "call": 1, "times": 1}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 4);
    EXPECT_EQ(ElapsedUs(), 0);
    EXPECT_EQ(Count("FT_Read"), 0);

    Open(R"({"driverErrors": [{"function": "FT_Read", "call": 3, "status": 7, "times": 1}]})");
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 7);
    EXPECT_EQ(reply.Text(3), std::string("#0") + kUnwritten);

    // The library stays usable; the rest of the failed reply is dropped first.
    const timespec pause{0, 100000000};
    nanosleep(&pause, nullptr);
    Reply next;
    EXPECT_EQ(KestravionExtSR(4, 9, "$04\r", next.bytes), 0);
    EXPECT_EQ(next.Text(10), "#04:K0000\r");
}

// After a failed exchange the next one first drops what still arrives late, until the
// bridge has stayed quiet for 3 s, then runs as usual.
TEST_F(Library, LateBytesAreNotTakenAsTheNextReply) {
    Open(R"({"faults": [{"command": "$03", "action": "delay", "delayMs": 62000, "times": 1}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 99);

    SimClearLogs();
    Reply next;
    EXPECT_EQ(KestravionExtSR(4, 9, "$04\r", next.bytes), 0);
    EXPECT_EQ(next.Text(10), "#04:K0000\r");
    EXPECT_EQ(Count("FT_Write"), 1);
    EXPECT_EQ(IndexOf("FT_Write"), IndexOf("FT_Purge 1 -> 0") + 1);
    EXPECT_EQ(Count("FT_Read 1 -> 0 1"), 10 + 10) << "the late reply, then this one";

    // Once an exchange succeeded, the following ones purge nothing.
    SimClearLogs();
    EXPECT_EQ(KestravionExtSR(4, 9, "$04\r", next.bytes), 0);
    EXPECT_EQ(Count("FT_Purge"), 0);
}

TEST_F(Library, FailingPurgeAfterAFailureSendsNothingAndIsRetried) {
    Open(R"({"faults": [{"command": "$03", "action": "silent", "times": 1}],
             "driverErrors": [{"function": "FT_Purge", "call": 2, "times": 1}]})");
    Reply reply;
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 99);
    SimClearLogs();
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 4);
    EXPECT_EQ(CallLog().back(), "FT_Purge 1 -> 4");
    EXPECT_EQ(Count("FT_Write"), 0);
    SimClearLogs();
    EXPECT_EQ(KestravionExtSR(4, 9, "$03\r", reply.bytes), 0);
    EXPECT_EQ(IndexOf("FT_Write"), IndexOf("FT_Purge 1 -> 0") + 1);
}

} // namespace
