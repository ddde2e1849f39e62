// Closing the main window: the ID table written exactly once, after any module operation
// under way, and what the master has committed afterwards.
#include "UiFixture.h"

#include "program/btdevice/Btdevice.h"

#include <QApplication>
#include <QCheckBox>

namespace {

// The commands of one write of the demo table, with position 1 holding `first`.
std::vector<std::string> TableWrite(const std::string& first = "000000000000") {
    std::vector<std::string> ids(14, "000000000000");
    ids[0] = first;
    ids[1] = "00A0C8222222";
    ids[4] = "00A0C8999999";
    std::vector<std::string> commands = {"$00H0", "$A0H1"};
    for (int position = 0; position < 14; position++) {
        for (int k = 0; k < 3; k++)
            commands.push_back(std::string(IdRegisterTable[position].registers[k]) + "H" +
                               ids[position].substr(4 * k, 4));
    }
    commands.push_back("$CDH1");
    commands.push_back("$A0H0");
    return commands;
}

void PostClose(TfmMain* window) {
    QMetaObject::invokeMethod(
        window, [window] { window->close(); }, Qt::QueuedConnection);
}

} // namespace

using CloseTest = UiFixture;

TEST_F(CloseTest, ClosingWritesTheWholeTableOnceAndQuits) {
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
    EXPECT_EQ(ModuleCommands(), TableWrite("00A0C8111111"));
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
}

TEST_F(CloseTest, ACloseDuringASearchWaitsForItsEnd) {
    Start(DemoScenario);
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
    SimClearLogs();
    PostClose(window.get());
    QMetaObject::invokeMethod(
        window.get(), [this] { SearchAgain(); }, Qt::QueuedConnection);
    window->close();
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_EQ(ModuleCommands(), TableWrite());
    EXPECT_TRUE(Violations().empty()) << SimViolations();
}
