#include "Ui.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace platform {
namespace {

class HeadlessUi final : public Ui {
public:
    void ProcessMessages() override {}

    void WaitForMessages() override {
        std::unique_lock<std::mutex> lock(mutex_);
        woken_.wait(lock, [this] { return wakePending_; });
        wakePending_ = false;
    }

    void Wake() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            wakePending_ = true;
        }
        woken_.notify_all();
    }

    void ShowMessageBox(const std::string& text, const std::string& caption, BoxIcon) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    bool wakePending_ = false;
};

HeadlessUi& Headless() {
    static HeadlessUi headless;
    return headless;
}

std::atomic<Ui*> installed{nullptr};

} // namespace

Ui& CurrentUi() {
    Ui* ui = installed.load();
    return ui ? *ui : Headless();
}

void InstallUi(Ui* ui) {
    installed.store(ui);
}

} // namespace platform
