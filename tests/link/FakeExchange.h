// A stand-in for the library's framed exchange, installed straight into the link's
// binding, so the worker's hand-over can be tested without a device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct FakeExchange {
    // Fills the reply of one call; by default the reply is "R" followed by the payload.
    std::function<void(int replyLength, const std::string& payload, char* reply)> answer;
    std::atomic<int> calls{0};
    int lastSendLength = 0;
    int lastReplyLength = 0;
    std::string lastPayload;
    std::thread::id lastThread;

    // While held, a call waits inside the exchange until Release().
    void Hold();
    void Release();
    // Waits until a call has entered the exchange.
    void AwaitEntered();

    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool entered = false;
};

// The fake of the current test; Install() binds it as the link's exchange, Uninstall()
// restores an empty binding.
extern FakeExchange* Fake;
void InstallFake(FakeExchange* fake);
void UninstallFake();
