// The binding of the FTDI D2XX driver library, loaded at run time, and the device state.
#pragma once

#include "platform/DynLib.h"

#include <cstdint>

#ifdef _WIN32
#define FT_CALL __stdcall
#else
#define FT_CALL
#endif

namespace brenvoli {

// The driver's own types as its public documentation gives them: a handle, and 32-bit
// unsigned statuses and counts.
using FtHandle = void*;
using FtStatus = uint32_t;
using FtDword = uint32_t;

using FtOpenFn = FtStatus(FT_CALL*)(int device, FtHandle* handle);
using FtOpenExFn = FtStatus(FT_CALL*)(void* arg, FtDword flags, FtHandle* handle);
using FtListDevicesFn = FtStatus(FT_CALL*)(void* arg1, void* arg2, FtDword flags);
using FtCloseFn = FtStatus(FT_CALL*)(FtHandle handle);
using FtReadFn = FtStatus(FT_CALL*)(FtHandle handle, void* buffer, FtDword count,
                                    FtDword* returned);
using FtWriteFn = FtStatus(FT_CALL*)(FtHandle handle, void* buffer, FtDword count,
                                     FtDword* written);
using FtResetDeviceFn = FtStatus(FT_CALL*)(FtHandle handle);
using FtPurgeFn = FtStatus(FT_CALL*)(FtHandle handle, FtDword mask);
using FtSetTimeoutsFn = FtStatus(FT_CALL*)(FtHandle handle, FtDword readMs, FtDword writeMs);
using FtGetQueueStatusFn = FtStatus(FT_CALL*)(FtHandle handle, FtDword* waiting);
using FtSetLatencyTimerFn = FtStatus(FT_CALL*)(FtHandle handle, unsigned char ms);
using FtSetUSBParametersFn = FtStatus(FT_CALL*)(FtHandle handle, FtDword inSize, FtDword outSize);

// D2XX purge flags.
constexpr uint32_t kPurgeRx = 1;
constexpr uint32_t kPurgeTx = 2;
// D2XX open and list flags.
constexpr uint32_t kOpenBySerialNumber = 1;
constexpr uint32_t kOpenByDescription = 2;
constexpr uint32_t kListNumberOnly = 0x80000000u;
constexpr uint32_t kListByIndex = 0x40000000u;
// D2XX hands serial numbers and descriptions out in buffers of this size.
constexpr int kDeviceStringSize = 64;

// One static instance; zero until bound. Each operation is one driver call with the stored
// handle (but Open) and returns its status, or 1 without calling anything when its entry
// point is not bound.
struct D2xxDriver {
    platform::LibHandle module;
    FtHandle handle;
    FtOpenFn ftOpen;
    FtOpenExFn ftOpenEx;
    FtListDevicesFn ftListDevices;
    FtCloseFn ftClose;
    FtReadFn ftRead;
    FtWriteFn ftWrite;
    FtResetDeviceFn ftResetDevice;
    FtPurgeFn ftPurge;
    FtSetTimeoutsFn ftSetTimeouts;
    FtGetQueueStatusFn ftGetQueueStatus;
    FtSetLatencyTimerFn ftSetLatencyTimer;
    FtSetUSBParametersFn ftSetUSBParameters;

    // Loads the driver library and binds its entry points in a fixed order, stopping at
    // the first name it lacks. A gap shows later as status 1; a driver library that does
    // not load at all is also named, with where to get it, in one line on standard error.
    void Bind(bool sayWhenMissing = true);
    // Unloads the driver library and forgets the handle and every entry point.
    void Unload();

    // Opens the bridge with serial number `serial`, or device 0 when it is empty.
    int32_t Open(const char* serial);
    // The number of bridges the driver reports.
    int32_t Count(uint32_t& count);
    // Bridge `index`'s serial number (kOpenBySerialNumber) or description
    // (kOpenByDescription) into `text`, which holds kDeviceStringSize bytes.
    int32_t Describe(uint32_t index, uint32_t what, char* text);
    int32_t Close();
    int32_t Purge(uint32_t mask);
    int32_t SetTimeouts(uint32_t readMs, uint32_t writeMs);
    int32_t GetQueueStatus(uint32_t& waiting);
    int32_t SetLatencyTimer(unsigned char ms);
    int32_t SetUSBParameters(uint32_t inSize, uint32_t outSize);
    int32_t Read(void* buffer, uint32_t count, uint32_t& returned);
    int32_t Write(void* buffer, uint32_t count, uint32_t& written);
};

extern D2xxDriver driver;
// 1 once a binding attempt has been made; 1 while the device handle is open. Always
// cleared together.
extern int32_t driverLoaded;
extern int32_t deviceOpen;

// True while the driver is bound and the device is open.
bool DeviceReady();

} // namespace brenvoli
