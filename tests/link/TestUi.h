// A window-message pump for tests: counts how the link waits, and can run one "message
// handler" during a wait.
#pragma once

#include "platform/Ui.h"

#include <condition_variable>
#include <functional>
#include <mutex>

class TestUi final : public platform::Ui {
public:
    TestUi() { platform::InstallUi(this); }
    ~TestUi() override { platform::InstallUi(nullptr); }

    void ProcessMessages() override { processCalls++; }
    void WaitForMessages() override {
        waitCalls++;
        if (onWait) {
            auto handler = std::move(onWait);
            onWait = nullptr;
            handler();
        }
        std::unique_lock<std::mutex> lock(mutex_);
        woken_.wait(lock, [this] { return wakePending_; });
        wakePending_ = false;
    }
    void Wake() override {
        std::lock_guard<std::mutex> lock(mutex_);
        wakePending_ = true;
        woken_.notify_all();
    }
    void ShowMessageBox(const std::string&, const std::string&, platform::BoxIcon) override {}

    // Runs once, on the waiting thread, at the start of the next wait.
    std::function<void()> onWait;
    int processCalls = 0;
    int waitCalls = 0;

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    bool wakePending_ = false;
};
