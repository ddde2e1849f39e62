#include "Btdevice.h"

#include "Journal.h"
#include "TextPiece.h"
#include "platform/Sleep.h"
#include "program/link/Axodll.h"

namespace {

// The module needs a moment after register access is opened.
const unsigned AccessSettleMs = 2;

// Length of a complete ID: three groups of four digits.
const size_t IdLength = 12;
// Length of a complete reply to the commands that open register access.
const size_t AckLength = 5;

// A register holds four hexadecimal digits; anything else in a reply is the module's
// error answer, not a piece of an ID.
bool IsRegisterValue(const std::string& piece) {
    if (piece.size() != 4) {
        return false;
    }
    for (char c : piece) {
        const bool digit =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!digit) {
            return false;
        }
    }
    return true;
}

// The positions (1 to 14) whose entry is flagged.
std::vector<int> FlaggedPositions(const bool (&flags)[CBtDevice::IdCount]) {
    std::vector<int> positions;
    for (int index = 0; index < PositionCount; ++index) {
        if (flags[index])
            positions.push_back(index + 1);
    }
    return positions;
}

} // namespace

bool CBtDevice::ReadRegisteredIds() {
    // A reply that comes too late stays queued and is taken for the next command's, so once
    // one reply of the sequence is short every later one of this read is in doubt too. The
    // read stops there: a silent master would otherwise hold the window for a time limit per
    // register. Every position not read is left out of the next write.
    bool failed = false;
    std::string reply;
    for (const char* command : {"$00H0", "$A0H1", "$CEH1"}) {
        if (!failed) {
            reply = SendCommand(command);
            failed = reply.size() < AckLength;
        }
    }
    if (!failed)
        platform::SleepMs(AccessSettleMs);

    bool whole = true;
    for (int index = 0; index < PositionCount; ++index) {
        std::string id;
        bool value = true;
        failed = failed || !QueryPosition(index + 1, id, value, reply);
        registeredIds[index] = id;
        readIncomplete[index] = failed || !value || id.size() < IdLength;
        whole = whole && !readIncomplete[index];
        if (!readIncomplete[index]) {
            storedIds[index] = id;
            storedKnown[index] = true;
            doubtful[index] = false;
        }
    }

    // Register access is closed whenever the master still answers; after a silent exchange
    // the close would only wait out another time limit.
    if (!failed || !reply.empty())
        SendCommand("$A0H0");
    return whole;
}

bool CBtDevice::QueryPosition(int position, std::string& id, bool& value, std::string& reply) {
    const IdRegisterRow& row = IdRegisterTable[position - 1];
    id.clear();
    value = true;
    for (const char* reg : row.registers) {
        const std::string command = std::string(reg) + "\r";
        reply = link->SendRecv(static_cast<int32_t>(command.size()), row.replyLength, command);
        const std::string piece = TextPiece(reply, 6, 4);
        id += piece;
        value = value && IsRegisterValue(piece);
        if (reply.size() < static_cast<size_t>(row.replyLength) + 1)
            return false;
        Pause();
    }
    return true;
}

std::vector<int> CBtDevice::ChangedPositions() const {
    std::vector<int> positions;
    for (int index = 0; index < PositionCount; ++index) {
        const bool changed = !storedKnown[index] || registeredIds[index] != storedIds[index];
        if (!readIncomplete[index] && changed)
            positions.push_back(index + 1);
    }
    return positions;
}

