#include "MoveIntoPlace.h"

#include <cerrno>
#include <windows.h>

namespace platform {

bool MoveIntoPlace(const std::string& from, const std::string& to) {
    // rename() refuses an existing target on Windows.
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    errno = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

} // namespace platform
