// Benchmark of the link's waiting: threaded exchanges against the simulated master in real
// time, through the real interface library. Reports
//   - CPU time of the waiting (window) thread per second of exchange  (goal: under 2 %),
//   - delay from the end of an exchange to SendRecv returning         (goal: median < 1 ms),
//   - back-to-back short exchanges per second, threaded and direct,
//   - CPU time of the process while it waits for a bridge, as --wait and the not-prepared
//     box do                                                          (goal: under 0.5 %).
// Run it from anywhere: bench_link [slow exchanges] [timed exchanges] [seconds of waiting].
#include "SimControl.h"
#include "program/config/Cinits.h"
#include "program/link/Axodll.h"
#include "program/link/LinkLibrary.h"

#ifdef LINK_BENCH_QT
#include "program/ui/QtUi.h"
#include <QCoreApplication>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// "$03" answers after half a second, "$04" after 3 ms (long enough for the waiting thread to
// fall asleep), every other command at once.
const char Scenario[] = R"({"replyLatencyMs": 0, "faults": [
    {"command": "$03", "action": "delay", "delayMs": 500},
    {"command": "$04", "action": "delay", "delayMs": 3}]})";

KestravionExtSRFn realExchange = nullptr;
std::atomic<Clock::rep> exchangeEnd{0};

// The library's exchange, noting when it returned.
int BRENVOLI_CALL TimedExchange(int sendLength, int replyLength, const char* payload, char* reply) {
    int status = realExchange(sendLength, replyLength, payload, reply);
    exchangeEnd = Clock::now().time_since_epoch().count();
    return status;
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool Exchange(CAxoDll& link, const std::string& command, int32_t replyLength,
              const char* expected) {
    std::string reply = link.SendRecv(static_cast<int32_t>(command.size()), replyLength, command);
    if (reply != expected) {
        std::fprintf(stderr, "unexpected reply to %.3s: \"%s\"\n", command.c_str(), reply.c_str());
        return false;
    }
    return true;
}

// Back-to-back "$00H0" exchanges for about a second; returns exchanges per second.
double Rate(CAxoDll& link, bool threaded) {
    link.threaded = threaded;
    int count = 0;
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(1)) {
        if (!Exchange(link, "$00H0\r", 4, "#00:K"))
            return 0;
        count++;
    }
    return count / Seconds(Clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    const int slowExchanges = argc > 1 ? std::atoi(argv[1]) : 4;
    const int timedExchanges = argc > 2 ? std::atoi(argv[2]) : 200;
    const int waitSeconds = argc > 3 ? std::atoi(argv[3]) : 5;
#ifdef LINK_BENCH_QT
    QCoreApplication app(argc, argv);
    QtUi ui;
    platform::InstallUi(&ui);
    const char* pump = "Qt event loop";
#else
    const char* pump = "headless wait";
#endif

    SimReset();
    SimUseVirtualTime(0);
    if (SimLoadScenario(Scenario) != 0) {
        std::fprintf(stderr, "scenario refused: %s\n", SimLastError());
        return 1;
    }
    CInits inits;
    inits.items.push_back(Item{"usbcomm", "thread", 0});
    Inits = &inits;
    CAxoDll link(true);
    std::printf("starting the link (%s)...\n", pump);
    if (!StartLink(&link)) {
        std::fprintf(stderr, "the link did not start\n");
        return 1;
    }
    realExchange = LinkLibrary.KestravionExtSR;
    LinkLibrary.KestravionExtSR = TimedExchange;

    // Waiting thread's CPU during long threaded exchanges.
    double cpu = 0;
    Clock::duration wall{};
    for (int i = 0; i < slowExchanges; i++) {
        const double cpuBefore = ThreadCpuSeconds();
        const Clock::time_point before = Clock::now();
        if (!Exchange(link, "$03\r", 9, "#03:K0000\r"))
            return 1;
        wall += Clock::now() - before;
        cpu += ThreadCpuSeconds() - cpuBefore;
    }
    const double cpuShare = 100.0 * cpu / Seconds(wall);
    std::printf(
        "waiting thread CPU per second of exchange: %.3f %% over %.1f s (goal < 2 %%): %s\n",
        cpuShare, Seconds(wall), cpuShare < 2.0 ? "met" : "MISSED");

    // From the end of the library's exchange to SendRecv returning.
    std::vector<double> delays;
    for (int i = 0; i < timedExchanges; i++) {
        if (!Exchange(link, "$04\r", 9, "#04:K0000\r"))
            return 1;
        const Clock::rep returned = Clock::now().time_since_epoch().count();
        delays.push_back(Seconds(Clock::duration(returned - exchangeEnd.load())) * 1000.0);
    }
    std::sort(delays.begin(), delays.end());
    const double median = delays[delays.size() / 2];
    std::printf("end of exchange to SendRecv return over %zu exchanges: median %.3f ms, "
                "90th %.3f ms, max %.3f ms (goal: median < 1 ms): %s\n",
                delays.size(), median, delays[delays.size() * 9 / 10], delays.back(),
                median < 1.0 ? "met" : "MISSED");

    const double threaded = Rate(link, true);
    const double direct = Rate(link, false);
    std::printf("back-to-back short exchanges: threaded %.0f/s, direct %.0f/s\n", threaded, direct);

    // No bridge attached: the wait looks at the driver's list once a second until its end.
    if (SimLoadScenario(R"({"openStatus": 2})") != 0)
        return 1;
    std::vector<BRIDGE> listed;
    ListBridges(listed);
    const double waitCpuBefore = ProcessCpuSeconds();
    const Clock::time_point waitStart = Clock::now();
    WaitForBridge(listed, waitSeconds * 1000);
    const double waitWall = Seconds(Clock::now() - waitStart);
    const double waitShare = 100.0 * (ProcessCpuSeconds() - waitCpuBefore) / waitWall;
    std::printf("process CPU while waiting for a bridge: %.3f %% over %.1f s (goal < 0.5 %%): %s\n",
                waitShare, waitWall, waitShare < 0.5 ? "met" : "MISSED");
    return 0;
}
