// C-style escaping of wire bytes for the logs.
#pragma once

#include <string>

// \r, \n and \\ as such, every other byte outside 0x20-0x7E as \xNN (upper-case hex).
std::string EscapeBytes(const std::string& bytes);
