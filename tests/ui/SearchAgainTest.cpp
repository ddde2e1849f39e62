// "Search again" in normal and debug mode, and the progress window during a search.
#include "UiFixture.h"

#include "program/ui/Msgdlg.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace {

// What the window looked like while the search ran.
struct DuringSearch {
    bool seen = false;
    bool searchEnabled = true;
    bool releaseEnabled = true;
    bool listEnabled = true;
    bool gridEnabled = true;
    bool progressVisible = false;
    QPoint progressCentre;
};

// Runs once the search first handles window messages.
void Probe(TfmMain* window, DuringSearch& during) {
    QMetaObject::invokeMethod(
        window,
        [window, &during] {
            during = {true,
                      window->btnSrchAgain->isEnabled(),
                      window->btnRelease->isEnabled(),
                      window->lvDevices->isEnabled(),
                      window->sgGrid->isEnabled(),
                      window->fmMsg->isVisible(),
                      window->fmMsg->geometry().center()};
        },
        Qt::QueuedConnection);
}

// Unchecks "Repeat" when the progress window comes up for the n-th time.
class UncheckOnShow : public QObject {
public:
    UncheckOnShow(TfmMain* window, int showing) : window_(window), left_(showing) {
        window->fmMsg->installEventFilter(this);
    }
    int shown = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && ++shown == left_)
            window_->cboxRepeat->setChecked(false);
        return false;
    }

private:
    TfmMain* window_;
    int left_;
};

} // namespace

using SearchAgainTest = UiFixture;

TEST_F(SearchAgainTest, NormalModeDisablesTheWindowAndKeepsTheGrid) {
    Start(DemoScenario);
    window->lvDevices->setCurrentRow(0);
    window->sgGridDragDrop(window->sgGrid, nullptr, CellCentre(1, 7).x(), CellCentre(1, 7).y());
    SimClearLogs();

    DuringSearch during;
    Probe(window.get(), during);
    window->btnSrchAgainClick(window->btnSrchAgain);

    ASSERT_TRUE(during.seen);
    EXPECT_FALSE(during.searchEnabled);
    EXPECT_FALSE(during.releaseEnabled);
    EXPECT_FALSE(during.listEnabled);
    EXPECT_FALSE(during.gridEnabled);
    EXPECT_TRUE(during.progressVisible);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((during.progressCentre - screen.center()).manhattanLength(), 2)
        << "centred on the screen while the main window is not shown";
    for (QWidget* control : std::initializer_list<QWidget*>{
             window->btnSrchAgain, window->btnRelease, window->lvDevices, window->sgGrid})
        EXPECT_TRUE(control->isEnabled());
    EXPECT_FALSE(window->fmMsg->isVisible());

    // One search; the table is neither read again nor written.
    std::vector<std::string> commands = ModuleCommands();
    EXPECT_EQ(Count(commands, "$02H1"), 1);
    EXPECT_EQ(Count(commands, "$CEH1"), 0);
    EXPECT_EQ(Count(commands, "$A0H1"), 0);
    // The fresh list is marked from the grid, unsaved drop included.
    ASSERT_EQ(window->lvDevices->count(), 5);
    EXPECT_EQ(window->sgGrid->Cells(1, 7), "00A0C8111111");
    EXPECT_EQ(TfmMain::ImageIndex(Item(0)), imgRegistered);
    EXPECT_EQ(TfmMain::ImageIndex(Item(1)), imgFree);
    EXPECT_EQ(TfmMain::ImageIndex(Item(4)), imgRegistered);

    // Once the window is up the progress window is centred on it.
    window->show();
    Probe(window.get(), during);
    window->btnSrchAgainClick(window->btnSrchAgain);
    EXPECT_LE((during.progressCentre - window->frameGeometry().center()).manhattanLength(), 2);
}

TEST_F(SearchAgainTest, DebugModeWithRepeatUncheckedSearchesNothing) {
    WriteConfig("debug=\"on\"");
    Start(DemoScenario);
    window->cboxRepeat->setChecked(false);
    SimClearLogs();
    window->btnSrchAgainClick(window->btnSrchAgain);
    EXPECT_TRUE(ModuleCommands().empty());
    EXPECT_TRUE(window->btnSrchAgain->isEnabled());
    EXPECT_TRUE(window->btnRelease->isEnabled());
}

TEST_F(SearchAgainTest, DebugModeRepeatsUntilRepeatIsUnchecked) {
    WriteConfig("debug=\"ON\"");
    Start(DemoScenario);
    ASSERT_TRUE(window->cboxRepeat->isChecked());
    window->sgGrid->SetCells(1, 9, "00A0C8777777");
    SimClearLogs();

    UncheckOnShow uncheck(window.get(), 3);
    DuringSearch during;
    Probe(window.get(), during);
    window->btnSrchAgainClick(window->btnSrchAgain);

    EXPECT_EQ(uncheck.shown, 3) << "the turn under way is finished";
    EXPECT_EQ(Count(ModuleCommands(), "$02H1"), 3);
    ASSERT_TRUE(during.seen);
    EXPECT_FALSE(during.searchEnabled);
    EXPECT_FALSE(during.releaseEnabled);
    EXPECT_TRUE(during.listEnabled) << "the list and grid stay usable in debug mode";
    EXPECT_TRUE(during.gridEnabled);
    EXPECT_TRUE(window->btnSrchAgain->isEnabled());
    EXPECT_TRUE(window->btnRelease->isEnabled());
    EXPECT_EQ(TfmMain::ImageIndex(Item(3)), imgRegistered);
}
