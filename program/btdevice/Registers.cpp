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

} // namespace

bool CBtDevice::ReadRegisteredIds() {
    // A reply that comes too late stays queued and is taken for the next command's, so once
    // one reply of the sequence is short every later one of this read is in doubt too.
    bool failed = false;
    for (const char* command : {"$00H0", "$A0H1", "$CEH1"}) {
        failed = SendCommand(command).size() < AckLength || failed;
    }
    platform::SleepMs(AccessSettleMs);

    int index = 0;
    for (const IdRegisterRow* row = IdRegisterTable; row->replyLength >= 0; ++row, ++index) {
        std::string id;
        bool refused = false;
        for (const char* reg : row->registers) {
            const std::string command = std::string(reg) + "\r";
            const std::string reply =
                link->SendRecv(static_cast<int32_t>(command.size()), row->replyLength, command);
            const std::string piece = TextPiece(reply, 6, 4);
            id += piece;
            refused = refused || !IsRegisterValue(piece);
            failed = failed || reply.size() < static_cast<size_t>(row->replyLength) + 1;
            Pause();
        }
        registeredIds[index] = id;
        readIncomplete[index] = failed || refused || id.size() < IdLength;
    }

    SendCommand("$A0H0");
    return true;
}

bool CBtDevice::WriteRegisteredIds() {
    SendCommand("$00H0");
    SendCommand("$A0H1");
    bool guarded = false;
    for (bool incomplete : readIncomplete) {
        guarded = guarded || incomplete;
    }
    // Positions left out keep what the working registers hold when committed; loading
    // them from the stored table first makes that the master's own entry.
    if (guarded) {
        SendCommand("$CEH1");
    }
    platform::SleepMs(AccessSettleMs);

    int index = 0;
    for (const IdRegisterRow* row = IdRegisterTable; row->replyLength >= 0; ++row, ++index) {
        if (readIncomplete[index]) {
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            const std::string command = std::string(row->registers[k]) + "H" +
                                        TextPiece(registeredIds[index], 4 * k + 1, 4) + "\r";
            link->SendRecv(static_cast<int32_t>(command.size()), row->replyLength - 5, command);
            Pause();
        }
    }

    SendCommand("$CDH1");
    SendCommand("$A0H0");
    return true;
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
