// The twelve D2XX functions of the simulated bridge. Each logs itself in the call log.
#include "SimD2xx.h"

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

// Copies one device string into a caller's buffer of the documented size.
void CopyDeviceString(void* buffer, DWORD flags) {
    const char* text = (flags & FT_OPEN_BY_DESCRIPTION) != 0 ? description : serialNumber;
    std::strncpy(static_cast<char*>(buffer), text, listBufferSize - 1);
    static_cast<char*>(buffer)[listBufferSize - 1] = '\0';
}

FT_STATUS ListDevices(CSimDevice& device, void* arg1, void* arg2, DWORD flags) {
    const DWORD count = DevicePresent(device) ? 1 : 0;
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
        CopyDeviceString(arg2, flags);
        return FT_OK;
    }
    if ((flags & FT_LIST_ALL) != 0 && byString) {
        if (arg1 == nullptr || arg2 == nullptr) {
            return FT_INVALID_PARAMETER;
        }
        char** buffers = static_cast<char**>(arg1);
        if (count > 0) {
            if (buffers[0] == nullptr) {
                return FT_INVALID_PARAMETER;
            }
            CopyDeviceString(buffers[0], flags);
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

} // namespace

extern "C" {

FT_STATUS KSIM_CALL FT_Open(int deviceNumber, FT_HANDLE* handle) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    const FT_STATUS status = OpenDevice(device, deviceNumber == 0, handle);
    device.LogCall("FT_Open " + std::to_string(deviceNumber) + Text(" -> %llu", status));
    return status;
}

FT_STATUS KSIM_CALL FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    FT_STATUS status = FT_INVALID_PARAMETER;
    if (arg != nullptr) {
        const char* name = static_cast<const char*>(arg);
        const bool matches =
            (flags == FT_OPEN_BY_SERIAL_NUMBER && std::strcmp(name, serialNumber) == 0) ||
            (flags == FT_OPEN_BY_DESCRIPTION && std::strcmp(name, description) == 0);
        status = OpenDevice(device, matches && DevicePresent(device), handle);
    }
    device.LogCall(Text("FT_OpenEx %llu -> %llu", flags, status));
    return status;
}

FT_STATUS KSIM_CALL FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    const FT_STATUS status = ListDevices(device, arg1, arg2, flags);
    device.LogCall(Text("FT_ListDevices %llX -> %llu", flags, status));
    return status;
}

FT_STATUS KSIM_CALL FT_Close(FT_HANDLE handle) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    FT_STATUS status = FT_INVALID_HANDLE;
    if (Valid(device, handle) && device.HandleLost()) {
        // The handle of a pulled bridge is gone all the same.
        status = FT_IO_ERROR;
        device.open = false;
    } else if (Valid(device, handle)) {
        status = device.InjectedError("FT_Close");
        if (status == FT_OK) {
            device.open = false;
            device.receiveQueue.clear();
        }
    }
    device.LogCall(Text("FT_Close -> %llu", status));
    return status;
}

FT_STATUS KSIM_CALL FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                            LPDWORD bytesReturned) {
    CSimDevice& device = Device();
    std::unique_lock<std::mutex> lock(device.mutex);
    DWORD got = 0;
    FT_STATUS status = FT_INVALID_HANDLE;
    if (!Valid(device, handle)) {
        status = FT_INVALID_HANDLE;
    } else if (bytesReturned == nullptr || (buffer == nullptr && bytesToRead > 0)) {
        status = FT_INVALID_PARAMETER;
    } else if (device.HandleLost()) {
        status = FT_IO_ERROR;
    } else {
        status = device.InjectedError("FT_Read");
        if (status == FT_OK) {
            status = ReadBytes(device, lock, handle, static_cast<char*>(buffer), bytesToRead, got);
        }
    }
    if (bytesReturned != nullptr) {
        *bytesReturned = got;
    }
    device.LogCall(Text("FT_Read %llu -> %llu %llu", bytesToRead, status, got));
    return status;
}

