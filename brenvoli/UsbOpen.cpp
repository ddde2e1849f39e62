// Opening and closing the device.
#include "D2xxDriver.h"
#include "Exchange.h"
#include "Status.h"
#include "brenvoli.h"

using namespace brenvoli;

namespace {

constexpr int kPurgeAttempts = 5;
constexpr uint32_t kReadTimeoutMs = 60000;
constexpr uint32_t kWriteTimeoutMs = 1000;
constexpr uint32_t kInTransferSize = 63360;
constexpr uint32_t kOutTransferSize = 0;
constexpr unsigned char kLatencyMs = 2;

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
        int32_t status = driver.Open();
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
