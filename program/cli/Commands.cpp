#include "Commands.h"

#include "BackupFile.h"
#include "Output.h"

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

bool Contains(const std::vector<int>& positions, int position) {
    for (const int p : positions) {
        if (p == position)
            return true;
    }
    return false;
}

} // namespace

int RunSearch(CliSession& session, const Request& request) {
    bool completed = false;
    session.ui.BeginProgress("searching for slaves");
    const std::vector<SLAVE> found = session.device.SearchDevices(completed);
    session.ui.EndProgress();
    std::vector<SLAVE> shown;
    for (const SLAVE& slave : found) {
        if (request.all) {
            shown.push_back(slave);
        } else if (IsListedSlave(slave)) {
            // As in the window, a slave the result names twice is listed once.
            bool listed = false;
            for (const SLAVE& earlier : shown)
                listed = listed || earlier.id == slave.id;
            if (!listed)
                shown.push_back(slave);
        }
    }
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
    Print(session, request.json ? TableJson(table, whole) : TableLines(table));
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

int RunChanges(CliSession& session, const std::vector<Change>& changes) {
    CBtDevice& device = session.device;
    device.ReadRegisteredIds();
    std::vector<std::string> expected = TableOf(device);
    std::string why;
    if (!ApplyChanges(expected, changes, why)) {
        Message(why + "; nothing is written");
        return esBadInput;
    }
    std::vector<int> named;
    for (const Change& change : changes) {
        device.SetRegisteredId(change.position - 1, change.id);
        named.push_back(change.position);
    }

    // Positions whose read failed and that no change names are left out of the write; the
    // master keeps its own entries there.
    const std::vector<int> leftOut = device.LeftOutPositions();
    if (!device.WriteRegisteredIds()) {
        Message("the write failed and the master did not confirm it: " + Labels(named) +
                " not written, the master keeps its committed table");
        return esFailed;
    }
    if (!leftOut.empty())
        Message(Labels(leftOut) +
                " left out of the write: not read completely, the master keeps its own entries");

    device.ReadRegisteredIds();
    const std::vector<std::string> readBack = TableOf(device);
    std::vector<int> differing;
    for (int position = 1; position <= PositionCount; ++position) {
        const size_t index = static_cast<size_t>(position - 1);
        if (Contains(leftOut, position) && !Contains(named, position))
            continue;
        if (device.readIncomplete[index]) {
            Message("position " + PositionLabel(position) + " could not be read back");
            differing.push_back(position);
        } else if (!SameId(readBack[index], expected[index])) {
            Message("position " + PositionLabel(position) + " reads back " + readBack[index] +
                    ", not " + expected[index]);
            differing.push_back(position);
        }
    }
    if (!differing.empty()) {
        Message("the read-back differs at " + Labels(differing));
        return esFailed;
    }
    return esDone;
}
