// The Bluetooth module behind the frames: the search, its result text, the ID registers
// and their commit to the state file.
#include "SimHost.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

using SearchTest = SimHostTest;
using RegisterTest = SimHostTest;

const char twoSlaves[] = R"({"slaves": [
    {"id": "00A0C9112233", "name": "ZOMRA-7", "detail": "rssi -60"},
    {"id": "00A0C9445566", "name": "phone"}]})";

const char twoSlavesText[] = "\r\n00A0C9112233,ZOMRA-7,rssi -60\r\n\r\n00A0C9445566,phone,\r\n"
                             "\r\nOK\r\n";

TEST_F(SearchTest, StatusBitZeroStaysSetForTheSearchDuration) {
    Start(R"({"search": {"durationMs": 3000}})");
    EXPECT_EQ(Module("$00H0", 4), "#00:K");
    const long long start = SimNowUs();
    EXPECT_EQ(Module("$02H1", 4), "#02:K");
    EXPECT_EQ(Digits(Module("$04", 9)), "0000");
    int polls = 0;
    while (Digits(Module("$03", 9)) == "0001") {
        ++polls;
    }
    const long long elapsed = SimNowUs() - start;
    EXPECT_GE(elapsed, 3000000);
    EXPECT_LT(elapsed, 3100000);
    EXPECT_GT(polls, 10);
    EXPECT_EQ(SimViolations(), std::string());
}

TEST_F(SearchTest, OtherStatusBitsAreReportedBesideBitZero) {
    Start(R"({"search": {"durationMs": 100, "statusBits": 256}})");
    Module("$02H1", 4);
    EXPECT_EQ(Digits(Module("$03", 9)), "0101");
    SleepMs(100);
    EXPECT_EQ(Digits(Module("$03", 9)), "0100");
}

TEST_F(SearchTest, ResultTextIsFramedRecordByRecordAndDrainsAsItIsRead) {
    Start(twoSlaves);
    Module("$02H1", 4);
    SleepMs(200);
    const std::string text = twoSlavesText;
    char count[8];
    std::snprintf(count, sizeof count, "%04X", static_cast<unsigned>(text.size()));
    EXPECT_EQ(Digits(Module("$04", 9)), count);
    EXPECT_EQ(Module("$05H10", 21), "#05:K" + text.substr(0, 16) + "\r");
    std::snprintf(count, sizeof count, "%04X", static_cast<unsigned>(text.size() - 16));
    EXPECT_EQ(Digits(Module("$04", 9)), count);
    std::string rest;
    while (Digits(Module("$04", 9)) != "0000") {
        rest += Module("$05H07", 12).substr(5, 7);
    }
    EXPECT_EQ(text.substr(16), rest.substr(0, text.size() - 16));
}

TEST_F(SearchTest, NoSlavesGivesOnlyTheOkRecord) {
    Start();
    Module("$02H1", 4);
    SleepMs(200);
    EXPECT_EQ(Digits(Module("$04", 9)), "0006");
    EXPECT_EQ(Module("$05H06", 11), "#05:K\r\nOK\r\n\r");
}

TEST_F(SearchTest, ResultTextFromTheScenarioIsHandedOutAsGiven) {
    Start(R"({"search": {"durationMs": 0, "resultText": "garbage,,\n\r"}})");
    Module("$02H1", 4);
    EXPECT_EQ(Digits(Module("$04", 9)), "000B");
    EXPECT_EQ(Module("$05H0B", 16), "#05:Kgarbage,,\n\r\r");
}

TEST_F(SearchTest, ReadingMoreThanIsWaitingPadsWithSpaces) {
    Start();
    Module("$02H1", 4);
    SleepMs(200);
    EXPECT_EQ(Module("$05H08", 13), "#05:K\r\nOK\r\n  \r");
    EXPECT_EQ(Violations(), std::vector<std::string>{"read of 8 result characters, 6 waiting: "
                                                     "\"$05H08\\r\""});
}

TEST_F(SearchTest, StatusThatNeverClears) {
    Start(R"({"search": {"durationMs": 10, "statusNeverClears": true}})");
    Module("$02H1", 4);
    SleepMs(100000);
    EXPECT_EQ(Digits(Module("$03", 9)), "0001");
}

TEST_F(SearchTest, CountThatNeverDrainsHandsTheTextOutAgain) {
    Start(R"({"search": {"durationMs": 0, "countNeverDrains": true}})");
    Module("$02H1", 4);
    EXPECT_EQ(Module("$05H04", 9), "#05:K\r\nOK\r");
    EXPECT_EQ(Module("$05H04", 9), "#05:K\r\n\r\n\r");
    EXPECT_EQ(Digits(Module("$04", 9)), "0006");
    EXPECT_EQ(SimViolations(), std::string());
}

