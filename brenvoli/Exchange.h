// The byte-level exchange steps shared by the exports.
#pragma once

#include <cstdint>

namespace brenvoli {

// Send buffers of the raw exchanges; their size bounds the length each accepts.
constexpr int kSendOnlyBufferSize = 100;
constexpr int kSendBufferSize = 1025;

// Per-byte poll limits, in 10 ms polls: about 60 s, 10 s and 4 s of silence.
constexpr int kLongPollLimit = 6000;
constexpr int kLinePollLimit = 1000;
constexpr int kShortPollLimit = 400;

// Set when an exchange ended without its whole reply (timeout, driver status, a line too
// long for its buffer): the rest may still arrive, so the next exchange first drops what
// is waiting in the receive queue. Cleared by a successful open.
extern bool exchangeFailed;

// Waits for one byte, polling the receive queue every 10 ms, and reads it. Returns 0 with
// the byte, 99 after more than `pollLimit` tries without a byte (an empty poll, or a read
// that hands out nothing although bytes were reported; each followed by a 10 ms sleep),
// or the driver's status.
int32_t WaitByte(int pollLimit, char& byte);

// Sends `length` raw bytes and reads the reply line through its carriage return into
// `reply`, which holds `replySize` bytes, waiting at most about 10 s for each byte. A line
// that does not fit is never stored past the buffer: reading stops when the buffer is
// full, `overlong` is set and the rest of the line is dropped before the next exchange.
int32_t SendLine(const char* data, int length, char* reply, int replySize, bool& overlong);

} // namespace brenvoli
