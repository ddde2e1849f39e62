// Windows test support: the sleeps of the build's own modules, routed to a test's choice.
//
// Windows has no symbol interposition like the nanosleep() replacement of the Linux tests.
// Instead the import tables of the modules that belong to the build (the test program,
// brenvoli.dll, the drivers; not the system's DLLs) are changed so that their calls of
// kernel32's Sleep (and GetTickCount64, the clock their time limits read) reach the
// replacement. Modules loaded later through LoadLibraryA (the
// program loading brenvoli.dll, the library loading ftd2xx.dll) are changed as they load.
#pragma once

#include <windows.h>

namespace sleephook {

using SleepFn = void(WINAPI*)(DWORD ms);
using ClockFn = ULONGLONG (*)();

// Routes every Sleep call of the build's modules to `replacement` from now on.
void RouteSleep(SleepFn replacement);
// Has the build's modules read kernel32's GetTickCount64 from `replacement` (nullptr: the
// system's clock again). Takes effect with RouteSleep's routing of the import tables.
void RouteClock(ClockFn replacement);
// The system's own GetTickCount64, for a replacement that passes a call on.
ULONGLONG RealTickCount();
// The system's own Sleep, for a replacement that passes a call on.
void RealSleep(DWORD ms);

} // namespace sleephook
