// "Search again" in normal and debug mode, with the progress window during the search.
#include "UiFixture.h"

#include "program/ui/Msgdlg.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>

namespace {

// The window as it looked while the search ran: which of search button, release button,
// list and grid were enabled, and whether and where the progress window stood.
struct DuringSearch {
    std::vector<bool> enabled;
    bool progressVisible = false;
    QPoint progressCentre;
};

// Looks at the window once the search first handles window messages.
void Probe(TfmMain* window, DuringSearch& during) {
    QMetaObject::invokeMethod(
        window,
        [window, &during] {
            during.enabled = {window->btnSrchAgain->isEnabled(), window->btnRelease->isEnabled(),
                              window->lvDevices->isEnabled(), window->sgGrid->isEnabled()};
            during.progressVisible = window->fmMsg->isVisible();
            during.progressCentre = window->fmMsg->geometry().center();
        },
        Qt::QueuedConnection);
}

// Unchecks "Repeat" when the progress window comes up for the n-th time.
class UncheckOnShow : public QObject {
public:
    UncheckOnShow(TfmMain* window, int showing) : window_(window), showing_(showing) {
        window->fmMsg->installEventFilter(this);
    }
    int shown = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && ++shown == showing_)
            window_->cboxRepeat->setChecked(false);
        return false;
    }

private:
    TfmMain* window_;
    int showing_;
};

} // namespace

using SearchAgainTest = UiFixture;

TEST_F(SearchAgainTest, NormalModeDisablesTheWindowAndKeepsTheGrid) {
    Start(DemoScenario);
    window->lvDevices->setCurrentRow(0);
    DropAt(CellCentre(1, 7));
    SimClearLogs();
    DuringSearch during;
    Probe(window.get(), during);
    SearchAgain();

    EXPECT_EQ(during.enabled, (std::vector<bool>{false, false, false, false}));
    EXPECT_TRUE(during.progressVisible);
    const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((during.progressCentre - screen).manhattanLength(), 2)
        << "centred on the screen while the main window is not shown";
    EXPECT_TRUE(window->btnSrchAgain->isEnabled() && window->btnRelease->isEnabled() &&
                window->lvDevices->isEnabled() && window->sgGrid->isEnabled());
    EXPECT_FALSE(window->fmMsg->isVisible());
    // One search; the table is neither read again nor written.
    EXPECT_EQ(Count("$02H1"), 1);
    EXPECT_EQ(Count("$A0H1"), 0);
    // The fresh list is marked from the grid, the drop not yet stored included.
    ASSERT_EQ(window->lvDevices->count(), 4);
    EXPECT_EQ(Cell(7), "00A0C8111111");
    EXPECT_EQ(Mark(0), imgRegistered);
    EXPECT_EQ(Mark(1), imgRegistered);
    EXPECT_EQ(Mark(2), imgFree);

    // Once the window is up the progress window is centred on it.
    window->show();
    Probe(window.get(), during);
    SearchAgain();
    EXPECT_LE((during.progressCentre - window->frameGeometry().center()).manhattanLength(), 2);
}

TEST_F(SearchAgainTest, DebugModeRepeatsWhileRepeatIsChecked) {
    WriteConfig("debug=\"ON\"");
    Start(DemoScenario);
    window->cboxRepeat->setChecked(false);
    SimClearLogs();
    SearchAgain();
    EXPECT_TRUE(ModuleCommands().empty()) << "Repeat unchecked: no search at all";
    EXPECT_TRUE(window->btnSrchAgain->isEnabled() && window->btnRelease->isEnabled());

    window->cboxRepeat->setChecked(true);
    window->sgGrid->SetCells(1, 9, "00A0C8777777");
    UncheckOnShow uncheck(window.get(), 3);
    DuringSearch during;
    Probe(window.get(), during);
    SearchAgain();
    EXPECT_EQ(uncheck.shown, 3) << "the turn under way is finished";
    EXPECT_EQ(Count("$02H1"), 3);
    EXPECT_EQ(during.enabled, (std::vector<bool>{false, false, true, true}))
        << "the list and the grid stay usable in debug mode";
    EXPECT_TRUE(window->btnSrchAgain->isEnabled() && window->btnRelease->isEnabled());
    EXPECT_EQ(Mark(3), imgRegistered);
}
