// Control of the small fake D2XX driver used to test the library's driver binding with
// drivers that lack one entry point. Each variant is a libftd2xx.so built from
// FakeD2xx.cpp without one FT_ function; a test loads a variant by its path, after which
// the library's own load of "libftd2xx.so" finds the same, already loaded object.
#pragma once

extern "C" {
// Every FT_ call since the last reset, one line each with its arguments, e.g.
// "FT_Open 0", "FT_Purge 3", "FT_Write 5 hello", "FT_Read 1".
typedef const char* (*FakeCallLogFn)(void);
// Clears the log and the receive queue, and ends the phantom bytes.
typedef void (*FakeResetFn)(void);
// Queues bytes for the host to read.
typedef void (*FakeQueueFn)(const char* bytes, int length);
// While the receive queue is empty, FT_GetQueueStatus reports `count` bytes waiting all
// the same (FT_Read hands out none); 0 ends it.
typedef void (*FakePhantomFn)(int count);
// Each FT_Read first blocks for `ms` (sleeping, so in the test's virtual time), as a driver
// does that waits out its read timeout; 0 ends it.
typedef void (*FakeBlockingReadFn)(int ms);
}