TEST_F(SearchTest, IdleStopsASearchAndANewSearchDropsTheOldResult) {
    Start(R"({"search": {"durationMs": 1000}})");
    Module("$02H1", 4);
    Module("$00H0", 4);
    EXPECT_EQ(Digits(Module("$03", 9)), "0000");
    EXPECT_EQ(Digits(Module("$04", 9)), "0000");
    Module("$02H1", 4);
    SleepMs(1000);
    EXPECT_EQ(Digits(Module("$04", 9)), "0006");
    Module("$02H1", 4);
    EXPECT_EQ(Digits(Module("$04", 9)), "0000");
    Module("$02H0", 4);
    EXPECT_EQ(Digits(Module("$03", 9)), "0000");
}

TEST_F(SearchTest, MalformedModuleCommandsGetAnErrorReply) {
    const char* const commands[] = {"$02H2", "$03H1",   "$05H1", "$05H00", "$05H100",
                                    "$0",    "$ZZ",     "003",   "$00h0",  "$00H",
                                    "$99",   "$00H0\r", "$A0",   "$05",    nullptr};
    for (const char* const* command = commands; *command != nullptr; ++command) {
        SCOPED_TRACE(*command);
        Start();
        const std::string reply = Module(*command, 9);
        ASSERT_EQ(reply.size(), 10u);
        EXPECT_EQ(reply.substr(3), ":E????\r");
        EXPECT_EQ(Violations().size(), 1u);
    }
}

TEST_F(RegisterTest, RegisterCommandsOutsideTheAccessWindowAreErrors) {
    Start(R"({"committedIds": {"1": "0123456789AB"}})");
    EXPECT_EQ(Module("$A1", 9), "#A1:E????\r");
    EXPECT_EQ(Module("$A1H1111", 4), "#A1:E");
    EXPECT_EQ(Module("$CEH1", 4), "#CE:E");
    EXPECT_EQ(Module("$CDH1", 4), "#CD:E");
    Module("$A0H1", 4);
    Module("$A0H0", 4);
    EXPECT_EQ(Module("$A1", 9), "#A1:E????\r");
    Module("$A0H1", 4);
    Module("$00H0", 4);
    EXPECT_EQ(Module("$A1", 9), "#A1:E????\r");
    EXPECT_EQ(Violations().size(), 6u);
    EXPECT_STREQ(SimCommittedId(1), "0123456789AB");
}

TEST_F(RegisterTest, QueriesReturnTheCommittedTableInThreeGroups) {
    Start(R"({"committedIds": {"1": "0123456789AB", "14": "FEDCBA987654"}})");
    Module("$00H0", 4);
    Module("$A0H1", 4);
    Module("$CEH1", 4);
    EXPECT_EQ(Module("$A1", 9), "#A1:K0123\r");
    EXPECT_EQ(Digits(Module("$A2", 9)), "4567");
    EXPECT_EQ(Digits(Module("$A3", 9)), "89AB");
    EXPECT_EQ(Digits(Module("$CA", 9)), "FEDC");
    EXPECT_EQ(Digits(Module("$CB", 9)), "BA98");
    EXPECT_EQ(Digits(Module("$CC", 9)), "7654");
    EXPECT_EQ(Digits(Module("$AF", 9)), "0000");
    EXPECT_EQ(SimViolations(), std::string());
}

TEST_F(RegisterTest, AllFortyTwoRegistersMapToPositionsAndCommit) {
    Start();
    Module("$00H0", 4);
    Module("$A0H1", 4);
    const char* const banks = "ABC";
    int n = 0;
    for (int bank = 0; bank < 3; ++bank) {
        for (int low = 1; low <= (bank == 2 ? 12 : 15); ++low, ++n) {
            char command[16];
            std::snprintf(command, sizeof command, "$%c%XH%04X", banks[bank], low, n + 1);
            EXPECT_EQ(Module(command, 4),
                      std::string("#") + banks[bank] + "0123456789ABCDEF"[low] + ":K");
        }
    }
    EXPECT_EQ(n, 42);
    EXPECT_STREQ(SimCommittedId(1), "000000000000");
    Module("$CDH1", 4);
    Module("$A0H0", 4);
    for (int p = 1; p <= 14; ++p) {
        char id[16];
        std::snprintf(id, sizeof id, "%04X%04X%04X", 3 * p - 2, 3 * p - 1, 3 * p);
        EXPECT_STREQ(SimCommittedId(p), id) << p;
    }
    EXPECT_STREQ(SimCommittedId(0), "");
    EXPECT_STREQ(SimCommittedId(15), "");
    EXPECT_EQ(SimViolations(), std::string());
}

TEST_F(RegisterTest, NumbersThatAreNoRegistersAreUnknown) {
    for (const char* command : {"$B0", "$C0", "$CD", "$CF", "$D1", "$A0H2", "$CEH0"}) {
        SCOPED_TRACE(command);
        Start();
        Module("$A0H1", 4);
        EXPECT_EQ(Module(command, 9).substr(3, 2), ":E");
        EXPECT_EQ(Violations().size(), 1u);
    }
}

