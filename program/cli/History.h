// tarvelo-cli history: the table writes of the user's journal, newest first. It reads the
// journal only: the master is not touched and no lock is taken, so it runs beside the
// window and without a master attached.
#pragma once

#include "Arguments.h"

// Prints the sessions of the user's journal: request.device's bridge's only when given, the
// newest request.count when not 0. A broken line skipped is said once on standard error.
// esBadInput when the journal is there but cannot be read, or no folder for it is known.
int RunHistory(const Request& request);
