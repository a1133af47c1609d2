#include "net/WorkerThread.h"

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

DWORD WINAPI WorkerThread::ThreadProcedure(void* parameter) {
    auto* self = static_cast<WorkerThread*>(parameter);
    // Nothing may escape a thread procedure; the derived Run keeps its own failures, this only
    // stops what it did not foresee from ending the process.
    try {
        self->Run();
    } catch (...) {
    }
    ::SetEvent(self->DoneEvent.get());
    return 0;
}

} // namespace net
