#pragma once
// The candidate update servers of a run.

#include "manifest/LockedList.h"
#include "manifest/ServerEntry.h"

#include <string>

class ServerList : public LockedList<ServerEntry> {
public:
    // The first server in insertion order, still owned by the list; null when there is none.
    ServerEntry* FirstServer();

    // The server after the first `index` non-null ones (0 gives FirstServer), still owned by the
    // list; null past the end. Lets a run fall back on the next server when one fails.
    ServerEntry* ServerAt(size_t index);

    // Takes ownership of `server` and appends it. False (and the caller keeps the object) for a
    // null pointer or when the list cannot grow.
    bool PushBack(ServerEntry* server);

    // Appends a new entry with the two texts; false when it could not be made or appended.
    bool AddServer(const std::wstring& name, const std::wstring& address);
};
