#include "Scenario.h"

#include "Faults.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <initializer_list>

using nlohmann::json;

namespace {

// The module reports its result length in four hex digits.
const size_t maxResultLength = 0xFFFF;
// Longest time a scenario may name: about eleven days.
const double maxMs = 1e9;

const char* const failingFunctions[] = {
    "FT_GetQueueStatus",  "FT_Read",
    "FT_Write",           "FT_Purge",
    "FT_SetTimeouts",     "FT_SetUSBParameters",
    "FT_SetLatencyTimer", "FT_Close",
    "FT_ResetDevice",     nullptr,
};

// Reads typed values out of a JSON object and remembers the first thing that is wrong.
class CReader {
public:
    std::string error;

    bool Fail(const std::string& where, const std::string& why) {
        if (error.empty()) {
            error = where + ": " + why;
        }
        return false;
    }

    bool OnlyKeys(const json& object, const std::string& where,
                  std::initializer_list<const char*> allowed) {
        if (!object.is_object()) {
            return Fail(where, "must be an object");
        }
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool known = false;
            for (const char* key : allowed) {
                known = known || it.key() == key;
            }
            if (!known) {
                return Fail(where, "unknown key \"" + it.key() + "\"");
            }
        }
        return true;
    }

    bool Integer(const json& object, const char* key, const std::string& where, long long min,
                 long long max, long long& value) {
        const auto it = object.find(key);
        if (it == object.end()) {
            return true;
        }
        const std::string name = where + "." + key;
        if (it->is_number_unsigned()) {
            const auto number = it->get<uint64_t>();
            if (number > static_cast<uint64_t>(max)) {
                return Fail(name, "out of range");
            }
            value = static_cast<long long>(number);
        } else if (it->is_number_integer()) {
            value = it->get<int64_t>();
        } else {
            return Fail(name, "must be an integer");
        }
        if (value < min || value > max) {
            return Fail(name, "out of range");
        }
        return true;
    }

    bool Int32(const json& object, const char* key, const std::string& where, long long min,
               long long max, int32_t& value) {
        long long wide = value;
        const bool ok = Integer(object, key, where, min, max, wide);
        value = static_cast<int32_t>(wide);
        return ok;
    }

    bool Milliseconds(const json& object, const char* key, const std::string& where,
                      long long& us) {
        const auto it = object.find(key);
        if (it == object.end()) {
            return true;
        }
        const std::string name = where + "." + key;
        if (!it->is_number()) {
            return Fail(name, "must be a number of milliseconds");
        }
        const double ms = it->get<double>();
        if (!std::isfinite(ms) || ms < 0 || ms > maxMs) {
            return Fail(name, "out of range");
        }
        us = static_cast<long long>(std::llround(ms * 1000.0));
        return true;
    }

    bool Boolean(const json& object, const char* key, const std::string& where, bool& value) {
        const auto it = object.find(key);
        if (it == object.end()) {
            return true;
        }
        if (!it->is_boolean()) {
            return Fail(where + "." + key, "must be true or false");
        }
        value = it->get<bool>();
        return true;
    }

    bool Text(const json& object, const char* key, const std::string& where, std::string& value) {
        const auto it = object.find(key);
        if (it == object.end()) {
            return true;
        }
        if (!it->is_string()) {
            return Fail(where + "." + key, "must be a string");
        }
        value = it->get<std::string>();
        return true;
    }

    bool Character(const json& object, const char* key, const std::string& where, char& value) {
        std::string text(1, value);
        if (!Text(object, key, where, text)) {
            return false;
        }
        if (text.size() != 1) {
            return Fail(where + "." + key, "must be one character");
        }
        value = text[0];
        return true;
    }
};

// The keys a fault rule may carry besides which commands it matches and its action; which
// of them an action takes is in its row (Faults.cpp).
struct FaultKey {
    const char* key;
    bool (*read)(CReader& reader, const json& item, const std::string& where, FaultRule& rule);
};

