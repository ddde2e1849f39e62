// The master's Bluetooth module: its command language behind the "MX" frames, the slave
// search and the 42 ID registers.
#pragma once

#include "Scenario.h"

#include <array>
#include <string>

const int registerCount = 3 * positionCount;

// What the module makes of one command.
struct ModuleAnswer {
    std::string number;     // the command number as sent, "??" when there is none
    bool ok = true;         // false: an error reply
    std::string data;       // the reply's data
    int expectedBytes = 0;  // reply bytes the command calls for; 0 for any
    std::string violation;  // what the host did wrong, empty when nothing
    bool committed = false; // the committed table was written
};

class CModule {
public:
    void Reset(const Scenario& scenario, const IdTable& committedTable);
    // Carries out one command (the frame's payload) at the given time.
    ModuleAnswer Handle(const std::string& payload, long long nowUs);
    // The error answer to a command that is refused without being carried out.
    static ModuleAnswer Refusal(const std::string& payload);
    const IdTable& Committed() const { return committed; }

private:
    // What a command's argument must be ("H" and upper-case hex digits after the number).
    enum ArgumentRule {
        argNone,   // no argument
        argZero,   // "0"
        argOne,    // "1"
        argSwitch, // "0" or "1"
        argCount,  // two digits, not "00"
        argAny,    // any digits
    };
    // Carries out a command whose number and argument fit its row; the answer's reply
    // length comes from the row.
    using Handler = ModuleAnswer (CModule::*)(const std::string& number,
                                              const std::string& argument, long long nowUs);
    struct CommandRow {
        const char* first; // the command number, or the first of a range
        const char* last;  // the last number of the range (= first for one command)
        ArgumentRule argument;
        Handler handler;
        int replyBytes; // bytes the command's reply has; countedReply: the argument's count + 6
    };
    static const int countedReply = -1;
    // The module's commands; a number in no row is unknown, a number whose rows all refuse
    // the argument is malformed.
    static const CommandRow commands[];

    static bool ArgumentFits(ArgumentRule rule, bool hasArgument, const std::string& argument);
    void Update(long long nowUs);
    ModuleAnswer Execute(const std::string& number, bool hasArgument, const std::string& argument,
                         long long nowUs);
    ModuleAnswer Idle(const std::string& number, const std::string& argument, long long nowUs);
    ModuleAnswer Search(const std::string& number, const std::string& argument, long long nowUs);
    ModuleAnswer Status(const std::string& number, const std::string& argument, long long nowUs);
    ModuleAnswer Count(const std::string& number, const std::string& argument, long long nowUs);
    ModuleAnswer Read(const std::string& number, const std::string& argument, long long nowUs);
    ModuleAnswer Access(const std::string& number, const std::string& argument, long long nowUs);
    ModuleAnswer Commit(const std::string& number, const std::string& argument, long long nowUs);
    ModuleAnswer LoadWorking(const std::string& number, const std::string& argument,
                             long long nowUs);
    ModuleAnswer Query(const std::string& number, const std::string& argument, long long nowUs);
    ModuleAnswer Set(const std::string& number, const std::string& argument, long long nowUs);
    // Copies between the working registers and the committed table, when access is open.
    ModuleAnswer CopyTable(const std::string& number, bool toCommitted);
    static ModuleAnswer Error(const std::string& number, const std::string& violation);

    long long searchDurationUs = 0;
    unsigned statusBits = 0;
    bool statusNeverClears = false;
    bool countNeverDrains = false;
    std::string resultSource;

    IdTable committed;
    std::array<std::string, registerCount> working;
    bool accessOpen = false;
    bool searching = false;
    long long searchEndUs = 0;
    std::string result;
    size_t readPosition = 0;
};

// Index 0..41 of a register command number ("A1".."AF", "B1".."BF", "C1".."CC"), or -1.
int RegisterIndex(const std::string& number);
