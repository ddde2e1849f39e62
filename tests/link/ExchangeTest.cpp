// SendRecv against the simulated master through the real interface library, threaded and
// direct: the frame on the wire, the reply as the master sent it, timeouts and the
// longest reply.
#include "LinkFixture.h"

namespace {

class ExchangeSim : public LinkFixture, public ::testing::WithParamInterface<bool> {
protected:
    // Starts the link in the mode of the test parameter and clears the start-up's logs.
    void Start(const std::string& scenario = "{}") {
        LoadScenario(scenario);
        Configure("usbcomm", GetParam() ? "thread" : "sync");
        bool started = false;
        StartTraced(link, started);
        ASSERT_TRUE(started);
        ASSERT_EQ(link.threaded, GetParam());
        SimClearLogs();
    }

    CAxoDll link{true};
};

INSTANTIATE_TEST_SUITE_P(Link, ExchangeSim, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Threaded" : "Direct";
                         });

TEST_P(ExchangeSim, StatusQueryGoesOutFramedAndItsReplyComesBackExactly) {
    Start();
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "#03:K0000\r");
    std::vector<std::string> writes = Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], "MX090A$03\r\r");
    EXPECT_TRUE(Violations().empty());
}

TEST_P(ExchangeSim, BackToBackExchangesNeverMixTheirReplies) {
    Start();
    ASSERT_EQ(link.SendRecv(6, 4, "$A0H1\r"), "#A0:K");
    const char* registers[] = {"$A1", "$A2", "$A3", "$A4", "$A5", "$A6"};
    for (int i = 0; i < 6; i++) {
        char value[5];
        std::snprintf(value, sizeof value, "%04X", 0x1000 * (i + 1) + i);
        std::string set = std::string(registers[i]) + "H" + value + "\r";
        ASSERT_EQ(link.SendRecv(static_cast<int32_t>(set.size()), 4, set),
                  std::string("#") + (registers[i] + 1) + ":K");
    }
    EXPECT_EQ(Writes()[1], "MX0E05$A1H1000\r\r");
    for (int round = 0; round < 50; round++) {
        for (int i = 0; i < 6; i++) {
            char expected[16];
            std::snprintf(expected, sizeof expected, "#%s:K%04X\r", registers[i] + 1,
                          0x1000 * (i + 1) + i);
            std::string query = std::string(registers[i]) + "\r";
            ASSERT_EQ(link.SendRecv(4, 9, query), expected) << "round " << round;
        }
    }
    EXPECT_TRUE(Violations().empty());
}

TEST_P(ExchangeSim, SilentMasterGivesAnEmptyReplyAfterTheWait) {
    Start(R"({"faults": [{"command": "$03", "action": "silent", "times": 1}]})");
    const long long before = SimNowUs();
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "");
    // The library waits about 60 s of silence before giving up.
    EXPECT_GE(SimNowUs() - before, 60000000LL);
    // The previous exchange's reply is not carried into the next one.
    EXPECT_EQ(link.SendRecv(4, 9, "$04\r"), "#04:K0000\r");
}

TEST_P(ExchangeSim, ReplyCutShortKeepsWhatArrived) {
    Start(R"({"faults": [{"command": "$03", "action": "short", "bytes": 6, "times": 1}]})");
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "#03:K0");
}

TEST_P(ExchangeSim, LongestReplyComesBackWhole) {
    // 255 bytes with a carriage return inside: a framed reply is read to its full length.
    std::string text;
    for (int i = 0; i < 255; i++)
        text += static_cast<char>('!' + i % 90);
    text[100] = '\r';
    std::string escaped;
    for (char c : text)
        escaped += c == '\r'               ? std::string("\\r")
                   : c == '"' || c == '\\' ? std::string("\\") + c
                                           : std::string(1, c);
    Start(R"({"faults": [{"command": "$05", "action": "reply", "text": ")" + escaped + R"("}]})");
    std::string reply = link.SendRecv(7, 254, "$05HF9\r");
    EXPECT_EQ(reply.size(), 255u);
    EXPECT_EQ(reply, text);
    ASSERT_EQ(Writes().size(), 1u);
    EXPECT_EQ(Writes()[0].substr(0, 6), "MX0CFF");
}

TEST_P(ExchangeSim, LengthsTheLibraryRefusesSendNothing) {
    Start();
    ASSERT_EQ(link.SendRecv(4, 9, "$03\r"), "#03:K0000\r");
    EXPECT_EQ(link.SendRecv(0, 9, ""), "");
    EXPECT_EQ(link.SendRecv(4, 0, "$03\r"), "");
    EXPECT_EQ(link.SendRecv(-1, 9, "$03\r"), "");
    EXPECT_EQ(link.SendRecv(4, -5, "$03\r"), "");
    EXPECT_EQ(link.SendRecv(4, 255, "$03\r"), "");
    EXPECT_EQ(Writes().size(), 1u);
    EXPECT_EQ(link.SendRecv(4, 9, "$04\r"), "#04:K0000\r");
}

TEST_P(ExchangeSim, DriverErrorEndsTheExchangeEmpty) {
    Start(R"({"driverErrors": [{"function": "FT_Read", "afterCommand": "$03", "times": 1}]})");
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "");
    EXPECT_FALSE(link.busy);
}

} // namespace
