#include "UiSystem.h"

#include "platform/NamedMutex.h"
#include "program/btdevice/Rules.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

bool FamilyLockHeld() {
    int fd = open(platform::NamedMutexPath(SingleInstanceMutex).c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return held;
}

// A child process takes the lock, reports on `ready` and holds it until `release` closes:
// this process must not hold the lock itself.
OtherFamilyProgram::OtherFamilyProgram() {
    int ready[2];
    int release[2];
    if (pipe(ready) != 0 || pipe(release) != 0)
        return;
    const std::string lockPath = platform::NamedMutexPath(SingleInstanceMutex);
    const pid_t child = fork();
    if (child == 0) {
        close(release[1]);
        int fd = open(lockPath.c_str(), O_RDWR | O_CREAT, 0600);
        char byte = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? '1' : '0';
        (void)!write(ready[1], &byte, 1);
        (void)!read(release[0], &byte, 1);
        _exit(0);
    }
    close(release[0]);
    close(ready[1]);
    holder_[0] = child;
    holder_[1] = release[1];
    char byte = 0;
    holds_ = child > 0 && read(ready[0], &byte, 1) == 1 && byte == '1';
    close(ready[0]);
}

OtherFamilyProgram::~OtherFamilyProgram() {
    close(static_cast<int>(holder_[1]));
    if (holder_[0] > 0)
        waitpid(static_cast<pid_t>(holder_[0]), nullptr, 0);
}

void CloseLinkDevice() {
    if (void* library = dlopen("libbrenvoli.so", RTLD_NOW | RTLD_NOLOAD)) {
        if (auto close = reinterpret_cast<int (*)()>(dlsym(library, "KestravionUsbClose")))
            close();
        dlclose(library);
    }
}
