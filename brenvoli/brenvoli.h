// The exports of the interface library brenvoli (libbrenvoli.so, brenvoli.dll).
//
// The library owns the USB bridge to the master unit: it loads the D2XX driver at run
// time, opens device 0, initialises and connects the master unit and exchanges command
// frames with it. Every export returns a status: 0 for success, 1 when the driver or an
// entry point is missing (or the device is not open), other small values are the driver's
// own status, 60 to 99 the library's codes (brenvoli/Status.h).
//
// Only plain integers and caller-owned byte buffers cross this boundary. The library has
// no locks: make one call at a time.
#pragma once

#ifdef _WIN32
#define BRENVOLI_CALL __stdcall
#else
#define BRENVOLI_CALL
#endif

// Building the library marks its exports; the rest of it is compiled hidden. On Windows
// the export table comes from brenvoli.def, which keeps the names undecorated.
#if defined(BRENVOLI_BUILDING) && !defined(_WIN32)
#define BRENVOLI_API __attribute__((visibility("default")))
#else
#define BRENVOLI_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Loads and binds the driver when needed, opens the bridge chosen by KestravionUsbSelect
// (device 0 when none is), purges both buffers and applies the link settings. Returns 0,
// 1, 92 or the driver's open status (2 when no bridge, or none with that serial number, is
// attached).
BRENVOLI_API int BRENVOLI_CALL KestravionUsbOpen(void);
// Closes the device and unloads the driver when both are held. Always returns 0.
BRENVOLI_API int BRENVOLI_CALL KestravionUsbClose(void);
// Runs the master unit's initialisation sequence. Returns 0, 60, 70-79, 80, 82, 91, 99
// or a driver status.
BRENVOLI_API int BRENVOLI_CALL KestravionExtInit(void);
// Confirms the master unit's connection. Returns 0, 93, 99 or a driver status.
BRENVOLI_API int BRENVOLI_CALL KestravionExtCon(void);
// Sends `payload` (sendLength 1-250 bytes) in an "MX" frame and reads exactly
// replyLength + 1 bytes (replyLength 1-254) into `reply`. Returns 0, 1, 81, 99 or a
// driver status.
BRENVOLI_API int BRENVOLI_CALL KestravionExtSR(int sendLength, int replyLength, const char* payload,
                                               char* reply);
// Sends 0-100 raw bytes. Returns 0 (1 when the device is not open, 81 for a bad length).
BRENVOLI_API int BRENVOLI_CALL AxoUsbSendOnly(const char* data, int length);
// Sends 0-1025 raw bytes and reads a reply through its carriage return. The lowest byte of
// `longWait` chooses the per-byte wait: nonzero about 60 s, zero about 4 s.
BRENVOLI_API int BRENVOLI_CALL AxoUsbSendCmd_Adv(const char* data, int length, char* reply,
                                                 int longWait);
// Sends 0-1025 raw bytes and reads `count` bytes (at least one).
BRENVOLI_API int BRENVOLI_CALL AxoUsbSendCmd_Bin(const char* data, int length, char* reply,
                                                 int count);

// Chooses the bridge the next KestravionUsbOpen opens by its serial number (at most 63
// characters, copied); NULL or "" chooses device 0 again. Returns 0, or 81 for a longer text.
BRENVOLI_API int BRENVOLI_CALL KestravionUsbSelect(const char* serial);
// The bridges the driver reports, binding it when needed: sets *count to their number
// (0 without a driver), and for `index` 0 to *count - 1 copies that bridge's serial number
// and description into `serial` and `description`, caller-owned buffers of 64 bytes each,
// always terminated. A negative `index` asks for the count alone. Returns 0, 1 (no driver
// or entry point), 2 (no bridge at `index`), 81 (a buffer missing) or the driver's status.
BRENVOLI_API int BRENVOLI_CALL KestravionUsbList(int index, int* count, char* serial,
                                                 char* description);

// Pointer types for a host that binds the exports by name.
typedef int(BRENVOLI_CALL* KestravionUsbOpenFn)(void);
typedef int(BRENVOLI_CALL* KestravionUsbCloseFn)(void);
typedef int(BRENVOLI_CALL* KestravionExtInitFn)(void);
typedef int(BRENVOLI_CALL* KestravionExtConFn)(void);
typedef int(BRENVOLI_CALL* KestravionExtSRFn)(int, int, const char*, char*);
typedef int(BRENVOLI_CALL* AxoUsbSendOnlyFn)(const char*, int);
typedef int(BRENVOLI_CALL* AxoUsbSendCmd_AdvFn)(const char*, int, char*, int);
typedef int(BRENVOLI_CALL* AxoUsbSendCmd_BinFn)(const char*, int, char*, int);
typedef int(BRENVOLI_CALL* KestravionUsbSelectFn)(const char*);
typedef int(BRENVOLI_CALL* KestravionUsbListFn)(int, int*, char*, char*);

#ifdef __cplusplus
}
#endif
