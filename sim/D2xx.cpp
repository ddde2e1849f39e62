// The twelve D2XX functions of the simulated bridge. Each logs itself in the call log.
#include "platform/D2xxApi.h"

#include "Device.h"
#include "Master.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

const char serialNumber[] = "KM000001";
const char description[] = "KESTRAVION MASTER";
// D2XX hands out serial numbers and descriptions into 64-byte buffers.
const size_t listBufferSize = 64;

// The handle given out for device 0 points here.
char deviceToken;

FT_HANDLE DeviceHandle() {
    return &deviceToken;
}

bool Valid(const CSimDevice& device, FT_HANDLE handle) {
    return handle == DeviceHandle() && device.open;
}

std::string Text(const char* format, unsigned long long a = 0, unsigned long long b = 0,
                 unsigned long long c = 0, unsigned long long d = 0) {
    char line[160];
    std::snprintf(line, sizeof line, format, a, b, c, d);
    return line;
}

// A pulled bridge is not on the bus until it comes back.
bool DevicePresent(CSimDevice& device) {
    return device.scenario.openStatus != FT_DEVICE_NOT_FOUND && !device.Unplugged();
}

FT_STATUS OpenDevice(CSimDevice& device, bool matches, FT_HANDLE* handle) {
    if (handle == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    if (!matches || device.Unplugged()) {
        return FT_DEVICE_NOT_FOUND;
    }
    if (device.scenario.openStatus != FT_OK) {
        return device.scenario.openStatus;
    }
    if (device.open) {
        return FT_DEVICE_NOT_OPENED;
    }
    device.open = true;
    device.handleLost = false;
    device.timeoutsSet = false;
    device.readTimeoutMs = 0;
    device.receiveQueue.clear();
    *handle = DeviceHandle();
    return FT_OK;
}

// The bridges on the bus: the scenario's other bridges with the master's among them at its
// index, while it is present.
DWORD BridgeCount(CSimDevice& device) {
    return static_cast<DWORD>(device.scenario.otherBridges.size()) +
           (DevicePresent(device) ? 1 : 0);
}

// Bridge `index` is the master's.
bool IsMaster(CSimDevice& device, DWORD index) {
    return DevicePresent(device) && index == device.scenario.masterIndex;
}

// The other bridge at `index`, or nullptr.
const BridgeEntry* OtherBridge(CSimDevice& device, DWORD index) {
    if (index >= BridgeCount(device) || IsMaster(device, index))
        return nullptr;
    const DWORD other =
        DevicePresent(device) && index > device.scenario.masterIndex ? index - 1 : index;
    return &device.scenario.otherBridges[other];
}

// Copies bridge `index`'s serial number or description into a caller's buffer of the
// documented size.
void CopyDeviceString(CSimDevice& device, DWORD index, void* buffer, DWORD flags) {
    const bool byDescription = (flags & FT_OPEN_BY_DESCRIPTION) != 0;
    const BridgeEntry* other = OtherBridge(device, index);
    const char* text = other ? (byDescription ? other->description : other->serial).c_str()
                             : (byDescription ? description : serialNumber);
    std::strncpy(static_cast<char*>(buffer), text, listBufferSize - 1);
    static_cast<char*>(buffer)[listBufferSize - 1] = '\0';
}

FT_STATUS ListDevices(CSimDevice& device, void* arg1, void* arg2, DWORD flags) {
    const DWORD count = BridgeCount(device);
    const bool byString = (flags & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION)) != 0;
    if (flags == FT_LIST_NUMBER_ONLY) {
        if (arg1 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        *static_cast<DWORD*>(arg1) = count;
        return FT_OK;
    }
    if ((flags & FT_LIST_BY_INDEX) != 0 && byString) {
        if (arg2 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        if (reinterpret_cast<uintptr_t>(arg1) >= count) {
            return FT_DEVICE_NOT_FOUND;
        }
        CopyDeviceString(device, static_cast<DWORD>(reinterpret_cast<uintptr_t>(arg1)), arg2,
                         flags);
        return FT_OK;
    }
    if ((flags & FT_LIST_ALL) != 0 && byString) {
        if (arg1 == nullptr || arg2 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        char** buffers = static_cast<char**>(arg1);
        for (DWORD index = 0; index < count; ++index) {
            if (buffers[index] == nullptr) {
                return FT_INVALID_PARAMETER;
            }
            CopyDeviceString(device, index, buffers[index], flags);
        }
        *static_cast<DWORD*>(arg2) = count;
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS ReadBytes(CSimDevice& device, std::unique_lock<std::mutex>& lock, FT_HANDLE handle,
                    char* buffer, DWORD wanted, DWORD& got) {
    const long long waitUs = device.timeoutsSet ? device.readTimeoutMs * 1000LL : 0;
    const long long deadline = device.clock.NowUs() + waitUs;
    for (;;) {
        size_t arrived = device.ArrivedBytes();
        while (got < wanted && arrived > 0) {
            buffer[got++] = device.receiveQueue.front().byte;
            device.receiveQueue.pop_front();
            --arrived;
        }
        const long long now = device.clock.NowUs();
        if (got == wanted || now >= deadline) {
            return FT_OK;
        }
        // Like the real driver, wait for the rest until the read timeout.
        long long until = deadline;
        if (!device.receiveQueue.empty() && device.receiveQueue.front().dueUs < until) {
            until = device.receiveQueue.front().dueUs;
        }
        if (device.clock.Virtual()) {
            device.clock.AdvanceTo(until);
        } else {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::microseconds(until - now));
            lock.lock();
            if (!Valid(device, handle)) {
                return FT_INVALID_HANDLE;
            }
            if (device.HandleLost()) {
                return FT_IO_ERROR;
            }
        }
    }
}

bool ValidTransferSize(ULONG size) {
    return size >= 64 && size <= 65536 && size % 64 == 0;
}

// The start every D2XX function shares: the device's lock, held for the whole call. A call
// on a handle then makes the driver's checks in its order: the handle (the device open
// with it), the arguments (null pointers, values out of range), a pulled bridge, an
// injected error. The call's own work runs only when `status` is still FT_OK.
class CCall {
public:
    // A call without a handle: opening and listing.
    CCall() : device(Device()), lock(device.mutex) {}

    CCall(FT_HANDLE handle, const std::string& function, bool argumentsValid) : CCall() {
        if (!Valid(device, handle)) {
            status = FT_INVALID_HANDLE;
        } else if (!argumentsValid) {
            status = FT_INVALID_PARAMETER;
        } else if (device.HandleLost()) {
            lost = true;
            status = FT_IO_ERROR;
        } else {
            status = device.InjectedError(function);
        }
    }

    CSimDevice& device;
    std::unique_lock<std::mutex> lock;
    FT_STATUS status = FT_OK;
    bool lost = false; // the handle is one of a pulled bridge
};

} // namespace

extern "C" {

FT_STATUS D2XX_CALL FT_Open(int deviceNumber, FT_HANDLE* handle) {
    CCall call;
    // Another program holds the other bridges.
    const bool other =
        deviceNumber >= 0 && OtherBridge(call.device, static_cast<DWORD>(deviceNumber));
    const FT_STATUS status =
        other ? FT_DEVICE_NOT_OPENED
              : OpenDevice(call.device,
                           deviceNumber >= 0 &&
                               IsMaster(call.device, static_cast<DWORD>(deviceNumber)),
                           handle);
    call.device.LogCall("FT_Open " + std::to_string(deviceNumber) + Text(" -> %llu", status));
    return status;
}

FT_STATUS D2XX_CALL FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle) {
    CCall call;
    FT_STATUS status = FT_INVALID_PARAMETER;
    if (arg != nullptr) {
        const char* name = static_cast<const char*>(arg);
        const bool matches =
            (flags == FT_OPEN_BY_SERIAL_NUMBER && std::strcmp(name, serialNumber) == 0) ||
            (flags == FT_OPEN_BY_DESCRIPTION && std::strcmp(name, description) == 0);
        bool other = false;
        for (const BridgeEntry& bridge : call.device.scenario.otherBridges) {
            other = other || (flags == FT_OPEN_BY_SERIAL_NUMBER && bridge.serial == name) ||
                    (flags == FT_OPEN_BY_DESCRIPTION && bridge.description == name);
        }
        status = other && !matches
                     ? FT_DEVICE_NOT_OPENED
                     : OpenDevice(call.device, matches && DevicePresent(call.device), handle);
    }
    call.device.LogCall(Text("FT_OpenEx %llu -> %llu", flags, status));
    return status;
}

FT_STATUS D2XX_CALL FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
    CCall call;
    const FT_STATUS status = ListDevices(call.device, arg1, arg2, flags);
    call.device.LogCall(Text("FT_ListDevices %llX -> %llu", flags, status));
    return status;
}

FT_STATUS D2XX_CALL FT_Close(FT_HANDLE handle) {
    CCall call(handle, "FT_Close", true);
    if (call.lost) {
        // The handle of a pulled bridge is gone all the same.
        call.device.open = false;
    } else if (call.status == FT_OK) {
        call.device.open = false;
        call.device.receiveQueue.clear();
    }
    call.device.LogCall(Text("FT_Close -> %llu", call.status));
    return call.status;
}

FT_STATUS D2XX_CALL FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                            LPDWORD bytesReturned) {
    CCall call(handle, "FT_Read",
               bytesReturned != nullptr && (buffer != nullptr || bytesToRead == 0));
    DWORD got = 0;
    if (call.status == FT_OK) {
        call.status =
            ReadBytes(call.device, call.lock, handle, static_cast<char*>(buffer), bytesToRead, got);
    }
    if (bytesReturned != nullptr) {
        *bytesReturned = got;
    }
    call.device.LogCall(Text("FT_Read %llu -> %llu %llu", bytesToRead, call.status, got));
    return call.status;
}

FT_STATUS D2XX_CALL FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                             LPDWORD bytesWritten) {
    CCall call(handle, "FT_Write",
               bytesWritten != nullptr && (buffer != nullptr || bytesToWrite == 0));
    DWORD written = 0;
    if (call.status == FT_OK && bytesToWrite > 0) {
        ReceiveWrite(call.device, std::string(static_cast<const char*>(buffer), bytesToWrite));
        written = bytesToWrite;
        // The cable came out with a command of this write: the write fails with it.
        if (call.device.HandleLost()) {
            call.status = FT_IO_ERROR;
            written = 0;
        }
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = written;
    }
    call.device.LogCall(Text("FT_Write %llu -> %llu %llu", bytesToWrite, call.status, written));
    return call.status;
}

