#include "session/UpdateSession.h"

#include "RecordingWindow.h"
#include "TestFolder.h"

#include "net/InetFile.h"

#include <gtest/gtest.h>

TEST(UpdateSession, StartsNothingBeforeTheRunHasBegun) {
    // A window may be shown (and its timers tick) without a session; queued work stays put.
    RecordingWindow window;
    UpdateSession session(window);
    auto* task = new CInetFile;
    task->URL = L"http://127.0.0.1:9/never.dat";
    session.Tasks.PushBack(task);
    session.RunSchedulingStep();
    EXPECT_EQ(task->RunCount, 0);
    EXPECT_EQ(session.ActiveCount, 0);
}

TEST(UpdateSession, IgnoresTheDoneMessageOfATaskItDoesNotHold) {
    RecordingWindow window;
    UpdateSession session(window);
    CInetFile stranger;
    stranger.Kind = KindUpdateFile;
    session.OnDownloadDone(MakeDownloadWParam(KindUpdateFile, DownloadOk),
                           reinterpret_cast<LPARAM>(&stranger));
    EXPECT_TRUE(window.Status.empty());
    EXPECT_EQ(session.ActiveCount, 0);
    EXPECT_FALSE(session.RunEnded());
}

TEST(UpdateSession, TemporaryFilesOfUnfinishedDownloadsGoWithTheSession) {
    const size_t before = CountTemporaryFiles(L"Xml*.tmp");
    {
        RecordingWindow window;
        UpdateSession session(window);
        session.StartSession(L"http://127.0.0.1:9/UpdataDll.xml");
        EXPECT_EQ(window.Status.back(), L"正在连接获取服务器列表");
        ASSERT_EQ(session.Tasks.Count(), 1u);
        EXPECT_EQ(session.Tasks.Front()->Kind, KindServerList);
        EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), before + 1);
    }
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), before);
}
