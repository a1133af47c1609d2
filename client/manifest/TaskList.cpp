#include "manifest/TaskList.h"

#include "net/InetFile.h"

TaskList::TaskList() = default;

// Destroying a task that is still running waits for its worker thread; that thread never touches
// the lists, so holding the lock meanwhile cannot deadlock.
TaskList::~TaskList() {
    Clear();
}

void TaskList::PushBack(CInetFile* task) {
    CriticalSectionLock hold(lock_);
    items_.push_back(task);
}

CInetFile* TaskList::Front() {
    CriticalSectionLock hold(lock_);
    return items_.empty() ? nullptr : items_.front();
}

unsigned TaskList::Count() {
    CriticalSectionLock hold(lock_);
    return static_cast<unsigned>(items_.size());
}

bool TaskList::Contains(const CInetFile* task) {
    CriticalSectionLock hold(lock_);
    for (const CInetFile* held : items_) {
        if (held == task)
            return true;
    }
    return false;
}

void TaskList::Remove(CInetFile* task) {
    CriticalSectionLock hold(lock_);
    items_.remove(task);
    // The caller hands the task over whether or not the list still held it.
    Destroy(task);
}
