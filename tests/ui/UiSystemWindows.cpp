#include "UiSystem.h"

#include "program/btdevice/Rules.h"

#include "brenvoli/brenvoli.h"

#include <windows.h>

bool FamilyLockHeld() {
    HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, SingleInstanceMutex);
    if (mutex == nullptr)
        return false;
    ::CloseHandle(mutex);
    return true;
}

// The program looks only for the named mutex's existence: a mutex this process makes
// without the program's own lock stands for another program's.
OtherFamilyProgram::OtherFamilyProgram() {
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, SingleInstanceMutex);
    holds_ = mutex != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
    holder_[0] = reinterpret_cast<std::intptr_t>(mutex);
}

OtherFamilyProgram::~OtherFamilyProgram() {
    if (HANDLE mutex = reinterpret_cast<HANDLE>(holder_[0]))
        ::CloseHandle(mutex);
}

void CloseLinkDevice() {
    if (HMODULE library = ::GetModuleHandleA("brenvoli.dll")) {
        auto close = reinterpret_cast<KestravionUsbCloseFn>(
            reinterpret_cast<void*>(::GetProcAddress(library, "KestravionUsbClose")));
        if (close)
            close();
    }
}
