#include "FakeExchange.h"

#include "program/link/LinkLibrary.h"

#include <cstring>

FakeExchange* Fake = nullptr;

namespace {

int BRENVOLI_CALL FakeExtSR(int sendLength, int replyLength, const char* payload, char* reply) {
    FakeExchange& fake = *Fake;
    {
        std::unique_lock<std::mutex> lock(fake.mutex);
        fake.entered = true;
        fake.changed.notify_all();
        fake.changed.wait(lock, [&] { return !fake.held; });
    }
    fake.lastSendLength = sendLength;
    fake.lastReplyLength = replyLength;
    fake.lastPayload.assign(payload, sendLength > 0 ? sendLength : 0);
    fake.lastThread = std::this_thread::get_id();
    if (fake.answer) {
        fake.answer(replyLength, fake.lastPayload, reply);
    } else {
        std::string text = "R" + fake.lastPayload;
        std::memcpy(reply, text.data(), text.size());
    }
    fake.calls++;
    return 0;
}

} // namespace

void FakeExchange::Hold() {
    std::lock_guard<std::mutex> lock(mutex);
    held = true;
    entered = false;
}

void FakeExchange::Release() {
    std::lock_guard<std::mutex> lock(mutex);
    held = false;
    changed.notify_all();
}

void FakeExchange::AwaitEntered() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return entered; });
}

void InstallFake(FakeExchange* fake) {
    Fake = fake;
    LinkLibrary = LINKLIBRARY{};
    LinkLibrary.KestravionExtSR = FakeExtSR;
}

void UninstallFake() {
    LinkLibrary = LINKLIBRARY{};
    Fake = nullptr;
}
