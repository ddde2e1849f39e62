#include "Module.h"

#include <cstdio>

namespace {

const int ackBytes = 5;    // the header alone
const int valueBytes = 10; // header, four digits, CR

bool IsUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool IsUpperHexText(const std::string& text) {
    for (const char c : text) {
        if (!IsUpperHex(c)) {
            return false;
        }
    }
    return !text.empty();
}

int HexDigitValue(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

std::string FourDigits(unsigned value) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", value & 0xFFFFu);
    return digits;
}

ModuleAnswer Ack(const std::string& number) {
    ModuleAnswer answer;
    answer.number = number;
    answer.expectedBytes = ackBytes;
    return answer;
}

ModuleAnswer Value(const std::string& number, const std::string& digits) {
    ModuleAnswer answer;
    answer.number = number;
    answer.data = digits;
    answer.expectedBytes = valueBytes;
    return answer;
}

} // namespace

int RegisterIndex(const std::string& number) {
    if (number.size() != 2 || !IsUpperHex(number[1]) || number[1] == '0') {
        return -1;
    }
    const int low = HexDigitValue(number[1]);
    if (number[0] == 'A' || number[0] == 'B') {
        return (number[0] - 'A') * 15 + low - 1;
    }
    if (number[0] == 'C' && low <= 0xC) {
        return 30 + low - 1;
    }
    return -1;
}

void CModule::Reset(const Scenario& scenario, const IdTable& committedTable) {
    searchDurationUs = scenario.searchDurationUs;
    statusBits = scenario.statusBits;
    statusNeverClears = scenario.statusNeverClears;
    countNeverDrains = scenario.countNeverDrains;
    resultSource = scenario.hasResultText ? scenario.resultText : BuildResultText(scenario);
    committed = committedTable;
    for (int i = 0; i < registerCount; ++i) {
        working[static_cast<size_t>(i)] =
            committed[static_cast<size_t>(i / 3)].substr(static_cast<size_t>(i % 3) * 4, 4);
    }
    accessOpen = false;
    searching = false;
    searchEndUs = 0;
    result.clear();
    readPosition = 0;
}

void CModule::Update(long long nowUs) {
    if (searching && nowUs >= searchEndUs) {
        searching = false;
        result = resultSource;
        readPosition = 0;
    }
}

ModuleAnswer CModule::Error(const std::string& number, const std::string& violation) {
    ModuleAnswer answer;
    answer.number = number;
    answer.ok = false;
    answer.violation = violation;
    return answer;
}

ModuleAnswer CModule::Refusal(const std::string& payload) {
    const bool numbered = payload.size() >= 3 && payload[0] == '$' && IsUpperHex(payload[1]) &&
                          IsUpperHex(payload[2]);
    return Error(numbered ? payload.substr(1, 2) : "??", "");
}

ModuleAnswer CModule::Handle(const std::string& payload, long long nowUs) {
    Update(nowUs);
    const std::string number = Refusal(payload).number;
    if (payload.empty() || payload.back() != '\r' || payload.find('\r') != payload.size() - 1) {
        return Error(number, "module command does not end in its one CR");
    }
    const std::string body = payload.substr(0, payload.size() - 1);
    if (number == "??" || (body.size() > 3 && body[3] != 'H')) {
        return Error(number, "malformed module command");
    }
    const bool hasArgument = body.size() > 3;
    const std::string argument = hasArgument ? body.substr(4) : "";
    if (hasArgument && !IsUpperHexText(argument)) {
        return Error(number, "module command argument is not upper-case hex");
    }
    return Execute(number, hasArgument, argument, nowUs);
}

ModuleAnswer CModule::Execute(const std::string& number, bool hasArgument,
                              const std::string& argument, long long nowUs) {
    const std::string malformed = "malformed argument to $" + number;
    if (number == "00") {
        if (!hasArgument || argument != "0") {
            return Error(number, malformed);
        }
        searching = false;
        accessOpen = false;
        return Ack(number);
    }
    if (number == "02") {
        if (!hasArgument || (argument != "0" && argument != "1")) {
            return Error(number, malformed);
        }
        searching = argument == "1";
        if (searching) {
            searchEndUs = nowUs + searchDurationUs;
            result.clear();
            readPosition = 0;
            Update(nowUs);
        }
        return Ack(number);
    }
    if (number == "03" || number == "04") {
        if (hasArgument) {
            return Error(number, malformed);
        }
        if (number == "03") {
            const unsigned busy = (searching || statusNeverClears) ? 1u : 0u;
            return Value(number, FourDigits(statusBits | busy));
        }
        size_t waiting = result.size() - readPosition;
        if (searching) {
            waiting = 0;
        } else if (countNeverDrains) {
            waiting = result.size();
        }
        return Value(number, FourDigits(static_cast<unsigned>(waiting)));
    }
    if (number == "05") {
        if (!hasArgument || argument.size() != 2 || argument == "00") {
            return Error(number, malformed);
        }
        return Read(argument);
    }
    if (number == "A0") {
        if (!hasArgument || (argument != "0" && argument != "1")) {
            return Error(number, malformed);
        }
        accessOpen = argument == "1";
        return Ack(number);
    }
    if (number == "CE" || number == "CD") {
        if (!hasArgument || argument != "1") {
            return Error(number, malformed);
        }
        if (!accessOpen) {
            return Error(number, "$" + number + " while register access is closed");
        }
        ModuleAnswer answer = Ack(number);
        for (int i = 0; i < registerCount; ++i) {
            std::string& group = committed[static_cast<size_t>(i / 3)];
            const size_t offset = static_cast<size_t>(i % 3) * 4;
            if (number == "CE") {
                working[static_cast<size_t>(i)] = group.substr(offset, 4);
            } else {
                group.replace(offset, 4, working[static_cast<size_t>(i)]);
            }
        }
        answer.committed = number == "CD";
        return answer;
    }
    const int index = RegisterIndex(number);
    if (index >= 0) {
        return Register(number, index, hasArgument, argument);
    }
    return Error(number, "unknown module command $" + number);
}

ModuleAnswer CModule::Read(const std::string& argument) {
    const size_t count =
        static_cast<size_t>(HexDigitValue(argument[0]) * 16 + HexDigitValue(argument[1]));
    ModuleAnswer answer;
    answer.number = "05";
    answer.expectedBytes = static_cast<int>(count) + 6;
    if (countNeverDrains) {
        // A module stuck on its buffer hands the same text out again and again.
        for (size_t i = 0; i < count && !result.empty(); ++i) {
            answer.data += result[readPosition];
            readPosition = (readPosition + 1) % result.size();
        }
    } else {
        answer.data = result.substr(readPosition, count);
        readPosition += answer.data.size();
    }
    if (answer.data.size() < count) {
        answer.violation = "read of " + std::to_string(count) + " result characters, " +
                           std::to_string(answer.data.size()) + " waiting";
        answer.data.resize(count, ' ');
    }
    return answer;
}

ModuleAnswer CModule::Register(const std::string& registerNumber, int index, bool hasArgument,
                               const std::string& argument) {
    if (!accessOpen) {
        return Error(registerNumber, "register $" + registerNumber + " while access is closed");
    }
    std::string& value = working[static_cast<size_t>(index)];
    if (!hasArgument) {
        return Value(registerNumber, value);
    }
    if (argument.size() != 4) {
        return Error(registerNumber, "register $" + registerNumber + " set to \"" + argument +
                                         "\", not four digits");
    }
    value = argument;
    return Ack(registerNumber);
}
