// The D2XX interface as FTDI documents it (DWORD and ULONG are 32-bit unsigned on Linux):
// the types, status codes, flags and the twelve functions that both drivers of this tree
// export, the simulated master unit and the provider on libftdi1.
#pragma once

#include <cstdint>

using DWORD = uint32_t;
using ULONG = uint32_t;
using USHORT = uint16_t;
using UCHAR = uint8_t;
using LPDWORD = DWORD*;
using FT_HANDLE = void*;
using FT_STATUS = ULONG;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
};

// FT_OpenEx and FT_ListDevices flags.
enum : DWORD {
    FT_OPEN_BY_SERIAL_NUMBER = 1,
    FT_OPEN_BY_DESCRIPTION = 2,
    FT_OPEN_BY_LOCATION = 4,
    FT_LIST_NUMBER_ONLY = 0x80000000u,
    FT_LIST_BY_INDEX = 0x40000000u,
    FT_LIST_ALL = 0x20000000u,
};

// FT_Purge mask bits.
enum : ULONG {
    FT_PURGE_RX = 1,
    FT_PURGE_TX = 2,
};

// On Windows only what is marked is exported, and the D2XX functions use the standard
// calling convention, as FTDI's ftd2xx.dll does.
#ifdef _WIN32
#define D2XX_EXPORT __declspec(dllexport)
#define D2XX_CALL __stdcall
#else
#define D2XX_EXPORT __attribute__((visibility("default")))
#define D2XX_CALL
#endif

extern "C" {
D2XX_EXPORT FT_STATUS D2XX_CALL FT_Open(int deviceNumber, FT_HANDLE* handle);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_OpenEx(void* arg, DWORD flags, FT_HANDLE* handle);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_ListDevices(void* arg1, void* arg2, DWORD flags);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_Close(FT_HANDLE handle);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_Read(FT_HANDLE handle, void* buffer, DWORD bytesToRead,
                                        LPDWORD bytesReturned);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_Write(FT_HANDLE handle, void* buffer, DWORD bytesToWrite,
                                         LPDWORD bytesWritten);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_ResetDevice(FT_HANDLE handle);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_Purge(FT_HANDLE handle, ULONG mask);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout,
                                               ULONG writeTimeout);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_GetQueueStatus(FT_HANDLE handle, DWORD* rxBytes);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_SetLatencyTimer(FT_HANDLE handle, UCHAR latency);
D2XX_EXPORT FT_STATUS D2XX_CALL FT_SetUSBParameters(FT_HANDLE handle, ULONG inTransferSize,
                                                    ULONG outTransferSize);
}
