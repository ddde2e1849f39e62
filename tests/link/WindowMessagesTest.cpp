// Window messages during an exchange, with Qt's event loop behind the link's waits and the
// simulated master answering in real time: they flow while a threaded exchange runs and
// wait for a direct one.
#include "LinkFixture.h"
#include "program/ui/QtUi.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

class WindowMessages : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        platform::InstallUi(&ui);
    }
    void TearDown() override {
        platform::InstallUi(nullptr);
        LinkFixture::TearDown();
    }

    // Starts the link (in virtual time, so the start-up's pauses cost nothing), then lets
    // the master answer "$03" only after `delayMs` of real time.
    void Start(const char* usbcomm, int delayMs) {
        LoadScenario(R"({"faults": [{"command": "$03", "action": "delay", "delayMs": )" +
                     std::to_string(delayMs) + "}]}");
        Configure("usbcomm", usbcomm);
        bool started = false;
        StartTraced(link, started);
        ASSERT_TRUE(started);
        SimUseVirtualTime(0);
        SimClearLogs();
    }

    QtUi ui;
    CAxoDll link{true};
};

TEST_F(WindowMessages, TimerFiresDuringAThreadedExchange) {
    Start("thread", 200);
    int fired = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { fired++; });
    timer.start(10);
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "#03:K0000\r");
    EXPECT_GE(fired, 1);
}

TEST_F(WindowMessages, TimerWaitsForADirectExchange) {
    Start("sync", 100);
    int fired = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { fired++; });
    timer.start(10);
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "#03:K0000\r");
    EXPECT_EQ(fired, 0);
    // The timer was due all along: it fires as soon as messages are processed again.
    QCoreApplication::processEvents();
    EXPECT_GE(fired, 1);
}

TEST_F(WindowMessages, ExchangeStartedFromATimerDuringAWaitIsRefused) {
    Start("thread", 200);
    std::string inner = "unset";
    QTimer::singleShot(10, [&] { inner = link.SendRecv(4, 9, "$04\r"); });
    EXPECT_EQ(link.SendRecv(4, 9, "$03\r"), "#03:K0000\r");
    EXPECT_EQ(inner, "");
    EXPECT_EQ(Writes().size(), 1u);
    EXPECT_EQ(link.SendRecv(4, 9, "$04\r"), "#04:K0000\r");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
