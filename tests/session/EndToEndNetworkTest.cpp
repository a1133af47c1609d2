// The real Refreshor.exe against servers that misbehave the way real ones do: silent, trickling,
// redirecting in a circle, cutting a large file off. Watched from outside like EndToEndTest.
#include "EndToEndFixture.h"

#include "manifest/ManifestReader.h"
#include "platform/RunLog.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

using namespace std::chrono_literals;
using testsupport::Response;

namespace {

class EndToEndNetwork : public EndToEndFixture {
protected:
    // A second server, named in the server list, behind the built-in one.
    void ListBackupServer() {
        server.Serve("/list.txt", Response::Text(WideToMultiByte(
                                      L"备用服务器|" + server.UrlW("/backup.xml") + L"\r\n", 936)));
    }

    void Start() { ASSERT_TRUE(StartUpdater(updater)); }

    bool StatusSeen(const std::wstring& line) const { return Saw(updater, line); }

    UpdaterProcess updater;
};

} // namespace

// A server that accepts and never answers is a failed server once the time limits have passed:
// for the manifest the next server is tried, for a file the box ends the run.
TEST_F(EndToEndNetwork, ASilentServerCountsAsAFailedOne) {
    server.Serve("/UpDataGame.xml", Response::Silence());
    ListBackupServer();
    ServeSigned("/backup.xml", ManifestXml({{"a.dat", "fresh"}}));
    server.Serve("/files/a.dat", Response::Silence());
    Start();
    ASSERT_TRUE(updater.WaitForExit(120s));
    EXPECT_TRUE(StatusSeen(L"服务器拒绝连接, 请选择其他服务器进行尝试：中心服务器") ||
                StatusSeen(L"连接服务器失败, 请检查网络或联系管理员：中心服务器"));
    EXPECT_TRUE(StatusSeen(L"获取更新文件列表成功：备用服务器"));
    const std::wstring status = L"下载文件失败 [a.dat], 错误代码 [2]";
    EXPECT_TRUE(StatusSeen(status));
    ASSERT_EQ(updater.Boxes().size(), 1u);
    EXPECT_EQ(updater.Boxes()[0].Text, L"可能由于网络原因，" + status + L" ");
}

TEST_F(EndToEndNetwork, ARedirectLoopGivesWayToTheNextServer) {
    server.Serve("/UpDataGame.xml", Response::RedirectLoop());
    ListBackupServer();
    ServeSigned("/backup.xml", ManifestXml({{"a.dat", "fresh"}}));
    server.Serve("/files/a.dat", Response::Text("fresh"));
    Start();
    ASSERT_TRUE(updater.WaitForExit(60s));
    EXPECT_TRUE(StatusSeen(L"重定向失败, 请选择其他服务器进行尝试：中心服务器"));
    EXPECT_EQ(server.Arrived("/UpDataGame.xml"), 11u);
    EXPECT_TRUE(updater.Boxes().empty());
    EXPECT_EQ(ReadFileBytes(install / L"a.dat"), "fresh");
}

// A manifest that never ends is cut off at the size limit, and the next server is tried: the
// updater neither fills the disk nor waits for ever.
TEST_F(EndToEndNetwork, AnEndlessManifestGivesWayToTheNextServer) {
    Response endless = Response::Generated(uint64_t{1} << 40);
    endless.CloseDelimited = true;
    server.Serve("/UpDataGame.xml", endless);
    ListBackupServer();
    ServeSigned("/backup.xml", ManifestXml({{"a.dat", "fresh"}}));
    server.Serve("/files/a.dat", Response::Text("fresh"));
    Start();
    ASSERT_TRUE(updater.WaitForExit(120s));
    EXPECT_TRUE(StatusSeen(L"获取更新文件列表成功：备用服务器"));
    EXPECT_EQ(ReadFileBytes(install / L"a.dat"), "fresh");
    const auto cut = server.RequestsFor("/UpDataGame.xml");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_LT(cut[0].BodyBytesSent, manifest::kMaxManifestSize + (uint64_t{64} << 20));
}

// Escape while a server trickles one byte at a time: the process is gone at once and leaves the
// partial file closed, so a second updater can take it over.
TEST_F(EndToEndNetwork, EscapeEndsTheProcessAtOnceWhateverTheServerDoes) {
    ServeSigned("/UpDataGame.xml", ManifestXml({{"slow.dat", testsupport::PatternBody(5000)}}));
    server.Serve("/files/slow.dat", Response::Trickle(5000, 30s));
    Start();
    ASSERT_TRUE(updater.WaitForStatus(L"正在更新文件：slow.dat", 30s));
    ::Sleep(1500);
    HWND window = updater.MainWindow();
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_TRUE(updater.WaitForExit(30s));
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 2s);

    UniqueFile update(::CreateFileW((install / L"slow.dat.update").c_str(), GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(update) << "error " << ::GetLastError();
    EXPECT_FALSE(PathExists(install / L"slow.dat"));
}

// A large file cut off at half is finished by the next run with one range request for the rest;
// the run's log tells support what happened.
TEST_F(EndToEndNetwork, ACutOffFileIsFinishedByTheNextRun) {
    const size_t size = 2 * 1024 * 1024;
    const std::string content = testsupport::PatternBody(size);
    ServeSigned("/UpDataGame.xml", ManifestXml({{"big.dat", content}}));
    server.Serve("/files/big.dat", Response::CutShort(size, size / 2));
    Start();
    ASSERT_TRUE(updater.WaitForExit(60s));
    EXPECT_TRUE(StatusSeen(L"下载文件失败 [big.dat], 错误代码 [2]"));
    EXPECT_EQ(ReadFileBytes(install / L"big.dat.update").value_or("").size(), size / 2);

    const std::wstring logPath = RunLog::DefaultPath();
    const size_t logBefore = ReadFileBytes(logPath).value_or("").size();
    server.Serve("/files/big.dat", Response::Text(content));
    server.ClearRequests();
    UpdaterProcess second;
    ASSERT_TRUE(StartUpdater(second));
    ASSERT_TRUE(second.WaitForExit(60s));
    EXPECT_EQ(ReadFileBytes(install / L"big.dat"), content);
    const auto requests = server.RequestsFor("/files/big.dat");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Range"), "bytes=" + std::to_string(size / 2) + "-");
    EXPECT_EQ(requests[0].BodyBytesSent, size / 2);
    EXPECT_EQ(second.StatusLines().back(), L"更新完毕");

    const std::string log = ReadFileBytes(logPath).value_or("").substr(logBefore);
    const std::vector<std::wstring> expectedLines{
        L"run started: Refreshor ",
        L"status: 正在连接：中心服务器",
        L"server 中心服务器: http://127.0.0.1:18080/UpDataGame.xml",
        L"GET " + server.UrlW("/UpDataGame.xml") + L": HTTP 200, ",
        FormatW(L"HTTP 206 (continued), %u bytes in ", static_cast<unsigned>(size / 2)),
        L"file done: code 0",
        L"status: 更新完毕",
        L"starting the game hall",
        L"run ended"};
    for (const std::wstring& expected : expectedLines) {
        EXPECT_NE(log.find(WideToUtf8(expected)), std::string::npos) << WideToUtf8(expected);
    }
}
