// Control of the master unit's Bluetooth module: its command language, the slave search
// with the parse of its result text, and the table of registered slave IDs.
#pragma once

#include "Rules.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CAxoDll;
class CJournal;
struct BRIDGE;

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
    // The module layer's trace goes to `trace` (nullptr: nowhere). With standard output, the
    // window's choice, "output"="dos" also opens the console that shows it.
    explicit CBtDevice(std::FILE* trace = stdout);
    // Closes the bridge (Close).
    ~CBtDevice();
    CBtDevice(const CBtDevice&) = delete;
    CBtDevice& operator=(const CBtDevice&) = delete;

    // Fills the character classes and brings up the link on the bridge `bridgeSerial`
    // names (the driver's first when empty); false when the master unit cannot be reached.
    bool Open();
    // Closes the bridge, so that the kernel's serial driver gets it back, and unloads the
    // interface library. False, nothing closed, while an exchange is in flight.
    bool Close();
    // After Open, whether it worked or not: one sentence naming the bridge used when the
    // driver listed more than one and none was named, and how to choose another; empty
    // otherwise.
    std::string OpenedBridgeNote() const;
    // After a failed Open: one sentence saying that the bridge named is not attached; empty
    // when none was named or it is attached.
    std::string MissingBridgeNote() const;
    // The serial number and description of the bridge the link opened; empty when unknown.
    std::string OpenedBridgeSerial() const;
    std::string OpenedBridgeDescription() const;
    // Opens the link to the master unit anew, after a failed exchange (a bridge plugged in
    // again); true when the master unit is prepared again. Only the bridge Open opened is
    // opened again (by index when it has no serial number): when it is not attached, a box
    // says so and the link stays closed, so nothing is written to another master.
    bool Reconnect();
    // Sends a command of the command table and returns its reply; empty text, with
    // nothing sent, for a command the table does not carry.
    std::string SendCommand(const std::string& command);
    // Hexadecimal text to its value, with 32-bit wrap-around; no character is rejected.
    int32_t HexValue(const std::string& text) const;
    // The value carried by a reply: characters 6-9 read as hexadecimal.
    int32_t ReplyValue(const std::string& reply) const;
    // The pause after polled replies, when switched on; true when it slept.
    bool Pause();
    // After a polled reply of the search: the pause, or the shortest poll interval.
    void PollPause();

    // Runs a whole search and returns the records found; `completed` is true once the
    // result has been parsed.
    std::vector<SLAVE> SearchDevices(bool& completed);

    // The parse of the gathered result text in `receiveBuffer` into `found`.
    void FillCharClass();
    void ParseResult();
    int32_t NextChar();
    TOKEN NextToken();
    void ParseRecord();

    // The table of registered IDs.
    // Reads all 14 positions. False when the read of any position came back incomplete
    // (see readIncomplete). A position read whole is what the master is known to store.
    bool ReadRegisteredIds();
    // The positions (1 to 14) the next write sets: every position not left out by a failed
    // read whose entry differs from what the master is known to store there (or whose
    // stored entry is not known). Empty when there is nothing to write.
    std::vector<int> ChangedPositions() const;
    // Writes the changed positions in one session of register access: the working registers
    // are first loaded from the stored table, so every position not written keeps the
    // master's own entry; the changed positions are set and read back, the table is
    // committed only when each holds what was set, and the stored table is then loaded and
    // read back: the verdict comes from that read alone, never from the commit's reply.
    // With no changed position nothing is sent (wvUnchanged). True for wvSaved and
    // wvUnchanged. A session that stops before its commit (an exchange without its full
    // reply, a position read back otherwise) commits nothing: not saved, or still in doubt
    // for a position an earlier session left in doubt.
    bool WriteRegisteredIds();
    enum WriteVerdict { wvSaved, wvNotSaved, wvPartlySaved, wvInDoubt, wvUnchanged };
    // What the last write found at one position it set.
    enum WriteOutcome : uint8_t { woNone, woSaved, woNotSaved, woInDoubt };
    // The positions (1 to 14) whose working registers read back otherwise than the last
    // write set them: the master did not take them, and nothing was committed.
    std::vector<int> NotTakenPositions() const;
    // The positions (1 to 14) the last write left with `outcome`.
    std::vector<int> PositionsWith(WriteOutcome outcome) const;
    // The positions (1 to 14) the last write left out because their read had failed; the
    // master kept its own entries there.
    std::vector<int> LeftOutPositions() const;
    std::string GetRegisteredId(int index) const;
    void SetRegisteredId(int index, const std::string& id);

    enum : int { IdCount = 16 };
    // Time limits a working module never reaches: a search lasts about 30 s, and its result
    // is read in well under a second. They are elapsed time, whatever a single exchange
    // takes. Reaching one ends the loop and the search counts as not completed: polling goes
    // on to the retrieval, the retrieval to the parse.
    enum : int64_t { SearchTimeLimitMs = 120000, RetrievalTimeLimitMs = 120000 };
    // Polled replies are at least this far apart when no pause is configured, so a master
    // that answers at once is not asked thousands of times a second.
    enum : unsigned { MinPollIntervalMs = 10 };

    CAxoDll* link;
    // The serial number of the bridge to open: config.ini's "device", which a front end may
    // replace before Open; empty for the driver's first bridge.
    std::string bridgeSerial;
    // The bridges the driver listed when the link was started.
    std::vector<BRIDGE> bridges;
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
    // What the master is known to store at each position: set by a whole read and by a
    // write's verification; storedKnown is false where that is not known (never read, a
    // read that failed, or a verification that could not tell).
    std::string storedIds[IdCount];
    bool storedKnown[IdCount];
    // Set for a position whose stored entry a write's verification could not tell, until a
    // later read or verification settles it: a session that fails before it could read the
    // stored table leaves such a position in doubt, never "not saved".
    bool doubtful[IdCount];
    // The journal a write session is recorded in (before it starts, and with its verdict
    // after it), as written by `frontEnd` ("tarvelo", "tarvelo-cli"); nullptr: none. A
    // journal that cannot be written changes nothing about the write.
    CJournal* journal = nullptr;
    std::string frontEnd;
    // What the last write established about the master's committed table.
    WriteVerdict writeVerdict = wvNotSaved;
    WriteOutcome writeOutcome[IdCount];
    // Set for a position the last write's read-back found otherwise than it was set.
    bool notTaken[IdCount];

private:
    // What the master is known to store, as the journal keeps a table.
    struct JournalTable StoredTable() const;
    // Writes one piece of the trace, printf-style, to the link's trace stream, if any.
    void Trace(const char* format, ...) const;
    // Queries the three registers of `position` into `id`, as the read does; false when a
    // reply is not whole (every later reply of the session is then in doubt). `value` is
    // false when a piece is not four hexadecimal digits: a refusal's "????" is no piece of
    // an ID. `reply` is the last reply received.
    bool QueryPosition(int position, std::string& id, bool& value, std::string& reply);
    // Before the commit: reads the working registers of `positions` back; true when each
    // holds what was set. A register that reads back as another value marks notTaken.
    bool WorkingRegistersAgree(const std::vector<int>& positions, std::string& reply);
    // After the commit: loads the stored table and reads `positions` back, setting their
    // writeOutcome and what is known of the stored table.
    void VerifyStoredTable(const std::vector<int>& positions, std::string& reply);
    void Advance();
};
