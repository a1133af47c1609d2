#pragma once
// The download tasks of a run, in the order they are to be started.

#include "manifest/LockedList.h"

class CInetFile;

// Declared against an incomplete task type so that the window code does not pull in the download
// machinery; the constructor and destructor live where the type is complete.
class TaskList : public LockedList<CInetFile> {
public:
    TaskList();
    ~TaskList() override;

    // Takes ownership of `task` and appends it. If the list cannot grow the exception passes on
    // and the caller still owns the task.
    void PushBack(CInetFile* task);

    // The task at the front, still owned by the list; null when the list is empty.
    CInetFile* Front();

    unsigned Count();

    // Whether a node holds `task`: a done message for a task the list no longer holds is ignored.
    bool Contains(const CInetFile* task);

    // Unlinks every node holding `task`, then destroys the task once, even when no node held it.
    void Remove(CInetFile* task);
};
