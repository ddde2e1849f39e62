// Reading the simulated master's wire log: what the host sent, as commands.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace e2e {

// Undoes the log's C escapes (\r, \n, \\, \xNN); other characters stand for themselves.
std::string Unescape(const std::string& text);
// The log's escaping of raw bytes, for diagnostics.
std::string Escape(const std::string& bytes);

// The commands in one host write, in order. A framed module command is given as its
// payload without the closing CR ("$A1H0012"), a line command as its text without the CR
// ("MG", "MO000000000"). Bytes that are neither are given as "?" and their escaped text,
// and end the write.
std::vector<std::string> DecodeWrite(const std::string& bytes);

// The commands of every host write ("> " line) of a wire log, in order.
std::vector<std::string> HostCommands(std::istream& log);

} // namespace e2e
