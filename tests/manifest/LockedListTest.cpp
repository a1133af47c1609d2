#include "manifest/FileList.h"
#include "manifest/ServerList.h"
#include "manifest/TaskList.h"
#include "net/InetFile.h"

#include <gtest/gtest.h>

#include <future>

namespace {

int destroyedTasks = 0;
int destroyedServers = 0;

struct CountedTask : CInetFile {
    ~CountedTask() override { ++destroyedTasks; }
};
struct CountedServer : ServerEntry {
    ~CountedServer() override { ++destroyedServers; }
};

// A lock left held by an operation shows only from another thread (the section is recursive).
template <typename Operation> bool UsableFromAnotherThread(Operation operation) {
    auto done = std::async(std::launch::async, operation);
    return done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
}

} // namespace

TEST(TaskList, RemoveUnlinksEveryNodeAndDestroysTheTaskOnce) {
    destroyedTasks = 0;
    {
        TaskList tasks;
        EXPECT_EQ(tasks.Front(), nullptr);
        EXPECT_EQ(tasks.Count(), 0u);

        auto* twice = new CountedTask;
        auto* other = new CountedTask;
        tasks.PushBack(twice);
        tasks.PushBack(other);
        tasks.PushBack(twice);
        EXPECT_EQ(tasks.Front(), twice);
        tasks.Remove(twice);
        EXPECT_EQ(destroyedTasks, 1);
        EXPECT_EQ(tasks.Count(), 1u);
        EXPECT_EQ(tasks.Front(), other);

        // A task the list does not hold is still the list's to destroy.
        tasks.Remove(new CountedTask);
        EXPECT_EQ(destroyedTasks, 2);
        EXPECT_TRUE(UsableFromAnotherThread([&] { return tasks.Count(); }));

        tasks.Clear();
        EXPECT_EQ(destroyedTasks, 3);
        tasks.PushBack(new CountedTask);
        tasks.PushBack(new CountedTask);
    }
    EXPECT_EQ(destroyedTasks, 5);
}

TEST(ServerList, FirstServerIsTheFirstAddedAndNullIsRefused) {
    destroyedServers = 0;
    {
        ServerList servers;
        EXPECT_EQ(servers.FirstServer(), nullptr);
        EXPECT_FALSE(servers.PushBack(nullptr));
        EXPECT_EQ(servers.FirstServer(), nullptr);

        auto* first = new CountedServer;
        ASSERT_TRUE(servers.PushBack(first));
        ASSERT_TRUE(servers.AddServer(L"其他服务器", L"http://other/UpDataGame.xml"));
        EXPECT_EQ(servers.FirstServer(), first);
        EXPECT_EQ(servers.FirstServer(), first);
        EXPECT_TRUE(UsableFromAnotherThread([&] { return servers.FirstServer(); }));
        servers.PushBack(new CountedServer);
    }
    EXPECT_EQ(destroyedServers, 2);
}

TEST(ServerList, BuiltInServerKeepsItsNameAndPath) {
    ServerList servers;
    ASSERT_TRUE(servers.AddServer(BuiltInServerName, BuiltInServerAddress));
    const ServerEntry* server = servers.FirstServer();
    ASSERT_NE(server, nullptr);
    // The name must survive the trip from the UTF-8 source as these UTF-16 units.
    EXPECT_EQ(server->Name, std::wstring({0x4E2D, 0x5FC3, 0x670D, 0x52A1, 0x5668}));
    const std::wstring path = L"/UpDataGame.xml";
    ASSERT_GE(server->Address.size(), path.size());
    EXPECT_EQ(server->Address.substr(server->Address.size() - path.size()), path);
    EXPECT_EQ(server->Address.rfind(L"http://", 0), 0u);
}

TEST(FileList, EmptyListHandsOutNothing) {
    FileList files;
    EXPECT_EQ(files.PopFront(), nullptr);
    EXPECT_EQ(files.KeepOutdated(), 0u);
    EXPECT_EQ(files.TotalLength(), 0u);
    EXPECT_TRUE(UsableFromAnotherThread([&] { return files.PopFront(); }));
}
