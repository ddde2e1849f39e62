// Start-up of the main window: its order, what reaches the master, its failures.
#include "UiFixture.h"

#include "platform/NamedMutex.h"
#include "program/btdevice/Btdevice.h"
#include "program/ui/Msgdlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

std::vector<std::string> Captions(const QListWidget* list) {
    std::vector<std::string> captions;
    for (int row = 0; row < list->count(); row++)
        captions.push_back(list->item(row)->text().toStdString());
    return captions;
}

// The commands of one ID-table read: opening, 42 register queries, closing.
std::vector<std::string> TableRead() {
    std::vector<std::string> commands = {"$00H0", "$A0H1", "$CEH1"};
    for (const IdRegisterRow* row = IdRegisterTable; row->replyLength >= 0; row++)
        commands.insert(commands.end(), row->registers, row->registers + 3);
    commands.push_back("$A0H0");
    return commands;
}

} // namespace

using StartupTest = UiFixture;

TEST_F(StartupTest, FirstStartSearchesThenReadsTheTableAndShowsBoth) {
    Start(DemoScenario);

    ASSERT_TRUE(boxes.seen.empty());
    EXPECT_EQ(window->windowTitle().toStdString(),
              "Bluetooth Configurator for KESTRAVION Ver 1.03");
    EXPECT_EQ(window->lblVersion->text().toStdString(), "Ver 1.03");
    EXPECT_TRUE(window->lblVersion->isHidden());
    EXPECT_FALSE(window->isVisible()) << "start-up runs before the window is shown";
    EXPECT_FALSE(window->fmMsg->isVisible());
    EXPECT_FALSE(window->debugMode);
    EXPECT_TRUE(window->cboxRepeat->isHidden());
    EXPECT_FALSE(window->quitPosted);

    // No config.ini: the defaults were written and read.
    EXPECT_EQ(ReadConfig(), "listview=\"List\"\noutput=\"win\"\nwait=\"on\"\ntime=\"25\"\n"
                            "usbcomm=\"sync\"\ndebug=\"off\"\n");

    // The search first, to its end, then one read of the table; nothing written.
    std::vector<std::string> commands = ModuleCommands();
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[0], "$00H0");
    EXPECT_EQ(commands[1], "$02H1");
    EXPECT_EQ(commands[2], "$03");
    std::vector<std::string> read = TableRead();
    ASSERT_GE(commands.size(), read.size());
    EXPECT_EQ(std::vector<std::string>(commands.end() - read.size(), commands.end()), read);
    EXPECT_EQ(Count(commands, "$CDH1"), 0);
    EXPECT_TRUE(Violations().empty()) << SimViolations();

    // Only names that begin with the five capitals, in the order found, duplicates kept.
    EXPECT_EQ(Captions(window->lvDevices),
              (std::vector<std::string>{"00A0C8111111", "00A0C8222222", "00A0C8666666",
                                        "00A0C8777777", "00A0C8222222"}));
    // Of two items with one ID only the later one is marked.
    const int marks[] = {imgFree, imgFree, imgFree, imgFree, imgRegistered};
    for (int row = 0; row < 5; row++)
        EXPECT_EQ(TfmMain::ImageIndex(Item(row)), marks[row]) << "item " << row;

    TStringGrid* grid = window->sgGrid;
    ASSERT_EQ(grid->rowCount(), 15);
    ASSERT_EQ(grid->columnCount(), 2);
    EXPECT_EQ(grid->columnWidth(0), 64);
    EXPECT_EQ(grid->columnWidth(1), 300);
    EXPECT_EQ(grid->rowHeight(7), 16);
    EXPECT_EQ(grid->Cells(0, 0), "Switch");
    EXPECT_EQ(grid->Cells(1, 0), "Device ID");
    EXPECT_EQ(grid->Cells(0, 1), "01");
    EXPECT_EQ(grid->Cells(0, 10), "0A");
    EXPECT_EQ(grid->Cells(0, 14), "0E");
    for (int row = 1; row <= 14; row++) {
        const char* id = row == 2 ? "00A0C8222222" : row == 5 ? "00A0C8999999" : "000000000000";
        EXPECT_EQ(grid->Cells(1, row), id) << "row " << row;
    }
    EXPECT_EQ(grid->currentRow(), 1);
    EXPECT_EQ(grid->currentColumn(), 1);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(grid->item(3, 0)->flags() & Qt::ItemIsSelectable) << "title cells are fixed";
    EXPECT_FALSE(grid->item(0, 1)->flags() & Qt::ItemIsSelectable);
    EXPECT_TRUE(grid->item(3, 1)->flags() & Qt::ItemIsSelectable);
}

