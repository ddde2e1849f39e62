// SIGINT and SIGTERM in tarvelo-cli: the program ends through its ordinary way out, which
// closes the bridge, instead of being ended where it stands.
#pragma once

// Installs the handlers. A first SIGINT or SIGTERM sets linkStopped: no exchange starts any
// more, so the command ends at its next exchange (an exchange in flight ends within its own
// time limit) and a wait for the master at once. A second one ends the program at once.
void CatchStopSignals();
// The signal that asked the program to stop; 0 when none did.
int StopSignal();
