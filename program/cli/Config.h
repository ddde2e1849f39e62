// tarvelo-cli's configuration: "config.ini" in the working directory, read when it is there.
#pragma once

#include <string>

// Creates the program-wide `Inits` and loads "config.ini" from the working directory into it.
// A missing file leaves every key absent and is never created (the command line must not
// leave files behind). False, with `why`, when something exists under the name that cannot
// be read as a plain file (a folder, no permission, a named pipe, a device, a read error). A
// statement the reader cannot accept ends the load as in the window (the keys before it count);
// `warning` then says so.
bool LoadConfiguration(std::string& why, std::string& warning);
