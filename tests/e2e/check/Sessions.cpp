#include "Sessions.h"

namespace e2e {

const std::vector<std::string>& RegisterCommands() {
    static const std::vector<std::string> registers = [] {
        std::vector<std::string> names;
        const char* digits = "123456789ABCDEF";
        for (char group : {'A', 'B', 'C'}) {
            for (const char* d = digits; *d != '\0'; ++d) {
                if (names.size() < 42)
                    names.push_back(std::string("$") + group + *d);
            }
        }
        return names;
    }();
    return registers;
}

namespace {

const size_t Positions = 14;

bool IsSetOf(const std::string& command, const std::string& reg) {
    return command.compare(0, reg.size() + 1, reg + "H") == 0;
}

// Reads one session starting just after its "$A0H1"; `at` ends after its "$A0H0" or at
// the first command that does not belong.
SESSION ReadSession(const std::vector<std::string>& commands, size_t& at) {
    const std::vector<std::string>& registers = RegisterCommands();
    auto next = [&]() -> std::string { return at < commands.size() ? commands[at] : ""; };
    auto bad = [&](const std::string& expected) {
        SESSION session{"bad", {}, ""};
        session.problem = at < commands.size()
                              ? "\"" + commands[at] + "\" where " + expected + " belongs"
                              : "the log ends where " + expected + " belongs";
        return session;
    };

    SESSION session;
    if (next() != "$CEH1")
        return bad("\"$CEH1\"");
    ++at;
    if (next() == registers[0]) {
        session.kind = "read";
        for (const std::string& reg : registers) {
            if (next() != reg)
                return bad("\"" + reg + "\"");
            ++at;
        }
    } else {
        session.kind = "write";
        std::vector<size_t> set;
        for (size_t position = 0; position < Positions; ++position) {
            if (!IsSetOf(next(), registers[3 * position])) {
                session.ids.push_back("-");
                continue;
            }
            std::string id;
            for (size_t k = 0; k < 3; ++k) {
                const std::string& reg = registers[3 * position + k];
                if (!IsSetOf(next(), reg))
                    return bad("a set of \"" + reg + "\"");
                id += next().substr(reg.size() + 1);
                ++at;
            }
            session.ids.push_back(id);
            set.push_back(position);
        }
        if (set.empty())
            return bad("a set");
        // The queries of the positions set, in order: the working registers read back before
        // the commit, and the stored table read back after it.
        auto readBack = [&]() -> std::string {
            for (size_t position : set) {
                for (size_t k = 0; k < 3; ++k) {
                    if (next() != registers[3 * position + k])
                        return "\"" + registers[3 * position + k] + "\"";
                    ++at;
                }
            }
            return "";
        };
        if (std::string missing = readBack(); !missing.empty())
            return bad(missing);
        if (next() == "$CDH1") {
            ++at;
            if (next() != "$CEH1")
                return bad("\"$CEH1\"");
            ++at;
            if (std::string missing = readBack(); !missing.empty())
                return bad(missing);
        } else {
            session.kind = "uncommitted";
        }
    }
    if (next() != "$A0H0")
        return bad("\"$A0H0\"");
    ++at;
    return session;
}

} // namespace

std::vector<SESSION> RegisterSessions(const std::vector<std::string>& commands) {
    std::vector<SESSION> sessions;
    size_t at = 0;
    while (at < commands.size()) {
        if (commands[at] != "$A0H1") {
            ++at;
            continue;
        }
        bool opened = at > 0 && commands[at - 1] == "$00H0";
        ++at;
        SESSION session = ReadSession(commands, at);
        if (session.kind != "bad" && !opened)
            session = SESSION{"bad", {}, "\"$A0H1\" not preceded by \"$00H0\""};
        sessions.push_back(session);
    }
    return sessions;
}

} // namespace e2e
