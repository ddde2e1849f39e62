// The trace console of the module controller.
#pragma once

namespace platform {

// Makes the trace on standard output visible to the user. On Windows a console window
// is allocated for the process and standard output is reopened on "CONOUT$" in mode
// "w". Elsewhere standard output is already where the process was started from; it is
// only switched to line buffering so each trace line shows as it is written.
void OpenTraceConsole();

// True when standard error is a terminal, where a progress indicator may be drawn.
bool StderrIsTerminal();

} // namespace platform
