// The journal of table writes: one file per user, one JSON object a line. Before a write
// session a "begin" line records the bridge, the stored table as read and the table meant
// to be written; after it an "end" line records the verdict and the table as verified.
// Both front ends keep it through this unit, so they journal alike. A journal that cannot
// be written never stops or changes the write: the calls say so, and the write goes on.
#pragma once

#include <string>
#include <vector>

// The name of the journal's file, as notices name it.
extern const char* const JournalFileName;
// The most sessions the journal keeps; past it, the oldest are dropped.
constexpr int JournalSessionLimit = 1000;

// A table of the 14 positions as the journal keeps it: entry p - 1 for position p. An
// entry flagged in `unknown` (its position unread, or not known after the write) is null
// in the file; so is an entry that is not 12 hexadecimal digits.
struct JournalTable {
    std::vector<std::string> ids;
    std::vector<bool> unknown;
};

// How a session ended; jvUnfinished for a session with a "begin" line and no "end" line
// (the program was stopped or the machine lost power during the write).
enum JournalVerdict { jvSaved, jvNotSaved, jvPartlySaved, jvInDoubt, jvUnfinished };
// The verdict as the file and the listings spell it: "saved", "not saved", "partly saved",
// "in doubt", "never finished".
const char* VerdictText(JournalVerdict verdict);

struct JournalSession {
    std::string id;          // set by CJournal::Begin; ties the "end" line to its "begin"
    std::string time;        // when the session began: UTC, "2026-12-09T15:04:05Z"
    std::string endTime;     // when it ended; empty when it never finished
    std::string frontEnd;    // "tarvelo" or "tarvelo-cli"
    std::string bridge;      // the USB bridge's serial number
    std::string description; // the bridge's description
    JournalTable before;     // the stored table as read before the write
    JournalTable intended;   // the table the write set out to store
    JournalVerdict verdict = jvUnfinished;
    JournalTable verified; // the master's stored table as the write verified it
};

// A table whose entries are `ids` (entry p - 1 for position p; missing ones unknown) with
// those flagged in `unknown` (when given) left unknown.
JournalTable MakeJournalTable(const std::vector<std::string>& ids,
                              const std::vector<bool>& unknown = {});
// The positions (1 to 14) whose intended entry is known and differs from the entry before
// (hex letters in either case); a position unknown before and known after is changed.
std::vector<int> ChangedPositions(const JournalSession& session);

// The writing side. One object per run of a front end; it shows its trouble once.
class CJournal {
public:
    // The journal at `path`; by default the user's (DefaultJournalPath()).
    explicit CJournal(std::string path = DefaultJournalPath());

    // The user's journal: $XDG_STATE_HOME/kestravion/journal.jsonl ($XDG_STATE_HOME when it
    // is an absolute path, else ~/.local/state), %LOCALAPPDATA%\kestravion\journal.jsonl on
    // Windows. Empty when the system names no such folder.
    static std::string DefaultJournalPath();

    // Gives `session` a new id and the time, then appends its "begin" line (the folders
    // made when missing) and flushes it to the disk. False when the line may not be on the
    // disk: the reason is kept for Warning(), and the write goes on as if journalled.
    bool Begin(JournalSession& session);
    // Sets session.endTime, appends the "end" line of `session` (its id, verdict and
    // verified table) and flushes it to the disk (nothing, and false, for a session that is
    // not the last one Begin put on the disk); then, when the journal holds more than
    // JournalSessionLimit sessions, rewrites it without the oldest: written whole to a new
    // file beside it, flushed, and renamed over it, so it is at every moment either the
    // whole earlier journal or the whole shorter one. False when the line may not be on
    // the disk; a journal that could not be shortened is only kept for Warning().
    bool End(JournalSession& session);
    // One line to show the user about the journal's trouble, the first time only: empty
    // when nothing went wrong, or when it was already given out.
    std::string Warning();
    const std::string& Path() const { return path_; }

private:
    bool Append(const std::string& line);
    void Shorten();
    void Trouble(const std::string& what);

    std::string path_;
    std::string begun_; // the id of the session whose "begin" line is on the disk
    std::string warning_;
    bool warned_ = false;
};

// What a read of the journal found.
struct JournalContents {
    std::vector<JournalSession> sessions; // newest first, by their place in the file
    int brokenLines = 0; // lines skipped: not JSON, cut off, of the wrong shape, or an
                         // "end" line without its "begin" line
};

// Reads the journal's text `text`: each line on its own, a broken one skipped and counted.
// Never fails, whatever the bytes.
JournalContents ParseJournal(const std::string& text);
// Reads the journal at `path` (of a journal larger than the journal ever grows, only the
// end). A missing file is an empty journal. False, with `why`, when the file is there but
// cannot be read.
bool ReadJournal(const std::string& path, JournalContents& contents, std::string& why);
// "journal.jsonl: 2 broken lines skipped"; empty for none.
std::string BrokenLinesNotice(int brokenLines);
// The newest session on the bridge with serial number `bridge` (finished or not); nullptr
// when there is none.
const JournalSession* LastSession(const JournalContents& contents, const std::string& bridge);
