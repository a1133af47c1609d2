#pragma once
// Base of an object that runs one operation at a time on a thread of its own and lets its owner
// wait until that operation has ended. Threads are not pooled: every start creates a new one.

#include <windows.h>

#include "platform/UniqueHandle.h"

#include <memory>

namespace net {

class SharedThread;

class WorkerThread {
public:
    // If the done event cannot be created, the object is unusable rather than dangerous:
    // `StartThread` refuses and `WaitThread` returns at once, so nobody can block on a missing
    // event. `IsUsable` tells the creator.
    WorkerThread();
    // Closes the event only. A derived class must end its run and call `WaitThread` in its own
    // destructor, before its members go away.
    virtual ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // The operation; executed on the worker thread.
    virtual void Run() = 0;

    // Starts `Run` on a new thread. The caller must have reaped any previous run with
    // `WaitThread`. False when the thread (or, earlier, the done event) could not be created;
    // the object then stays idle and `Run` is not called.
    bool StartThread();
    // The same, but `Run` goes to `shared` behind the operations posted there before, instead
    // of a thread of its own. WaitThread waits for it all the same.
    bool StartOn(SharedThread& shared);

    // Blocks until no run is in progress and the latest run's thread has exited, then closes
    // that thread's handle. Returns at once on an idle or never-started object. With a limit:
    // false when the run had not ended within `milliseconds` (nothing is reaped then).
    bool WaitThread(DWORD milliseconds = INFINITE);

    bool IsUsable() const { return static_cast<bool>(DoneEvent); }

    // Held from a successful start until `WaitThread` reaps it; taken away only by an atomic
    // exchange, so that of two concurrent waiters exactly one closes it.
    HANDLE volatile ThreadHandle = nullptr;
    // Manual-reset, signalled whenever no run is in progress.
    UniqueHandle DoneEvent;

private:
    friend class SharedThread;
    static DWORD WINAPI ThreadProcedure(void* parameter);
    // Run, then the done event, whatever Run does.
    void RunAndSignal();
};

// One thread that runs the operations of many WorkerThread objects one after another. Creating
// and ending a thread per download cost about 1.4 ms under Wine, a visible part of a small
// file's cost.
class SharedThread {
public:
    SharedThread();
    // Ends the thread once what was posted has run. If an operation is still stuck after
    // `kStopWaitMs`, the thread is left to the process's end (its state is shared with it, so
    // nothing it touches goes away).
    ~SharedThread();
    SharedThread(const SharedThread&) = delete;
    SharedThread& operator=(const SharedThread&) = delete;

    static constexpr DWORD kStopWaitMs = 500;

    // Queues `worker`'s Run; false when the thread could not be created.
    bool Post(WorkerThread& worker);

private:
    struct State;
    static DWORD WINAPI Loop(void* parameter);

    std::shared_ptr<State> state_;
    UniqueHandle thread_;
};

} // namespace net
