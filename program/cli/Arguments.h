// The command line of tarvelo-cli: what it asks for, checked before the master is touched.
#pragma once

#include "program/btdevice/Rules.h"

#include <string>
#include <vector>

// Exit statuses of tarvelo-cli.
enum ExitStatus {
    esDone = 0,
    esBadInput = 2,     // bad input or usage, or a config.ini or lock file that cannot be
                        // used; nothing was written to the master
    esNotPrepared = 3,  // the master unit could not be prepared
    esFailed = 4,       // an exchange failed: the write, its read-back, a read or a search
    esOtherRunning = 5, // another program of the family is running
};

enum CliCommand {
    cmSearch,
    cmRead,
    cmSet,
    cmRelease,
    cmBackup,
    cmRestore,
    cmDevices,
    cmHistory,
    cmUndo,
    cmHelp,
    cmVersion
};

// One position to be given an ID.
struct Change {
    int position;   // 1 to 14
    std::string id; // 12 upper-case hexadecimal digits; the empty ID releases
};

struct Request {
    CliCommand command = cmHelp;
    bool all = false;            // search: every record, not only the slaves the window lists
    bool json = false;           // one JSON document instead of lines
    std::vector<Change> changes; // set, release
    std::string file;            // backup, restore
    bool deviceGiven = false;    // --device: the bridge to open, by its serial number (history:
    std::string device;          // the bridge whose sessions are listed)
    bool waitGiven = false; // --wait: how long to wait for the master unit to be prepared
    int waitSeconds = 0;
    int count = 0;               // history -n: the newest so many sessions; 0 for all
};

// The longest --wait: a day.
constexpr int MaxWaitSeconds = 86400;

// A position as the user writes it: "1" to "14" in decimal, or the grid's "01" to "0E"
// (either case). 0 for anything else, leading blanks, signs and "00" included.
int ParsePosition(const std::string& text);

// Reads the arguments (without the program name) into `request`. False, with `why` naming
// what was wrong, for an unknown command or option, an option the command does not take, a
// missing or extra argument, a --wait that is not a whole number of seconds from 0 to
// MaxWaitSeconds, a count of -n that is not 1 to 999999999, a bad position, a malformed ID, a
// position named twice or one ID for two positions. IDs come out in upper case, the case the
// module's set commands carry.
// --help or --version anywhere wins over everything else.
bool ParseArguments(const std::vector<std::string>& args, Request& request, std::string& why);

// Applies `changes` to `table` (14 entries, table[p - 1] is position p) and checks every
// change against the result with the shared registration rules. False, with `why`, when a
// changed position would hold an ID that another position holds too.
bool ApplyChanges(std::vector<std::string>& table, const std::vector<Change>& changes,
                  std::string& why);

// The text of --help.
extern const char* const UsageText;
