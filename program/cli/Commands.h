// The commands of tarvelo-cli, run on an opened module controller. Each returns an exit
// status (Arguments.h) and writes its results to `results`, its messages to standard error.
#pragma once

#include "Arguments.h"
#include "CliUi.h"
#include "program/btdevice/Btdevice.h"

#include <cstdio>
#include <string>
#include <vector>

struct CliSession {
    CBtDevice& device;
    CCliUi& ui;
    std::FILE* results;
};

// One search; the slaves the window lists, each ID once (or every record with `all`). esFailed,
// after printing what was found, when the search did not complete.
int RunSearch(CliSession& session, const Request& request);
// Reads and prints the 14 positions. esFailed, after printing what came back (a position
// not read as "not read"), when a position's read was incomplete (named on standard error).
int RunRead(CliSession& session, const Request& request);
// Reads the table and writes it to request.file. esFailed, with the file untouched, when
// the read was incomplete; esBadInput when the file cannot be written.
int RunBackup(CliSession& session, const Request& request);
// set, release, restore: reads the table (esFailed, nothing written, when a position could
// not be read), applies the changes (esBadInput, nothing written, when a changed position
// would hold an ID another position keeps) and writes the positions whose ID changes with
// the module controller's checks (esDone, nothing sent, when none changes). esFailed, with
// the verdict on standard error, unless the stored table read back after the commit holds
// every new ID: not saved (naming the positions the master did not take), partly saved,
// or in doubt (naming the positions whose stored ID could not be read back).
int RunChanges(CliSession& session, const std::vector<Change>& changes);
// undo: takes back the last saved write to the opened bridge's master that the journal
// holds, by writing the IDs that stood before it at the positions it changed (printed as
// "03 00A0C9445566 -> 000000000000"), checked and verified as set is, and journalled as a
// write of its own, so that a second undo redoes. esBadInput when the journal cannot be
// read or holds no saved write to that master; esFailed, nothing written, when the master
// no longer holds what that write saved at a position it changed (someone changed it
// since), or the write did not know what stood there before.
int RunUndo(CliSession& session);
