#include "NamedMutex.h"

#include <windows.h>

namespace platform {

namespace {

// The handle of the mutex this process created; held, never closed, until the process
// ends, when the system releases the mutex.
HANDLE heldMutex = nullptr;

} // namespace

InstanceLock TakeNamedMutex(const std::string& name, std::string& why) {
    if (heldMutex != nullptr)
        return InstanceLock::Taken;
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
    DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        // A mutex of that name exists but this process may not open it: held elsewhere.
        if (error == ERROR_ACCESS_DENIED)
            return InstanceLock::HeldElsewhere;
        why = "The single-instance mutex \"" + name + "\" could not be created (system error " +
              std::to_string(error) + ").";
        return InstanceLock::Refused;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // Only the answer is needed: a handle kept here would keep the mutex in existence
        // after its holder has ended, and a later start would be refused in its turn.
        ::CloseHandle(mutex);
        return InstanceLock::HeldElsewhere;
    }
    heldMutex = mutex;
    return InstanceLock::Taken;
}

// The mutex is one for the whole system; there is no folder to set.
void SetLockFolderForTests(const std::string&) {}

std::string NamedMutexPath(const std::string& name) {
    return name;
}

} // namespace platform
