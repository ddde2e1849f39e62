// The byte-level exchange steps shared by the exports.
#pragma once

#include <cstdint>

namespace brenvoli {

// Send buffers of the raw exchanges; their size bounds the length each accepts.
constexpr int kSendOnlyBufferSize = 100;
constexpr int kSendBufferSize = 1025;

// How long a byte is waited for, in milliseconds of elapsed time: 60 s, 10 s and 4 s of
// silence, however long each look at the driver takes.
constexpr int64_t kLongWaitMs = 60000;
constexpr int64_t kLineWaitMs = 10000;
constexpr int64_t kShortWaitMs = 4000;

// Set when an exchange ended without its whole reply (timeout, driver status, a line too
// long for its buffer): the rest may still arrive, so the next exchange first drops what
// is waiting in the receive queue. Cleared by a successful open.
extern bool exchangeFailed;

// Waits for one byte, polling the receive queue every 10 ms, and reads it. Returns 0 with
// the byte, 99 once more than `limitMs` have passed without a byte (counting empty polls,
// reads that hand out nothing although bytes were reported, and the time a driver call
// itself blocks), or the driver's status.
int32_t WaitByte(int64_t limitMs, char& byte);

// Sends `length` raw bytes and reads the reply line through its carriage return into
// `reply`, which holds `replySize` bytes, waiting at most about 10 s for each byte. A line
// that does not fit is never stored past the buffer: reading stops when the buffer is
// full, `overlong` is set and the rest of the line is dropped before the next exchange.
int32_t SendLine(const char* data, int length, char* reply, int replySize, bool& overlong);

} // namespace brenvoli
