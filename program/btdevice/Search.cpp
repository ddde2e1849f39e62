#include "Btdevice.h"

#include "TextPiece.h"
#include "platform/Clock.h"
#include "platform/Sleep.h"
#include "platform/Ui.h"
#include "program/link/Axodll.h"

#include <cstdio>

namespace {

// Largest piece of the result text asked for in one read.
const int32_t MaxReadCount = 100;

// Length of a complete value reply: header, four digits, closing character.
const size_t ValueReplyLength = 10;

enum SearchState { ssStart, ssStarted, ssPolling, ssDone };

} // namespace

std::vector<SLAVE> CBtDevice::SearchDevices(bool& completed) {
    completed = false;
    receiveBuffer.clear();
    readPosition = 0;
    bool whole = true;

    SearchState state = ssStart;
    const int64_t pollingStart = platform::MonotonicMs();
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
            PollPause();
            if ((ReplyValue(reply) & 1) == 0) {
                state = ssDone;
            } else if (platform::MonotonicMs() - pollingStart >= SearchTimeLimitMs) {
                // The module still reports the search running: what it found is not known.
                whole = false;
                state = ssDone;
            }
            break;
        }
        }
    }

    const int64_t retrievalStart = platform::MonotonicMs();
    for (;;) {
        if (platform::MonotonicMs() - retrievalStart >= RetrievalTimeLimitMs) {
            whole = false;
            break;
        }
        Trace("[T]%s\n", "$04");
        const std::string count = SendCommand("$04");
        PollPause();
        Trace("[R]%s\n", count.c_str());
        int32_t n = ReplyValue(count);
        if (n <= 0) {
            // A count that never arrived leaves the rest of the result unread.
            whole = whole && count.size() >= ValueReplyLength;
            break;
        }
        if (n >= MaxReadCount) {
            n = MaxReadCount;
        }
        char text[16];
        std::snprintf(text, sizeof text, "%sH%02X\r", "$05", static_cast<unsigned>(n));
        const std::string command = text;
        Trace("%sH%02X\n", "$05", static_cast<unsigned>(n));
        const std::string reply =
            link->SendRecv(static_cast<int32_t>(command.size()), n + 5, command);
        Trace("[R]%s\n", reply.c_str());
        receiveBuffer += TextPiece(reply, 6, static_cast<int32_t>(reply.size()) - 6);
    }
    Trace("--------<retrieved OK>---------\n");
    Trace("%s", receiveBuffer.c_str());

    ParseResult();
    completed = whole;
    return found;
}

void CBtDevice::PollPause() {
    if (!Pause())
        platform::SleepMs(MinPollIntervalMs);
}
