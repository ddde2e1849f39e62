// What the layers below the windows need from the user interface.
//
// The configuration, the link and the module controller never include a GUI toolkit.
// The window layer installs an implementation of `Ui` at start-up; until then (and in
// tests without a window) a headless default is used: it has no messages to process,
// waits on a condition variable until woken, and prints message boxes to stderr.
#pragma once

#include <string>

namespace platform {

enum class BoxIcon { Error, Warning };

class Ui {
public:
    virtual ~Ui() = default;
    // Handles every pending window message, then returns without blocking.
    virtual void ProcessMessages() = 0;
    // Blocks until at least one window message arrives or Wake() is called, handling
    // what arrived. A Wake() that came before the call makes it return at once.
    virtual void WaitForMessages() = 0;
    // Ends a WaitForMessages() in progress, or the next one. Callable from any thread.
    virtual void Wake() = 0;
    // A modal box with one OK button; returns when the user has dismissed it.
    virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                                BoxIcon icon) = 0;
};

// The installed implementation, or the headless default.
Ui& CurrentUi();
// Installs `ui` (nullptr restores the headless default). Not owned.
void InstallUi(Ui* ui);

} // namespace platform
