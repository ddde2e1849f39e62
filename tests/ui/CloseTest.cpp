// Closing the main window: the ID table written exactly once, after any module operation
// under way, and what the master has committed afterwards.
#include "UiFixture.h"

#include "program/btdevice/Btdevice.h"
#include "program/btdevice/Journal.h"

#include <QApplication>
#include <QCheckBox>

#include <filesystem>
#include <map>

namespace {

// The commands of one write session of `changes` (position -> new ID): the stored table
// loaded, the sets, the read-back of the positions set, the commit, the stored table loaded
// and read back.
std::vector<std::string> TableWrite(const std::map<int, std::string>& changes = {
                                        {1, "00A0C8111111"}}) {
    std::vector<std::string> commands = {"$00H0", "$A0H1", "$CEH1"};
    for (const char* step : {"set", "query", "$CDH1", "query"}) {
        if (step[0] == '$') {
            commands.insert(commands.end(), {"$CDH1", "$CEH1"});
            continue;
        }
        for (const auto& [position, id] : changes) {
            for (int k = 0; k < 3; k++)
                commands.push_back(std::string(IdRegisterTable[position - 1].registers[k]) +
                                   (step[0] == 's' ? "H" + id.substr(4 * k, 4) : ""));
        }
    }
    commands.push_back("$A0H0");
    return commands;
}

void PostClose(TfmMain* window) {
    QMetaObject::invokeMethod(
        window, [window] { window->close(); }, Qt::QueuedConnection);
}

} // namespace

using CloseTest = UiFixture;

TEST_F(CloseTest, ClosingWritesWhatChangedOnceAndQuits) {
    Start(DemoScenario);
    window->show();
    SimClearLogs();
    window->showMinimized();
    QApplication::processEvents();
    window->showNormal();
    EXPECT_TRUE(ModuleCommands().empty()) << "minimising writes nothing";

    window->lvDevices->setCurrentRow(0);
    DropAt(CellCentre(1, 1));
    window->close();
    EXPECT_EQ(ModuleCommands(), TableWrite());
    EXPECT_EQ(RunLoop(), 0);
    window->close();
    window->WMSysCommand(SC_CLOSE);
    EXPECT_EQ(Count("$CDH1"), 1) << "the close path runs once";
    // Each answer stays valid only until the next call.
    std::string committed;
    for (int position : {1, 2, 5})
        committed += std::string(SimCommittedId(position)) + " ";
    EXPECT_EQ(committed, "00A0C8111111 00A0C8222222 00A0C8999999 ");
    EXPECT_TRUE(Violations().empty()) << SimViolations();
    EXPECT_EQ(CallLog().back(), "FT_Close -> 0") << "the bridge closed after the write";
}

