#include "Btdevice.h"

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

    int index = 0;
    for (const IdRegisterRow* row = IdRegisterTable; row->replyLength >= 0; ++row, ++index) {
        std::string id;
        bool refused = false;
        for (const char* reg : row->registers) {
            if (failed)
                break;
            const std::string command = std::string(reg) + "\r";
            reply = link->SendRecv(static_cast<int32_t>(command.size()), row->replyLength, command);
            const std::string piece = TextPiece(reply, 6, 4);
            id += piece;
            refused = refused || !IsRegisterValue(piece);
            failed = reply.size() < static_cast<size_t>(row->replyLength) + 1;
            Pause();
        }
        registeredIds[index] = id;
        readIncomplete[index] = failed || refused || id.size() < IdLength;
    }

    // Register access is closed whenever the master still answers; after a silent exchange
    // the close would only wait out another time limit.
    if (!failed || !reply.empty())
        SendCommand("$A0H0");
    bool whole = true;
    for (int i = 0; i < index; ++i)
        whole = whole && !readIncomplete[i];
    return whole;
}

bool CBtDevice::WriteRegisteredIds() {
    // The session stops at the first exchange without its full reply, and the table is
    // committed only once the working registers read back as set: a table written only in
    // part, or one the module acknowledged without storing, is never committed, so the
    // master keeps its committed table whole.
    writeVerdict = wvNotSaved;
    for (bool& flag : notTaken)
        flag = false;
    std::string reply;
    const auto acknowledged = [this, &reply](const char* command) {
        reply = SendCommand(command);
        return reply.size() >= AckLength;
    };
    bool guarded = false;
    for (bool incomplete : readIncomplete) {
        guarded = guarded || incomplete;
    }
    // Positions left out keep what the working registers hold when committed; loading
    // them from the stored table first makes that the master's own entry.
    bool whole =
        acknowledged("$00H0") && acknowledged("$A0H1") && (!guarded || acknowledged("$CEH1"));
    if (whole)
        platform::SleepMs(AccessSettleMs);

    int index = 0;
    for (const IdRegisterRow* row = IdRegisterTable; whole && row->replyLength >= 0;
         ++row, ++index) {
        if (readIncomplete[index]) {
            continue;
        }
        for (int k = 0; whole && k < 3; ++k) {
            const std::string command = std::string(row->registers[k]) + "H" +
                                        TextPiece(registeredIds[index], 4 * k + 1, 4) + "\r";
            const int32_t replyLength = row->replyLength - 5;
            reply = link->SendRecv(static_cast<int32_t>(command.size()), replyLength, command);
            whole = reply.size() >= static_cast<size_t>(replyLength) + 1;
            Pause();
        }
    }

    whole = whole && ReadBack(reply) == rbAgrees;
    if (whole) {
        if (acknowledged("$CDH1")) {
            writeVerdict = wvSaved;
        } else {
            writeVerdict = ResolveCommit(reply);
        }
    }
    // Register access is closed whenever the master still answers; after a silent exchange
    // the close would only wait out another time limit before the failure can be reported.
    if (writeVerdict == wvSaved || !reply.empty())
        SendCommand("$A0H0");
    return writeVerdict == wvSaved;
}

CBtDevice::ReadBackResult CBtDevice::ReadBack(std::string& reply) {
    // The same queries as the start-up read, for the positions this write set. A reply
    // that is not whole puts the rest in doubt, as in the read: the read-back stops there.
    bool agrees = true;
    int index = 0;
    for (const IdRegisterRow* row = IdRegisterTable; row->replyLength >= 0; ++row, ++index) {
        if (readIncomplete[index])
            continue;
        std::string id;
        for (const char* reg : row->registers) {
            const std::string command = std::string(reg) + "\r";
            reply = link->SendRecv(static_cast<int32_t>(command.size()), row->replyLength, command);
            if (reply.size() < static_cast<size_t>(row->replyLength) + 1)
                return rbFailed;
            id += TextPiece(reply, 6, 4);
            Pause();
        }
        notTaken[index] = !SameId(id, registeredIds[index]);
        agrees = agrees && !notTaken[index];
    }
    return agrees ? rbAgrees : rbDiffers;
}

CBtDevice::WriteVerdict CBtDevice::ResolveCommit(std::string& reply) {
    // The commit may or may not have been carried out when its acknowledgement is lost: the
    // stored table, loaded into the working registers, says which.
    reply = SendCommand("$CEH1");
    if (reply.size() < AckLength)
        return wvInDoubt;
    switch (ReadBack(reply)) {
    case rbAgrees:
        return wvSaved;
    case rbDiffers:
        // The master keeps its earlier table; what it stored is not what was set.
        for (bool& flag : notTaken)
            flag = false;
        return wvNotSaved;
    default:
        return wvInDoubt;
    }
}

std::vector<int> CBtDevice::NotTakenPositions() const {
    return FlaggedPositions(notTaken);
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
