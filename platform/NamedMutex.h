// The system-wide named mutex that keeps a second program of the family from running.
#pragma once

#include <string>

namespace platform {

// What TakeNamedMutex found.
enum class InstanceLock {
    // This process holds the mutex now (or already held one) until it ends.
    Taken,
    // Another process holds it.
    HeldElsewhere,
    // It could be neither taken nor found held elsewhere; the reason is given to the caller.
    Refused,
};

// Takes the mutex `name` for this process in one step, so that of two programs started at
// the same moment exactly one gets it. The system releases it when the process ends.
// Windows: CreateMutexA (not initially owned); a mutex that already exists, or one that
// exists but may not be opened, is held elsewhere. Linux: an exclusive, non-blocking flock
// on the lock file NamedMutexPath(name), created with mode 0600 and opened without
// following a symbolic link. The per-user folder under /tmp is made private to the user
// (0700); when it is not a folder, belongs to another user or may be written by others,
// nothing is taken: Refused, with `why` saying so and how to mend it (what an administrator
// removes, when the user may not).
// `why` is written only for Refused: one sentence for the user, naming the path.
InstanceLock TakeNamedMutex(const std::string& name, std::string& why);

// Linux: the lock file that stands for the mutex `name`, in /tmp/kestravion-<uid>/ (created,
// private to the user, when missing), whatever the environment. Windows: `name`.
std::string NamedMutexPath(const std::string& name);

// Test seam (Linux): lock files in `folder` from now on, so that test processes running side
// by side do not meet; empty text restores the per-user folder. The program never calls it.
void SetLockFolderForTests(const std::string& folder);

} // namespace platform
