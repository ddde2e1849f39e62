// The main window built over the real module controller, link and interface library,
// against the simulated master unit, in a scratch working directory of its own.
#pragma once

#include "SimFixture.h"

#include "program/ui/Main.h"

#include <QMessageBox>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

// A message box as the user saw it, and how much had gone to the master before it came up.
struct SeenBox {
    std::string title;
    std::string text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    const QWidget* owner = nullptr;
    int writesBefore = 0;
};

// Dismisses every message box with OK as soon as it is up, and remembers it.
class BoxWatcher {
public:
    BoxWatcher();
    std::vector<SeenBox> seen;

private:
    QTimer timer_;
};

class UiFixture : public SimFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // config.ini in the working directory.
    static void WriteConfig(const std::string& text);
    static std::string ReadConfig();
    // Loads the scenario and builds the window, which runs the whole start-up.
    void Start(const std::string& scenario);
    // Ends the window and the library's hold on the device, as a new process would start.
    void Stop();

    // The module commands the host framed since the logs were last cleared, without CR.
    static std::vector<std::string> ModuleCommands();
    static int Count(const std::vector<std::string>& commands, const std::string& command);
    // Runs the message loop; its exit code, or 99 when it did not end within five seconds.
    static int RunLoop();

    // The centre of a cell of the grid, in the grid's own coordinates.
    QPoint CellCentre(int col, int row) const;
    bool DragOverAt(QPoint point);
    QListWidgetItem* Item(int row) const;

    BoxWatcher boxes;
    std::unique_ptr<TfmMain> window;

private:
    std::string previousDir_;
    std::string scratchDir_;
};

// The scenario most tests run on: ZOMRA slaves among other devices, one ID listed twice,
// two positions registered.
extern const char* const DemoScenario;
