// Whole searches against the simulated master: the exchanges on the wire, the trace, the
// pause, the records, and how failing or endless modules end each loop.
#include "DeviceFixture.h"
#include "SlavePrinting.h"
#include "platform/Ui.h"

#include <condition_variable>
#include <mutex>

namespace {

using Records = std::vector<SLAVE>;

// The result text the module builds from its slaves.
std::string ResultText(const Records& slaves) {
    std::string text;
    for (const SLAVE& slave : slaves) {
        text += "\r\n" + slave.id + "," + slave.name + "," + slave.detail + "\r\n";
    }
    return text + "\r\nOK\r\n";
}

std::string SlavesJson(const Records& slaves) {
    std::string json = "[";
    for (const SLAVE& slave : slaves) {
        json += std::string(json.size() > 1 ? "," : "") + "{\"id\":\"" + slave.id +
                "\",\"name\":\"" + slave.name + "\",\"detail\":\"" + slave.detail + "\"}";
    }
    return json + "]";
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

class SearchWire : public DeviceFixture {
protected:
    Records Search(bool expectCompleted = true) {
        bool completed = !expectCompleted;
        ::testing::internal::CaptureStdout();
        Records records = device->SearchDevices(completed);
        trace = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(completed, expectCompleted);
        EXPECT_EQ(records, device->found);
        return records;
    }

    // The host's writes, with the polling frames counted and taken out.
    std::vector<std::string> WritesWithoutPolls(int& polls) {
        std::vector<std::string> writes;
        polls = 0;
        for (const std::string& write : Writes()) {
            if (write == Frame("$03\r", 9)) {
                ++polls;
            } else {
                writes.push_back(write);
            }
        }
        return writes;
    }

    std::string trace;
};

const Records OneSlave = {{"0012AB34CD56", "ZOMRA-1", "ch 7"}};

class SearchModes : public SearchWire, public ::testing::WithParamInterface<const char*> {};

TEST_P(SearchModes, OneSlaveExactlyOnTheWireAndInTheTrace) {
    if (GetParam() != nullptr) {
        Configure("usbcomm", GetParam());
    }
    Start("{\"slaves\":" + SlavesJson(OneSlave) + "}");
    const Records records = Search();
    EXPECT_EQ(records, (Records{OneSlave[0], {"OK", "", ""}}));

    const std::string text = ResultText(OneSlave);
    ASSERT_LT(text.size(), 100u);
    const unsigned n = static_cast<unsigned>(text.size());
    int polls = 0;
    const std::vector<std::string> writes = WritesWithoutPolls(polls);
    EXPECT_GE(polls, 2);
    EXPECT_EQ(writes,
              (std::vector<std::string>{Frame("$00H0\r", 4), Frame("$02H1\r", 4), Frame("$04\r", 9),
                                        Frame("$05H" + Hex(n, 2) + "\r", static_cast<int>(n) + 5),
                                        Frame("$04\r", 9)}));
    // Polling comes between the start and the retrieval.
    EXPECT_EQ(Writes()[2], Frame("$03\r", 9));
    EXPECT_EQ(trace, "[T]$04\n[R]#04:K" + Hex(n, 4) + "\r\n$05H" + Hex(n, 2) + "\n[R]#05:K" + text +
                         "\r\n[T]$04\n[R]#04:K0000\r\n--------<retrieved OK>---------\n" + text);
    EXPECT_EQ(device->receiveBuffer, text);
    EXPECT_TRUE(Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Link, SearchModes, ::testing::Values(nullptr, "thread", "sync"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param ? info.param : "default");
                         });

TEST_F(SearchWire, FiveHundredCharactersComeInPiecesOfAHundred) {
    Records slaves;
    for (int i = 0; i < 13; ++i) {
        slaves.push_back(
            {"0012AB34CD" + Hex(static_cast<unsigned>(i), 2), "ZOMRA-" + std::to_string(i), "d"});
    }
    std::string text = ResultText(slaves);
    ASSERT_LT(text.size(), 500u);
    slaves.back().detail += std::string(500 - text.size(), 'x');
    text = ResultText(slaves);
    ASSERT_EQ(text.size(), 500u);
    Start("{\"slaves\":" + SlavesJson(slaves) + "}");

    Records expected = slaves;
    expected.push_back({"OK", "", ""});
    EXPECT_EQ(Search(), expected);

    int polls = 0;
    std::vector<std::string> retrieval = WritesWithoutPolls(polls);
    retrieval.erase(retrieval.begin(), retrieval.begin() + 2);
    std::vector<std::string> pieces;
    std::string expectedTrace;
    for (int i = 0; i < 5; ++i) {
        pieces.push_back(Frame("$04\r", 9));
        pieces.push_back("MX0C6A$05H64\r\r");
        expectedTrace += "[T]$04\n[R]#04:K" + Hex(500u - 100u * static_cast<unsigned>(i), 4) +
                         "\r\n$05H64\n[R]#05:K" +
                         text.substr(100u * static_cast<unsigned>(i), 100) + "\r\n";
    }
    pieces.push_back(Frame("$04\r", 9));
    EXPECT_EQ(retrieval, pieces);
    EXPECT_EQ(trace,
              expectedTrace + "[T]$04\n[R]#04:K0000\r\n--------<retrieved OK>---------\n" + text);
}

TEST_F(SearchWire, NoResultCharactersGiveAnEmptyList) {
    Start("{\"search\":{\"resultText\":\"\"}}");
    EXPECT_EQ(Search(), Records{});
    int polls = 0;
    EXPECT_EQ(
        WritesWithoutPolls(polls),
        (std::vector<std::string>{Frame("$00H0\r", 4), Frame("$02H1\r", 4), Frame("$04\r", 9)}));
    EXPECT_EQ(trace, "[T]$04\n[R]#04:K0000\r\n--------<retrieved OK>---------\n");
}

TEST_F(SearchWire, OtherStatusBitsNeitherEndNorProlongPolling) {
    Start("{\"slaves\":" + SlavesJson(OneSlave) +
          ",\"search\":{\"statusBits\":258,\"durationMs\":500}}");
    EXPECT_EQ(Search().size(), 2u);
    int polls = 0;
    WritesWithoutPolls(polls);
    EXPECT_GE(polls, 3);
    EXPECT_LT(polls, 100);
}

// Pauses follow the polled replies ("$03" and "$04") and nothing else. With replies that
// arrive at once, the pauses are all the time that passes.
TEST_F(SearchWire, PausesFollowEachPolledReply) {
    Configure("wait", "on");
    Configure("time", "", 25);
    Start("{\"replyLatencyMs\":0,\"slaves\":" + SlavesJson(OneSlave) + "}");
    const long long before = SimNowUs();
    Search();
    const long long elapsed = SimNowUs() - before;
    const std::vector<std::string> writes = Writes();
    const int polled =
        CountWrites(writes, Frame("$03\r", 9)) + CountWrites(writes, Frame("$04\r", 9));
    EXPECT_EQ(polled, CountWrites(writes, Frame("$03\r", 9)) + 2);
    EXPECT_EQ(elapsed, 25000LL * polled);
}

// The search is bounded by elapsed time, not by a number of exchanges: a master that
// answers every poll at once still gets its whole search, paced at the shortest interval.
TEST_F(SearchWire, InstantMasterWithALongSearchIsPolledToTheEnd) {
    Configure("usbcomm", "sync");
    const Records slaves = {OneSlave[0], {"00A0C8222222", "ZOMRA-2", ""}};
    Start("{\"replyLatencyMs\":0,\"slaves\":" + SlavesJson(slaves) +
          ",\"search\":{\"durationMs\":30000}}");
    const long long before = SimNowUs();
    EXPECT_EQ(Search(), (Records{slaves[0], slaves[1], {"OK", "", ""}}));
    EXPECT_GE(SimNowUs() - before, 30000000LL);
    const int polls = CountWrites(Writes(), Frame("$03\r", 9));
    EXPECT_GE(polls, 30000 / static_cast<int>(CBtDevice::MinPollIntervalMs));
    EXPECT_LE(polls, 30000 / static_cast<int>(CBtDevice::MinPollIntervalMs) + 2);
}

// A status that never clears ends polling at the time limit, whatever one poll takes, and
// the search counts as not completed. (The exchanges run directly: thousands of hand-overs
// to the worker would add nothing.)
class EndlessStatus : public SearchWire, public ::testing::WithParamInterface<const char*> {};

TEST_P(EndlessStatus, EndsPollingAtTheTimeLimit) {
    Configure("usbcomm", "sync");
    Start("{\"replyLatencyMs\":" + std::string(GetParam()) + ",\"slaves\":" + SlavesJson(OneSlave) +
          ",\"search\":{\"statusNeverClears\":true}}");
    const long long before = SimNowUs();
    Search(false);
    const long long elapsed = SimNowUs() - before;
    EXPECT_GE(elapsed, CBtDevice::SearchTimeLimitMs * 1000LL);
    EXPECT_LT(elapsed, (CBtDevice::SearchTimeLimitMs + 1000) * 1000LL);
    EXPECT_EQ(Writes().back(), Frame("$04\r", 9));
}

INSTANTIATE_TEST_SUITE_P(ReplyLatencyMs, EndlessStatus, ::testing::Values("0", "40"));

TEST_F(SearchWire, CountThatNeverDrainsEndsAtTheTimeLimit) {
    Configure("usbcomm", "sync");
    Start("{\"slaves\":" + SlavesJson(OneSlave) + ",\"search\":{\"countNeverDrains\":true}}");
    const long long before = SimNowUs();
    const Records records = Search(false);
    const long long elapsed = SimNowUs() - before;
    EXPECT_GE(elapsed, CBtDevice::RetrievalTimeLimitMs * 1000LL);
    EXPECT_LT(elapsed, (CBtDevice::RetrievalTimeLimitMs + 1000) * 1000LL);
    const size_t reads = device->receiveBuffer.size() / ResultText(OneSlave).size();
    EXPECT_EQ(records.size(), 2u * reads);
}

// A status poll that gets no answer reads as 0 and ends polling.
TEST_F(SearchWire, SilentStatusEndsPolling) {
    Start("{\"slaves\":" + SlavesJson(OneSlave) +
          ",\"faults\":[{\"command\":\"$03\",\"action\":\"silent\",\"times\":1}]}");
    EXPECT_EQ(Search(), (Records{OneSlave[0], {"OK", "", ""}}));
    EXPECT_EQ(CountWrites(Writes(), Frame("$03\r", 9)), 1);
}

// A count that never arrives leaves the result unknown: the search is not completed.
TEST_F(SearchWire, SilentModuleEndsTheSearchEmpty) {
    Start("{\"slaves\":" + SlavesJson(OneSlave) +
          ",\"faults\":[{\"frame\":1,\"action\":\"dead\"}]}");
    EXPECT_EQ(Search(false), Records{});
    EXPECT_EQ(Writes(), (std::vector<std::string>{Frame("$00H0\r", 4), Frame("$02H1\r", 4),
                                                  Frame("$03\r", 9), Frame("$04\r", 9)}));
    EXPECT_EQ(trace, "[T]$04\n[R]\n--------<retrieved OK>---------\n");
}

// A read that comes back as its header alone adds nothing; the count is asked again, and
// what follows the gap is parsed from where it starts.
TEST_F(SearchWire, ShortReadAddsNothing) {
    const std::string text = "\r\n" + std::string(140, 'x') + "\r\n\r\nOK\r\n";
    Start("{\"search\":{\"resultText\":\"\\r\\n" + std::string(140, 'x') +
          "\\r\\n\\r\\nOK\\r\\n\"},\"faults\":[{\"command\":\"$05\",\"action\":\"short\","
          "\"bytes\":6,\"times\":1}]}");
    EXPECT_EQ(Search(), (Records{{std::string(42, 'x'), "", ""}, {"OK", "", ""}}));
    EXPECT_EQ(device->receiveBuffer, text.substr(100));
}

// The window's messages are handled once at the start of every turn of the search phase,
// the turn that ends it included, and not during the retrieval.
class CountingUi : public platform::Ui {
public:
    void ProcessMessages() override { ++processed; }
    void WaitForMessages() override {
        std::unique_lock<std::mutex> lock(mutex);
        woken.wait(lock, [this] { return wake; });
        wake = false;
    }
    void Wake() override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            wake = true;
        }
        woken.notify_all();
    }
    void ShowMessageBox(const std::string&, const std::string&, platform::BoxIcon) override {}

    int processed = 0;
    std::mutex mutex;
    std::condition_variable woken;
    bool wake = false;
};

TEST_F(SearchWire, MessagesAreHandledOncePerSearchTurn) {
    Configure("usbcomm", "sync");
    Start("{\"slaves\":" + SlavesJson(OneSlave) + "}");
    CountingUi ui;
    platform::InstallUi(&ui);
    Search();
    platform::InstallUi(nullptr);
    // start, started, one turn per status poll, and the turn that leaves the loop.
    EXPECT_EQ(ui.processed, 3 + CountWrites(Writes(), Frame("$03\r", 9)));
}

} // namespace
