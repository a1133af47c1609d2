#include "session/UpdateSession.h"

#include "RecordingWindow.h"
#include "SessionFiles.h"

#include "platform/FileUtil.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <optional>

using namespace session;
using namespace manifest;
using namespace net;

namespace {

// Points this process's temporary folder elsewhere while it lives (GetTempPathW reads TMP
// first): end-to-end tests running beside a test make their files in the shared one.
class TemporaryFolderOverride {
public:
    explicit TemporaryFolderOverride(const std::wstring& folder) {
        wchar_t previous[MAX_PATH + 1];
        const DWORD length = ::GetEnvironmentVariableW(L"TMP", previous, MAX_PATH + 1);
        if (length > 0 && length <= MAX_PATH) {
            previous_ = previous;
        }
        ::SetEnvironmentVariableW(L"TMP", folder.c_str());
    }
    ~TemporaryFolderOverride() {
        ::SetEnvironmentVariableW(L"TMP", previous_ ? previous_->c_str() : nullptr);
    }
    TemporaryFolderOverride(const TemporaryFolderOverride&) = delete;
    TemporaryFolderOverride& operator=(const TemporaryFolderOverride&) = delete;

private:
    std::optional<std::wstring> previous_;
};

} // namespace

TEST(UpdateSession, StartsNothingBeforeTheRunHasBegun) {
    // A window may be shown (and its timers tick) without a session; queued work stays put.
    RecordingWindow window;
    UpdateSession session(window);
    FileEntry file(L"C:\\never\\a.dat");
    file.FileName = L"a.dat";
    file.URL = L"http://127.0.0.1:9/never.dat";
    session.QueueFile(file);
    session.RunSchedulingStep();
    // Starting an update file would have announced it on the status line.
    EXPECT_TRUE(window.Status.empty());
    EXPECT_EQ(session.TasksListed(), 1u);
}

TEST(UpdateSession, IgnoresTheDoneMessageOfATaskItDoesNotHold) {
    RecordingWindow window;
    UpdateSession session(window);
    HttpDownload stranger(L"http://127.0.0.1:9/a", L"", nullptr,
                          static_cast<uint16_t>(TaskKind::UpdateFile));
    session.OnDownloadDone({static_cast<uint16_t>(TaskKind::UpdateFile), DownloadOk, &stranger});
    EXPECT_TRUE(window.Status.empty());
    EXPECT_FALSE(session.RunEnded());
}

TEST(UpdateSession, TemporaryFilesOfUnfinishedDownloadsGoWithTheSession) {
    const testsupport::TempFolder own;
    const TemporaryFolderOverride redirect(own.Path());
    ASSERT_EQ(TemporaryFolder(), own / L"");
    const size_t before = CountTemporaryFiles(L"Xml*.tmp");
    ASSERT_EQ(before, 0u);
    {
        RecordingWindow window;
        UpdateSession session(window);
        session.StartSession(L"http://127.0.0.1:9/UpdataDll.xml");
        EXPECT_EQ(window.Status.back(), L"正在连接获取服务器列表");
        EXPECT_EQ(session.TasksListed(), 1u);
        EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), before + 1);
    }
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), before);
}

TEST(UpdateSession, TheSignatureFileSitsBesideTheManifest) {
    EXPECT_EQ(SignatureAddressOf(L"http://h:1/UpDataGame.xml"), L"http://h:1/UpDataGame.xml.sig");
    EXPECT_EQ(SignatureAddressOf(L"http://h/a.xml?v=2#x"), L"http://h/a.xml.sig?v=2#x");
}
