// Reading and writing the master's table of registered IDs against the simulated master:
// the complete access sequences, the sleeps, the guard that keeps a failed read from being
// written back, and the read-back that decides whether a write is committed.
#include "DeviceFixture.h"

namespace {

const char* const Registers[42] = {"$A1", "$A2", "$A3", "$A4", "$A5", "$A6", "$A7", "$A8", "$A9",
                                   "$AA", "$AB", "$AC", "$AD", "$AE", "$AF", "$B1", "$B2", "$B3",
                                   "$B4", "$B5", "$B6", "$B7", "$B8", "$B9", "$BA", "$BB", "$BC",
                                   "$BD", "$BE", "$BF", "$C1", "$C2", "$C3", "$C4", "$C5", "$C6",
                                   "$C7", "$C8", "$C9", "$CA", "$CB", "$CC"};

// A distinct ID for every position.
std::string IdOf(int position) {
    char id[16];
    std::snprintf(id, sizeof id, "%02X00A1B2C3%02X", position, 0xF0 + position);
    return id;
}

// A committed table with IdOf() at every position.
std::string FullTableJson() {
    std::string json = "{";
    for (int position = 1; position <= 14; ++position) {
        json += (position > 1 ? ",\"" : "\"") + std::to_string(position) + "\":\"" +
                IdOf(position) + "\"";
    }
    return json + "}";
}

std::string Scenario(const std::string& faults = "[]", const std::string& extra = "") {
    return "{\"committedIds\":" + FullTableJson() + ",\"faults\":" + faults + extra + "}";
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class RegisterWire : public DeviceFixture {
protected:
    // The queries of the registers of positions `first` to `last`.
    static std::vector<std::string> Queries(int first = 1, int last = 14) {
        std::vector<std::string> frames;
        for (int n = 3 * (first - 1); n < 3 * last; ++n)
            frames.push_back(Frame(std::string(Registers[n]) + "\r", 9));
        return frames;
    }

    // The frames of a complete write of `ids` (entry p - 1 for position p) at positions
    // `first` to `last`: access opened, the stored table loaded, the sets, the read-back of
    // the working registers, the commit, the stored table loaded and read back, access
    // closed.
    static std::vector<std::string> WriteFrames(const std::vector<std::string>& ids,
                                                int first = 1, int last = 14) {
        std::vector<std::string> frames{Frame("$00H0\r", 4), Frame("$A0H1\r", 4),
                                        Frame("$CEH1\r", 4)};
        for (int n = 3 * (first - 1); n < 3 * last; ++n) {
            const std::string& id = ids[static_cast<size_t>(n / 3)];
            const size_t start = static_cast<size_t>(4 * (n % 3));
            const std::string piece = start < id.size() ? id.substr(start, 4) : "";
            frames.push_back(Frame(std::string(Registers[n]) + "H" + piece + "\r", 4));
        }
        return frames + Queries(first, last) +
               std::vector<std::string>{Frame("$CDH1\r", 4), Frame("$CEH1\r", 4)} +
               Queries(first, last) + std::vector<std::string>{Frame("$A0H0\r", 4)};
    }

    // What the window does on close: copies every entry back, then writes.
    void StoreAndWrite() {
        for (int i = 0; i < 14; ++i) {
            device->SetRegisteredId(i, device->GetRegisteredId(i));
        }
        SimClearLogs();
        EXPECT_TRUE(device->WriteRegisteredIds());
    }

    void ExpectCommittedTableIntact() {
        for (int position = 1; position <= 14; ++position) {
            EXPECT_EQ(SimCommittedId(position), IdOf(position)) << "position " << position;
        }
    }
};

TEST_F(RegisterWire, ReadIsTheCompleteAccessSequence) {
    Start(Scenario());
    EXPECT_TRUE(device->ReadRegisteredIds());
    EXPECT_TRUE(device->LeftOutPositions().empty());
    std::vector<std::string> expected{Frame("$00H0\r", 4), Frame("$A0H1\r", 4),
                                      Frame("$CEH1\r", 4)};
    for (const char* reg : Registers) {
        expected.push_back(Frame(std::string(reg) + "\r", 9));
    }
    expected.push_back(Frame("$A0H0\r", 4));
    EXPECT_EQ(Writes(), expected);
    EXPECT_EQ(expected.size(), 46u);
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(device->GetRegisteredId(i), IdOf(i + 1)) << "entry " << i;
        EXPECT_FALSE(device->readIncomplete[i]) << "entry " << i;
    }
    EXPECT_EQ(device->GetRegisteredId(14), "");
    EXPECT_EQ(device->GetRegisteredId(15), "");
    EXPECT_TRUE(Violations().empty());
}

struct SleepCase {
    const char* wait;
    const char* timeText;
    int32_t timeNumber;
    long long pauseUs;
};

class RegisterSleeps : public RegisterWire, public ::testing::WithParamInterface<SleepCase> {};

// With replies that arrive at once, a read or a write takes only its sleeps: the fixed
// 2 ms whatever the pause says (twice in a write, after each load of the stored table),
// and the pause after each register exchanged.
TEST_P(RegisterSleeps, ReadAndWriteSleepTwoMillisecondsAndPauseAfterEachRegister) {
    const SleepCase& c = GetParam();
    Configure("wait", c.wait);
    Configure("time", c.timeText, c.timeNumber);
    Start(Scenario("[]", ",\"replyLatencyMs\":0"));
    long long before = SimNowUs();
    device->ReadRegisteredIds();
    EXPECT_EQ(SimNowUs() - before, 2000 + 42 * c.pauseUs);
    before = SimNowUs();
    device->SetRegisteredId(0, "000000000000");
    device->WriteRegisteredIds();
    EXPECT_EQ(SimNowUs() - before, 4000 + 9 * c.pauseUs) << "3 sets, 3 + 3 queries";
}

INSTANTIATE_TEST_SUITE_P(Pause, RegisterSleeps,
                         ::testing::Values(SleepCase{"off", "", 25, 0},
                                           SleepCase{"on", "", 25, 25000},
                                           SleepCase{"ON", "", 7, 7000},
                                           SleepCase{"on", "25", 0, 0}));

TEST_F(RegisterWire, WriteIsTheCompleteAccessSequence) {
    Start(Scenario());
    std::vector<std::string> ids;
    for (int i = 0; i < 14; ++i) {
        ids.push_back(IdOf(14 - i));
        device->SetRegisteredId(i, ids.back());
    }
    ids[3] = "000000000000";
    device->SetRegisteredId(3, ids[3]);
    device->SetRegisteredId(14, "FFFFFFFFFFFF");
    EXPECT_TRUE(device->WriteRegisteredIds());
    EXPECT_EQ(Writes(), WriteFrames(ids));
    EXPECT_TRUE(Violations().empty());
    for (int position = 1; position <= 14; ++position) {
        EXPECT_EQ(SimCommittedId(position), ids[static_cast<size_t>(position - 1)]);
    }
    EXPECT_EQ(device->GetRegisteredId(0), ids[0]);
}

// Entries are sent as they stand; those the module cannot hold as set (lower-case digits,
// short pieces) read back otherwise, and the table is not committed.
TEST_F(RegisterWire, WriteSendsEntriesAsTheyStandAndCommitsNoneItCannotHold) {
    Start(Scenario());
    std::vector<std::string> ids;
    for (int i = 0; i < 14; ++i) {
        ids.push_back(IdOf(i + 1));
    }
    ids[0] = "0012ab34cd56";
    ids[1] = "0012AB34CD";
    ids[2] = "";
    for (int i = 0; i < 14; ++i) {
        device->SetRegisteredId(i, ids[static_cast<size_t>(i)]);
    }
    EXPECT_FALSE(device->WriteRegisteredIds());
    const std::vector<std::string> writes = Writes();
    std::vector<std::string> expected = WriteFrames(ids);
    expected.erase(expected.end() - 45, expected.end() - 1);
    EXPECT_EQ(writes, expected) << "no $CDH1";
    ASSERT_EQ(writes.size(), 88u);
    EXPECT_EQ(writes[3], "MX0E05$A1H0012\r\r");
    EXPECT_EQ(writes[4], "MX0E05$A2Hab34\r\r");
    EXPECT_EQ(writes[8], "MX0C05$A6HCD\r\r");
    EXPECT_EQ(writes[9], "MX0A05$A7H\r\r");
    EXPECT_EQ(device->NotTakenPositions(), (std::vector<int>{1, 2, 3}));
    ExpectCommittedTableIntact();
}

// Only what changed is written: nothing at all when nothing did, and for one registration
// a session of 15 exchanges that leaves every other position to the master's own entry.
TEST_F(RegisterWire, ReadThenWriteSendsOnlyWhatChanged) {
    Start(Scenario());
    device->ReadRegisteredIds();
    StoreAndWrite();
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(device->writeVerdict, CBtDevice::wvUnchanged);
    ExpectCommittedTableIntact();

    std::vector<std::string> ids(14);
    ids[2] = "00A0C9445566";
    device->SetRegisteredId(2, ids[2]);
    EXPECT_TRUE(device->WriteRegisteredIds());
    const std::vector<std::string> expected = WriteFrames(ids, 3, 3);
    EXPECT_EQ(Writes(), expected);
    EXPECT_EQ(expected.size(), 15u);
    EXPECT_EQ(device->PositionsWith(CBtDevice::woSaved), std::vector<int>{3});
    EXPECT_EQ(SimCommittedId(3), ids[2]);
    EXPECT_EQ(SimCommittedId(4), IdOf(4));
}

// A register reply cut short gives a short ID. Written back unchanged it would overwrite
// the master's real entry, so that position, and every later one of the same read, stays
// out of the write; the master's table is committed as it stands.
TEST_F(RegisterWire, ShortRegisterReplyIsNotWrittenBack) {
    Start(Scenario("[{\"command\":\"$A5\",\"action\":\"short\",\"bytes\":7,\"times\":1}]"));
    EXPECT_FALSE(device->ReadRegisteredIds());
    EXPECT_EQ(device->GetRegisteredId(0), IdOf(1));
    EXPECT_EQ(device->GetRegisteredId(1), IdOf(2).substr(0, 6)) << "the read stops there";
    EXPECT_EQ(device->GetRegisteredId(2), "");
    EXPECT_FALSE(device->readIncomplete[0]);
    EXPECT_TRUE(device->readIncomplete[1]);

    StoreAndWrite();
    EXPECT_TRUE(Writes().empty());
    ExpectCommittedTableIntact();
    std::vector<int> leftOut;
    for (int position = 2; position <= 14; ++position) {
        leftOut.push_back(position);
    }
    EXPECT_EQ(device->LeftOutPositions(), leftOut);
}

TEST_F(RegisterWire, ReplyMissingOnlyItsClosingCharacterCountsAsShort) {
    Start(Scenario("[{\"command\":\"$CC\",\"action\":\"short\",\"bytes\":9,\"times\":1}]"));
    device->ReadRegisteredIds();
    EXPECT_EQ(device->GetRegisteredId(13), IdOf(14));
    EXPECT_TRUE(device->readIncomplete[13]);
    EXPECT_FALSE(device->readIncomplete[12]);
}

// A late reply ends the read: the positions after it stay out of the write. The write's
// first exchange drops the late reply, so its own replies are not one behind.
TEST_F(RegisterWire, LateRegisterReplyKeepsTheWholeRestOutOfTheWrite) {
    Start(Scenario("[{\"command\":\"$A8\",\"action\":\"delay\",\"delayMs\":61000,"
                   "\"times\":1}]"));
    device->ReadRegisteredIds();
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(device->readIncomplete[i], i >= 2) << "entry " << i;
    }
    device->SetRegisteredId(0, "000000000000");
    EXPECT_TRUE(device->WriteRegisteredIds());
    EXPECT_EQ(CountWrites(Writes(), Frame("$CDH1\r", 4)), 1);
    EXPECT_STREQ(SimCommittedId(1), "000000000000");
    for (int position = 2; position <= 14; ++position)
        EXPECT_EQ(SimCommittedId(position), IdOf(position)) << "position " << position;
}

