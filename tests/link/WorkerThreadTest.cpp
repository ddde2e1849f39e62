// The worker thread base: created suspended, one pass of its body per resume, no resume
// ever lost, and a clean end.
#include "program/link/WorkerThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

using namespace std::chrono_literals;

// Counts the passes of its body; a pass can be held open by the test.
class CountingWorker : public CWorkerThread {
public:
    ~CountingWorker() override { Stop(); }

    bool AwaitPasses(int count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return passes_ >= count; });
    }
    int Passes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return passes_;
    }
    void Hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    // Waits until the thread has suspended itself with nothing pending.
    bool AwaitSuspended() {
        auto end = std::chrono::steady_clock::now() + 10s;
        while (!Suspended()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::yield();
        }
        return true;
    }
    using CWorkerThread::Stop;

protected:
    void Execute() override {
        do {
            std::unique_lock<std::mutex> lock(mutex_);
            passes_++;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !held_; });
        } while (Suspend());
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int passes_ = 0;
    bool held_ = false;
};

TEST(WorkerThread, StartsSuspendedAndRunsOnePassPerResume) {
    CountingWorker worker;
    EXPECT_TRUE(worker.Suspended());
    EXPECT_EQ(worker.Passes(), 0);

    ASSERT_TRUE(worker.Resume());
    ASSERT_TRUE(worker.AwaitPasses(1));
    ASSERT_TRUE(worker.AwaitSuspended());
    EXPECT_EQ(worker.Passes(), 1);

    ASSERT_TRUE(worker.Resume());
    ASSERT_TRUE(worker.AwaitPasses(2));
    ASSERT_TRUE(worker.AwaitSuspended());
    EXPECT_EQ(worker.Passes(), 2);
}

TEST(WorkerThread, ResumeRightAfterAPassIsNeverLost) {
    // Each resume follows the previous pass at once, usually before the thread has
    // suspended itself; every one must still give its pass.
    CountingWorker worker;
    const int rounds = 2000;
    for (int i = 1; i <= rounds; i++) {
        ASSERT_TRUE(worker.Resume());
        ASSERT_TRUE(worker.AwaitPasses(i)) << "resume " << i << " was lost";
    }
    ASSERT_TRUE(worker.AwaitSuspended());
    EXPECT_EQ(worker.Passes(), rounds);
}

TEST(WorkerThread, ResumesDuringOnePassHandOverOneRequest) {
    CountingWorker worker;
    worker.Hold();
    ASSERT_TRUE(worker.Resume());
    ASSERT_TRUE(worker.AwaitPasses(1));
    EXPECT_FALSE(worker.Suspended());
    // Two resumes while the pass runs: one request is pending, not two.
    ASSERT_TRUE(worker.Resume());
    ASSERT_TRUE(worker.Resume());
    worker.Release();
    ASSERT_TRUE(worker.AwaitPasses(2));
    ASSERT_TRUE(worker.AwaitSuspended());
    EXPECT_EQ(worker.Passes(), 2);
}

TEST(WorkerThread, EndsCleanlyInEveryState) {
    { CountingWorker neverStarted; }
    {
        CountingWorker suspended;
        ASSERT_TRUE(suspended.Resume());
        ASSERT_TRUE(suspended.AwaitPasses(1));
        ASSERT_TRUE(suspended.AwaitSuspended());
    }
    {
        CountingWorker resumedJustNow;
        ASSERT_TRUE(resumedJustNow.Resume());
    }
}

TEST(WorkerThread, CannotBeResumedOnceStopped) {
    CountingWorker worker;
    ASSERT_TRUE(worker.Resume());
    ASSERT_TRUE(worker.AwaitPasses(1));
    worker.Stop();
    EXPECT_FALSE(worker.Resume());
    EXPECT_EQ(worker.Passes(), 1);
}

} // namespace
