// The scenario loader: every key, strict refusal of bad scenarios without harm, the demo
// scenario, and the set-up from the environment at load time.
#include "SimHost.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <utility>
#endif

namespace {

using ScenarioTest = SimHostTest;

struct BadScenario {
    const char* json;
    const char* error;
};

TEST_F(ScenarioTest, EveryKeyIsAccepted) {
    LoadScenario(R"({
        "openStatus": 0, "purgeFailures": 1, "purgeStatus": 4, "replyLatencyMs": 0.5,
        "byteGapMs": 0, "mgState": 1, "xvConnected": true,
        "slaves": [{"id": "A", "name": "B", "detail": "C"}, {"id": "D", "name": "E"}],
        "committedIds": {"1": "0123456789AB", "14": "FFFFFFFFFFFF"},
        "search": {"durationMs": 10, "statusBits": 65535, "statusNeverClears": false,
                   "countNeverDrains": false, "resultText": "\r\nOK\r\n"},
        "faults": [
            {"command": "MG", "action": "silent", "skip": 1, "times": 2},
            {"frame": 2, "action": "dead", "forMs": 1.5},
            {"command": "$A4", "action": "unplug", "forMs": 3000},
            {"command": "MV", "action": "refuse", "reason": "X", "letter": "N", "delayMs": 1},
            {"command": "XV", "action": "reply", "text": "Y1\r", "gapMs": 2},
            {"command": "$03", "action": "short", "bytes": 0},
            {"command": "$04", "action": "delay", "delayMs": 61000},
            {"command": "$05", "action": "trickle", "gapMs": 5}],
        "driverErrors": [
            {"function": "FT_Read", "status": 4, "call": 3, "times": 1},
            {"function": "FT_GetQueueStatus", "afterCommand": "$CD"}]
    })");
    EXPECT_STREQ(SimCommittedId(14), "FFFFFFFFFFFF");
    EXPECT_STREQ(SimLastError(), "");
}

TEST_F(ScenarioTest, BadScenariosAreRefusedAndThePreviousStateStays) {
    const BadScenario bad[] = {
        {"", "not valid JSON"},
        {"{", "not valid JSON"},
        {"[]", "must be an object"},
        {"null", "must be an object"},
        {R"({"openstatus": 2})", "unknown key \"openstatus\""},
        {R"({"openStatus": -1})", "out of range"},
        {R"({"openStatus": 4294967296})", "out of range"},
        {R"({"openStatus": 1.5})", "must be an integer"},
        {R"({"purgeStatus": 0})", "out of range"},
        {R"({"replyLatencyMs": -1})", "out of range"},
        {R"({"replyLatencyMs": "2"})", "must be a number"},
        {R"({"byteGapMs": 1e300})", "out of range"},
        {R"({"mgState": 10})", "out of range"},
        {R"({"mgState": "12"})", "must be one character"},
        {R"({"xvConnected": 1})", "must be true or false"},
        {R"({"slaves": {}})", "must be an array"},
        {R"({"slaves": [{"id": "A"}]})", "needs \"id\" and \"name\""},
        {R"({"slaves": [{"id": "A", "name": "B,C"}]})", "may not contain a comma"},
        {R"({"slaves": [{"id": "A", "name": "B", "rssi": 1}]})", "unknown key"},
        {R"({"slaves": [7]})", "must be an object"},
        {R"({"committedIds": {"0": "000000000000"}})", "positions are"},
        {R"({"committedIds": {"15": "000000000000"}})", "positions are"},
        {R"({"committedIds": {"01": "000000000000"}})", "positions are"},
        {R"({"committedIds": {"1": "00000000000a"}})", "12 upper-case"},
        {R"({"committedIds": {"1": "0000000000000"}})", "12 upper-case"},
        {R"({"committedIds": ["000000000000"]})", "must be an object"},
        {R"({"search": {"duration": 1}})", "unknown key"},
        {R"({"search": {"statusBits": 65536}})", "out of range"},
        {R"({"search": {"resultText": 5}})", "must be a string"},
        {R"({"faults": [{"action": "silent"}]})", "exactly one of"},
        {R"({"faults": [{"command": "MG", "frame": 1, "action": "silent"}]})", "exactly one of"},
        {R"({"faults": [{"command": "", "action": "silent"}]})", "must not be empty"},
        {R"({"faults": [{"command": "MG"}]})", "must be one of"},
        {R"({"faults": [{"command": "MG", "action": "explode"}]})", "must be one of"},
        {R"({"faults": [{"command": "MG", "action": "reply"}]})", "needs \"text\""},
        {R"({"faults": [{"command": "MG", "action": "short"}]})", "needs \"bytes\""},
        {R"({"faults": [{"command": "MG", "action": "delay"}]})", "needs \"delayMs\""},
        {R"({"faults": [{"command": "MG", "action": "trickle"}]})", "needs \"gapMs\""},
        {R"({"faults": [{"command": "MG", "action": "silent", "text": "x"}]})", "does not go"},
        {R"({"faults": [{"command": "MG", "action": "dead", "delayMs": 1}]})", "does not go"},
        {R"({"faults": [{"command": "MG", "action": "silent", "forMs": 1}]})", "does not go"},
        {R"({"faults": [{"command": "MG", "action": "unplug", "forMs": -1}]})", "out of range"},
        {R"({"faults": [{"command": "MG", "action": "refuse", "reason": "12"}]})", "one character"},
        {R"({"faults": [{"frame": 0, "action": "dead"}]})", "out of range"},
        {R"({"faults": [{"command": "MG", "action": "silent", "times": -1}]})", "out of range"},
        {R"({"driverErrors": [{"function": "FT_Open", "call": 1}]})", "no such failing function"},
        {R"({"driverErrors": [{"function": "FT_Read"}]})", "exactly one of"},
        {R"({"driverErrors": [{"call": 1}]})", "needs \"function\""},
        {R"({"driverErrors": [{"function": "FT_Read", "call": 1, "status": 0}]})", "out of range"},
        {R"({"search": {"resultText": "x"}, "slaves": "y"})", "must be an array"},
        {nullptr, nullptr},
    };
    LoadScenario(R"({"mgState": 6})");
    Open();
    for (const BadScenario* scenario = bad; scenario->json != nullptr; ++scenario) {
        SCOPED_TRACE(scenario->json);
        EXPECT_EQ(SimLoadScenario(scenario->json), -1);
        const std::string error = SimLastError();
        EXPECT_NE(error.find(scenario->error), std::string::npos) << error;
    }
    EXPECT_EQ(Line("MG"), "Y6\r");
}

