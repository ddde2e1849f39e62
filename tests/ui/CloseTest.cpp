// Closing the main window: the ID table written exactly once, after any module operation
// under way, and what the master has committed afterwards.
#include "UiFixture.h"

#include "program/btdevice/Btdevice.h"

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

namespace {

// The commands of one write of the table whose IDs are `ids` (positions 1 to 14).
std::vector<std::string> TableWrite(const std::vector<std::string>& ids) {
    std::vector<std::string> commands = {"$00H0", "$A0H1"};
    for (int position = 0; position < 14; position++) {
        for (int k = 0; k < 3; k++) {
            commands.push_back(std::string(IdRegisterTable[position].registers[k]) + "H" +
                               ids[position].substr(4 * k, 4));
        }
    }
    commands.push_back("$CDH1");
    commands.push_back("$A0H0");
    return commands;
}

std::vector<std::string> DemoTable() {
    std::vector<std::string> ids(14, "000000000000");
    ids[1] = "00A0C8222222";
    ids[4] = "00A0C8999999";
    return ids;
}

void PostClose(TfmMain* window) {
    QMetaObject::invokeMethod(
        window, [window] { window->close(); }, Qt::QueuedConnection);
}

size_t IndexOf(const std::vector<std::string>& commands, const std::string& command) {
    return std::find(commands.begin(), commands.end(), command) - commands.begin();
}

} // namespace

using CloseTest = UiFixture;

TEST_F(CloseTest, ClosingWithoutChangesWritesAllFourteenIdsOnce) {
    Start(DemoScenario);
    SimClearLogs();
    window->close();
    EXPECT_EQ(ModuleCommands(), TableWrite(DemoTable()));
    EXPECT_TRUE(window->quitPosted);
    EXPECT_EQ(RunLoop(), 0);

    window->close();
    window->WMSysCommand(SC_CLOSE);
    EXPECT_EQ(Count(ModuleCommands(), "$CDH1"), 1) << "the close path runs once";
    EXPECT_EQ(SimCommittedId(2), std::string("00A0C8222222"));
    EXPECT_EQ(SimCommittedId(5), std::string("00A0C8999999"));
    EXPECT_TRUE(Violations().empty()) << SimViolations();
}

TEST_F(CloseTest, DropsAndReleasesReachTheMasterOnClose) {
    Start(DemoScenario);
    window->lvDevices->setCurrentRow(0);
    window->sgGridDragDrop(window->sgGrid, nullptr, CellCentre(1, 1).x(), CellCentre(1, 1).y());
    window->sgGrid->setCurrentCell(5, 1);
    window->btnReleaseClick(window->btnRelease);
    window->close();
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(SimCommittedId(1), std::string("00A0C8111111"));
    EXPECT_EQ(SimCommittedId(2), std::string("00A0C8222222"));
    EXPECT_EQ(SimCommittedId(5), std::string("000000000000"));
}

TEST_F(CloseTest, MinimisingWritesNothing) {
    Start(DemoScenario);
    window->show();
    SimClearLogs();
    window->showMinimized();
    QApplication::processEvents();
    window->showNormal();
    QApplication::processEvents();
    EXPECT_TRUE(ModuleCommands().empty());
    EXPECT_FALSE(window->quitPosted);
}

TEST_F(CloseTest, ACloseDuringASearchWaitsForItsEnd) {
    Start(DemoScenario);
    SimClearLogs();
    PostClose(window.get());
    window->btnSrchAgainClick(window->btnSrchAgain);
    EXPECT_TRUE(window->closePending);
    EXPECT_FALSE(window->quitPosted);
    EXPECT_EQ(Count(ModuleCommands(), "$A0H1"), 0) << "nothing written inside the search";

    EXPECT_EQ(RunLoop(), 0);
    std::vector<std::string> commands = ModuleCommands();
    EXPECT_EQ(Count(commands, "$02H1"), 1);
    EXPECT_EQ(Count(commands, "$CDH1"), 1);
    const size_t write = IndexOf(commands, "$A0H1");
    ASSERT_LT(write, commands.size());
    EXPECT_EQ(std::vector<std::string>(commands.begin() + write - 1, commands.end()),
              TableWrite(DemoTable()))
        << "the write follows the whole search";
}

TEST_F(CloseTest, ACloseEndsTheRepetitionAfterTheTurnUnderWay) {
    WriteConfig("debug=\"on\"");
    Start(DemoScenario);
    SimClearLogs();
    PostClose(window.get());
    window->btnSrchAgainClick(window->btnSrchAgain);
    EXPECT_TRUE(window->cboxRepeat->isChecked());
    EXPECT_EQ(RunLoop(), 0);
    std::vector<std::string> commands = ModuleCommands();
    EXPECT_LE(Count(commands, "$02H1"), 1);
    EXPECT_EQ(Count(commands, "$CDH1"), 1);
    EXPECT_EQ(SimCommittedId(2), std::string("00A0C8222222"));
}

// With the link threaded the write itself handles window messages: a second close and a
// search asked for meanwhile are both turned away.
TEST_F(CloseTest, NothingStartsWhileTheWriteRuns) {
    WriteConfig("usbcomm=\"thread\"");
    Start(DemoScenario);
    SimClearLogs();
    PostClose(window.get());
    QMetaObject::invokeMethod(
        window.get(), [this] { window->btnSrchAgainClick(window->btnSrchAgain); },
        Qt::QueuedConnection);
    window->close();
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(ModuleCommands(), TableWrite(DemoTable()));
    EXPECT_TRUE(Violations().empty()) << SimViolations();
}