FT_STATUS KSIM_CALL FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                             LPDWORD bytesWritten) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    DWORD written = 0;
    FT_STATUS status = FT_INVALID_HANDLE;
    if (!Valid(device, handle)) {
        status = FT_INVALID_HANDLE;
    } else if (bytesWritten == nullptr || (buffer == nullptr && bytesToWrite > 0)) {
        status = FT_INVALID_PARAMETER;
    } else if (device.HandleLost()) {
        status = FT_IO_ERROR;
    } else {
        status = device.InjectedError("FT_Write");
        if (status == FT_OK && bytesToWrite > 0) {
            ReceiveWrite(device, std::string(static_cast<const char*>(buffer), bytesToWrite));
            written = bytesToWrite;
        }
        // The cable came out with a command of this write: the write fails with it.
        if (device.HandleLost()) {
            status = FT_IO_ERROR;
            written = 0;
        }
    }
    if (bytesWritten != nullptr) {
        *bytesWritten = written;
    }
    device.LogCall(Text("FT_Write %llu -> %llu %llu", bytesToWrite, status, written));
    return status;
}

FT_STATUS KSIM_CALL FT_ResetDevice(FT_HANDLE handle) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    FT_STATUS status = FT_INVALID_HANDLE;
    if (Valid(device, handle)) {
        status = device.HandleLost() ? FT_IO_ERROR : device.InjectedError("FT_ResetDevice");
    }
    device.LogCall(Text("FT_ResetDevice -> %llu", status));
    return status;
}

FT_STATUS KSIM_CALL FT_Purge(FT_HANDLE handle, ULONG mask) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    FT_STATUS status = FT_INVALID_HANDLE;
    if (Valid(device, handle)) {
        status = device.HandleLost() ? FT_IO_ERROR : device.InjectedError("FT_Purge");
        if (status == FT_OK && (mask & FT_PURGE_RX) != 0) {
            // Bytes still on their way are not in the bridge yet; they arrive later.
            for (size_t arrived = device.ArrivedBytes(); arrived > 0; --arrived) {
                device.receiveQueue.pop_front();
            }
        }
    }
    device.LogCall(Text("FT_Purge %llu -> %llu", mask, status));
    return status;
}

FT_STATUS KSIM_CALL FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    FT_STATUS status = FT_INVALID_HANDLE;
    if (Valid(device, handle)) {
        status = device.HandleLost() ? FT_IO_ERROR : device.InjectedError("FT_SetTimeouts");
        if (status == FT_OK) {
            device.timeoutsSet = true;
            device.readTimeoutMs = readTimeout;
        }
    }
    device.LogCall(Text("FT_SetTimeouts %llu %llu -> %llu", readTimeout, writeTimeout, status));
    return status;
}

FT_STATUS KSIM_CALL FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    DWORD waiting = 0;
    FT_STATUS status = FT_INVALID_HANDLE;
    if (!Valid(device, handle)) {
        status = FT_INVALID_HANDLE;
    } else if (rxBytes == nullptr) {
        status = FT_INVALID_PARAMETER;
    } else if (device.HandleLost()) {
        status = FT_IO_ERROR;
    } else {
        status = device.InjectedError("FT_GetQueueStatus");
        if (status == FT_OK) {
            waiting = static_cast<DWORD>(device.ArrivedBytes());
        }
    }
    if (rxBytes != nullptr) {
        *rxBytes = waiting;
    }
    device.LogCall(Text("FT_GetQueueStatus -> %llu %llu", status, waiting));
    return status;
}

FT_STATUS KSIM_CALL FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    FT_STATUS status = FT_INVALID_HANDLE;
    if (Valid(device, handle)) {
        status = latency < 2           ? FT_INVALID_PARAMETER
                 : device.HandleLost() ? FT_IO_ERROR
                                       : device.InjectedError("FT_SetLatencyTimer");
    }
    device.LogCall(Text("FT_SetLatencyTimer %llu -> %llu", latency, status));
    return status;
}

FT_STATUS KSIM_CALL FT_SetUSBParameters(FT_HANDLE handle, ULONG inTransferSize,
                                        ULONG outTransferSize) {
    CSimDevice& device = Device();
    std::lock_guard<std::mutex> lock(device.mutex);
    FT_STATUS status = FT_INVALID_HANDLE;
    if (Valid(device, handle)) {
        const bool sizesValid = ValidTransferSize(inTransferSize) &&
                                (outTransferSize == 0 || ValidTransferSize(outTransferSize));
        status = !sizesValid           ? FT_INVALID_PARAMETER
                 : device.HandleLost() ? FT_IO_ERROR
                                       : device.InjectedError("FT_SetUSBParameters");
    }
    device.LogCall(
        Text("FT_SetUSBParameters %llu %llu -> %llu", inTransferSize, outTransferSize, status));
    return status;
}

} // extern "C"