TEST_F(RegisterWire, ChangedEntryIsWrittenAfterAFailedRead) {
    Start(Scenario("[{\"command\":\"$A5\",\"action\":\"silent\",\"times\":1}]"));
    device->ReadRegisteredIds();
    EXPECT_EQ(device->GetRegisteredId(1).size(), 4u);
    device->SetRegisteredId(1, "000000000000");
    StoreAndWrite();
    EXPECT_STREQ(SimCommittedId(2), "000000000000");
    EXPECT_EQ(SimCommittedId(1), IdOf(1));
    for (int position = 3; position <= 14; ++position) {
        EXPECT_EQ(SimCommittedId(position), IdOf(position)) << "position " << position;
    }
}

// A master that falls silent during the read is reported after one exchange's time limit,
// not after one per register: the read stops, and the positions it did not read stay out of
// the write.
TEST_F(RegisterWire, SilentMasterEndsTheReadAtOnce) {
    Start(Scenario("[{\"command\":\"$A4\",\"action\":\"silent\",\"times\":1}]"));
    const long long before = SimNowUs();
    EXPECT_FALSE(device->ReadRegisteredIds());
    EXPECT_LT(SimNowUs() - before, 61000000LL);
    std::vector<std::string> expected{Frame("$00H0\r", 4), Frame("$A0H1\r", 4),
                                      Frame("$CEH1\r", 4)};
    for (int n = 0; n < 4; ++n) {
        expected.push_back(Frame(std::string(Registers[n]) + "\r", 9));
    }
    EXPECT_EQ(Writes(), expected) << "nothing after the silent register";
    EXPECT_EQ(device->GetRegisteredId(0), IdOf(1));
    EXPECT_FALSE(device->readIncomplete[0]);
    for (int i = 1; i < 14; ++i) {
        EXPECT_TRUE(device->readIncomplete[i]) << "entry " << i;
    }
    StoreAndWrite();
    ExpectCommittedTableIntact();
}

