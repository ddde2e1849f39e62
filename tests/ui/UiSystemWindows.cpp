#include "UiSystem.h"

#include "brenvoli/brenvoli.h"

#include <windows.h>

namespace {

const char* const FamilyMutex = "VQM44TN QUELIN ZOMRA";

} // namespace

bool FamilyLockHeld() {
    HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, FamilyMutex);
    if (mutex == nullptr)
        return false;
    ::CloseHandle(mutex);
    return true;
}

// The program looks only for the named mutex's existence: a mutex this process makes
// without the program's own lock stands for another program's.
OtherFamilyProgram::OtherFamilyProgram() {
    mutex_ = ::CreateMutexA(nullptr, FALSE, FamilyMutex);
    holds_ = mutex_ != nullptr && ::GetLastError() != ERROR_ALREADY_EXISTS;
}

OtherFamilyProgram::~OtherFamilyProgram() {
    if (mutex_ != nullptr)
        ::CloseHandle(static_cast<HANDLE>(mutex_));
}

void CloseLinkDevice() {
    if (HMODULE library = ::GetModuleHandleA("brenvoli.dll")) {
        auto close = reinterpret_cast<KestravionUsbCloseFn>(
            reinterpret_cast<void*>(::GetProcAddress(library, "KestravionUsbClose")));
        if (close)
            close();
    }
}
