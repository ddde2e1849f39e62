#include "Output.h"

#include "Arguments.h"

#include <cstdio>

namespace {

// A field of a slave line, with the characters that would break the line escaped.
std::string LineField(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool Unread(const std::vector<bool>& unread, size_t index) {
    return index < unread.size() && unread[index];
}

// Entry `index` of `table` as JSON: the ID, or null when unknown.
std::string EntryJson(const JournalTable& table, size_t index) {
    const bool known =
        index < table.ids.size() && index < table.unknown.size() && !table.unknown[index];
    return known ? JsonString(table.ids[index]) : "null";
}

std::string TableArray(const JournalTable& table) {
    std::string text = "[";
    for (size_t i = 0; i < static_cast<size_t>(PositionCount); ++i)
        text += (i ? "," : "") + EntryJson(table, i);
    return text + "]";
}

} // namespace

std::string SlaveLines(const std::vector<SLAVE>& slaves) {
    std::string text;
    for (const SLAVE& slave : slaves)
        text += LineField(slave.id) + "\t" + LineField(slave.name) + "\t" +
                LineField(slave.detail) + "\n";
    return text;
}

std::string SlaveJson(const std::vector<SLAVE>& slaves, bool completed) {
    std::string text =
        std::string("{\"completed\":") + (completed ? "true" : "false") + ",\"slaves\":[";
    for (size_t i = 0; i < slaves.size(); ++i) {
        text += (i ? "," : "") + std::string("{\"id\":") + JsonString(slaves[i].id) +
                ",\"name\":" + JsonString(slaves[i].name) +
                ",\"detail\":" + JsonString(slaves[i].detail) + "}";
    }
    return text + "]}\n";
}

std::string TableLines(const std::vector<std::string>& table, const std::vector<bool>& unread) {
    std::string text;
    for (size_t i = 0; i < table.size() && i < static_cast<size_t>(PositionCount); ++i)
        text += PositionLabel(static_cast<int>(i) + 1) + " " +
                (Unread(unread, i) ? std::string(UnreadText) : table[i]) + "\n";
    return text;
}

std::string TableJson(const std::vector<std::string>& table, const std::vector<bool>& unread,
                      bool complete) {
    std::string text =
        std::string("{\"completed\":") + (complete ? "true" : "false") + ",\"positions\":[";
    for (size_t i = 0; i < table.size() && i < static_cast<size_t>(PositionCount); ++i) {
        text += (i ? "," : "") + std::string("{\"position\":\"") +
                PositionLabel(static_cast<int>(i) + 1) +
                "\",\"id\":" + (Unread(unread, i) ? "null" : JsonString(table[i])) + "}";
    }
    return text + "]}\n";
}

std::string BridgeLines(const std::vector<BRIDGE>& bridges) {
    std::string text;
    for (const BRIDGE& bridge : bridges)
        text += std::to_string(bridge.index) + "\t" + LineField(bridge.serial) + "\t" +
                LineField(bridge.description) + "\n";
    return text;
}

std::string BridgeJson(const std::vector<BRIDGE>& bridges) {
    std::string text = "{\"bridges\":[";
    for (size_t i = 0; i < bridges.size(); ++i) {
        text += (i ? "," : "") + std::string("{\"index\":") + std::to_string(bridges[i].index) +
                ",\"serial\":" + JsonString(bridges[i].serial) +
                ",\"description\":" + JsonString(bridges[i].description) + "}";
    }
    return text + "]}\n";
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char code = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (code < 0x20 || code >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(code));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string HistoryLines(const std::vector<JournalSession>& sessions) {
    std::string text;
    for (const JournalSession& session : sessions) {
        text += LineField(session.time) + "\t" + LineField(session.bridge) + "\t" +
                LineField(session.frontEnd) + "\t" + VerdictText(session.verdict) + "\n";
        for (const int position : ChangedPositions(session)) {
            const size_t index = static_cast<size_t>(position - 1);
            const bool read = !session.before.unknown[index];
            text += "  " + PositionLabel(position) + " " +
                    (read ? session.before.ids[index] : std::string("not read")) + " -> " +
                    session.intended.ids[index] + "\n";
        }
    }
    return text;
}

std::string HistoryJson(const std::vector<JournalSession>& sessions, int brokenLines) {
    std::string text = "{\"brokenLines\":" + std::to_string(brokenLines) + ",\"sessions\":[";
    for (size_t n = 0; n < sessions.size(); ++n) {
        const JournalSession& session = sessions[n];
        const bool finished = session.verdict != jvUnfinished;
        text += (n ? "," : "") + std::string("{\"session\":") + JsonString(session.id) +
                ",\"time\":" + JsonString(session.time) +
                ",\"endTime\":" + (finished ? JsonString(session.endTime) : "null") +
                ",\"frontEnd\":" + JsonString(session.frontEnd) +
                ",\"bridge\":" + JsonString(session.bridge) +
                ",\"bridgeDescription\":" + JsonString(session.description) +
                ",\"verdict\":" + JsonString(VerdictText(session.verdict)) + ",\"changes\":[";
        const std::vector<int> changed = ChangedPositions(session);
        for (size_t c = 0; c < changed.size(); ++c) {
            const size_t index = static_cast<size_t>(changed[c] - 1);
            text += (c ? "," : "") + std::string("{\"position\":\"") + PositionLabel(changed[c]) +
                    "\",\"before\":" + EntryJson(session.before, index) +
                    ",\"after\":" + EntryJson(session.intended, index) + "}";
        }
        text += "],\"before\":" + TableArray(session.before) +
                ",\"intended\":" + TableArray(session.intended) +
                ",\"verified\":" + (finished ? TableArray(session.verified) : "null") + "}";
    }
    return text + "]}\n";
}
