// The framed exchange, the raw exchanges and the steps they rest on.
#include "Exchange.h"

#include "D2xxDriver.h"
#include "Status.h"
#include "brenvoli.h"
#include "platform/Clock.h"
#include "platform/Sleep.h"

#include <cstdio>
#include <cstring>

namespace brenvoli {

bool exchangeFailed;

namespace {

constexpr unsigned kPollMs = 10;
// "MS" commands make the master busy for a while before it answers.
constexpr unsigned kMsPauseMs = 2000;

constexpr int kMinSendLength = 1;
constexpr int kMaxSendLength = 250;
constexpr int kMinReplyLength = 1;
constexpr int kMaxReplyLength = 254;
constexpr int kFrameBufferSize = 384;
constexpr int kFrameHeaderSize = 6;
constexpr char kCr = '\r';

// After a failed module command the master may still be answering it: before the next
// one, the bridge is read until it has stayed quiet this long, and for no longer than the
// limit in all (a master that never falls quiet).
constexpr int64_t kDrainQuietMs = 3000;
constexpr int64_t kDrainLimitMs = 15000;

// Drops the late bytes of a failed exchange from the receive queue, so that they are not
// taken as a later exchange's reply. With `drain`, bytes that still come within the quiet
// while are dropped too: a module command's reply that comes after its time limit would
// otherwise shift every reply after it, the read-back a write's verdict rests on included.
// Returns the purge status; on a failure the flag stays set and the next exchange tries
// again.
int32_t PurgeAfterFailure(bool drain) {
    if (!exchangeFailed)
        return kStatusOk;
    const int64_t start = platform::MonotonicMs();
    char late = 0;
    while (drain && platform::MonotonicMs() - start < kDrainLimitMs &&
           WaitByte(kDrainQuietMs, late) == kStatusOk) {
    }
    int32_t status = driver.Purge(kPurgeRx);
    if (status == kStatusOk)
        exchangeFailed = false;
    return status;
}

// Every receiving exchange starts here: it refuses when the device is not open, and after
// a failed exchange it first drops that one's late bytes (`drain`: as they come, for a
// while). On a purge failure nothing is sent and the purge status is returned.
int32_t BeginExchange(bool drain = false) {
    if (!DeviceReady())
        return kStatusNoDriver;
    return PurgeAfterFailure(drain);
}

// Hands on the result of an exchange, remembering a failure for the next one.
int32_t EndExchange(int32_t status) {
    if (status != kStatusOk)
        exchangeFailed = true;
    return status;
}

// The raw exchanges' arguments: a length their send buffer holds, and the buffers.
bool RawArgumentsFit(const char* data, int length, int bufferSize) {
    return length >= 0 && length <= bufferSize && (data || length == 0);
}

// Copies `length` bytes into the zero-filled `buffer` and writes them. The write status
// is not examined: a failed write shows as a missing reply.
void CopyAndWrite(const char* data, int length, char* buffer) {
    if (length > 0)
        std::memcpy(buffer, data, static_cast<size_t>(length));
    uint32_t written = 0;
    driver.Write(buffer, static_cast<uint32_t>(length), written);
}

// Reads through the first carriage return into `reply`. With `replySize` above 0 nothing
// is stored past that many bytes: a full buffer without a carriage return ends the read
// and sets `overlong`.
int32_t ReceiveLine(int64_t limitMs, char* reply, int replySize, bool& overlong) {
    overlong = false;
    for (int stored = 0;;) {
        if (replySize > 0 && stored == replySize) {
            overlong = true;
            exchangeFailed = true;
            return kStatusOk;
        }
        char byte = 0;
        int32_t status = WaitByte(limitMs, byte);
        if (status != kStatusOk)
            return status;
        reply[stored++] = byte;
        if (byte == kCr)
            return kStatusOk;
    }
}

} // namespace

int32_t WaitByte(int64_t limitMs, char& byte) {
    // Elapsed time, not a count of tries: a driver whose read blocks for its own timeout
    // before handing out nothing, or one that keeps reporting bytes it never delivers,
    // ends as a timeout after the same limit as a silent master.
    const int64_t start = platform::MonotonicMs();
    for (;;) {
        uint32_t waiting = 0;
        int32_t status = driver.GetQueueStatus(waiting);
        if (status != kStatusOk)
            return status;
        if (waiting > 0) {
            uint32_t returned = 0;
            status = driver.Read(&byte, 1, returned);
            if (status != kStatusOk)
                return status;
            if (returned == 1)
                return kStatusOk;
        }
        platform::SleepMs(kPollMs);
        if (platform::MonotonicMs() - start > limitMs)
            return kStatusTimeout;
    }
}

int32_t SendLine(const char* data, int length, char* reply, int replySize, bool& overlong) {
    overlong = false;
    if (!RawArgumentsFit(data, length, kSendBufferSize) || !reply || replySize < 1)
        return kStatusBadLength;
    int32_t status = BeginExchange();
    if (status != kStatusOk)
        return status;
    char buffer[kSendBufferSize] = {};
    CopyAndWrite(data, length, buffer);
    return EndExchange(ReceiveLine(kLineWaitMs, reply, replySize, overlong));
}

} // namespace brenvoli

