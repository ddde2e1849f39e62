#include "StopSignals.h"

#include "program/link/Axodll.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "stopSignal is set by a signal handler");

// Only sets lock-free atomics and restores the default action, all of which a handler may do.
extern "C" void OnStopSignal(int signal) {
    stopSignal = signal;
    linkStopped = true;
    std::signal(signal, SIG_DFL);
}

} // namespace

void CatchStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

int StopSignal() {
    return stopSignal;
}