TEST_F(StartupTest, OnlyOnAndCapitalOnSwitchDebugModeOn) {
    const std::pair<const char*, bool> cases[] = {
        {"debug=\"on\"", true},   {"debug=\"ON\"", true},       {"debug=\"On\"", false},
        {"debug=\"on \"", false}, {"debug=\"off\"", false},     {"debug=1", false},
        {"Debug=\"on\"", false},  {"listview=\"List\"", false},
    };
    for (const auto& [config, debug] : cases) {
        Stop();
        WriteConfig(config);
        Start(DemoScenario);
        EXPECT_EQ(window->debugMode, debug) << config;
        EXPECT_EQ(window->cboxRepeat->isHidden(), !debug) << config;
        EXPECT_EQ(window->cboxRepeat->isChecked(), debug) << config;
    }
}

TEST_F(StartupTest, OnlyCapitalIconGivesTheLargeIconStyle) {
    const std::pair<const char*, bool> cases[] = {
        {"listview=\"Icon\"", true},
        {"listview=\"icon\"", false},
        {"listview=\"List\"", false},
        {"debug=\"off\"", false},
    };
    for (const auto& [config, icons] : cases) {
        Stop();
        WriteConfig(config);
        Start(DemoScenario);
        EXPECT_EQ(window->lvDevices->viewMode(), icons ? QListView::IconMode : QListView::ListMode)
            << config;
        // The marks are kept in both styles; only the icon style shows them.
        EXPECT_EQ(TfmMain::ImageIndex(Item(4)), imgRegistered) << config;
        EXPECT_EQ(Item(0)->icon().isNull(), !icons) << config;
        if (icons) {
            EXPECT_EQ(Item(0)->icon().cacheKey(), window->imgsDevice[imgFree].cacheKey());
            EXPECT_EQ(Item(4)->icon().cacheKey(), window->imgsDevice[imgRegistered].cacheKey());
        }
        // A drag copies an ID; it never moves the item out of the list.
        EXPECT_EQ(window->lvDevices->dragDropMode(), QAbstractItemView::DragOnly) << config;
        EXPECT_EQ(window->lvDevices->defaultDropAction(), Qt::CopyAction) << config;
    }
}

TEST_F(StartupTest, TheFirstCopyHoldsTheFamilyLock) {
    Start(DemoScenario);
    int fd = open(platform::NamedMutexPath("VQM44TN QUELIN ZOMRA").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_NE(flock(fd, LOCK_SH | LOCK_NB), 0) << "the lock is held";
    close(fd);
}

// Each way the master can fail to come up: the message, then a quit that ends the loop as
// soon as it runs, and nothing sent to the module.
TEST_F(StartupTest, AnUnpreparedMasterEndsTheStartUpWithItsMessage) {
    const char* scenarios[] = {
        R"({"openStatus": 2})",
        R"({"xvConnected": false})",
        R"({"faults": [{"command": "MG", "action": "silent"}]})",
    };
    for (const char* scenario : scenarios) {
        Stop();
        boxes.seen.clear();
        Start(scenario);
        ASSERT_EQ(boxes.seen.size(), 1u) << scenario;
        const SeenBox& box = boxes.seen[0];
        EXPECT_EQ(box.text, "KESTRAVION is not prepared. \nPlease check USB connection and power.");
        EXPECT_EQ(box.title, "error");
        EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_EQ(box.buttons, QMessageBox::Ok);
        EXPECT_EQ(box.owner, window.get());
        EXPECT_EQ(SimWriteCount(), box.writesBefore) << "nothing sent after the message";
        EXPECT_TRUE(ModuleCommands().empty()) << scenario;
        EXPECT_TRUE(window->quitPosted);
        EXPECT_EQ(window->windowTitle().toStdString(), "Bluetooth Configurator for KESTRAVION ");

        EXPECT_EQ(RunLoop(), 0) << "the posted quit ends the loop at once";
        // Closing now has no table to write.
        window->close();
        EXPECT_EQ(RunLoop(), 0);
        EXPECT_TRUE(ModuleCommands().empty()) << scenario;
    }
}
