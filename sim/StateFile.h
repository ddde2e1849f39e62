// The state file: the module's committed ID table, kept between runs.
#pragma once

#include "Scenario.h"

#include <string>

// Reads the table. False, with `error` set, when the file cannot be read or does not parse;
// `table` is then unchanged.
bool ReadStateFile(const std::string& path, IdTable& table, std::string& error);

// Writes the whole table through a temporary file that replaces the old one.
bool WriteStateFile(const std::string& path, const IdTable& table, std::string& error);
