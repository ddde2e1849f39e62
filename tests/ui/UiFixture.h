// The main window built over the real module controller, link and interface library,
// against the simulated master unit, in a scratch working directory of its own.
#pragma once

#include "SimFixture.h"

#include "program/ui/Main.h"

#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

// A message box as the user saw it, and how many writes had gone to the master before.
struct SeenBox {
    std::string title;
    std::string text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    const QWidget* owner;
    int writesBefore;
};

class UiFixture : public SimFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    static void WriteConfig(const std::string& text);
    static std::string ReadConfig();
    // Loads the scenario and builds the window, which runs the whole start-up.
    void Start(const std::string& scenario);
    // Ends the window and the library's hold on the device, as the end of a process would.
    void Stop();

    // The module commands framed since the logs were cleared, without their CR.
    static std::vector<std::string> ModuleCommands();
    static int Count(const std::string& command);
    // Runs the message loop: its exit code, or 99 when it has not ended after five seconds.
    static int RunLoop();

    QPoint CellCentre(int col, int row) const;
    bool DragOverAt(QPoint point);
    void DropAt(QPoint point);
    void Release() { window->btnReleaseClick(window->btnRelease); }
    void SearchAgain() { window->btnSrchAgainClick(window->btnSrchAgain); }
    int Mark(int row) const { return TfmMain::ImageIndex(window->lvDevices->item(row)); }
    std::string Cell(int row) const { return window->sgGrid->Cells(1, row); }

    // Every message box is dismissed as soon as it is up, and kept here: with the button
    // captioned by the next of `boxAnswers` (an empty one leaves the box up), or with OK
    // once they are used up.
    std::vector<SeenBox> boxes;
    std::vector<std::string> boxAnswers;
    std::unique_ptr<TfmMain> window;

private:
    QTimer boxWatch_;
    const QMessageBox* leftUp_ = nullptr;
    std::string previousDir_;
    std::string scratchDir_;
};

// ZOMRA slaves among other devices, one ID found twice, positions 2 and 5 registered.
extern const char* const DemoScenario;
