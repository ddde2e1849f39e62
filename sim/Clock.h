// The simulator's clock in microseconds: the real monotonic clock, or a virtual one that
// moves only when told to (tests sleep through it).
#pragma once

#include <atomic>

class CSimClock {
public:
    CSimClock();
    long long NowUs() const;
    void Advance(long long us);
    // Moves the clock forward to `us` if it is still before it.
    void AdvanceTo(long long us);
    void SetVirtual(bool on);
    bool Virtual() const { return virtualOn.load(); }

private:
    static long long RealUs();

    // Read without the simulator's lock by the tests' nanosleep().
    std::atomic<bool> virtualOn;
    long long virtualUs;
    // Real mode: now = real clock + offset, so switching modes never moves time backwards.
    long long offsetUs;
};
