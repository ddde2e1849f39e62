// The backup file of tarvelo-cli: one line per position, "01=00A0C9112233", LF line ends.
#pragma once

#include "Arguments.h"

#include <string>
#include <vector>

// The file's text for `table` (14 entries, table[p - 1] is position p).
std::string FormatBackup(const std::vector<std::string>& table);

// Writes `text` to `path`: whole to a new file of a unique name beside it first (never a
// link or a file already there), flushed to disk, which then replaces the file. False, with
// `why`, when it cannot be created, written completely or put in place; an earlier file at
// `path` is then left as it was, and the new file is removed.
bool WriteTextFile(const std::string& path, const std::string& text, std::string& why);

// Reads the backup file `path` into 14 changes, positions 1 to 14 in order. CR LF line ends
// are accepted, a last line without its line end, a UTF-8 byte-order mark and blank lines
// at the end. False, with `why` naming the file and
// line, when the file cannot be read, is longer than any backup, or has a line that is not
// "POS=ID" with a position and a 12-digit hexadecimal ID, a position twice, or lacks one.
bool ReadBackup(const std::string& path, std::vector<Change>& changes, std::string& why);
