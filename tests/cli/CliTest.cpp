// tarvelo-cli run as a child process against the simulated master: its arguments, exit
// status, standard output and error, the master's committed table (the state file) and the
// bytes on the wire (the wire log). The runs are in real time; the scenarios keep them short.
#include "RunProgram.h"

#include "program/btdevice/Rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

using Table = std::map<int, std::string>; // position -> ID; positions not named are free

const Table Committed = {{1, "00A0C9112233"}, {2, "00A0C9DDEEFF"}, {5, "00A0C9778899"}};

// Two slaves the window lists (one named twice), one it does not; the search lasts a moment.
const char* const BaseScenario =
    R"("replyLatencyMs": 0, "search": {"durationMs": 50},
    "slaves": [{"id": "00A0C9445566", "name": "ZOMRA-T2", "detail": "rssi -55"},
               {"id": "5C313E0A1B2C", "name": "Headset 300", "detail": "rssi -66"},
               {"id": "00A0C9AABBCC", "name": "ZOMRA-P9"},
               {"id": "00A0C9445566", "name": "ZOMRA-T2", "detail": "rssi -57"}],
    "committedIds": {"1": "00A0C9112233", "2": "00A0C9DDEEFF", "5": "00A0C9778899"})";

std::string Label(int position) {
    const char* digits = "0123456789ABCDEF";
    return std::string("0") + digits[position];
}

// The 14 lines "01<separator>ID" of `table`.
std::string TableText(const Table& table, char separator) {
    std::string text;
    for (int position = 1; position <= 14; ++position) {
        const auto found = table.find(position);
        text += Label(position) + separator +
                (found == table.end() ? "000000000000" : found->second) + "\n";
    }
    return text;
}

Table With(Table table, const Table& changes) {
    for (const auto& [position, id] : changes)
        table[position] = id;
    return table;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            fs::path(CLI_SCRATCH) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "run");
        Scenario("");
    }

    // The base scenario with `more` members added (JSON, each with a leading comma).
    void Scenario(const std::string& more) {
        Write(dir_ / "scenario.json", "{" + std::string(BaseScenario) + more + "}");
    }

    ProgramRun Run(const std::vector<std::string>& args) {
        const std::vector<std::pair<std::string, std::string>> env = {
            {"LD_LIBRARY_PATH", CLI_SIM_DIR},
            {"KSIM_SCENARIO", Path("scenario.json")},
            {"KSIM_STATE", Path("state.txt")},
            {"KSIM_WIRELOG", Path("wire.log")},
            // Without effect on the lock, which is the user's whatever the environment.
            {"XDG_RUNTIME_DIR", Path("run")},
            // The write journal's folder, on Linux and on Windows.
            {"XDG_STATE_HOME", Path("state")},
            {"LOCALAPPDATA", Path("state")},
        };
        return RunProgram(CLI_PROGRAM, args, dir_.generic_string(), env);
    }

    std::string Path(const char* name) const { return (dir_ / name).generic_string(); }
    // The committed table as the simulator persisted it; empty when nothing was committed.
    std::string State() const { return Slurp(dir_ / "state.txt"); }
    std::string Wire() const { return Slurp(dir_ / "wire.log"); }

    // The module commands the host sent, in order, from the frames of the wire log.
    std::vector<std::string> ModuleCommands() const {
        std::vector<std::string> commands;
        std::istringstream lines(Wire());
        for (std::string line; std::getline(lines, line);) {
            // "> MX" + two lengths, then the command up to its escaped CR.
            if (line.rfind("> MX", 0) == 0 && line.size() > 8)
                commands.push_back(line.substr(8, line.find("\\r", 8) - 8));
        }
        return commands;
    }

    // The positions the register sets of the write sessions on the wire fill with a slave's
    // ID; positions not set or released are left out.
    Table WrittenTable() const {
        // The 42 registers in order: "$A1".."$AF", "$B1".."$BF", "$C1".."$CC".
        std::vector<std::string> registers;
        for (const char group : {'A', 'B', 'C'}) {
            for (const char digit : std::string("123456789ABCDEF"))
                registers.push_back(std::string("$") + group + digit);
        }
        registers.resize(42);
        std::vector<std::string> pieces(42);
        for (const std::string& command : ModuleCommands()) {
            for (size_t n = 0; n < registers.size(); ++n) {
                if (command.size() == 8 && command.compare(0, 4, registers[n] + "H") == 0)
                    pieces[n] = command.substr(4);
            }
        }
        Table table;
        for (int position = 1; position <= 14; ++position) {
            const size_t first = static_cast<size_t>(position - 1) * 3;
            const std::string id = pieces[first] + pieces[first + 1] + pieces[first + 2];
            if (!id.empty() && id != "000000000000")
                table[position] = id;
        }
        return table;
    }

    int Count(const std::string& command) const {
        int count = 0;
        for (const std::string& sent : ModuleCommands())
            count += sent == command;
        return count;
    }

    fs::path dir_;
};