TEST_F(RegisterWire, FailedOpeningOfAccessPutsTheWholeReadInDoubt) {
    Start(Scenario("[{\"command\":\"$CE\",\"action\":\"short\",\"bytes\":3,\"times\":1}]"));
    device->ReadRegisteredIds();
    for (int i = 0; i < 14; ++i) {
        EXPECT_TRUE(device->readIncomplete[i]) << "entry " << i;
    }
}

// A later read that succeeds lifts the guard again.
TEST_F(RegisterWire, SoundReadAfterAFailedOneIsWrittenWhole) {
    Start(Scenario("[{\"command\":\"$A5\",\"action\":\"short\",\"bytes\":7,\"times\":1}]"));
    device->ReadRegisteredIds();
    device->ReadRegisteredIds();
    for (int i = 0; i < 14; ++i) {
        EXPECT_FALSE(device->readIncomplete[i]) << "entry " << i;
    }
    EXPECT_TRUE(device->ChangedPositions().empty());
}

struct FailedWriteCase {
    const char* name;
    const char* faults;
    size_t failingFrame;    // index in the complete write's frames
    bool closesAccess;      // "$A0H0" still follows
    long long maxElapsedUs; // a short reply too is waited for until the time limit, and
                            // the next exchange waits for the bridge to fall quiet
    int notTaken = 0;       // the position named as not taken, if any
};

