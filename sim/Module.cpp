#include "Module.h"

#include <cstdio>

namespace {

const int ackBytes = 5;     // the header alone
const int valueBytes = 10;  // header, four digits, CR
const int countedExtra = 6; // header and CR around the characters a "$05" hands out

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
    return answer;
}

ModuleAnswer Value(const std::string& number, const std::string& digits) {
    ModuleAnswer answer;
    answer.number = number;
    answer.data = digits;
    return answer;
}

int HexPairValue(const std::string& pair) {
    return HexDigitValue(pair[0]) * 16 + HexDigitValue(pair[1]);
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

// Upper-case hex numbers of two digits sort as their values, so a range is a text range.
const CModule::CommandRow CModule::commands[] = {
    {"00", "00", argZero, &CModule::Idle, ackBytes},
    {"02", "02", argSwitch, &CModule::Search, ackBytes},
    {"03", "03", argNone, &CModule::Status, valueBytes},
    {"04", "04", argNone, &CModule::Count, valueBytes},
    {"05", "05", argCount, &CModule::Read, countedReply},
    {"A0", "A0", argSwitch, &CModule::Access, ackBytes},
    {"A1", "AF", argNone, &CModule::Query, valueBytes},
    {"A1", "AF", argAny, &CModule::Set, ackBytes},
    {"B1", "BF", argNone, &CModule::Query, valueBytes},
    {"B1", "BF", argAny, &CModule::Set, ackBytes},
    {"C1", "CC", argNone, &CModule::Query, valueBytes},
    {"C1", "CC", argAny, &CModule::Set, ackBytes},
    {"CD", "CD", argOne, &CModule::Commit, ackBytes},
    {"CE", "CE", argOne, &CModule::LoadWorking, ackBytes},
    {nullptr, nullptr, argNone, nullptr, 0},
};

bool CModule::ArgumentFits(ArgumentRule rule, bool hasArgument, const std::string& argument) {
    switch (rule) {
    case argNone:
        return !hasArgument;
    case argZero:
        return hasArgument && argument == "0";
    case argOne:
        return hasArgument && argument == "1";
    case argSwitch:
        return hasArgument && (argument == "0" || argument == "1");
    case argCount:
        return hasArgument && argument.size() == 2 && argument != "00";
    case argAny:
        return hasArgument;
    }
    return false;
}

ModuleAnswer CModule::Execute(const std::string& number, bool hasArgument,
                              const std::string& argument, long long nowUs) {
    bool known = false;
    for (const CommandRow* row = commands; row->first != nullptr; ++row) {
        if (number < row->first || number > row->last) {
            continue;
        }
        known = true;
        if (!ArgumentFits(row->argument, hasArgument, argument)) {
            continue;
        }
        ModuleAnswer answer = (this->*row->handler)(number, argument, nowUs);
        if (answer.ok) {
            answer.expectedBytes = row->replyBytes == countedReply
                                       ? HexPairValue(argument) + countedExtra
                                       : row->replyBytes;
        }
        return answer;
    }
    if (known) {
        return Error(number, "malformed argument to $" + number);
    }
    return Error(number, "unknown module command $" + number);
}

ModuleAnswer CModule::Idle(const std::string& number, const std::string&, long long) {
    searching = false;
    accessOpen = false;
    return Ack(number);
}

ModuleAnswer CModule::Search(const std::string& number, const std::string& argument,
                             long long nowUs) {
    searching = argument == "1";
    if (searching) {
        searchEndUs = nowUs + searchDurationUs;
        result.clear();
        readPosition = 0;
        Update(nowUs);
    }
    return Ack(number);
}

ModuleAnswer CModule::Status(const std::string& number, const std::string&, long long) {
    const unsigned busy = (searching || statusNeverClears) ? 1u : 0u;
    return Value(number, FourDigits(statusBits | busy));
}

ModuleAnswer CModule::Count(const std::string& number, const std::string&, long long) {
    size_t waiting = result.size() - readPosition;
    if (searching) {
        waiting = 0;
    } else if (countNeverDrains) {
        waiting = result.size();
    }
    return Value(number, FourDigits(static_cast<unsigned>(waiting)));
}

ModuleAnswer CModule::Read(const std::string& number, const std::string& argument, long long) {
    const size_t count = static_cast<size_t>(HexPairValue(argument));
    ModuleAnswer answer;
    answer.number = number;
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

ModuleAnswer CModule::Access(const std::string& number, const std::string& argument, long long) {
    accessOpen = argument == "1";
    return Ack(number);
}

ModuleAnswer CModule::Commit(const std::string& number, const std::string&, long long) {
    ModuleAnswer answer = CopyTable(number, true);
    answer.committed = answer.ok;
    return answer;
}

ModuleAnswer CModule::LoadWorking(const std::string& number, const std::string&, long long) {
    return CopyTable(number, false);
}

ModuleAnswer CModule::CopyTable(const std::string& number, bool toCommitted) {
    if (!accessOpen) {
        return Error(number, "$" + number + " while register access is closed");
    }
    for (int i = 0; i < registerCount; ++i) {
        std::string& group = committed[static_cast<size_t>(i / 3)];
        const size_t offset = static_cast<size_t>(i % 3) * 4;
        if (toCommitted) {
            group.replace(offset, 4, working[static_cast<size_t>(i)]);
        } else {
            working[static_cast<size_t>(i)] = group.substr(offset, 4);
        }
    }
    return Ack(number);
}

ModuleAnswer CModule::Query(const std::string& number, const std::string&, long long) {
    if (!accessOpen) {
        return Error(number, "register $" + number + " while access is closed");
    }
    return Value(number, working[static_cast<size_t>(RegisterIndex(number))]);
}

ModuleAnswer CModule::Set(const std::string& number, const std::string& argument, long long) {
    if (!accessOpen) {
        return Error(number, "register $" + number + " while access is closed");
    }
    if (argument.size() != 4) {
        return Error(number,
                     "register $" + number + " set to \"" + argument + "\", not four digits");
    }
    working[static_cast<size_t>(RegisterIndex(number))] = argument;
    return Ack(number);
}
