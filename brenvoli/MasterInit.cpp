// Initialisation and connection of the master unit: two-letter command lines, each
// acknowledged by a reply line.
#include "D2xxDriver.h"
#include "Exchange.h"
#include "Status.h"
#include "brenvoli.h"
#include "platform/Sleep.h"

#include <cstring>

namespace brenvoli {

// The state digit of the last acknowledged "MG" reply.
int32_t mgState = 1;

namespace {

struct InitCommand {
    const char* text;
    int zeros; // "0" characters appended
};

enum InitStep { kStepLs, kStepMg, kStepMw, kStepMv, kStepMo, kStepOt, kStepOr, kStepXv };

const InitCommand kInitCommands[] = {
    {"LS", 0}, {"MG", 0}, {"MW", 0}, {"MV", 0},    {"MO", 9},
    {"OT", 6}, {"OR", 0}, {"XV", 0}, {nullptr, 0},
};

constexpr int kCommandBufferSize = 62;
// A reply line, its carriage return included.
constexpr int kReplyBufferSize = 10;
constexpr unsigned kAfterLsMs = 1000;
constexpr int kMvAttempts = 5;
constexpr unsigned kMvPauseMs = 500;
// The state digit with which the master tells it cannot be initialised now.
constexpr int32_t kMgStateUnavailable = 6;
// The state digit with which "MW" is not needed.
constexpr int32_t kMgStateReady = 1;

// Builds the command line of a step into `buffer`; returns its length.
int BuildCommand(int index, char* buffer) {
    const InitCommand& command = kInitCommands[index];
    int length = static_cast<int>(std::strlen(command.text));
    std::memcpy(buffer, command.text, static_cast<size_t>(length));
    for (int i = 0; i < command.zeros; ++i)
        buffer[length++] = '0';
    buffer[length++] = '\r';
    return length;
}

// The value of a decimal digit, or -1.
int DigitValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

// Sends one command line of the table and judges its reply. A reply too long for the
// step's buffer is not a well-formed acknowledgement or refusal: it counts as a refusal
// without a reason digit (80), and its rest is dropped before the next exchange.
int32_t SendInitStep(int index) {
    char command[kCommandBufferSize] = {};
    int length = BuildCommand(index, command);
    if (index == kStepLs)
        return AxoUsbSendOnly(command, length);

    char reply[kReplyBufferSize] = {};
    bool overlong = false;
    int32_t status = SendLine(command, length, reply, kReplyBufferSize, overlong);
    if (status != kStatusOk)
        return status;
    if (overlong)
        return kStatusNoDigit;
    int digit = DigitValue(reply[1]);
    if (reply[0] == 'Y') {
        if (index != kStepMg)
            return kStatusOk;
        if (digit < 0)
            return kStatusNoDigit;
        mgState = digit;
        return kStatusOk;
    }
    return digit < 0 ? kStatusNoDigit : kStatusRefused + digit;
}

} // namespace
} // namespace brenvoli

using namespace brenvoli;

extern "C" BRENVOLI_API int BRENVOLI_CALL KestravionExtInit(void) {
    if (!DeviceReady())
        return kStatusNotOpen;
    SendInitStep(kStepLs);
    platform::SleepMs(kAfterLsMs);

    int32_t status = SendInitStep(kStepMg);
    if (status != kStatusOk)
        return status;
    if (mgState == kMgStateUnavailable)
        return kStatusMasterState6;
    if (mgState != kMgStateReady) {
        status = SendInitStep(kStepMw);
        if (status != kStatusOk)
            return status;
    }

    // "MV" may be refused while the master settles; every failure earns a pause.
    bool acknowledged = false;
    for (int attempt = 0; attempt < kMvAttempts && !acknowledged; ++attempt) {
        acknowledged = SendInitStep(kStepMv) == kStatusOk;
        if (!acknowledged)
            platform::SleepMs(kMvPauseMs);
    }
    if (!acknowledged)
        return kStatusMvFailed;

    status = SendInitStep(kStepMo);
    if (status != kStatusOk)
        return status;
    status = SendInitStep(kStepOt);
    if (status != kStatusOk)
        return status;
    return SendInitStep(kStepOr);
}

extern "C" BRENVOLI_API int BRENVOLI_CALL KestravionExtCon(void) {
    char command[kCommandBufferSize] = {};
    int length = BuildCommand(kStepXv, command);
    char reply[kReplyBufferSize] = {};
    bool overlong = false;
    int32_t status = SendLine(command, length, reply, kReplyBufferSize, overlong);
    if (status != kStatusOk)
        return status;
    // Whatever the first character, a "1" second reports the connection.
    return !overlong && reply[1] == '1' ? kStatusOk : kStatusNotConnected;
}