TEST_F(ScenarioTest, ResultTextTooLongForTheModuleCountIsRefused) {
    const std::string name(60, 'N');
    std::string json = R"({"slaves": [)";
    for (int i = 0; i < 1000; ++i) {
        json +=
            std::string(i > 0 ? "," : "") + R"({"id": "000000000000", "name": ")" + name + "\"}";
    }
    json += "]}";
    EXPECT_EQ(SimLoadScenario(json.c_str()), -1);
    EXPECT_NE(std::string(SimLastError()).find("longer than the module can report"),
              std::string::npos);
}

TEST_F(ScenarioTest, DeeplyNestedOrNullInputDoesNotCrash) {
    const std::string nested = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(SimLoadScenario(nested.c_str()), -1);
    EXPECT_EQ(SimLoadScenario(nullptr), -1);
    EXPECT_EQ(SimLoadScenarioFile(nullptr), -1);
    EXPECT_EQ(SimLoadScenarioFile("/nonexistent/scenario.json"), -1);
    EXPECT_NE(std::string(SimLastError()).find("cannot read"), std::string::npos);
    EXPECT_EQ(SimLoadScenarioFile("/"), -1);
}

TEST_F(ScenarioTest, LoadClosesTheDeviceAndClearsTheLogs) {
    Start();
    Line("OR");
    LoadScenario("{}");
    EXPECT_EQ(SimWriteCount(), 0);
    EXPECT_STREQ(SimWireLog(), "");
    DWORD waiting = 0;
    EXPECT_EQ(FT_GetQueueStatus(handle, &waiting), FT_INVALID_HANDLE);
}

TEST_F(ScenarioTest, DemoScenarioHasZomraSlavesAndRegisteredPositions) {
    ASSERT_EQ(SimLoadScenarioFile(KSIM_DEMO_SCENARIO), 0) << SimLastError();
    Open();
    EXPECT_STREQ(SimCommittedId(1), "00A0C9112233");
    Module("$02H1", 4);
    while (Digits(Module("$03", 9)) == "0001") {
    }
    std::string text;
    for (;;) {
        const int count = std::stoi(Digits(Module("$04", 9)), nullptr, 16);
        if (count == 0) {
            break;
        }
        const int piece = count < 100 ? count : 100;
        char command[8];
        std::snprintf(command, sizeof command, "$05H%02X", piece);
        const std::string reply = Module(command, piece + 5);
        text += reply.substr(5, static_cast<size_t>(piece));
    }
    EXPECT_NE(text.find("\r\n00A0C9112233,ZOMRA-T1,rssi -48\r\n"), std::string::npos);
    EXPECT_NE(text.find("Headset 300"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 6), "\r\nOK\r\n");
    EXPECT_EQ(SimViolations(), std::string());
}

