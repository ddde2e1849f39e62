// Values read out of replies and the registered-ID entries, without any link.
#include "program/btdevice/Btdevice.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

class ProtocolTest : public ::testing::Test {
protected:
    CBtDevice device;
};

TEST_F(ProtocolTest, HexValueTakesEveryCharacterAndWrapsAt32Bits) {
    const struct {
        std::string text;
        int32_t value;
    } cases[] = {
        {"00A1", 161},
        {"0001", 1},
        {"", 0},
        {"01F4", 500},
        // No character is rejected: each adds its code minus 55.
        {"a", 42},
        {"ff", 47 * 16 + 47},
        {" ", 32 - 55},
        {"1 ", 16 - 23},
        {"\xff", 255 - 55},
        {"7FFFFFFF", INT32_MAX},
        {"80000000", INT32_MIN},
        {"FFFFFFFF", -1},
        {"100000000", 0},
        {"123456789", 0x23456789},
        {std::string(40, 'z'), 0x77777773},
        {std::string(9, '\xff'), 0x55555548},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(device.HexValue(c.text), c.value) << ::testing::PrintToString(c.text);
    }
}

TEST_F(ProtocolTest, ReplyValueReadsCharacters6To9) {
    EXPECT_EQ(device.ReplyValue("#03:K0001\r"), 1);
    EXPECT_EQ(device.ReplyValue("?????01F4\r"), 500);
    EXPECT_EQ(device.ReplyValue("#04:K01F4FFFF\r"), 500);
    EXPECT_EQ(device.ReplyValue("#03:K12"), 0x12);
    EXPECT_EQ(device.ReplyValue("#03:K"), 0);
    EXPECT_EQ(device.ReplyValue("#03"), 0);
    EXPECT_EQ(device.ReplyValue(""), 0);
}

TEST_F(ProtocolTest, RegisteredIdsAreStoredAsTheyStand) {
    for (int i = 0; i < CBtDevice::IdCount; ++i) {
        EXPECT_EQ(device.GetRegisteredId(i), "") << "entry " << i;
    }
    device.SetRegisteredId(0, "0012ab34cd56");
    device.SetRegisteredId(13, "short");
    device.SetRegisteredId(14, "x");
    EXPECT_EQ(device.GetRegisteredId(0), "0012ab34cd56");
    EXPECT_EQ(device.GetRegisteredId(13), "short");
    EXPECT_EQ(device.GetRegisteredId(14), "x");
    EXPECT_EQ(device.GetRegisteredId(15), "");
}

TEST_F(ProtocolTest, IndexesOutsideTheTableAreIgnored) {
    device.SetRegisteredId(-1, "AAAAAAAAAAAA");
    device.SetRegisteredId(16, "AAAAAAAAAAAA");
    device.SetRegisteredId(INT_MAX, "AAAAAAAAAAAA");
    EXPECT_EQ(device.GetRegisteredId(-1), "");
    EXPECT_EQ(device.GetRegisteredId(16), "");
    EXPECT_EQ(device.GetRegisteredId(INT_MIN), "");
    for (int i = 0; i < CBtDevice::IdCount; ++i) {
        EXPECT_EQ(device.GetRegisteredId(i), "") << "entry " << i;
    }
}

// The window copies every entry back before a write; only a new text lifts the guard that
// keeps a failed read from being written.
TEST_F(ProtocolTest, OnlyANewTextLiftsTheWriteGuard) {
    device.registeredIds[2] = "0012AB34";
    device.readIncomplete[2] = true;
    device.SetRegisteredId(2, "0012AB34");
    EXPECT_TRUE(device.readIncomplete[2]);
    device.SetRegisteredId(2, "000000000000");
    EXPECT_FALSE(device.readIncomplete[2]);
    device.SetRegisteredId(2, "0012AB34");
    EXPECT_FALSE(device.readIncomplete[2]);
}

} // namespace
