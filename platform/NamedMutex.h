// The system-wide named mutex that keeps a second program of the family from running.
#pragma once

#include <string>

namespace platform {

// True when another process holds the mutex `name` (OpenMutexA succeeding).
bool OpenNamedMutex(const std::string& name);
// Creates the mutex `name` and holds it until the process ends (CreateMutexA, not
// initially owned). The result is not reported, as with the system call it stands for.
void CreateNamedMutex(const std::string& name);

// Linux: the lock file that stands for the mutex `name`, in $XDG_RUNTIME_DIR or else in
// a per-user folder under /tmp.
std::string NamedMutexPath(const std::string& name);

} // namespace platform
