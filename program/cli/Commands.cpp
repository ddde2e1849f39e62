#include "Commands.h"

#include "BackupFile.h"
#include "Output.h"
#include "program/btdevice/Journal.h"

namespace {

std::vector<std::string> TableOf(const CBtDevice& device) {
    std::vector<std::string> table;
    for (int index = 0; index < PositionCount; ++index)
        table.push_back(device.GetRegisteredId(index));
    return table;
}

// "position 03" for position 3, "positions 03 05" for positions 3 and 5.
std::string Labels(const std::vector<int>& positions) {
    std::string text = positions.size() == 1 ? "position" : "positions";
    for (const int position : positions)
        text += " " + PositionLabel(position);
    return text;
}

void Message(const std::string& text) {
    std::fprintf(stderr, "tarvelo-cli: %s\n", text.c_str());
}

void Print(CliSession& session, const std::string& text) {
    std::fputs(text.c_str(), session.results);
}

// The positions whose ID could not be read, entry p - 1 for position p.
std::vector<bool> UnreadOf(const CBtDevice& device) {
    return std::vector<bool>(device.readIncomplete, device.readIncomplete + PositionCount);
}

} // namespace

int RunSearch(CliSession& session, const Request& request) {
    bool completed = false;
    session.ui.BeginProgress("searching for slaves");
    const std::vector<SLAVE> found = session.device.SearchDevices(completed);
    session.ui.EndProgress();
    const std::vector<SLAVE> shown = request.all ? found : ListedSlaves(found);
    Print(session, request.json ? SlaveJson(shown, completed) : SlaveLines(shown));
    if (!completed) {
        Message("the search did not complete (the master stopped answering or its time limit "
                "passed); slaves may be missing");
        return esFailed;
    }
    return esDone;
}

int RunRead(CliSession& session, const Request& request) {
    const bool whole = session.device.ReadRegisteredIds();
    const std::vector<std::string> table = TableOf(session.device);
    const std::vector<bool> unread = UnreadOf(session.device);
    Print(session, request.json ? TableJson(table, unread, whole) : TableLines(table, unread));
    if (!whole) {
        Message(Labels(session.device.LeftOutPositions()) + " not read completely");
        return esFailed;
    }
    return esDone;
}

int RunBackup(CliSession& session, const Request& request) {
    if (!session.device.ReadRegisteredIds()) {
        Message(Labels(session.device.LeftOutPositions()) + " not read completely; " +
                request.file + " is not written");
        return esFailed;
    }
    std::string why;
    if (!WriteTextFile(request.file, FormatBackup(TableOf(session.device)), why)) {
        Message(why);
        return esBadInput;
    }
    return esDone;
}

namespace {

// Reads the table before a change. A slave stored at a position that could not be read
// would escape the one-slave, one-position check, and could then be registered twice: false,
// and nothing is written.
bool ReadBeforeChanges(CBtDevice& device) {
    if (device.ReadRegisteredIds())
        return true;
    Message(Labels(device.LeftOutPositions()) + " not read completely; nothing is written");
    return false;
}

// Writes `changes` to the table just read: checked, written and verified.
int WriteChanges(CliSession& session, const std::vector<Change>& changes) {
    CBtDevice& device = session.device;
    std::vector<std::string> expected = TableOf(device);
    std::string why;
    if (!ApplyChanges(expected, changes, why)) {
        Message(why + "; nothing is written");
        return esBadInput;
    }
    for (const Change& change : changes)
        device.SetRegisteredId(change.position - 1, change.id);
    if (device.ChangedPositions().empty()) {
        Message("the master already holds that; nothing is written");
        return esDone;
    }

    // The module controller writes only what changed, commits only a table that reads back
    // as written, and gives its verdict from the stored table read back after the commit.
    if (device.WriteRegisteredIds())
        return esDone;
    const std::vector<int> saved = device.PositionsWith(CBtDevice::woSaved);
    const std::vector<int> notSaved = device.PositionsWith(CBtDevice::woNotSaved);
    const std::vector<int> inDoubt = device.PositionsWith(CBtDevice::woInDoubt);
    const std::vector<int> notTaken = device.NotTakenPositions();
    std::string text;
    if (device.writeVerdict == CBtDevice::wvInDoubt)
        text = "the master's stored table could not be read back: " + Labels(inDoubt) +
               " may or may not be saved";
    else if (device.writeVerdict == CBtDevice::wvPartlySaved)
        text = "the table was only partly saved: " + Labels(saved) + " saved, " +
               Labels(notSaved) + " NOT saved";
    else if (!notTaken.empty())
        text = "the master did not take " + Labels(notTaken) +
               "; nothing is committed, the master keeps its committed table";
    else
        text = "the table was NOT saved: " + Labels(notSaved) +
               " not written, the master keeps its committed table";
    if (device.writeVerdict == CBtDevice::wvInDoubt && !saved.empty())
        text += "; " + Labels(saved) + " saved";
    Message(text);
    return esFailed;
}

} // namespace

int RunChanges(CliSession& session, const std::vector<Change>& changes) {
    return ReadBeforeChanges(session.device) ? WriteChanges(session, changes) : esFailed;
}

int RunUndo(CliSession& session) {
    CBtDevice& device = session.device;
    JournalContents contents;
    std::string why;
    if (!device.journal || !ReadJournal(device.journal->Path(), contents, why)) {
        Message(why.empty() ? "no folder for the write journal is known" : why);
        return esBadInput;
    }
    if (const std::string notice = BrokenLinesNotice(contents.brokenLines); !notice.empty())
        Message(notice);
    const std::string bridge = device.OpenedBridgeSerial();
    const JournalSession* last = nullptr;
    for (const JournalSession& candidate : contents.sessions) {
        if (!last && candidate.bridge == bridge && candidate.verdict == jvSaved)
            last = &candidate;
    }
    if (!last) {
        Message("the journal holds no saved write to the master behind bridge " + bridge +
                "; nothing is written");
        return esBadInput;
    }
    if (!ReadBeforeChanges(device))
        return esFailed;

    // Only the table that session left may be taken back: a change made since would be
    // undone unseen.
    std::vector<Change> changes;
    std::vector<int> changedSince;
    std::vector<int> unknownBefore;
    for (const int position : ChangedPositions(*last)) {
        const size_t index = static_cast<size_t>(position - 1);
        if (!SameId(device.GetRegisteredId(position - 1), last->intended.ids[index]))
            changedSince.push_back(position);
        else if (last->before.unknown[index])
            unknownBefore.push_back(position);
        else
            changes.push_back(Change{position, RegisteredForm(last->before.ids[index])});
    }
    if (!changedSince.empty() || !unknownBefore.empty()) {
        Message(!changedSince.empty()
                    ? "the master no longer holds what the write of " + last->time + " saved at " +
                          Labels(changedSince) + "; nothing is written"
                    : "the write of " + last->time + " did not know what stood at " +
                          Labels(unknownBefore) + " before it; nothing is written");
        return esFailed;
    }
    for (const Change& change : changes)
        Print(session, PositionLabel(change.position) + " " +
                           device.GetRegisteredId(change.position - 1) + " -> " + change.id +
                           "\n");
    return WriteChanges(session, changes);
}
