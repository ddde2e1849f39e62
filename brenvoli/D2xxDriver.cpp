#include "D2xxDriver.h"

#include "Status.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace brenvoli {

D2xxDriver driver;
int32_t driverLoaded;
int32_t deviceOpen;

namespace {

#ifdef _WIN32
const char kDriverFileName[] = "ftd2xx.dll";

// Windows has FTDI's driver only.
platform::LibHandle LoadProvider() {
    return nullptr;
}
#else
const char kDriverFileName[] = "libftd2xx.so";
const char kProviderFileName[] = "libkestravion-d2xx.so";

// The package's D2XX provider on Debian's libftdi, which lies beside this library wherever
// it is installed: found by this library's own path, not by the loader's search.
platform::LibHandle LoadProvider() {
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&DeviceReady), &self) == 0 || self.dli_fname == nullptr)
        return nullptr;
    const std::string path = self.dli_fname;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return nullptr;
    return platform::LoadLib((path.substr(0, slash + 1) + kProviderFileName).c_str());
}
#endif

template <typename Fn> void Store(Fn& field, void* symbol) {
    field = reinterpret_cast<Fn>(symbol);
}

struct Binding {
    const char* name;
    void (*store)(D2xxDriver& d, void* symbol);
};

// The binding order; a driver lacking one name leaves it and every later one unbound.
const Binding kBindings[] = {
    {"FT_Write", [](D2xxDriver& d, void* s) { Store(d.ftWrite, s); }},
    {"FT_Read", [](D2xxDriver& d, void* s) { Store(d.ftRead, s); }},
    {"FT_Open", [](D2xxDriver& d, void* s) { Store(d.ftOpen, s); }},
    {"FT_OpenEx", [](D2xxDriver& d, void* s) { Store(d.ftOpenEx, s); }},
    {"FT_ListDevices", [](D2xxDriver& d, void* s) { Store(d.ftListDevices, s); }},
    {"FT_Close", [](D2xxDriver& d, void* s) { Store(d.ftClose, s); }},
    {"FT_ResetDevice", [](D2xxDriver& d, void* s) { Store(d.ftResetDevice, s); }},
    {"FT_Purge", [](D2xxDriver& d, void* s) { Store(d.ftPurge, s); }},
    {"FT_SetTimeouts", [](D2xxDriver& d, void* s) { Store(d.ftSetTimeouts, s); }},
    {"FT_GetQueueStatus", [](D2xxDriver& d, void* s) { Store(d.ftGetQueueStatus, s); }},
    {"FT_SetLatencyTimer", [](D2xxDriver& d, void* s) { Store(d.ftSetLatencyTimer, s); }},
    {"FT_SetUSBParameters", [](D2xxDriver& d, void* s) { Store(d.ftSetUSBParameters, s); }},
    {nullptr, nullptr},
};

// Driver statuses are small unsigned values; the library hands them on as signed ones.
int32_t Pass(FtStatus status) {
    return static_cast<int32_t>(status);
}

} // namespace

void D2xxDriver::Bind(bool sayWhenMissing) {
    module = platform::LoadLib(kDriverFileName);
    if (!module)
        module = LoadProvider();
    if (!module && sayWhenMissing) {
        // The host program shows only a status; this line tells the technician what is
        // missing and where to get it.
        std::fprintf(stderr,
                     "brenvoli: FTDI's D2XX driver %s could not be loaded; get it from "
                     "https://ftdichip.com/drivers/d2xx-drivers/ and install it where the "
                     "dynamic loader finds it\n",
                     kDriverFileName);
    }
    if (!module)
        return;
    for (const Binding* row = kBindings; row->name; ++row) {
        void* symbol = platform::LibSymbol(module, row->name);
        if (!symbol)
            return;
        row->store(*this, symbol);
    }
}

void D2xxDriver::Unload() {
    platform::FreeLib(module);
    // Entry points into an unloaded library must never be called: a later binding that
    // stops early would otherwise leave stale ones behind.
    *this = D2xxDriver{};
}

int32_t D2xxDriver::Open(const char* serial) {
    if (serial[0] == '\0') {
        if (!ftOpen)
            return kStatusNoDriver;
        return Pass(ftOpen(0, &handle));
    }
    if (!ftOpenEx)
        return kStatusNoDriver;
    return Pass(ftOpenEx(const_cast<char*>(serial), kOpenBySerialNumber, &handle));
}

int32_t D2xxDriver::Count(uint32_t& count) {
    if (!ftListDevices)
        return kStatusNoDriver;
    FtDword number = 0;
    const int32_t status = Pass(ftListDevices(&number, nullptr, kListNumberOnly));
    count = number;
    return status;
}

int32_t D2xxDriver::Describe(uint32_t index, uint32_t what, char* text) {
    if (!ftListDevices)
        return kStatusNoDriver;
    // A driver that fills the buffer to its end still leaves a terminated text.
    char buffer[kDeviceStringSize + 1] = {};
    const int32_t status = Pass(ftListDevices(
        reinterpret_cast<void*>(static_cast<uintptr_t>(index)), buffer, kListByIndex | what));
    buffer[kDeviceStringSize - 1] = '\0';
    std::memcpy(text, buffer, kDeviceStringSize);
    return status;
}

int32_t D2xxDriver::Close() {
    if (!ftClose)
        return kStatusNoDriver;
    return Pass(ftClose(handle));
}

int32_t D2xxDriver::Purge(uint32_t mask) {
    if (!ftPurge)
        return kStatusNoDriver;
    return Pass(ftPurge(handle, mask));
}

int32_t D2xxDriver::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
    if (!ftSetTimeouts)
        return kStatusNoDriver;
    return Pass(ftSetTimeouts(handle, readMs, writeMs));
}

int32_t D2xxDriver::GetQueueStatus(uint32_t& waiting) {
    if (!ftGetQueueStatus)
        return kStatusNoDriver;
    return Pass(ftGetQueueStatus(handle, &waiting));
}

int32_t D2xxDriver::SetLatencyTimer(unsigned char ms) {
    if (!ftSetLatencyTimer)
        return kStatusNoDriver;
    return Pass(ftSetLatencyTimer(handle, ms));
}

int32_t D2xxDriver::SetUSBParameters(uint32_t inSize, uint32_t outSize) {
    if (!ftSetUSBParameters)
        return kStatusNoDriver;
    return Pass(ftSetUSBParameters(handle, inSize, outSize));
}

int32_t D2xxDriver::Read(void* buffer, uint32_t count, uint32_t& returned) {
    if (!ftRead)
        return kStatusNoDriver;
    return Pass(ftRead(handle, buffer, count, &returned));
}

int32_t D2xxDriver::Write(void* buffer, uint32_t count, uint32_t& written) {
    if (!ftWrite)
        return kStatusNoDriver;
    return Pass(ftWrite(handle, buffer, count, &written));
}

bool DeviceReady() {
    return driverLoaded == 1 && deviceOpen == 1;
}

} // namespace brenvoli