const FaultKey faultKeys[] = {
    {"reason",
     [](CReader& reader, const json& item, const std::string& where, FaultRule& rule) {
         return reader.Character(item, "reason", where, rule.reason);
     }},
    {"letter",
     [](CReader& reader, const json& item, const std::string& where, FaultRule& rule) {
         return reader.Character(item, "letter", where, rule.letter);
     }},
    {"text", [](CReader& reader, const json& item, const std::string& where,
                FaultRule& rule) { return reader.Text(item, "text", where, rule.text); }},
    {"bytes",
     [](CReader& reader, const json& item, const std::string& where, FaultRule& rule) {
         return reader.Int32(item, "bytes", where, 0, 0xFFFF, rule.bytes);
     }},
    {"delayMs",
     [](CReader& reader, const json& item, const std::string& where, FaultRule& rule) {
         return reader.Milliseconds(item, "delayMs", where, rule.delayUs);
     }},
    {"gapMs",
     [](CReader& reader, const json& item, const std::string& where, FaultRule& rule) {
         return reader.Milliseconds(item, "gapMs", where, rule.gapUs);
     }},
    {"forMs",
     [](CReader& reader, const json& item, const std::string& where, FaultRule& rule) {
         return reader.Milliseconds(item, "forMs", where, rule.forUs);
     }},
    {nullptr, nullptr},
};

bool IsFaultKey(const std::string& key) {
    for (const char* common : {"command", "frame", "skip", "times", "action"}) {
        if (key == common) {
            return true;
        }
    }
    for (const FaultKey* entry = faultKeys; entry->key != nullptr; ++entry) {
        if (key == entry->key) {
            return true;
        }
    }
    return false;
}

bool ReadFault(CReader& reader, const json& item, const std::string& where, FaultRule& rule) {
    if (!item.is_object()) {
        return reader.Fail(where, "must be an object");
    }
    for (auto it = item.begin(); it != item.end(); ++it) {
        if (!IsFaultKey(it.key())) {
            return reader.Fail(where, "unknown key \"" + it.key() + "\"");
        }
    }
    const bool hasCommand = item.contains("command");
    const bool hasFrame = item.contains("frame");
    if (hasCommand == hasFrame) {
        return reader.Fail(where, "needs exactly one of \"command\" and \"frame\"");
    }
    if (!reader.Text(item, "command", where, rule.command) ||
        !reader.Int32(item, "frame", where, 1, INT32_MAX, rule.frame) ||
        !reader.Int32(item, "skip", where, 0, INT32_MAX, rule.skip) ||
        !reader.Int32(item, "times", where, 0, INT32_MAX, rule.times)) {
        return false;
    }
    if (hasCommand && rule.command.empty()) {
        return reader.Fail(where + ".command", "must not be empty");
    }
    std::string action;
    if (!reader.Text(item, "action", where, action)) {
        return false;
    }
    rule.action = FindFaultAction(action);
    if (rule.action == nullptr) {
        return reader.Fail(where + ".action", "must be one of " + FaultActionNames());
    }
    for (const FaultKey* entry = faultKeys; entry->key != nullptr; ++entry) {
        const bool present = item.contains(entry->key);
        if (present && !KeyListed(rule.action->keys, entry->key)) {
            return reader.Fail(where + "." + entry->key, "does not go with action " + action);
        }
        if (!present && KeyListed(rule.action->required, entry->key)) {
            return reader.Fail(where,
                               "action " + action + " needs \"" + std::string(entry->key) + "\"");
        }
    }
    for (const FaultKey* entry = faultKeys; entry->key != nullptr; ++entry) {
        if (!entry->read(reader, item, where, rule)) {
            return false;
        }
    }
    return true;
}

bool ReadDriverError(CReader& reader, const json& item, const std::string& where,
                     DriverErrorRule& rule) {
    if (!reader.OnlyKeys(item, where, {"function", "status", "call", "afterCommand", "times"})) {
        return false;
    }
    if (!item.contains("function")) {
        return reader.Fail(where, "needs \"function\"");
    }
    if (item.contains("call") == item.contains("afterCommand")) {
        return reader.Fail(where, "needs exactly one of \"call\" and \"afterCommand\"");
    }
    long long status = rule.status;
    if (!reader.Text(item, "function", where, rule.function) ||
        !reader.Integer(item, "status", where, 1, UINT32_MAX, status) ||
        !reader.Int32(item, "call", where, 1, INT32_MAX, rule.call) ||
        !reader.Text(item, "afterCommand", where, rule.afterCommand) ||
        !reader.Int32(item, "times", where, 0, INT32_MAX, rule.times)) {
        return false;
    }
    rule.status = static_cast<uint32_t>(status);
    if (item.contains("afterCommand") && rule.afterCommand.empty()) {
        return reader.Fail(where + ".afterCommand", "must not be empty");
    }
    const char* const* name = failingFunctions;
    while (*name != nullptr && rule.function != *name) {
        ++name;
    }
    if (*name == nullptr) {
        return reader.Fail(where + ".function",
                           "no such failing function \"" + rule.function + "\"");
    }
    return true;
}

