// A fake D2XX driver: device 0 opens, purges, accepts writes and hands out queued bytes.
// Compiled once per variant; FAKE_WITHOUT_<name> leaves that entry point out.
#include "FakeD2xx.h"

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using Status = uint32_t;
using Dword = uint32_t;

std::string callLog;
std::string queue;
int device;
Dword phantom;
int readBlockMs;

void Log(const std::string& line) {
    callLog += line + "\n";
}

} // namespace

FAKE_EXPORT const char* FakeCallLog(void) {
    return callLog.c_str();
}

FAKE_EXPORT void FakeReset(void) {
    callLog.clear();
    queue.clear();
    phantom = 0;
    readBlockMs = 0;
}

FAKE_EXPORT void FakePhantom(int count) {
    phantom = static_cast<Dword>(count);
}

FAKE_EXPORT void FakeBlockingRead(int ms) {
    readBlockMs = ms;
}

FAKE_EXPORT void FakeQueue(const char* bytes, int length) {
    queue.append(bytes, length);
}

#ifndef FAKE_WITHOUT_FT_Write
FAKE_EXPORT Status FT_Write(void*, void* buffer, Dword count, Dword* written) {
    Log("FT_Write " + std::to_string(count) + " " +
        std::string(static_cast<const char*>(buffer), count));
    *written = count;
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_Read
FAKE_EXPORT Status FT_Read(void*, void* buffer, Dword count, Dword* returned) {
    Log("FT_Read " + std::to_string(count));
    if (readBlockMs > 0) {
#ifdef _WIN32
        ::Sleep(static_cast<DWORD>(readBlockMs));
#else
        const timespec block{readBlockMs / 1000, (readBlockMs % 1000) * 1000000L};
        nanosleep(&block, nullptr);
#endif
    }
    Dword n = count < queue.size() ? count : static_cast<Dword>(queue.size());
    queue.copy(static_cast<char*>(buffer), n);
    queue.erase(0, n);
    *returned = n;
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_Open
FAKE_EXPORT Status FT_Open(int index, void** handle) {
    Log("FT_Open " + std::to_string(index));
    *handle = &device;
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_OpenEx
FAKE_EXPORT Status FT_OpenEx(void*, Dword, void**) {
    Log("FT_OpenEx");
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_ListDevices
FAKE_EXPORT Status FT_ListDevices(void*, void*, Dword) {
    Log("FT_ListDevices");
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_Close
FAKE_EXPORT Status FT_Close(void*) {
    Log("FT_Close");
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_ResetDevice
FAKE_EXPORT Status FT_ResetDevice(void*) {
    Log("FT_ResetDevice");
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_Purge
FAKE_EXPORT Status FT_Purge(void*, Dword mask) {
    Log("FT_Purge " + std::to_string(mask));
    if (mask & 1)
        queue.clear();
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_SetTimeouts
FAKE_EXPORT Status FT_SetTimeouts(void*, Dword readMs, Dword writeMs) {
    Log("FT_SetTimeouts " + std::to_string(readMs) + " " + std::to_string(writeMs));
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_GetQueueStatus
FAKE_EXPORT Status FT_GetQueueStatus(void*, Dword* waiting) {
    Log("FT_GetQueueStatus");
    *waiting = queue.empty() ? phantom : static_cast<Dword>(queue.size());
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_SetLatencyTimer
FAKE_EXPORT Status FT_SetLatencyTimer(void*, unsigned char ms) {
    Log("FT_SetLatencyTimer " + std::to_string(ms));
    return 0;
}
#endif

#ifndef FAKE_WITHOUT_FT_SetUSBParameters
FAKE_EXPORT Status FT_SetUSBParameters(void*, Dword inSize, Dword outSize) {
    Log("FT_SetUSBParameters " + std::to_string(inSize) + " " + std::to_string(outSize));
    return 0;
}
#endif
