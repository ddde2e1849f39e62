// Windows test support: the sleeps of the build's own modules, routed to a test's choice.
//
// Windows has no symbol interposition like the nanosleep() replacement of the Linux tests.
// Instead the import tables of the modules that belong to the build (the test program,
// brenvoli.dll, the drivers; not the system's DLLs) are changed so that their calls of
// kernel32's Sleep reach the replacement. Modules loaded later through LoadLibraryA (the
// program loading brenvoli.dll, the library loading ftd2xx.dll) are changed as they load.
#pragma once

#include <windows.h>

namespace sleephook {

using SleepFn = void(WINAPI*)(DWORD ms);

// Routes every Sleep call of the build's modules to `replacement` from now on.
void RouteSleep(SleepFn replacement);
// The system's own Sleep, for a replacement that passes a call on.
void RealSleep(DWORD ms);

} // namespace sleephook
