#include "ReplaceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Ends a replacement that failed after the new file was made: the file closed (unless it
// is already) and removed, errno kept as the failure set it.
ReplaceResult Abandon(int fd, const std::string& temporary, ReplaceResult result) {
    const int reason = errno;
    if (fd >= 0)
        ::close(fd);
    ::unlink(temporary.c_str());
    errno = reason;
    return result;
}

} // namespace

ReplaceResult ReplaceFileWith(const std::string& path, const std::string& text) {
    // mkstemp picks a name no file has and creates the file with O_CREAT | O_EXCL, which
    // never follows a link.
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0)
        return ReplaceResult::CannotCreate;
    // mkstemp makes the file its owner's alone; the finished file gets what any new file of
    // the user gets, as a plainly created one would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0)
        return Abandon(fd, temporary, ReplaceResult::CannotCreate);

    size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (count == 0)
                errno = EIO;
            return Abandon(fd, temporary, ReplaceResult::CannotWrite);
        }
        written += static_cast<size_t>(count);
    }
    // On disk before it takes the place of the earlier file: a power cut after the rename
    // must not leave an empty file where the earlier one was.
    if (::fsync(fd) != 0)
        return Abandon(fd, temporary, ReplaceResult::CannotWrite);
    if (::close(fd) != 0)
        return Abandon(-1, temporary, ReplaceResult::CannotWrite);
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        return Abandon(-1, temporary, ReplaceResult::CannotReplace);
    return ReplaceResult::Done;
}

} // namespace platform
