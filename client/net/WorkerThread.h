#pragma once
// Base of an object that runs one operation at a time on a thread of its own and lets its owner
// wait until that operation has ended. Threads are not pooled: every start creates a new one.

#include <windows.h>

#include "platform/UniqueHandle.h"

namespace net {

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
    static DWORD WINAPI ThreadProcedure(void* parameter);
};

} // namespace net