TEST_F(CloseTest, ClosingWithoutAChangeSendsNothing) {
    Start(DemoScenario);
    SimClearLogs();
    window->close();
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_TRUE(ModuleCommands().empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(CloseTest, ACloseDuringASearchWaitsForItsEnd) {
    Start(DemoScenario);
    window->lvDevices->setCurrentRow(0);
    DropAt(CellCentre(1, 1));
    SimClearLogs();
    PostClose(window.get());
    SearchAgain();
    EXPECT_TRUE(window->closePending);
    EXPECT_EQ(Count("$A0H1"), 0) << "nothing written inside the search";
    EXPECT_EQ(RunLoop(), 0);
    const std::vector<std::string> commands = ModuleCommands();
    const std::vector<std::string> write = TableWrite();
    ASSERT_GT(commands.size(), write.size());
    EXPECT_EQ(std::vector<std::string>(commands.end() - write.size(), commands.end()), write);
    EXPECT_EQ(Count("$02H1"), 1);
    EXPECT_EQ(Count("$CDH1"), 1);
}

TEST_F(CloseTest, ACloseEndsTheRepetitionAfterTheTurnUnderWay) {
    WriteConfig("debug=\"on\"");
    Start(DemoScenario);
    window->lvDevices->setCurrentRow(0);
    DropAt(CellCentre(1, 1));
    SimClearLogs();
    PostClose(window.get());
    SearchAgain();
    EXPECT_TRUE(window->cboxRepeat->isChecked());
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_LE(Count("$02H1"), 1);
    EXPECT_EQ(Count("$CDH1"), 1);
}

// With the link threaded the write itself handles window messages: a second close and a
// search asked for meanwhile are both turned away.
TEST_F(CloseTest, NothingStartsWhileTheWriteRuns) {
    WriteConfig("usbcomm=\"thread\"");
    Start(DemoScenario);
    window->lvDevices->setCurrentRow(0);
    DropAt(CellCentre(1, 1));
    SimClearLogs();
    PostClose(window.get());
    QMetaObject::invokeMethod(
        window.get(), [this] { SearchAgain(); }, Qt::QueuedConnection);
    window->close();
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(ModuleCommands(), TableWrite());
    EXPECT_TRUE(Violations().empty()) << SimViolations();
}

namespace {

const char* const NotSaved = "The ID table was NOT saved to the master unit.\nPlease check the "
                             "USB cable and the power of the master unit.";

// The demo master, with `command` failing `times` times after the first `skip`: with a
// skip of 1 the start-up read of a register passes and the write session's set fails.
std::string FailingWrite(const std::string& action, int times, const std::string& command = "$A1",
                         int skip = 1) {
    std::string scenario = DemoScenario;
    scenario.insert(scenario.rfind('}'), ",\"faults\": [{\"command\": \"" + command +
                                             "\", \"skip\": " + std::to_string(skip) + ", " +
                                             action + ", \"times\": " + std::to_string(times) +
                                             "}]");
    return scenario;
}

} // namespace

// A failed write is never silent and never committed in part, nor one whose set or commit
// the master answered without storing: the technician tries again (a whole new session
// that commits once) or closes without saving.
TEST_F(CloseTest, AFailedWriteIsReportedAndCanBeTriedAgain) {
    const struct {
        const char* action;
        const char* command;
        std::string text;
        int skip = 1;
        int commits = 1;
    } cases[] = {
        {"\"action\": \"short\", \"bytes\": 3", "$A1", NotSaved},
        {"\"action\": \"refuse\"", "$A2",
         "The ID table was NOT saved to the master unit: it did not take the ID of position 01. "
         "The master unit keeps its earlier table.\nPlease check the USB cable and the power of "
         "the master unit."},
        {"\"action\": \"refuse\"", "$CD", NotSaved, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Stop();
        boxes.clear();
        Start(FailingWrite(c.action, 1, c.command, c.skip));
        window->lvDevices->setCurrentRow(0);
        DropAt(CellCentre(1, 1));
        SimClearLogs();
        boxAnswers = {"Try again"};
        window->close();
        EXPECT_EQ(RunLoop(), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "error");
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(boxes[0].owner, window.get());
        EXPECT_EQ(Count("$CDH1"), c.commits);
        const std::vector<std::string> write = TableWrite();
        const std::vector<std::string> commands = ModuleCommands();
        ASSERT_GE(commands.size(), write.size());
        EXPECT_EQ(std::vector<std::string>(commands.end() - write.size(), commands.end()), write);
        EXPECT_STREQ(SimCommittedId(1), "00A0C8111111");
    }
}

TEST_F(CloseTest, CloseWithoutSavingLeavesTheMastersTableAlone) {
    for (const char* action : {"\"action\": \"short\", \"bytes\": 3", "\"action\": \"silent\""}) {
        SCOPED_TRACE(action);
        Stop();
        // The first case's unsaved changes would be offered at the second's start.
        std::filesystem::remove(CJournal::DefaultJournalPath());
        boxes.clear();
        Start(FailingWrite(action, 100));
        window->lvDevices->setCurrentRow(0);
        DropAt(CellCentre(1, 1));
        SimClearLogs();
        const long long before = SimNowUs();
        boxAnswers = {"Try again", "Close without saving"};
        window->close();
        EXPECT_EQ(RunLoop(), 0);
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[1].text, NotSaved);
        EXPECT_EQ(Count("$CDH1"), 0);
        EXPECT_EQ(Count("$00H0"), 2);
        // Reported after one exchange's time limit each time, not after 46 of them.
        EXPECT_LT(SimNowUs() - before, 2 * 64000000LL);
        EXPECT_STREQ(SimCommittedId(1), "000000000000");
        EXPECT_STREQ(SimCommittedId(2), "00A0C8222222");
        EXPECT_EQ(CallLog().back(), "FT_Close -> 0") << "the bridge closed without saving";
    }
}

// A position whose read failed shows as unread: the technician is told at start-up; it is
// no target of drag, Return or double-click, Release leaves it, and the write leaves the
// master's entry there alone. While it is unread no slave is registered anywhere (it may
// stand there already), and each refusal says so and offers to read again.
TEST_F(CloseTest, AnUnreadPositionIsShownSoAndKeptAsStored) {
    std::string scenario = DemoScenario;
    scenario.insert(scenario.rfind('}'),
                    ",\"faults\": [{\"command\": \"$AE\", \"action\": \"refuse\", \"times\": 2}]");
    boxAnswers = {"Read again"};
    Start(scenario);
    ASSERT_EQ(boxes.size(), 2u) << "read again once";
    EXPECT_EQ(boxes[1].text, "The IDs at positions 05 could not be read from the master unit.\n"
                             "They are shown as \"not read\", cannot be changed, and are kept as "
                             "the master unit stores them. Until they are read, no slave can be "
                             "registered: it may be registered there already.");
    EXPECT_EQ(boxes[1].icon, QMessageBox::Warning);
    EXPECT_EQ(Cell(5), "not read");

    window->lvDevices->setCurrentRow(0);
    EXPECT_FALSE(DragOverAt(CellCentre(1, 5)));
    EXPECT_FALSE(DragOverAt(CellCentre(1, 1))) << "nor at a free row";
    window->sgGrid->setCurrentCell(5, 1);
    window->sgGridKeyDown(Qt::Key_Return);
    EXPECT_EQ(Cell(5), "not read");
    window->sgGrid->setRangeSelected(QTableWidgetSelectionRange(2, 1, 5, 1), true);
    Release();
    EXPECT_EQ(Cell(5), "not read");
    EXPECT_EQ(Cell(2), "000000000000") << "the rows around it are released";
    window->lvDevicesDblClick(window->lvDevices->item(0));
    EXPECT_EQ(Cell(1), "000000000000");
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[3].text, "No slave can be registered while the IDs at positions 05 are not "
                             "read: the slave may be registered there already.");

    SimClearLogs();
    window->close();
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(boxes.size(), 4u);
    EXPECT_EQ(ModuleCommands(), TableWrite({{2, "000000000000"}}));
    EXPECT_STREQ(SimCommittedId(5), "00A0C8999999");
}

// Read again from a refusal: the rows read now fill in, the technician's edits stay, and
// registering works again.
TEST_F(CloseTest, ReadAgainFillsTheUnreadRowsAndKeepsTheEdits) {
    std::string scenario = DemoScenario;
    scenario.insert(scenario.rfind('}'),
                    ",\"faults\": [{\"command\": \"$AE\", \"action\": \"refuse\", \"times\": 1}]");
    Start(scenario);
    window->sgGrid->setCurrentCell(2, 1);
    Release();
    boxAnswers = {"OK", "Read again"};
    window->lvDevicesDblClick(window->lvDevices->item(0));
    EXPECT_EQ(Cell(5), "00A0C8999999");
    EXPECT_EQ(Cell(2), "000000000000");
    window->lvDevicesDblClick(window->lvDevices->item(0));
    EXPECT_EQ(Cell(1), "00A0C8111111");
}

// The changes of a write closed without saving are offered again at the next start on that
// master while it still holds the table from before: put back under the grid's rules (and
// written at the close), or discarded.
TEST_F(CloseTest, UnsavedChangesAreOfferedAgainAtTheNextStart) {
    std::string unread = DemoScenario;
    unread.insert(unread.rfind('}'),
                  ",\"faults\": [{\"command\": \"$AE\", \"action\": \"refuse\", \"times\": 1}]");
    std::string changedSince = DemoScenario;
    changedSince.replace(changedSince.find("\"2\": \"00A0C8222222\"") + 6, 12, "00A0C8777777");
    const struct {
        std::string scenario;
        std::vector<std::string> answers;
        std::string cell1, cell2;
        int mark1, mark2;
        std::string notice = {}; // after the offer, which the last answer answers
    } cases[] = {
        {DemoScenario, {"Put back"}, "00A0C8111111", "000000000000", imgRegistered, imgFree},
        {DemoScenario, {"Discard"}, "000000000000", "00A0C8222222", imgFree, imgRegistered},
        {unread,
         {"OK", "Put back"},
         "000000000000",
         "000000000000",
         imgFree,
         imgFree,
         "No slave can be registered while the IDs at positions 05 are not read; these changes "
         "were not put back:\n01 000000000000 -> 00A0C8111111"},
        {changedSince, {}, "000000000000", "00A0C8777777", imgFree, imgFree},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers.empty() ? "changed since" : c.answers.back());
        Stop();
        std::filesystem::remove(CJournal::DefaultJournalPath());
        boxes.clear();
        boxAnswers = {"Close without saving"};
        Start(FailingWrite("\"action\": \"short\", \"bytes\": 3", 100));
        window->lvDevices->setCurrentRow(0);
        DropAt(CellCentre(1, 1));
        window->sgGrid->setCurrentCell(2, 1);
        Release();
        window->close();
        EXPECT_EQ(RunLoop(), 0);

        Stop();
        boxes.clear();
        boxAnswers = c.answers;
        Start(c.scenario);
        const size_t offer = c.answers.size() - 1;
        EXPECT_EQ(boxes.size(), c.answers.size() + !c.notice.empty());
        if (offer < boxes.size()) {
            EXPECT_NE(boxes[offer].text.find(
                          "\n01 000000000000 -> 00A0C8111111\n02 00A0C8222222 -> 000000000000"),
                      std::string::npos)
                << boxes[offer].text;
            EXPECT_EQ(boxes[offer].icon, QMessageBox::Question);
        }
        if (!c.notice.empty() && offer + 1 < boxes.size()) {
            EXPECT_EQ(boxes[offer + 1].text, c.notice);
        }
        EXPECT_EQ(Cell(1), c.cell1);
        EXPECT_EQ(Cell(2), c.cell2);
        EXPECT_EQ(Mark(0), c.mark1);
        EXPECT_EQ(Mark(1), c.mark2);
        window->close();
        EXPECT_EQ(RunLoop(), 0);
        EXPECT_EQ(SimCommittedId(1), c.cell1);
        EXPECT_EQ(SimCommittedId(2), c.cell2);
    }
}
