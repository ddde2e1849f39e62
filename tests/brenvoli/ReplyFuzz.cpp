// Fuzzes what the master answers, and the lengths a caller passes, against a fake driver
// that hands out the input's bytes as received data. Whatever arrives, the library must
// neither crash nor write past a reply buffer, and must return one of its statuses.
#include "brenvoli/brenvoli.h"

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <set>
#include <time.h>
#include <vector>

extern "C" {
void FakeReset(void);
void FakeQueue(const char* bytes, int length);
}

// Waits pass at once and move a virtual clock, which the library's raw monotonic clock
// reads: a silent master costs thousands of polls, not minutes.
namespace {
long long virtualNs;
}

extern "C" int nanosleep(const struct timespec* duration, struct timespec*) {
    virtualNs += duration->tv_sec * 1000000000LL + duration->tv_nsec;
    return 0;
}

// Only the library's clock is virtual; libFuzzer's own time limits read the real ones.
extern "C" int clock_gettime(clockid_t clock, struct timespec* now) {
    if (clock == CLOCK_MONOTONIC_RAW) {
        now->tv_sec = static_cast<time_t>(virtualNs / 1000000000LL);
        now->tv_nsec = static_cast<long>(virtualNs % 1000000000LL);
        return 0;
    }
    using ClockGettimeFn = int (*)(clockid_t, struct timespec*);
    static const auto real = reinterpret_cast<ClockGettimeFn>(dlsym(RTLD_NEXT, "clock_gettime"));
    return real(clock, now);
}

namespace {

void Expect(int status, const std::set<int>& allowed) {
    if (allowed.count(status) == 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const int operation = data[0] % 6;
    const int a = data[1];
    const int b = data[2];
    const char* replyBytes = reinterpret_cast<const char*>(data + 3);
    const int replySize = static_cast<int>(size - 3);

    // A fresh open purges what an earlier input left behind.
    Expect(KestravionUsbOpen(), {0});
    FakeReset();
    FakeQueue(replyBytes, replySize);

    std::vector<char> payload(256, 'A');
    switch (operation) {
    case 0:
        Expect(KestravionExtInit(), {0, 60, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 82, 99});
        break;
    case 1:
        Expect(KestravionExtCon(), {0, 93, 99});
        break;
    case 2: {
        // Lengths around both ends of their ranges; the reply buffer is exactly as long as
        // the reply the library may read.
        const int sendLength = a - 3;
        const int replyLength = b;
        std::vector<char> reply(static_cast<size_t>(replyLength + 1));
        const bool fits = sendLength >= 1 && sendLength <= 250 && replyLength <= 254;
        Expect(KestravionExtSR(sendLength, replyLength, payload.data(), reply.data()),
               fits && replyLength >= 1 ? std::set<int>{0, 99} : std::set<int>{81});
        break;
    }
    case 3: {
        std::vector<char> reply(static_cast<size_t>(replySize) + 1);
        Expect(AxoUsbSendCmd_Adv(payload.data(), a % 3, reply.data(), b & 1), {0, 99});
        break;
    }
    case 4: {
        const int count = b - 3;
        std::vector<char> reply(static_cast<size_t>(count > 1 ? count : 1));
        Expect(AxoUsbSendCmd_Bin(payload.data(), a % 3, reply.data(), count), {0, 99});
        break;
    }
    default:
        Expect(KestravionUsbClose(), {0});
        Expect(KestravionExtInit(), {91});
        Expect(KestravionExtCon(), {1});
        break;
    }
    return 0;
}
