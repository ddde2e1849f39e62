#include "JournalFile.h"

#include "platform/ReplaceFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace journalfile {

namespace {

bool Fail(std::string& why, const std::string& what) {
    why = what + ": " + std::strerror(errno);
    return false;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Makes `folder` and its missing parents, private to the user as state folders are.
bool MakeFolders(const std::string& folder, std::string& why) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return Fail(why, "cannot create " + part);
        if (slash == std::string::npos)
            return true;
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// A new entry of `folder` is on the disk only once the folder is flushed too.
bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

std::string DefaultFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/kestravion";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/')
        return "";
    return std::string(home) + "/.local/state/kestravion";
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder + "/" + name;
}

bool AppendDurably(const std::string& path, const std::string& text, std::string& why) {
    if (!MakeFolders(FolderOf(path), why))
        return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Fail(why, "cannot open " + path);
    struct stat status {};
    char last = '\n';
    if (::fstat(fd, &status) != 0 ||
        (status.st_size > 0 && ::pread(fd, &last, 1, status.st_size - 1) != 1) ||
        !WriteAll(fd, last == '\n' ? text : "\n" + text) || ::fsync(fd) != 0) {
        Fail(why, "cannot write " + path);
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0)
        return Fail(why, "cannot write " + path);
    if (status.st_size == 0 && !SyncFolder(FolderOf(path)))
        return Fail(why, "cannot flush the folder of " + path);
    return true;
}

bool ReplaceDurably(const std::string& path, const std::string& text, std::string& why) {
    // The new file is created new, with a name of its own, and flushed before the rename.
    if (platform::ReplaceFileWith(path, text) != platform::ReplaceResult::Done)
        return Fail(why, "cannot replace " + path);
    if (!SyncFolder(FolderOf(path)))
        return Fail(why, "cannot flush the folder of " + path);
    return true;
}

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    char text[32] = "";
    if (::gmtime_r(&now, &utc) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace journalfile
