#include "NamedMutex.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#ifdef _WIN32
namespace {
// The handle of the mutex this process created; held, never closed, until the process
// ends, when the system releases the mutex.
HANDLE heldMutex = nullptr;
} // namespace

bool OpenNamedMutex(const std::string& name) {
    if (heldMutex != nullptr)
        return false; // this process holds it itself
    HANDLE other = ::OpenMutexA(MUTEX_ALL_ACCESS, TRUE, name.c_str());
    if (other == nullptr)
        return false; // no such mutex
    // Only the answer is needed: a handle kept here would keep the mutex in existence
    // after its holder has ended, and a later start would be refused in its turn.
    ::CloseHandle(other);
    return true;
}

void CreateNamedMutex(const std::string& name) {
    if (heldMutex != nullptr)
        return;
    heldMutex = ::CreateMutexA(nullptr, FALSE, name.c_str());
}

std::string NamedMutexPath(const std::string& name) {
    return name;
}
#else
namespace {
// The descriptor that holds the lock; kept open for the life of the process, so the
// system releases the lock when the process ends, as it releases a mutex.
int heldLock = -1;
} // namespace

std::string NamedMutexPath(const std::string& name) {
    std::string dir;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        dir = runtime;
    } else {
        dir = "/tmp/kestravion-" + std::to_string(::getuid());
        ::mkdir(dir.c_str(), 0700);
    }
    return dir + "/" + name + ".lock";
}

bool OpenNamedMutex(const std::string& name) {
    if (heldLock >= 0)
        return false; // this process holds it itself
    int fd = ::open(NamedMutexPath(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false; // no such mutex
    bool heldElsewhere = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return heldElsewhere;
}

void CreateNamedMutex(const std::string& name) {
    if (heldLock >= 0)
        return;
    int fd = ::open(NamedMutexPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    heldLock = fd;
}
#endif

} // namespace platform
