#include "session/FileInstaller.h"

#include "RecordingWindow.h"
#include "SessionFiles.h"

#include "platform/UniqueHandle.h"

#include <gtest/gtest.h>

#include <vector>

using namespace session;
using namespace manifest;

namespace {

class FileInstallerTest : public ::testing::Test {
protected:
    // An update file for `name` in the test folder, its download already in place.
    void Download(FileEntry& file, const std::wstring& name, const std::string& content) {
        file.TargetPath = folder / name;
        file.FileName = name;
        WriteFileBytes(UpdatePathOf(file.TargetPath), content);
    }

    TempFolder folder;
    RecordingWindow window;
};

} // namespace

TEST_F(FileInstallerTest, NewAndReplacedFilesEndUpUnderTheirTargetName) {
    FileEntry fresh;
    Download(fresh, L"new.dat", "new");
    InstallDownloadedFile(fresh, window);
    EXPECT_EQ(ReadFileBytes(fresh.TargetPath), "new");
    EXPECT_FALSE(FileExists(fresh.TargetPath + L".update"));

    FileEntry replaced;
    WriteFileBytes(folder / L"old.dat", "old contents");
    Download(replaced, L"old.dat", "replacement");
    InstallDownloadedFile(replaced, window);
    EXPECT_EQ(ReadFileBytes(replaced.TargetPath), "replacement");

    EXPECT_EQ(window.Status,
              (std::vector<std::wstring>{L"下载文件成功 [new.dat]", L"下载文件成功 [old.dat]"}));
}

TEST_F(FileInstallerTest, PathsOutsideTheAnsiCodePageAreStillInstalled) {
    // Hangul has no form in code page 936: a byte-string rename could not name this file.
    FileEntry task;
    WriteFileBytes(folder / L"한글.dat", "old");
    Download(task, L"한글.dat", "new");
    InstallDownloadedFile(task, window);
    EXPECT_EQ(ReadFileBytes(task.TargetPath), "new");
    EXPECT_EQ(window.Status.back(), L"下载文件成功 [한글.dat]");
}

TEST_F(FileInstallerTest, ATargetHeldWithoutDeleteSharingKeepsBothFiles) {
    FileEntry task;
    WriteFileBytes(folder / L"busy.dll", "in use");
    Download(task, L"busy.dll", "new");
    UniqueFile holder(::CreateFileW(task.TargetPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    InstallDownloadedFile(task, window);
    holder.reset();
    EXPECT_EQ(window.Status.back(), L"删除文件失败 [busy.dll]");
    EXPECT_EQ(ReadFileBytes(task.TargetPath), "in use");
    EXPECT_EQ(ReadFileBytes(task.TargetPath + L".update"), "new");
}

TEST_F(FileInstallerTest, ATargetHeldWithoutReadSharingFailsTheRename) {
    FileEntry task;
    WriteFileBytes(folder / L"locked.dll", "locked");
    Download(task, L"locked.dll", "new");
    UniqueFile holder(::CreateFileW(task.TargetPath.c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(FileExists(task.TargetPath));
    InstallDownloadedFile(task, window);
    holder.reset();
    EXPECT_EQ(window.Status.back(), L"重命名文件失败 [locked.dll]");
    EXPECT_EQ(ReadFileBytes(task.TargetPath), "locked");
    EXPECT_EQ(ReadFileBytes(task.TargetPath + L".update"), "new");
}

TEST_F(FileInstallerTest, AMissingDownloadIsReportedAsAFailedRename) {
    FileEntry task;
    task.TargetPath = folder / L"never-downloaded.dat";
    task.FileName = L"never-downloaded.dat";
    InstallDownloadedFile(task, window);
    EXPECT_EQ(window.Status.back(), L"重命名文件失败 [never-downloaded.dat]");
}

TEST_F(FileInstallerTest, StartsAndRegistersTheInstalledFileAsAsked) {
    // A folder with a space: the registration must still reach regsvr32 as one path.
    ::CreateDirectoryW((folder / L"with space").c_str(), nullptr);
    FileEntry program;
    program.Execute = true;
    program.ExecutePar = L"--after-update 1";
    Download(program, L"with space\\notice.exe",
             ReadFileBytes(TestProgramPath(L"StartRecorder.exe")).value_or(""));
    InstallDownloadedFile(program, window);

    FileEntry library;
    library.Register = true;
    Download(library, L"with space\\GameCore.dll",
             ReadFileBytes(TestProgramPath(L"GameCore_1_0_0_10.dll")).value_or(""));
    InstallDownloadedFile(library, window);

    EXPECT_TRUE(
        WaitForFileContaining(folder / L"with space\\started.log", "notice.exe --after-update 1"));
    EXPECT_TRUE(WaitForFileContaining(folder / L"with space\\registered.log", "GameCore.dll",
                                      /*utf16=*/true));
}

TEST_F(FileInstallerTest, LaunchGameHallStartsItFromTheCurrentDirectoryAndQuits) {
    WriteFileBytes(folder / L"Halvenport.exe",
                   ReadFileBytes(TestProgramPath(L"StartRecorder.exe")).value_or(""));
    CurrentDirectoryScope cwd(folder.Path());
    LaunchGameHall(window);

    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, window.WindowHandle(), WM_QUIT, WM_QUIT, PM_REMOVE) ||
                ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_TRUE(WaitForFileContaining(folder / L"started.log", "Halvenport.exe"));
}
