#include "Port.h"

#include "platform/Clock.h"
#include "platform/Sleep.h"

#include <algorithm>
#include <ftdi.h>

namespace provider {

namespace {

constexpr unsigned kReadPollMs = 1;
constexpr int kFillChunk = 4096;
constexpr UCHAR kMinLatencyMs = 2;

bool ValidTransferSize(ULONG size) {
    return size >= 64 && size <= 65536 && size % 64 == 0;
}

FT_STATUS Done(int libftdiResult) {
    return libftdiResult < 0 ? FT_IO_ERROR : FT_OK;
}

} // namespace

Port::~Port() {
    Close();
}

FT_STATUS Port::Close() {
    if (ftdi_ == nullptr)
        return FT_INVALID_HANDLE;
    const FT_STATUS status = Done(ftdi_usb_close(ftdi_));
    ftdi_free(ftdi_);
    ftdi_ = nullptr;
    return status;
}

FT_STATUS Port::Fill() {
    // libftdi has no queue status: a read returns what the bridge holds (its USB packets
    // less their two modem status bytes) and does not wait for more.
    uint8_t chunk[kFillChunk];
    const int got = ftdi_read_data(ftdi_, chunk, kFillChunk);
    if (got < 0)
        return FT_IO_ERROR;
    received_.insert(received_.end(), chunk, chunk + got);
    return FT_OK;
}

DWORD Port::Take(uint8_t* buffer, DWORD wanted) {
    const DWORD count = static_cast<DWORD>(std::min<size_t>(wanted, received_.size()));
    std::copy_n(received_.begin(), count, buffer);
    received_.erase(received_.begin(), received_.begin() + count);
    return count;
}

FT_STATUS Port::QueueStatus(DWORD& waiting) {
    const FT_STATUS status = Fill();
    waiting = static_cast<DWORD>(received_.size());
    return status;
}

FT_STATUS Port::Read(uint8_t* buffer, DWORD wanted, DWORD& got) {
    const int64_t deadline = platform::MonotonicMs() + (timeoutsSet_ ? readTimeoutMs_ : 0);
    got = Take(buffer, wanted);
    while (got < wanted) {
        const FT_STATUS status = Fill();
        got += Take(buffer + got, wanted - got);
        if (status != FT_OK)
            return status;
        if (got == wanted || platform::MonotonicMs() >= deadline)
            break;
        platform::SleepMs(kReadPollMs);
    }
    return FT_OK;
}

FT_STATUS Port::Write(const uint8_t* buffer, DWORD count, DWORD& written) {
    written = 0;
    if (count == 0)
        return FT_OK;
    const int sent = ftdi_write_data(ftdi_, buffer, static_cast<int>(count));
    if (sent < 0)
        return FT_IO_ERROR;
    written = static_cast<DWORD>(sent);
    return FT_OK;
}

FT_STATUS Port::Purge(ULONG mask) {
    FT_STATUS status = FT_OK;
    if ((mask & FT_PURGE_RX) != 0) {
        received_.clear();
        status = Done(ftdi_tciflush(ftdi_));
    }
    if ((mask & FT_PURGE_TX) != 0 && status == FT_OK)
        status = Done(ftdi_tcoflush(ftdi_));
    return status;
}

FT_STATUS Port::Reset() {
    received_.clear();
    return Done(ftdi_usb_reset(ftdi_));
}

FT_STATUS Port::SetTimeouts(ULONG readMs, ULONG writeMs) {
    timeoutsSet_ = true;
    readTimeoutMs_ = readMs;
    if (writeMs > 0)
        ftdi_->usb_write_timeout = static_cast<int>(std::min<ULONG>(writeMs, 0x7fffffff));
    return FT_OK;
}

FT_STATUS Port::SetLatencyTimer(UCHAR ms) {
    if (ms < kMinLatencyMs)
        return FT_INVALID_PARAMETER;
    return Done(ftdi_set_latency_timer(ftdi_, ms));
}

FT_STATUS Port::SetTransferSizes(ULONG inSize, ULONG outSize) {
    if (!ValidTransferSize(inSize) || (outSize != 0 && !ValidTransferSize(outSize)))
        return FT_INVALID_PARAMETER;
    received_.clear();
    FT_STATUS status = Done(ftdi_read_data_set_chunksize(ftdi_, inSize));
    if (outSize != 0 && status == FT_OK)
        status = Done(ftdi_write_data_set_chunksize(ftdi_, outSize));
    return status;
}

} // namespace provider
