// Writing a file whole in the place of another.
#pragma once

#include <string>

namespace platform {

// How a replacement ended: done, or the step it stopped at.
enum class ReplaceResult { Done, CannotCreate, CannotWrite, CannotReplace };

// Writes `text` to a new file beside `path`, flushes it to disk, and then renames it over
// `path` in one step, so that `path` is at every moment either the earlier file or the new
// one, whole. The new file gets a name of its own, made unique for this write (`path`
// followed by a unique ending), and is created new: a file or a link already at any name is
// neither followed nor overwritten. On a failure the new file is removed again, `path` is
// left as it was, and errno says why; the result names the step that failed.
ReplaceResult ReplaceFileWith(const std::string& path, const std::string& text);

} // namespace platform