using namespace brenvoli;

extern "C" BRENVOLI_API int BRENVOLI_CALL KestravionExtSR(int sendLength, int replyLength,
                                                          const char* payload, char* reply) {
    if (sendLength < kMinSendLength || sendLength > kMaxSendLength ||
        replyLength < kMinReplyLength || replyLength > kMaxReplyLength || !payload || !reply)
        return kStatusBadLength;
    int32_t status = BeginExchange(true);
    if (status != kStatusOk)
        return status;

    char frame[kFrameBufferSize] = {};
    char header[kFrameHeaderSize + 1] = {};
    std::snprintf(header, sizeof header, "MX%02X%02X", static_cast<unsigned>(sendLength + 5),
                  static_cast<unsigned>(replyLength + 1));
    std::memcpy(frame, header, kFrameHeaderSize);
    std::memcpy(frame + kFrameHeaderSize, payload, static_cast<size_t>(sendLength));
    frame[kFrameHeaderSize + sendLength] = kCr;
    uint32_t written = 0;
    driver.Write(frame, static_cast<uint32_t>(sendLength + 7), written);

    // The reply has no framing of its own: a carriage return inside it is just a byte.
    for (int stored = 0; stored < replyLength + 1; ++stored) {
        status = WaitByte(kLongWaitMs, reply[stored]);
        if (status != kStatusOk)
            return EndExchange(status);
    }
    return kStatusOk;
}

extern "C" BRENVOLI_API int BRENVOLI_CALL AxoUsbSendOnly(const char* data, int length) {
    if (!RawArgumentsFit(data, length, kSendOnlyBufferSize))
        return kStatusBadLength;
    if (!DeviceReady())
        return kStatusNoDriver;
    // A send-only exchange reads no reply that late bytes could be taken for, and it
    // always reports success: a purge that fails is left to the next exchange.
    PurgeAfterFailure(false);
    char buffer[kSendOnlyBufferSize] = {};
    CopyAndWrite(data, length, buffer);
    return kStatusOk;
}

extern "C" BRENVOLI_API int BRENVOLI_CALL AxoUsbSendCmd_Adv(const char* data, int length,
                                                            char* reply, int longWait) {
    if (!RawArgumentsFit(data, length, kSendBufferSize) || !reply)
        return kStatusBadLength;
    int32_t status = BeginExchange();
    if (status != kStatusOk)
        return status;
    const int64_t limitMs = (longWait & 0xFF) != 0 ? kLongWaitMs : kShortWaitMs;
    char buffer[kSendBufferSize] = {};
    CopyAndWrite(data, length, buffer);
    if (buffer[0] == 'M' && buffer[1] == 'S')
        platform::SleepMs(kMsPauseMs);
    // The caller sizes `reply` for the longest line it expects; its size is not known here.
    bool overlong = false;
    return EndExchange(ReceiveLine(limitMs, reply, 0, overlong));
}

extern "C" BRENVOLI_API int BRENVOLI_CALL AxoUsbSendCmd_Bin(const char* data, int length,
                                                            char* reply, int count) {
    if (!RawArgumentsFit(data, length, kSendBufferSize) || !reply)
        return kStatusBadLength;
    int32_t status = BeginExchange();
    if (status != kStatusOk)
        return status;
    char buffer[kSendBufferSize] = {};
    CopyAndWrite(data, length, buffer);
    // At least one byte is awaited, even for a count below 1.
    int stored = 0;
    do {
        status = WaitByte(kLongWaitMs, reply[stored++]);
        if (status != kStatusOk)
            return EndExchange(status);
    } while (stored < count);
    return kStatusOk;
}
