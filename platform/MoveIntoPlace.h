// Putting a file written whole in the place of another.
#pragma once

#include <string>

namespace platform {

// Renames `from` to `to`, replacing a file `to` in one step, so that `to` is at every
// moment either the earlier file or the new one. False, with errno set, when it fails.
bool MoveIntoPlace(const std::string& from, const std::string& to);

} // namespace platform