class FailedWrite : public RegisterWire, public ::testing::WithParamInterface<FailedWriteCase> {};

// The write stops at the first exchange without its full reply and never commits: the
// master keeps its committed table whole. Register access is still closed when the master
// answered something; after a silent exchange the failure is reported at once instead of
// after another time limit.
TEST_P(FailedWrite, StopsAtTheFirstIncompleteReplyAndNeverCommits) {
    const FailedWriteCase& c = GetParam();
    Start(Scenario(c.faults));
    const std::vector<std::string> cleared(14, "000000000000");
    for (int i = 0; i < 14; ++i) {
        device->SetRegisteredId(i, cleared[static_cast<size_t>(i)]);
    }
    const long long before = SimNowUs();
    EXPECT_FALSE(device->WriteRegisteredIds());
    EXPECT_LT(SimNowUs() - before, c.maxElapsedUs);
    const std::vector<std::string> all = WriteFrames(cleared);
    std::vector<std::string> expected(all.begin(),
                                      all.begin() + static_cast<long>(c.failingFrame) + 1);
    if (c.closesAccess) {
        expected.push_back(Frame("$A0H0\r", 4));
    }
    EXPECT_EQ(Writes(), expected);
    ExpectCommittedTableIntact();
    EXPECT_EQ(device->NotTakenPositions(),
              c.notTaken ? std::vector<int>{c.notTaken} : std::vector<int>{});

    // Trying again is a whole new session on the link opened anew, which commits once the
    // master answers again.
    const timespec later{2, 0};
    nanosleep(&later, nullptr);
    EXPECT_TRUE(device->Reconnect());
    SimClearLogs();
    EXPECT_TRUE(device->WriteRegisteredIds());
    EXPECT_EQ(Writes(), all);
    for (int position = 1; position <= 14; ++position) {
        EXPECT_STREQ(SimCommittedId(position), "000000000000") << "position " << position;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedWrite,
    ::testing::Values(
        FailedWriteCase{"ShortSet", R"([{"command":"$A7","action":"short","bytes":3,"times":1}])",
                        9, true, 64000000},
        FailedWriteCase{"SilentSet", R"([{"command":"$A7","action":"silent","times":1}])", 9, false,
                        61000000},
        FailedWriteCase{"ShortOpening",
                        R"([{"command":"$00","action":"short","bytes":2,"times":1}])", 0, true,
                        64000000},
        FailedWriteCase{"DeadAtCommit",
                        R"([{"command":"$CD","action":"dead","forMs":30000,"times":1}])", 130, true,
                        65000000},
        FailedWriteCase{"RefusedSet", R"([{"command":"$A7","action":"refuse","times":1}])", 86,
                        true, 1000000, 3},
        FailedWriteCase{"RefusedLastSet", R"([{"command":"$CC","action":"refuse","times":1}])", 86,
                        true, 1000000, 14},
        FailedWriteCase{"PulledCable",
                        R"([{"command":"$B1","action":"unplug","forMs":1000,"times":1}])", 18,
                        false, 1000000}),
    [](const ::testing::TestParamInfo<FailedWriteCase>& info) { return info.param.name; });

struct LostAckCase {
    const char* name;
    const char* faults;
    CBtDevice::WriteVerdict verdict;
};

class VerifiedCommit : public RegisterWire, public ::testing::WithParamInterface<LostAckCase> {};

// Whatever the commit's reply (none, cut short, late, a refusal of full length), the
// verdict is the stored table's, read back; a read-back that fails says neither.
TEST_P(VerifiedCommit, TheVerdictIsTheStoredTables) {
    const LostAckCase& c = GetParam();
    Start(Scenario(c.faults));
    device->ReadRegisteredIds();
    SimClearLogs();
    const std::vector<std::string> cleared(14, "000000000000");
    for (int i = 0; i < 14; ++i)
        device->SetRegisteredId(i, cleared[static_cast<size_t>(i)]);
    EXPECT_EQ(device->WriteRegisteredIds(), c.verdict == CBtDevice::wvSaved);
    EXPECT_EQ(device->writeVerdict, c.verdict);
    std::vector<std::string> expected = WriteFrames(cleared);
    if (c.verdict == CBtDevice::wvInDoubt) {
        expected.resize(89);
        expected.push_back(Frame("$A0H0\r", 4));
    }
    EXPECT_EQ(Writes(), expected);
    EXPECT_STREQ(SimCommittedId(7), c.verdict == CBtDevice::wvNotSaved ? IdOf(7).c_str()
                                                                       : "000000000000");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VerifiedCommit,
    ::testing::Values(LostAckCase{"ShortAck",
                                  R"([{"command":"$CD","action":"short","bytes":2,"times":1}])",
                                  CBtDevice::wvSaved},
                      LostAckCase{"NoAck", R"([{"command":"$CD","action":"silent","times":1}])",
                                  CBtDevice::wvSaved},
                      LostAckCase{"LateAck",
                                  R"([{"command":"$CD","action":"delay","delayMs":62000}])",
                                  CBtDevice::wvSaved},
                      LostAckCase{"RefusedCommit", R"([{"command":"$CD","action":"refuse"}])",
                                  CBtDevice::wvNotSaved},
                      LostAckCase{"NoReadBack",
                                  R"([{"command":"$CD","action":"short","bytes":2,"times":1},
                                      {"command":"$CE","skip":2,"action":"short","bytes":2}])",
                                  CBtDevice::wvInDoubt}),
    [](const ::testing::TestParamInfo<LostAckCase>& info) { return info.param.name; });

} // namespace

// A register the module refuses answers with a full-length error reply; its "????" is no
// piece of an ID and must not be written back over the master's entry.
TEST_F(RegisterWire, RefusedRegisterIsNotWrittenBack) {
    Start(Scenario("[{\"command\":\"$AB\",\"action\":\"refuse\",\"times\":1}]"));
    device->ReadRegisteredIds();
    EXPECT_EQ(device->GetRegisteredId(3), IdOf(4).substr(0, 4) + "????" + IdOf(4).substr(8));
    EXPECT_TRUE(device->readIncomplete[3]);
    EXPECT_FALSE(device->readIncomplete[4]);
    StoreAndWrite();
    for (const std::string& frame : Writes()) {
        EXPECT_EQ(frame.find("$ABH"), std::string::npos) << frame;
    }
    ExpectCommittedTableIntact();
}
