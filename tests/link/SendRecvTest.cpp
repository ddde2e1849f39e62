// CAxoDll::SendRecv over a stand-in exchange: what reaches the library, what comes back,
// the hand-over to the worker and the refusals.
#include "FakeExchange.h"
#include "TestUi.h"
#include "program/link/Axodll.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Lets a test end the worker, as if it could not run any more.
class StoppableLink : public CAxoDll {
public:
    using CAxoDll::CAxoDll;
    void StopWorker() { Stop(); }
};

class SendRecv : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        InstallFake(&fake);
        link.threaded = GetParam();
    }
    void TearDown() override { UninstallFake(); }

    FakeExchange fake;
    StoppableLink link{true};
};

INSTANTIATE_TEST_SUITE_P(Link, SendRecv, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Threaded" : "Direct";
                         });

TEST_P(SendRecv, PassesLengthsAndPayloadUnchanged) {
    EXPECT_EQ(link.SendRecv(6, 4, "$00H0\r"), "R$00H0\r");
    EXPECT_EQ(fake.calls, 1);
    EXPECT_EQ(fake.lastSendLength, 6);
    EXPECT_EQ(fake.lastReplyLength, 4);
    EXPECT_EQ(fake.lastPayload, "$00H0\r");
    EXPECT_FALSE(link.busy);
}

TEST_P(SendRecv, SendsOnlyTheFirstSendLengthBytes) {
    EXPECT_EQ(link.SendRecv(3, 9, "$03\r"), "R$03");
    EXPECT_EQ(fake.lastPayload, "$03");
}

TEST_P(SendRecv, RunsOnTheWorkerOnlyWhenThreaded) {
    // The pump outlives the link: the worker wakes it after handing the reply over.
    TestUi ui;
    CAxoDll link(true);
    link.threaded = GetParam();
    link.SendRecv(4, 9, "$03\r");
    if (GetParam()) {
        EXPECT_NE(fake.lastThread, std::this_thread::get_id());
    } else {
        EXPECT_EQ(fake.lastThread, std::this_thread::get_id());
        // Direct exchanges hold the window's messages until they are over.
        EXPECT_EQ(ui.waitCalls, 0);
        EXPECT_EQ(ui.processCalls, 0);
    }
}

TEST_P(SendRecv, ReplyIsClearedBeforeEachExchange) {
    fake.answer = [](int, const std::string&, char* reply) { std::memset(reply, 'A', 20); };
    EXPECT_EQ(link.SendRecv(1, 19, "x"), std::string(20, 'A'));
    fake.answer = [](int, const std::string&, char* reply) { std::memcpy(reply, "BB", 2); };
    EXPECT_EQ(link.SendRecv(1, 1, "x"), "BB");
}

TEST_P(SendRecv, ReplyEndsAtItsFirstZeroByte) {
    fake.answer = [](int, const std::string&, char* reply) { std::memcpy(reply, "AB\0CD", 5); };
    EXPECT_EQ(link.SendRecv(1, 4, "x"), "AB");
}

TEST_P(SendRecv, LengthsBeyondTheBuffersSendNothing) {
    ASSERT_EQ(link.SendRecv(4, 9, "$03\r"), "R$03\r");
    // More bytes than the command holds, or a reply that would not leave the buffer its
    // terminating zero: refused here, and the previous reply is not handed back.
    EXPECT_EQ(link.SendRecv(5, 9, "$03\r"), "");
    EXPECT_EQ(link.SendRecv(1, CAxoDll::ReplySize - 1, "x"), "");
    EXPECT_EQ(link.SendRecv(1, 0x7fffffff, "x"), "");
    EXPECT_EQ(fake.calls, 1);
    EXPECT_FALSE(link.busy);
    // The largest reply the buffer holds still goes through.
    fake.answer = [](int replyLength, const std::string&, char* reply) {
        std::memset(reply, 'z', replyLength + 1);
    };
    EXPECT_EQ(link.SendRecv(1, CAxoDll::ReplySize - 2, "x").size(),
              static_cast<size_t>(CAxoDll::ReplySize - 1));
}

TEST_P(SendRecv, NothingIsSentWithoutTheLibrary) {
    UninstallFake();
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "");
    EXPECT_FALSE(link.busy);
}

TEST_P(SendRecv, WorkerThatCannotRunGivesAnEmptyReply) {
    ASSERT_EQ(link.SendRecv(4, 9, "$03\r"), "R$03\r");
    link.StopWorker();
    // Threaded: nothing sent, and never the previous reply. Direct needs no worker.
    std::string text = link.SendRecv(4, 9, "$04\r");
    if (GetParam()) {
        EXPECT_EQ(text, "");
        EXPECT_EQ(fake.calls, 1);
        EXPECT_EQ(link.reply[0], 0);
    } else {
        EXPECT_EQ(text, "R$04\r");
    }
    EXPECT_FALSE(link.busy);
}

TEST_P(SendRecv, BackToBackExchangesEachGetTheirOwnReply) {
    const int rounds = 3000;
    for (int i = 0; i < rounds; i++) {
        std::string command = "C" + std::to_string(i);
        ASSERT_EQ(link.SendRecv(static_cast<int32_t>(command.size()), 9, command), "R" + command);
    }
    EXPECT_EQ(fake.calls, rounds);
}

class ThreadedWait : public ::testing::Test {
protected:
    void SetUp() override { InstallFake(&fake); }
    void TearDown() override { UninstallFake(); }

    FakeExchange fake;
    // Declared before the link, so it outlives the worker that wakes it.
    TestUi ui;
    CAxoDll link{true};
};

TEST_F(ThreadedWait, SleepsUntilTheWorkerWakesIt) {
    fake.Hold();
    std::thread releaser([&] {
        fake.AwaitEntered();
        std::this_thread::sleep_for(50ms);
        fake.Release();
    });
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "R$03\r");
    releaser.join();
    // One wait for the exchange, perhaps one more for a wake left from before: no spinning.
    EXPECT_GE(ui.waitCalls, 1);
    EXPECT_LE(ui.waitCalls, 2);
    EXPECT_EQ(ui.processCalls, 0);
}

TEST_F(ThreadedWait, SecondExchangeFromAMessageHandlerIsRefused) {
    fake.Hold();
    std::string inner = "unset";
    int callsAfterInner = -1;
    ui.onWait = [&] {
        inner = link.SendRecv(4, 9, "$04\r");
        callsAfterInner = fake.calls;
        fake.Release();
    };
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "R$03\r");
    EXPECT_EQ(inner, "");
    EXPECT_EQ(callsAfterInner, 0);
    EXPECT_EQ(fake.calls, 1);
    EXPECT_EQ(fake.lastPayload, "$03\r");
    EXPECT_EQ(link.command, "$03\r");
    // The link takes the next exchange normally.
    EXPECT_EQ(link.SendRecv(4, 9, "$04\r"), "R$04\r");
}

TEST(CreatedRunning, WorkerStartsAtOnceAndSendsNothing) {
    FakeExchange fake;
    InstallFake(&fake);
    {
        CAxoDll link(false);
        auto end = std::chrono::steady_clock::now() + 10s;
        while (link.busy && std::chrono::steady_clock::now() < end)
            std::this_thread::yield();
        ASSERT_FALSE(link.busy);
        // Its first pass carries the empty request, which the library refuses unsent.
        EXPECT_EQ(fake.calls, 1);
        EXPECT_EQ(fake.lastSendLength, 0);
        EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "R$03\r");
    }
    UninstallFake();
}

} // namespace
