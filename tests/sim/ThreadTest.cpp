// The simulator serves a host thread while another thread reads its logs and moves its
// clock, as a test does while the interface library's worker runs an exchange.
#include "SimHost.h"

#include <atomic>
#include <thread>

namespace {

using ThreadTest = SimHostTest;

TEST_F(ThreadTest, ExchangesStayWholeWhileAnotherThreadReadsAndAdvances) {
    Start(R"({"byteGapMs": 1})");
    std::atomic<bool> done{false};
    std::thread observer([&done] {
        while (!done.load()) {
            const std::string calls = SimCallLog();
            const std::string wire = SimWireLog();
            EXPECT_TRUE(calls.empty() || calls.back() == '\n');
            EXPECT_TRUE(wire.empty() || wire.back() == '\n');
            SimAdvanceUs(500);
            EXPECT_GE(SimPendingBytes(), 0);
        }
    });
    int answered = 0;
    for (int i = 0; i < 200; ++i) {
        answered += Line("MG") == "Y1\r" ? 1 : 0;
        answered += Module("$03", 9) == "#03:K0000\r" ? 1 : 0;
    }
    done.store(true);
    observer.join();
    EXPECT_EQ(answered, 400);
    EXPECT_EQ(SimWriteCount(), 400);
}

TEST_F(ThreadTest, TextsHandedOutStayValidPerThread) {
    Start(R"({"committedIds": {"1": "0123456789AB"}})");
    const char* mine = SimCommittedId(1);
    std::thread other([] { EXPECT_STREQ(SimCommittedId(2), "000000000000"); });
    other.join();
    EXPECT_STREQ(mine, "0123456789AB");
}

} // namespace
