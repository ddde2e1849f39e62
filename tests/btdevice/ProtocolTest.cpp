// Values read out of replies, the command tables and the registered-ID entries, without
// any link.
#include "program/btdevice/Btdevice.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

class ProtocolTest : public ::testing::Test {
protected:
    CBtDevice device;
};

TEST_F(ProtocolTest, HexValueOfDigitsAndLetters) {
    EXPECT_EQ(device.HexValue("00A1"), 161);
    EXPECT_EQ(device.HexValue("0001"), 1);
    EXPECT_EQ(device.HexValue(""), 0);
    EXPECT_EQ(device.HexValue("01F4"), 500);
    EXPECT_EQ(device.HexValue("0101"), 257);
}

TEST_F(ProtocolTest, HexValueRejectsNoCharacter) {
    EXPECT_EQ(device.HexValue("a"), 42);
    EXPECT_EQ(device.HexValue("ff"), 47 * 16 + 47);
    EXPECT_EQ(device.HexValue(" "), 32 - 55);
    EXPECT_EQ(device.HexValue("?"), 63 - 55);
    EXPECT_EQ(device.HexValue("\xff"), 255 - 55);
    EXPECT_EQ(device.HexValue("1 "), 16 - 23);
}

TEST_F(ProtocolTest, HexValueWrapsAt32Bits) {
    EXPECT_EQ(device.HexValue("7FFFFFFF"), INT32_MAX);
    EXPECT_EQ(device.HexValue("80000000"), INT32_MIN);
    EXPECT_EQ(device.HexValue("FFFFFFFF"), -1);
    EXPECT_EQ(device.HexValue("100000000"), 0);
    EXPECT_EQ(device.HexValue("123456789"), 0x23456789);
    EXPECT_EQ(device.HexValue(std::string(40, 'F')), -1);
    EXPECT_EQ(device.HexValue(std::string(40, 'z')), 0x77777773);
    EXPECT_EQ(device.HexValue(std::string(9, '\xff')), 0x55555548);
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

TEST_F(ProtocolTest, CommandTableRowsInSearchOrder) {
    const CommandRow expected[] = {{"$00", 4}, {"$02", 4}, {"$03", 9}, {"$04", 9}, {"$05", 0},
                                   {"$A0", 4}, {"$CE", 4}, {"$CD", 4}, {"", -1}};
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
        EXPECT_STREQ(CommandTable[i].prefix, expected[i].prefix) << "row " << i;
        EXPECT_EQ(CommandTable[i].replyLength, expected[i].replyLength) << "row " << i;
    }
}

TEST_F(ProtocolTest, IdRegisterTableHoldsFourteenPositionsOfThreeRegisters) {
    std::string registers;
    int rows = 0;
    for (const IdRegisterRow* row = IdRegisterTable; row->replyLength >= 0; ++row, ++rows) {
        EXPECT_EQ(row->replyLength, 9);
        for (const char* reg : row->registers) {
            registers += reg;
        }
    }
    EXPECT_EQ(rows, 14);
    EXPECT_EQ(registers, "$A1$A2$A3$A4$A5$A6$A7$A8$A9$AA$AB$AC$AD$AE$AF"
                         "$B1$B2$B3$B4$B5$B6$B7$B8$B9$BA$BB$BC$BD$BE$BF"
                         "$C1$C2$C3$C4$C5$C6$C7$C8$C9$CA$CB$CC");
    const IdRegisterRow& end = IdRegisterTable[14];
    EXPECT_EQ(end.replyLength, -1);
    for (const char* reg : end.registers) {
        EXPECT_STREQ(reg, "");
    }
}

TEST_F(ProtocolTest, RegisteredIdsStartEmpty) {
    for (int i = 0; i < CBtDevice::IdCount; ++i) {
        EXPECT_EQ(device.GetRegisteredId(i), "") << "entry " << i;
        EXPECT_FALSE(device.readIncomplete[i]) << "entry " << i;
    }
}

TEST_F(ProtocolTest, SetRegisteredIdStoresTheTextAsItStands) {
    device.SetRegisteredId(0, "0012ab34cd56");
    device.SetRegisteredId(13, "short");
    device.SetRegisteredId(15, "");
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

TEST_F(ProtocolTest, PauseIsOffAfterConstructionWithoutConfiguration) {
    EXPECT_EQ(device.waitOn, 0);
    EXPECT_EQ(device.waitTime, 0);
    EXPECT_NE(device.link, nullptr);
}

} // namespace
