#include "Faults.h"

#include <cstring>

namespace {

// Queues `reply` with the rule's extra delay and byte gap.
void Answer(CFaultTarget& master, const FaultRule& rule, const std::string& reply) {
    master.QueueReply(reply, rule.delayUs, rule.gapUs);
}

void Silent(CFaultTarget&, const FaultRule&, const ReceivedCommand& command) {
    command.carryOut();
}

void Dead(CFaultTarget& master, const FaultRule& rule, const ReceivedCommand&) {
    master.GoAway(rule.forUs, false);
}

void Unplug(CFaultTarget& master, const FaultRule& rule, const ReceivedCommand&) {
    master.GoAway(rule.forUs, true);
}

void Refuse(CFaultTarget& master, const FaultRule& rule, const ReceivedCommand& command) {
    Answer(master, rule, command.refusal(rule));
}

void Reply(CFaultTarget& master, const FaultRule& rule, const ReceivedCommand& command) {
    command.carryOut();
    Answer(master, rule, rule.text);
}

void Short(CFaultTarget& master, const FaultRule& rule, const ReceivedCommand& command) {
    std::string reply = command.carryOut();
    if (reply.size() > static_cast<size_t>(rule.bytes)) {
        reply.resize(static_cast<size_t>(rule.bytes));
    }
    Answer(master, rule, reply);
}

// "delay" and "trickle": the normal reply, shaped by delayMs and gapMs.
void Shaped(CFaultTarget& master, const FaultRule& rule, const ReceivedCommand& command) {
    Answer(master, rule, command.carryOut());
}

const FaultActionRow actions[] = {
    {"silent", "", "", Silent},
    {"dead", "forMs", "", Dead},
    {"unplug", "forMs", "", Unplug},
    {"refuse", "reason letter delayMs gapMs", "", Refuse},
    {"reply", "text delayMs gapMs", "text", Reply},
    {"short", "bytes delayMs gapMs", "bytes", Short},
    {"delay", "delayMs gapMs", "delayMs", Shaped},
    {"trickle", "delayMs gapMs", "gapMs", Shaped},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace

const FaultActionRow* FindFaultAction(const std::string& name) {
    for (const FaultActionRow* row = actions; row->name != nullptr; ++row) {
        if (name == row->name) {
            return row;
        }
    }
    return nullptr;
}

std::string FaultActionNames() {
    std::string names;
    for (const FaultActionRow* row = actions; row->name != nullptr; ++row) {
        names += (names.empty() ? "" : ", ") + std::string(row->name);
    }
    return names;
}

bool KeyListed(const char* list, const std::string& key) {
    const size_t length = std::strlen(list);
    size_t start = 0;
    while (start < length) {
        size_t end = start;
        while (end < length && list[end] != ' ') {
            ++end;
        }
        if (key.compare(0, std::string::npos, list + start, end - start) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

void PlayNoFault(CFaultTarget& master, const ReceivedCommand& command) {
    master.QueueReply(command.carryOut(), 0, -1);
}