TEST_F(CliTest, ReadPrintsTheCommittedTableAndNothingElse) {
    ProgramRun run = Run({"read"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, TableText(Committed, ' '));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Count("$CDH1"), 0);
    EXPECT_FALSE(fs::exists(dir_ / "config.ini")); // read when there, never created

    run = Run({"read", "--json"});
    EXPECT_EQ(run.status, 0);
    std::string json = "{\"completed\":true,\"positions\":[";
    for (int position = 1; position <= 14; ++position) {
        const auto found = Committed.find(position);
        json += std::string(position > 1 ? "," : "") + "{\"position\":\"" + Label(position) +
                "\",\"id\":\"" + (found == Committed.end() ? "000000000000" : found->second) +
                "\"}";
    }
    EXPECT_EQ(run.out, json + "]}\n");
}

TEST_F(CliTest, SearchPrintsTheListedSlavesWithTheTraceKeptOutOfStandardOutput) {
    const std::string listed = "00A0C9445566\tZOMRA-T2\trssi -55\n00A0C9AABBCC\tZOMRA-P9\t\n";
    ProgramRun run = Run({"search"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, listed);
    EXPECT_EQ(run.err, ""); // no trace without "dos", no indicator without a terminal

    run = Run({"search", "--all", "--json"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "{\"completed\":true,\"slaves\":["
                       "{\"id\":\"00A0C9445566\",\"name\":\"ZOMRA-T2\",\"detail\":\"rssi -55\"},"
                       "{\"id\":\"5C313E0A1B2C\",\"name\":\"Headset 300\",\"detail\":\"rssi -66\"},"
                       "{\"id\":\"00A0C9AABBCC\",\"name\":\"ZOMRA-P9\",\"detail\":\"\"},"
                       "{\"id\":\"00A0C9445566\",\"name\":\"ZOMRA-T2\",\"detail\":\"rssi -57\"},"
                       "{\"id\":\"OK\",\"name\":\"\",\"detail\":\"\"}]}\n");

    // "dos" shows the trace on standard error; the results stay as they were.
    Write(dir_ / "config.ini", "output=\"dos\"\nusbcomm=\"thread\"\n");
    run = Run({"search"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, listed);
    EXPECT_NE(run.err.find("Thread ON\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("[T]$04\n"), std::string::npos) << run.err;

    // A slave is listed once whatever the case of its hex letters, and a tab or backslash in
    // its name cannot break its line.
    Write(dir_ / "scenario.json",
          R"({"replyLatencyMs": 0, "search": {"durationMs": 50}, "slaves": [
              {"id": "00A0C9445566", "name": "ZOMRA\tT2\\b", "detail": "rssi -55"},
              {"id": "00a0c9445566", "name": "ZOMRA-T2", "detail": "rssi -56"}]})");
    fs::remove(dir_ / "config.ini");
    run = Run({"search"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "00A0C9445566\tZOMRA\\tT2\\\\b\trssi -55\n");
}

TEST_F(CliTest, SetAndReleaseChangeExactlyTheNamedPositions) {
    // Lower-case digits go out in the upper case of the module's set commands.
    ProgramRun run = Run({"set", "3", "00a0c9445566", "0E", "00A0C9AABBCC"});
    EXPECT_EQ(run.status, 0) << run.err;
    const Table set = With(Committed, {{3, "00A0C9445566"}, {14, "00A0C9AABBCC"}});
    EXPECT_EQ(State(), TableText(set, '='));
    EXPECT_EQ(WrittenTable(), (Table{{3, "00A0C9445566"}, {14, "00A0C9AABBCC"}}));
    EXPECT_EQ(Count("$CDH1"), 1);

    fs::remove(dir_ / "wire.log");
    run = Run({"release", "01", "5"});
    EXPECT_EQ(run.status, 0) << run.err;
    const Table released = With(set, {{1, "000000000000"}, {5, "000000000000"}});
    EXPECT_EQ(State(), TableText(released, '='));
    EXPECT_EQ(WrittenTable(), Table{}) << "only positions 01 and 05, both released";
    EXPECT_EQ(Count("$A1H0000"), 1);
    EXPECT_EQ(run.out, "");

    // What the master already holds is not written again.
    fs::remove(dir_ / "wire.log");
    run = Run({"release", "1"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("nothing is written"), std::string::npos) << run.err;
    EXPECT_EQ(Count("$A0H1"), 1) << "the read's register access only";
}

TEST_F(CliTest, AnIdTheMasterHoldsElsewhereIsRefusedUnlessThatPositionChangesToo) {
    ProgramRun run = Run({"set", "3", "00A0C9778899"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("05"), std::string::npos) << run.err;
    EXPECT_EQ(Count("$CDH1"), 0);
    EXPECT_EQ(State(), "");

    run = Run({"set", "3", "00A0C9778899", "5", "000000000000"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(State(), TableText(With(Committed, {{3, "00A0C9778899"}, {5, "000000000000"}}), '='));
}

TEST_F(CliTest, BackupThenRestoreBringsAChangedTableBack) {
    ProgramRun run = Run({"backup", "table.txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string backup = Slurp(dir_ / "table.txt");
    EXPECT_EQ(backup, TableText(Committed, '='));

    run = Run({"set", "1", "00A0C9445566", "2", "000000000000", "7", "00A0C9AABBCC"});
    ASSERT_EQ(run.status, 0) << run.err;

    // The file as an editor on Windows saves it, in another order.
    std::string crlf;
    std::istringstream lines(backup);
    std::vector<std::string> reordered;
    for (std::string line; std::getline(lines, line);)
        reordered.insert(reordered.begin(), line + "\r\n");
    for (const std::string& line : reordered)
        crlf += line;
    Write(dir_ / "table.txt", "\xEF\xBB\xBF" + crlf + "\r\n\r\n");
    run = Run({"restore", "table.txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(State(), TableText(Committed, '='));

    // A link planted at the fixed name of old (a file on Windows) is neither followed nor
    // overwritten, and the backup lands.
    Write(dir_ / "victim.txt", "victim");
#ifdef _WIN32
    Write(dir_ / "table.txt.tmp", "victim");
#else
    fs::create_symlink("victim.txt", dir_ / "table.txt.tmp");
#endif
    EXPECT_EQ(Run({"backup", "table.txt"}).status, 0);
    EXPECT_EQ(Slurp(dir_ / "table.txt"), backup);
    EXPECT_EQ(Slurp(dir_ / "table.txt.tmp") + Slurp(dir_ / "victim.txt"), "victimvictim");

    // A backup that cannot be put in place leaves what is there as it was, and no new file.
    const auto entries = [this] { return std::distance(fs::directory_iterator(dir_), {}); };
    fs::create_directories(dir_ / "held" / "inside");
    const auto before = entries();
    run = Run({"backup", "held"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot replace held"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_directory(dir_ / "held" / "inside"));
    EXPECT_EQ(entries(), before);
}

// Each kind of bad input: exit status 2, a message, and nothing sent to the master.
TEST_F(CliTest, BadInputExits2WithNothingOnTheWire) {
    const std::string full = TableText(Committed, '=');
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string file; // written to "b.txt" first when not empty
    };
    const Case cases[] = {
        {"no command", {}, ""},
        {"unknown command", {"pair"}, ""},
        {"unknown option", {"read", "--force"}, ""},
        {"option of another command", {"read", "--all"}, ""},
        {"argument to read", {"read", "3"}, ""},
        {"--wait without SECONDS", {"read", "--wait"}, ""},
        {"--wait of a negative time", {"read", "--wait", "-1"}, ""},
        {"--wait of more than a day", {"read", "--wait=86401"}, ""},
        {"--wait with devices", {"devices", "--wait", "5"}, ""},
        {"position 0", {"set", "0", "00A0C9445566"}, ""},
        {"position 15", {"set", "15", "00A0C9445566"}, ""},
        {"position 0F", {"release", "0F"}, ""},
        {"position 010", {"release", "010"}, ""},
        {"ID of 11 digits", {"set", "3", "00A0C944556"}, ""},
        {"ID of 13 digits", {"set", "3", "00A0C94455660"}, ""},
        {"ID not hexadecimal", {"set", "3", "00A0C944556G"}, ""},
        {"ID missing", {"set", "3"}, ""},
        {"one ID for two positions", {"set", "3", "00A0C9445566", "4", "00a0c9445566"}, ""},
        {"position named twice", {"release", "3", "03"}, ""},
        {"no position to release", {"release"}, ""},
        {"backup without a file", {"backup"}, ""},
        {"restore of a missing file", {"restore", "missing.txt"}, ""},
        {"backup lacking a position", {"restore", "b.txt"}, full.substr(0, full.size() - 16)},
        {"backup with a position twice", {"restore", "b.txt"}, full + "03=000000000000\n"},
        {"backup with a short ID", {"restore", "b.txt"}, "01=00A0C911223\n" + full.substr(16)},
        {"backup with a bad position", {"restore", "b.txt"}, full + "0F=000000000000\n"},
        {"backup line without =",
         {"restore", "b.txt"},
         full.substr(0, 16) + "\n" + full.substr(16)},
        {"backup with one ID twice", {"restore", "b.txt"}, "01=00A0C9778899\n" + full.substr(16)},
        {"history of 0 sessions", {"history", "-n", "0"}, ""},
        {"history of -n x", {"history", "-n", "x"}, ""},
        {"history of -n without N", {"history", "-n"}, ""},
        {"-n for read", {"read", "-n", "3"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(dir_ / "wire.log");
        if (!c.file.empty())
            Write(dir_ / "b.txt", c.file);
        const ProgramRun run = Run(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err, "");
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(Wire(), "");
    }
    EXPECT_EQ(State(), "");

    // A config.ini that is there but cannot be read is named, never replaced; a named pipe
    // of that name does not hold the start.
    fs::create_directory(dir_ / "config.ini");
#ifndef _WIN32
    fs::remove(dir_ / "config.ini");
    ASSERT_EQ(::mkfifo((dir_ / "config.ini").c_str(), 0600), 0);
#endif
    const ProgramRun run = Run({"read"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("config.ini"), std::string::npos) << run.err;
    EXPECT_EQ(Wire(), "");
}

TEST_F(CliTest, AMasterThatCannotBePreparedExits3) {
    Scenario(R"(, "openStatus": 2)");
    const ProgramRun run = Run({"read"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("KESTRAVION is not prepared."), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

// A bridge gone at the first "LS" and back 1.5 s later: --wait reads the master then,
// without it the master is not prepared.
TEST_F(CliTest, WaitReadsAMasterAttachedLate) {
#ifdef _WIN32
    // There each try unloads the simulated driver with the library, and its reload starts the
    // scenario afresh: the one pulled cable would come back at every try.
    GTEST_SKIP() << "the simulated driver reloads its scenario at every try";
#endif
    Scenario(R"(, "faults": [{"command": "LS", "times": 1, "action": "unplug", "forMs": 1500}])");
    EXPECT_EQ(Run({"read"}).status, 3);
    const ProgramRun run = Run({"--wait", "30", "read"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, TableText(Committed, ' '));
}

TEST_F(CliTest, ACablePulledDuringTheWriteExits4WithNothingCommitted) {
    // The first "$A7" is the read's query, the second the write's set.
    Scenario(R"(, "faults": [{"command": "$A7", "skip": 1, "action": "unplug"}])");
    const ProgramRun run = Run({"set", "3", "00A0C9445566"});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("03"), std::string::npos) << run.err;
    EXPECT_EQ(Count("$CDH1"), 0);
    EXPECT_EQ(State(), "");
}

TEST_F(CliTest, AnIncompleteReadIsNamedAndNeverWrittenBack) {
    // The first query of position 07 gets the module's error answer in each run. (A reply
    // cut short would cost the link's 60 s wait here, in real time.)
    Scenario(R"(, "faults": [{"command": "$B4", "times": 1, "action": "refuse"}])");
    ProgramRun run = Run({"read"});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("07"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("\n07 not read\n"), std::string::npos) << run.out;

    run = Run({"backup", "table.txt"});
    EXPECT_EQ(run.status, 4);
    EXPECT_FALSE(fs::exists(dir_ / "table.txt"));

    // The slave stored there is unknown, so no change can be checked against it: nothing
    // is written.
    fs::remove(dir_ / "wire.log");
    run = Run({"set", "3", "00A0C9445566"});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("position 07 not read"), std::string::npos) << run.err;
    EXPECT_EQ(Count("$A0H1"), 1) << "the read's register access, no write's";
    EXPECT_EQ(State(), "");
}

TEST_F(CliTest, ASetOrACommitTheMasterRefusesExits4WithNothingCommitted) {
    // "$A7" is the first register of position 03: the first is the read's query, the second
    // the write's set, which the module answers in full without storing it. A refused
    // commit is answered in full too.
    for (const char* fault : {R"("$A7", "skip": 1)", R"("$CD")"}) {
        Scenario(R"(, "faults": [{"command": )" + std::string(fault) + R"(, "action": "refuse"}])");
        const ProgramRun run = Run({"set", "3", "00A0C9445566"});
        EXPECT_EQ(run.status, 4);
        EXPECT_NE(run.err.find("position 03"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("keeps its committed table"), std::string::npos) << run.err;
        EXPECT_EQ(State(), "");
    }
}

// With two bridges attached, devices names both, --device picks the master's, and without
// it the first is used and named.
TEST_F(CliTest, DevicesListsTheBridgesAndDevicePicksOne) {
    Scenario(R"(, "otherBridges": [{"serial": "FT9ZX1", "description": "FT232R USB UART"}],
                  "masterIndex": 1)");
    ProgramRun run = Run({"devices"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0\tFT9ZX1\tFT232R USB UART\n1\tKM000001\tKESTRAVION MASTER\n");
    run = Run({"read", "--device", "KM000001"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, TableText(Committed, ' '));
    run = Run({"read"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("2 USB bridges are attached; the first, FT9ZX1 (FT232R USB UART), is "
                           "used."),
              std::string::npos)
        << run.err;
    run = Run({"read", "--device=KM000009"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("The USB bridge KM000009 named by its serial number is not attached."),
              std::string::npos)
        << run.err;
}

// history reads the journal alone: beside another program of the family, with no master.
TEST_F(CliTest, HistoryListsTheJournalledWritesNewestFirst) {
    fs::create_directories(dir_ / "state" / "kestravion");
    fs::copy_file(CLI_JOURNAL, dir_ / "state" / "kestravion" / "journal.jsonl");
    Scenario(R"(, "openStatus": 2)");
    HeldMutex other(SingleInstanceMutex);
    const std::string change = "  03 000000000000 -> 00A0C9445566\n";
    ProgramRun run = Run({"history"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "2026-12-09T16:00:00Z\tKM000001\ttarvelo\tnever finished\n" + change +
                           "2026-12-09T15:00:00Z\tKM000002\ttarvelo-cli\tsaved\n" + change +
                           "2026-12-09T14:00:00Z\tKM000001\ttarvelo-cli\tnot saved\n" + change);
    EXPECT_EQ(run.err, "tarvelo-cli: journal.jsonl: 1 broken line skipped\n");
    run = Run({"history", "--device", "KM000002", "-n", "1", "--json"});
    EXPECT_EQ(run.status, 0);
    const std::string json =
        "{\"brokenLines\":1,\"sessions\":[{\"session\":\"5a20\",\"time\":\"2026-12-09T15:00:00Z\","
        "\"endTime\":\"2026-12-09T15:00:09Z\",\"frontEnd\":\"tarvelo-cli\",\"bridge\":\"KM000002\","
        "\"bridgeDescription\":\"KESTRAVION MASTER\",\"verdict\":\"saved\",\"changes\":[{"
        "\"position\":\"03\",\"before\":\"000000000000\",\"after\":\"00A0C9445566\"}],";
    EXPECT_EQ(run.out.substr(0, json.size()), json);
    EXPECT_EQ(Wire(), "");
}

// A write is journalled, history shows it, undo takes it back through a verified write of
// its own and a second undo redoes it; once the master holds something else there, undo
// refuses and names the position.
TEST_F(CliTest, UndoTakesBackTheLastSavedWriteOnlyWhileTheMasterStillHoldsIt) {
    ASSERT_EQ(Run({"set", "3", "00A0C9445566"}).status, 0);
    ProgramRun run = Run({"history"});
    EXPECT_NE(run.out.find("\tKM000001\ttarvelo-cli\tsaved\n  03 000000000000 -> 00A0C9445566\n"),
              std::string::npos) << run.out;
    run = Run({"undo"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "03 00A0C9445566 -> 000000000000\n");
    EXPECT_EQ(State(), TableText(Committed, '='));
    ASSERT_EQ(Run({"undo"}).status, 0);
    EXPECT_EQ(State(), TableText(With(Committed, {{3, "00A0C9445566"}}), '='));

    Write(dir_ / "state.txt", TableText(With(Committed, {{3, "00A0C9AABBCC"}}), '='));
    fs::remove(dir_ / "wire.log");
    run = Run({"undo"});
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("no longer holds what the write of"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("position 03"), std::string::npos) << run.err;
    EXPECT_EQ(Count("$A0H1"), 1) << "the read's register access only";
}

TEST_F(CliTest, ASecondProgramOfTheFamilyExits5) {
    HeldMutex other(SingleInstanceMutex);
    ASSERT_TRUE(other.held());
    const ProgramRun run = Run({"read"});
    EXPECT_EQ(run.status, 5);
    EXPECT_NE(run.err.find("Another KESTRAVION family software is already running."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Wire(), "");
}

} // namespace
