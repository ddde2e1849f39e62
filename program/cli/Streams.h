// Standard output of tarvelo-cli carries only its results. The module layer prints its trace
// ("[T]...", "[R]...", "Thread ON") with printf to standard output, so the results get a
// stream of their own on the original standard output and descriptor 1 is pointed elsewhere.
#pragma once

#include <cstdio>

// Flushes standard output, keeps a copy of it for the results, and points descriptor 1 at
// standard error (`traceToStderr`) or at the null device. Returns the results stream, or
// nullptr (with standard output left as it was) when the system refuses a descriptor.
std::FILE* SetResultsAside(bool traceToStderr);

// True when standard error is a terminal, where a progress indicator may be drawn.
bool StderrIsTerminal();
