// Opening and closing the device.
#include "D2xxDriver.h"
#include "Exchange.h"
#include "Status.h"
#include "brenvoli.h"

#include <cstring>

using namespace brenvoli;

namespace {

constexpr int kPurgeAttempts = 5;
constexpr uint32_t kReadTimeoutMs = 60000;
constexpr uint32_t kWriteTimeoutMs = 1000;
constexpr uint32_t kInTransferSize = 63360;
constexpr uint32_t kOutTransferSize = 0;
constexpr unsigned char kLatencyMs = 2;

// The serial number of the bridge to open; empty for device 0.
char selectedSerial[kDeviceStringSize];

// Back to the state of a freshly loaded library, so the next open binds afresh.
void BecomeIdle() {
    driver.Unload();
    driverLoaded = 0;
    deviceOpen = 0;
    exchangeFailed = false;
}

} // namespace

extern "C" BRENVOLI_API int BRENVOLI_CALL KestravionUsbOpen(void) {
    if (driverLoaded == 0) {
        driver.Bind();
        driverLoaded = 1;
    }
    if (deviceOpen == 0) {
        int32_t status = driver.Open(selectedSerial);
        if (status != kStatusOk) {
            BecomeIdle();
            return status;
        }
        deviceOpen = 1;
    }
    bool purged = false;
    for (int attempt = 0; attempt < kPurgeAttempts && !purged; ++attempt)
        purged = driver.Purge(kPurgeRx | kPurgeTx) == kStatusOk;
    if (!purged) {
        driver.Close();
        BecomeIdle();
        return kStatusPurgeFailed;
    }
    exchangeFailed = false;
    // A device that refuses a setting still works with the driver's defaults.
    driver.SetTimeouts(kReadTimeoutMs, kWriteTimeoutMs);
    driver.SetUSBParameters(kInTransferSize, kOutTransferSize);
    driver.SetLatencyTimer(kLatencyMs);
    return kStatusOk;
}

extern "C" BRENVOLI_API int BRENVOLI_CALL KestravionUsbClose(void) {
    if (driverLoaded == 1 && deviceOpen == 1) {
        driver.Close();
        BecomeIdle();
    }
    return kStatusOk;
}

extern "C" BRENVOLI_API int BRENVOLI_CALL KestravionUsbSelect(const char* serial) {
    const size_t length = serial ? std::strlen(serial) : 0;
    if (length >= sizeof selectedSerial)
        return kStatusBadLength;
    std::memcpy(selectedSerial, serial ? serial : "", length);
    selectedSerial[length] = '\0';
    return kStatusOk;
}

extern "C" BRENVOLI_API int BRENVOLI_CALL KestravionUsbList(int index, int* count, char* serial,
                                                            char* description) {
    if (!count || (index >= 0 && (!serial || !description)))
        return kStatusBadLength;
    *count = 0;
    // Listing binds the driver as an open does, without a word when it is missing: the open
    // that follows says so.
    if (driverLoaded == 0) {
        driver.Bind(false);
        driverLoaded = 1;
    }
    uint32_t bridges = 0;
    int32_t status = driver.Count(bridges);
    if (status == kStatusOk && index >= 0) {
        status = static_cast<uint32_t>(index) < bridges
                     ? driver.Describe(static_cast<uint32_t>(index), kOpenBySerialNumber, serial)
                     : kStatusDeviceNotFound;
        if (status == kStatusOk)
            status = driver.Describe(static_cast<uint32_t>(index), kOpenByDescription, description);
    }
    if (status == kStatusNoDriver && deviceOpen == 0)
        BecomeIdle();
    *count = static_cast<int>(bridges);
    return status;
}
