// The tokenizer and the parse of a gathered search result, without any link.
#include "ParseChecks.h"
#include "SlavePrinting.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Records = std::vector<SLAVE>;

class ParseTest : public ::testing::Test {
protected:
    void SetUp() override { device.FillCharClass(); }

    // Parses `text` and checks the state every parse must leave.
    Records Parse(const std::string& text) {
        ParseText(device, text);
        EXPECT_EQ(ParseLeftUnsoundState(device, text), "");
        return device.found;
    }

    // Every token of `text`, up to and including the first two end tokens.
    std::vector<std::pair<int32_t, std::string>> Tokens(const std::string& text) {
        device.receiveBuffer = text;
        device.readPosition = 0;
        std::vector<std::pair<int32_t, std::string>> tokens;
        int ends = 0;
        while (ends < 2 && tokens.size() < 100) {
            TOKEN token = device.NextToken();
            ends += token.kind == tkEnd ? 1 : 0;
            tokens.emplace_back(token.kind, token.text);
        }
        return tokens;
    }

    CBtDevice device;
};

TEST_F(ParseTest, CharacterClassesSetOnlyCommaCrAndLfApart) {
    for (int code = 0; code < 260; ++code) {
        const int expected = code == ','    ? ccComma
                             : code == '\r' ? ccCR
                             : code == '\n' ? ccLF
                                            : ccText;
        EXPECT_EQ(device.charClass[code], expected) << "code " << code;
    }
}

TEST_F(ParseTest, TokensOfEveryKind) {
    using T = std::pair<int32_t, std::string>;
    EXPECT_EQ(Tokens("\r\nAB,CD,,E\rF\nG"), (std::vector<T>{{tkLineEnd, "\r\n"},
                                                            {tkText, "AB"},
                                                            {tkText, "CD"},
                                                            {tkOther, ""},
                                                            {tkText, "E"},
                                                            {tkCR, "\r"},
                                                            {tkText, "F"},
                                                            {tkOther, ""},
                                                            {tkText, "G"},
                                                            {tkEnd, ""},
                                                            {tkEnd, ""}}));
}

TEST_F(ParseTest, SpacesTabsAndHighBytesAreFieldCharacters) {
    using T = std::pair<int32_t, std::string>;
    EXPECT_EQ(Tokens(" a\tb\x80\xff\xe9,"),
              (std::vector<T>{{tkText, " a\tb\x80\xff\xe9"}, {tkEnd, ""}, {tkEnd, ""}}));
}

TEST_F(ParseTest, CarriageReturnBeforeTheEndIsALoneCr) {
    using T = std::pair<int32_t, std::string>;
    EXPECT_EQ(Tokens("\r"), (std::vector<T>{{tkCR, "\r"}, {tkEnd, ""}, {tkEnd, ""}}));
    EXPECT_EQ(Tokens("\r\r\n"),
              (std::vector<T>{{tkCR, "\r"}, {tkLineEnd, "\r\n"}, {tkEnd, ""}, {tkEnd, ""}}));
}

TEST_F(ParseTest, NextCharReturnsCodesFrom0To255ThenTheEnd) {
    device.receiveBuffer = "\xff"
                           "A";
    device.readPosition = 0;
    EXPECT_EQ(device.NextChar(), 255);
    EXPECT_EQ(device.NextChar(), 'A');
    EXPECT_EQ(device.NextChar(), -1);
    EXPECT_EQ(device.NextChar(), -1);
    EXPECT_EQ(device.readPosition, 2);
}

TEST_F(ParseTest, EmptyResultGivesNoRecords) {
    EXPECT_EQ(Parse(""), Records{});
}

TEST_F(ParseTest, OneSlaveAndTheClosingOk) {
    EXPECT_EQ(Parse("\r\n0012AB34CD56,ZOMRA-7,class 1\r\n\r\nOK\r\n"),
              (Records{{"0012AB34CD56", "ZOMRA-7", "class 1"}, {"OK", "", ""}}));
}

TEST_F(ParseTest, TwoSlavesInTheirOrder) {
    EXPECT_EQ(Parse("\r\nA1,ZOMRA1,d1\r\n\r\nB2,Other,d2\r\n\r\nOK\r\n"),
              (Records{{"A1", "ZOMRA1", "d1"}, {"B2", "Other", "d2"}, {"OK", "", ""}}));
}

TEST_F(ParseTest, TwoCommasInARowGiveAnEmptyField) {
    EXPECT_EQ(Parse("\r\nID,,D\r\n"), (Records{{"ID", "", "D"}}));
    EXPECT_EQ(Parse("\r\n,N,D\r\n"), (Records{{"", "N", "D"}}));
    EXPECT_EQ(Parse("\r\n,,\r\n"), (Records{{"", "", ""}}));
}

