// A worker thread that is created suspended, resumed by its owner and suspends itself.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class CWorkerThread {
public:
    CWorkerThread() = default;
    // Ends the thread if the derived class has not done so (see Stop).
    virtual ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Lets the thread run: the first call starts it in Execute, later calls end its
    // suspension. A resume that arrives while the thread is still on its way to suspending
    // itself is kept, and that Suspend returns at once, so no hand-over is ever lost.
    // False when the thread cannot run (it could not be started, or it is being ended).
    bool Resume();
    // True while the thread is suspended and no resume is pending for it.
    bool Suspended() const;

protected:
    // The thread's body; runs from the first resume until it returns.
    virtual void Execute() = 0;
    // Called by the thread on itself: blocks until the next resume and returns true, or
    // returns false when the thread is being ended, and Execute must then return.
    bool Suspend();
    // Ends the thread and waits for Execute to return. The most-derived destructor calls
    // it first, so the thread never runs on fields that are already gone.
    void Stop();

private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable resumed_;
    std::thread thread_;
    bool started_ = false;
    bool suspended_ = true;
    bool resumePending_ = false;
    bool stopping_ = false;
};
