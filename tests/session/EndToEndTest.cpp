// The real Refreshor.exe against a real HTTP server, watched from outside: its status lines,
// its message boxes, the requests the server saw, the files on disk and the programs it started.
#include "EndToEndFixture.h"

#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <algorithm>

using namespace std::chrono_literals;
using testsupport::ManifestSigner;
using testsupport::Response;

namespace {

const std::wstring kServerName = L"中心服务器";

const std::wstring kUnverifiedBox = L"更新文件列表校验失败, 请选择其他服务器进行尝试";

class EndToEnd : public EndToEndFixture {
protected:
    // Runs the updater to its end; false when it had to be killed.
    bool RunUpdater(std::chrono::milliseconds timeout = 60s) {
        EXPECT_TRUE(StartUpdater(updater));
        return updater.WaitForExit(timeout);
    }

    std::vector<std::string> RequestedPaths() const {
        std::vector<std::string> paths;
        for (const auto& request : server.Requests()) {
            paths.push_back(request.Path());
        }
        return paths;
    }

    bool StatusSeen(const std::wstring& line) const { return Saw(updater, line); }

    UpdaterProcess updater;
};

} // namespace

TEST_F(EndToEnd, AnInstallationThatIsCurrentOnlyStartsTheGameHall) {
    WriteFileBytes(install / L"a.dat", "current");
    // No version and a time before any real file's: the local copy is current.
    ServeSigned("/UpDataGame.xml",
                "<List><File><FileName>a.dat</FileName><FileDateLow>1</FileDateLow><Sha256>" +
                    Sha256Hex("published") + "</Sha256><URL>" + server.Url("/files/a.dat") +
                    "</URL></File></List>");
    ASSERT_TRUE(RunUpdater());
    EXPECT_EQ(updater.ExitCode(), 0u);
    EXPECT_TRUE(StatusSeen(L"获得服务器列表失败"));
    EXPECT_TRUE(StatusSeen(L"正在连接：" + kServerName));
    EXPECT_TRUE(StatusSeen(L"你当前的版本是最新的"));
    EXPECT_TRUE(updater.Boxes().empty());
    EXPECT_EQ(RequestedPaths(),
              (std::vector<std::string>{"/list.txt", "/UpDataGame.xml", "/UpDataGame.xml.sig"}));
    EXPECT_EQ(GameHallStartsSettled(), 1u);
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), temporaryBefore);
}

TEST_F(EndToEnd, OutOfDateFilesAreFetchedOneAtATimeInManifestOrder) {
    Publish({{"one.dat", testsupport::PatternBody(1500)},
             {"two.dat", testsupport::PatternBody(2600)},
             // In a folder the installation does not have yet.
             {"three.dat", testsupport::PatternBody(10000),
              "    <LocalPath>new\\folder</LocalPath>\n"}});
    WriteFileBytes(install / L"two.dat", "old");
    ASSERT_TRUE(RunUpdater());

    EXPECT_TRUE(StatusSeen(L"更新文件列表签名校验成功：" + kServerName));
    EXPECT_TRUE(StatusSeen(L"需更新文件总数: 3, 文件总长度: 13 KB"));
    EXPECT_TRUE(StatusSeen(L"下载文件成功 [two.dat]"));
    EXPECT_EQ(updater.StatusLines().back(), L"更新完毕");
    EXPECT_TRUE(updater.Boxes().empty());
    EXPECT_EQ(ReadFileBytes(install / L"one.dat"), testsupport::PatternBody(1500));
    EXPECT_EQ(ReadFileBytes(install / L"two.dat"), testsupport::PatternBody(2600));
    EXPECT_EQ(ReadFileBytes(install / L"new\\folder\\three.dat"), testsupport::PatternBody(10000));

    auto requests = server.Requests();
    std::vector<std::string> files;
    for (const auto& request : requests) {
        if (request.Path().rfind("/files/", 0) == 0) {
            files.push_back(request.Path());
        }
    }
    EXPECT_EQ(files,
              (std::vector<std::string>{"/files/one.dat", "/files/two.dat", "/files/three.dat"}));
    for (size_t i = 1; i < requests.size(); ++i) {
        EXPECT_GE(requests[i].Started, requests[i - 1].Ended)
            << "requests " << i - 1 << " and " << i << " overlapped";
    }
    EXPECT_EQ(GameHallStartsSettled(), 1u);
}

