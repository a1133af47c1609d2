#include "net/WorkerThread.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace net {

WorkerThread::WorkerThread() {
    DoneEvent.reset(::CreateEventW(nullptr, TRUE, TRUE, nullptr));
    if (DoneEvent) {
        ::SetEvent(DoneEvent.get());
    }
}

WorkerThread::~WorkerThread() {
    // A derived destructor has already reaped the run; a handle left here means a derived class
    // skipped WaitThread, and closing it at least does not leak it.
    if (HANDLE left = ::InterlockedExchangePointer(&ThreadHandle, nullptr)) {
        ::CloseHandle(left);
    }
}

bool WorkerThread::StartThread() {
    if (!DoneEvent) {
        return false;
    }
    // Reset before the thread exists, never after: a Run that ends before CreateThread returns
    // must leave the event signalled, or the next WaitThread would block for ever.
    ::ResetEvent(DoneEvent.get());
    HANDLE thread = ::CreateThread(nullptr, 0, &WorkerThread::ThreadProcedure, this, 0, nullptr);
    if (thread == nullptr) {
        ::SetEvent(DoneEvent.get());
        return false;
    }
    ::InterlockedExchangePointer(&ThreadHandle, thread);
    return true;
}

bool WorkerThread::WaitThread(DWORD milliseconds) {
    if (!DoneEvent) {
        return true;
    }
    // The owner waits as long as it chose to: without a limit, as long as the run takes (a
    // derived Run notices its cancel request within one blocking step).
    if (::WaitForSingleObject(DoneEvent.get(), milliseconds) != WAIT_OBJECT_0) {
        return false;
    }
    UniqueHandle thread(::InterlockedExchangePointer(&ThreadHandle, nullptr));
    if (thread) {
        // The event says Run has returned; the thread is on its way out and holds nothing.
        ::WaitForSingleObject(thread.get(), INFINITE);
    }
    return true;
}

bool WorkerThread::StartOn(SharedThread& shared) {
    if (!DoneEvent) {
        return false;
    }
    ::ResetEvent(DoneEvent.get());
    if (!shared.Post(*this)) {
        ::SetEvent(DoneEvent.get());
        return false;
    }
    return true;
}

void WorkerThread::RunAndSignal() {
    // Nothing may escape a thread procedure; the derived Run keeps its own failures, this only
    // stops what it did not foresee from ending the process.
    try {
        Run();
    } catch (...) {
    }
    ::SetEvent(DoneEvent.get());
}

DWORD WINAPI WorkerThread::ThreadProcedure(void* parameter) {
    static_cast<WorkerThread*>(parameter)->RunAndSignal();
    return 0;
}

// Shared by the owner and the thread: whichever goes last frees it.
struct SharedThread::State {
    std::mutex Lock;
    std::condition_variable Wake;
    std::deque<WorkerThread*> Queue;
    bool Stopping = false;
};

SharedThread::SharedThread() : state_(std::make_shared<State>()) {}

SharedThread::~SharedThread() {
    if (!thread_) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(state_->Lock);
        state_->Stopping = true;
    }
    state_->Wake.notify_one();
    // Bounded: an operation stuck in the system must not hold the end of the process.
    ::WaitForSingleObject(thread_.get(), kStopWaitMs);
}

bool SharedThread::Post(WorkerThread& worker) {
    if (!thread_) {
        auto* shared = new std::shared_ptr<State>(state_);
        thread_.reset(::CreateThread(nullptr, 0, &SharedThread::Loop, shared, 0, nullptr));
        if (!thread_) {
            delete shared;
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> hold(state_->Lock);
        state_->Queue.push_back(&worker);
    }
    state_->Wake.notify_one();
    return true;
}

DWORD WINAPI SharedThread::Loop(void* parameter) {
    std::unique_ptr<std::shared_ptr<State>> owned(static_cast<std::shared_ptr<State>*>(parameter));
    State& state = **owned;
    for (;;) {
        WorkerThread* worker = nullptr;
        {
            std::unique_lock<std::mutex> hold(state.Lock);
            // Waits for work for as long as the owner keeps the thread.
            state.Wake.wait(hold, [&] { return state.Stopping || !state.Queue.empty(); });
            if (state.Queue.empty()) {
                return 0;
            }
            worker = state.Queue.front();
            state.Queue.pop_front();
        }
        worker->RunAndSignal();
    }
}

} // namespace net
