#include "Device.h"

#include "Escape.h"
#include "StateFile.h"

namespace {

// A log past this size drops its older half.
const size_t logLimit = 8u << 20;
const size_t writeLimit = 1000000;

} // namespace

void CLog::Add(const std::string& line) {
    text += line;
    text += '\n';
    if (text.size() > logLimit) {
        const size_t cut = text.find('\n', text.size() / 2);
        text.erase(0, cut == std::string::npos ? text.size() : cut + 1);
    }
}

CSimDevice::CSimDevice() {
    Load(Scenario());
}

CSimDevice& Device() {
    static CSimDevice* device = new CSimDevice();
    return *device;
}

void CSimDevice::Load(const Scenario& next) {
    scenario = next;
    open = false;
    timeoutsSet = false;
    readTimeoutMs = 0;
    receiveQueue.clear();
    writes.clear();
    callLog.Clear();
    wireLog.Clear();
    violations.Clear();
    frameCount = 0;
    gone = false;
    unplugged = false;
    handleLost = false;
    backUs = -1;
    faultUse.assign(scenario.faults.size(), RuleUse());
    driverErrorUse.assign(scenario.driverErrors.size(), DriverErrorUse());
    callCounts.clear();

    // The module powers up with its persisted table.
    IdTable committed = scenario.committedIds;
    if (!statePath.empty()) {
        if (std::FILE* probe = std::fopen(statePath.c_str(), "rb")) {
            std::fclose(probe);
            std::string error;
            if (!ReadStateFile(statePath, committed, error)) {
                Violation(error);
            }
        }
    }
    module.Reset(scenario, committed);
}

void CSimDevice::KeepWrite(const std::string& bytes) {
    writes.push_back(bytes);
    if (writes.size() > writeLimit) {
        writes.erase(writes.begin(), writes.begin() + static_cast<long>(writeLimit / 2));
    }
}

void CSimDevice::Violation(const std::string& what) {
    violations.Add(what);
    if (wireLogFile != nullptr) {
        std::fprintf(wireLogFile, "! %s\n", what.c_str());
        std::fflush(wireLogFile);
    }
}

void CSimDevice::LogWire(const std::string& line) {
    wireLog.Add(line);
    if (wireLogFile != nullptr) {
        std::fprintf(wireLogFile, "%s\n", line.c_str());
        std::fflush(wireLogFile);
    }
}

void CSimDevice::SetWireLogFile(const std::string& path) {
    if (wireLogFile != nullptr) {
        std::fclose(wireLogFile);
        wireLogFile = nullptr;
    }
    if (!path.empty()) {
        wireLogFile = std::fopen(path.c_str(), "a");
        if (wireLogFile == nullptr) {
            lastError = "wire log " + path + " cannot be opened";
        }
    }
}

void CSimDevice::SaveState() {
    std::string error;
    if (!statePath.empty() && !WriteStateFile(statePath, module.Committed(), error)) {
        Violation(error);
    }
}

uint32_t CSimDevice::InjectedError(const std::string& function) {
    const int32_t call = ++callCounts[function];
    for (size_t i = 0; i < scenario.driverErrors.size(); ++i) {
        const DriverErrorRule& rule = scenario.driverErrors[i];
        DriverErrorUse& use = driverErrorUse[i];
        const bool due = rule.call > 0 ? call >= rule.call : use.armed;
        if (rule.function == function && due && (rule.times < 0 || use.failed < rule.times)) {
            ++use.failed;
            return rule.status;
        }
    }
    return 0;
}

void CSimDevice::CommandReceived(const std::string& key) {
    for (size_t i = 0; i < scenario.driverErrors.size(); ++i) {
        if (scenario.driverErrors[i].afterCommand == key) {
            driverErrorUse[i].armed = true;
        }
    }
}

const FaultRule* CSimDevice::MatchFault(const std::string& key, bool frame) {
    const FaultRule* chosen = nullptr;
    for (size_t i = 0; i < scenario.faults.size(); ++i) {
        const FaultRule& rule = scenario.faults[i];
        RuleUse& use = faultUse[i];
        const bool matches = rule.frame > 0
                                 ? frame && frameCount >= rule.frame
                                 : rule.command == key || (frame && rule.command == "MX");
        if (!matches) {
            continue;
        }
        ++use.seen;
        if (chosen == nullptr && use.seen > rule.skip &&
            (rule.times < 0 || use.applied < rule.times)) {
            ++use.applied;
            chosen = &rule;
        }
    }
    return chosen;
}

void CSimDevice::QueueReply(const std::string& bytes, long long delayUs, long long gapUs) {
    if (bytes.empty()) {
        return;
    }
    LogWire("< " + EscapeBytes(bytes));
    long long due = clock.NowUs() + scenario.replyLatencyUs + delayUs;
    if (!receiveQueue.empty() && receiveQueue.back().dueUs > due) {
        due = receiveQueue.back().dueUs;
    }
    const long long gap = gapUs >= 0 ? gapUs : scenario.byteGapUs;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            due += gap;
        }
        receiveQueue.push_back(QueuedByte{bytes[i], due});
    }
}

size_t CSimDevice::ArrivedBytes() const {
    const long long now = clock.NowUs();
    size_t count = 0;
    while (count < receiveQueue.size() && receiveQueue[count].dueUs <= now) {
        ++count;
    }
    return count;
}

void CSimDevice::GoAway(long long forUs, bool unplug) {
    gone = true;
    unplugged = unplug;
    backUs = forUs >= 0 ? clock.NowUs() + forUs : -1;
    if (unplug) {
        receiveQueue.clear();
        handleLost = true;
    }
}

bool CSimDevice::Gone() {
    if (gone && backUs >= 0 && clock.NowUs() >= backUs) {
        gone = false;
        unplugged = false;
    }
    return gone;
}
