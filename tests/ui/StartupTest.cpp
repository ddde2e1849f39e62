// Start-up of the main window: its order, what reaches the master, its failures.
#include "UiFixture.h"
#include "UiSystem.h"

#include "program/btdevice/Btdevice.h"
#include "program/ui/Msgdlg.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>

using StartupTest = UiFixture;

TEST_F(StartupTest, FirstStartSearchesThenReadsTheTableAndShowsBoth) {
    Start(DemoScenario);
    ASSERT_TRUE(boxes.empty());
    EXPECT_EQ(window->windowTitle().toStdString(),
              "Bluetooth Configurator for KESTRAVION Ver 1.03");
    EXPECT_TRUE(window->lblVersion->isHidden());
    EXPECT_FALSE(window->isVisible()) << "start-up runs before the window is shown";
    EXPECT_FALSE(window->fmMsg->isVisible());
    EXPECT_TRUE(window->cboxRepeat->isHidden());
    EXPECT_EQ(ReadConfig(), "listview=\"List\"\noutput=\"win\"\nwait=\"on\"\ntime=\"25\"\n"
                            "usbcomm=\"sync\"\ndebug=\"off\"\n");

    // The whole search first, then one read of the table; nothing written.
    std::vector<std::string> read = {"$00H0", "$A0H1", "$CEH1"};
    for (const IdRegisterRow* row = IdRegisterTable; row->replyLength >= 0; row++)
        read.insert(read.end(), row->registers, row->registers + 3);
    read.push_back("$A0H0");
    const std::vector<std::string> commands = ModuleCommands();
    ASSERT_GT(commands.size(), read.size() + 3);
    EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + 3),
              (std::vector<std::string>{"$00H0", "$02H1", "$03"}));
    EXPECT_EQ(std::vector<std::string>(commands.end() - read.size(), commands.end()), read);
    EXPECT_EQ(Count("$CDH1"), 0);
    EXPECT_TRUE(Violations().empty()) << SimViolations();

    // Names beginning with the five capitals, in the order found, a slave found twice
    // listed once.
    const char* ids[] = {"00A0C8111111", "00A0C8222222", "00A0C8666666", "00A0C8777777"};
    ASSERT_EQ(window->lvDevices->count(), 4);
    for (int row = 0; row < 4; row++) {
        EXPECT_EQ(window->lvDevices->item(row)->text().toStdString(), ids[row]);
        EXPECT_EQ(Mark(row), row == 1 ? imgRegistered : imgFree) << row;
    }

    TStringGrid* grid = window->sgGrid;
    ASSERT_EQ(grid->rowCount(), 15);
    ASSERT_EQ(grid->columnCount(), 2);
    EXPECT_EQ(grid->columnWidth(0), 64);
    EXPECT_EQ(grid->columnWidth(1), 300);
    EXPECT_EQ(grid->rowHeight(7), 16);
    EXPECT_EQ(grid->Cells(0, 0) + grid->Cells(1, 0), "SwitchDevice ID");
    EXPECT_EQ(grid->Cells(0, 1) + grid->Cells(0, 10) + grid->Cells(0, 14), "010A0E");
    for (int row = 1; row <= 14; row++)
        EXPECT_EQ(Cell(row), row == 2   ? "00A0C8222222"
                             : row == 5 ? "00A0C8999999"
                                        : "000000000000");
    EXPECT_EQ(grid->currentRow() * 10 + grid->currentColumn(), 11) << "current cell (1, 1)";
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(grid->item(3, 0)->flags() & Qt::ItemIsSelectable) << "title cells are fixed";
    EXPECT_FALSE(grid->item(0, 1)->flags() & Qt::ItemIsSelectable);

    EXPECT_TRUE(FamilyLockHeld()) << "the first copy holds the family's lock";
}

TEST_F(StartupTest, OnlyExactValuesSwitchDebugModeAndTheIconStyle) {
    const std::tuple<const char*, bool, bool> cases[] = {
        {"debug=\"on\" listview=\"Icon\"", true, true},
        {"debug=\"ON\" listview=\"icon\"", true, false},
        {"debug=\"On\"", false, false},
        {"debug=\"on \" listview=\"List\"", false, false},
        {"Debug=\"on\" debug=1", false, false},
    };
    for (const auto& [config, debug, icons] : cases) {
        Stop();
        WriteConfig(config);
        Start(DemoScenario);
        EXPECT_EQ(window->debugMode, debug) << config;
        EXPECT_EQ(window->cboxRepeat->isHidden(), !debug) << config;
        EXPECT_EQ(window->cboxRepeat->isChecked(), debug) << config;
        EXPECT_EQ(window->lvDevices->viewMode(), icons ? QListView::IconMode : QListView::ListMode)
            << config;
        // The marks are kept in both styles; only the icon style shows them.
        QListWidgetItem* free = window->lvDevices->item(0);
        QListWidgetItem* registered = window->lvDevices->item(1);
        EXPECT_EQ(Mark(1), imgRegistered) << config;
        EXPECT_EQ(free->icon().cacheKey(),
                  icons ? window->imgsDevice[imgFree].cacheKey() : QIcon().cacheKey());
        EXPECT_EQ(registered->icon().cacheKey(),
                  icons ? window->imgsDevice[imgRegistered].cacheKey() : QIcon().cacheKey());
        // In both styles the registered ID is drawn in a lighter grey than the free one, and
        // a screen reader hears the mark.
        auto darkest = [this](const QListWidgetItem* item) {
            const QRect area = window->lvDevices->visualItemRect(item); // lays the list out
            const QImage shot = window->lvDevices->viewport()->grab().toImage();
            int lightness = 255;
            for (int y = area.top(); y <= area.bottom(); y++)
                for (int x = area.left(); x <= area.right(); x++)
                    lightness = std::min(lightness, QColor(shot.pixel(x, y)).lightness());
            return lightness;
        };
        EXPECT_GT(darkest(registered), darkest(free) + 60) << config;
        EXPECT_EQ(registered->data(Qt::AccessibleDescriptionRole).toString(),
                  registered->toolTip() + ", registered");
        // A drag copies an ID; it never moves the item out of the list.
        EXPECT_EQ(window->lvDevices->dragDropMode(), QAbstractItemView::DragOnly);
        EXPECT_EQ(window->lvDevices->defaultDropAction(), Qt::CopyAction);
    }
}

