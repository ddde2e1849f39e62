// What the journal needs of the file system and the clock, where the systems differ; each
// system's side in a file of its own (JournalFile_posix.cpp, JournalFile_win.cpp).
#pragma once

#include <string>

namespace journalfile {

// The per-user folder of the program's state ("…/kestravion"); empty when the system names
// none. Nothing is created.
std::string DefaultFolder();
// `folder` and `name` joined with the system's separator.
std::string Join(const std::string& folder, const std::string& name);
// Appends `text` to the file `path`, created (with its missing folders) when absent, and
// flushes it to the disk before returning. A file whose last line was cut off gets a line
// end first, so that `text` starts a line of its own. False, with `why`, when it may not all
// be on the disk.
bool AppendDurably(const std::string& path, const std::string& text, std::string& why);
// Puts a file holding `text` in the place of `path`: written to a file created new beside
// it, flushed to the disk, then renamed over `path`. On failure `path` is left as it was
// and the new file removed; false, with `why`.
bool ReplaceDurably(const std::string& path, const std::string& text, std::string& why);
// The present time, UTC, as "2026-12-09T15:04:05Z".
std::string UtcNow();

} // namespace journalfile
