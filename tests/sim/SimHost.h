// A host talking to the simulated master through the D2XX functions, as the interface
// library does: write, then poll the queue every 10 ms (virtual time) and read byte by byte.
#pragma once

#include "SimControl.h"
#include "platform/D2xxApi.h"
#include "SimFixture.h"

#include <cstdio>
#include <string>
#include <time.h>
#include <unistd.h>

class SimHostTest : public SimFixture {
protected:
    FT_HANDLE handle = nullptr;

    // Opens device 0 with the library's settings.
    void Open() {
        ASSERT_EQ(FT_Open(0, &handle), FT_OK);
        ASSERT_EQ(FT_SetTimeouts(handle, 60000, 1000), FT_OK);
    }

    // Loads a scenario and opens the device, with the logs cleared.
    void Start(const std::string& json = "{}") {
        LoadScenario(json);
        Open();
        SimClearLogs();
    }

    void Write(const std::string& bytes) {
        DWORD written = 0;
        ASSERT_EQ(FT_Write(handle, const_cast<char*>(bytes.data()),
                           static_cast<DWORD>(bytes.size()), &written),
                  FT_OK);
        ASSERT_EQ(written, bytes.size());
    }

    static void SleepMs(long ms) {
        const timespec pause{ms / 1000, (ms % 1000) * 1000000L};
        nanosleep(&pause, nullptr);
    }

    // Reads up to `count` bytes, or until `terminator` when it is not 0; gives up after
    // `silenceMs` without a byte.
    std::string Receive(size_t count, char terminator = '\0', long silenceMs = 60000) {
        std::string reply;
        long silent = 0;
        while (reply.size() < count && silent <= silenceMs) {
            DWORD waiting = 0;
            if (FT_GetQueueStatus(handle, &waiting) != FT_OK) {
                break;
            }
            if (waiting == 0) {
                SleepMs(10);
                silent += 10;
                continue;
            }
            char byte = 0;
            DWORD got = 0;
            if (FT_Read(handle, &byte, 1, &got) != FT_OK) {
                break;
            }
            silent = 0;
            reply += byte;
            if (terminator != '\0' && byte == terminator) {
                break;
            }
        }
        return reply;
    }

    // A line command and its reply up to CR (about 10 s of silence allowed).
    std::string Line(const std::string& command) {
        Write(command + "\r");
        return Receive(64, '\r', 10000);
    }

    static std::string Frame(const std::string& payload, int replyLength) {
        char header[8];
        std::snprintf(header, sizeof header, "MX%02X%02X",
                      static_cast<unsigned>(payload.size() + 5),
                      static_cast<unsigned>(replyLength + 1));
        return header + payload + "\r";
    }

    // A module command in a frame, with its reply of replyLength + 1 bytes.
    std::string Module(const std::string& command, int replyLength) {
        Write(Frame(command + "\r", replyLength));
        return Receive(static_cast<size_t>(replyLength) + 1);
    }

    // The four value digits of a module reply ("#03:K0001\r" gives "0001").
    static std::string Digits(const std::string& reply) { return reply.substr(5, 4); }
};

// A file name in the test scratch folder that no other test process uses at the same
// time (ctest runs the cases of one executable in parallel processes).
inline std::string ScratchPath(const std::string& name) {
    return ::testing::TempDir() + "ksim_" + std::to_string(::getpid()) + "_" + name;
}