// Each way the master can fail to come up: the message, nothing sent to the module, and a
// quit that ends the message loop as soon as it runs.
TEST_F(StartupTest, AnUnpreparedMasterEndsTheStartUpWithItsMessage) {
    const char* scenarios[] = {R"({"openStatus": 2})", R"({"purgeFailures": 5})",
                               R"({"xvConnected": false})"};
    for (const char* scenario : scenarios) {
        Stop();
        boxes.clear();
        Start(scenario);
        ASSERT_EQ(boxes.size(), 1u) << scenario;
        EXPECT_EQ(boxes[0].text,
                  "KESTRAVION is not prepared. \nPlease check USB connection and power.");
        EXPECT_EQ(boxes[0].title, "error");
        EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(boxes[0].buttons, QMessageBox::NoButton) << "Try again and Close";
        EXPECT_EQ(boxes[0].owner, window.get());
        EXPECT_EQ(SimWriteCount(), boxes[0].writesBefore) << "nothing sent after the message";
        EXPECT_TRUE(ModuleCommands().empty()) << scenario;
        EXPECT_EQ(window->windowTitle().toStdString(), "Bluetooth Configurator for KESTRAVION ");
        EXPECT_TRUE(window->quitPosted);
        EXPECT_EQ(RunLoop(), 0);
        // Closing now has no table to write.
        window->close();
        EXPECT_EQ(RunLoop(), 0);
        EXPECT_TRUE(ModuleCommands().empty()) << scenario;
        // A bridge opened for a master that did not come up is closed again.
        const std::vector<std::string> calls = CallLog();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "FT_Open 0 -> 0"),
                  std::count(calls.begin(), calls.end(), "FT_Close -> 0"));
    }
}

// The not-prepared box opens again on "Try again", and by itself when a bridge is plugged
// in while it is up.
TEST_F(StartupTest, TheNotPreparedBoxTriesAgainOnItsButtonAndWhenABridgeAppears) {
    boxAnswers = {"&Try again"};
    Start(R"({"openStatus": 2})");
    ASSERT_EQ(boxes.size(), 2u) << "asked again, then closed";
    EXPECT_TRUE(window->quitPosted);
    std::vector<std::string> calls = CallLog();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "FT_Open 0 -> 2"), 2);
    EXPECT_EQ(RunLoop(), 0);

    Stop();
    boxes.clear();
    boxAnswers = {""};
    QTimer::singleShot(300, [] { SimLoadScenario(DemoScenario); });
    Start(R"({"openStatus": 2})");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(window->quitPosted);
    EXPECT_EQ(Cell(2), "00A0C8222222") << "the table read from the master plugged in";
}

// Beside its ID, each listed slave names itself and its signal in its tooltip and to screen
// readers, the strongest in bold; with two bridges attached the one used is named.
TEST_F(StartupTest, TheListTellsTheSlavesApartAndTheBridgeUsedIsNamed) {
    Start(R"({"slaves": [{"id": "00A0C8111111", "name": "ZOMRA-1", "detail": "rssi -61"},
                         {"id": "00A0C8222222", "name": "ZOMRA-2", "detail": "rssi -48"},
                         {"id": "00A0C8333333", "name": "ZOMRA-3"}],
              "otherBridges": [{"serial": "FT9ZX1", "description": "FT232R USB UART"}],
              "search": {"durationMs": 50}})");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "2 USB bridges are attached; the first, KM000001 (KESTRAVION "
                             "MASTER), is used. Another is chosen by its serial number: "
                             "device=\"SERIAL\" in config.ini, or tarvelo-cli --device SERIAL.");
    ASSERT_EQ(window->lvDevices->count(), 3);
    const char* tips[] = {"ZOMRA-1, rssi -61", "ZOMRA-2, rssi -48 (strongest signal)", "ZOMRA-3"};
    for (int row = 0; row < 3; row++) {
        const QListWidgetItem* item = window->lvDevices->item(row);
        EXPECT_EQ(item->toolTip().toStdString(), tips[row]);
        EXPECT_EQ(item->data(Qt::AccessibleDescriptionRole).toString(), item->toolTip());
        EXPECT_EQ(item->font().bold(), row == 1);
    }
    EXPECT_EQ(window->lvDevices->item(1)->text().toStdString(), "00A0C8222222");
}
