// The configuration object: reads "config.ini" (writing a file of defaults first when it
// cannot be opened) into a table of entries and answers lookups by key.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Character classes, indexed by character code in CInits::charClass. The punctuation
// classes are their own character codes.
constexpr int32_t icLetter = 200;
constexpr int32_t icDigit = 201;
constexpr int32_t icQuote = 34;
constexpr int32_t icDot = 46;
constexpr int32_t icEqual = 61;
constexpr int32_t icLBracket = 91;
constexpr int32_t icRBracket = 93;
constexpr int32_t icOther = 208;

// Token kinds. Inside NextToken the code icOther marks a token with no kind yet.
constexpr int32_t ikWord = 205;
constexpr int32_t ikNumber = 206;
constexpr int32_t ikQuoted = 207;
constexpr int32_t ikEqual = 61;
constexpr int32_t ikLBracket = 91;
constexpr int32_t ikRBracket = 93;
constexpr int32_t ikDot = 46;
constexpr int32_t ikDotDot = 202;
constexpr int32_t ikEnd = 209;
// A quoted text that the end of the input cut off before its closing quote. No rule
// accepts it, so the statement it stands in fails.
constexpr int32_t ikUnclosed = 210;

// What ReadChar returns at the end of the input.
constexpr int32_t EndOfInput = -1;

constexpr int32_t TokenStackSize = 100;

// One configuration entry; also the record in which Lookup hands an entry out.
struct Item {
    std::string key;
    std::string value;  // a quoted value's characters; empty for a digit run
    int32_t number = 0; // a digit run's value; 0 for a quoted value
};

struct Token {
    int32_t kind = ikEnd;
    std::string text;
    int32_t number = 0;
};

// The six defaults written to a new file, then an end row whose number is -1. Every walk
// stops at the first row with a negative number.
extern const Item DefaultItems[];

// What CInits::OpenExisting found under a file name.
enum class ConfigFile {
    Opened,     // a plain file, open for reading
    Missing,    // nothing stands under the name
    Unreadable, // something stands there that cannot be read as a plain file
};

class CInits {
public:
    CInits();
    ~CInits();
    CInits(const CInits&) = delete;
    CInits& operator=(const CInits&) = delete;

    // Opens fileName for reading, writing the default file first when no file of that name
    // exists. Returns true. When something exists under the name but cannot be opened or
    // read (no permission, a folder, a dangling link), it is left untouched: the message
    // "Could not open the ini file again." with the file's path on a second line is shown
    // and the process ends (status 0); likewise when the defaults cannot be written or
    // read back, with the message for that.
    bool Open(const std::string& fileName);
    // Opens fileName for reading when a readable plain file stands under the name (then
    // `file` is set). Anything else there (no permission, a folder, a dangling link, a
    // named pipe, a device, a read error) is Unreadable and left untouched, so a pipe or a
    // device can never hold the start. Writes nothing, shows nothing, never ends the
    // program: each front end decides what follows.
    ConfigFile OpenExisting(const std::string& fileName);
    // Reads every statement of the open file into `items`. False at the first statement
    // that fails (entries stored before it stay), on a read error, or with no file open.
    bool Load();
    // Closes the file; always true.
    bool Close();
    // The index of the entry for `key` (copied into `entry`), or -1 (entry untouched).
    int32_t Lookup(const std::string& key, Item& entry) const;
    // Writes the default file; false when it cannot be created or written completely.
    bool WriteDefaultFile();

    // The reader. Load is its only entry from outside.
    int32_t ReadChar();
    Token NextToken();
    bool ParseStatement();
    bool ParseValue();
    // False, storing nothing, when the stack is full.
    bool PushToken(int32_t kind, const std::string& text, int32_t number);
    // The top token; an ikEnd token, with the depth left at 0, when the stack is empty.
    Token PopToken();

    int32_t charClass[256];
    Token current;
    std::vector<Item> items;
    std::FILE* file = nullptr;
    int32_t stackDepth = 0;
    Token stack[TokenStackSize];

private:
    int32_t ClassOf(int32_t code) const;
};

// The program-wide configuration object, set by the main window when it creates it.
extern CInits* Inits;
