#include "Arguments.h"

#include "program/btdevice/Btdevice.h"

#include <cctype>
#include <cstdio>

const char* const UsageText =
    "Usage: tarvelo-cli COMMAND [ARGUMENTS]\n"
    "Pairs KESTRAVION slave units with the master unit on the USB port.\n"
    "\n"
    "  search [--all] [--json]   search for slaves; prints ID<TAB>NAME<TAB>DETAIL of those\n"
    "                            named ZOMRA..., --all every record\n"
    "  read [--json]             prints the 14 positions, \"01 00A0C9112233\" ...\n"
    "  set POS ID [POS ID ...]   registers ID at POS, writes the table, reads it back\n"
    "  release POS [POS ...]     the same with 000000000000\n"
    "  backup FILE               writes the table to FILE, one line \"01=ID\" per position\n"
    "  restore FILE              writes such a file to the master, checked as set is\n"
    "  devices [--json]          lists the USB bridges attached: INDEX<TAB>SERIAL<TAB>DESCRIPTION\n"
    "  history [--json]          lists the table writes journalled, newest first, with their\n"
    "                            changes (with --device, that bridge's only); reads only the\n"
    "                            journal\n"
    "  undo                      writes back what the last saved write of the journal to\n"
    "                            this master replaced, if the master still holds what it saved\n"
    "  --device SERIAL           opens the bridge with that serial number (else the first)\n"
    "  --wait SECONDS            waits up to SECONDS for the master unit to be attached\n"
    "                            and to answer (0 to 86400; without it, none)\n"
    "  -n N                      history: the newest N sessions only\n"
    "  --help, --version\n"
    "\n"
    "POS is 1 to 14, or the grid's 01 to 0E. ID is 12 hexadecimal digits.\n"
    "config.ini is read from the working directory when there is one (never created).\n"
    "Exit status: 0 done, 2 bad input or usage, 3 the master unit is not prepared,\n"
    "4 the write, its read-back, a read or a search failed, 5 another program of the\n"
    "KESTRAVION family is running.\n";

namespace {

struct CommandName {
    const char* name;
    CliCommand command;
};

// The commands, then an end row.
const CommandName Commands[] = {
    {"search", cmSearch},   {"read", cmRead},       {"set", cmSet},
    {"release", cmRelease}, {"backup", cmBackup},   {"restore", cmRestore},
    {"devices", cmDevices}, {"history", cmHistory}, {"undo", cmUndo},
    {nullptr, cmHelp},
};

bool Fail(std::string& why, const std::string& text) {
    why = text;
    return false;
}

// Checks one ID argument and gives it the module's upper case.
bool TakeId(const std::string& text, int position, std::string& id, std::string& why) {
    if (CheckRegistration({}, position, text) == rvMalformedId)
        return Fail(why, "ID \"" + text + "\" for position " + PositionLabel(position) +
                             " is not 12 hexadecimal digits");
    id = RegisteredForm(text);
    return true;
}

// SECONDS of --wait: decimal digits only, 0 to MaxWaitSeconds.
bool TakeSeconds(const std::string& text, int& seconds, std::string& why) {
    // Six digits at most, so that the value is checked before it could overflow.
    const bool digits = !text.empty() && text.size() <= 6 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    seconds = 0;
    for (size_t i = 0; digits && i < text.size(); ++i)
        seconds = seconds * 10 + (text[i] - '0');
    if (!digits || seconds > MaxWaitSeconds)
        return Fail(why, "--wait needs SECONDS, a whole number from 0 to " +
                             std::to_string(MaxWaitSeconds));
    return true;
}

// A count of sessions: 1 to 9 decimal digits, not 0, with no sign or blank.
bool TakeCount(const std::string& text, int& count) {
    count = 0;
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    count = std::stoi(text);
    return count > 0;
}

bool TakePosition(const std::string& text, int& position, std::string& why) {
    position = ParsePosition(text);
    if (position == 0)
        return Fail(why, "position \"" + text + "\" is not 1 to 14 (or 01 to 0E)");
    return true;
}

} // namespace

int ParsePosition(const std::string& text) {
    if (text.size() == 2 && text[0] == '0') {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
        if (c >= '1' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'E')
            return c - 'A' + 10;
        return 0;
    }
    if (text.empty() || text.size() > 2 || text[0] == '0')
        return 0;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= PositionCount ? value : 0;
}

