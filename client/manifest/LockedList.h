#pragma once
// A list of owned object pointers with its own lock: the shape shared by the server, file and
// task lists of an update run.

#include "platform/CriticalSection.h"

#include <list>

// Owns every object it points to and destroys it through the object's virtual destructor.
// Objects are destroyed while the lock is held, so their destructors must not call back into the
// list. The lock is recursive for its owner thread, but no operation relies on that.
template <typename T> class LockedList {
public:
    LockedList() = default;
    virtual ~LockedList() { Clear(); }
    LockedList(const LockedList&) = delete;
    LockedList& operator=(const LockedList&) = delete;

    // Destroys every object, front first.
    void Clear() {
        CriticalSectionLock hold(lock_);
        while (!items_.empty()) {
            T* item = items_.front();
            items_.pop_front();
            Destroy(item);
        }
    }

protected:
    static void Destroy(T* item) {
        // The task list is declared against an incomplete type; deleting one would skip its
        // destructor, so make that a compile error instead of a silent leak.
        static_assert(sizeof(T) > 0, "destroying an object needs its complete type");
        delete item;
    }

    std::list<T*> items_;
    CriticalSection lock_;
};
