// tarvelo-cli's side of platform::Ui: no windows, a progress indicator on standard error
// while a search runs, message boxes as lines on standard error.
#pragma once

#include "platform/Ui.h"

#include <cstdint>

class CCliUi final : public platform::Ui {
public:
    // Waits and wakes go to `waiter` (the headless default: a condition variable), so the
    // link's threaded exchanges work as without this object. `drawProgress`: standard error
    // is a terminal.
    CCliUi(platform::Ui& waiter, bool drawProgress);

    // Starts the indicator with `label`; ProcessMessages redraws it. Nothing when standard
    // error is not a terminal.
    void BeginProgress(const char* label);
    // Erases the indicator's line, if one was drawn.
    void EndProgress();

    // Called once per polling turn of the search: redraws the indicator at most every
    // RedrawMs, so a fast master does not flood the terminal.
    void ProcessMessages() override;
    void WaitForMessages() override;
    void Wake() override;
    // Writes "tarvelo-cli: TEXT" to standard error; returns at once.
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        platform::BoxIcon icon) override;

    enum : int64_t { RedrawMs = 200 };

private:
    platform::Ui& waiter_;
    bool drawProgress_;
    const char* label_ = nullptr;
    int64_t startMs_ = 0;
    int64_t drawnMs_ = 0;
    unsigned turn_ = 0;
    bool drawn_ = false;
};
