// The simulator's control functions, and its set-up from the environment at load time.
#include "Device.h"
#include "Scenario.h"

#pragma GCC visibility push(default)
#include "SimControl.h"
#pragma GCC visibility pop

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

// Files larger than this are not scenarios.
const std::streamoff maxScenarioFile = 4 << 20;

int LoadText(CSimDevice& device, const std::string& text) {
    Scenario scenario;
    std::string error;
    if (!ParseScenario(text, scenario, error)) {
        device.lastError = error;
        return -1;
    }
    device.lastError.clear();
    device.Load(scenario);
    return 0;
}

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    const std::streamoff size = file.tellg();
    if (size < 0 || size > maxScenarioFile) {
        error = path + " is not a scenario file";
        return false;
    }
    file.seekg(0);
    std::stringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

// Keeps the text a Sim function hands out alive until the thread's next such call.
const char* HandOut(const std::string& text) {
    thread_local std::string handedOut;
    handedOut = text;
    return handedOut.c_str();
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The demo and the end-to-end runs set the simulator up through the environment.
__attribute__((constructor)) void LoadFromEnvironment() {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    device.SetStateFile(Environment("KSIM_STATE"));
    device.SetWireLogFile(Environment("KSIM_WIRELOG"));
    const std::string path = Environment("KSIM_SCENARIO");
    if (path.empty()) {
        device.Load(Scenario());
        return;
    }
    std::string text;
    std::string error;
    if (ReadFile(path, text, error) && LoadText(device, text) == 0) {
        return;
    }
    std::fprintf(stderr, "ksim: scenario %s: %s; using the default scenario\n", path.c_str(),
                 error.empty() ? device.lastError.c_str() : error.c_str());
    device.Load(Scenario());
}

} // namespace

extern "C" {

int SimLoadScenario(const char* json) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    if (json == nullptr) {
        device.lastError = "no scenario text";
        return -1;
    }
    return LoadText(device, json);
}

int SimLoadScenarioFile(const char* path) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    std::string text;
    if (path == nullptr || !ReadFile(path, text, device.lastError)) {
        if (path == nullptr) {
            device.lastError = "no scenario file";
        }
        return -1;
    }
    return LoadText(device, text);
}

const char* SimLastError(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    return HandOut(device.lastError);
}

void SimReset(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    device.SetStateFile("");
    device.SetWireLogFile("");
    device.lastError.clear();
    device.Load(Scenario());
}

void SimUseVirtualTime(int on) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    device.clock.SetVirtual(on != 0);
}

int SimVirtualTimeOn(void) {
    // Called from every sleep of a test; it must not wait for the lock.
    return Device().clock.Virtual() ? 1 : 0;
}

void SimAdvanceUs(long long us) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    device.clock.Advance(us);
}

long long SimNowUs(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    return device.clock.NowUs();
}

int SimWriteCount(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    return static_cast<int>(device.writes.size());
}

int SimWriteData(int index, char* buffer, int size) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    if (index < 0 || static_cast<size_t>(index) >= device.writes.size()) {
        return -1;
    }
    const std::string& data = device.writes[static_cast<size_t>(index)];
    if (buffer != nullptr && size > 0) {
        data.copy(buffer, std::min(data.size(), static_cast<size_t>(size)));
    }
    return static_cast<int>(data.size());
}

const char* SimCallLog(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    return HandOut(device.callLog.Text());
}

const char* SimWireLog(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    return HandOut(device.wireLog.Text());
}

const char* SimViolations(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    return HandOut(device.violations.Text());
}

void SimClearLogs(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    device.callLog.Clear();
    device.wireLog.Clear();
    device.violations.Clear();
    device.writes.clear();
}

const char* SimCommittedId(int position) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    if (position < 1 || position > positionCount) {
        return HandOut("");
    }
    return HandOut(device.module.Committed()[static_cast<size_t>(position - 1)]);
}

void SimSetStateFile(const char* path) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    device.SetStateFile(path != nullptr ? path : "");
}

void SimSetWireLogFile(const char* path) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    device.SetWireLogFile(path != nullptr ? path : "");
}

int SimPendingBytes(void) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    return static_cast<int>(device.receiveQueue.size());
}

} // extern "C"