TEST_F(EndToEnd, AManifestThatCannotBeFetchedEndsWithABoxAndTheGameHall) {
    server.Serve("/UpDataGame.xml", Response::Error(404));
    ASSERT_TRUE(RunUpdater());
    const std::wstring text = L"取得服务器文件失败, 请选择其他服务器进行尝试";
    EXPECT_TRUE(StatusSeen(text + L"：" + kServerName));
    ASSERT_EQ(updater.Boxes().size(), 1u);
    EXPECT_EQ(updater.Boxes()[0].Caption, L"系统提示");
    EXPECT_EQ(updater.Boxes()[0].Text, text);
    EXPECT_EQ(GameHallStartsSettled(), 1u);
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), temporaryBefore);
}

TEST_F(EndToEnd, AManifestThatIsNotXmlEndsLikeAFailedOne) {
    ServeSigned("/UpDataGame.xml", "<UpdateList><File>unclosed");
    ASSERT_TRUE(RunUpdater());
    EXPECT_TRUE(StatusSeen(L"获取更新文件列表成功：" + kServerName));
    ASSERT_EQ(updater.Boxes().size(), 1u);
    EXPECT_EQ(updater.Boxes()[0].Caption, L"系统提示");
    EXPECT_EQ(updater.Boxes()[0].Text, L"更新文件列表格式错误, 请选择其他服务器进行尝试");
    EXPECT_EQ(GameHallStartsSettled(), 1u);
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), temporaryBefore);
}

TEST_F(EndToEnd, AFailingServerGivesWayToTheNextOneOfTheList) {
    server.Serve("/UpDataGame.xml", Response::Error(500));
    server.Serve("/list.txt", Response::Text(WideToMultiByte(
                                  L"备用服务器|" + server.UrlW("/backup.xml") + L"\r\n", 936)));
    std::vector<PublishedFile> files{{"a.dat", "fresh"}};
    ServeSigned("/backup.xml", ManifestXml(files));
    server.Serve("/files/a.dat", Response::Text("fresh"));
    ASSERT_TRUE(RunUpdater());

    EXPECT_TRUE(StatusSeen(L"获取服务器列表成功,共取得 1 个可选服务器"));
    EXPECT_TRUE(StatusSeen(L"正在连接：备用服务器"));
    EXPECT_TRUE(StatusSeen(L"获取更新文件列表成功：备用服务器"));
    EXPECT_TRUE(updater.Boxes().empty());
    EXPECT_EQ(ReadFileBytes(install / L"a.dat"), "fresh");
    EXPECT_EQ(GameHallStartsSettled(), 1u);
}

TEST_F(EndToEnd, AFailedFileEndsTheRunWithoutTheGameHall) {
    Publish({{"a.dat", "aaa"}, {"b.dat", "bbb"}, {"c.dat", "ccc"}});
    server.Serve("/files/b.dat", Response::Error(404));
    ASSERT_TRUE(RunUpdater());

    const std::wstring status = L"下载文件失败 [b.dat], 错误代码 [6]";
    EXPECT_TRUE(StatusSeen(status));
    ASSERT_EQ(updater.Boxes().size(), 1u);
    EXPECT_EQ(updater.Boxes()[0].Text, L"可能由于网络原因，" + status + L" ");
    EXPECT_FALSE(StatusSeen(L"更新完毕"));
    auto paths = RequestedPaths();
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/files/c.dat"), 0);
    EXPECT_EQ(ReadFileBytes(install / L"a.dat"), "aaa");
    ::Sleep(500);
    EXPECT_EQ(GameHallStarts(), 0u);
}

TEST_F(EndToEnd, AFailedLastFileIsNoFinishedUpdate) {
    Publish({{"a.dat", "aaa"}, {"b.dat", "bbb"}});
    server.Serve("/files/b.dat", Response::Error(500));
    ASSERT_TRUE(RunUpdater());
    EXPECT_EQ(updater.Boxes().size(), 1u);
    EXPECT_FALSE(StatusSeen(L"更新完毕"));
    ::Sleep(500);
    EXPECT_EQ(GameHallStarts(), 0u);
}