TEST_F(ParseTest, FourFieldsAreDroppedAndTheNextRecordKept) {
    EXPECT_EQ(Parse("\r\nA,B,C,D\r\n\r\nE,F,G\r\n\r\nOK\r\n"),
              (Records{{"E", "F", "G"}, {"OK", "", ""}}));
    EXPECT_EQ(Parse("\r\nA,B,C,D,E,F\r\n\r\nG,H,I\r\n"), (Records{{"G", "H", "I"}}));
}

TEST_F(ParseTest, FieldsRunningIntoTheEndAreNotKept) {
    EXPECT_EQ(Parse("\r\nA,B,C"), Records{});
    EXPECT_EQ(Parse("\r\nA,B,C\r"), Records{});
    EXPECT_EQ(Parse("\r\nA1,N,D\r\n\r\nB2,N"), (Records{{"A1", "N", "D"}}));
    EXPECT_EQ(Parse("\r\n"), Records{});
    EXPECT_EQ(Parse("\r\nOK"), Records{});
}

TEST_F(ParseTest, OkWithFieldsIsNotTheClosingRecord) {
    EXPECT_EQ(Parse("\r\nOK,x,y\r\n\r\nA,B,C\r\n"), (Records{{"A", "B", "C"}}));
}

TEST_F(ParseTest, LoneCrInsideARecordSpoilsOnlyThatRecord) {
    EXPECT_EQ(Parse("\r\nA,B\rX,C\r\n\r\nD,E,F\r\n"), (Records{{"D", "E", "F"}}));
}

TEST_F(ParseTest, HighBytesInANameAreKept) {
    EXPECT_EQ(Parse("\r\nID,ZOMRA\xe9\xff\x80,\x90\r\n\r\nOK\r\n"),
              (Records{{"ID", "ZOMRA\xe9\xff\x80", "\x90"}, {"OK", "", ""}}));
}

TEST_F(ParseTest, ParsingTwiceGivesTheSameRecords) {
    const std::string text = "\r\nA,B,C\r\n\r\nOK\r\n";
    const Records first = Parse(text);
    EXPECT_EQ(Parse(text), first);
    EXPECT_EQ(first.size(), 2u);
}

// Beyond the framed records: the parse resynchronises on the framing and keeps what
// follows a disturbance.
TEST_F(ParseTest, TextWithoutItsOpeningLineEnd) {
    EXPECT_EQ(Parse("A,B,C\r\n\r\nD,E,F\r\n\r\nOK\r\n"),
              (Records{{"A", "B", "C"}, {"D", "E", "F"}, {"OK", "", ""}}));
}

TEST_F(ParseTest, RecordEndingInACommaKeepsTheRecordsAfterIt) {
    EXPECT_EQ(Parse("\r\nA,B,\r\n\r\nD,E,F\r\n\r\nOK\r\n"),
              (Records{{"A", "B", ""}, {"D", "E", "F"}, {"OK", "", ""}}));
}

TEST_F(ParseTest, ShortLinesGiveEmptyMissingFields) {
    EXPECT_EQ(Parse("\r\nA,B\r\n\r\nX\r\n\r\nD,E,F\r\n"),
              (Records{{"A", "B", ""}, {"X", "", ""}, {"D", "E", "F"}}));
}

TEST_F(ParseTest, BlankLinesBetweenRecordsArePassedOver) {
    EXPECT_EQ(Parse("\r\n\r\n\r\nA,B,C\r\n\r\n\r\n\r\nD,E,F\r\n"),
              (Records{{"A", "B", "C"}, {"D", "E", "F"}}));
}

TEST_F(ParseTest, MissingLineEndBetweenRecords) {
    EXPECT_EQ(Parse("\r\nA,B,C\r\nD,E,F\r\n\r\nOK\r\n"),
              (Records{{"A", "B", "C"}, {"D", "E", "F"}, {"OK", "", ""}}));
}

TEST_F(ParseTest, StrayCarriageReturnsBetweenRecords) {
    EXPECT_EQ(Parse("\r\r\nA,B,C\r\n\r\r\nD,E,F\r\n"), (Records{{"A", "B", "C"}, {"D", "E", "F"}}));
}

TEST_F(ParseTest, GarbageLineBeforeTheRecords) {
    const Records records = Parse("noise\r\n\r\nA,B,C\r\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records.back(), (SLAVE{"A", "B", "C"}));
}

TEST_F(ParseTest, OnlySeparatorsEndWithoutRecordsOfSubstance) {
    for (const std::string text : {",,,,", "\n\n\n", "\r\r\r", ",\r,\n,\r\n", "\r\n\r\n\r\n"}) {
        SCOPED_TRACE(::testing::PrintToString(text));
        for (const SLAVE& slave : Parse(text)) {
            EXPECT_EQ(slave, (SLAVE{"", "", ""}));
        }
    }
}

} // namespace
