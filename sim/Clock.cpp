#include "Clock.h"

#include <chrono>

CSimClock::CSimClock() : virtualOn(false), virtualUs(0), offsetUs(-RealUs()) {}

long long CSimClock::RealUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long long CSimClock::NowUs() const {
    return virtualOn.load() ? virtualUs : RealUs() + offsetUs;
}

namespace {

// The clock saturates here (about 3000 years) instead of overflowing.
const long long clockLimitUs = 100000000000000000LL;

long long SaturatingAdd(long long value, long long us) {
    return us > clockLimitUs - value ? clockLimitUs : value + us;
}

} // namespace

void CSimClock::Advance(long long us) {
    if (us <= 0) {
        return;
    }
    if (virtualOn.load()) {
        virtualUs = SaturatingAdd(virtualUs, us);
    } else {
        offsetUs = SaturatingAdd(offsetUs, us);
    }
}

void CSimClock::AdvanceTo(long long us) {
    Advance(us - NowUs());
}

void CSimClock::SetVirtual(bool on) {
    if (on == virtualOn.load()) {
        return;
    }
    if (on) {
        virtualUs = RealUs() + offsetUs;
    } else {
        offsetUs = virtualUs - RealUs();
    }
    virtualOn.store(on);
}