#ifdef _WIN32
// Windows has no env command: the words of `environment` ("env -u NAME" removes NAME,
// "NAME=value" sets it) are applied to this process for the probe to inherit, and undone
// afterwards.
class ProbeEnvironment {
public:
    explicit ProbeEnvironment(const std::string& environment) {
        std::istringstream words(environment);
        std::string word;
        while (words >> word) {
            if (word == "env") {
                continue;
            }
            if (word == "-u") {
                words >> word;
                Set(word, "");
                continue;
            }
            const size_t equals = word.find('=');
            Set(word.substr(0, equals), word.substr(equals + 1));
        }
    }
    ~ProbeEnvironment() {
        for (auto it = previous.rbegin(); it != previous.rend(); ++it) {
            _putenv((it->first + "=" + it->second).c_str());
        }
    }

private:
    // An empty value removes the variable.
    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        previous.emplace_back(name, old != nullptr ? old : "");
        _putenv((name + "=" + value).c_str());
    }

    std::vector<std::pair<std::string, std::string>> previous;
};

std::string RunProbe(const std::string& environment) {
    ProbeEnvironment scoped(environment);
    std::string command = KSIM_ENV_PROBE;
    std::replace(command.begin(), command.end(), '/', '\\');
    command += " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(_popen(command.c_str(), "r"), _pclose);
#else
// Runs the probe program with the given environment and returns what it printed.
std::string RunProbe(const std::string& environment) {
    const std::string command = environment + " " + KSIM_ENV_PROBE + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
#endif
    std::string output;
    char buffer[256];
    size_t length = 0;
    while (pipe && (length = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) {
        output.append(buffer, length);
    }
    return output;
}

class EnvironmentTest : public ::testing::Test {
protected:
    const std::string state = ScratchPath("env_state.txt");
    const std::string wire = ScratchPath("env_wire.txt");
    const std::string broken = ScratchPath("env_broken.json");

    void SetUp() override {
        std::remove(state.c_str());
        std::remove(wire.c_str());
        std::ofstream(broken) << "{\"slaves\": 3}";
    }
    void TearDown() override {
        std::remove(state.c_str());
        std::remove(wire.c_str());
        std::remove(broken.c_str());
    }
};

TEST_F(EnvironmentTest, NoEnvironmentGivesTheDefaultScenario) {
    EXPECT_EQ(RunProbe("env -u KSIM_SCENARIO -u KSIM_STATE -u KSIM_WIRELOG"),
              "error=\nid1=000000000000\nviolations=");
}

TEST_F(EnvironmentTest, ScenarioAndWireLogFromTheEnvironment) {
    EXPECT_EQ(
        RunProbe(std::string("KSIM_SCENARIO=") + KSIM_DEMO_SCENARIO + " KSIM_WIRELOG=" + wire),
        "error=\nid1=00A0C9112233\nviolations=");
    EXPECT_TRUE(std::ifstream(wire).good());
}

TEST_F(EnvironmentTest, StateFileOverridesTheScenarioAtStart) {
    std::ofstream file(state);
    for (int p = 1; p <= 14; ++p) {
        char line[32];
        std::snprintf(line, sizeof line, "%02X=%s\n", p, p == 1 ? "0000000000AA" : "000000000000");
        file << line;
    }
    file.close();
    EXPECT_EQ(RunProbe(std::string("KSIM_SCENARIO=") + KSIM_DEMO_SCENARIO + " KSIM_STATE=" + state),
              "error=\nid1=0000000000AA\nviolations=");
}

TEST_F(EnvironmentTest, BadScenarioFileFallsBackToTheDefaultWithAMessage) {
    const std::string output = RunProbe("KSIM_SCENARIO=" + broken);
    EXPECT_EQ(output.rfind("ksim: scenario " + broken + ": slaves: must be an array", 0), 0u)
        << output;
    EXPECT_NE(output.find("id1=000000000000"), std::string::npos);
}

} // namespace
