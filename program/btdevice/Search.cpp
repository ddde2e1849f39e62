#include "Btdevice.h"

#include "TextPiece.h"
#include "platform/Ui.h"
#include "program/link/Axodll.h"

#include <cstdio>

namespace {

// Largest piece of the result text asked for in one read.
const int32_t MaxReadCount = 100;

enum SearchState { ssStart, ssStarted, ssPolling, ssDone };

} // namespace

std::vector<SLAVE> CBtDevice::SearchDevices(bool& completed) {
    completed = false;
    receiveBuffer.clear();
    readPosition = 0;

    SearchState state = ssStart;
    int32_t polls = 0;
    // Messages are handled at the start of every turn, the one that leaves the loop too.
    for (;;) {
        platform::CurrentUi().ProcessMessages();
        if (state == ssDone) {
            break;
        }
        switch (state) {
        case ssStart:
            SendCommand("$00H0");
            state = ssStarted;
            break;
        case ssStarted:
            SendCommand("$02H1");
            state = ssPolling;
            break;
        default: {
            const std::string reply = SendCommand("$03");
            Pause();
            ++polls;
            if ((ReplyValue(reply) & 1) == 0 || polls >= MaxStatusPolls) {
                state = ssDone;
            }
            break;
        }
        }
    }

    for (int32_t reads = 0; reads < MaxResultReads; ++reads) {
        std::printf("[T]%s\n", "$04");
        const std::string count = SendCommand("$04");
        Pause();
        std::printf("[R]%s\n", count.c_str());
        int32_t n = ReplyValue(count);
        if (n <= 0) {
            break;
        }
        if (n >= MaxReadCount) {
            n = MaxReadCount;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%sH%02X\r", "$05", static_cast<unsigned>(n));
        const std::string command = text;
        std::printf("%sH%02X\n", "$05", static_cast<unsigned>(n));
        const std::string reply =
            link->SendRecv(static_cast<int32_t>(command.size()), n + 5, command);
        std::printf("[R]%s\n", reply.c_str());
        receiveBuffer += TextPiece(reply, 6, static_cast<int32_t>(reply.size()) - 6);
    }
    std::printf("--------<retrieved OK>---------\n");
    std::printf("%s", receiveBuffer.c_str());

    ParseResult();
    completed = true;
    return found;
}