FT_STATUS D2XX_CALL FT_ResetDevice(FT_HANDLE handle) {
    CCall call(handle, "FT_ResetDevice", true);
    call.device.LogCall(Text("FT_ResetDevice -> %llu", call.status));
    return call.status;
}

FT_STATUS D2XX_CALL FT_Purge(FT_HANDLE handle, ULONG mask) {
    CCall call(handle, "FT_Purge", true);
    if (call.status == FT_OK && (mask & FT_PURGE_RX) != 0) {
        // Bytes still on their way are not in the bridge yet; they arrive later.
        for (size_t arrived = call.device.ArrivedBytes(); arrived > 0; --arrived) {
            call.device.receiveQueue.pop_front();
        }
    }
    call.device.LogCall(Text("FT_Purge %llu -> %llu", mask, call.status));
    return call.status;
}

FT_STATUS D2XX_CALL FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    CCall call(handle, "FT_SetTimeouts", true);
    if (call.status == FT_OK) {
        call.device.timeoutsSet = true;
        call.device.readTimeoutMs = readTimeout;
    }
    call.device.LogCall(
        Text("FT_SetTimeouts %llu %llu -> %llu", readTimeout, writeTimeout, call.status));
    return call.status;
}

FT_STATUS D2XX_CALL FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    CCall call(handle, "FT_GetQueueStatus", rxBytes != nullptr);
    DWORD waiting = 0;
    if (call.status == FT_OK) {
        waiting = static_cast<DWORD>(call.device.ArrivedBytes());
    }
    if (rxBytes != nullptr) {
        *rxBytes = waiting;
    }
    call.device.LogCall(Text("FT_GetQueueStatus -> %llu %llu", call.status, waiting));
    return call.status;
}

FT_STATUS D2XX_CALL FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    CCall call(handle, "FT_SetLatencyTimer", latency >= 2);
    call.device.LogCall(Text("FT_SetLatencyTimer %llu -> %llu", latency, call.status));
    return call.status;
}

FT_STATUS D2XX_CALL FT_SetUSBParameters(FT_HANDLE handle, ULONG inTransferSize,
                                        ULONG outTransferSize) {
    CCall call(handle, "FT_SetUSBParameters",
               ValidTransferSize(inTransferSize) &&
                   (outTransferSize == 0 || ValidTransferSize(outTransferSize)));
    call.device.LogCall(Text("FT_SetUSBParameters %llu %llu -> %llu", inTransferSize,
                             outTransferSize, call.status));
    return call.status;
}

} // extern "C"
