// tarvelo-cli through the provider on libftdi, with the simulated master at the USB level,
// against the same session through the simulated D2XX driver: the same bytes on the wire
// each way, exit status and committed table, and the bridge given back to the kernel's serial
// driver however the run ends. The programs run in real time; the scenarios keep the runs
// short.
#include "RunProgram.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string wire;
    std::string state;
    std::string kernel; // the USB stand-in's kernel drivers at the end, "1" for bound
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Each run has a folder of its own.
int runs = 0;

// Runs `args` on `scenario`: through the simulated D2XX driver, or, without it, through the
// provider that the staged copy of the library finds beside itself.
Outcome RunCli(bool viaProvider, const std::string& scenario,
               const std::vector<std::string>& args) {
    const fs::path dir = fs::path(SESSION_SCRATCH) /
                         ::testing::UnitTest::GetInstance()->current_test_info()->name() /
                         std::to_string(runs++) / (viaProvider ? "provider" : "d2xx");
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "scenario.json") << scenario;
    const ProgramRun run = RunProgram(viaProvider ? STAGED_CLI : CLI, args, dir.string(),
                                      {{"LD_LIBRARY_PATH", viaProvider ? USB_DIR : SIM_DIR},
                                       {"KSIM_SCENARIO", (dir / "scenario.json").string()},
                                       {"KSIM_STATE", (dir / "state.txt").string()},
                                       {"KSIM_WIRELOG", (dir / "wire.log").string()},
                                       {"KUSB_KERNEL_STATE", (dir / "kernel.txt").string()}});
    return {run.status, Slurp(dir / "wire.log"), Slurp(dir / "state.txt"),
            Slurp(dir / "kernel.txt").substr(0, 1)};
}

TEST(SessionTest, HealthyAndPulledCableEndAsThroughTheD2xxDriver) {
    const struct {
        const char* faults;
        int status;
        const char* committed; // a line the state file holds, "" for none
    } cases[] = {
        {"[]", 0, "03=00A0C9445566\n"},
        {R"([{"command": "$A7", "skip": 1, "action": "unplug"}])", 4, ""},
        {R"([{"command": "MG", "action": "refuse", "reason": "3"}])", 3, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        const std::string scenario = R"({"replyLatencyMs": 0, "faults": )" + std::string(c.faults) +
                                     R"(, "committedIds": {"1": "00A0C9112233"}})";
        const Outcome d2xx = RunCli(false, scenario, {"set", "3", "00A0C9445566"});
        const Outcome usb = RunCli(true, scenario, {"set", "3", "00A0C9445566"});
        EXPECT_EQ(d2xx.status, c.status);
        EXPECT_NE(d2xx.state.find(c.committed), std::string::npos) << d2xx.state;
        EXPECT_EQ(usb.status, d2xx.status);
        EXPECT_EQ(usb.wire, d2xx.wire);
        EXPECT_EQ(usb.state, d2xx.state);
        EXPECT_EQ(usb.kernel, "1") << "ftdi_sio bound again";
    }
}

} // namespace
