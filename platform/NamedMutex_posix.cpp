#include "NamedMutex.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// The descriptor that holds the lock; kept open for the life of the process, so the
// system releases the lock when the process ends, as it releases a mutex.
int heldLock = -1;

// A folder set by a test in place of the per-user one.
std::string testFolder;

// The folder of the lock file: one per user, whatever the environment, so that the desktop,
// a cron job and a service of the same user exclude each other. `perUser` tells the folder
// under /tmp, which anyone could have made first and which is therefore checked before use.
std::string LockFolder(bool& perUser) {
    perUser = testFolder.empty();
    return perUser ? "/tmp/kestravion-" + std::to_string(::getuid()) : testFolder;
}

std::string Refusal(const std::string& what, const std::string& path, const std::string& how) {
    return "The lock " + what + " " + path + " " + how;
}

// What mends a folder or file in the way: in the sticky /tmp only its owner, or an
// administrator, may remove it.
std::string Removal(const std::string& path) {
    struct stat seen {};
    if (::lstat(path.c_str(), &seen) == 0 && seen.st_uid != ::getuid())
        return "; ask an administrator to remove it (sudo rm -r '" + path + "'), then start again.";
    return "; remove it and start again.";
}

// Opens the lock folder, making the per-user one private to the user when it is missing.
// -1 with `why` set when it cannot be used: a per-user folder that is not a folder (a
// symbolic link included), belongs to another user or may be written by others would let
// them keep the program from starting.
int OpenLockFolder(std::string& why) {
    bool perUser = false;
    const std::string dir = LockFolder(perUser);
    const bool made = perUser && ::mkdir(dir.c_str(), 0700) == 0;
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int openError = errno;
        struct stat seen {};
        if (openError == ENOTDIR || openError == ELOOP)
            why = Refusal("folder", dir, "is not a folder" + Removal(dir));
        else if (perUser && ::lstat(dir.c_str(), &seen) == 0 && seen.st_uid != ::getuid())
            why = Refusal("folder", dir, "belongs to another user" + Removal(dir));
        else
            why = Refusal("folder", dir,
                          std::string("cannot be opened: ") + std::strerror(openError) + ".");
        return -1;
    }
    if (!perUser)
        return fd;
    struct stat folder {};
    if (::fstat(fd, &folder) != 0 || folder.st_uid != ::getuid()) {
        why = Refusal("folder", dir, "belongs to another user" + Removal(dir));
    } else if ((folder.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        why = Refusal("folder", dir, "may be written by other users" + Removal(dir));
    } else {
        // A folder made under a strict umask must still let its owner in.
        if (made)
            ::fchmod(fd, 0700);
        return fd;
    }
    ::close(fd);
    return -1;
}

// Opens the lock file of `name` in the lock folder, creating it when missing; -1 with
// `why` set when it cannot be opened or is not a plain file.
int OpenLockFile(const std::string& name, std::string& why) {
    int folder = OpenLockFolder(why);
    if (folder < 0)
        return -1;
    const std::string file = name + ".lock";
    // Non-blocking, so that a named pipe put in its place cannot stall the start.
    int fd = ::openat(folder, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                      0600);
    const int openError = errno;
    ::close(folder);
    struct stat lock {};
    if (fd >= 0 && ::fstat(fd, &lock) == 0 && S_ISREG(lock.st_mode))
        return fd;
    why = fd < 0 ? Refusal("file", NamedMutexPath(name),
                           std::string("cannot be opened: ") + std::strerror(openError) + ".")
                 : Refusal("file", NamedMutexPath(name),
                           "is not a plain file" + Removal(NamedMutexPath(name)));
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace

InstanceLock TakeNamedMutex(const std::string& name, std::string& why) {
    if (heldLock >= 0)
        return InstanceLock::Taken;
    int fd = OpenLockFile(name, why);
    if (fd < 0)
        return InstanceLock::Refused;
    // The attempt itself decides: of two processes only one gets the exclusive lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        heldLock = fd;
        return InstanceLock::Taken;
    }
    const int lockError = errno;
    ::close(fd);
    if (lockError == EWOULDBLOCK)
        return InstanceLock::HeldElsewhere;
    why = Refusal("file", NamedMutexPath(name),
                  std::string("cannot be locked: ") + std::strerror(lockError) + ".");
    return InstanceLock::Refused;
}

void SetLockFolderForTests(const std::string& folder) {
    testFolder = folder;
}

std::string NamedMutexPath(const std::string& name) {
    bool perUser = false;
    const std::string dir = LockFolder(perUser);
    if (perUser)
        ::mkdir(dir.c_str(), 0700);
    return dir + "/" + name + ".lock";
}

} // namespace platform