bool CBtDevice::WriteRegisteredIds() {
    for (int index = 0; index < IdCount; ++index) {
        notTaken[index] = false;
        writeOutcome[index] = woNone;
    }
    const std::vector<int> changed = ChangedPositions();
    if (changed.empty()) {
        writeVerdict = wvUnchanged;
        return true;
    }
    // Until the stored table is read back after a commit, a position keeps what an earlier
    // session established: nothing committed, or still in doubt.
    for (const int position : changed)
        writeOutcome[position - 1] = doubtful[position - 1] ? woInDoubt : woNotSaved;
    JournalSession session;
    if (journal) {
        session.frontEnd = frontEnd;
        session.bridge = OpenedBridgeSerial();
        session.description = OpenedBridgeDescription();
        session.before = StoredTable();
        session.intended = session.before;
        for (const int position : changed) {
            session.intended.ids[static_cast<size_t>(position - 1)] = registeredIds[position - 1];
            session.intended.unknown[static_cast<size_t>(position - 1)] = false;
        }
        journal->Begin(session);
    }

    // The session stops at the first exchange without its full reply, and the table is
    // committed only once the working registers read back as set: a table written only in
    // part, or one the module acknowledged without storing, is never committed. Loading the
    // stored table first makes every position not written keep the master's own entry,
    // whatever the start-up read saw there.
    std::string reply;
    const auto acknowledged = [this, &reply](const char* command) {
        reply = SendCommand(command);
        return reply.size() >= AckLength;
    };
    bool whole = acknowledged("$00H0") && acknowledged("$A0H1") && acknowledged("$CEH1");
    if (whole)
        platform::SleepMs(AccessSettleMs);
    for (const int position : changed) {
        const IdRegisterRow& row = IdRegisterTable[position - 1];
        for (int k = 0; whole && k < 3; ++k) {
            const std::string command = std::string(row.registers[k]) + "H" +
                                        TextPiece(registeredIds[position - 1], 4 * k + 1, 4) +
                                        "\r";
            const int32_t replyLength = row.replyLength - 5;
            reply = link->SendRecv(static_cast<int32_t>(command.size()), replyLength, command);
            whole = reply.size() >= static_cast<size_t>(replyLength) + 1;
            Pause();
        }
    }

    if (whole && WorkingRegistersAgree(changed, reply)) {
        // Whatever the commit's reply says (a refusal is a full reply too), only the stored
        // table tells what the master keeps.
        SendCommand("$CDH1");
        VerifyStoredTable(changed, reply);
    }
    // Register access is closed whenever the master still answers; after a silent exchange
    // the close would only wait out another time limit before the verdict can be given.
    if (!reply.empty())
        SendCommand("$A0H0");

    int saved = 0;
    int notSaved = 0;
    for (const int position : changed) {
        saved += writeOutcome[position - 1] == woSaved;
        notSaved += writeOutcome[position - 1] == woNotSaved;
    }
    const int count = static_cast<int>(changed.size());
    if (saved == count)
        writeVerdict = wvSaved;
    else if (notSaved == count)
        writeVerdict = wvNotSaved;
    else if (saved + notSaved == count)
        writeVerdict = wvPartlySaved;
    else
        writeVerdict = wvInDoubt;
    if (journal) {
        const JournalVerdict verdicts[] = {jvSaved, jvNotSaved, jvPartlySaved, jvInDoubt};
        session.verdict = verdicts[writeVerdict];
        session.verified = StoredTable();
        journal->End(session);
    }
    return writeVerdict == wvSaved;
}

JournalTable CBtDevice::StoredTable() const {
    std::vector<std::string> ids(storedIds, storedIds + PositionCount);
    std::vector<bool> unknown(PositionCount);
    for (int index = 0; index < PositionCount; ++index)
        unknown[static_cast<size_t>(index)] = !storedKnown[index];
    return MakeJournalTable(ids, unknown);
}

bool CBtDevice::WorkingRegistersAgree(const std::vector<int>& positions, std::string& reply) {
    // A reply that is not whole puts the rest in doubt, as in the read: the read-back stops
    // there. A piece that is no register value was not read: nothing is committed, but the
    // master is not said to have refused it.
    bool agrees = true;
    for (const int position : positions) {
        std::string id;
        bool value = true;
        if (!QueryPosition(position, id, value, reply))
            return false;
        notTaken[position - 1] = value && !SameId(id, registeredIds[position - 1]);
        agrees = agrees && value && !notTaken[position - 1];
    }
    return agrees;
}

void CBtDevice::VerifyStoredTable(const std::vector<int>& positions, std::string& reply) {
    // Each position reads back as its new entry (saved), as what the master stored before
    // (not saved), or as anything else or not at all (in doubt): a garbled reply is never
    // taken for either. A position in doubt keeps its earlier entry as the one to tell a
    // later "not saved" by: the master holds that one or the new one.
    for (const int position : positions)
        writeOutcome[position - 1] = woInDoubt;
    reply = SendCommand("$CEH1");
    bool readable = reply.size() >= AckLength;
    if (readable)
        platform::SleepMs(AccessSettleMs);
    for (const int position : positions) {
        const int index = position - 1;
        std::string id;
        bool value = true;
        readable = readable && QueryPosition(position, id, value, reply);
        if (readable && value && SameId(id, registeredIds[index]))
            writeOutcome[index] = woSaved;
        else if (readable && value && (storedKnown[index] || doubtful[index]) &&
                 SameId(id, storedIds[index]))
            writeOutcome[index] = woNotSaved;
        if (writeOutcome[index] == woSaved) {
            storedIds[index] = registeredIds[index];
            storedKnown[index] = true;
        }
        storedKnown[index] = storedKnown[index] && writeOutcome[index] != woInDoubt;
        doubtful[index] = writeOutcome[index] == woInDoubt;
    }
}

std::vector<int> CBtDevice::NotTakenPositions() const {
    return FlaggedPositions(notTaken);
}

std::vector<int> CBtDevice::PositionsWith(WriteOutcome outcome) const {
    std::vector<int> positions;
    for (int index = 0; index < PositionCount; ++index) {
        if (writeOutcome[index] == outcome)
            positions.push_back(index + 1);
    }
    return positions;
}

std::vector<int> CBtDevice::LeftOutPositions() const {
    return FlaggedPositions(readIncomplete);
}

std::string CBtDevice::GetRegisteredId(int index) const {
    if (index < 0 || index >= IdCount) {
        return std::string();
    }
    return registeredIds[index];
}

void CBtDevice::SetRegisteredId(int index, const std::string& id) {
    if (index < 0 || index >= IdCount) {
        return;
    }
    if (id != registeredIds[index]) {
        readIncomplete[index] = false;
    }
    registeredIds[index] = id;
}
