#include "Master.h"

#include "Escape.h"
#include "Faults.h"

namespace {

struct LineCommand {
    const char* name;
    const char* suffix;
};

// The commands the master understands outside frames, with the argument each must carry.
const LineCommand lineCommands[] = {
    {"LS", ""},       {"MG", ""}, {"MW", ""}, {"MV", ""},         {"MO", "000000000"},
    {"OT", "000000"}, {"OR", ""}, {"XV", ""}, {nullptr, nullptr},
};

bool HexPair(const std::string& bytes, size_t position, int& value) {
    value = 0;
    for (size_t i = position; i < position + 2; ++i) {
        const char c = bytes[i];
        if (c >= '0' && c <= '9') {
            value = value * 16 + (c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value = value * 16 + (c - 'A' + 10);
        } else {
            return false;
        }
    }
    return true;
}

std::string ExecuteLine(CSimDevice& device, const std::string& line) {
    for (const LineCommand* command = lineCommands; command->name != nullptr; ++command) {
        if (line.compare(0, 2, command->name) != 0) {
            continue;
        }
        if (line.substr(2) != command->suffix) {
            device.Violation("line command " + std::string(command->name) +
                             " with a wrong argument: \"" + EscapeBytes(line) + "\"");
            return "N1\r";
        }
        const std::string name = command->name;
        if (name == "LS") {
            return "";
        }
        if (name == "MG") {
            return std::string("Y") + device.scenario.mgState + "\r";
        }
        if (name == "XV") {
            return device.scenario.xvConnected ? "Y1\r" : "Y0\r";
        }
        return "Y\r";
    }
    device.Violation("unknown line command \"" + EscapeBytes(line) + "\"");
    return "N2\r";
}

// Offers a received command to the first fault rule that applies, else carries it out.
void HandleCommand(CSimDevice& device, const std::string& key, bool frame,
                   const ReceivedCommand& command) {
    device.CommandReceived(key);
    const FaultRule* rule = device.MatchFault(key, frame);
    if (rule == nullptr) {
        PlayNoFault(device, command);
        return;
    }
    rule->action->handler(device, *rule, command);
}

void HandleLine(CSimDevice& device, const std::string& line) {
    ReceivedCommand command;
    command.carryOut = [&device, &line]() { return ExecuteLine(device, line); };
    command.refusal = [](const FaultRule& rule) {
        return std::string(1, rule.letter) + rule.reason + "\r";
    };
    HandleCommand(device, line.substr(0, 2), false, command);
}

// The frame's reply to the module's answer, with what the host did wrong recorded.
std::string FrameReply(CSimDevice& device, const std::string& payload, int replyBytes,
                       const ModuleAnswer& answer) {
    if (!answer.violation.empty()) {
        device.Violation(answer.violation + ": \"" + EscapeBytes(payload) + "\"");
    }
    if (answer.committed) {
        device.SaveState();
    }
    if (answer.expectedBytes > 0 && answer.expectedBytes != replyBytes) {
        device.Violation("frame asks " + std::to_string(replyBytes) + " reply bytes for $" +
                         answer.number + ", which answers " + std::to_string(answer.expectedBytes));
    }
    return FitReply(answer, replyBytes);
}

void HandleFrame(CSimDevice& device, const std::string& payload, int replyBytes) {
    ++device.frameCount;
    ReceivedCommand command;
    command.carryOut = [&device, &payload, replyBytes]() {
        return FrameReply(device, payload, replyBytes,
                          device.module.Handle(payload, device.clock.NowUs()));
    };
    command.refusal = [&device, &payload, replyBytes](const FaultRule&) {
        return FrameReply(device, payload, replyBytes, CModule::Refusal(payload));
    };
    HandleCommand(device, payload.substr(0, 3), true, command);
}

} // namespace

std::string FitReply(const ModuleAnswer& answer, int replyBytes) {
    const std::string header = "#" + answer.number + ":" + (answer.ok ? "K" : "E");
    if (replyBytes <= static_cast<int>(header.size())) {
        return header.substr(0, static_cast<size_t>(replyBytes > 0 ? replyBytes : 0));
    }
    const size_t dataLength = static_cast<size_t>(replyBytes) - header.size() - 1;
    std::string data = answer.ok ? answer.data : std::string(dataLength, '?');
    data.resize(dataLength, ' ');
    return header + data + "\r";
}

void ReceiveWrite(CSimDevice& device, const std::string& bytes) {
    device.KeepWrite(bytes);
    device.LogWire("> " + EscapeBytes(bytes));
    size_t position = 0;
    while (position < bytes.size() && !device.Gone()) {
        if (bytes.compare(position, 2, "MX") != 0) {
            const size_t cr = bytes.find('\r', position);
            if (cr == std::string::npos) {
                device.Violation("line command without CR dropped: \"" +
                                 EscapeBytes(bytes.substr(position)) + "\"");
                return;
            }
            HandleLine(device, bytes.substr(position, cr - position));
            position = cr + 1;
            continue;
        }
        const std::string rest = EscapeBytes(bytes.substr(position));
        int length = 0;
        int replyBytes = 0;
        if (bytes.size() - position < 6) {
            device.Violation("frame header incomplete: \"" + rest + "\"");
            return;
        }
        if (!HexPair(bytes, position + 2, length) || !HexPair(bytes, position + 4, replyBytes)) {
            device.Violation("frame length fields are not upper-case hex: \"" + rest + "\"");
            return;
        }
        if (length < 6 || replyBytes < 2) {
            device.Violation("frame length fields out of range: \"" + rest + "\"");
            return;
        }
        const size_t end = position + 2 + static_cast<size_t>(length);
        if (end > bytes.size()) {
            device.Violation("frame longer than the transfer: \"" + rest + "\"");
            return;
        }
        if (bytes[end - 1] != '\r') {
            device.Violation("frame without CR where its length puts it: \"" + rest + "\"");
            return;
        }
        HandleFrame(device, bytes.substr(position + 6, static_cast<size_t>(length) - 5),
                    replyBytes);
        position = end;
    }
}
