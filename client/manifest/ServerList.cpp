#include "manifest/ServerList.h"

#include <memory>
#include <new>

ServerEntry* ServerList::FirstServer() {
    CriticalSectionLock hold(lock_);
    for (ServerEntry* server : items_) {
        if (server)
            return server;
    }
    return nullptr;
}

ServerEntry* ServerList::ServerAt(size_t index) {
    CriticalSectionLock hold(lock_);
    for (ServerEntry* server : items_) {
        if (server && index-- == 0)
            return server;
    }
    return nullptr;
}

bool ServerList::PushBack(ServerEntry* server) {
    if (!server)
        return false;
    CriticalSectionLock hold(lock_);
    try {
        items_.push_back(server);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ServerList::AddServer(const std::wstring& name, const std::wstring& address) {
    std::unique_ptr<ServerEntry> server;
    try {
        server = std::make_unique<ServerEntry>();
        server->Name = name;
        server->Address = address;
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!PushBack(server.get()))
        return false;
    server.release();
    return true;
}
