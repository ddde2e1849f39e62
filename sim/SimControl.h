// Control of the simulated master unit, for tests and the demo.
//
// The simulator is a D2XX-compatible libftd2xx.so whose device 0 is a master unit with
// its Bluetooth module. Besides the twelve FT_ functions the interface library binds,
// it exports these functions. A test executable links the simulator directly; when the
// interface library later loads "libftd2xx.so" by name, the dynamic loader hands it the
// same, already loaded simulator, so the test controls what the library talks to.
//
// Outside tests (the demo, the end-to-end runs) the simulator is set up from its own
// environment variables, read when the library is loaded:
//   KSIM_SCENARIO  path of a scenario file (JSON, see sim/README.md)
//   KSIM_STATE     path of the state file holding the committed ID table; read at start
//                  when it exists (it overrides the scenario's table), written on commit
//   KSIM_WIRELOG   path of the wire log: every byte each way, one line per write/reply
#pragma once

// On Windows the simulator exports only what is marked; these are marked when it is built.
#if defined(_WIN32) && defined(KSIM_BUILDING)
#define KSIM_CONTROL __declspec(dllexport)
#else
#define KSIM_CONTROL
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Replaces the whole simulated state with the scenario (JSON text); the device is closed,
// the logs are cleared. Returns 0, or -1 when the text is not a valid scenario (the
// previous state is kept; SimLastError() says why).
KSIM_CONTROL int SimLoadScenario(const char* json);
KSIM_CONTROL int SimLoadScenarioFile(const char* path);
KSIM_CONTROL const char* SimLastError(void);
// The default scenario: a healthy master that acknowledges everything, no slaves,
// an empty ID table ("000000000000" at every position), no faults.
KSIM_CONTROL void SimReset(void);

// Virtual time: when on, the simulator's clock moves only by SimAdvanceUs(), which the
// tests' nanosleep() replacement calls (tests/support). When off, the clock is the real
// monotonic clock.
KSIM_CONTROL void SimUseVirtualTime(int on);
KSIM_CONTROL int SimVirtualTimeOn(void);
KSIM_CONTROL void SimAdvanceUs(long long us);
KSIM_CONTROL long long SimNowUs(void);

// The host's writes since the last clear: how many, and the bytes of one of them.
// SimWriteData copies at most `size` bytes and returns the write's full length
// (-1 for an index out of range).
KSIM_CONTROL int SimWriteCount(void);
KSIM_CONTROL int SimWriteData(int index, char* buffer, int size);

// Logs since the last clear, as text; the pointer stays valid until the next call of any
// Sim function. One line per entry, each ending in "\n".
//   SimCallLog: every D2XX call with its arguments and result, e.g.
//     "FT_Open 0 -> 0", "FT_Purge 3 -> 0", "FT_SetTimeouts 60000 1000 -> 0",
//     "FT_SetUSBParameters 63360 0 -> 0", "FT_SetLatencyTimer 2 -> 0",
//     "FT_Write 12 -> 0 12" (bytes asked; status, bytes written),
//     "FT_GetQueueStatus -> 0 5" (status, bytes waiting), "FT_Read 1 -> 0 1", "FT_Close -> 0"
//   SimWireLog: "> " host-to-master bytes of one write, "< " master-to-host bytes of one
//     reply as queued, C-escaped (\r, \n, \\, \xNN for other non-printables)
//   SimViolations: protocol violations the master noticed (malformed frames, commands
//     outside the register access window, unknown commands), one line each
KSIM_CONTROL const char* SimCallLog(void);
KSIM_CONTROL const char* SimWireLog(void);
KSIM_CONTROL const char* SimViolations(void);
KSIM_CONTROL void SimClearLogs(void);

// The committed (persisted) ID table of the Bluetooth module; position 1 to 14.
// Returns "" for a position out of range.
KSIM_CONTROL const char* SimCommittedId(int position);

// The state file and the wire log file, as KSIM_STATE and KSIM_WIRELOG set them at load
// time; NULL or "" turns them off. SimReset() turns both off. The state file is read at
// the next scenario load.
KSIM_CONTROL void SimSetStateFile(const char* path);
KSIM_CONTROL void SimSetWireLogFile(const char* path);

// Reply bytes in the receive queue, those still on their way included.
KSIM_CONTROL int SimPendingBytes(void);

#ifdef __cplusplus
}
#endif