TEST_F(EndToEnd, AFileInUseIsReportedAndTheOthersAreStillInstalledButNoGameHallStarts) {
    Publish({{"busy.dat", "new busy"}, {"free.dat", "new free"}});
    WriteFileBytes(install / L"busy.dat", "old busy");
    UniqueFile holder(::CreateFileW((install / L"busy.dat").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    ASSERT_TRUE(RunUpdater());
    holder.reset();

    EXPECT_TRUE(StatusSeen(L"删除文件失败 [busy.dat]"));
    EXPECT_EQ(ReadFileBytes(install / L"busy.dat"), "old busy");
    EXPECT_EQ(ReadFileBytes(install / L"busy.dat.update"), "new busy");
    EXPECT_EQ(ReadFileBytes(install / L"free.dat"), "new free");
    // A file not in place is no finished update.
    ASSERT_EQ(updater.Boxes().size(), 1u);
    EXPECT_FALSE(StatusSeen(L"更新完毕"));
    ::Sleep(500);
    EXPECT_EQ(GameHallStarts(), 0u);
}

TEST_F(EndToEnd, EscapeDuringADownloadCancelsItAndInstallsNothing) {
    Publish({{"slow.dat", ""}, {"after.dat", "after"}});
    Response slow = Response::Generated(1 << 20);
    slow.PaceBytes = 1024;
    slow.PaceDelay = 20ms;
    server.Serve("/files/slow.dat", slow);
    ASSERT_TRUE(StartUpdater(updater));
    ASSERT_TRUE(updater.WaitForStatus(L"正在更新文件：slow.dat", 30s));
    ::Sleep(300);
    HWND window = updater.MainWindow();
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(updater.WaitForExit(30s));

    EXPECT_FALSE(PathExists(install / L"slow.dat"));
    EXPECT_FALSE(PathExists(install / L"after.dat"));
    auto paths = RequestedPaths();
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/files/after.dat"), 0);
    EXPECT_FALSE(StatusSeen(L"更新完毕"));
    ::Sleep(500);
    EXPECT_EQ(GameHallStarts(), 0u);
}

TEST_F(EndToEnd, AManifestChangedAfterSigningIsRefusedAndTheNextServersIsUsed) {
    const std::vector<PublishedFile> evil{{"evil.exe", "run me", "<Execute>YES</Execute>"}};
    const std::string signedXml = ManifestXml({{"a.dat", "fresh"}});
    server.Serve("/UpDataGame.xml", Response::Text(ManifestXml(evil)));
    server.Serve("/UpDataGame.xml.sig",
                 Response::Text(ManifestSigner::Demo().SignatureLine(signedXml)));
    server.Serve("/list.txt", Response::Text(WideToMultiByte(
                                  L"备用服务器|" + server.UrlW("/backup.xml") + L"\r\n", 936)));
    ServeSigned("/backup.xml", signedXml);
    server.Serve("/files/a.dat", Response::Text("fresh"));
    ASSERT_TRUE(RunUpdater());

    EXPECT_TRUE(StatusSeen(L"更新文件列表校验失败：" + kServerName));
    EXPECT_TRUE(StatusSeen(L"更新文件列表签名校验成功：备用服务器"));
    EXPECT_TRUE(updater.Boxes().empty());
    EXPECT_EQ(ReadFileBytes(install / L"a.dat"), "fresh");
    EXPECT_FALSE(PathExists(install / L"evil.exe"));
    // A publish between the two requests looks the same, so the pair was fetched once more.
    auto paths = RequestedPaths();
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/UpDataGame.xml"), 2);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/UpDataGame.xml.sig"), 2);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/files/evil.exe"), 0);
    EXPECT_EQ(GameHallStartsSettled(), 1u);
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), temporaryBefore);
}

TEST_F(EndToEnd, AFileChangedOnTheServerFailsWithCodeElevenAndTheOldCopyStays) {
    Publish({{"a.dat", "new content"}, {"b.dat", "bbb"}});
    server.Serve("/files/a.dat", Response::Text("NEW CONTENT"));
    WriteFileBytes(install / L"a.dat", "old");
    ASSERT_TRUE(RunUpdater());

    const std::wstring status = L"下载文件失败 [a.dat], 错误代码 [11]";
    EXPECT_TRUE(StatusSeen(status));
    ASSERT_EQ(updater.Boxes().size(), 1u);
    EXPECT_EQ(updater.Boxes()[0].Text, L"可能由于网络原因，" + status + L" ");
    EXPECT_EQ(ReadFileBytes(install / L"a.dat"), "old");
    EXPECT_FALSE(PathExists(install / L"a.dat.update"));
    auto paths = RequestedPaths();
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/files/b.dat"), 0);
    ::Sleep(500);
    EXPECT_EQ(GameHallStarts(), 0u);
}

