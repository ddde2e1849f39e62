// The twelve D2XX functions on libftdi. A handle is an open Port; every call is made under
// one lock, so a handle closed by one thread is never used by another. Ports still open when
// the library is unloaded or the process ends normally are closed then, so that the
// kernel's serial driver gets their bridges back.
#include "Bridges.h"
#include "Port.h"
#include "platform/D2xxApi.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using provider::Bridge;
using provider::kD2xxStringSize;
using provider::Port;

namespace {

std::mutex lock;
std::set<Port*> ports;

// Closes every port still open when the library's static objects are destroyed: at dlclose
// or at the normal end of the process. Defined after the lock and the set, it is destroyed
// before them.
struct ClosingAtEnd {
    ~ClosingAtEnd() {
        std::lock_guard<std::mutex> guard(lock);
        for (Port* port : ports)
            delete port;
        ports.clear();
    }
} closingAtEnd;

// The open port behind `handle`, or nullptr for a handle never given out or closed.
Port* Find(FT_HANDLE handle) {
    const auto found = ports.find(static_cast<Port*>(handle));
    return found != ports.end() ? *found : nullptr;
}

template <typename Operation> FT_STATUS WithPort(FT_HANDLE handle, Operation operation) {
    std::lock_guard<std::mutex> guard(lock);
    Port* port = Find(handle);
    return port != nullptr ? operation(*port) : FT_INVALID_HANDLE;
}

FT_STATUS Open(const std::function<bool(unsigned, const Bridge&)>& pick, FT_HANDLE* handle) {
    if (handle == nullptr)
        return FT_INVALID_PARAMETER;
    std::lock_guard<std::mutex> guard(lock);
    ftdi_context* opened = nullptr;
    const FT_STATUS status = provider::OpenBridge(pick, &opened);
    if (status != FT_OK)
        return status;
    auto port = std::make_unique<Port>(opened);
    ports.insert(port.get());
    *handle = port.release();
    return FT_OK;
}

// Copies a bridge's serial number or description, as `flags` asks, into a D2XX buffer.
void CopyString(const Bridge& bridge, DWORD flags, void* buffer) {
    const std::string& text =
        (flags & FT_OPEN_BY_DESCRIPTION) != 0 ? bridge.description : bridge.serialNumber;
    char* out = static_cast<char*>(buffer);
    std::strncpy(out, text.c_str(), kD2xxStringSize - 1);
    out[kD2xxStringSize - 1] = '\0';
}

} // namespace

extern "C" {

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    if (deviceNumber < 0)
        return FT_DEVICE_NOT_FOUND;
    const unsigned wanted = static_cast<unsigned>(deviceNumber);
    return Open([wanted](unsigned index, const Bridge&) { return index == wanted; }, handle);
}

FT_STATUS FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle) {
    if (arg == nullptr || (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION))
        return FT_INVALID_PARAMETER;
    const std::string name = static_cast<const char*>(arg);
    return Open(
        [name, flags](unsigned, const Bridge& bridge) {
            return name ==
                   (flags == FT_OPEN_BY_SERIAL_NUMBER ? bridge.serialNumber : bridge.description);
        },
        handle);
}

FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
    const bool numberOnly = flags == FT_LIST_NUMBER_ONLY;
    const bool byString = (flags & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION)) != 0;
    const bool byIndex = (flags & FT_LIST_BY_INDEX) != 0 && byString;
    const bool all = (flags & FT_LIST_ALL) != 0 && byString;
    if (!numberOnly && !byIndex && !all)
        return FT_INVALID_PARAMETER;
    if (((numberOnly || all) && arg1 == nullptr) || ((byIndex || all) && arg2 == nullptr))
        return FT_INVALID_PARAMETER;
    std::lock_guard<std::mutex> guard(lock);
    const std::vector<Bridge> bridges = provider::ListBridges();
    if (numberOnly) {
        *static_cast<DWORD*>(arg1) = static_cast<DWORD>(bridges.size());
    } else if (byIndex) {
        const uintptr_t index = reinterpret_cast<uintptr_t>(arg1);
        if (index >= bridges.size())
            return FT_DEVICE_NOT_FOUND;
        CopyString(bridges[index], flags, arg2);
    } else {
        // A null-terminated array of buffers, one per bridge.
        char** buffers = static_cast<char**>(arg1);
        for (size_t i = 0; i < bridges.size(); ++i) {
            if (buffers[i] == nullptr)
                return FT_INVALID_PARAMETER;
            CopyString(bridges[i], flags, buffers[i]);
        }
        *static_cast<DWORD*>(arg2) = static_cast<DWORD>(bridges.size());
    }
    return FT_OK;
}

FT_STATUS FT_Close(FT_HANDLE handle) {
    std::lock_guard<std::mutex> guard(lock);
    Port* port = Find(handle);
    if (port == nullptr)
        return FT_INVALID_HANDLE;
    ports.erase(port);
    const std::unique_ptr<Port> closing(port);
    return closing->Close();
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead, DWORD* bytesReturned) {
    return WithPort(handle, [&](Port& port) {
        if (bytesReturned == nullptr || (buffer == nullptr && bytesToRead > 0))
            return FT_STATUS{FT_INVALID_PARAMETER};
        return port.Read(static_cast<uint8_t*>(buffer), bytesToRead, *bytesReturned);
    });
}

FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite, DWORD* bytesWritten) {
    return WithPort(handle, [&](Port& port) {
        if (bytesWritten == nullptr || (buffer == nullptr && bytesToWrite > 0))
            return FT_STATUS{FT_INVALID_PARAMETER};
        return port.Write(static_cast<const uint8_t*>(buffer), bytesToWrite, *bytesWritten);
    });
}

FT_STATUS FT_ResetDevice(FT_HANDLE handle) {
    return WithPort(handle, [](Port& port) { return port.Reset(); });
}

FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    return WithPort(handle, [mask](Port& port) { return port.Purge(mask); });
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    return WithPort(handle,
                    [=](Port& port) { return port.SetTimeouts(readTimeout, writeTimeout); });
}

FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    return WithPort(handle, [rxBytes](Port& port) {
        return rxBytes != nullptr ? port.QueueStatus(*rxBytes) : FT_INVALID_PARAMETER;
    });
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency) {
    return WithPort(handle, [latency](Port& port) { return port.SetLatencyTimer(latency); });
}

FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, ULONG inTransferSize, ULONG outTransferSize) {
    return WithPort(
        handle, [=](Port& port) { return port.SetTransferSizes(inTransferSize, outTransferSize); });
}

} // extern "C"
