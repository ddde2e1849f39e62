// Single module commands on the wire: what the command table lets through, in which frame,
// and what it refuses without sending anything.
#include "DeviceFixture.h"

namespace {

using CommandWire = DeviceFixture;

TEST_F(CommandWire, SetCommandGoesOutWithReplyLength4) {
    Start();
    const std::string reply = device->SendCommand("$02H1");
    EXPECT_EQ(Writes(), std::vector<std::string>{"MX0B05$02H1\r\r"});
    EXPECT_EQ(reply, "#02:K");
    EXPECT_TRUE(Violations().empty());
}

TEST_F(CommandWire, QueryGoesOutWithReplyLength9AndItsReplyComesBackWhole) {
    Start();
    const std::string reply = device->SendCommand("$03");
    EXPECT_EQ(Writes(), std::vector<std::string>{"MX090A$03\r\r"});
    EXPECT_EQ(reply, "#03:K0000\r");
    EXPECT_EQ(device->ReplyValue(reply), 0);
}

TEST_F(CommandWire, EveryRowOfTheTableIsSentWithItsReplyLength) {
    Start();
    for (const char* command : {"$00H0", "$04", "$A0H1", "$CEH1", "$CDH1", "$A0H0"}) {
        device->SendCommand(command);
    }
    EXPECT_EQ(Writes(), (std::vector<std::string>{Frame("$00H0\r", 4), Frame("$04\r", 9),
                                                  Frame("$A0H1\r", 4), Frame("$CEH1\r", 4),
                                                  Frame("$CDH1\r", 4), Frame("$A0H0\r", 4)}));
    EXPECT_TRUE(Violations().empty());
}

TEST_F(CommandWire, CommandsOutsideTheTableAreNotSent) {
    Start();
    for (const char* command :
         {"$05H64", "$05", "$A1", "$CC", "$01H1", "$0", "", "$", "LS", "MG", " $03", "$a0H1"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(device->SendCommand(command), "");
    }
    EXPECT_TRUE(Writes().empty());
}

TEST_F(CommandWire, OnlyThePrefixDecides) {
    Start();
    device->SendCommand("$03XYZ");
    EXPECT_EQ(Writes(), std::vector<std::string>{Frame("$03XYZ\r", 9)});
}

} // namespace
