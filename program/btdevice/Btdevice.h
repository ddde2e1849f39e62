// Control of the master unit's Bluetooth module: its command language, the slave search
// with the parse of its result text, and the table of registered slave IDs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CAxoDll;

// One slave found by a search: the three fields of its result record.
struct SLAVE {
    std::string id;
    std::string name;
    std::string detail;
};

// One token of the search result text.
struct TOKEN {
    int32_t kind;
    std::string text;
};

// Token kinds.
enum : int32_t {
    tkCR = 13,       // "\r" not followed by LF
    tkText = 200,    // a field
    tkLineEnd = 201, // "\r\n"
    tkOther = 202,   // a lone comma or LF was skipped; stands for an empty field
    tkEnd = 203,     // the end of the text
};

// Character classes of the tokenizer.
enum : uint8_t {
    ccLF = 10,
    ccCR = 13,
    ccComma = 44,
    ccText = 200,
};

// A row of the module's command table: a command's first three characters and the reply
// length it is sent with. Reply length 0 marks a command never sent through the table.
struct CommandRow {
    const char* prefix;
    int32_t replyLength;
};

// The three register queries holding one switch position's ID, and their reply length.
struct IdRegisterRow {
    const char* registers[3];
    int32_t replyLength;
};

// Both tables end with a row whose replyLength is -1.
extern const CommandRow CommandTable[];
extern const IdRegisterRow IdRegisterTable[];

class CBtDevice {
public:
    CBtDevice();
    ~CBtDevice();
    CBtDevice(const CBtDevice&) = delete;
    CBtDevice& operator=(const CBtDevice&) = delete;

    // Fills the character classes and brings up the link; false when the master unit
    // cannot be reached.
    bool Open();
    // Sends a command of the command table and returns its reply; empty text, with
    // nothing sent, for a command the table does not carry.
    std::string SendCommand(const std::string& command);
    // Hexadecimal text to its value, with 32-bit wrap-around; no character is rejected.
    int32_t HexValue(const std::string& text) const;
    // The value carried by a reply: characters 6-9 read as hexadecimal.
    int32_t ReplyValue(const std::string& reply) const;
    // The pause after polled replies, when switched on.
    void Pause();

    // Runs a whole search and returns the records found; `completed` is true once the
    // result has been parsed.
    std::vector<SLAVE> SearchDevices(bool& completed);

    // The parse of the gathered result text in `receiveBuffer` into `found`.
    void FillCharClass();
    void ParseResult();
    int32_t NextChar();
    TOKEN NextToken();
    void ParseRecord();

    // The table of registered IDs, exchanged with the module as a whole.
    bool ReadRegisteredIds();
    bool WriteRegisteredIds();
    std::string GetRegisteredId(int index) const;
    void SetRegisteredId(int index, const std::string& id);

    enum : int { IdCount = 16 };
    // Limits a working module never reaches. A search lasts about 30 s and each status
    // poll is a USB exchange of at least 10 ms, so 30000 polls are several minutes; 1000
    // reads would be a result of 100000 characters. Reaching a limit ends the loop as a
    // failed exchange does: polling goes on to the retrieval, the retrieval to the parse.
    enum : int32_t { MaxStatusPolls = 30000, MaxResultReads = 1000 };

    CAxoDll* link;
    std::string receiveBuffer;
    int32_t readPosition;
    int32_t tokenKind;
    std::string tokenText;
    SLAVE pending;
    uint8_t charClass[260];
    std::vector<SLAVE> found;
    std::string registeredIds[IdCount];
    uint8_t waitOn;
    int32_t waitTime;
    // Set for a position whose last read came back incomplete, cleared when the entry is
    // given another text: such a position is left out of the write, so a failed read is
    // never written back over the master's real entry.
    bool readIncomplete[IdCount];

private:
    void Advance();
};