TEST_F(RegisterTest, MalformedSetsChangeNothing) {
    Start(R"({"committedIds": {"2": "111122223333"}})");
    Module("$A0H1", 4);
    for (const char* command : {"$A4Habcd", "$A4H12", "$A4H12345", "$A4H", "$A4X1234"}) {
        EXPECT_EQ(Module(command, 4), "#A4:E") << command;
    }
    EXPECT_EQ(Digits(Module("$A4", 9)), "1111");
    EXPECT_EQ(Violations().size(), 5u);
}

TEST_F(RegisterTest, UncommittedSetsAreLostOnReloadOfTheWorkingRegisters) {
    Start(R"({"committedIds": {"3": "AAAABBBBCCCC"}})");
    Module("$A0H1", 4);
    Module("$A7H1234", 4);
    EXPECT_EQ(Digits(Module("$A7", 9)), "1234");
    EXPECT_STREQ(SimCommittedId(3), "AAAABBBBCCCC");
    Module("$CEH1", 4);
    EXPECT_EQ(Digits(Module("$A7", 9)), "AAAA");
}

class StateFileTest : public SimHostTest {
protected:
    std::string path = ScratchPath("state_test.txt");

    void SetUp() override {
        SimHostTest::SetUp();
        std::remove(path.c_str());
        SimSetStateFile(path.c_str());
    }

    void TearDown() override {
        std::remove(path.c_str());
        SimHostTest::TearDown();
    }

    std::string FileText() const {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    void WriteFile(const std::string& text) const {
        std::ofstream file(path, std::ios::binary);
        file << text;
    }

    static std::string Table(const std::string& first) {
        std::string text;
        for (int p = 1; p <= 14; ++p) {
            char line[32];
            std::snprintf(line, sizeof line, "%02X=%s\n", p,
                          p == 1 ? first.c_str() : "000000000000");
            text += line;
        }
        return text;
    }
};

TEST_F(StateFileTest, CommitWritesTheWholeTable) {
    Start();
    EXPECT_EQ(FileText(), "");
    Module("$A0H1", 4);
    Module("$A1H00A0", 4);
    Module("$A2HC911", 4);
    Module("$A3H2233", 4);
    EXPECT_EQ(FileText(), "");
    Module("$CDH1", 4);
    EXPECT_EQ(FileText(), Table("00A0C9112233"));
}

TEST_F(StateFileTest, EveryCommitReplacesTheFile) {
    Start();
    Module("$A0H1", 4);
    Module("$A1H00A0", 4);
    Module("$CDH1", 4);
    Module("$A1H1234", 4);
    Module("$CDH1", 4);
    EXPECT_EQ(FileText(), Table("123400000000"));
    EXPECT_TRUE(Violations().empty());
}

TEST_F(StateFileTest, LinesEndingInCrLfAreRead) {
    std::string text = Table("ABCDEF012345");
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
        text.insert(at, "\r");
    }
    WriteFile(text);
    Start();
    EXPECT_STREQ(SimCommittedId(1), "ABCDEF012345");
    EXPECT_TRUE(Violations().empty());
}

TEST_F(StateFileTest, StateFileOverridesTheScenarioTableAtLoad) {
    WriteFile(Table("ABCDEF012345"));
    Start(R"({"committedIds": {"1": "111111111111", "2": "222222222222"}})");
    EXPECT_STREQ(SimCommittedId(1), "ABCDEF012345");
    EXPECT_STREQ(SimCommittedId(2), "000000000000");
    Module("$A0H1", 4);
    EXPECT_EQ(Digits(Module("$A2", 9)), "EF01");
}

TEST_F(StateFileTest, UnreadableStateFileIsIgnoredAndRecorded) {
    const std::string broken[] = {
        "01=ABCDEF012345\n",
        Table("abcdef012345"),
        Table("ABCDEF012345") + "01=ABCDEF012345\n",
        Table("ABCDEF01234"),
        "\n" + Table("ABCDEF012345"),
    };
    for (const std::string& text : broken) {
        SCOPED_TRACE(text);
        WriteFile(text);
        LoadScenario(R"({"committedIds": {"1": "111111111111"}})");
        EXPECT_STREQ(SimCommittedId(1), "111111111111");
        EXPECT_EQ(Violations().size(), 1u);
    }
}

TEST_F(StateFileTest, StateFileThatCannotBeWrittenIsRecorded) {
    SimSetStateFile((::testing::TempDir() + "no/such/folder/state.txt").c_str());
    Start();
    Module("$A0H1", 4);
    Module("$CDH1", 4);
    ASSERT_EQ(Violations().size(), 1u);
    EXPECT_NE(Violations()[0].find("cannot be written"), std::string::npos);
}

} // namespace
