#include "net/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace net;

namespace {

bool IsSignalled(const UniqueHandle& event) {
    return ::WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

class CountingWorker : public WorkerThread {
public:
    void Run() override { ++Runs; }
    std::atomic<int> Runs{0};
};

// Holds its run until the test releases it.
class GatedWorker : public WorkerThread {
public:
    GatedWorker() : Gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~GatedWorker() override {
        ::SetEvent(Gate.get());
        WaitThread();
    }
    void Run() override {
        ::WaitForSingleObject(Gate.get(), INFINITE);
        Finished = true;
    }
    UniqueHandle Gate;
    std::atomic<bool> Finished{false};
};

class ThrowingWorker : public WorkerThread {
public:
    void Run() override { throw std::runtime_error("unforeseen"); }
};

// Stands for a constructor whose event could not be created.
class EventlessWorker : public CountingWorker {
public:
    EventlessWorker() { DoneEvent.reset(); }
};

TEST(WorkerThread, NewObjectIsIdle) {
    CountingWorker worker;
    EXPECT_TRUE(worker.IsUsable());
    EXPECT_TRUE(IsSignalled(worker.DoneEvent));
    EXPECT_EQ(worker.ThreadHandle, nullptr);
    worker.WaitThread();
    worker.WaitThread();
    EXPECT_EQ(worker.Runs, 0);
}

// Runs that end at once often end before StartThread has returned; every one of them must
// still leave the event signalled and the handle reapable, or the next wait hangs.
TEST(WorkerThread, ImmediateRunsAreReapedAndRestartable) {
    CountingWorker worker;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(worker.StartThread());
        worker.WaitThread();
        ASSERT_EQ(worker.ThreadHandle, nullptr);
        ASSERT_TRUE(IsSignalled(worker.DoneEvent));
        worker.WaitThread(); // a second wait finds nothing to reap
    }
    EXPECT_EQ(worker.Runs, 100);
}

TEST(WorkerThread, WaitBlocksUntilTheRunHasEnded) {
    GatedWorker worker;
    ASSERT_TRUE(worker.StartThread());
    EXPECT_FALSE(IsSignalled(worker.DoneEvent));
    EXPECT_NE(worker.ThreadHandle, nullptr);

    // Two owners waiting at once: both are released and exactly one reaps the handle.
    std::atomic<int> released{0};
    std::thread other([&] {
        worker.WaitThread();
        ++released;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(released, 0);
    ::SetEvent(worker.Gate.get());
    worker.WaitThread();
    other.join();
    EXPECT_TRUE(worker.Finished);
    EXPECT_EQ(released, 1);
    EXPECT_EQ(worker.ThreadHandle, nullptr);
    EXPECT_TRUE(IsSignalled(worker.DoneEvent));
}

TEST(WorkerThread, RunThatThrowsStillEnds) {
    ThrowingWorker worker;
    ASSERT_TRUE(worker.StartThread());
    worker.WaitThread();
    EXPECT_TRUE(IsSignalled(worker.DoneEvent));
    EXPECT_EQ(worker.ThreadHandle, nullptr);
}

TEST(WorkerThread, WithoutDoneEventRefusesToStartAndNeverBlocks) {
    EventlessWorker worker;
    EXPECT_FALSE(worker.IsUsable());
    EXPECT_FALSE(worker.StartThread());
    worker.WaitThread();
    EXPECT_EQ(worker.ThreadHandle, nullptr);
    EXPECT_EQ(worker.Runs, 0);
}

} // namespace

// Operations posted to a shared thread run one after another on that one thread, and each
// owner's wait covers its own operation.
TEST(SharedThread, RunsEveryPostedOperationInTurnOnOneThread) {
    class ThreadRecorder : public CountingWorker {
    public:
        void Run() override {
            Thread = ::GetCurrentThreadId();
            CountingWorker::Run();
        }
        std::atomic<DWORD> Thread{0};
    };
    SharedThread shared;
    ThreadRecorder first, second;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(first.StartOn(shared));
        ASSERT_TRUE(second.StartOn(shared));
        first.WaitThread();
        second.WaitThread();
    }
    EXPECT_EQ(first.Runs, 2);
    EXPECT_EQ(second.Runs, 2);
    EXPECT_EQ(first.Thread, second.Thread);
    EXPECT_NE(first.Thread, ::GetCurrentThreadId());
}
