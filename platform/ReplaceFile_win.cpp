// rand_s, the system's cryptographic random numbers, is declared only when this is defined
// before the C library's headers.
#define _CRT_RAND_S
#include "ReplaceFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <windows.h>

namespace platform {

namespace {

// errno for the thread's last Windows error.
int ErrnoOfLastError() {
    switch (::GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

// Ends a replacement that failed after the new file was made: the file closed (unless it
// is already) and removed, errno set from the failure.
ReplaceResult Abandon(HANDLE file, const std::string& temporary, ReplaceResult result) {
    const int reason = ErrnoOfLastError();
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    ::DeleteFileA(temporary.c_str());
    errno = reason;
    return result;
}

} // namespace

ReplaceResult ReplaceFileWith(const std::string& path, const std::string& text) {
    // A name no one can guess: 64 random bits. CREATE_NEW fails on any file or link of that
    // name instead of following or overwriting it.
    unsigned int high = 0;
    unsigned int low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) {
        errno = EIO;
        return ReplaceResult::CannotCreate;
    }
    char ending[32];
    std::snprintf(ending, sizeof ending, ".%08x%08x.tmp", high, low);
    const std::string temporary = path + ending;
    HANDLE file = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = ErrnoOfLastError();
        return ReplaceResult::CannotCreate;
    }

    size_t written = 0;
    while (written < text.size()) {
        DWORD count = 0;
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(text.size() - written, 1u << 20));
        if (!::WriteFile(file, text.data() + written, piece, &count, nullptr) || count == 0)
            return Abandon(file, temporary, ReplaceResult::CannotWrite);
        written += count;
    }
    // On disk before it takes the place of the earlier file.
    if (!::FlushFileBuffers(file))
        return Abandon(file, temporary, ReplaceResult::CannotWrite);
    if (!::CloseHandle(file))
        return Abandon(INVALID_HANDLE_VALUE, temporary, ReplaceResult::CannotWrite);
    // rename() refuses an existing target on Windows.
    if (!::MoveFileExA(temporary.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Abandon(INVALID_HANDLE_VALUE, temporary, ReplaceResult::CannotReplace);
    return ReplaceResult::Done;
}

} // namespace platform
