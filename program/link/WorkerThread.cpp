#include "WorkerThread.h"

#include <system_error>

CWorkerThread::~CWorkerThread() {
    Stop();
}

bool CWorkerThread::Resume() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_)
        return false;
    if (!started_) {
        try {
            thread_ = std::thread(&CWorkerThread::Run, this);
        } catch (const std::system_error&) {
            return false;
        }
        started_ = true;
    }
    resumePending_ = true;
    resumed_.notify_one();
    return true;
}

bool CWorkerThread::Suspended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return suspended_ && !resumePending_;
}

bool CWorkerThread::Suspend() {
    std::unique_lock<std::mutex> lock(mutex_);
    suspended_ = true;
    resumed_.wait(lock, [this] { return resumePending_ || stopping_; });
    if (stopping_)
        return false;
    resumePending_ = false;
    suspended_ = false;
    return true;
}

void CWorkerThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    resumed_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

// The thread starts suspended: it waits for the resume that started it before entering
// Execute, so Execute runs on a completely built object.
void CWorkerThread::Run() {
    if (Suspend())
        Execute();
}
