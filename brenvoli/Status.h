// The library's status codes. Values 2 to 59 are never produced by the library itself:
// they are the D2XX driver's own status, passed through unchanged.
#pragma once

#include <cstdint>

namespace brenvoli {

constexpr int32_t kStatusOk = 0;
// The driver library or the needed entry point is missing, or the device is not open.
constexpr int32_t kStatusNoDriver = 1;
// The driver's own "device not found", also for a bridge index past the last one.
constexpr int32_t kStatusDeviceNotFound = 2;
// The master reported state digit 6 to "MG".
constexpr int32_t kStatusMasterState6 = 60;
// A command of the initialisation sequence was refused; plus the reason digit.
constexpr int32_t kStatusRefused = 70;
// A reply of the initialisation sequence had no digit where one was required, or did not
// fit its buffer.
constexpr int32_t kStatusNoDigit = 80;
// A length (or buffer) argument out of range; nothing was sent.
constexpr int32_t kStatusBadLength = 81;
// "MV" was not acknowledged in 5 attempts.
constexpr int32_t kStatusMvFailed = 82;
// The device is not open.
constexpr int32_t kStatusNotOpen = 91;
// Purging both buffers failed 5 times; the device has been closed again.
constexpr int32_t kStatusPurgeFailed = 92;
// The connection reply did not report success.
constexpr int32_t kStatusNotConnected = 93;
// No byte arrived within the wait limit of the exchange.
constexpr int32_t kStatusTimeout = 99;

} // namespace brenvoli