bool ReadSlave(CReader& reader, const json& item, const std::string& where, SlaveEntry& slave) {
    if (!reader.OnlyKeys(item, where, {"id", "name", "detail"})) {
        return false;
    }
    if (!item.contains("id") || !item.contains("name")) {
        return reader.Fail(where, "needs \"id\" and \"name\"");
    }
    if (!reader.Text(item, "id", where, slave.id) ||
        !reader.Text(item, "name", where, slave.name) ||
        !reader.Text(item, "detail", where, slave.detail)) {
        return false;
    }
    for (const std::string* field : {&slave.id, &slave.name, &slave.detail}) {
        if (field->find_first_of(",\r\n") != std::string::npos) {
            return reader.Fail(where, "fields may not contain a comma, CR or LF");
        }
    }
    return true;
}

bool ReadBridge(CReader& reader, const json& item, const std::string& where, BridgeEntry& bridge) {
    if (!reader.OnlyKeys(item, where, {"serial", "description"}) ||
        !reader.Text(item, "serial", where, bridge.serial) ||
        !reader.Text(item, "description", where, bridge.description)) {
        return false;
    }
    // D2XX hands the strings out in 64-byte buffers.
    if (bridge.serial.empty() || bridge.serial.size() > 63 || bridge.description.size() > 63) {
        return reader.Fail(where,
                           "needs a serial of 1 to 63 and a description of at most 63 characters");
    }
    return true;
}

bool ReadCommittedIds(CReader& reader, const json& table, Scenario& scenario) {
    if (!table.is_object()) {
        return reader.Fail("committedIds", "must be an object");
    }
    for (auto it = table.begin(); it != table.end(); ++it) {
        int position = 0;
        for (int p = 1; p <= positionCount; ++p) {
            if (it.key() == std::to_string(p)) {
                position = p;
            }
        }
        const std::string where = "committedIds." + it.key();
        if (position == 0) {
            return reader.Fail(where, "positions are \"1\" to \"14\"");
        }
        if (!it->is_string() || !IsDeviceId(it->get<std::string>())) {
            return reader.Fail(where, "must be 12 upper-case hexadecimal digits");
        }
        scenario.committedIds[static_cast<size_t>(position - 1)] = it->get<std::string>();
    }
    return true;
}

bool ReadSearch(CReader& reader, const json& search, Scenario& scenario) {
    const std::string where = "search";
    if (!reader.OnlyKeys(
            search, where,
            {"durationMs", "statusBits", "statusNeverClears", "countNeverDrains", "resultText"})) {
        return false;
    }
    long long bits = scenario.statusBits;
    if (!reader.Milliseconds(search, "durationMs", where, scenario.searchDurationUs) ||
        !reader.Integer(search, "statusBits", where, 0, 0xFFFF, bits) ||
        !reader.Boolean(search, "statusNeverClears", where, scenario.statusNeverClears) ||
        !reader.Boolean(search, "countNeverDrains", where, scenario.countNeverDrains) ||
        !reader.Text(search, "resultText", where, scenario.resultText)) {
        return false;
    }
    scenario.statusBits = static_cast<uint32_t>(bits);
    scenario.hasResultText = search.contains("resultText");
    return true;
}

bool ReadMgState(CReader& reader, const json& root, Scenario& scenario) {
    const auto it = root.find("mgState");
    if (it == root.end()) {
        return true;
    }
    if (it->is_number()) {
        long long digit = 0;
        if (!reader.Integer(root, "mgState", "scenario", 0, 9, digit)) {
            return false;
        }
        scenario.mgState = static_cast<char>('0' + digit);
        return true;
    }
    return reader.Character(root, "mgState", "scenario", scenario.mgState);
}

