// Fuzzes the simulated master with arbitrary scenarios and arbitrary host bytes: nothing
// may crash, hang or read out of bounds. The first byte picks what the rest is.
#include "SimControl.h"
#include "platform/D2xxApi.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Reads whatever has arrived, letting 70 s of simulated time pass first.
void Drain(FT_HANDLE handle) {
    SimAdvanceUs(70000000);
    DWORD waiting = 0;
    while (FT_GetQueueStatus(handle, &waiting) == FT_OK && waiting > 0) {
        char buffer[256];
        DWORD got = 0;
        const DWORD want = waiting < sizeof buffer ? waiting : sizeof buffer;
        if (FT_Read(handle, buffer, want, &got) != FT_OK || got == 0) {
            break;
        }
    }
}

void Send(FT_HANDLE handle, const std::string& bytes) {
    DWORD written = 0;
    FT_Write(handle, const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()), &written);
    SimAdvanceUs(20000);
}

// A host session touching every kind of command, to play the scenario's faults.
void Session(FT_HANDLE handle) {
    const char* const transfers[] = {
        "LS\r",
        "MG\r",
        "MW\r",
        "MV\r",
        "MO000000000\r",
        "OT000000\r",
        "OR\r",
        "XV\r",
        "MX0B05$00H0\r\r",
        "MX0B05$02H1\r\r",
        "MX090A$03\r\r",
        "MX090A$04\r\r",
        "MX0C0B$05H05\r\r",
        "MX0B05$A0H1\r\r",
        "MX0B05$CEH1\r\r",
        "MX090A$A1\r\r",
        "MX0E05$A1H1234\r\r",
        "MX0B05$CDH1\r\r",
        "MX0B05$A0H0\r\r",
        nullptr,
    };
    for (const char* const* transfer = transfers; *transfer != nullptr; ++transfer) {
        Send(handle, *transfer);
    }
    Drain(handle);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    SimUseVirtualTime(1);
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    FT_HANDLE handle = nullptr;
    if ((data[0] & 1) != 0) {
        if (SimLoadScenario(rest.c_str()) != 0 || FT_Open(0, &handle) != FT_OK) {
            return 0;
        }
        FT_SetTimeouts(handle, 60000, 1000);
        Session(handle);
    } else {
        SimLoadScenario(R"({"slaves": [{"id": "00A0C9112233", "name": "ZOMRA-1"}],
                           "search": {"durationMs": 0}})");
        if (FT_Open(0, &handle) != FT_OK) {
            return 0;
        }
        FT_SetTimeouts(handle, 60000, 1000);
        // Byte 0xFE separates transfers.
        size_t start = 0;
        while (start <= rest.size()) {
            size_t end = rest.find('\xFE', start);
            if (end == std::string::npos) {
                end = rest.size();
            }
            Send(handle, rest.substr(start, end - start));
            start = end + 1;
        }
        Drain(handle);
    }
    FT_Close(handle);
    return 0;
}