TEST_F(EndToEnd, AChunkedBodyCutShortIsNotInstalled) {
    const std::string content = testsupport::PatternBody(400000);
    Publish({{"big.dat", content}});
    Response cut = Response::Text(content);
    cut.Chunked = true;
    cut.CloseAfter = 150000;
    server.Serve("/files/big.dat", cut);
    WriteFileBytes(install / L"big.dat", "old");
    ASSERT_TRUE(RunUpdater());

    EXPECT_TRUE(StatusSeen(L"下载文件失败 [big.dat], 错误代码 [2]"));
    EXPECT_FALSE(StatusSeen(L"更新完毕"));
    EXPECT_EQ(ReadFileBytes(install / L"big.dat"), "old");
}

TEST_F(EndToEnd, AnIdenticalLocalCopyIsNotRequested) {
    // Both local copies are older than the manifest says; one already is the published file.
    Publish({{"same.dat", "published"}, {"other.dat", "published too"}});
    WriteFileBytes(install / L"same.dat", "published");
    WriteFileBytes(install / L"other.dat", "stale");
    ASSERT_TRUE(RunUpdater());

    EXPECT_TRUE(StatusSeen(L"需更新文件总数: 1, 文件总长度: 0 KB"));
    auto paths = RequestedPaths();
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/files/same.dat"), 0);
    EXPECT_EQ(ReadFileBytes(install / L"other.dat"), "published too");
    EXPECT_EQ(updater.StatusLines().back(), L"更新完毕");
}

namespace {

// What the server offers in place of a signed release: the manifest and its signature file
// (none when empty), made from the release's good manifest.
struct SignatureCase {
    const char* Name;
    std::pair<std::string, std::string> (*Make)(const std::string& manifest);
};

void PrintTo(const SignatureCase& signatureCase, std::ostream* out) {
    *out << signatureCase.Name;
}

class EndToEndRefused : public EndToEnd, public ::testing::WithParamInterface<SignatureCase> {};

std::string WithoutSha256(std::string xml) {
    const size_t at = xml.find("    <Sha256>");
    return xml.erase(at, xml.find('\n', at) + 1 - at);
}

} // namespace

// None of these is any better than a manifest that cannot be read: the server counts as failed,
// nothing the manifest names is fetched, and the last server's failure ends in the box and the
// game hall.
TEST_P(EndToEndRefused, ASignatureThatDoesNotHoldFailsTheServer) {
    const auto [xml, signature] = GetParam().Make(ManifestXml({{"a.dat", "fresh"}}));
    server.Serve("/UpDataGame.xml", Response::Text(xml));
    server.Serve("/UpDataGame.xml.sig",
                 signature.empty() ? Response::Error(404) : Response::Text(signature));
    ASSERT_TRUE(RunUpdater());

    EXPECT_TRUE(StatusSeen(L"更新文件列表校验失败：" + kServerName));
    ASSERT_EQ(updater.Boxes().size(), 1u);
    EXPECT_EQ(updater.Boxes()[0].Caption, L"系统提示");
    EXPECT_EQ(updater.Boxes()[0].Text, kUnverifiedBox);
    auto paths = RequestedPaths();
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "/files/a.dat"), 0);
    EXPECT_FALSE(PathExists(install / L"a.dat"));
    EXPECT_EQ(GameHallStartsSettled(), 1u);
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), temporaryBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, EndToEndRefused,
    ::testing::Values(
        SignatureCase{"Missing",
                      [](const std::string& xml) { return std::pair(xml, std::string()); }},
        SignatureCase{"ByAnUnknownKey",
                      [](const std::string& xml) {
                          return std::pair(xml, ManifestSigner::Fresh().SignatureLine(xml));
                      }},
        SignatureCase{"Garbage",
                      [](const std::string& xml) {
                          return std::pair(xml, std::string("<html>Not Found</html>\n"));
                      }},
        SignatureCase{"Oversized",
                      [](const std::string& xml) {
                          return std::pair(xml, std::string(5000, '#') + "\n" +
                                                    ManifestSigner::Demo().SignatureLine(xml));
                      }},
        SignatureCase{"OverAFileWithoutSha256",
                      [](const std::string& xml) {
                          const std::string bare = WithoutSha256(xml);
                          return std::pair(bare, ManifestSigner::Demo().SignatureLine(bare));
                      }}),
    [](const ::testing::TestParamInfo<SignatureCase>& param) {
        return std::string(param.param.Name);
    });