template <typename Entry, typename ReadFn>
bool ReadList(CReader& reader, const json& root, const char* key, std::vector<Entry>& list,
              ReadFn read) {
    const auto it = root.find(key);
    if (it == root.end()) {
        return true;
    }
    if (!it->is_array()) {
        return reader.Fail(key, "must be an array");
    }
    for (size_t i = 0; i < it->size(); ++i) {
        Entry entry;
        if (!read(reader, (*it)[i], std::string(key) + "[" + std::to_string(i) + "]", entry)) {
            return false;
        }
        list.push_back(entry);
    }
    return true;
}

bool ReadScenario(CReader& reader, const json& root, Scenario& scenario) {
    if (!reader.OnlyKeys(root, "scenario",
                         {"openStatus", "purgeFailures", "purgeStatus", "replyLatencyMs",
                          "byteGapMs", "mgState", "xvConnected", "slaves", "committedIds", "search",
                          "faults", "driverErrors", "otherBridges", "masterIndex"})) {
        return false;
    }
    long long openStatus = 0;
    long long masterIndex = 0;
    long long purgeFailures = 0;
    long long purgeStatus = 4;
    if (!reader.Integer(root, "openStatus", "scenario", 0, UINT32_MAX, openStatus) ||
        !reader.Integer(root, "purgeFailures", "scenario", 0, INT32_MAX, purgeFailures) ||
        !reader.Integer(root, "purgeStatus", "scenario", 1, UINT32_MAX, purgeStatus) ||
        !reader.Milliseconds(root, "replyLatencyMs", "scenario", scenario.replyLatencyUs) ||
        !reader.Milliseconds(root, "byteGapMs", "scenario", scenario.byteGapUs) ||
        !ReadMgState(reader, root, scenario) ||
        !reader.Boolean(root, "xvConnected", "scenario", scenario.xvConnected)) {
        return false;
    }
    scenario.openStatus = static_cast<uint32_t>(openStatus);
    if (!ReadList(reader, root, "slaves", scenario.slaves, ReadSlave) ||
        !ReadList(reader, root, "faults", scenario.faults, ReadFault) ||
        !ReadList(reader, root, "driverErrors", scenario.driverErrors, ReadDriverError) ||
        !ReadList(reader, root, "otherBridges", scenario.otherBridges, ReadBridge) ||
        !reader.Integer(root, "masterIndex", "scenario", 0,
                        static_cast<long long>(scenario.otherBridges.size()), masterIndex)) {
        return false;
    }
    scenario.masterIndex = static_cast<uint32_t>(masterIndex);
    if (root.contains("committedIds") &&
        !ReadCommittedIds(reader, root["committedIds"], scenario)) {
        return false;
    }
    if (root.contains("search") && !ReadSearch(reader, root["search"], scenario)) {
        return false;
    }
    if (purgeFailures > 0) {
        DriverErrorRule purge;
        purge.function = "FT_Purge";
        purge.status = static_cast<uint32_t>(purgeStatus);
        purge.call = 1;
        purge.times = static_cast<int32_t>(purgeFailures);
        scenario.driverErrors.push_back(purge);
    }
    const size_t resultLength =
        scenario.hasResultText ? scenario.resultText.size() : BuildResultText(scenario).size();
    if (resultLength > maxResultLength) {
        return reader.Fail("slaves", "the result text is longer than the module can report");
    }
    return true;
}

} // namespace

Scenario::Scenario() {
    committedIds.fill("000000000000");
}

std::string BuildResultText(const Scenario& scenario) {
    std::string text;
    for (const SlaveEntry& slave : scenario.slaves) {
        text += "\r\n" + slave.id + "," + slave.name + "," + slave.detail + "\r\n";
    }
    text += "\r\nOK\r\n";
    return text;
}

bool IsDeviceId(const std::string& text) {
    if (text.size() != 12) {
        return false;
    }
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error) {
    CReader reader;
    bool ok = false;
    try {
        const json root = json::parse(text, nullptr, false);
        if (root.is_discarded()) {
            error = "not valid JSON";
            return false;
        }
        ok = ReadScenario(reader, root, scenario);
    } catch (const std::exception& e) {
        reader.Fail("scenario", e.what());
    }
    error = reader.error;
    return ok;
}
