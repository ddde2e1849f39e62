// An open bridge behind a D2XX handle: libftdi's context, the bytes received and not yet
// read, and the read timeout.
#pragma once

#include "platform/D2xxApi.h"

#include <cstdint>
#include <vector>

struct ftdi_context;

namespace provider {

// Every operation returns a D2XX status: FT_IO_ERROR when libftdi reports a failure of the
// USB (a pulled cable among them), FT_INVALID_PARAMETER for values D2XX refuses.
class Port {
public:
    // Takes over `opened`, a context with an open bridge.
    explicit Port(ftdi_context* opened) : ftdi_(opened) {}
    // Closes the bridge (the kernel's serial driver gets it back) unless Close() did.
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // Closes the bridge; the port is unusable afterwards whatever the status.
    FT_STATUS Close();
    // The bytes received and not yet read, after taking in what the bridge holds now.
    FT_STATUS QueueStatus(DWORD& waiting);
    // Up to `wanted` bytes; waits for the rest up to the read timeout (not at all before
    // SetTimeouts) and returns what arrived, FT_OK on a timeout.
    FT_STATUS Read(uint8_t* buffer, DWORD wanted, DWORD& got);
    FT_STATUS Write(const uint8_t* buffer, DWORD count, DWORD& written);
    // FT_PURGE_RX drops the bytes received, here and in the bridge; FT_PURGE_TX those the
    // bridge has not sent on yet.
    FT_STATUS Purge(ULONG mask);
    FT_STATUS Reset();
    // A write timeout of 0 keeps libftdi's, as libusb would take it for no limit.
    FT_STATUS SetTimeouts(ULONG readMs, ULONG writeMs);
    // 2 to 255 ms.
    FT_STATUS SetLatencyTimer(UCHAR ms);
    // Multiples of 64 from 64 to 65536; an out size of 0 keeps the current one. The bytes
    // received and not yet read are dropped, as D2XX drops them.
    FT_STATUS SetTransferSizes(ULONG inSize, ULONG outSize);

private:
    // Takes in what the bridge has received, without waiting for more.
    FT_STATUS Fill();
    DWORD Take(uint8_t* buffer, DWORD wanted);

    ftdi_context* ftdi_;
    std::vector<uint8_t> received_;
    bool timeoutsSet_ = false;
    ULONG readTimeoutMs_ = 0;
};

} // namespace provider