bool ParseArguments(const std::vector<std::string>& args, Request& request, std::string& why) {
    request = Request();
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            request.command = cmHelp;
            return true;
        }
        if (arg == "--version") {
            request.command = cmVersion;
            return true;
        }
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--device" || arg.rfind("--device=", 0) == 0) {
            const bool joined = arg.size() > 8;
            if (!joined && i + 1 >= args.size())
                return Fail(why, "--device needs the bridge's SERIAL");
            request.device = joined ? arg.substr(9) : args[++i];
            request.deviceGiven = true;
            // D2XX hands serial numbers out in 64-byte buffers.
            if (request.device.empty() || request.device.size() > 63)
                return Fail(why, "--device needs a SERIAL of 1 to 63 characters");
        } else if (arg == "--wait" || arg.rfind("--wait=", 0) == 0) {
            const bool joined = arg.size() > 6;
            if (!joined && i + 1 >= args.size())
                return Fail(why, "--wait needs SECONDS");
            if (!TakeSeconds(joined ? arg.substr(7) : args[++i], request.waitSeconds, why))
                return false;
            request.waitGiven = true;
        } else if (arg == "-n") {
            if (i + 1 >= args.size() || !TakeCount(args[++i], request.count))
                return Fail(why, "-n needs a count of sessions, 1 to 999999999");
        } else if (arg == "--all")
            request.all = true;
        else if (arg == "--json")
            request.json = true;
        else if (arg.size() > 1 && arg[0] == '-')
            return Fail(why, "unknown option \"" + arg + "\"");
        else
            words.push_back(arg);
    }
    if (words.empty())
        return Fail(why, "no command given (try --help)");

    const CommandName* found = Commands;
    while (found->name != nullptr && words[0] != found->name)
        ++found;
    if (found->name == nullptr)
        return Fail(why, "unknown command \"" + words[0] + "\"");
    request.command = found->command;
    const std::vector<std::string> operands(words.begin() + 1, words.end());

    if (request.all && request.command != cmSearch)
        return Fail(why, "--all belongs to search only");
    if (request.json && request.command != cmSearch && request.command != cmRead &&
        request.command != cmDevices && request.command != cmHistory)
        return Fail(why, "--json belongs to search, read, devices and history only");
    if (request.count > 0 && request.command != cmHistory)
        return Fail(why, "-n belongs to history only");
    if (request.deviceGiven && request.command == cmDevices)
        return Fail(why, "--device does not belong to devices");
    if (request.waitGiven && request.command == cmDevices)
        return Fail(why, "--wait does not belong to devices");

    switch (request.command) {
    case cmSearch:
    case cmRead:
    case cmDevices:
    case cmHistory:
    case cmUndo:
        if (!operands.empty())
            return Fail(why, words[0] + " takes no arguments");
        return true;
    case cmBackup:
    case cmRestore:
        if (operands.size() != 1)
            return Fail(why, words[0] + " needs one FILE");
        request.file = operands[0];
        return true;
    case cmSet:
        if (operands.empty() || operands.size() % 2 != 0)
            return Fail(why, "set needs POS ID pairs");
        for (size_t i = 0; i < operands.size(); i += 2) {
            Change change;
            if (!TakePosition(operands[i], change.position, why) ||
                !TakeId(operands[i + 1], change.position, change.id, why))
                return false;
            request.changes.push_back(change);
        }
        break;
    default: // release
        if (operands.empty())
            return Fail(why, "release needs at least one POS");
        for (const std::string& operand : operands) {
            Change change{0, EmptyId};
            if (!TakePosition(operand, change.position, why))
                return false;
            request.changes.push_back(change);
        }
        break;
    }

    // The changes on their own, before the master's table is known: a position named twice
    // is ambiguous, and one ID for two positions is refused whatever the master holds.
    std::vector<std::string> alone(PositionCount);
    return ApplyChanges(alone, request.changes, why);
}

bool ApplyChanges(std::vector<std::string>& table, const std::vector<Change>& changes,
                  std::string& why) {
    std::vector<bool> named(PositionCount, false);
    for (const Change& change : changes) {
        const size_t index = static_cast<size_t>(change.position - 1);
        if (change.position < 1 || change.position > PositionCount)
            return Fail(why, "position " + std::to_string(change.position) + " is not 1 to 14");
        if (named[index])
            return Fail(why, "position " + PositionLabel(change.position) + " is named twice");
        named[index] = true;
        if (table.size() < static_cast<size_t>(PositionCount))
            table.resize(PositionCount);
        table[index] = change.id;
    }
    for (const Change& change : changes) {
        switch (CheckRegistration(table, change.position, change.id)) {
        case rvAccepted:
            break;
        case rvHeldElsewhere:
            for (int other = 1; other <= PositionCount; ++other) {
                if (other != change.position &&
                    SameId(table[static_cast<size_t>(other - 1)], change.id)) {
                    const bool alsoNamed = named[static_cast<size_t>(other - 1)];
                    return Fail(why, "ID " + change.id + " for position " +
                                         PositionLabel(change.position) + " is held by " +
                                         (alsoNamed ? "position " : "the master's position ") +
                                         PositionLabel(other) +
                                         (alsoNamed ? " too" : ", which is not changed"));
                }
            }
            return Fail(why, "ID " + change.id + " is held by another position");
        default:
            return Fail(why, "ID \"" + change.id + "\" for position " +
                                 PositionLabel(change.position) + " is not 12 hexadecimal digits");
        }
    }
    return true;
}
