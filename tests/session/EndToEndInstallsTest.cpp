// The real Refreshor.exe putting files in place on a player's machine: files held by other
// programs, its own program file, a second updater in the same folder, the close button.
#include "EndToEndFixture.h"

#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

using namespace std::chrono_literals;
using testsupport::Response;

namespace {

class InstallsEndToEnd : public EndToEndFixture {
protected:
    // The names in the installation folder that start with `prefix`.
    std::vector<std::wstring> NamesStartingWith(const std::wstring& prefix) const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW((install / (prefix + L"*")).c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                names.push_back(found.cFileName);
            } while (::FindNextFileW(search, &found));
            ::FindClose(search);
        }
        return names;
    }
};

} // namespace

TEST_F(InstallsEndToEnd, HeldFilesSurviveWholeAndTheRunEndsWithABoxInsteadOfTheGameHall) {
    Publish({{"GameCore.dll", "new core"}, {"locked.dll", "new locked"}, {"free.dat", "new"}});
    WriteFileBytes(install / L"GameCore.dll", "old core");
    WriteFileBytes(install / L"locked.dll", "old locked");
    // A virus scanner's way of holding a file (read and delete sharing): deleting first and
    // renaming afterwards lost GameCore.dll once the scanner let go.
    UniqueFile scanner(::CreateFileW((install / L"GameCore.dll").c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
    UniqueFile user(::CreateFileW((install / L"locked.dll").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(scanner && user);
    UpdaterProcess updater;
    ASSERT_TRUE(StartUpdater(updater));
    ASSERT_TRUE(updater.WaitForExit(60s));
    scanner.reset();
    user.reset();

    EXPECT_TRUE(Saw(updater, L"删除文件失败 [GameCore.dll]"));
    EXPECT_TRUE(Saw(updater, L"删除文件失败 [locked.dll]"));
    EXPECT_TRUE(Saw(updater, L"下载文件成功 [free.dat]"));
    EXPECT_EQ(ReadFileBytes(install / L"GameCore.dll"), "old core");
    EXPECT_EQ(ReadFileBytes(install / L"locked.dll"), "old locked");
    EXPECT_EQ(ReadFileBytes(install / L"free.dat"), "new");

    const std::wstring text =
        L"文件更新失败 [GameCore.dll, locked.dll], 文件可能正在被使用, 请关闭相关程序后重试";
    ASSERT_EQ(updater.Boxes().size(), 1u);
    EXPECT_EQ(updater.Boxes()[0].Caption, L"Refreshor");
    EXPECT_EQ(updater.Boxes()[0].Text, text);
    EXPECT_FALSE(Saw(updater, L"更新完毕"));
    ::Sleep(500);
    EXPECT_EQ(GameHallStarts(), 0u);
}

TEST_F(InstallsEndToEnd, TheUpdaterRenewsItsOwnFileAndTheNextStartClearsTheOldCopy) {
    // A program file that still runs, told apart by what follows its image.
    const std::string renewed = program + std::string(512, '\0') + "renewed release";
    Publish({{"Refreshor.exe", renewed}});
    UpdaterProcess first;
    ASSERT_TRUE(StartUpdater(first));
    ASSERT_TRUE(first.WaitForExit(60s));
    EXPECT_TRUE(Saw(first, L"下载文件成功 [Refreshor.exe]"));
    EXPECT_EQ(first.StatusLines().back(), L"更新完毕");
    EXPECT_TRUE(first.Boxes().empty());
    EXPECT_TRUE(ReadFileBytes(install / L"Refreshor.exe") == renewed);
    EXPECT_TRUE(WaitForFileContaining(install / L"started.log", "Halvenport.exe"));

    // The next start runs the new file; the release is current now, and a download an earlier
    // run left for a file that is current now goes too.
    WriteFileBytes(install / L"a.dat", "current");
    WriteFileBytes(install / L"a.dat.update", "left over");
    ServeSigned("/UpDataGame.xml", ManifestXml({{"Refreshor.exe", renewed, "", false},
                                                {"a.dat", "current", "", false}}));
    UpdaterProcess next;
    ASSERT_TRUE(StartUpdater(next));
    ASSERT_TRUE(next.WaitForExit(60s));
    EXPECT_TRUE(Saw(next, L"你当前的版本是最新的"));
    EXPECT_EQ(NamesStartingWith(L"Refreshor.exe"), std::vector<std::wstring>{L"Refreshor.exe"});
    EXPECT_EQ(NamesStartingWith(L"a.dat"), std::vector<std::wstring>{L"a.dat"});
    EXPECT_EQ(Requested("/files/Refreshor.exe"), 1u);
}

TEST_F(InstallsEndToEnd, ASecondUpdaterInTheSameFolderFetchesNothingAndEnds) {
    Publish({{"a.dat", ""}, {"b.dat", ""}});
    // Slow enough that the second updater starts while the first one is at work.
    for (const char* path : {"/files/a.dat", "/files/b.dat"}) {
        Response slow = Response::Generated(32 * 1024);
        slow.PaceBytes = 1024;
        slow.PaceDelay = 40ms;
        server.Serve(path, slow);
    }
    const std::string body = testsupport::PatternBody(32 * 1024);
    ServeSigned("/UpDataGame.xml", ManifestXml({{"a.dat", body}, {"b.dat", body}}));
    UpdaterProcess one;
    UpdaterProcess two;
    ASSERT_TRUE(StartUpdater(one));
    ASSERT_TRUE(StartUpdater(two));
    ASSERT_TRUE(one.WaitForExit(90s));
    ASSERT_TRUE(two.WaitForExit(90s));

    // One of them ran the update; the other wrote no status line at all.
    const bool oneWorked = !one.StatusLines().empty();
    const UpdaterProcess& worker = oneWorked ? one : two;
    const UpdaterProcess& second = oneWorked ? two : one;
    EXPECT_TRUE(second.StatusLines().empty());
    EXPECT_TRUE(second.Boxes().empty());
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(worker.StatusLines().back(), L"更新完毕");
    for (const char* path : {"/list.txt", "/UpDataGame.xml", "/files/a.dat", "/files/b.dat"}) {
        EXPECT_EQ(Requested(path), 1u) << path;
    }
    EXPECT_EQ(ReadFileBytes(install / L"b.dat"), testsupport::PatternBody(32 * 1024));
    EXPECT_TRUE(WaitForFileContaining(install / L"started.log", "Halvenport.exe"));
    EXPECT_EQ(GameHallStarts(), 1u);
}

TEST_F(InstallsEndToEnd, TheCloseButtonLeavesNoTemporaryFileBehind) {
    // The server list arrives a byte at a time, so its temporary file is open for writing when
    // the button is clicked.
    server.Serve("/list.txt", Response::Trickle(1000, 100ms));
    UpdaterProcess updater;
    ASSERT_TRUE(StartUpdater(updater));
    ASSERT_TRUE(updater.WaitForStatus(L"正在连接获取服务器列表", 30s));
    ::Sleep(800);
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), temporaryBefore + 1);
    HWND window = updater.MainWindow();
    ASSERT_NE(window, nullptr);
    // The window sits at (0, 0); its handlers read the cursor itself, not the message's point.
    ::SetCursorPos(480, 10);
    ::Sleep(150);
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(480, 10));
    ::PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(480, 10));
    ASSERT_TRUE(updater.WaitForExit(10s));
    EXPECT_EQ(updater.ExitCode(), 0u);
    EXPECT_EQ(CountTemporaryFiles(L"Xml*.tmp"), temporaryBefore);
}
