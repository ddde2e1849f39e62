// What every parse of a gathered search result must leave behind, whatever the text was.
// Shared by the parse tests, the corpus replay and the fuzz target.
#pragma once

#include "program/btdevice/Btdevice.h"

#include <string>

// Puts `text` into the device's result buffer and parses it; the device's character
// classes must be filled.
void ParseText(CBtDevice& device, const std::string& text);

// Empty when the parse of `text` left a sound state behind: the whole text read, the
// current token at the end, no more records than closing CR LFs, no field holding a
// separator; otherwise what is wrong.
std::string ParseLeftUnsoundState(const CBtDevice& device, const std::string& text);
